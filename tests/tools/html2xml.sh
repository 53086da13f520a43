#!/usr/bin/env bash
# plentor html2xml: an HTML page in, the converter's XML out.
# usage: html2xml.sh PATH_TO_plentor TEST_DATA_DIR
set -u
PLENTOR=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect_run NAME STATUS EXPECTED_STDOUT -- ARGS...   (stdin from $tmp/stdin; \r and \n in
# EXPECTED_STDOUT are interpreted by printf)
expect_run() {
    local name=$1 status=$2 expected=$3
    shift 4
    "$PLENTOR" "$@" <"$tmp/stdin" >"$tmp/out" 2>"$tmp/err"
    local got=$?
    [ "$got" -eq "$status" ] || fail "$name: exit $got, expected $status ($(cat "$tmp/err"))"
    printf "$expected" >"$tmp/expected"
    cmp -s "$tmp/out" "$tmp/expected" || fail "$name: stdout $(od -c "$tmp/out" | head -8)"
}

expect_one_line_error() {
    local name=$1 text=$2
    [ "$(wc -l <"$tmp/err")" -eq 1 ] || fail "$name: stderr is not one line: $(cat "$tmp/err")"
    grep -qF -- "$text" "$tmp/err" || fail "$name: stderr does not mention '$text': $(cat "$tmp/err")"
}

decl='<?xml version="1.0" encoding="utf-8" ?>\r\n'

printf '<html><p>one<b>two</b><p>a &lt; b &eacute;<br></html>' >"$tmp/page.html"
: >"$tmp/stdin"
expect_run "file" 0 "$decl\r\n<root>\r\n<html>\r\n<p>\r\n<text>one two</text>\r\n</p>\r\n<p>\r\n<text>a &lt; b \xc3\xa9</text>\r\n</p>\r\n</html>\r\n</root>\r\n" -- html2xml "$tmp/page.html"

# Standard input, read as bytes: the CR LF inside the script stays.
printf '<script>if (a<b)\r\n x();</script>&#169;' >"$tmp/stdin"
expected="$decl\r\n<root>\r\n<script>\r\n<text><![CDATA[if (a<b)\r\n x();]]></text>\r\n</script>\r\n<text><![CDATA[&#169;]]></text>\r\n</root>\r\n"
expect_run "stdin" 0 "$expected" -- html2xml
expect_run "dash is stdin" 0 "$expected" -- html2xml -

# A page in windows-1252 comes out as UTF-8.
printf '<meta http-equiv="Content-Type" content="text/html; charset=windows-1252"><p>caf\xe9 \x80</p>' >"$tmp/stdin"
expect_run "declared charset" 0 "$decl\r\n<root>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\"></meta>\r\n<p>\r\n<text>caf\xc3\xa9 \xe2\x82\xac</text>\r\n</p>\r\n</root>\r\n" -- html2xml

# No markup at all is still a document.
: >"$tmp/stdin"
expect_run "empty page" 0 "$decl\r\n<root></root>\r\n" -- html2xml

expect_run "missing file" 1 "" -- html2xml "$tmp/no-such-file"
expect_one_line_error "missing file" "$tmp/no-such-file"

mkdir "$tmp/dir.html"
expect_run "directory" 1 "" -- html2xml "$tmp/dir.html"
expect_one_line_error "directory" "$tmp/dir.html"

for args in "--bogus" "a b"; do
    # shellcheck disable=SC2086
    expect_run "usage: $args" 2 "" -- html2xml $args
    grep -q '^usage: plentor html2xml' "$tmp/err" || fail "usage: $args: no usage line: $(cat "$tmp/err")"
done

"$PLENTOR" html2xml --help >"$tmp/out" 2>&1 || fail "--help exit status"
grep -q 'html2xml \[FILE\]' "$tmp/out" || fail "--help text"

[ "$failures" -eq 0 ] && echo "html2xml: all checks passed"
exit $((failures > 0))
