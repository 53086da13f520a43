#!/usr/bin/env bash
# The local bookmark-service emulator: its unit tests, run against real emulator
# processes on loopback (each on a free port, with a temporary journal and pages dir).
# usage: bookmark-emulator.sh PATH_TO_plentor TEST_DATA_DIR   (neither is needed)
set -u
repo=$(cd "$(dirname "$0")/../.." && pwd)
tests="$repo/tools/bookmark-emulator/emulator_test.py"

if ! command -v python3 >/dev/null 2>&1; then
    echo "SKIP: python3 is not installed"
    exit 0
fi

# The test run kills the emulators it started when it ends or is terminated;
# the trap passes a termination of this script on to it.
PYTHONDONTWRITEBYTECODE=1 python3 "$tests" &
runner=$!
trap 'kill "$runner" 2>/dev/null' EXIT
trap 'exit 143' TERM INT
wait "$runner"
