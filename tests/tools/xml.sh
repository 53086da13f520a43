#!/usr/bin/env bash
# plentor xml: XML in, the library's rendering of the document out.
# usage: xml.sh PATH_TO_plentor TEST_DATA_DIR
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
    cmp -s "$tmp/out" "$tmp/expected" || fail "$name: stdout $(od -c "$tmp/out" | head -5)"
}

expect_one_line_error() {
    local name=$1 text=$2
    [ "$(wc -l <"$tmp/err")" -eq 1 ] || fail "$name: stderr is not one line: $(cat "$tmp/err")"
    grep -qF -- "$text" "$tmp/err" || fail "$name: stderr does not mention '$text': $(cat "$tmp/err")"
}

decl='<?xml version="1.0" encoding="utf-8" ?>\r\n'

printf '<a>one<b x:y="1"/>two</a>' >"$tmp/doc.xml"
: >"$tmp/stdin"
expect_run "file" 0 "$decl\r\n<a>one two\r\n<b x_y=\"1\"></b>\r\n</a>\r\n" -- xml "$tmp/doc.xml"

printf '  <r> <c>  v  </c>' >"$tmp/stdin"
expect_run "stdin, unclosed" 0 "$decl\r\n<r>\r\n<c>v</c>\r\n</r>\r\n" -- xml
expect_run "dash is stdin, keep mode" 0 "$decl\r\n<r>\r\n<c>  v  </c>\r\n</r>\r\n" -- xml --keep -

# Declared Latin-1 is read as Latin-1 and written back as Latin-1.
printf '<?xml version="1.0" encoding="ISO-8859-1"?><a>caf\xe9</a>' >"$tmp/stdin"
expect_run "declared charset" 0 '<?xml version="1.0" encoding="ISO-8859-1" ?>\r\n\r\n<a>caf\xe9</a>\r\n' -- xml

# A UTF-16LE file with its byte-order mark comes out as UTF-8.
printf '\xff\xfe<\0a\0>\0\xe9\0<\0/\0a\0>\0' >"$tmp/stdin"
expect_run "utf-16 bom" 0 "$decl\r\n<a>\xc3\xa9</a>\r\n" -- xml

for input in "" "no markup at all" "<!-- only a comment -->"; do
    printf '%s' "$input" >"$tmp/stdin"
    expect_run "no element: '$input'" 1 "" -- xml
    expect_one_line_error "no element: '$input'" "no XML element"
done

: >"$tmp/stdin"
expect_run "missing file" 1 "" -- xml "$tmp/no-such-file"
expect_one_line_error "missing file" "$tmp/no-such-file"

for args in "--bogus" "a b"; do
    # shellcheck disable=SC2086
    expect_run "usage: $args" 2 "" -- xml $args
    grep -q '^usage: plentor xml' "$tmp/err" || fail "usage: $args: no usage line: $(cat "$tmp/err")"
done

"$PLENTOR" xml --help >"$tmp/out" 2>&1 || fail "--help exit status"
grep -q 'xml \[--keep\] \[FILE\]' "$tmp/out" || fail "--help text"

[ "$failures" -eq 0 ] && echo "xml: all checks passed"
exit $((failures > 0))
