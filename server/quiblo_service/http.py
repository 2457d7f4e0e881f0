"""The HTTP (or HTTPS) server of the endpoints and pages."""

import logging
import sqlite3
import ssl
import sys
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from .keys import KEY_HEADER
from .pages import page, unavailable
from .store import StoreError

try:
    from psycopg import Error as DatabaseError
except ImportError:
    DatabaseError = StoreError


class HTTPServer(ThreadingHTTPServer):
    daemon_threads = True  # a stalled request never holds up the exit
    # socketserver's 5 drops connections under a few hundred clients, which then wait seconds
    # for their handshake to be sent again.
    request_queue_size = 1024

    def __init__(self, sock, handler):
        # The socket is made (and bound, perhaps shared with other workers) by the caller.
        super().__init__(sock.getsockname(), handler, bind_and_activate=False)
        self.socket.close()
        self.socket = sock
        self.server_address = sock.getsockname()
        self.server_activate()

    def handle_error(self, request, client_address):
        # A client that went away is no fault of ours.
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


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

    def log_message(self, fmt, *args):
        # The request line and status only: the upload key travels in a header, never logged.
        logging.info("http %s - %s", self.client_address[0], fmt % args)

    def real_reply(self):
        path, _, query = self.path.partition("?")
        try:
            return self.service.route(path, query, self.client_address[0], self.headers.get(KEY_HEADER),
                                      self.headers.get("If-None-Match"))
        except (StoreError, DatabaseError, sqlite3.Error) as err:
            logging.error("the store failed: %s", err)
            return unavailable()

    def do_GET(self):
        self.send(self.real_reply())

    def do_HEAD(self):
        self.head_only = True
        self.do_GET()

    def do_POST(self):
        self.send(page("405", "<h1>405 Method Not Allowed</h1>", 405))

    def head_bytes(self, reply, length=-1):
        """The status line and headers; length None sends no Content-Length (the end of the
        connection ends the body)."""
        self.send_response(reply.status)
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
