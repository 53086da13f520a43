#!/usr/bin/env bash
# plentor submit-list: a browser's bookmark export and URL lists saved to
# the service emulator, with the export's titles, tags and descriptions or
# the page's own; the journal that makes a rerun skip what was saved,
# including after Ctrl-C half-way.
# usage: submit-list.sh EXE DATA_DIR [LAUNCHER...]
set -u
. "$(dirname "$0")/lib.sh" "$@"

mkdir "$work/pages"
printf '<html><head><title>Roses Page</title><meta name="description" content="All about roses.">' \
    >"$work/pages/roses.html"
printf '</head><body>Roses roses roses gardening gardening.</body></html>' >>"$work/pages/roses.html"
start_emulator "$work/pages"
base=$EMULATOR_BASE

# The export with every address moved onto the emulator, so that the pages
# fetched for a missing description answer at once (404) from loopback.
sed -E 's#HREF="https?://#HREF="'"$base"'/site/#g' "$DATA/bookmarks/export.html" >"$work/export.html"
journal=$work/export.html.done

# check_store MODE ARGS: compares the emulator's requests and store with
# what the export says (MODE export: every web entry stored once with the
# export's title, tags and description) or with a count (MODE adds N: the
# number of Delicious requests so far).
check_store() {
    python3 - "$base" "$EMULATOR_JOURNAL" "$WINDOWS" "$@" <<'PY'
import collections, html.parser, json, sys, urllib.parse, urllib.request
base, requests, windows, mode, arg = sys.argv[1:6]

def as_sent(text):
    """The text as the emulator reads it: Windows sends the ANSI code page (1252
    under Wine), which the emulator takes as Latin-1 when it is not UTF-8."""
    if windows != "1":
        return text
    data = text.encode("cp1252")
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("latin-1")

def adds():
    counts = collections.Counter()
    with open(requests, encoding="utf-8") as f:
        for line in f:
            entry = json.loads(line)
            target = entry["request_line"].split(" ")[1]
            if entry["service"] == "delicious" and target.startswith("/v1/posts/add"):
                query = urllib.parse.parse_qs(urllib.parse.urlsplit(target).query)
                counts[query["url"][0]] += 1
    return counts

class Export(html.parser.HTMLParser):
    """The web entries of an export: the first occurrence of each address."""
    def __init__(self):
        super().__init__()
        self.entries = {}
        self.target = self.last = None   # the entry text goes to; the entry a DD describes
        self.key = "title"
    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "a":
            href = attrs.get("href") or ""
            self.target = None
            if href.startswith("http") and href not in self.entries:
                tags = [t.strip() for t in (attrs.get("tags") or "").split(",") if t.strip()]
                self.target = self.entries[href] = {"title": "", "tags": " ".join(tags), "extended": ""}
            self.last, self.key = self.target, "title"
        elif tag == "dd":
            self.target, self.last, self.key = self.last, None, "extended"
        elif tag in ("dt", "h3", "dl", "hr"):
            self.target = self.last = None
    def handle_endtag(self, tag):
        if tag == "a":
            self.target = None
    def handle_data(self, data):
        if self.target is not None:
            self.target[self.key] = " ".join((self.target[self.key] + " " + data).split())

problems = []
if mode == "adds":
    total = sum(adds().values())
    if total != int(arg):
        problems.append(f"{total} Delicious requests, expected {arg}")
else:
    export = Export()
    export.feed(open(arg, encoding="utf-8").read())
    stored = {r["url"]: r for r in json.load(urllib.request.urlopen(base + "/_emulator/bookmarks"))["delicious"].get("demo", [])}
    counts = adds()
    if len(export.entries) < 50:
        problems.append(f"only {len(export.entries)} web entries in the export")
    for url, want in export.entries.items():
        got = stored.get(url)
        if got is None:
            problems.append(f"not stored: {url}")
            continue
        for key in ("title", "tags", "extended"):
            if got.get(key, "") != as_sent(want[key]):
                problems.append(f"{url} {key}: {got.get(key)!r}, expected {as_sent(want[key])!r}")
        if counts[url] != 1:
            problems.append(f"{url} submitted {counts[url]} times")
    extra = set(stored) - set(export.entries)
    if extra:
        problems.append(f"stored but not in the export: {sorted(extra)}")
for p in problems[:20]:
    print("FAIL:", p)
sys.exit(1 if problems else 0)
PY
    check $? "emulator store ($1 $2)"
}

# lines_of FILE: how many lines FILE has (0 when absent).
lines_of() { if [ -f "$1" ]; then wc -l <"$1" | tr -d ' '; else echo 0; fi; }

# --- The whole export, no pace: every web entry stored once with the export's values.
run submit-list delicious "$work/export.html" --login demo --password demo --endpoint "$base" --pace 0
expect_rc 0 "export to delicious"
web=$(grep -c '^\[[0-9]*/[0-9]*\] saved ' "$work/err")
[ "$web" -ge 50 ]; check $? "only $web progress lines: $(head -5 "$work/err")"
expect_stderr "summary" "$web saved, 0 skipped (saved before, in $journal), 0 failed"
expect_stderr "left out" "left out: 1 not http, https or ftp, 1 repeated"
check_store export "$work/export.html"
[ "$(lines_of "$journal")" = "$web" ]; check $? "journal holds $(lines_of "$journal") lines, expected $web"

# The same run again: everything is skipped, nothing sent.
before=$(lines_of "$EMULATOR_JOURNAL")
run submit-list delicious "$work/export.html" --login demo --password demo --endpoint "$base" --pace 0
expect_rc 0 "rerun"
expect_stderr "rerun summary" "0 saved, $web skipped"
[ "$(lines_of "$EMULATOR_JOURNAL")" = "$before" ]; check $? "the rerun sent requests"

# --- URL lists, two of them: values from the pages; a page that cannot be
# fetched has no title, fails and stays out of the journal.
printf '%s/pages/roses.html\r\n\r\n%s/pages/missing.html\n' "$base" "$base" >"$work/first.txt"
printf 'ftp-less line\n%s/pages/roses.html\n' "$base" >"$work/second.txt"
run submit-list simpy "$work/first.txt" "$work/second.txt" --login demo --password demo --endpoint "$base" \
    --pace 0 --journal "$work/lists.done"
expect_rc 1 "URL lists with a missing page"
expect_stderr "missing page" "failed $base/pages/missing.html: the page could not be fetched for its title"
expect_stderr "URL lists summary" "1 saved, 0 skipped (saved before, in $work/lists.done), 1 failed"
expect_stderr "URL lists left out" "left out: 1 not http, https or ftp, 1 repeated"
[ "$(cat "$work/lists.done")" = "$base/pages/roses.html" ]; check $? "lists journal: $(cat "$work/lists.done")"
python3 - "$base" <<'PY'
import json, sys, urllib.request
records = json.load(urllib.request.urlopen(sys.argv[1] + "/_emulator/bookmarks"))["simpy"]["demo"]
ok = len(records) == 1 and records[0]["title"] == "Roses Page" and "roses" in records[0]["tags"]
print("" if ok else f"FAIL: simpy records {records}", end="")
sys.exit(0 if ok else 1)
PY
check $? "the page's title and tags"

# --- --dry-run: the list on stdout, nothing sent, no account needed.
before=$(lines_of "$EMULATOR_JOURNAL")
run submit-list delicious "$work/first.txt" --dry-run --endpoint "$base" --journal "$work/dry.done"
expect_rc 0 "dry run"
expect_line "dry run" "$base/pages/roses.html"
expect_line "dry run" "  title: (from the page)"
expect_stderr "dry run" "dry run: 2 to submit"
[ "$(lines_of "$EMULATOR_JOURNAL")" = "$before" ]; check $? "the dry run sent requests"
[ ! -e "$work/dry.done" ]; check $? "the dry run wrote a journal"

# --- A journal that cannot be written stops the run after the first page.
run submit-list delicious "$work/first.txt" --login demo --password demo --endpoint "$base" --pace 0 \
    --journal "$work/no-such-dir/j.done"
expect_rc 1 "a journal that cannot be written"
expect_stderr "unwritable journal" "failed $base/pages/roses.html: cannot write the journal $work/no-such-dir/j.done"
expect_stderr "unwritable journal" "stopped, as the journal cannot be written: 1 not submitted"

# --- A refused login: nothing submitted, no journal.
run submit-list netvouz "$work/first.txt" --login demo --password wrong --endpoint "$base" --journal "$work/nv.done"
expect_rc 1 "netvouz with a wrong password"
expect_one_line_error "netvouz with a wrong password" "netvouz: the login failed"
[ ! -e "$work/nv.done" ]; check $? "a refused login wrote a journal"

# --- Usage errors.
usage_case() {
    local why=$1; shift
    run "$@"
    expect_usage "$why" submit-list
}
usage_case "no FILE" submit-list delicious --login demo --password demo
usage_case "no service" submit-list
usage_case "unknown service" submit-list magnolia "$work/first.txt" --login demo --password demo
for pace in -1 abc 1.2345 1. .5 100000000; do
    usage_case "--pace $pace" submit-list delicious "$work/first.txt" --login demo --password demo --pace "$pace"
done
usage_case "--category outside quorlane" submit-list delicious "$work/first.txt" --login demo --password demo --category c
usage_case "quorlane without --category" submit-list quorlane "$work/first.txt" --login demo --password demo
usage_case "no account" submit-list delicious "$work/first.txt" --endpoint "$base"
run submit-list delicious "$work/absent.txt" --login demo --password demo --endpoint "$base"
expect_rc 1 "an input that does not exist"; expect_stderr "absent input" "cannot read $work/absent.txt"

# --- Ctrl-C half-way, on a fresh emulator: the page in flight is saved and
# recorded, then the run stops; the rerun saves the rest, each page once.
# (Under Wine the launcher execs wine64, so the signal reaches the Windows
# program, and Wine turns it into the console's Ctrl-C event.)
stop_process "${server_pids[0]}"
mv "$EMULATOR_JOURNAL" "$work/first-emulator.journal"
start_emulator "$work/pages"
base=$EMULATOR_BASE
sed -E 's#HREF="https?://#HREF="'"$base"'/site/#g' "$DATA/bookmarks/export.html" >"$work/export.html"
rm -f "$journal"
set -m   # a job of its own, whose Ctrl-C is not ignored as a background job's would be
"${LAUNCHER[@]}" "$PLENTOR_EXE" submit-list delicious "$work/export.html" --login demo --password demo \
    --endpoint "$base" --pace 0.2 >"$work/out" 2>"$work/err.raw" </dev/null &
pid=$!
set +m
for _ in $(seq 200); do [ "$(lines_of "$journal")" -ge 5 ] && break; sleep 0.05; done
kill -INT "$pid"
wait "$pid"; RC=$?
tr -d '\r' <"$work/err.raw" >"$work/err"
expect_rc 1 "interrupted run"
expect_stderr "interrupted run" "interrupted: "
saved=$(lines_of "$journal")
[ "$saved" -ge 5 ] && [ "$saved" -lt "$web" ]; check $? "interrupted after $saved of $web pages"
check_store adds "$saved"
expect_stderr "interrupted run" "$saved saved, 0 skipped"
run submit-list delicious "$work/export.html" --login demo --password demo --endpoint "$base" --pace 0
expect_rc 0 "the run after Ctrl-C"
expect_stderr "the run after Ctrl-C" "$((web - saved)) saved, $saved skipped"
check_store export "$work/export.html"

finish submit-list
