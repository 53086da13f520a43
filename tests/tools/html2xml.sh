#!/usr/bin/env bash
# plentor html2xml: an HTML page in, the converter's XML out.
# usage: html2xml.sh EXE DATA_DIR [LAUNCHER...]
set -u
. "$(dirname "$0")/lib.sh" "$@"

RUN_STDIN=$work/stdin
decl='<?xml version="1.0" encoding="utf-8" ?>\r\n'

printf '<html><p>one<b>two</b><p>a &lt; b &eacute;<br></html>' >"$work/page.html"
: >"$work/stdin"
run html2xml "$work/page.html"
expect_rc 0 "file"
expect_stdout "$decl\r\n<root>\r\n<html>\r\n<p>\r\n<text>one two</text>\r\n</p>\r\n<p>\r\n<text>a &lt; b \xc3\xa9</text>\r\n</p>\r\n</html>\r\n</root>\r\n" "file"

# Standard input, read as bytes: the CR LF inside the script stays, and the
# XML's own CR LF line ends get no second CR.
printf '<script>if (a<b)\r\n x();</script>&#169;' >"$work/stdin"
expected="$decl\r\n<root>\r\n<script>\r\n<text><![CDATA[if (a<b)\r\n x();]]></text>\r\n</script>\r\n<text><![CDATA[&#169;]]></text>\r\n</root>\r\n"
run html2xml
expect_rc 0 "stdin"; expect_stdout "$expected" "stdin"
run html2xml -
expect_rc 0 "dash is stdin"; expect_stdout "$expected" "dash is stdin"

# A page in windows-1252 comes out as UTF-8.
printf '<meta http-equiv="Content-Type" content="text/html; charset=windows-1252"><p>caf\xe9 \x80</p>' >"$work/stdin"
run html2xml
expect_rc 0 "declared charset"
expect_stdout "$decl\r\n<root>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\"></meta>\r\n<p>\r\n<text>caf\xc3\xa9 \xe2\x82\xac</text>\r\n</p>\r\n</root>\r\n" "declared charset"

# No markup at all is still a document.
: >"$work/stdin"
run html2xml
expect_rc 0 "empty page"; expect_stdout "$decl\r\n<root></root>\r\n" "empty page"

run html2xml "$work/no-such-file"
expect_rc 1 "missing file"; expect_no_stdout "missing file"
expect_one_line_error "missing file" "$work/no-such-file"

mkdir "$work/dir.html"
run html2xml "$work/dir.html"
expect_rc 1 "directory"; expect_no_stdout "directory"
expect_one_line_error "directory" "$work/dir.html"

for args in "--bogus" "a b"; do
    # shellcheck disable=SC2086
    run html2xml $args
    expect_usage "usage: $args" html2xml
done

run html2xml --help
expect_rc 0 "--help"
grep -q 'html2xml \[FILE\]' "$work/out"; check $? "--help text"

finish html2xml
