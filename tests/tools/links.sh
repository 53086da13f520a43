#!/usr/bin/env bash
# plentor links: loads URL list files into one duplicate-free list and prints it.
# usage: links.sh PATH_TO_plentor TEST_DATA_DIR
set -u
plentor=$1
data=$2/links
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run ARGS...: runs the tool, keeping stdout, stderr and the exit status.
run() { "$plentor" "$@" >"$work/out" 2>"$work/err"; echo $? >"$work/rc"; }
expect_rc() { local got; got=$(cat "$work/rc"); [ "$got" = "$1" ] || fail "$2: exit $got, expected $1 (stderr: $(cat "$work/err"))"; }

# A list saved by a Windows editor: byte-order mark, CR LF and LF mixed, blank
# lines, a line with surrounding spaces, a repeated URL, no final line end.
printf '\xEF\xBB\xBFhttp://a.example/\r\nhttp://b.example/\n\r\n\n  http://c.example/  \r\nhttp://a.example/\nhttp://d.example/' \
    >"$work/saved.txt"
printf 'http://a.example/\nhttp://b.example/\n  http://c.example/  \nhttp://d.example/\n' >"$work/expected"

run links "$work/saved.txt"
expect_rc 0 "links on the saved list"
cmp -s "$work/out" "$work/expected" || fail "links output differs: $(od -c "$work/out" | head -8)"
[ -s "$work/err" ] && fail "links wrote to stderr: $(cat "$work/err")"

# A second file appends only what is new.
run links "$work/saved.txt" "$data/more.txt"
expect_rc 0 "links on two files"
{ cat "$work/expected"; printf 'http://e.example/\n'; } >"$work/expected2"
cmp -s "$work/out" "$work/expected2" || fail "two files: got $(od -c "$work/out" | head -8)"

# A missing file is reported by name; the others are still loaded.
run links "$work/missing.txt" "$data/more.txt"
expect_rc 1 "links with a missing file"
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "missing file: expected one stderr line, got: $(cat "$work/err")"
grep -q "missing.txt" "$work/err" || fail "missing file not named: $(cat "$work/err")"
printf 'http://a.example/\nhttp://e.example/\n' | cmp -s - "$work/out" || fail "missing file: other entries not printed: $(cat "$work/out")"

# An endless device is refused at the size limit instead of filling memory.
if [ -c /dev/zero ]; then
    run links /dev/zero
    expect_rc 1 "links on /dev/zero"
    grep -q "/dev/zero" "$work/err" || fail "/dev/zero not named: $(cat "$work/err")"
fi

# Usage errors.
run links --bogus "$data/more.txt"
expect_rc 2 "unknown flag"
grep -q "usage: plentor links" "$work/err" || fail "unknown flag: no usage line: $(cat "$work/err")"
[ -s "$work/out" ] && fail "unknown flag printed entries"
run links
expect_rc 2 "no files"
grep -q "usage: plentor links" "$work/err" || fail "no files: no usage line"
run frobnicate
expect_rc 2 "unknown command"
grep -q "usage:" "$work/err" || fail "unknown command: no usage line"

# Help.
run --help
expect_rc 0 "plentor --help"
grep -q "links" "$work/out" || fail "plentor --help does not list links"
run links --help
expect_rc 0 "plentor links --help"
head -1 "$work/out" | grep -q "^usage: plentor links FILE" || fail "links --help: $(head -1 "$work/out")"

[ "$failures" -eq 0 ] && echo "links: all checks passed"
exit $((failures > 0))
