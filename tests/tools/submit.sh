#!/usr/bin/env bash
# plentor submit: saves bookmarks to the service emulator through every kind
# of client, and refuses bad logins and bad arguments.
# usage: submit.sh PATH_TO_plentor TEST_DATA_DIR
set -u
plentor=$1
here=$(cd "$(dirname "$0")" && pwd)
emulator=$here/../../tools/bookmark-emulator/bookmark-emulator.py
if ! command -v python3 >/dev/null 2>&1; then
    echo "SKIP: python3 is not installed; the bookmark emulator needs it"
    exit 0
fi

work=$(mktemp -d)
emulator_pid=
stop_emulator() {
    [ -n "$emulator_pid" ] || return 0
    kill "$emulator_pid" 2>/dev/null
    # A TERM stops the emulator at once; a KILL follows after a bounded wait.
    for _ in $(seq 50); do kill -0 "$emulator_pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$emulator_pid" 2>/dev/null
    wait "$emulator_pid" 2>/dev/null
    emulator_pid=
}
trap 'stop_emulator; rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir "$work/pages"
printf '<html><head><title>\n  Page   From\tThe Site\n</title></head><body>x</body></html>' >"$work/pages/titled.html"
mkfifo "$work/port"
python3 "$emulator" --port 0 --journal "$work/journal" --pages "$work/pages" >"$work/port" 2>"$work/emulator.err" &
emulator_pid=$!
port=
read -r -t 10 port <"$work/port"
if [ -z "$port" ]; then
    echo "FAIL: the emulator did not start: $(cat "$work/emulator.err")"
    exit 1
fi
base=http://127.0.0.1:$port

# run ARGS...: runs the tool, keeping stdout, stderr and the exit status.
run() { "$plentor" "$@" >"$work/out" 2>"$work/err"; echo $? >"$work/rc"; }
expect_rc() { local got; got=$(cat "$work/rc"); [ "$got" = "$1" ] || fail "$2: exit $got, expected $1 (stderr: $(cat "$work/err"))"; }
expect_quiet() { [ -s "$work/err" ] && fail "$1 wrote to stderr: $(cat "$work/err")"; [ -s "$work/out" ] && fail "$1 wrote to stdout: $(cat "$work/out")"; }
expect_one_line() {
    local lines; lines=$(wc -l <"$work/err")
    [ "$lines" = 1 ] || fail "$1: expected one line on stderr, got $lines: $(cat "$work/err")"
    grep -q "$2" "$work/err" || fail "$1: stderr does not mention '$2': $(cat "$work/err")"
}

# check_stored SERVICE KEY VALUE ...: every triple names a value that one of
# the demo user's bookmarks on SERVICE holds under KEY. One python run reads
# the emulator's store for all of them.
check_stored() {
    python3 - "$base" "$@" <<'PY' || fail "stored bookmarks differ"
import json, sys, urllib.request
data = json.load(urllib.request.urlopen(sys.argv[1] + "/_emulator/bookmarks"))
args, ok = sys.argv[2:], True
for service, key, value in zip(args[0::3], args[1::3], args[2::3]):
    found = [record.get(key, "") for record in data.get(service, {}).get("demo", [])]
    if value not in found:
        print(f"FAIL: {service} {key}: {value!r} not among {found!r}")
        ok = False
sys.exit(0 if ok else 1)
PY
}

# --- One service of each kind takes a bookmark.
run submit delicious --login demo --password demo --url 'http://example.org/d' --title 'Caf'$'\xc3\xa9'' page' \
    --tags 'web, news' --endpoint "$base"
expect_rc 0 "delicious submit"; expect_quiet "delicious submit"

run submit netvouz --login demo --password demo --url 'http://example.org/n' --title 'N' --extended 'About' \
    --tags 'a b' --endpoint "$base/"
expect_rc 0 "netvouz login and submit"; expect_quiet "netvouz submit"

run submit furl --login demo --password demo --url "$base/pages/titled.html" --endpoint "$base"
expect_rc 0 "furl without --title"; expect_quiet "furl submit"

run submit furl --login demo --password demo --url 'http://example.org/f' --title 'Given' --endpoint "$base"
expect_rc 0 "furl with --title"

run submit quorlane --login demo --password demo --url 'http://example.org/q&s=tqpsrch' --title 'Q' \
    --category 'Reading' --tags 'x y' --endpoint "$base"
expect_rc 0 "quorlane with --tags"

run submit quorlane --login demo --password demo --url 'http://example.org/q2' --category 'Reading' --tag one \
    --endpoint "$base"
expect_rc 0 "quorlane with --tag"

# In a windows-1252 code page the title leaves as one byte per character.
PLENTOR_ACP=1252 run submit shadows --login demo --password demo --url 'http://example.org/cp' \
    --title 'Caf'$'\xc3\xa9' --endpoint "$base"
expect_rc 0 "shadows in code page 1252"
grep -q 'description=Caf%E9&' "$work/journal" || fail "shadows title in code page 1252 was not sent as Caf%E9"

# The environment variable points a client at the emulator when --endpoint is absent.
PLENTOR_SIMPY_URL=$base run submit simpy --login demo --password demo --url 'http://example.org/s' --tags 'a,b'
expect_rc 0 "simpy through PLENTOR_SIMPY_URL"

check_stored \
    delicious tags "web news" \
    delicious title "Café page" \
    netvouz extended "About" \
    furl title "Page From The Site" \
    furl title "Given" \
    quorlane command addToTags \
    quorlane url "http://example.org/q" \
    quorlane command addEntry \
    simpy tags "a,b"

# --log writes the HTTP client's log to stderr.
run submit shadows --login demo --password demo --url 'http://example.org/sh' --endpoint "$base" --log
expect_rc 0 "shadows --log"
grep -q 'ZentrelLog' "$work/err" || fail "shadows --log wrote no log: $(cat "$work/err")"

# --- Refused logins and submissions: exit 1 with one line.
for service in netvouz spurl blogmarks furl quorlane; do
    extra=(); [ "$service" = quorlane ] && extra=(--category c)
    run submit "$service" --login demo --password wrong --url 'http://example.org/x' "${extra[@]}" --endpoint "$base"
    expect_rc 1 "$service with a wrong password"
    expect_one_line "$service with a wrong password" "login failed"
done
run submit delicious --login demo --password wrong --url 'http://example.org/x' --endpoint "$base"
expect_rc 1 "delicious with a wrong password"
expect_one_line "delicious with a wrong password" "not saved"

# --- Usage errors: exit 2, nothing sent.
before=$(wc -l <"$work/journal")
usage_case() {
    local why=$1; shift
    run "$@"
    expect_rc 2 "$why"
    [ -s "$work/out" ] && fail "$why wrote to stdout: $(cat "$work/out")"
}
usage_case "no service" submit
usage_case "unknown service" submit magnolia --login demo --password demo --url u
usage_case "no --url" submit delicious --login demo --password demo
usage_case "no --password" submit delicious --login demo --url u
usage_case "flag without value" submit delicious --login demo --password demo --url
usage_case "unknown flag" submit delicious --login demo --password demo --url u --private
usage_case "stray argument" submit delicious extra --login demo --password demo --url u
usage_case "simpy has no description" submit simpy --login demo --password demo --url u --extended e
usage_case "furl takes no tags" submit furl --login demo --password demo --url u --tags t
usage_case "category outside quorlane" submit netvouz --login demo --password demo --url u --category c
usage_case "quorlane needs a category" submit quorlane --login demo --password demo --url u
usage_case "quorlane: --tags and --tag" submit quorlane --login demo --password demo --url u --category c --tags a --tag b
usage_case "endpoint with a path" submit spurl --login demo --password demo --url u --endpoint "$base/submit.php"
usage_case "endpoint without scheme" submit spurl --login demo --password demo --url u --endpoint "127.0.0.1:$port"
PLENTOR_ACP=1252 usage_case "text outside the ANSI code page" \
    submit delicious --login demo --password demo --url u --title $'\xe6\x97\xa5' --endpoint "$base"
after=$(wc -l <"$work/journal")
[ "$before" = "$after" ] || fail "usage errors sent $((after - before)) requests"

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "submit: all checks passed"
