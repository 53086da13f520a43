#!/usr/bin/env bash
# The account options of get, submit and submit-url: --netrc (with NETRC
# naming the file, refused when others may read or write it),
# --password-file, and the password typed at a terminal without echo; the
# password never reaches the process's arguments.
# usage: credentials.sh EXE DATA_DIR [LAUNCHER...]
set -u
. "$(dirname "$0")/lib.sh" "$@"

user=reader
secret='s3cret Pass#1'
printf '{"delicious": {"%s": "%s"}}\n' "$user" "$secret" >"$work/accounts.json"
EMULATOR_OPTIONS=(--accounts "$work/accounts.json")
mkdir "$work/pages"
printf '<html><head><title>Roses</title></head><body>Red roses.</body></html>' >"$work/pages/roses.html"
start_emulator "$work/pages"
base=$EMULATOR_BASE
journal=$EMULATOR_JOURNAL

# stored URL...: each URL is among the reader's Delicious bookmarks.
stored() {
    python3 - "$base" "$user" "$@" <<'PY'
import json, sys, urllib.request
data = json.load(urllib.request.urlopen(sys.argv[1] + "/_emulator/bookmarks"))
urls = [record.get("url") for record in data["delicious"].get(sys.argv[2], [])]
missing = [url for url in sys.argv[3:] if url not in urls]
for url in missing:
    print(f"FAIL: {url} not stored; stored: {urls}")
sys.exit(1 if missing else 0)
PY
    check $? "bookmarks missing"
}

submit_netrc() { run submit delicious --url "http://example.org/$1" --endpoint "$base" "${@:2}"; }

# --- --netrc: the entry of the endpoint's host, from the file NETRC names.
netrc=$work/netrc
printf 'machine other.example login x password y\n\nmachine 127.0.0.1\n  login %s\n  password "%s"\n' \
    "$user" "$secret" >"$netrc"
chmod 600 "$netrc"
export NETRC=$netrc
submit_netrc n1 --netrc
expect_rc 0 "--netrc with a private file"; expect_no_stderr "--netrc"
submit_netrc n2 --netrc --login "$user"
expect_rc 0 "--netrc with the entry's login"
submit_netrc n3 --netrc --login someone
expect_rc 1 "--netrc with a login the file lacks"
expect_one_line_error "--netrc, other login" "no entry for 127.0.0.1 with login someone in $netrc"

printf 'machine other.example login x password y\n' >"$work/other-netrc"
chmod 600 "$work/other-netrc"
NETRC=$work/other-netrc submit_netrc n4 --netrc
expect_rc 1 "--netrc without an entry for the host"
expect_one_line_error "--netrc, other host" "no entry for 127.0.0.1 in"
NETRC=$work/missing submit_netrc n5 --netrc
expect_rc 1 "--netrc with a missing file"
expect_one_line_error "--netrc, missing file" "cannot read"

if [ "$WINDOWS" = 1 ]; then
    echo "SKIP: permission checks of the netrc file (Windows files have no such bits)"
else
    for mode in 644:readable 604:readable 620:writable 602:writable; do
        chmod "${mode%%:*}" "$netrc"
        submit_netrc "m${mode%%:*}" --netrc
        expect_rc 1 "--netrc with mode ${mode%%:*}"
        expect_one_line_error "--netrc, mode ${mode%%:*}" "$netrc is ${mode#*:} by others; chmod 600 it"
    done
    chmod 600 "$netrc"
fi

# --- --password-file: the first line, without its line end.
printf '%s\r\nthe next line is not read\n' "$secret" >"$work/password"
submit_netrc f1 --login "$user" --password-file "$work/password"
expect_rc 0 "--password-file with CR LF"; expect_no_stderr "--password-file"
printf '%s' "$secret" | plentor submit delicious --url http://example.org/f2 --endpoint "$base" \
    --login "$user" --password-file - >"$work/out" 2>"$work/err"
RC=$?; expect_rc 0 "--password-file - (standard input)"
printf 'wrong\n' >"$work/wrong"
submit_netrc f3 --login "$user" --password-file "$work/wrong"
expect_rc 1 "--password-file with a wrong password"
expect_one_line_error "wrong password file" "not saved"
submit_netrc f4 --login "$user" --password-file "$work/absent"
expect_rc 1 "--password-file that does not exist"
expect_one_line_error "absent password file" "cannot read $work/absent"

# submit-url and get read the same options.
run submit-url "$base/pages/roses.html" --endpoint "$base" --login "$user" --password-file "$work/password"
expect_rc 0 "submit-url --password-file"
run get "$base/v1/posts/add?url=http://example.org/g1" --netrc
expect_rc 0 "get --netrc"
grep -q 'code="done"' "$work/out"; check $? "get --netrc: the API did not take the account: $(cat "$work/out")"
NETRC=$work/other-netrc run get "$base/v1/posts/add?url=http://example.org/g2" --netrc
expect_rc 1 "get --netrc without an entry fetches without an account (refused: 401)"
stored http://example.org/n1 http://example.org/n2 http://example.org/f1 http://example.org/f2 \
    "$base/pages/roses.html" http://example.org/g1

# --- Usage errors: exit 2, nothing sent.
before=$(wc -l <"$journal")
usage_case() {
    local why=$1 command=$2; shift
    run "$@"
    expect_usage "$why" "$command"
}
usage_case "--password and --netrc" submit delicious --url u --login "$user" --password x --netrc
usage_case "--password-file and --password" submit delicious --url u --login "$user" --password x --password-file f
usage_case "--password-file without a value" submit-url u --login "$user" --password-file
usage_case "--password-file without --login" submit delicious --url u --password-file "$work/password"
usage_case "--login alone, input no terminal" submit delicious --url u --login "$user" --endpoint "$base"
usage_case "get: --login alone, input no terminal" get "$base/" --login "$user"
after=$(wc -l <"$journal")
[ "$before" = "$after" ]; check $? "usage errors sent $((after - before)) requests"

# --- The password stays out of the process's arguments. The password file
# is a pipe, so the tool waits on it while its arguments are read.
if [ "$WINDOWS" = 1 ] || [ ! -r /proc/self/cmdline ]; then
    echo "SKIP: the look at a running process's arguments needs /proc and a native tool"
else
    mkfifo "$work/fifo"
    "$PLENTOR_EXE" submit delicious --url http://example.org/p1 --endpoint "$base" --login "$user" \
        --password-file "$work/fifo" >"$work/out" 2>"$work/err" &
    pid=$!
    exec 3>"$work/fifo"   # opens once the tool opened its end: it is running
    tr '\0' ' ' <"/proc/$pid/cmdline" >"$work/cmdline"
    grep -q -- --password-file "$work/cmdline"; check $? "read the arguments of another process: $(cat "$work/cmdline")"
    ! grep -qF -- "$secret" "$work/cmdline"; check $? "the password is among the arguments: $(cat "$work/cmdline")"
    printf '%s\n' "$secret" >&3
    exec 3>&-
    wait "$pid"; RC=$?
    expect_rc 0 "--password-file from a pipe"
    stored http://example.org/p1
fi

# --- A terminal on standard input: the password is asked for and not echoed.
if [ "$WINDOWS" = 1 ]; then
    echo "SKIP: the terminal prompt (Wine gives the tool no Unix terminal)"
else
    python3 - "$PLENTOR_EXE" "$base" "$user" "$secret" <<'PY'
import os, pty, select, subprocess, sys, termios
exe, base, user, secret = sys.argv[1:]
master, slave = pty.openpty()
tool = subprocess.Popen([exe, "submit", "delicious", "--url", "http://example.org/t1", "--endpoint", base,
                         "--login", user], stdin=slave, stderr=slave, stdout=subprocess.DEVNULL)
transcript = b""
def read_until(done, seconds=20):
    global transcript
    while not done():
        ready, _, _ = select.select([master], [], [], seconds)
        if not ready:
            return False
        try:
            chunk = os.read(master, 4096)
        except OSError:
            return False
        if not chunk:
            return False
        transcript += chunk
    return True
prompt = f"Password for {user}: ".encode()
ok = read_until(lambda: prompt in transcript)
echo_off = not termios.tcgetattr(slave)[3] & termios.ECHO
os.write(master, secret.encode() + b"\n")
status = tool.wait(timeout=30)
read_until(lambda: False, 0.5)
echo_back = bool(termios.tcgetattr(slave)[3] & termios.ECHO)
problems = []
if not ok: problems.append(f"no prompt {prompt!r}")
if not echo_off: problems.append("the echo was on while the password was read")
if secret.encode() in transcript: problems.append("the password was echoed")
if not echo_back: problems.append("the echo did not come back")
if status != 0: problems.append(f"exit {status}")
for p in problems:
    print(f"FAIL: terminal prompt: {p}; transcript {transcript!r}")
sys.exit(1 if problems else 0)
PY
    check $? "the terminal prompt"
    stored http://example.org/t1
fi

finish credentials
