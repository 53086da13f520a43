#!/usr/bin/env bash
# plentor page-info and submit-url: derive a page's title, description, tags
# and same-site links from a page the service emulator serves, and save the
# page to Delicious with them.
# usage: page-info.sh PATH_TO_plentor TEST_DATA_DIR
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
cat >"$work/pages/roses.html" <<'HTML'
<html><head><title>
  Winter   Roses
</title>
<meta name="description" content="Keeping roses  through frost.">
</head><body><p>Roses roses frost. Frost mulch.</p>
<a href="/pages/spring.html">s</a> <a href="#top">t</a> <a href="http://example.org/x">o</a>
<A HREF="summer.html">u</A> <a href="/pages/spring.html">again</a>
</body></html>
HTML
printf '<html><body>x</body></html>' >"$work/pages/empty.html"
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
expect_line() { grep -qxF -- "$2" "$work/out" || fail "$1: no line '$2' in: $(cat "$work/out")"; }
expect_no_stdout() { [ -s "$work/out" ] && fail "$1 wrote to stdout: $(cat "$work/out")"; }
expect_one_line() {
    local lines; lines=$(wc -l <"$work/err")
    [ "$lines" = 1 ] || fail "$1: expected one line on stderr, got $lines: $(cat "$work/err")"
    grep -q "$2" "$work/err" || fail "$1: stderr does not mention '$2': $(cat "$work/err")"
}
# tag_words: the words of the tags line, sorted, on one line.
tag_words() { sed -n 's/^tags: //p' "$work/out" | tr ' ' '\n' | sort | tr '\n' ' '; }
delicious_requests() { grep -c '"service": "delicious"' "$work/journal"; }

# --- page-info
run page-info "$base/pages/roses.html"
expect_rc 0 "page-info"
expect_line "page-info title" "title: Winter Roses"
expect_line "page-info extended" "extended: Keeping roses through frost."
[ "$(tag_words)" = "frost keeping mulch roses winter " ] || fail "page-info tags: $(tag_words)"
[ "$(grep '^link: ' "$work/out")" = "link: $base/pages/spring.html
link: $base/pages/summer.html" ] || fail "page-info links: $(cat "$work/out")"
[ -s "$work/err" ] && fail "page-info wrote to stderr: $(cat "$work/err")"
cp "$work/out" "$work/first"
run page-info "$base/pages/roses.html"
cmp -s "$work/out" "$work/first" || fail "a second page-info gave other output: $(cat "$work/out")"

# A page without title, description or words still succeeds, with empty values.
run page-info "$base/pages/empty.html"
expect_rc 0 "page-info of an empty page"
[ "$(cat "$work/out")" = "title: 
extended: 
tags: " ] || fail "page-info of an empty page: $(cat "$work/out")"

run page-info "$base/pages/missing.html"
expect_rc 1 "page-info of a missing page"
expect_no_stdout "page-info of a missing page"
expect_one_line "page-info of a missing page" "status 404"

# --- submit-url
before=$(delicious_requests)
run submit-url "$base/pages/roses.html" --login demo --password demo --endpoint "$base"
expect_rc 0 "submit-url"
expect_line "submit-url title" "title: Winter Roses"
grep -q '^link: ' "$work/out" && fail "submit-url printed links: $(cat "$work/out")"
[ "$(delicious_requests)" = $((before + 1)) ] || fail "submit-url did not send one request to delicious"
grep '"service": "delicious"' "$work/journal" | tail -n 1 |
    grep -qF 'description=Winter+Roses&extended=Keeping+roses+through+frost%2E&tags=' ||
    fail "submit-url sent other values: $(tail -n 1 "$work/journal")"

# A page that cannot be fetched sends nothing to the service.
before=$(delicious_requests)
run submit-url "$base/pages/missing.html" --login demo --password demo --endpoint "$base"
expect_rc 1 "submit-url of a missing page"
expect_no_stdout "submit-url of a missing page"
expect_one_line "submit-url of a missing page" "cannot fetch"
[ "$(delicious_requests)" = "$before" ] || fail "submit-url of a missing page reached delicious"

run submit-url "$base/pages/roses.html" --login demo --password wrong --endpoint "$base"
expect_rc 1 "submit-url with a wrong password"
expect_line "submit-url with a wrong password" "title: Winter Roses"
expect_one_line "submit-url with a wrong password" "not saved"

run submit-url "$base/pages/roses.html" --login demo --password demo --endpoint "$base" --log
expect_rc 0 "submit-url --log"
[ "$(grep -c 'ZentrelLog' "$work/err")" = 2 ] || fail "submit-url --log: expected the fetch's and the submission's log: $(cat "$work/err")"

# --- usage errors: exit 2, nothing sent
lines=$(wc -l <"$work/journal")
usage_case() {
    local why=$1; shift
    run "$@"
    expect_rc 2 "$why"
    expect_no_stdout "$why"
}
usage_case "page-info without URL" page-info
usage_case "page-info with two URLs" page-info "$base/pages/roses.html" "$base/pages/empty.html"
usage_case "page-info with an option" page-info --verbose
usage_case "submit-url without URL" submit-url --login demo --password demo
usage_case "submit-url without --password" submit-url "$base/pages/roses.html" --login demo
usage_case "submit-url flag without value" submit-url "$base/pages/roses.html" --login demo --password
usage_case "submit-url unknown flag" submit-url "$base/pages/roses.html" --login demo --password demo --tags a
usage_case "submit-url two URLs" submit-url "$base/pages/roses.html" extra --login demo --password demo
usage_case "submit-url endpoint with a path" \
    submit-url "$base/pages/roses.html" --login demo --password demo --endpoint "$base/v1"
[ "$(wc -l <"$work/journal")" = "$lines" ] || fail "usage errors sent requests"

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "page-info: all checks passed"
