#!/usr/bin/env bash
# plentor tags: suggests tags for an HTML page with the built-in stop list.
# usage: tags.sh EXE DATA_DIR [LAUNCHER...]
set -u
. "$(dirname "$0")/lib.sh" "$@"
data=$DATA/tags

# A small page: frequent words of the body, title and meta tags; nothing from
# the script, the style, the mail address, the copyright line or stop words.
garden='worms corner coffee compost grounds kitchen soil scraps heap castings'
run tags "$data/garden.html"
expect_rc 0 "tags on garden.html"
expect_stdout_text "$garden"$'\n' "tags on garden.html"
expect_no_stderr "tags on garden.html"
for word in tracker sidebar green brown example copyright reserved privacy home links; do
    ! grep -qw "$word" "$work/out"; check $? "garden.html: '$word' should not be a tag"
done

# The same page from standard input, and with "-": the same tags.
RUN_STDIN=$data/garden.html
run tags
expect_rc 0 "tags from stdin"; expect_stdout_text "$garden"$'\n' "tags from stdin"
run tags -
expect_rc 0 "tags -"; expect_stdout_text "$garden"$'\n' "tags -"
RUN_STDIN=/dev/null

# A windows-1252 page: decoded with --charset, the accented words survive and
# come out in UTF-8; read as UTF-8, its accented bytes are not text.
run tags "$data/cafe-1252.html" --charset windows-1252
expect_rc 0 "tags --charset windows-1252"
for word in "café" "crème" "brûlée" "coin"; do
    grep -qw "$word" "$work/out"; check $? "cafe-1252.html with --charset: '$word' missing from '$(cat "$work/out")'"
done
[ "$(wc -w <"$work/out")" -eq 4 ]; check $? "cafe-1252.html with --charset: expected four tags, got '$(cat "$work/out")'"
run tags "$data/cafe-1252.html"
expect_rc 0 "tags on a windows-1252 page read as UTF-8"
! grep -q "café" "$work/out"; check $? "undecoded page gave 'café': $(cat "$work/out")"

# A page with no usable words gives an empty line.
printf '<html><body><p>the and of 2006</p></body></html>' >"$work/empty.html"
run tags "$work/empty.html"
expect_rc 0 "tags on a page without words"
expect_stdout '\n' "tags on a page without words"

# Failures and usage errors.
run tags "$work/missing.html"
expect_rc 1 "tags on a missing file"
expect_one_line_error "tags on a missing file" "missing.html"
expect_no_stdout "tags on a missing file"
run tags "$data/garden.html" --charset no-such-charset
expect_rc 2 "unknown charset"
expect_stderr "unknown charset" "no-such-charset"
run tags "$data/garden.html" --charset
expect_usage "--charset without a name" tags
run tags --bogus
expect_usage "unknown option" tags
run tags "$data/garden.html" "$data/cafe-1252.html"
expect_usage "two files" tags

# Help.
run tags --help
expect_rc 0 "plentor tags --help"
head -1 "$work/out" | grep -q "^usage: plentor tags \[FILE\]"; check $? "tags --help: $(head -1 "$work/out")"
run --help
grep -q "tags" "$work/out"; check $? "plentor --help does not list tags"

finish tags
