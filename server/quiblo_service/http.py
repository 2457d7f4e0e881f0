"""The HTTP (or HTTPS) server of the endpoints and pages."""

import collections
import http.client
import logging
import re
import socket
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from .proxies import client_address, is_trusted
from .reply import BodyRefused, Reply, unavailable
from .store import StoreError
from .words import language_of

# The request line and headers of one request together: far more than any client of the
# service sends, and little enough that hundreds of unfinished requests hold little memory.
MAX_HEAD_BYTES = 16384
# A length is plain ASCII digits: str.isdigit() would take "²", which int() refuses.
LENGTH = re.compile(r"[0-9]{1,15}")
# Deletion ids in a logged request line: whoever reads the log must not be able to delete.
DELETION_ID_IN_PATH = re.compile(r"(/delete/[0-9]{18}/|[?&]delid=)[^ &/]*")
BUSY = (b"HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\nContent-Length: 11\r\n"
        b"Connection: close\r\n\r\nToo busy.\r\n")


class HTTPServer(ThreadingHTTPServer):
    daemon_threads = True  # a stalled request never holds up the exit
    # socketserver's 5 drops connections under a few hundred clients, which then wait seconds
    # for their handshake to be sent again.
    request_queue_size = 1024

    def __init__(self, sock, handler, max_connections=512, max_per_address=64, trusted_proxies=()):
        # The socket is made (and bound, perhaps shared with other workers) by the caller.
        super().__init__(sock.getsockname(), handler, bind_and_activate=False)
        self.socket.close()
        self.socket = sock
        self.server_address = sock.getsockname()
        self.server_activate()
        self.max_connections, self.max_per_address = max_connections, max_per_address
        self.trusted_proxies = list(trusted_proxies)
        self.open_lock = threading.Lock()
        self.open_connections = {}  # socket -> client address
        self.per_address = collections.Counter()

    def verify_request(self, request, client_address):
        """Takes a connection while the service holds fewer than its caps, in all and from this
        address; another is answered 503 (in plain text; a TLS one is closed) and let go."""
        address = client_address[0]
        # A trusted proxy carries many clients on its connections: only the cap in all holds.
        proxy = is_trusted(address, self.trusted_proxies)
        with self.open_lock:
            if (len(self.open_connections) < self.max_connections
                    and (proxy or self.per_address[address] < self.max_per_address)):
                self.open_connections[request] = address
                self.per_address[address] += 1
                return True
        logging.warning("http %s - too many connections, refused", address)
        if not isinstance(request, ssl.SSLSocket):
            try:
                request.send(BUSY, socket.MSG_DONTWAIT)
            except OSError:
                pass
        return False

    def shutdown_request(self, request):
        with self.open_lock:
            address = self.open_connections.pop(request, None)
            if address is not None:
                self.per_address[address] -= 1
                if self.per_address[address] <= 0:
                    del self.per_address[address]
        super().shutdown_request(request)

    def handle_error(self, request, client_address):
        # A client that went away is no fault of ours.
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


class HeadBudget:
    """The connection's reader, counting the bytes of a request's head: past MAX_HEAD_BYTES a
    line is refused (431) before it is read whole. Bodies (read()) are not counted."""

    def __init__(self, stream, budget):
        self.stream, self.left = stream, budget

    def readline(self, limit=-1):
        ask = self.left + 1 if limit is None or limit < 0 else min(limit, self.left + 1)
        line = self.stream.readline(ask)
        self.left -= len(line)
        if self.left < 0:
            raise http.client.LineTooLong("request head")
        return line

    def __getattr__(self, name):
        return getattr(self.stream, name)


class Request:
    """What the pages need of one HTTP request: its method, path, query, client address (behind
    a trusted proxy, the one it names) and secure connection, its headers (trimmed), and its
    body, read only when asked for."""

    def __init__(self, handler):
        self.handler = handler
        self.method = handler.command
        self.path, _, self.query = handler.path.partition("?")
        headers = handler.headers
        self.client = client_address(handler.client_address[0], headers.get_all("X-Forwarded-For"),
                                     headers.get_all("Forwarded"), handler.server.trusted_proxies)
        self.secure = isinstance(handler.request, ssl.SSLSocket)
        self.body_unread = self.method in ("POST", "PUT")

    def header(self, name):
        return self.handler.header(name)

    def length(self):
        """The body's announced length, or None. BodyRefused (400) for one that is not a number."""
        text = self.header("Content-Length")
        if text is None:
            return None
        if not LENGTH.fullmatch(text):
            raise BodyRefused(400, "Bad request: the Content-Length is not a number of bytes.")
        return int(text)

    def body(self, limit, seconds):
        """The whole body: at most LIMIT bytes, arriving within SECONDS. BodyRefused otherwise."""
        length = self.length()
        if length is None or "chunked" in (self.header("Transfer-Encoding") or "").lower():
            raise BodyRefused(411, "Length Required: send the body with its Content-Length.")
        if length > limit:
            raise BodyRefused(413, f"Too large: at most {limit} bytes.")
        deadline = time.monotonic() + seconds
        data = bytearray()
        connection = self.handler.connection
        while len(data) < length:
            left = deadline - time.monotonic()
            if left <= 0:
                raise BodyRefused(408, "The upload took too long.")
            connection.settimeout(min(left, self.handler.timeout))
            try:
                chunk = self.handler.rfile.read1(min(1 << 16, length - len(data)))
            except TimeoutError as err:
                raise BodyRefused(408, "The upload took too long.") from err
            if not chunk:
                raise ConnectionAbortedError("the client ended the body early")
            data += chunk
        connection.settimeout(self.handler.timeout)
        self.body_unread = False
        return bytes(data)


class Handler(BaseHTTPRequestHandler):
    server_version = "QuibloService/1.0"
    sys_version = ""
    service = None  # the pages.Service, set at start
    head_only = False  # a HEAD request: everything as for GET but the body
    timeout = 60  # a client that sends nothing (no handshake, no request) is let go

    def setup(self):
        super().setup()
        # Over HTTPS the handshake happens here, in the request's thread, so that a client that
        # never completes it holds up no one else.
        if isinstance(self.request, ssl.SSLSocket):
            try:
                self.request.do_handshake()
            except (ssl.SSLError, OSError) as err:
                raise ConnectionAbortedError(f"TLS handshake failed: {err}") from err
        self.stream = self.rfile

    def handle_one_request(self):
        self.rfile = HeadBudget(self.stream, MAX_HEAD_BYTES)
        try:
            super().handle_one_request()
        except http.client.LineTooLong:  # the request line alone is over the cap
            self.requestline = self.request_version = self.command = ""
            self.send_error(414)
            self.close_connection = True

    def header(self, name):
        """A request header's value without the blanks around it, or None."""
        value = self.headers.get(name)
        return value.strip(" \t") if value is not None else None

    def log_message(self, fmt, *args):
        # The request line and status only: the upload key travels in a header, never logged,
        # and a deletion id is masked.
        logging.info("http %s - %s", self.client_address[0], DELETION_ID_IN_PATH.sub(r"\1-", fmt % args))

    def real_reply(self):
        request = Request(self)
        try:
            reply = self.service.route(request)
        except StoreError as err:
            logging.error("the store failed: %s", err)
            reply = unavailable(language_of(request.header("Accept-Language")))
        except BodyRefused as err:  # a body that cannot be read as it is announced
            reply = Reply(err.status, "text/plain; charset=UTF-8", f"{err.status} {err}\r\n".encode())
        if request.body_unread:
            self.close_connection = True  # what is left of the body is not read
        return reply

    def do_GET(self):
        self.send(self.real_reply())

    def do_HEAD(self):
        self.head_only = True
        self.do_GET()

    do_POST = do_PUT = do_GET

    def head_bytes(self, reply, length=-1):
        """The status line and headers; length None sends no Content-Length (the end of the
        connection ends the body). A 304 has neither length nor type: it has no body."""
        self.send_response(reply.status)
        if reply.status == 304:
            length = None
        else:
            self.send_header("Content-Type", reply.content_type)
        if length is not None:
            self.send_header("Content-Length", str(len(reply.body) if length == -1 else length))
        for name, value in reply.headers.items():
            self.send_header(name, value)
        if "Cache-Control" not in reply.headers:
            self.send_header("Cache-Control", "no-cache")
        self.end_headers()

    def send(self, reply):
        self.head_bytes(reply)
        if not self.head_only:
            self.wfile.write(reply.body)
