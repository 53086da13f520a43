#!/usr/bin/env bash
# plentor submit: saves bookmarks to the service emulator through every kind
# of client, and refuses bad logins and bad arguments.
# usage: submit.sh EXE DATA_DIR [LAUNCHER...]
set -u
. "$(dirname "$0")/lib.sh" "$@"

mkdir "$work/pages"
printf '<html><head><title>\n  Page   From\tThe Site\n</title></head><body>x</body></html>' >"$work/pages/titled.html"
start_emulator "$work/pages"
base=$EMULATOR_BASE
port=$EMULATOR_PORT
journal=$EMULATOR_JOURNAL

expect_quiet() { expect_no_stderr "$1"; expect_no_stdout "$1"; }

# check_stored SERVICE KEY VALUE ...: every triple names a value that one of
# the demo user's bookmarks on SERVICE holds under KEY. One python run reads
# the emulator's store for all of them.
check_stored() {
    python3 - "$base" "$@" <<'PY'
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
    check $? "stored bookmarks differ"
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
# (Windows takes its code page from the system, not from PLENTOR_ACP: Wine's
# is 1252 in an English or C locale, so the same checks hold there.)
PLENTOR_ACP=1252 run submit shadows --login demo --password demo --url 'http://example.org/cp' \
    --title 'Caf'$'\xc3\xa9' --endpoint "$base"
expect_rc 0 "shadows in code page 1252"
grep -q 'description=Caf%E9&' "$journal"; check $? "shadows title in code page 1252 was not sent as Caf%E9"

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
expect_stderr "shadows --log" 'ZentrelLog'

# --- Refused logins and submissions: exit 1 with one line.
for service in netvouz spurl blogmarks furl quorlane; do
    extra=(); [ "$service" = quorlane ] && extra=(--category c)
    run submit "$service" --login demo --password wrong --url 'http://example.org/x' "${extra[@]}" --endpoint "$base"
    expect_rc 1 "$service with a wrong password"
    expect_one_line_error "$service with a wrong password" "login failed"
done
run submit delicious --login demo --password wrong --url 'http://example.org/x' --endpoint "$base"
expect_rc 1 "delicious with a wrong password"
expect_one_line_error "delicious with a wrong password" "not saved"

# --- Usage errors: exit 2, nothing sent.
before=$(wc -l <"$journal")
usage_case() {
    local why=$1; shift
    run "$@"
    expect_usage "$why" submit
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
after=$(wc -l <"$journal")
[ "$before" = "$after" ]; check $? "usage errors sent $((after - before)) requests"

finish submit
