#!/usr/bin/env bash
# plentor xml: XML in, the library's rendering of the document out.
# usage: xml.sh EXE DATA_DIR [LAUNCHER...]
set -u
. "$(dirname "$0")/lib.sh" "$@"

RUN_STDIN=$work/stdin
decl='<?xml version="1.0" encoding="utf-8" ?>\r\n'

printf '<a>one<b x:y="1"/>two</a>' >"$work/doc.xml"
: >"$work/stdin"
run xml "$work/doc.xml"
expect_rc 0 "file"; expect_stdout "$decl\r\n<a>one two\r\n<b x_y=\"1\"></b>\r\n</a>\r\n" "file"

printf '  <r> <c>  v  </c>' >"$work/stdin"
run xml
expect_rc 0 "stdin, unclosed"; expect_stdout "$decl\r\n<r>\r\n<c>v</c>\r\n</r>\r\n" "stdin, unclosed"
run xml --keep -
expect_rc 0 "dash is stdin, keep mode"; expect_stdout "$decl\r\n<r>\r\n<c>  v  </c>\r\n</r>\r\n" "dash is stdin, keep mode"

# Kept text holds its LF and CR LF as they were read: nothing added, nothing dropped.
printf '<r>a\nb\r\nc</r>' >"$work/stdin"
run xml --keep
expect_rc 0 "line ends in kept text"; expect_stdout "$decl\r\n<r>a\nb\r\nc</r>\r\n" "line ends in kept text"

# Declared Latin-1 is read as Latin-1 and written back as Latin-1.
printf '<?xml version="1.0" encoding="ISO-8859-1"?><a>caf\xe9</a>' >"$work/stdin"
run xml
expect_rc 0 "declared charset"
expect_stdout '<?xml version="1.0" encoding="ISO-8859-1" ?>\r\n\r\n<a>caf\xe9</a>\r\n' "declared charset"

# A UTF-16LE file with its byte-order mark comes out as UTF-8.
printf '\xff\xfe<\0a\0>\0\xe9\0<\0/\0a\0>\0' >"$work/stdin"
run xml
expect_rc 0 "utf-16 bom"; expect_stdout "$decl\r\n<a>\xc3\xa9</a>\r\n" "utf-16 bom"

for input in "" "no markup at all" "<!-- only a comment -->"; do
    printf '%s' "$input" >"$work/stdin"
    run xml
    expect_rc 1 "no element: '$input'"; expect_no_stdout "no element: '$input'"
    expect_one_line_error "no element: '$input'" "no XML element"
done

: >"$work/stdin"
run xml "$work/no-such-file"
expect_rc 1 "missing file"; expect_no_stdout "missing file"
expect_one_line_error "missing file" "$work/no-such-file"

for args in "--bogus" "a b"; do
    # shellcheck disable=SC2086
    run xml $args
    expect_usage "usage: $args" xml
done

run xml --help
expect_rc 0 "--help"
grep -q 'xml \[--keep\] \[FILE\]' "$work/out"; check $? "--help text"

finish xml
