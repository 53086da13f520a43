#!/usr/bin/env bash
# plentor page-info and submit-url: derive a page's title, description, tags
# and same-site links from a page the service emulator serves, and save the
# page to Delicious with them.
# usage: page-info.sh EXE DATA_DIR [LAUNCHER...]
set -u
. "$(dirname "$0")/lib.sh" "$@"

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
start_emulator "$work/pages"
base=$EMULATOR_BASE
journal=$EMULATOR_JOURNAL

# tag_words: the words of the tags line, sorted, on one line.
tag_words() { sed -n 's/^tags: //p' "$work/out" | tr ' ' '\n' | sort | tr '\n' ' '; }
delicious_requests() { grep -c '"service": "delicious"' "$journal"; }

# --- page-info
run page-info "$base/pages/roses.html"
expect_rc 0 "page-info"
expect_line "page-info title" "title: Winter Roses"
expect_line "page-info extended" "extended: Keeping roses through frost."
[ "$(tag_words)" = "frost keeping mulch roses winter " ]; check $? "page-info tags: $(tag_words)"
[ "$(grep '^link: ' "$work/out")" = "link: $base/pages/spring.html
link: $base/pages/summer.html" ]; check $? "page-info links: $(cat "$work/out")"
expect_no_stderr "page-info"
cp "$work/out" "$work/first"
run page-info "$base/pages/roses.html"
expect_stdout_file "$work/first" "a second page-info"

# A page without title, description or words still succeeds, with empty values.
run page-info "$base/pages/empty.html"
expect_rc 0 "page-info of an empty page"
expect_stdout 'title: \nextended: \ntags: \n' "page-info of an empty page"

run page-info "$base/pages/missing.html"
expect_rc 1 "page-info of a missing page"
expect_no_stdout "page-info of a missing page"
expect_one_line_error "page-info of a missing page" "status 404"

# --- submit-url
before=$(delicious_requests)
run submit-url "$base/pages/roses.html" --login demo --password demo --endpoint "$base"
expect_rc 0 "submit-url"
expect_line "submit-url title" "title: Winter Roses"
! grep -q '^link: ' "$work/out"; check $? "submit-url printed links: $(cat "$work/out")"
[ "$(delicious_requests)" = $((before + 1)) ]; check $? "submit-url did not send one request to delicious"
grep '"service": "delicious"' "$journal" | tail -n 1 |
    grep -qF 'description=Winter+Roses&extended=Keeping+roses+through+frost%2E&tags='
check $? "submit-url sent other values: $(tail -n 1 "$journal")"

# A page that cannot be fetched sends nothing to the service.
before=$(delicious_requests)
run submit-url "$base/pages/missing.html" --login demo --password demo --endpoint "$base"
expect_rc 1 "submit-url of a missing page"
expect_no_stdout "submit-url of a missing page"
expect_one_line_error "submit-url of a missing page" "cannot fetch"
[ "$(delicious_requests)" = "$before" ]; check $? "submit-url of a missing page reached delicious"

run submit-url "$base/pages/roses.html" --login demo --password wrong --endpoint "$base"
expect_rc 1 "submit-url with a wrong password"
expect_line "submit-url with a wrong password" "title: Winter Roses"
expect_one_line_error "submit-url with a wrong password" "not saved"

run submit-url "$base/pages/roses.html" --login demo --password demo --endpoint "$base" --log
expect_rc 0 "submit-url --log"
[ "$(grep -c 'ZentrelLog' "$work/err")" = 2 ]; check $? "submit-url --log: expected the fetch's and the submission's log: $(cat "$work/err")"

# --- usage errors: exit 2, nothing sent
lines=$(wc -l <"$journal")
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
[ "$(wc -l <"$journal")" = "$lines" ]; check $? "usage errors sent requests"

finish page-info
