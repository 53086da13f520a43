#!/usr/bin/env python3
"""Tests of the bookmark emulator, run against a real emulator process on loopback.

Run directly (python3 emulator_test.py) or through tests/tools/bookmark-emulator.sh.
"""

import base64
import json
import os
import random
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

EMULATOR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "bookmark-emulator.py")
# -S: no site packages, which keeps start-up short and proves the emulator needs only the standard library.
PYTHON = [sys.executable, "-S"]
START_SECONDS = 10     # interpreter start-up can be slow on a loaded machine
STOP_SECONDS = 5
SOCKET_SECONDS = 5

_live = []             # emulators to stop if this run is killed


def _kill_live(*_):
    for emulator in _live:
        if emulator.proc.poll() is None:
            emulator.proc.kill()
        shutil.rmtree(emulator.dir, ignore_errors=True)
    os._exit(1)


signal.signal(signal.SIGTERM, _kill_live)


class Emulator:
    """One emulator process on a free port, with its own journal and pages directory."""

    def __init__(self, add_cleanup, *extra, journal=None):
        self.dir = tempfile.mkdtemp(prefix="emulator-test-")
        add_cleanup(self._remove_dir)
        self.journal = journal or os.path.join(self.dir, "journal")
        self.pages = os.path.join(self.dir, "pages")
        os.mkdir(self.pages)
        self.proc = subprocess.Popen(
            [*PYTHON, EMULATOR, "--port", "0", "--journal", self.journal, "--pages", self.pages, *extra],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        _live.append(self)
        add_cleanup(self.stop)
        ready, _, _ = select.select([self.proc.stdout], [], [], START_SECONDS)
        first = self.proc.stdout.readline() if ready else b""
        if not re.fullmatch(rb"[1-9][0-9]*\n", first):
            self.stop()
            raise AssertionError(f"first line of stdout is {first!r}, not a port; "
                                 f"stderr: {self.proc.stderr.read()!r}")
        self.port = int(first)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait(STOP_SECONDS)
        self.proc.stdout.close()
        self.proc.stderr.close()

    def _remove_dir(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def connect(self):
        return socket.create_connection(("127.0.0.1", self.port), timeout=SOCKET_SECONDS)

    def send(self, method, target, headers=(), body=b"", auth=None, cookie=None):
        """Sends one request on a new connection and returns its Response."""
        with self.connect() as sock:
            sock.sendall(self.build(method, target, headers, body, auth, cookie))
            return read_response(sock)

    def build(self, method, target, headers=(), body=b"", auth=None, cookie=None):
        lines = [f"{method} {target} HTTP/1.1", f"Host: 127.0.0.1:{self.port}"]
        if auth:
            lines.append("Authorization: Basic " + base64.b64encode(auth.encode()).decode())
        if cookie:
            lines.append("Cookie: " + cookie)
        if method == "POST":
            lines.append("Content-Type: application/x-www-form-urlencoded")
        lines += list(headers)
        if body or method == "POST":
            lines.append(f"Content-Length: {len(body)}")
        return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + body

    def journal_entries(self):
        with open(self.journal, encoding="utf-8") as f:
            return [json.loads(line) for line in f]

    def bookmarks(self):
        return json.loads(self.send("GET", "/_emulator/bookmarks").body)


class Response:
    def __init__(self, status, headers, body):
        self.status = status
        self.headers = headers     # [(name, value)] in order
        self.body = body

    def header(self, name):
        values = self.all(name)
        return values[0] if values else None

    def all(self, name):
        return [v for n, v in self.headers if n.lower() == name.lower()]


def read_response(sock, buffer=None, head_only=False):
    """Reads one response framed by Content-Length; `buffer` (a bytearray) keeps what follows."""
    buffer = bytearray() if buffer is None else buffer
    while b"\r\n\r\n" not in buffer:
        chunk = sock.recv(65536)
        if not chunk:
            raise AssertionError(f"connection closed before a full response head: {bytes(buffer)!r}")
        buffer += chunk
    head, _, rest = bytes(buffer).partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    status = int(lines[0].split(" ")[1])
    headers = [tuple(part.strip() for part in line.split(":", 1)) for line in lines[1:]]
    if head_only or 100 <= status < 200:
        length = 0
    else:
        length = int(dict((n.lower(), v) for n, v in headers)["content-length"])
    while len(rest) < length:
        chunk = sock.recv(65536)
        if not chunk:
            raise AssertionError("connection closed inside the body")
        rest += chunk
    buffer[:] = rest[length:]
    return Response(status, headers, rest[:length])


def is_closed(sock):
    try:
        return sock.recv(1) == b""
    except ConnectionResetError:
        return True


def form(*pairs):
    """A form body from already encoded name=value pairs."""
    return "&".join(pairs).encode("latin-1")


# ---------------------------------------------------------------------------

class SharedEmulatorTest(unittest.TestCase):
    """One emulator per class; each test starts from an empty store."""

    @classmethod
    def setUpClass(cls):
        cls.emulator = Emulator(cls.addClassCleanup)

    def setUp(self):
        self.assertEqual(self.emulator.send("POST", "/_emulator/reset").status, 200)
        self.assertEqual({k: v for k, v in self.emulator.bookmarks().items() if v}, {})


class ApiServicesTest(SharedEmulatorTest):
    """The three services driven by one GET with HTTP Basic authentication."""

    # service, request target, marker of a successful answer, what is stored
    ROWS = (
        ("delicious",
         "/v1/posts/add?url=http%3A%2F%2Fexample%2Eorg%2Fd&description=A%2FB%3A+c&extended=Long+text&tags=web+news",
         b'code="done"',
         {"url": "http://example.org/d", "title": "A/B: c", "extended": "Long text", "tags": "web news"}),
        ("shadows",
         "/api/posts/add?url=http%3A%2F%2Fexample%2Eorg%2Fs&description=Caf%C3%A9&extended=&tags=web++news",
         b'code="done"',
         {"url": "http://example.org/s", "title": "Caf\u00e9", "extended": "", "tags": "web  news"}),
        ("simpy",
         "/simpy/api/rest/SaveLink.do?title=Example+Page&href=http%3A%2F%2Fexample%2Eorg%2Fy&accessType=1"
         "&tags=web%2Cnews",
         b"<code>0</code>",
         {"url": "http://example.org/y", "title": "Example Page", "tags": "web,news", "access_type": "1"}),
    )

    def test_credentials_are_checked_and_bookmarks_stored(self):
        emulator = self.emulator
        for service, target, marker, stored in self.ROWS:
            with self.subTest(service=service):
                for auth in (None, "demo:wrong", "nobody:demo", "demo"):
                    reply = emulator.send("GET", target, auth=auth)
                    self.assertEqual(reply.status, 401, auth)
                    self.assertRegex(reply.header("WWW-Authenticate") or "", r'^Basic realm="[^"]+"$')
                self.assertNotIn(service, {k for k, v in emulator.bookmarks().items() if v})
                reply = emulator.send("GET", target, auth="demo:demo")
                self.assertEqual(reply.status, 200)
                self.assertIn(marker, reply.body)
                record = emulator.bookmarks()[service]["demo"][0]
                self.assertEqual({k: record[k] for k in stored}, stored)

    def test_malformed_authorization_is_refused(self):
        emulator = self.emulator
        target = "/v1/posts/add?url=x&description=&extended=&tags="
        for value in ("Basic !!!notbase64", "Basic " + base64.b64encode(b"demodemo").decode(),
                      "Digest " + base64.b64encode(b"demo:demo").decode(), "Basic"):
            with self.subTest(value=value):
                self.assertEqual(emulator.send("GET", target, headers=["Authorization: " + value]).status, 401)

    def test_request_without_url(self):
        # Delicious answers as its v1 API did (200, a result code other than "done");
        # the others refuse with 400, which their clients see as a failure.
        emulator = self.emulator
        for target, status in (("/v1/posts/add?url=&description=&extended=&tags=", 200),
                               ("/api/posts/add?url=&description=t&extended=&tags=", 400),
                               ("/simpy/api/rest/SaveLink.do?title=t&href=&accessType=1&tags=", 400)):
            with self.subTest(target=target):
                reply = emulator.send("GET", target, auth="demo:demo")
                self.assertEqual(reply.status, status)
                self.assertNotIn(b'code="done"', reply.body)
        self.assertEqual({k: v for k, v in emulator.bookmarks().items() if v}, {})

    def test_values_are_decoded(self):
        emulator = self.emulator
        for encoded, expected in (("a+b", "a b"), ("a%2Bb", "a+b"), ("%C3%A9t%C3%A9", "\u00e9t\u00e9"),
                                  ("%E9t%E9", "\u00e9t\u00e9"),   # not UTF-8: read as Latin-1
                                  ("100%", "100%"), ("%zz", "%zz"), ("", "")):
            with self.subTest(encoded=encoded):
                reply = emulator.send("GET", f"/v1/posts/add?url=http%3A%2F%2Fx%2F&description={encoded}"
                                             "&extended=&tags=", auth="demo:demo")
                self.assertEqual(reply.status, 200)
                self.assertEqual(emulator.bookmarks()["delicious"]["demo"][0]["title"], expected)

    def test_same_url_replaces_the_stored_bookmark(self):
        emulator = self.emulator
        for title in ("First", "Second"):
            emulator.send("GET", f"/api/posts/add?url=http%3A%2F%2Fx%2F&description={title}&extended=&tags=",
                          auth="demo:demo")
        emulator.send("GET", "/api/posts/add?url=http%3A%2F%2Fy%2F&description=Other&extended=&tags=",
                      auth="demo:demo")
        stored = emulator.bookmarks()["shadows"]["demo"]
        self.assertEqual([(b["url"], b["title"]) for b in stored], [("http://x/", "Second"), ("http://y/", "Other")])


class FormSitesTest(SharedEmulatorTest):
    """The four sites driven like a browser: a login form, a session cookie, an add request."""

    # service, login (path, body with USER/PASS), status of a good login,
    # add (method, target, body), status of a good add, what is stored
    ROWS = (
        ("furl", ("/user/login", "username=USER&password=PASS&submit.x=25&submit.y=7&submit=LOG+IN"), 200,
         ("GET", "/store?s=f&to=0&ti=News%20%26%20Views&u=http%3A//example.org/a%20b&r="
                 "&d=Mon%20Jan%2002%202006%2015:04:05%20%2B0100&c=", b""), 200,
         {"url": "http://example.org/a b", "title": "News & Views", "date": "Mon Jan 02 2006 15:04:05 +0100"}),
        ("netvouz", ("/action/logon", "username=USER&password=PASS&uri=002f&doNotRememberMe=off&type=p"
                                      "&submit=+Log+in"), 302,
         ("POST", "/action/addBookmark",
          form("url=http%3A%2F%2Fexample%2Eorg%2Fn", "name=Net", "description=", "tags=", "privat=false",
               "category=0", "rating=2", "hotpick=0", "intranet=off", "note=", "notePrivat=",
               "submit=Create+bookmark")), 302,
         {"url": "http://example.org/n", "title": "Net", "extended": "", "tags": "", "category": "0"}),
        ("spurl", ("/login.php", "username=USER&password=PASS"), 302,
         ("POST", "/submit.php",
          form("link_href=http%3A%2F%2Fexample%2Eorg%2Fs", "link_title=Sp", "title=Sp", "description=D",
               "keywords=web+news", "redir=", "newcategory=", "snip=", "explicit=0", "usercomment=",
               "store=1", "language=en", "category=%2D1")), 200,
         {"url": "http://example.org/s", "title": "Sp", "extended": "D", "tags": "web news", "category": "-1"}),
        ("blogmarks", ("/", "login=USER&pwd=PASS&remind=1&connect=1"), 302,
         ("POST", "/my/marks,new",
          form("title=Bm", "url=http%3A%2F%2Fexample%2Eorg%2Fb", "public-tags=a+b", "content=C",
               "private-tags=", "via=", "referer=http%3A%2F%2F")), 302,
         {"url": "http://example.org/b", "title": "Bm", "extended": "C", "tags": "a b"}),
    )

    @staticmethod
    def login_body(body, user, password):
        return body.replace("USER", user).replace("PASS", password).encode()

    @staticmethod
    def session_cookie(reply):
        cookies = reply.all("Set-Cookie")
        return cookies[0].split(";")[0] if cookies else None

    def test_login_then_add(self):
        emulator = self.emulator
        for service, (login_path, login_body), login_status, (method, target, body), add_status, stored in self.ROWS:
            with self.subTest(service=service):
                reply = emulator.send("POST", login_path, body=self.login_body(login_body, "demo", "wrong"))
                self.assertEqual((reply.status, reply.all("Set-Cookie")), (200, []))
                self.assertIn(b"Wrong user name or password", reply.body)
                self.assertEqual(emulator.send(method, target, body=body).status, 403)

                reply = emulator.send("POST", login_path, body=self.login_body(login_body, "demo", "demo"))
                self.assertEqual(reply.status, login_status)
                self.assertRegex(reply.header("Set-Cookie") or "", r"^\w+=[0-9a-f]+; Path=/")
                if login_status == 302:
                    self.assertTrue(reply.header("Location").startswith(f"http://127.0.0.1:{emulator.port}/"))
                cookie = self.session_cookie(reply)

                self.assertEqual(emulator.send(method, target, body=body, cookie="x=1; " + cookie).status, add_status)
                record = emulator.bookmarks()[service]["demo"][0]
                self.assertEqual({k: record[k] for k in stored}, stored)

    def test_session_is_bound_to_its_service_and_value(self):
        emulator = self.emulator
        reply = emulator.send("POST", "/login.php", body=b"username=demo&password=demo")
        name, _, token = self.session_cookie(reply).partition("=")
        body = form("link_href=http%3A%2F%2Fx%2F", "title=t")
        for cookie in (f"{name}={token[:-1]}", f"{name}=", f"NVSESSIONID={token}", f"{name.lower()}={token}"):
            with self.subTest(cookie=cookie):
                self.assertEqual(emulator.send("POST", "/submit.php", body=body, cookie=cookie).status, 403)
        # the same session does not open another site
        self.assertEqual(emulator.send("POST", "/action/addBookmark", body=form("url=http%3A%2F%2Fx%2F"),
                                       cookie=f"NVSESSIONID={token}").status, 403)

    def test_add_without_url_or_with_wrong_content_type(self):
        emulator = self.emulator
        cookie = self.session_cookie(emulator.send("POST", "/", body=b"login=demo&pwd=demo&remind=1&connect=1"))
        self.assertEqual(emulator.send("POST", "/my/marks,new", body=form("title=t", "url="),
                                       cookie=cookie.split(";")[0]).status, 400)
        raw = ("POST /action/logon HTTP/1.1\r\nHost: h\r\nContent-Type: multipart/form-data\r\n"
               "Content-Length: 27\r\n\r\nusername=demo&password=demo").encode()
        with emulator.connect() as sock:
            sock.sendall(raw)
            self.assertEqual(read_response(sock).status, 415)
        self.assertEqual({k: v for k, v in emulator.bookmarks().items() if v}, {})

    def test_redirects_name_the_emulator_whatever_the_host_field_says(self):
        body = b"username=demo&password=demo"
        for host in ("127.0.0.1", "www.netvouz.example", f"127.0.0.1:{self.emulator.port}"):
            with self.subTest(host=host), self.emulator.connect() as sock:
                sock.sendall(f"POST /action/logon HTTP/1.1\r\nHost: {host}\r\n"
                             "Content-Type: application/x-www-form-urlencoded\r\n"
                             f"Content-Length: {len(body)}\r\n\r\n".encode() + body)
                reply = read_response(sock)
                self.assertEqual(reply.header("Location"), f"http://127.0.0.1:{self.emulator.port}/action/home")

    def test_path_with_encoded_comma_reaches_the_same_form(self):
        emulator = self.emulator
        cookie = self.session_cookie(emulator.send("POST", "/", body=b"login=demo&pwd=demo"))
        self.assertEqual(emulator.send("POST", "/my/marks%2Cnew", body=form("url=http%3A%2F%2Fx%2F"),
                                       cookie=cookie).status, 302)


class QuorlaneTest(SharedEmulatorTest):
    OK = b"<status>OK</status>"

    def test_commands(self):
        emulator = self.emulator
        add = form("c=addToTags", "api=1", "bt=cat", "t=a+b", "url=http%3A%2F%2Fexample%2Eorg%2Fq",
                   "et=Caf%C3%A9", "etx=Long")
        for body in (form("c=login", "api=1", "l=demo", "p=wrong"), form("c=login", "api=2", "l=demo", "p=demo"),
                     form("c=login", "l=demo", "p=demo"), form("c=logout", "api=1"), add, b""):
            with self.subTest(body=body):
                reply = emulator.send("POST", "/tapp/db.exe", body=body)
                self.assertEqual(reply.status, 200)
                self.assertRegex(reply.body, rb"^<status>ERROR: [^<]+</status>$")
                self.assertEqual(reply.all("Set-Cookie"), [])

        reply = emulator.send("POST", "/tapp/db.exe", body=form("c=login", "api=1", "l=demo", "p=demo"))
        self.assertEqual((reply.status, reply.body), (200, self.OK))
        self.assertRegex(reply.header("Set-Cookie"), r"^QSESSION=[0-9a-f]+; Path=/tapp$")
        cookie = reply.header("Set-Cookie").split(";")[0]
        entry = form("c=addEntry", "api=1", "bt=cat2", "t=one", "url=http%3A%2F%2Fexample%2Eorg%2Fe", "et=E",
                     "etx=")
        for body in (add, entry):
            reply = emulator.send("POST", "/tapp/db.exe", body=body, cookie=cookie)
            self.assertEqual((reply.status, reply.body), (200, self.OK))
        reply = emulator.send("POST", "/tapp/db.exe", body=form("c=addEntry", "api=1", "url="), cookie=cookie)
        self.assertEqual(reply.body, b"<status>ERROR: missing url</status>")

        stored = emulator.bookmarks()["quorlane"]["demo"]
        self.assertEqual([{k: b[k] for k in ("command", "url", "title", "extended", "tags", "category")}
                          for b in stored],
                         [{"command": "addToTags", "url": "http://example.org/q", "title": "Caf\u00e9",
                           "extended": "Long", "tags": "a b", "category": "cat"},
                          {"command": "addEntry", "url": "http://example.org/e", "title": "E",
                           "extended": "", "tags": "one", "category": "cat2"}])


class AccountsTest(unittest.TestCase):
    def write(self, text):
        fd, path = tempfile.mkstemp(suffix=".json")
        self.addCleanup(os.remove, path)
        with os.fdopen(fd, "w") as f:
            f.write(text)
        return path

    def test_accounts_file_adds_users(self):
        path = self.write('{"netvouz": {"alice": "s3cret"}, "Delicious": {"bob": "pw"}}')
        emulator = Emulator(self.addCleanup, "--accounts", path)
        for service_path, body, status in (
                ("/action/logon", b"username=alice&password=s3cret", 302),
                ("/action/logon", b"username=demo&password=demo", 302),
                ("/login.php", b"username=alice&password=s3cret", 200)):   # alice has no spurl account
            with self.subTest(path=service_path, body=body):
                self.assertEqual(emulator.send("POST", service_path, body=body).status, status)
        target = "/v1/posts/add?url=x&description=&extended=&tags="
        self.assertEqual(emulator.send("GET", target, auth="bob:pw").status, 200)
        self.assertEqual(emulator.send("GET", target.replace("/v1/posts", "/api/posts"), auth="bob:pw").status, 401)

    def test_bad_accounts_file_stops_the_start(self):
        rows = (("not json", "Expecting value"), ('["demo"]', "top level"),
                ('{"digg": {"a": "b"}}', "unknown service"), ('{"furl": ["a"]}', "object"),
                ('{"furl": {"a": 1}}', "must be a string"))
        # started side by side: each run is one interpreter start-up
        procs = [subprocess.Popen([*PYTHON, EMULATOR, "--port", "0", "--accounts", self.write(text)],
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE) for text, _ in rows]
        for (text, message), proc in zip(rows, procs):
            with self.subTest(text=text):
                stdout, stderr = proc.communicate(timeout=START_SECONDS)
                self.assertEqual(proc.returncode, 2)
                self.assertEqual(stdout, b"")
                self.assertIn(message.encode(), stderr)


class JournalTest(SharedEmulatorTest):
    def test_raw_request_is_kept_exactly(self):
        emulator = self.emulator
        body = b"username=d%E9mo&password=demo&x=\xe9\x00"
        raw = (b"POST /action/logon HTTP/1.1\r\nhost: 127.0.0.1\r\nX-Zeta:   spaced  \r\n"
               b"CONTENT-TYPE: application/x-www-form-urlencoded\r\nReferer: http://x/action/logon\r\n"
               b"x-alpha:1\r\nX-Zeta: second\r\nContent-Length: " + str(len(body)).encode() + b"\r\n\r\n" + body)
        with emulator.connect() as sock:
            sock.sendall(raw)
            self.assertEqual(read_response(sock).status, 200)
        entry = emulator.journal_entries()[-1]
        self.assertEqual(entry, {
            "service": "netvouz",
            "raw": raw.decode("latin-1"),
            "request_line": "POST /action/logon HTTP/1.1",
            "headers": [["host", "127.0.0.1"], ["X-Zeta", "spaced"],
                        ["CONTENT-TYPE", "application/x-www-form-urlencoded"],
                        ["Referer", "http://x/action/logon"], ["x-alpha", "1"], ["X-Zeta", "second"],
                        ["Content-Length", str(len(body))]],
            "body": body.decode("latin-1"),
            "status": 200})

    def test_one_line_per_request_in_order(self):
        emulator = self.emulator
        first = emulator.build("GET", "/v1/posts/add?url=a", auth="demo:demo")
        second = emulator.build("GET", "/nowhere")
        third = emulator.build("POST", "/tapp/db.exe", body=b"c=login&api=1&l=demo&p=demo")
        with emulator.connect() as sock:
            sock.sendall(first + second + third)    # pipelined on one connection
            buffer = bytearray()
            statuses = [read_response(sock, buffer).status for _ in range(3)]
        self.assertEqual(statuses, [200, 404, 200])
        entries = emulator.journal_entries()[-3:]
        self.assertEqual([(e["service"], e["raw"].encode("latin-1"), e["status"]) for e in entries],
                         [("delicious", first, 200), ("", second, 404), ("quorlane", third, 200)])
        with open(emulator.journal, "rb") as f:
            self.assertTrue(all(line.isascii() for line in f))

    def test_journal_is_appended_to(self):
        emulator = Emulator(self.addCleanup)
        emulator.send("GET", "/nowhere")
        emulator.stop()
        again = Emulator(self.addCleanup, journal=emulator.journal)   # the journal of an earlier run
        again.send("GET", "/elsewhere")
        self.assertEqual([e["request_line"] for e in again.journal_entries()],
                         ["GET /nowhere HTTP/1.1", "GET /elsewhere HTTP/1.1"])


class ProtocolTest(SharedEmulatorTest):
    """Framing, keep-alive, limits and malformed input."""

    def exchange(self, raw, shut=False):
        with self.emulator.connect() as sock:
            sock.sendall(raw)
            if shut:
                sock.shutdown(socket.SHUT_WR)
            reply = read_response(sock)
            return reply, is_closed(sock)

    def test_malformed_requests(self):
        long_target = b"/" + b"a" * (20 * 1024)
        many_fields = b"".join(b"X-F%d: v\r\n" % i for i in range(150))
        rows = (
            ("garbage", b"GARBAGE\r\n\r\n", 400, False),
            ("binary", b"\xff\xfe\x00\x01\r\n\r\n", 400, False),
            ("lower-case version", b"GET / http/1.1\r\nHost: h\r\n\r\n", 400, False),
            ("relative target", b"GET x HTTP/1.1\r\nHost: h\r\n\r\n", 400, False),
            ("no Host", b"GET / HTTP/1.1\r\n\r\n", 400, False),
            ("two Hosts", b"GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", 400, False),
            ("field without colon", b"GET / HTTP/1.1\r\nHost: h\r\nNo colon\r\n\r\n", 400, False),
            ("space before colon", b"GET / HTTP/1.1\r\nHost : h\r\n\r\n", 400, False),
            ("folded field", b"GET / HTTP/1.1\r\nHost: h\r\nX-A: 1\r\n  more\r\n\r\n", 400, False),
            ("NUL in a field", b"GET / HTTP/1.1\r\nHost: h\x00\r\n\r\n", 400, False),
            ("bare CR", b"GET / HTTP/1.1\r\nHost: h\rX: 1\r\n\r\n", 400, False),
            ("bad Content-Length", b"POST /nowhere HTTP/1.1\r\nHost: h\r\nContent-Length: 1x\r\n\r\n", 400, False),
            ("negative Content-Length", b"POST /nowhere HTTP/1.1\r\nHost: h\r\nContent-Length: -1\r\n\r\n", 400, False),
            ("conflicting Content-Length",
             b"POST /nowhere HTTP/1.1\r\nHost: h\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab", 400, False),
            ("body too large", b"POST /nowhere HTTP/1.1\r\nHost: h\r\nContent-Length: 2000000\r\n\r\n" + b"x" * 70000,
             413, False),
            ("huge Content-Length", b"POST /nowhere HTTP/1.1\r\nHost: h\r\nContent-Length: " + b"9" * 5000 + b"\r\n\r\n",
             413, False),
            ("chunked body", b"POST /nowhere HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
             501, False),
            ("HTTP/2", b"GET / HTTP/2.0\r\nHost: h\r\n\r\n", 505, False),
            ("long request line", b"GET " + long_target + b" HTTP/1.1\r\nHost: h\r\n\r\n", 414, False),
            ("too many fields", b"GET / HTTP/1.1\r\nHost: h\r\n" + many_fields + b"\r\n", 431, False),
            ("header cut short", b"GET / HTTP/1.1\r\nHost: h\r\n", 400, True),
            ("body cut short", b"POST /login.php HTTP/1.1\r\nHost: h\r\nContent-Length: 10\r\n\r\nabc", 400, True),
        )
        for name, raw, status, shut in rows:
            with self.subTest(name):
                reply, closed = self.exchange(raw, shut)
                self.assertEqual(reply.status, status)
                self.assertTrue(closed, "the connection is closed after a malformed request")
                entry = self.emulator.journal_entries()[-1]
                self.assertEqual(entry["status"], status)
                self.assertTrue(raw.startswith(entry["raw"].encode("latin-1")))
                self.assertEqual(entry["service"], "spurl" if b"/login.php" in raw else "")
                self.assertEqual(self.emulator.send("GET", "/nowhere").status, 404, "still serving")

    def test_mutated_requests_never_break_it(self):
        # Random damage to valid requests (fixed seed): every answer is a deliberate
        # one, never an internal error, and the emulator keeps serving.
        seeds = [self.emulator.build("GET", "/v1/posts/add?url=a&tags=b", auth="demo:demo"),
                 self.emulator.build("POST", "/tapp/db.exe", body=b"c=login&api=1&l=demo&p=demo"),
                 self.emulator.build("POST", "/my/marks,new", headers=["Expect: 100-continue"], body=b"url=x")]
        rng = random.Random(20061231)
        broken = []
        for _ in range(300):
            raw = bytearray(rng.choice(seeds))
            for _ in range(rng.randint(1, 4)):
                at = rng.randrange(len(raw))
                action = rng.randrange(3)
                if action == 0:
                    raw[at] = rng.choice(b"\r\n\x00 :%\xff\t" + bytes([rng.randrange(256)]))
                elif action == 1:
                    raw[at:at] = bytes(rng.randrange(256) for _ in range(rng.randint(1, 8)))
                else:
                    del raw[at:at + rng.randint(1, 8)]
            with self.emulator.connect() as sock:
                sock.sendall(raw)
                sock.shutdown(socket.SHUT_WR)
                received = b""
                while chunk := sock.recv(65536):
                    received += chunk
            if b"500" in re.findall(rb"^HTTP/1\.1 (\d{3}) ", received, re.MULTILINE):
                broken.append(bytes(raw))
        self.assertEqual(broken[:3], [], f"{len(broken)} requests got an internal error")
        self.assertEqual(self.emulator.send("GET", "/nowhere").status, 404)

    def test_connection_closed_or_idle_without_a_request(self):
        before = len(self.emulator.journal_entries())
        for raw in (b"", b"\r\n\r\n"):
            with self.subTest(raw=raw), self.emulator.connect() as sock:
                sock.sendall(raw)
                sock.shutdown(socket.SHUT_WR)
                self.assertTrue(is_closed(sock))
        self.assertEqual(len(self.emulator.journal_entries()), before)

    def test_keep_alive_and_close(self):
        emulator = self.emulator
        rows = (
            # request head after the request line, whether the connection stays open, Connection answered
            ("HTTP/1.1", [], True, None),
            ("HTTP/1.1", ["Connection: Keep-Alive"], True, None),
            ("HTTP/1.1", ["Connection: close"], False, "close"),
            ("HTTP/1.1", ["Connection: TE, Close"], False, "close"),
            ("HTTP/1.0", [], False, "close"),
            ("HTTP/1.0", ["Connection: keep-alive"], True, "keep-alive"),
        )
        for version, fields, stays_open, answered in rows:
            with self.subTest(version=version, fields=fields), emulator.connect() as sock:
                head = "\r\n".join([f"GET /_emulator/bookmarks {version}", "Host: h", *fields]) + "\r\n\r\n"
                sock.sendall(head.encode())
                reply = read_response(sock)
                self.assertEqual(reply.status, 200)
                self.assertEqual(int(reply.header("Content-Length")), len(reply.body))
                self.assertEqual(reply.header("Connection"), answered)
                if stays_open:
                    sock.sendall(head.encode())
                    self.assertEqual(read_response(sock).status, 200)
                else:
                    self.assertTrue(is_closed(sock))

    def test_every_answer_has_content_length(self):
        for method, target, status in (("GET", "/", 200), ("HEAD", "/", 200), ("GET", "/nowhere", 404),
                                       ("GET", "/user/login", 405), ("PUT", "/v1/posts/add", 405),
                                       ("HEAD", "/_emulator/bookmarks", 200)):
            with self.subTest(method=method, target=target), self.emulator.connect() as sock:
                sock.sendall(self.emulator.build(method, target))
                reply = read_response(sock, head_only=method == "HEAD")
                self.assertEqual(reply.status, status)
                self.assertIsNotNone(reply.header("Content-Length"))
                if method == "HEAD":
                    # no body follows: the next answer on the connection starts right away
                    sock.sendall(self.emulator.build("GET", "/nowhere"))
                    self.assertEqual(read_response(sock).status, 404)
                if status == 405:
                    self.assertTrue(reply.header("Allow"))

    def test_expect_continue(self):
        with self.emulator.connect() as sock:
            sock.sendall(b"POST /login.php HTTP/1.1\r\nHost: h\r\nContent-Type: application/x-www-form-urlencoded"
                         b"\r\nExpect: 100-continue\r\nContent-Length: 27\r\n\r\n")
            buffer = bytearray()
            self.assertEqual(read_response(sock, buffer).status, 100)
            sock.sendall(b"username=demo&password=demo")
            self.assertEqual(read_response(sock, buffer).status, 302)

    def test_absolute_target(self):
        reply = self.emulator.send("GET", "http://www.example.net/v1/posts/add?url=http%3A%2F%2Fz%2F",
                                   auth="demo:demo")
        self.assertEqual(reply.status, 200)


class PagesTest(SharedEmulatorTest):
    def test_pages(self):
        emulator = self.emulator
        files = {
            "latin.html": b'<html><head><META http-equiv="Content-Type" content="text/html; charset=ISO-8859-1">'
                          b"<title>Caf\xe9</title></head></html>",
            "plain.html": b"<html><head><title>Plain</title></head></html>",
            "bom.html": b"\xef\xbb\xbf<html><title>\xc3\xa9</title></html>",
            "decl.xhtml": b'<?xml version="1.0" encoding="windows-1252"?><html/>',
            "a b.html": b"<p>space</p>",
        }
        for name, data in files.items():
            with open(os.path.join(emulator.pages, name), "wb") as f:
                f.write(data)
        os.mkdir(os.path.join(emulator.pages, "sub"))
        with open(os.path.join(emulator.dir, "secret.txt"), "wb") as f:
            f.write(b"outside")
        rows = (
            ("/pages/latin.html", 200, "text/html; charset=iso-8859-1", files["latin.html"]),
            ("/pages/plain.html", 200, "text/html", files["plain.html"]),
            ("/pages/bom.html", 200, "text/html; charset=utf-8", files["bom.html"]),
            ("/pages/decl.xhtml", 200, "text/html; charset=windows-1252", files["decl.xhtml"]),
            ("/pages/a%20b.html?x=1", 200, "text/html", files["a b.html"]),
            ("/pages/missing.html", 404, None, None),
            ("/pages/sub", 404, None, None),
            ("/pages/", 404, None, None),
            ("/pages/../secret.txt", 404, None, None),
            ("/pages/%2E%2E/secret.txt", 404, None, None),
            ("/pages/%2e%2e%2fsecret.txt", 404, None, None),
            ("/pages/" + emulator.dir + "/secret.txt", 404, None, None),
            ("/pages/x%00.html", 404, None, None),
            ("/pagesplain.html", 404, None, None),
        )
        for target, status, content_type, body in rows:
            with self.subTest(target=target):
                reply = emulator.send("GET", target)
                self.assertEqual(reply.status, status)
                if status == 200:
                    self.assertEqual((reply.header("Content-Type"), reply.body), (content_type, body))


class LifecycleTest(unittest.TestCase):
    def test_signals_stop_it_cleanly(self):
        for signum in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=signum):
                emulator = Emulator(self.addCleanup)
                idle = emulator.connect()           # an idle keep-alive connection must not hold it
                self.addCleanup(idle.close)
                emulator.send("GET", "/nowhere")
                emulator.proc.send_signal(signum)
                self.assertEqual(emulator.proc.wait(STOP_SECONDS), 0)
                self.assertEqual(emulator.proc.stderr.read(), b"")

    def test_port_in_use(self):
        first = Emulator(self.addCleanup)
        proc = subprocess.run([*PYTHON, EMULATOR, "--port", str(first.port)],
                              capture_output=True, timeout=START_SECONDS)
        self.assertEqual(proc.returncode, 1)
        self.assertIn(b"cannot listen", proc.stderr)

    def test_verbose_logs_requests_to_stderr_only(self):
        emulator = Emulator(self.addCleanup, "--verbose")
        emulator.send("GET", "/nowhere")
        emulator.proc.send_signal(signal.SIGTERM)
        self.assertEqual(emulator.proc.wait(STOP_SECONDS), 0)
        self.assertEqual(emulator.proc.stdout.read(), b"")
        self.assertIn(b"'GET /nowhere HTTP/1.1' -> 404", emulator.proc.stderr.read())


if __name__ == "__main__":
    unittest.main()
