#!/usr/bin/env bash
# plentor get: fetches pages from a private nginx on loopback and writes
# their bodies to stdout, byte for byte.
# usage: get.sh EXE DATA_DIR [LAUNCHER...]
set -u
. "$(dirname "$0")/lib.sh" "$@"

mkdir -p "$work/www/gz"
# Every byte value, then LF, CR LF, a lone CR, ^Z and a final LF: a tool
# whose stdout is in text mode adds a CR before each LF and fails here.
python3 -c 'import sys; sys.stdout.buffer.write(bytes(range(256)) + b"a\nb\r\nc\rd\x1ae\n")' >"$work/www/all.bin"
printf '<html><head><title>t</title></head>\n<body>\r\n<p>caf\xc3\xa9</p>\n</body></html>\n' >"$work/www/page.html"
printf '<html><head><meta charset="windows-1252"></head>\n<body>caf\xe9 \x80</body></html>\n' >"$work/www/cp1252.html"
cp "$work/www/all.bin" "$work/www/gz/all.bin"
start_nginx "$work/www" \
    'location /gz/ { gzip on; gzip_types *; gzip_min_length 0; gzip_proxied any; }' \
    'location = /gone { return 410 "gone\n"; }'
base=$NGINX_BASE

run get --bytes "$base/all.bin"
expect_rc 0 "get --bytes of every byte value"
expect_stdout_file "$work/www/all.bin" "get --bytes of every byte value"
expect_no_stderr "get --bytes of every byte value"

run get --bytes "$base/page.html"
expect_rc 0 "get --bytes of a page"; expect_stdout_file "$work/www/page.html" "get --bytes of a page"

# Text mode: a UTF-8 page comes out as it is, line ends included.
run get "$base/page.html"
expect_rc 0 "get of a UTF-8 page"; expect_stdout_file "$work/www/page.html" "get of a UTF-8 page"

# A page declaring windows-1252 comes out as UTF-8; --bytes leaves it alone.
run get "$base/cp1252.html"
expect_rc 0 "get of a windows-1252 page"
expect_stdout '<html><head><meta charset="windows-1252"></head>\n<body>caf\xc3\xa9 \xe2\x82\xac</body></html>\n' \
    "get of a windows-1252 page"
run get --bytes "$base/cp1252.html"
expect_rc 0 "get --bytes of a windows-1252 page"
expect_stdout_file "$work/www/cp1252.html" "get --bytes of a windows-1252 page"

# A gzip-encoded, chunked reply is decoded back to the file's exact bytes.
run get --bytes "$base/gz/all.bin"
expect_rc 0 "get --bytes through gzip"; expect_stdout_file "$work/www/all.bin" "get --bytes through gzip"

# --log adds the client's log on stderr and leaves stdout alone.
run get --bytes --log "$base/all.bin"
expect_rc 0 "get --log"
expect_stdout_file "$work/www/all.bin" "get --log"
expect_stderr "get --log" "ZentrelLog"

# Status 400 and above, and no server at all, fail.
run get "$base/missing.html"
expect_rc 1 "get of a missing page"
run get --bytes "$base/gone"
expect_rc 1 "get of a 410"
port=$(free_port)
run get "http://127.0.0.1:$port/"
expect_rc 1 "get without a server"
expect_no_stdout "get without a server"

run get
expect_usage "no URL" get
run get "$base/a" "$base/b"
expect_usage "two URLs" get
run get "$base/a" --login me
expect_usage "--login without --password" get
run get "$base/a" --cookies
expect_usage "--cookies without a value" get
run get "$base/a" --bogus
expect_usage "unknown option" get

run get --help
expect_rc 0 "get --help"
head -1 "$work/out" | grep -q "^usage: plentor get URL"; check $? "get --help: $(head -1 "$work/out")"

finish get
