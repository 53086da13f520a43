#!/usr/bin/env bash
# plentor tags: suggests tags for an HTML page with the built-in stop list.
# usage: tags.sh PATH_TO_plentor TEST_DATA_DIR
set -u
plentor=$1
data=$2/tags
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run ARGS...: runs the tool, keeping stdout, stderr and the exit status.
run() { "$plentor" "$@" >"$work/out" 2>"$work/err" </dev/null; echo $? >"$work/rc"; }
expect_rc() { local got; got=$(cat "$work/rc"); [ "$got" = "$1" ] || fail "$2: exit $got, expected $1 (stderr: $(cat "$work/err"))"; }
expect_out() { printf '%s\n' "$1" | cmp -s - "$work/out" || fail "$2: got '$(cat "$work/out")', expected '$1'"; }

# A small page: frequent words of the body, title and meta tags; nothing from
# the script, the style, the mail address, the copyright line or stop words.
garden='worms corner coffee compost grounds kitchen soil scraps heap castings'
run tags "$data/garden.html"
expect_rc 0 "tags on garden.html"
expect_out "$garden" "tags on garden.html"
[ -s "$work/err" ] && fail "tags wrote to stderr: $(cat "$work/err")"
for word in tracker sidebar green brown example copyright reserved privacy home links; do
    grep -qw "$word" "$work/out" && fail "garden.html: '$word' should not be a tag"
done

# The same page from standard input, and a second run: the same tags.
"$plentor" tags <"$data/garden.html" >"$work/stdin-out" 2>"$work/err" || fail "tags from stdin: exit $?"
printf '%s\n' "$garden" | cmp -s - "$work/stdin-out" || fail "tags from stdin: $(cat "$work/stdin-out")"
"$plentor" tags - <"$data/garden.html" >"$work/dash-out" 2>/dev/null
cmp -s "$work/stdin-out" "$work/dash-out" || fail "tags - differs from stdin: $(cat "$work/dash-out")"

# A windows-1252 page: decoded with --charset, the accented words survive and
# come out in UTF-8; read as UTF-8, its accented bytes are not text.
run tags "$data/cafe-1252.html" --charset windows-1252
expect_rc 0 "tags --charset windows-1252"
for word in "café" "crème" "brûlée" "coin"; do
    grep -qw "$word" "$work/out" || fail "cafe-1252.html with --charset: '$word' missing from '$(cat "$work/out")'"
done
[ "$(wc -w <"$work/out")" -eq 4 ] || fail "cafe-1252.html with --charset: expected four tags, got '$(cat "$work/out")'"
run tags "$data/cafe-1252.html"
expect_rc 0 "tags on a windows-1252 page read as UTF-8"
grep -q "café" "$work/out" && fail "undecoded page gave 'café': $(cat "$work/out")"

# A page with no usable words gives an empty line.
printf '<html><body><p>the and of 2006</p></body></html>' >"$work/empty.html"
run tags "$work/empty.html"
expect_rc 0 "tags on a page without words"
expect_out "" "tags on a page without words"

# Failures and usage errors.
run tags "$work/missing.html"
expect_rc 1 "tags on a missing file"
grep -q "missing.html" "$work/err" || fail "missing file not named: $(cat "$work/err")"
[ -s "$work/out" ] && fail "missing file printed tags"
run tags "$data/garden.html" --charset no-such-charset
expect_rc 2 "unknown charset"
grep -q "no-such-charset" "$work/err" || fail "unknown charset not named: $(cat "$work/err")"
run tags "$data/garden.html" --charset
expect_rc 2 "--charset without a name"
grep -q "usage: plentor tags" "$work/err" || fail "--charset without a name: no usage line"
run tags --bogus
expect_rc 2 "unknown option"
grep -q "usage: plentor tags" "$work/err" || fail "unknown option: no usage line: $(cat "$work/err")"
run tags "$data/garden.html" "$data/cafe-1252.html"
expect_rc 2 "two files"

# Help.
run tags --help
expect_rc 0 "plentor tags --help"
head -1 "$work/out" | grep -q "^usage: plentor tags \[FILE\]" || fail "tags --help: $(head -1 "$work/out")"
run --help
grep -q "tags" "$work/out" || fail "plentor --help does not list tags"

[ "$failures" -eq 0 ] && echo "tags: all checks passed"
exit $((failures > 0))
