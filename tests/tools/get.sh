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
expect_one_line_error "get without a server" "plentor get: the request failed (--log shows why)"

# --- limits over a hostile peer

# A loopback peer that answers one GET badly: "endless" sends a header and
# then a body for as long as the client reads, "drip" sends its header a byte
# every half second. It prints its port; once the client has gone it writes
# the number of bytes it sent to the file named by its second argument.
cat >"$work/hostile.py" <<'PY'
import socket, sys, time
mode, count_file = sys.argv[1], sys.argv[2]
server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen(1)
print(server.getsockname()[1], flush=True)
conn, _ = server.accept()
request = b""
while b"\r\n\r\n" not in request:
    piece = conn.recv(4096)
    if not piece:
        break
    request += piece
sent = 0
deadline = time.monotonic() + 60
try:
    if mode == "endless":
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n")
        block = b"x" * (1 << 20)
        while time.monotonic() < deadline:
            conn.sendall(block)
            sent += len(block)
    else:
        for byte in b"HTTP/1.1 200 OK\r\nX-Drip: " + b"d" * 120:
            conn.sendall(bytes([byte]))
            sent += 1
            time.sleep(0.5)
except OSError:
    pass
with open(count_file, "w") as f:
    f.write(str(sent))
PY

# Runs a command with stdout thrown away and stderr in a file; prints its
# exit status, the seconds it took and its peak resident set in kB.
cat >"$work/measure.py" <<'PY'
import resource, subprocess, sys, time
start = time.monotonic()
with open(sys.argv[1], "wb") as err:
    rc = subprocess.call(sys.argv[2:], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err)
print(rc, "%.2f" % (time.monotonic() - start), resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
PY

# start_hostile MODE: starts the peer; sets HOSTILE_BASE and HOSTILE_SENT (its count file).
start_hostile() {
    HOSTILE_SENT=$work/hostile-$1.sent
    rm -f "$work/hostile.port" "$HOSTILE_SENT"
    mkfifo "$work/hostile.port"
    python3 "$work/hostile.py" "$1" "$HOSTILE_SENT" >"$work/hostile.port" &
    server_pids+=($!)
    local port=
    read -r -t $((SERVER_WAIT_TICKS / 10)) port <"$work/hostile.port"
    [ -n "$port" ] || { echo "FAIL: the $1 peer did not start"; exit 1; }
    HOSTILE_BASE=http://127.0.0.1:$port
}

# measured ARGS...: runs the tool through measure.py; sets RC, SECONDS_TAKEN
# and PEAK_KB, with stderr in $work/err.
measured() {
    read -r RC SECONDS_TAKEN PEAK_KB < <(python3 "$work/measure.py" "$work/err.raw" "${LAUNCHER[@]}" "$PLENTOR_EXE" "$@")
    tr -d '\r' <"$work/err.raw" >"$work/err"
}

# sent_count: what the peer sent, once it has noticed the client is gone.
sent_count() {
    for _ in $(seq "$SERVER_WAIT_TICKS"); do [ -s "$HOSTILE_SENT" ] && break; sleep 0.1; done
    cat "$HOSTILE_SENT" 2>/dev/null || echo 0
}

# expect_seconds LOW HIGH NAME: the run took from LOW up to HIGH seconds.
expect_seconds() {
    python3 -c "import sys; sys.exit(0 if $1 <= $SECONDS_TAKEN < $2 else 1)"
    check $? "$3: took $SECONDS_TAKEN s, expected $1 to $2 s"
}

# The limit must end the run about when it says: Wine adds its start-up time.
if [ "$WINDOWS" = 1 ]; then LIMIT_SLACK=15; else LIMIT_SLACK=4; fi
# A streamed body needs a few blocks, not its size: the run may grow the
# tool's resident set by this much over what a run without a transfer takes.
# Under AddressSanitizer freed blocks stay resident in its quarantine.
MAX_GROWTH_KB=$((32 * 1024))
if [ "$WINDOWS" = 0 ] && ldd "$PLENTOR_EXE" 2>/dev/null | grep -q libasan; then
    MAX_GROWTH_KB=$((4 * MAX_GROWTH_KB))
fi
measured --version
BASE_PEAK_KB=$PEAK_KB

# A body without end, streamed with --bytes: the whole-response limit ends it
# after two seconds, and memory stays small however much arrived.
start_hostile endless
measured get --bytes --max-time 2 --log "$HOSTILE_BASE/"
sent=$(sent_count)
echo "get: endless body: ${SECONDS_TAKEN} s, $sent bytes sent, peak resident set ${PEAK_KB} kB"
expect_rc 1 "get --max-time of an endless body"
expect_seconds 2 $((2 + LIMIT_SLACK)) "get --max-time of an endless body"
expect_stderr "get --max-time of an endless body" "Transfer stopped: time limit reached"
if [ "$WINDOWS" = 0 ]; then
    # Under Wine the resident set is the launcher's, not the tool's.
    [ "$PEAK_KB" -lt $((BASE_PEAK_KB + MAX_GROWTH_KB)) ]
    check $? "get --bytes of an endless body: peak resident set ${PEAK_KB} kB (${BASE_PEAK_KB} kB without a transfer)"
    [ "$sent" -gt $((10 * 32 * 1024 * 1024)) ]
    check $? "get --bytes of an endless body: only $sent bytes sent, too few to tell"
fi

# A header dripping a byte every half second: the header limit ends it.
start_hostile drip
measured get --bytes --header-timeout 2 --log "$HOSTILE_BASE/"
echo "get: dripping header: ${SECONDS_TAKEN} s"
expect_rc 1 "get --header-timeout of a dripping header"
expect_seconds 2 $((2 + LIMIT_SLACK)) "get --header-timeout of a dripping header"
expect_stderr "get --header-timeout of a dripping header" "headerTimeoutSec"

# --max-size: a body over it fails; a text page is held, so it has a limit too.
run get --bytes --max-size 100 "$base/all.bin"
expect_rc 1 "get --bytes --max-size under the body"
expect_stderr "get --bytes --max-size under the body" "the request failed"
run get --max-size 100 "$base/page.html"
expect_rc 0 "get --max-size over the page"; expect_stdout_file "$work/www/page.html" "get --max-size over the page"

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
for bad in "--max-time" "--max-time 2s" "--header-timeout -1" "--max-size x"; do
    # shellcheck disable=SC2086
    run get "$base/a" $bad
    expect_usage "$bad" get
done

run get --help
expect_rc 0 "get --help"
head -1 "$work/out" | grep -q "^usage: plentor get URL"; check $? "get --help: $(head -1 "$work/out")"

finish get
