#!/usr/bin/env bash
# Submits one bookmark to each of the eight services with the real plentor tool,
# against the local emulator, and prints what was sent, the result and what the
# emulator stored.
# usage: demo.sh PLENTOR_BIN [PAGES_DIR]
#   PAGES_DIR: served under /pages/; its first .html page becomes the bookmarked
#   URL, and furl then takes its title from the page itself.
set -u
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: demo.sh PLENTOR_BIN [PAGES_DIR]" >&2
    exit 2
fi
plentor=$1
pages=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
services="delicious shadows simpy furl netvouz spurl blogmarks quorlane"
start_tries=100      # x 0.1 s: interpreter start-up on a busy machine

work=$(mktemp -d)
emulator_pid=
cleanup() {
    if [ -n "$emulator_pid" ]; then
        kill "$emulator_pid" 2>/dev/null
        wait "$emulator_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- start the emulator on a free loopback port
emulator_args=(--port 0 --journal "$work/journal")
[ -n "$pages" ] && emulator_args+=(--pages "$pages")
python3 "$here/bookmark-emulator.py" "${emulator_args[@]}" >"$work/port" 2>"$work/emulator.err" &
emulator_pid=$!
port=
for _ in $(seq "$start_tries"); do
    port=$(head -n 1 "$work/port")
    [ -n "$port" ] && break
    kill -0 "$emulator_pid" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$port" ]; then
    echo "demo: the emulator did not start: $(cat "$work/emulator.err")" >&2
    exit 1
fi
base="http://127.0.0.1:$port"

# --- what to bookmark
url="http://example.org/plentor-demo"
page=
if [ -n "$pages" ]; then
    page=$(cd "$pages" && ls -1 | grep -E '^[A-Za-z0-9._-]+\.html?$' | head -n 1)
    [ -n "$page" ] && url="$base/pages/$page"
fi
title="Plentor demo page"
extended="Saved by the plentor demo"
tags="demo,plentor"

# service_args SERVICE: sets the array `extra` to the service's own flags.
service_args() {
    case $1 in
        simpy) extra=(--title "$title" --tags "$tags") ;;
        furl) if [ -n "$page" ]; then extra=(); else extra=(--title "$title"); fi ;;
        quorlane) extra=(--category demo --title "$title" --extended "$extended" --tags "demo plentor") ;;
        *) extra=(--title "$title" --extended "$extended" --tags "$tags") ;;
    esac
}

# --- one submission per service; the journal lines each one added are noted
: >"$work/results"
for service in $services; do
    service_args "$service"
    before=$(wc -l <"$work/journal")
    "$plentor" submit "$service" --login demo --password demo --url "$url" "${extra[@]}" \
        --endpoint "$base" >"$work/$service.out" 2>"$work/$service.err"
    rc=$?
    after=$(wc -l <"$work/journal")
    printf '%s\t%s\t%s\t%s\n' "$service" "$rc" "$before" "$after" >>"$work/results"
done

# --- the table
python3 - "$work" "$base" "$url" <<'PY'
import json
import sys
import urllib.request

work, base, url = sys.argv[1:4]
REQUEST_WIDTH = 40     # method and target of one request, in the "request sent" column
STORED_WIDTH = 72


def shorten(text, width):
    return text if len(text) <= width else text[:width - 3] + "..."


with open(f"{work}/journal", encoding="utf-8") as f:
    journal = [json.loads(line) for line in f]
with urllib.request.urlopen(f"{base}/_emulator/bookmarks", timeout=10) as reply:
    stored = json.load(reply)

rows = []
failures = []
for line in open(f"{work}/results", encoding="utf-8"):
    service, rc, before, after = line.rstrip("\n").split("\t")
    sent = [f'{shorten(e["request_line"].rsplit(" ", 1)[0], REQUEST_WIDTH)} -> {e["status"]}'
            for e in journal[int(before):int(after)]]
    requests = "; ".join(sent) or "(nothing arrived)"
    result = "ok" if rc == "0" else "failed"
    entries = [e for e in stored.get(service, {}).get("demo", []) if e.get("url") == url]
    if entries:
        e = entries[-1]
        what = f'"{e.get("title", "")}"'
        if e.get("tags"):
            what += f' tags "{e["tags"]}"'
        if e.get("category"):
            what += f' category "{e["category"]}"'
    else:
        what = "-"
    rows.append((service, requests, result, shorten(what, STORED_WIDTH)))
    if rc != "0":
        with open(f"{work}/{service}.err", encoding="utf-8", errors="replace") as f:
            message = f.readline().strip()
        failures.append(f"{service}: exit {rc}{': ' + message if message else ''}")

header = ("service", "request sent", "result", "stored")
widths = [max(len(r[i]) for r in rows + [header]) for i in range(4)]
for row in [header, tuple("-" * w for w in widths)] + rows:
    print("  ".join(cell.ljust(w) for cell, w in zip(row, widths)).rstrip())
print()
print(f"bookmarked URL: {url}")
for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
PY
table_rc=$?

# --- page info of the sample page, then the page saved to delicious with it
if [ -n "$page" ]; then
    echo
    echo "== plentor page-info $url"
    "$plentor" page-info "$url"
    info_rc=$?
    echo
    echo "== plentor submit-url $url --login demo --password demo --endpoint $base"
    before=$(wc -l <"$work/journal")
    "$plentor" submit-url "$url" --login demo --password demo --endpoint "$base"
    submit_rc=$?
    sent=$(tail -n +"$((before + 1))" "$work/journal" | grep -c '"service": "delicious"')
    echo "result: $([ "$submit_rc" = 0 ] && echo ok || echo "failed (exit $submit_rc)"); requests to delicious: $sent"
    [ "$info_rc" = 0 ] && [ "$submit_rc" = 0 ] || exit 1
fi
exit "$table_rc"
