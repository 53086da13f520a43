#!/usr/bin/env python3
"""Local stand-in for the eight bookmark services, all on one loopback port.

The clients are pointed here by an endpoint override that replaces only the
scheme, host and port of their URLs, so requests arrive with each service's
own paths and are routed by path and method. Every request is journalled
byte for byte; the bookmarks it stores can be read back as JSON.

Python 3 standard library only. See README.md next to this file.
"""

import argparse
import base64
import binascii
import email.utils
import http
import json
import os
import re
import secrets
import signal
import socket
import socketserver
import sys
import threading
import time
import urllib.parse

SERVICES = ("delicious", "shadows", "simpy", "furl", "netvouz", "spurl", "blogmarks", "quorlane")
DEMO_LOGIN = "demo"
DEMO_PASSWORD = "demo"

# Wire limits. The clients' longest request line is a GET carrying a page URL,
# title, description and tags: a few KiB at most.
MAX_REQUEST_LINE = 16 * 1024
MAX_HEADER_BYTES = 64 * 1024      # whole header section; browsers stay far below
MAX_HEADER_FIELDS = 100           # the browser header set has about a dozen
MAX_BODY_BYTES = 1024 * 1024      # a form post of one bookmark is a few KiB
MAX_LEADING_EMPTY_LINES = 8       # stray CR LFs tolerated before a request line
IDLE_TIMEOUT_SECONDS = 30         # keep-alive connections idle longer are closed
DRAIN_SECONDS = 1.0               # how long unread input is drained before a close
DRAIN_BYTES = 4 * MAX_BODY_BYTES  # ... and how much of it at most
STOP_POLL_SECONDS = 0.05          # how soon a stop signal takes effect
REMIND_SECONDS = 30 * 24 * 3600   # lifetime of the "remember me" cookie of the blogmarks login

TOKEN = rb"[!#$%&'*+\-.^_`|~0-9A-Za-z]+"
REQUEST_LINE_RE = re.compile(rb"(" + TOKEN + rb") (\S+) HTTP/(\d)\.(\d)")
FIELD_RE = re.compile(rb"(" + TOKEN + rb"):[ \t]*(.*?)[ \t]*")
CHARSET_RE = re.compile(
    rb"""<meta[^>]*?charset\s*=\s*["']?([A-Za-z0-9_.:\-]+)"""
    rb"""|<\?xml[^>]*?encoding\s*=\s*["']([A-Za-z0-9_.:\-]+)""", re.IGNORECASE)
CHARSET_SNIFF_BYTES = 4096        # a charset declaration belongs in the head

HTML = "text/html; charset=utf-8"
XML = "text/xml; charset=utf-8"


class RequestError(Exception):
    """A request that cannot be served: answered with `status`, then the connection closes."""

    def __init__(self, status, message):
        super().__init__(message)
        self.status = status
        self.message = message


class EndOfInput(Exception):
    """The peer closed the connection before a request began."""


# ---------------------------------------------------------------------------
# Values

def decode_text(data):
    """Bytes of a form or query value as text: UTF-8 when valid, else Latin-1."""
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("latin-1")


class Form:
    """Ordered name/value pairs of an application/x-www-form-urlencoded text."""

    def __init__(self, data):
        self.fields = []
        for part in data.split(b"&"):
            if not part:
                continue
            name, _, value = part.partition(b"=")
            self.fields.append((self._unquote(name), self._unquote(value)))

    @staticmethod
    def _unquote(data):
        return decode_text(urllib.parse.unquote_to_bytes(data.replace(b"+", b" ")))

    def has(self, name):
        return any(n == name for n, _ in self.fields)

    def get(self, name):
        for n, v in self.fields:
            if n == name:
                return v
        return ""


# Which request field fills which key of a stored bookmark, per service.
RECORD_FIELDS = {
    "delicious": (("url", "url"), ("description", "title"), ("extended", "extended"), ("tags", "tags")),
    "shadows": (("url", "url"), ("description", "title"), ("extended", "extended"), ("tags", "tags")),
    "simpy": (("href", "url"), ("title", "title"), ("tags", "tags"), ("accessType", "access_type")),
    "furl": (("u", "url"), ("ti", "title"), ("d", "date")),
    "netvouz": (("url", "url"), ("name", "title"), ("description", "extended"), ("tags", "tags"),
                ("category", "category"), ("privat", "private"), ("rating", "rating")),
    "spurl": (("link_href", "url"), ("title", "title"), ("description", "extended"), ("keywords", "tags"),
              ("category", "category"), ("language", "language")),
    "blogmarks": (("url", "url"), ("title", "title"), ("content", "extended"), ("public-tags", "tags"),
                  ("private-tags", "private_tags"), ("via", "via")),
    "quorlane": (("c", "command"), ("url", "url"), ("et", "title"), ("etx", "extended"), ("t", "tags"),
                 ("bt", "category")),
}


def make_record(service, form):
    record = {key: form.get(field) for field, key in RECORD_FIELDS[service] if form.has(field)}
    record["fields"] = [[n, v] for n, v in form.fields]
    return record


# ---------------------------------------------------------------------------
# Shared state

class Accounts:
    def __init__(self):
        self._users = {service: {DEMO_LOGIN: DEMO_PASSWORD} for service in SERVICES}

    def add(self, service, user, password):
        self._users[service][user] = password

    def check(self, service, user, password):
        return user in self._users[service] and self._users[service][user] == password

    def load(self, path):
        """Adds the accounts of a JSON file {"service": {"user": "password"}}; ValueError when malformed."""
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        if not isinstance(data, dict):
            raise ValueError("the top level must be an object of services")
        for service, users in data.items():
            if service.lower() not in SERVICES:
                raise ValueError(f"unknown service {service!r} (known: {', '.join(SERVICES)})")
            if not isinstance(users, dict):
                raise ValueError(f"{service}: accounts must be an object of user: password")
            for user, password in users.items():
                if not isinstance(password, str):
                    raise ValueError(f"{service}: the password of {user!r} must be a string")
                self.add(service.lower(), user, password)


class Store:
    """Bookmarks per service and user, and the login sessions of the cookie sites."""

    def __init__(self):
        self._lock = threading.Lock()
        self.reset()

    def reset(self):
        with self._lock:
            self._bookmarks = {service: {} for service in SERVICES}
            self._sessions = {service: {} for service in SERVICES}

    def add(self, service, user, record):
        """Stores a bookmark; one already stored for the same URL is replaced, as the services did."""
        with self._lock:
            entries = self._bookmarks[service].setdefault(user, [])
            entries[:] = [e for e in entries if e.get("url") != record.get("url")]
            entries.append(record)

    def snapshot(self):
        with self._lock:
            return json.loads(json.dumps(self._bookmarks))

    def new_session(self, service, user):
        token = secrets.token_hex(16)
        with self._lock:
            self._sessions[service][token] = user
        return token

    def session_user(self, service, token):
        with self._lock:
            return self._sessions[service].get(token)


class Journal:
    """One JSON object per request, appended and flushed line by line."""

    def __init__(self, path):
        self._lock = threading.Lock()
        self._file = open(path, "a", encoding="utf-8") if path else None

    def write(self, entry):
        if self._file is None:
            return
        line = json.dumps(entry)
        with self._lock:
            self._file.write(line + "\n")
            self._file.flush()

    def close(self):
        if self._file is not None:
            self._file.close()


# ---------------------------------------------------------------------------
# Requests and responses

class Request:
    def __init__(self):
        self.raw = bytearray()
        self.request_line = ""
        self.method = ""
        self.target = ""
        self.version = (1, 1)
        self.headers = []        # [name, value] in order, as sent (Latin-1)
        self.body = b""
        self.path = ""           # percent-decoded, for routing
        self.query = b""

    def header(self, name):
        for n, v in self.headers:
            if n.lower() == name.lower():
                return v
        return None

    def header_values(self, name):
        return [v for n, v in self.headers if n.lower() == name.lower()]

    def connection_tokens(self):
        return {t.strip().lower() for v in self.header_values("Connection") for t in v.split(",")}

    def cookies(self):
        jar = {}
        for value in self.header_values("Cookie"):
            for pair in value.split(";"):
                name, sep, val = pair.strip().partition("=")
                if sep and name not in jar:
                    jar[name] = val
        return jar

    def form(self):
        return Form(self.body if self.method == "POST" else self.query)


class Response:
    def __init__(self, status, body=b"", content_type=HTML, headers=None, close=False):
        self.status = status
        self.body = body.encode("utf-8") if isinstance(body, str) else body
        self.content_type = content_type
        self.headers = list(headers or [])
        self.close = close

    def head_bytes(self, keep_alive_header):
        reason = http.HTTPStatus(self.status).phrase
        lines = [f"HTTP/1.1 {self.status} {reason}",
                 f"Date: {email.utils.formatdate(usegmt=True)}",
                 "Server: bookmark-emulator"]
        lines += [f"{n}: {v}" for n, v in self.headers]
        lines += [f"Content-Type: {self.content_type}", f"Content-Length: {len(self.body)}"]
        if self.close:
            lines.append("Connection: close")
        elif keep_alive_header:
            lines.append("Connection: keep-alive")
        return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")


def html_page(title, text):
    return (f"<html><head><title>{title}</title></head>"
            f"<body><h1>{title}</h1><p>{text}</p></body></html>\n")


def error_page(status, text, close=False, headers=None):
    return Response(status, html_page(f"{status} {http.HTTPStatus(status).phrase}", text),
                    headers=headers, close=close)


# ---------------------------------------------------------------------------
# Reading a request

class RequestReader:
    """Reads one request from a buffered socket file, keeping every byte in `request.raw`."""

    def __init__(self, rfile, send_interim):
        self._rfile = rfile
        self._send_interim = send_interim

    def read(self, request):
        self._read_request_line(request)
        self._read_fields(request)
        self._check_target(request)
        length = self._body_length(request)
        if length and request.version == (1, 1) and \
                (request.header("Expect") or "").lower() == "100-continue":
            self._send_interim(b"HTTP/1.1 100 Continue\r\n\r\n")
        self._read_body(request, length)

    def _line(self, request, limit, too_long_status):
        line = self._rfile.readline(limit + 1)
        request.raw += line
        if not line.endswith(b"\n"):
            if len(line) > limit:
                raise RequestError(too_long_status, "line too long")
            if not request.raw.strip(b"\r\n"):
                raise EndOfInput()
            raise RequestError(400, "connection closed inside the request header")
        line = line[:-2] if line.endswith(b"\r\n") else line[:-1]
        if b"\r" in line or b"\0" in line:
            raise RequestError(400, "stray CR or NUL in the request header")
        return line

    def _read_request_line(self, request):
        line = self._line(request, MAX_REQUEST_LINE, 414)
        for _ in range(MAX_LEADING_EMPTY_LINES):
            if line:
                break
            line = self._line(request, MAX_REQUEST_LINE, 414)
        request.request_line = line.decode("latin-1")
        match = REQUEST_LINE_RE.fullmatch(line)
        if not match:
            raise RequestError(400, "malformed request line")
        request.method = match.group(1).decode("latin-1")
        request.target = match.group(2).decode("latin-1")
        request.version = (int(match.group(3)), int(match.group(4)))
        if request.version[0] != 1:
            raise RequestError(505, "only HTTP/1.x is served")

    def _read_fields(self, request):
        start = len(request.raw)
        while True:
            line = self._line(request, MAX_HEADER_BYTES, 431)
            if not line:
                return
            if len(request.raw) - start > MAX_HEADER_BYTES or len(request.headers) >= MAX_HEADER_FIELDS:
                raise RequestError(431, "header section too large")
            if line[:1] in (b" ", b"\t"):
                raise RequestError(400, "folded header line")
            match = FIELD_RE.fullmatch(line)
            if not match:
                raise RequestError(400, "malformed header field")
            request.headers.append([match.group(1).decode("latin-1"), match.group(2).decode("latin-1")])

    @staticmethod
    def _check_target(request):
        if request.version == (1, 1) and len(request.header_values("Host")) != 1:
            raise RequestError(400, "an HTTP/1.1 request needs exactly one Host field")
        target = request.target
        if target.lower().startswith(("http://", "https://")):
            parts = urllib.parse.urlsplit(target)
            target = (parts.path or "/") + ("?" + parts.query if parts.query else "")
        elif not target.startswith("/"):
            raise RequestError(400, "unsupported request target")
        path, _, query = target.partition("?")
        request.path = urllib.parse.unquote(path.partition("#")[0], encoding="latin-1")
        request.query = query.partition("#")[0].encode("latin-1")

    @staticmethod
    def _body_length(request):
        if request.header_values("Transfer-Encoding"):
            raise RequestError(501, "transfer codings in requests are not supported")
        values = {v.strip() for value in request.header_values("Content-Length") for v in value.split(",")}
        if not values:
            return 0
        text = values.pop()
        if values or not text.isascii() or not text.isdigit():
            raise RequestError(400, "invalid Content-Length")
        # Compare digits first: a huge number is refused without converting it.
        if len(text.lstrip("0")) > len(str(MAX_BODY_BYTES)) or int(text) > MAX_BODY_BYTES:
            raise RequestError(413, f"bodies are limited to {MAX_BODY_BYTES} bytes")
        return int(text)

    def _read_body(self, request, length):
        body = self._rfile.read(length) if length else b""
        request.raw += body
        request.body = body
        if len(body) != length:
            raise RequestError(400, "connection closed inside the body")


# ---------------------------------------------------------------------------
# The services

class Emulator:
    """Routes requests to the services and keeps their state."""

    def __init__(self, accounts, journal, pages_dir, verbose):
        self.accounts = accounts
        self.journal = journal
        self.pages_dir = os.path.realpath(pages_dir) if pages_dir else None
        self.verbose = verbose
        self.store = Store()
        self.routes = self._routes()
        self.port = 0                       # set once the server is listening

    def _routes(self):
        api = self._api_add
        return {
            "/v1/posts/add": ("delicious", {"GET": api}),
            "/api/posts/add": ("shadows", {"GET": api}),
            "/simpy/api/rest/SaveLink.do": ("simpy", {"GET": api}),
            "/user/login": ("furl", {"POST": self._form_login}),
            "/store": ("furl", {"GET": self._form_add}),
            "/action/logon": ("netvouz", {"POST": self._form_login}),
            "/action/addBookmark": ("netvouz", {"POST": self._form_add}),
            "/login.php": ("spurl", {"POST": self._form_login}),
            "/submit.php": ("spurl", {"POST": self._form_add}),
            "/": ("blogmarks", {"POST": self._form_login, "GET": self._index, "HEAD": self._index}),
            "/my/marks,new": ("blogmarks", {"POST": self._form_add}),
            "/tapp/db.exe": ("quorlane", {"POST": self._quorlane}),
            "/_emulator/bookmarks": ("", {"GET": self._bookmarks, "HEAD": self._bookmarks}),
            "/_emulator/reset": ("", {"POST": self._reset}),
        }

    def route(self, request):
        """(service name, handler) for a request; the handler takes (service, request)."""
        if request.path.startswith("/pages/"):
            return "", {"GET": self._page, "HEAD": self._page}
        return self.routes.get(request.path, ("", None))

    def respond(self, request):
        service, methods = self.route(request)
        if methods is None:
            return service, error_page(404, "Nothing is served here.")
        handler = methods.get(request.method)
        if handler is None:
            return service, error_page(405, "Method not allowed here.",
                                       headers=[("Allow", ", ".join(methods))])
        return service, handler(service, request)

    # --- API services: one GET with HTTP Basic authentication

    API_REALMS = {"delicious": "Delicious API", "shadows": "Shadows API", "simpy": "Simpy API"}
    API_URL_FIELD = {"delicious": "url", "shadows": "url", "simpy": "href"}

    def basic_user(self, service, request):
        """The user named by a valid Authorization field, or None."""
        scheme, _, encoded = (request.header("Authorization") or "").partition(" ")
        if scheme.lower() != "basic":
            return None
        try:
            decoded = base64.b64decode(encoded.strip().encode("latin-1"), validate=True)
        except (binascii.Error, UnicodeEncodeError):
            return None
        user, sep, password = decode_text(decoded).partition(":")
        return user if sep and self.accounts.check(service, user, password) else None

    def _api_add(self, service, request):
        user = self.basic_user(service, request)
        if user is None:
            return Response(401, html_page("401 Unauthorized", "Wrong or missing credentials."),
                            headers=[("WWW-Authenticate", f'Basic realm="{self.API_REALMS[service]}"')])
        form = Form(request.query)
        if not form.get(self.API_URL_FIELD[service]):
            return self._api_missing_url(service)
        self.store.add(service, user, make_record(service, form))
        if service == "simpy":
            return Response(200, '<?xml version="1.0" encoding="UTF-8"?>\n<status><code>0</code>'
                                 '<message>Link saved successfully.</message></status>\n', XML)
        return Response(200, '<?xml version="1.0" encoding="UTF-8"?>\n<result code="done" />\n', XML)

    @staticmethod
    def _api_missing_url(service):
        # The old v1 API answered errors with status 200 and a result code other than "done".
        if service == "delicious":
            return Response(200, '<?xml version="1.0" encoding="UTF-8"?>\n<result code="missing url" />\n', XML)
        if service == "simpy":
            return Response(400, '<?xml version="1.0" encoding="UTF-8"?>\n<status><code>1</code>'
                                 '<message>The href parameter is required.</message></status>\n', XML)
        return Response(400, '<?xml version="1.0" encoding="UTF-8"?>\n<result code="missing url" />\n', XML)

    # --- Form-login sites: a login form that sets a session cookie, then an add request

    # service: (user field, password field, login status, login Location, session cookie,
    #           add status, add Location, URL field of the add request)
    FORM_SITES = {
        "furl": ("username", "password", 200, None, "JSESSIONID", 200, None, "u"),
        "netvouz": ("username", "password", 302, "/action/home", "NVSESSIONID", 302, "/action/bookmarks", "url"),
        "spurl": ("username", "password", 302, "/", "PHPSESSID", 200, None, "link_href"),
        "blogmarks": ("login", "pwd", 302, "/my/", "BMSESSID", 302, "/my/marks", "url"),
    }

    def _form_login(self, service, request):
        if not self._is_form_post(request):
            return error_page(415, "The login form is posted as application/x-www-form-urlencoded.")
        user_field, password_field, status, location, cookie = self.FORM_SITES[service][:5]
        form = request.form()
        user = form.get(user_field)
        if not self.accounts.check(service, user, form.get(password_field)):
            return Response(200, html_page("Log in", '<span class="error">Wrong user name or password.</span>'))
        token = self.store.new_session(service, user)
        headers = [("Set-Cookie", f"{cookie}={token}; Path=/")]
        if service == "blogmarks" and form.get("remind") == "1":
            expires = email.utils.formatdate(time.time() + REMIND_SECONDS, usegmt=True)
            headers.append(("Set-Cookie", f"bm_remind=1; Path=/; Max-Age={REMIND_SECONDS}; Expires={expires}"))
        if location:
            headers.append(("Location", self._absolute(location)))
        return Response(status, html_page("Welcome", f"Logged in as {user}."), headers=headers)

    def _form_add(self, service, request):
        if request.method == "POST" and not self._is_form_post(request):
            return error_page(415, "The form is posted as application/x-www-form-urlencoded.")
        site = self.FORM_SITES[service]
        user = self.store.session_user(service, request.cookies().get(site[4], ""))
        if user is None:
            return error_page(403, "Please log in first.")
        form = request.form()
        if not form.get(site[7]):
            return error_page(400, "The bookmark needs a URL.")
        self.store.add(service, user, make_record(service, form))
        headers = [("Location", self._absolute(site[6]))] if site[6] else []
        return Response(site[5], html_page("Bookmark saved", "The bookmark was saved."), headers=headers)

    @staticmethod
    def _is_form_post(request):
        content_type = (request.header("Content-Type") or "").split(";")[0].strip().lower()
        return content_type == "application/x-www-form-urlencoded"

    def _absolute(self, path):
        # The emulator's own address, not the Host field: a Host without the
        # port would send a client that follows the redirect to port 80.
        return f"http://127.0.0.1:{self.port}{path}"

    # --- Quorlane: commands posted to one program, answered with a status document

    QUORLANE_COOKIE = "QSESSION"

    def _quorlane(self, service, request):
        if not self._is_form_post(request):
            return self._quorlane_status("ERROR: commands are posted as application/x-www-form-urlencoded")
        form = request.form()
        if form.get("api") != "1":
            return self._quorlane_status("ERROR: unsupported api version")
        command = form.get("c")
        if command == "login":
            return self._quorlane_login(service, form)
        if command in ("addEntry", "addToTags"):
            return self._quorlane_add(service, request, form)
        return self._quorlane_status("ERROR: unknown command")

    def _quorlane_login(self, service, form):
        user = form.get("l")
        if not self.accounts.check(service, user, form.get("p")):
            return self._quorlane_status("ERROR: wrong login or password")
        token = self.store.new_session(service, user)
        return self._quorlane_status("OK", [("Set-Cookie", f"{self.QUORLANE_COOKIE}={token}; Path=/tapp")])

    def _quorlane_add(self, service, request, form):
        user = self.store.session_user(service, request.cookies().get(self.QUORLANE_COOKIE, ""))
        if user is None:
            return self._quorlane_status("ERROR: not logged in")
        if not form.get("url"):
            return self._quorlane_status("ERROR: missing url")
        self.store.add(service, user, make_record(service, form))
        return self._quorlane_status("OK")

    @staticmethod
    def _quorlane_status(text, headers=None):
        # Exactly the status element: no declaration, no line end.
        return Response(200, f"<status>{text}</status>", XML, headers=headers)

    # --- The emulator's own pages

    def _index(self, service, request):
        items = "".join(f"<li>{p} ({s or 'emulator'})</li>" for p, (s, _) in self.routes.items())
        return Response(200, html_page("Bookmark emulator", f"Endpoints:</p><ul>{items}</ul><p>"))

    def _bookmarks(self, service, request):
        return Response(200, json.dumps(self.store.snapshot(), ensure_ascii=False, indent=1),
                        "application/json; charset=utf-8")

    def _reset(self, service, request):
        self.store.reset()
        return Response(200, "{}", "application/json; charset=utf-8")

    def _page(self, service, request):
        if self.pages_dir is None:
            return error_page(404, "No pages are served.")
        name = request.path[len("/pages/"):]
        if "\0" in name:
            return error_page(404, "No such page.")
        path = os.path.realpath(os.path.join(self.pages_dir, name))
        if os.path.commonpath([path, self.pages_dir]) != self.pages_dir or not os.path.isfile(path):
            return error_page(404, "No such page.")
        try:
            with open(path, "rb") as f:
                data = f.read()
        except OSError:
            return error_page(404, "The page cannot be read.")
        charset = sniff_charset(data)
        return Response(200, data, f"text/html; charset={charset}" if charset else "text/html")


def sniff_charset(data):
    """The charset a page declares by byte-order mark, meta element or XML declaration, or None."""
    for bom, name in ((b"\xef\xbb\xbf", "utf-8"), (b"\xff\xfe", "utf-16le"), (b"\xfe\xff", "utf-16be")):
        if data.startswith(bom):
            return name
    match = CHARSET_RE.search(data[:CHARSET_SNIFF_BYTES])
    if not match:
        return None
    return (match.group(1) or match.group(2)).decode("ascii").lower()


# ---------------------------------------------------------------------------
# Connections

class Handler(socketserver.StreamRequestHandler):
    timeout = IDLE_TIMEOUT_SECONDS
    disable_nagle_algorithm = True

    def handle(self):
        try:
            while self._exchange():
                pass
        except (OSError, EndOfInput):
            pass

    def _exchange(self):
        """Serves one request; true when the connection stays open."""
        emulator = self.server.emulator
        request = Request()
        service = ""
        try:
            RequestReader(self.rfile, self.request.sendall).read(request)
            service, response = emulator.respond(request)
        except RequestError as e:
            response = error_page(e.status, e.message, close=True)
        except socket.timeout:
            if not request.raw.strip(b"\r\n"):
                return False
            response = error_page(408, "The request did not arrive in time.", close=True)
        except (OSError, EndOfInput):
            raise
        except Exception as e:  # a fault of the emulator itself: answer, and keep serving
            sys.stderr.write(f"bookmark-emulator: internal error: {e!r}\n")
            response = error_page(500, "Internal error.", close=True)
        if request.path and not service:
            service = emulator.route(request)[0]   # a request that failed once its path was known
        keep_alive_header = self._decide_keep_alive(request, response)
        self._record(emulator, service, request, response)
        head = response.head_bytes(keep_alive_header)
        self.request.sendall(head if request.method == "HEAD" else head + response.body)
        if response.close:
            self._drain()
        return not response.close

    @staticmethod
    def _decide_keep_alive(request, response):
        """Sets response.close; true when an HTTP/1.0 peer needs an explicit keep-alive."""
        tokens = request.connection_tokens()
        if request.version == (1, 0):
            if "keep-alive" not in tokens:
                response.close = True
            return not response.close
        if "close" in tokens:
            response.close = True
        return False

    @staticmethod
    def _record(emulator, service, request, response):
        emulator.journal.write({
            "service": service,
            "raw": bytes(request.raw).decode("latin-1"),
            "request_line": request.request_line,
            "headers": request.headers,
            "body": request.body.decode("latin-1"),
            "status": response.status,
        })
        if emulator.verbose:
            sys.stderr.write(f"{service or '-'} {request.request_line!r} -> {response.status}\n")
            sys.stderr.flush()

    def _drain(self):
        # Closing with unread input makes the kernel reset the connection, which can
        # destroy the answer in flight: half-close, then read what is left for a moment.
        try:
            self.request.shutdown(socket.SHUT_WR)
            self.request.settimeout(DRAIN_SECONDS)
            left = DRAIN_BYTES
            while left > 0:
                chunk = self.request.recv(min(left, 65536))
                if not chunk:
                    break
                left -= len(chunk)
        except OSError:
            pass


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    block_on_close = False
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, port, emulator):
        self.emulator = emulator
        super().__init__(("127.0.0.1", port), Handler)


# ---------------------------------------------------------------------------

def parse_args(argv):
    parser = argparse.ArgumentParser(
        prog="bookmark-emulator",
        description="Local HTTP server emulating the bookmark services on one loopback port.")
    parser.add_argument("--port", type=int, default=0, help="port to listen on (0: a free port)")
    parser.add_argument("--journal", help="append one JSON line per request to this file")
    parser.add_argument("--pages", help="serve the files of this directory under /pages/NAME")
    parser.add_argument("--accounts", help='JSON file {"service": {"user": "password"}} of extra accounts')
    parser.add_argument("--verbose", action="store_true", help="log requests to standard error")
    args = parser.parse_args(argv)
    if not 0 <= args.port <= 65535:
        parser.error("--port must be between 0 and 65535")
    if args.pages and not os.path.isdir(args.pages):
        parser.error(f"--pages {args.pages}: not a directory")
    return args


def main(argv):
    args = parse_args(argv)
    accounts = Accounts()
    if args.accounts:
        try:
            accounts.load(args.accounts)
        except (OSError, ValueError) as e:
            sys.stderr.write(f"bookmark-emulator: --accounts {args.accounts}: {e}\n")
            return 2
    try:
        journal = Journal(args.journal)
    except OSError as e:
        sys.stderr.write(f"bookmark-emulator: --journal {args.journal}: {e}\n")
        return 2
    try:
        emulator = Emulator(accounts, journal, args.pages, args.verbose)
        server = Server(args.port, emulator)
    except OSError as e:
        sys.stderr.write(f"bookmark-emulator: cannot listen on 127.0.0.1:{args.port}: {e}\n")
        return 1

    emulator.port = server.server_address[1]
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    threading.Thread(target=server.serve_forever, kwargs={"poll_interval": STOP_POLL_SECONDS}, daemon=True).start()
    try:
        print(server.server_address[1], flush=True)
    except OSError:
        pass  # nobody reads the port: keep serving all the same
    while not stop.wait(STOP_POLL_SECONDS):
        pass
    server.shutdown()
    server.server_close()
    journal.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
