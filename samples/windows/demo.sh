#!/usr/bin/env bash
# Registers Plentor.dll in a throw-away Wine prefix and saves bookmarks from
# JScript and VBScript through the local bookmark emulator, then unregisters
# it.   usage: demo.sh BUILD_DIR   (the mingw64 build; run inside
# scripts/wine-session)
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: demo.sh BUILD_DIR}" && pwd)
wine="$top/scripts/wine"
winpath() { printf 'Z:%s' "${1//\//\\}"; }

work=$(mktemp -d)
emulator_pid=
cleanup() {
    [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null && wait "$emulator_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

python3 "$top/tools/bookmark-emulator/bookmark-emulator.py" --port 0 --pages "$top/samples/pages" \
    >"$work/port" 2>"$work/emulator.err" &
emulator_pid=$!
port=
for _ in $(seq 100); do
    port=$(head -n 1 "$work/port" 2>/dev/null)
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { echo "demo: the emulator did not start: $(cat "$work/emulator.err")" >&2; exit 1; }
for service in DELICIOUS SIMPY; do export "PLENTOR_${service}_URL=http://127.0.0.1:$port"; done

dll=$(winpath "$build/src/module/win32/Plentor.dll")
echo "== regsvr32 $dll"
"$wine" regsvr32 /s "$dll" || { echo "demo: registration failed" >&2; exit 1; }
"$wine" reg query 'HKCR\Plentor.DeliciousSubmit' /s | tr -d '\r'
status=0
echo "== cscript save-bookmark.js http://127.0.0.1:$port/pages/garden.html"
"$wine" cscript //nologo "$(winpath "$top/samples/windows/save-bookmark.js")" \
    "http://127.0.0.1:$port/pages/garden.html" | tr -d '\r' || status=1
echo "== cscript save-bookmark.vbs http://example.org/ \"Example\" \"demo plentor\""
"$wine" cscript //nologo "$(winpath "$top/samples/windows/save-bookmark.vbs")" \
    "http://example.org/" "Example" "demo plentor" | tr -d '\r' || status=1
echo "== stored by the emulator"
python3 - "http://127.0.0.1:$port" <<'PY'
import json, sys, urllib.request
stored = json.load(urllib.request.urlopen(sys.argv[1] + "/_emulator/bookmarks", timeout=10))
for service in ("delicious", "simpy"):
    for b in stored[service].get("demo", []):
        print(f'  {service}: {b.get("url")}  "{b.get("title")}"  tags "{b.get("tags")}"')
PY
echo "== regsvr32 /u"
"$wine" regsvr32 /s /u "$dll" || status=1
exit "$status"
