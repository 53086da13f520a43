# Shared by the command-line test scripts; not a test of its own. A script
# is called as
#     bash SCRIPT.sh EXE DATA_DIR [LAUNCHER...]
# and begins with
#     . "$(dirname "$0")/lib.sh" "$@"
# EXE is the plentor executable, DATA_DIR the tests/data directory and
# LAUNCHER, when given, the command that runs EXE: scripts/wine for
# plentor.exe, inside one scripts/wine-session so that every call shares a
# prefix. Under Wine the Unix root is drive Z: and the current drive is Z:
# as long as the current directory is a Unix one, so a plain /tmp/... path
# reaches the same file from both sides and needs no conversion.
#
# Sourcing makes a private work directory ($work), removed on exit together
# with any server started below. Every check goes through expect_* and is
# counted; `finish NAME` prints the result and exits 0 only when none failed.

[ "$#" -ge 2 ] || { echo "usage: $0 EXE DATA_DIR [LAUNCHER...]" >&2; exit 2; }
PLENTOR_EXE=$1
DATA=$2
shift 2
LAUNCHER=("$@")
set --
TOOLS_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO_DIR=$(cd "$TOOLS_DIR/../.." && pwd)
# Windows programs write their messages with CR LF; stdout must not.
case $PLENTOR_EXE in *.exe) WINDOWS=1 ;; *) WINDOWS=0 ;; esac

# Bounds, so that a broken server or install cannot hang a run.
SERVER_START_TRIES=3      # a free port can be taken before the server binds it
SERVER_WAIT_TICKS=100     # of 0.1 s: how long a server may take to listen
SERVER_STOP_TICKS=50      # of 0.1 s: how long a TERM may take before a KILL

work=$(mktemp -d "${TMPDIR:-/tmp}/plentor-cli.XXXXXX") || exit 1
server_pids=()
checks=0
failures=0
RC=
RUN_STDIN=/dev/null       # what `run` feeds the tool on standard input
EMULATOR_OPTIONS=()       # extra options of the emulator that start_emulator starts

stop_process() {
    local pid=$1
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq "$SERVER_STOP_TICKS"); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}

cleanup() {
    local pid
    for pid in "${server_pids[@]}"; do stop_process "$pid"; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

skip() { echo "SKIP: $*"; exit 0; }
need() { command -v "$1" >/dev/null 2>&1 || skip "$1 is not installed; $2"; }

# --- running the tool

# plentor ARGS...: runs the tool through the launcher, streams untouched.
plentor() { "${LAUNCHER[@]}" "$PLENTOR_EXE" "$@"; }

# run ARGS...: runs the tool with $RUN_STDIN as input; keeps stdout in
# $work/out, stderr in $work/err (line ends made LF) and the status in $RC.
run() {
    plentor "$@" <"$RUN_STDIN" >"$work/out" 2>"$work/err.raw"
    RC=$?
    # The tool never fails without a message. Under Wine a status of 1 with
    # no output at all is the launcher's (Wine's own messages are off in the
    # session): say so and run once more; when that is silent too, show
    # what Wine says with its errors on.
    if [ "$WINDOWS" = 1 ] && [ "$RC" = 1 ] && [ ! -s "$work/out" ] && [ ! -s "$work/err.raw" ]; then
        echo "NOTE: Wine returned 1 with no output for: $*; running it once more"
        plentor "$@" <"$RUN_STDIN" >"$work/out" 2>"$work/err.raw"
        RC=$?
        if [ "$RC" = 1 ] && [ ! -s "$work/out" ] && [ ! -s "$work/err.raw" ]; then
            WINEDEBUG=err+all plentor "$@" <"$RUN_STDIN" 2>&1 >/dev/null | head -20 | sed 's/^/  wine: /'
        fi
    fi
    tr -d '\r' <"$work/err.raw" >"$work/err"
}

# --- checks

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# check CONDITION_STATUS MESSAGE: counts one check, failing when the status is not 0.
check() {
    checks=$((checks + 1))
    [ "$1" -eq 0 ] || fail "$2"
}

shown() { od -An -c "$1" | head -"${2:-8}"; }

expect_rc() {
    [ "$RC" = "$1" ]
    check $? "$2: exit $RC, expected $1 (stderr: $(cat "$work/err"))"
}

# expect_stdout_file FILE NAME: stdout holds exactly the bytes of FILE.
expect_stdout_file() {
    cmp -s "$work/out" "$1"
    check $? "$2: stdout differs; got:
$(shown "$work/out")
expected:
$(shown "$1")"
}

# expect_stdout FORMAT NAME: stdout is exactly printf FORMAT (\r, \n, \xHH interpreted).
expect_stdout() {
    # shellcheck disable=SC2059
    printf "$1" >"$work/expected"
    expect_stdout_file "$work/expected" "$2"
}

# expect_stdout_text TEXT NAME: stdout is exactly TEXT (taken literally).
expect_stdout_text() {
    printf '%s' "$1" >"$work/expected"
    expect_stdout_file "$work/expected" "$2"
}

# expect_stdout_hex HEX NAME: stdout is exactly the bytes HEX (lower case, no spaces).
expect_stdout_hex() {
    local got
    got=$(od -An -v -tx1 "$work/out" | tr -d ' \n')
    [ "$got" = "$1" ]
    check $? "$2: stdout $got, expected $1"
}

# expect_line NAME LINE: stdout has LINE as one of its lines.
expect_line() {
    grep -qxF -- "$2" "$work/out"
    check $? "$1: no line '$2' in: $(cat "$work/out")"
}

expect_no_stdout() {
    [ ! -s "$work/out" ]
    check $? "$1 wrote to stdout: $(shown "$work/out")"
}

expect_no_stderr() {
    [ ! -s "$work/err" ]
    check $? "$1 wrote to stderr: $(cat "$work/err")"
}

# expect_stderr NAME TEXT: stderr mentions TEXT (fixed string).
expect_stderr() {
    grep -qF -- "$2" "$work/err"
    check $? "$1: stderr does not mention '$2': $(cat "$work/err")"
}

# expect_one_line_error NAME TEXT: stderr is one line and mentions TEXT.
expect_one_line_error() {
    [ "$(wc -l <"$work/err")" -eq 1 ]
    check $? "$1: stderr is not one line: $(cat "$work/err")"
    expect_stderr "$1" "$2"
}

# expect_usage NAME COMMAND: exit 2, a usage line for COMMAND, nothing on stdout.
expect_usage() {
    expect_rc 2 "$1"
    grep -q "^usage: plentor $2" "$work/err"
    check $? "$1: no usage line for '$2': $(cat "$work/err")"
    expect_no_stdout "$1"
}

# finish NAME: prints the outcome and exits with 0 only when no check failed.
finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$1: $failures of $checks checks failed"
        exit 1
    fi
    echo "$1: all $checks checks passed"
    exit 0
}

# --- loopback servers

# free_port: a port of 127.0.0.1 the kernel has just found free.
free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

accepts() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# start_emulator [PAGES_DIR]: starts the bookmark-service emulator with its
# journal in $EMULATOR_JOURNAL and the options of the array EMULATOR_OPTIONS
# (such as --accounts FILE) when set; sets EMULATOR_PORT and EMULATOR_BASE.
start_emulator() {
    need python3 "the bookmark emulator needs it"
    local options=("${EMULATOR_OPTIONS[@]}"); [ "$#" -gt 0 ] && options+=(--pages "$1")
    EMULATOR_JOURNAL=$work/journal
    rm -f "$work/emulator.port"
    mkfifo "$work/emulator.port"
    python3 "$REPO_DIR/tools/bookmark-emulator/bookmark-emulator.py" --port 0 --journal "$EMULATOR_JOURNAL" \
        "${options[@]}" >"$work/emulator.port" 2>"$work/emulator.err" &
    server_pids+=($!)
    EMULATOR_PORT=
    read -r -t $((SERVER_WAIT_TICKS / 10)) EMULATOR_PORT <"$work/emulator.port"
    if [ -z "$EMULATOR_PORT" ]; then
        echo "FAIL: the emulator did not start: $(cat "$work/emulator.err")"
        exit 1
    fi
    EMULATOR_BASE=http://127.0.0.1:$EMULATOR_PORT
}

# nginx_conf DOCROOT PORT [LOCATION...]: a configuration that keeps every
# file nginx writes in $work/nginx and serves DOCROOT on 127.0.0.1:PORT.
nginx_conf() {
    local root=$1 port=$2 dir=$work/nginx location
    shift 2
    echo "daemon off; master_process off;"
    echo "pid $dir/nginx.pid; lock_file $dir/nginx.lock; error_log $dir/error.log info;"
    # As root a lone nginx process would switch to "nobody", which cannot read $work.
    [ "$(id -u)" -eq 0 ] && echo "user root root;"
    echo "events { worker_connections 64; }"
    echo "http {"
    echo "  access_log $dir/access.log;"
    for t in client_body proxy fastcgi uwsgi scgi; do echo "  ${t}_temp_path $dir/tmp/$t;"; done
    echo "  types { text/html html htm; text/plain txt; text/xml xml; }"
    echo "  default_type application/octet-stream;"
    echo "  server {"
    echo "    listen 127.0.0.1:$port; server_name localhost; root $root;"
    for location in "$@"; do echo "    $location"; done
    echo "  }"
    echo "}"
}

# start_nginx DOCROOT [LOCATION...]: starts a private nginx serving DOCROOT
# (LOCATIONs are extra nginx lines for its server block); sets NGINX_BASE.
start_nginx() {
    local nginx port pid
    nginx=$(command -v nginx || echo /usr/sbin/nginx)
    [ -x "$nginx" ] || skip "nginx is not installed (scripts/bootstrap installs it)"
    need python3 "it finds a free port for nginx"
    mkdir -p "$work/nginx/tmp"
    for _ in $(seq "$SERVER_START_TRIES"); do
        port=$(free_port)
        nginx_conf "$1" "$port" "${@:2}" >"$work/nginx/nginx.conf"
        rm -f "$work/nginx/nginx.pid"
        "$nginx" -p "$work/nginx/" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" \
            >>"$work/nginx/nginx.out" 2>&1 &
        pid=$!
        # nginx writes its pid file once every socket is bound.
        for _ in $(seq "$SERVER_WAIT_TICKS"); do
            kill -0 "$pid" 2>/dev/null || break
            if [ "$(cat "$work/nginx/nginx.pid" 2>/dev/null)" = "$pid" ] && accepts "$port"; then
                server_pids+=("$pid")
                NGINX_BASE=http://127.0.0.1:$port
                return 0
            fi
            sleep 0.1
        done
        stop_process "$pid"
    done
    echo "FAIL: nginx did not start: $(tail -n 5 "$work/nginx/error.log" 2>/dev/null)"
    exit 1
}
