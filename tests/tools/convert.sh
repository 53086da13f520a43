#!/usr/bin/env bash
# plentor convert: bytes in one charset in, bytes in another out.
# usage: convert.sh EXE DATA_DIR [LAUNCHER...]
set -u
. "$(dirname "$0")/lib.sh" "$@"

RUN_STDIN=$work/stdin
printf 'Caf\xc3\xa9' >"$work/utf8.txt"
: >"$work/stdin"

run convert --from utf-8 --to iso-8859-1 "$work/utf8.txt"
expect_rc 0 "file utf-8 to latin1"; expect_stdout_hex "436166e9" "file utf-8 to latin1"
# A file name outside ASCII reaches the file (on Windows through the
# active code page).
cp "$work/utf8.txt" "$work/caf"$'\xc3\xa9'".txt"
run convert --from utf-8 --to iso-8859-1 "$work/caf"$'\xc3\xa9'".txt"
expect_rc 0 "file name outside ASCII"; expect_stdout_hex "436166e9" "file name outside ASCII"
run convert --to " Latin1 " --from UTF_8 "$work/utf8.txt"
expect_rc 0 "names are normalised"; expect_stdout_hex "436166e9" "names are normalised"
run convert --from utf-8 --to utf-16le "$work/utf8.txt"
expect_rc 0 "to utf-16"; expect_stdout_hex "430061006600e900" "to utf-16"

printf 'Caf\xe9' >"$work/stdin"
run convert --from latin1 --to utf-8
expect_rc 0 "stdin latin1 to utf-8"; expect_stdout_hex "436166c3a9" "stdin latin1 to utf-8"
run convert --from latin1 --to utf-8 -
expect_rc 0 "dash is stdin"; expect_stdout_hex "436166c3a9" "dash is stdin"

printf '\xef\xbb\xbfabc' >"$work/stdin"
run convert --from utf-8 --to windows-1252
expect_rc 0 "bom dropped"; expect_stdout_hex "616263" "bom dropped"

# Line ends and control bytes are bytes like any other, in both directions:
# no CR is added before LF, none is dropped from CR LF, ^Z does not end the
# input, and a UTF-16 LF (0a 00) is not taken for a text line end.
printf 'a\nb\r\nc\x1ad\r\r\n\n' >"$work/stdin"
cp "$work/stdin" "$work/lines.txt"
run convert --from latin1 --to windows-1252
expect_rc 0 "line ends from stdin"; expect_stdout_file "$work/lines.txt" "line ends from stdin"
run convert --from latin1 --to latin1 "$work/lines.txt"
expect_rc 0 "line ends from a file"; expect_stdout_file "$work/lines.txt" "line ends from a file"
run convert --from latin1 --to utf-16le
expect_rc 0 "line ends to utf-16"
expect_stdout_hex "61000a0062000d000a0063001a0064000d000d000a000a00" "line ends to utf-16"

# Double-byte and stateful charsets: 日本, and half-width ka + voiced mark.
printf '\x93\xfa\x96\x7b' >"$work/stdin"
run convert --from shift_jis --to utf-8
expect_rc 0 "shift_jis to utf-8"; expect_stdout_hex "e697a5e69cac" "shift_jis to utf-8"
run convert --from sjis --to iso-2022-jp
expect_rc 0 "shift_jis to iso-2022-jp"; expect_stdout_hex "1b2442467c4b5c1b2842" "shift_jis to iso-2022-jp"
printf '\xef\xbd\xb6\xef\xbe\x9e' >"$work/stdin"
run convert --from utf-8 --to csISO2022JP
expect_rc 0 "half-width kana to iso-2022-jp"; expect_stdout_hex "1b2442252c1b2842" "half-width kana to iso-2022-jp"
printf '\x1b$BF|K\\\x1b(B' >"$work/stdin"
run convert --from iso-2022-jp --to utf-8
expect_rc 0 "iso-2022-jp to utf-8"; expect_stdout_hex "e697a5e69cac" "iso-2022-jp to utf-8"

: >"$work/stdin"
run convert --from utf-8 --to utf-16
expect_rc 0 "empty input"; expect_no_stdout "empty input"

# Characters the target cannot hold: what converted is written, exit 1.
printf 'a\xe2\x82\xacb' >"$work/stdin"
run convert --from utf-8 --to us-ascii
expect_rc 1 "incomplete conversion"; expect_stdout_hex "6162" "incomplete conversion"
expect_one_line_error "incomplete conversion" "us-ascii"

: >"$work/stdin"
run convert --from utf-8 --to klingon "$work/utf8.txt"
expect_rc 2 "unknown charset"; expect_no_stdout "unknown charset"
expect_one_line_error "unknown charset" "klingon"

run convert --from utf-8 --to latin1 "$work/no-such-file"
expect_rc 1 "missing file"; expect_no_stdout "missing file"
expect_one_line_error "missing file" "$work/no-such-file"

for args in "--from utf-8" "--to utf-8" "--from utf-8 --to latin1 --bogus" "--from" \
            "--from utf-8 --to latin1 a b"; do
    # shellcheck disable=SC2086
    run convert $args
    expect_usage "usage: $args" convert
done

run convert --help
expect_rc 0 "--help"
grep -q 'convert --from NAME --to NAME' "$work/out"; check $? "--help text"

finish convert
