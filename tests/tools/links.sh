#!/usr/bin/env bash
# plentor links: loads URL list files into one duplicate-free list and prints it.
# usage: links.sh EXE DATA_DIR [LAUNCHER...]
set -u
. "$(dirname "$0")/lib.sh" "$@"
data=$DATA/links

# A list saved by a Windows editor: byte-order mark, CR LF and LF mixed, blank
# lines, a line with surrounding spaces, a repeated URL, no final line end.
printf '\xEF\xBB\xBFhttp://a.example/\r\nhttp://b.example/\n\r\n\n  http://c.example/  \r\nhttp://a.example/\nhttp://d.example/' \
    >"$work/saved.txt"
printf 'http://a.example/\nhttp://b.example/\n  http://c.example/  \nhttp://d.example/\n' >"$work/expected1"

run links "$work/saved.txt"
expect_rc 0 "links on the saved list"
expect_stdout_file "$work/expected1" "links on the saved list"
expect_no_stderr "links on the saved list"

# A second file appends only what is new.
run links "$work/saved.txt" "$data/more.txt"
expect_rc 0 "links on two files"
{ cat "$work/expected1"; printf 'http://e.example/\n'; } >"$work/expected2"
expect_stdout_file "$work/expected2" "links on two files"

# A missing file is reported by name; the others are still loaded.
run links "$work/missing.txt" "$data/more.txt"
expect_rc 1 "links with a missing file"
expect_one_line_error "links with a missing file" "missing.txt"
expect_stdout 'http://a.example/\nhttp://e.example/\n' "links with a missing file: the other entries"

# An endless device is refused at the size limit instead of filling memory.
# (Under Wine /dev/zero is Z:\dev\zero, the same device.)
if [ -c /dev/zero ]; then
    run links /dev/zero
    expect_rc 1 "links on /dev/zero"
    expect_stderr "links on /dev/zero" "/dev/zero"
fi

# Usage errors.
run links --bogus "$data/more.txt"
expect_usage "unknown flag" links
run links
expect_usage "no files" links
run frobnicate
expect_rc 2 "unknown command"
expect_stderr "unknown command" "usage:"

# Help.
run --help
expect_rc 0 "plentor --help"
expect_line "plentor --help lists links" "  links        load URL list files into one link list and print its entries"
run --version
expect_rc 0 "plentor --version"
grep -qxE 'plentor [0-9]+\.[0-9]+\.[0-9]+' "$work/out"; check $? "plentor --version: $(cat "$work/out")"
run links --help
expect_rc 0 "plentor links --help"
head -1 "$work/out" | grep -q "^usage: plentor links FILE"; check $? "links --help: $(head -1 "$work/out")"

finish links
