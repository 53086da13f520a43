#!/usr/bin/env bash
# Plentor.dll under 64-bit Wine: registration checked key by key from a `reg
# export`, the objects driven from JScript and VBScript by cscript against the
# bookmark emulator (DeliciousSubmit over HTTPS through nginx with a test CA
# made here), the client program for what scripts cannot see, and
# unregistration. Runs inside a Wine prefix session:
#   scripts/wine-session bash tests/module/win32/com-tests.sh BUILD_DIR
# Exit status 0 only when every check passed.
set -u
top=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "${1:?usage: com-tests.sh BUILD_DIR}" && pwd)
here="$top/tests/module/win32"
wine="$top/scripts/wine"
dll="$build/src/module/win32/Plentor.dll"
# The command-line scripts' library: work directory, servers, checks.
. "$top/tests/tools/lib.sh" "$build/tools/plentor.exe" "$top/tests/data" "$wine"

pass() { checks=$((checks + 1)); echo "ok: $*"; }

# Windows form of a Unix path (Wine shows the Unix root as drive Z:).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

[ -f "$dll" ] || { echo "com-tests: $dll is missing (make mingw64)"; exit 1; }

# --- the emulator, and nginx in front of it for HTTPS
start_emulator "$top/samples/pages"
base=$EMULATOR_BASE

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Plentor Test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout "$work/ca.key" -out "$work/ca.pem" 2>"$work/openssl.log" &&
openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout "$work/server.key" -out "$work/server.csr" \
    2>>"$work/openssl.log" &&
printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\nextendedKeyUsage=serverAuth\n' >"$work/server.ext" &&
openssl x509 -req -in "$work/server.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" -CAcreateserial -days 2 \
    -extfile "$work/server.ext" -out "$work/server.pem" 2>>"$work/openssl.log" ||
    { echo "com-tests: openssl failed: $(cat "$work/openssl.log")"; exit 1; }
https_port=$(free_port)
mkdir -p "$work/nginx/logs"
cat >"$work/nginx/nginx.conf" <<CONF
worker_processes 1;
daemon off;
master_process off;
error_log $work/nginx/logs/error.log;
pid $work/nginx/nginx.pid;
events { worker_connections 64; }
http {
    access_log off;
    client_body_temp_path $work/nginx/body;
    proxy_temp_path $work/nginx/proxy;
    server {
        listen 127.0.0.1:$https_port ssl;
        ssl_certificate $work/server.pem;
        ssl_certificate_key $work/server.key;
        ssl_protocols TLSv1.2 TLSv1.3;
        location / { proxy_pass $base; proxy_set_header Host \$http_host; }
    }
}
CONF
nginx=$(command -v nginx || echo /usr/sbin/nginx)
"$nginx" -p "$work/nginx" -c "$work/nginx/nginx.conf" 2>"$work/nginx/start.err" &
server_pids+=($!)
for _ in $(seq "$SERVER_WAIT_TICKS"); do
    accepts "$https_port" && break
    sleep 0.1
done
accepts "$https_port" || { echo "com-tests: nginx did not start: $(cat "$work/nginx/logs/error.log")"; exit 1; }

# By name: the certificate names localhost (and 127.0.0.1, which Wine's
# name check does not match against an address entry).
export PLENTOR_DELICIOUS_URL="https://localhost:$https_port"
export PLENTOR_CA_FILE="$work/ca.pem"
for service in FURL NETVOUZ SHADOWS SPURL BLOGMARKS QUORLANE SIMPY; do
    export "PLENTOR_${service}_URL=$base"
done
export PLENTOR_TEST_BASE="$base"
export PLENTOR_TEST_PAGE="$base/pages/garden.html"
printf 'http://example.org/one\r\n\r\nhttp://example.org/two\n' >"$work/links.txt"
export PLENTOR_TEST_LINKS
PLENTOR_TEST_LINKS=$(winpath "$work/links.txt")

# --- registration
classes="DeliciousSubmit:101 FurlSubmit:103 Netvouz:107 Shadows:109 Spurl:111 Blogmarks:113 QuorlaneSubmit:115 Simpy:117"

# The registry is read from one `reg export` of HKCR per step rather than a
# `reg query` per value: a few hundred Wine process starts are slow, and one
# that fails to start would read as a missing value.
# snapshot: export HKCR into $work/hkcr.tsv ("K<tab>key" and
# "V<tab>key<tab>name<tab>data" lines, keys lower-cased, "@" for the default).
snapshot() {
    rm -f "$work/hkcr.reg"
    "$wine" reg export HKCR "$(winpath "$work/hkcr.reg")" /y >/dev/null 2>&1 &&
    python3 - "$work/hkcr.reg" >"$work/hkcr.tsv" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
text = data.decode("utf-16") if data[:2] in (b"\xff\xfe", b"\xfe\xff") else data.decode("utf-8", "replace")
key = None
def unquote(s, i):   # s[i] == '"': returns (text, index after the closing quote)
    out, i = [], i + 1
    while i < len(s) and s[i] != '"':
        if s[i] == "\\" and i + 1 < len(s):
            i += 1
        out.append(s[i]); i += 1
    return "".join(out), i + 1
for line in text.replace("\r", "").split("\n"):
    if line.startswith("[") and line.endswith("]"):
        key = "hkcr" + line[1:-1][len("HKEY_CLASSES_ROOT"):]
        key = key.lower()
        print("K\t" + key)
    elif key and (line.startswith("@=") or line.startswith('"')):
        if line.startswith("@="):
            name, rest = "@", line[2:]
        else:
            name, end = unquote(line, 0)
            rest = line[end + 1:] if line[end:end + 1] == "=" else ""
        if rest.startswith('"'):
            value, _ = unquote(rest, 0)
            print("V\t%s\t%s\t%s" % (key, name.lower(), value))
PY
    [ -s "$work/hkcr.tsv" ] || { fail "reg export HKCR gave nothing to read"; return 1; }
}

# reg_value KEY [NAME]: a string value's data from the snapshot (empty when absent).
reg_value() {
    local name=@
    [ $# -gt 1 ] && name=$2
    K=${1,,} N=${name,,} awk -F'\t' '$1 == "V" && $2 == ENVIRON["K"] && $3 == ENVIRON["N"] { print $4; exit }' \
        "$work/hkcr.tsv"
}
reg_exists() {
    K=${1,,} awk -F'\t' '$1 == "K" && $2 == ENVIRON["K"] { found = 1; exit } END { exit !found }' "$work/hkcr.tsv"
}

expect_value() {   # KEY NAME|"" EXPECTED
    local got
    if [ -n "$2" ]; then got=$(reg_value "$1" "$2"); else got=$(reg_value "$1"); fi
    if [ "$got" = "$3" ]; then :; else fail "$1 ${2:-(default)}: got [$got], expected [$3]"; fi
}

# check_class_keys CLASS BITMAP MODULE_PATH
check_class_keys() {
    local class=$1 bitmap=$2 module=$3 clsid
    clsid=$(reg_value "HKCR\\Plentor.$class.1\\CLSID")
    [ -n "$clsid" ] || { fail "HKCR\\Plentor.$class.1\\CLSID missing"; return; }
    expect_value "HKCR\\Plentor.$class.1" "" "$class Class"
    reg_exists "HKCR\\Plentor.$class.1\\Insertable" || fail "Plentor.$class.1\\Insertable missing"
    expect_value "HKCR\\Plentor.$class" "" "$class Class"
    expect_value "HKCR\\Plentor.$class\\CLSID" "" "$clsid"
    expect_value "HKCR\\Plentor.$class\\CurVer" "" "Plentor.$class.1"
    local key="HKCR\\CLSID\\$clsid"
    expect_value "$key" "" "$class Class"
    expect_value "$key\\ProgID" "" "Plentor.$class.1"
    expect_value "$key\\VersionIndependentProgID" "" "Plentor.$class"
    for sub in Programmable Control Insertable; do
        reg_exists "$key\\$sub" || fail "$key\\$sub missing"
    done
    expect_value "$key\\InprocServer32" "" "$module"
    expect_value "$key\\InprocServer32" ThreadingModel "Apartment"
    expect_value "$key\\ToolboxBitmap32" "" "$module, $bitmap"
    expect_value "$key\\MiscStatus" "" "0"
    expect_value "$key\\MiscStatus\\1" "" "132497"
    expect_value "$key\\TypeLib" "" "$libid"
    expect_value "$key\\Version" "" "1.0"
}

check_all_registered() {   # MODULE_PATH
    local before=$failures entry
    snapshot || return 0
    for entry in $classes; do check_class_keys "${entry%%:*}" "${entry##*:}" "$1"; done
    reg_exists "HKCR\\TypeLib\\$libid\\1.0" || fail "type library not registered"
    [ "$failures" -eq "$before" ] && pass "every key of the eight classes and the type library ($1)"
    return 0
}

check_all_removed() {
    local before=$failures entry class
    snapshot || return 0
    for entry in $classes; do
        class=${entry%%:*}
        for key in "HKCR\\Plentor.$class.1" "HKCR\\Plentor.$class" "HKCR\\CLSID\\${clsids[$class]}"; do
            reg_exists "$key" && fail "$key still there after unregistering"
        done
    done
    reg_exists "HKCR\\CLSID" || fail "HKCR\\CLSID itself was removed"
    reg_exists "HKCR\\TypeLib\\$libid" && fail "type library still registered"
    [ "$failures" -eq "$before" ] && pass "unregistering removed every key and left HKCR\\CLSID"
    return 0
}

module=$(winpath "$dll")
libid="{D715C8C9-312E-4659-B610-3EDFD3CAC3F3}"
"$wine" regsvr32 /s "$module" || fail "regsvr32 exit status $?"
check_all_registered "$module"
declare -A clsids
for entry in $classes; do
    clsids[${entry%%:*}]=$(reg_value "HKCR\\Plentor.${entry%%:*}.1\\CLSID")
done
"$wine" regsvr32 /s "$module" || fail "second regsvr32 exit status $?"
check_all_registered "$module"

# --- the objects from script hosts
run_script() {   # FILE
    local name out status
    name=$(basename "$1")
    out=$("$wine" cscript //nologo "$(winpath "$1")" 2>&1 | tr -d '\r')
    status=$?
    printf '%s\n' "$out" | sed "s/^/  $name: /"
    if printf '%s\n' "$out" | grep -q "^$name: all checks passed$"; then
        pass "$name"
    else
        fail "$name did not pass every check"
    fi
}
run_script "$here/objects.js"
run_script "$here/objects.vbs"

# What reached the services: ANSI text for seven, UTF-8 for Quorlane.
if python3 - "$base" <<'PY'
import json, sys, urllib.request
base = sys.argv[1]
stored = json.load(urllib.request.urlopen(base + "/_emulator/bookmarks", timeout=10))
problems = []
def titles(service):
    return [b.get("title") for b in stored[service].get("demo", [])]
expect = {
    "delicious": ["Explicit title", "VBScript title"],
    "shadows": ["Shadows title", "Shadows from VBScript"],
    "simpy": ["Simpy title", "Simpy from VBScript"],
    "netvouz": ["Netvouz title", "Netvouz from VBScript"],
    "spurl": ["Spurl title", "Spurl from VBScript"],
    "blogmarks": ["Blogmarks title", "Blogmarks from VBScript"],
    "quorlane": ["Quorlane \u0100\u4e2d title", "Quorlane from VBScript"],
}
for service, wanted in expect.items():
    for title in wanted:
        if title not in titles(service):
            problems.append(f"{service}: no bookmark titled {title!r} (stored: {titles(service)})")
if not any(b.get("title") == "Furl title" for b in stored["furl"].get("demo", [])):
    problems.append("furl: QuickSubmit2's bookmark missing")
for p in problems:
    print("  " + p)
sys.exit(1 if problems else 0)
PY
then pass "the emulator stored every bookmark, Quorlane's title as UTF-8"
else fail "bookmarks stored by the emulator"
fi

# --- what scripts cannot see
if "$wine" "$build/tests/module/win32/plentor_com_tests.exe" --gtest_brief=1; then
    pass "plentor_com_tests.exe"
else
    fail "plentor_com_tests.exe"
fi

# --- unregistration
"$wine" regsvr32 /s /u "$module" || fail "regsvr32 /u exit status $?"
check_all_removed

# --- a module path with a single quote
quoted="$work/it's here"
mkdir -p "$quoted"
cp "$dll" "$quoted/"
qmodule=$(winpath "$quoted/Plentor.dll")
"$wine" regsvr32 /s "$qmodule" || fail "regsvr32 of a path with a quote: exit status $?"
snapshot
expect_value "HKCR\\CLSID\\${clsids[Simpy]}\\InprocServer32" "" "$qmodule"
out=$(cd "$work" && printf 'WScript.Quit(new ActiveXObject("Plentor.Simpy").Login === "" ? 0 : 1);\n' >q.js &&
      "$wine" cscript //nologo "$(winpath "$work/q.js")" 2>&1) && pass "an object created from a path with a quote" ||
    fail "creating an object registered from a path with a quote: $out"
"$wine" regsvr32 /s /u "$qmodule"
check_all_removed

finish com-tests
