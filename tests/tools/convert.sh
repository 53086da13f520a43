#!/usr/bin/env bash
# plentor convert: bytes in one charset in, bytes in another out.
# usage: convert.sh PATH_TO_plentor TEST_DATA_DIR
set -u
PLENTOR=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect_run NAME STATUS EXPECTED_STDOUT_HEX -- ARGS...   (stdin from $tmp/stdin)
expect_run() {
    local name=$1 status=$2 hex=$3
    shift 4
    "$PLENTOR" "$@" <"$tmp/stdin" >"$tmp/out" 2>"$tmp/err"
    local got=$?
    [ "$got" -eq "$status" ] || fail "$name: exit $got, expected $status ($(cat "$tmp/err"))"
    local out
    out=$(od -An -v -tx1 "$tmp/out" | tr -d ' \n')
    [ "$out" = "$hex" ] || fail "$name: stdout $out, expected $hex"
}

# The error output must be exactly one line mentioning the given text.
expect_one_line_error() {
    local name=$1 text=$2
    [ "$(wc -l <"$tmp/err")" -eq 1 ] || fail "$name: stderr is not one line: $(cat "$tmp/err")"
    grep -qF -- "$text" "$tmp/err" || fail "$name: stderr does not mention '$text': $(cat "$tmp/err")"
}

printf 'Caf\xc3\xa9' >"$tmp/utf8.txt"
: >"$tmp/stdin"

expect_run "file utf-8 to latin1" 0 "436166e9" -- convert --from utf-8 --to iso-8859-1 "$tmp/utf8.txt"
expect_run "names are normalised" 0 "436166e9" -- convert --to " Latin1 " --from UTF_8 "$tmp/utf8.txt"
expect_run "to utf-16" 0 "430061006600e900" -- convert --from utf-8 --to utf-16le "$tmp/utf8.txt"

printf 'Caf\xe9' >"$tmp/stdin"
expect_run "stdin latin1 to utf-8" 0 "436166c3a9" -- convert --from latin1 --to utf-8
expect_run "dash is stdin" 0 "436166c3a9" -- convert --from latin1 --to utf-8 -

printf '\xef\xbb\xbfabc' >"$tmp/stdin"
expect_run "bom dropped" 0 "616263" -- convert --from utf-8 --to windows-1252

# Double-byte and stateful charsets: 日本, and half-width ka + voiced mark.
printf '\x93\xfa\x96\x7b' >"$tmp/stdin"
expect_run "shift_jis to utf-8" 0 "e697a5e69cac" -- convert --from shift_jis --to utf-8
expect_run "shift_jis to iso-2022-jp" 0 "1b2442467c4b5c1b2842" -- convert --from sjis --to iso-2022-jp
printf '\xef\xbd\xb6\xef\xbe\x9e' >"$tmp/stdin"
expect_run "half-width kana to iso-2022-jp" 0 "1b2442252c1b2842" -- convert --from utf-8 --to csISO2022JP
printf '\x1b$BF|K\\\x1b(B' >"$tmp/stdin"
expect_run "iso-2022-jp to utf-8" 0 "e697a5e69cac" -- convert --from iso-2022-jp --to utf-8

: >"$tmp/stdin"
expect_run "empty input" 0 "" -- convert --from utf-8 --to utf-16

# Characters the target cannot hold: what converted is written, exit 1.
printf 'a\xe2\x82\xacb' >"$tmp/stdin"
expect_run "incomplete conversion" 1 "6162" -- convert --from utf-8 --to us-ascii
expect_one_line_error "incomplete conversion" "us-ascii"

: >"$tmp/stdin"
expect_run "unknown charset" 2 "" -- convert --from utf-8 --to klingon "$tmp/utf8.txt"
expect_one_line_error "unknown charset" "klingon"

expect_run "missing file" 1 "" -- convert --from utf-8 --to latin1 "$tmp/no-such-file"
expect_one_line_error "missing file" "$tmp/no-such-file"

for args in "--from utf-8" "--to utf-8" "--from utf-8 --to latin1 --bogus" "--from" \
            "--from utf-8 --to latin1 a b"; do
    # shellcheck disable=SC2086
    expect_run "usage: $args" 2 "" -- convert $args
    grep -q '^usage: plentor convert' "$tmp/err" || fail "usage: $args: no usage line: $(cat "$tmp/err")"
done

"$PLENTOR" convert --help >"$tmp/out" 2>&1 || fail "--help exit status"
grep -q 'convert --from NAME --to NAME' "$tmp/out" || fail "--help text"

[ "$failures" -eq 0 ] && echo "convert: all checks passed"
exit $((failures > 0))
