#!/usr/bin/env bash
# Runs every command-line test script of this directory, one after the other,
# with the same arguments:
#     bash tests/tools/run-all.sh EXE DATA_DIR [LAUNCHER...]
# Natively:    run-all.sh build/default/tools/plentor tests/data
# Under Wine:  scripts/wine-session bash tests/tools/run-all.sh \
#                  build/mingw64/tools/plentor.exe tests/data scripts/wine
# (one prefix for all the scripts). Prints each script's output and a closing
# "N passed, N failed" line; exits 0 only when every script passed. Scripts
# that test no part of EXE (the emulator's own tests) are left out when a
# LAUNCHER is given: they ran natively already.
set -u
[ "$#" -ge 2 ] || { echo "usage: $0 EXE DATA_DIR [LAUNCHER...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)

passed=0
failed=0
failed_names=()
for script in "$here"/*.sh; do
    name=$(basename "$script" .sh)
    case $name in lib | run-all) continue ;; esac
    if [ "$#" -gt 2 ] && ! grep -q '^\. .*lib\.sh' "$script"; then
        continue
    fi
    echo "== $name"
    if bash "$script" "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        failed_names+=("$name")
    fi
done

echo
[ "$failed" -eq 0 ] || echo "failed: ${failed_names[*]}"
echo "cli: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
