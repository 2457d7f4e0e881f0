"""The HTTP (or HTTPS) server on aiohttp: its event loop holds every connection (a slow client costs
a few kilobytes and no thread), the route table of routes.py says who answers what, and the
answers that ask the store are made in a pool of threads, so that a stuck database holds up only
the requests that wait for it. The caps: a request's head must arrive whole within HEAD_SECONDS
and in at most MAX_HEAD_BYTES, and connections are counted in all and per client address."""

import asyncio
import concurrent.futures
import logging
import re

from aiohttp import web
from aiohttp.web_urldispatcher import _default_expect_handler
from aiohttp.abc import AbstractAccessLogger

from .proxies import client_address, is_trusted
from .refusals import Refusal, http_status, words
from .reply import BodyRefused, Reply, not_found, status_page, unavailable
from .store import StoreError
from .words import language_of

# The request line and headers of one request together: far more than any client of the service
# sends, and little enough that thousands of unfinished requests hold little memory.
MAX_HEAD_BYTES = 16384
MAX_HEADERS = 100
# A request's head arrives whole within this time, as nginx's client_header_timeout bounds it.
HEAD_SECONDS = 20
# An idle kept-alive connection is closed after this time.
IDLE_SECONDS = 20
# What a refused body may still send is read and dropped for this long after the answer, so that
# the client reads the answer instead of a broken pipe.
DRAIN_SECONDS = 10
# What a form may add around a picture (its boundaries and fields).
BODY_ALLOWANCE = 65536
# A length is plain ASCII digits: str.isdigit() would take "²", which int() refuses.
LENGTH = re.compile(r"[0-9]{1,15}")
# Deletion ids in a logged request line: whoever reads the log must not be able to delete.
DELETION_ID_IN_PATH = re.compile(r"(/delete/[0-9]{18}/|[?&]delid=)[^ &/]*")
HEAD_TOO_LARGE = (b"HTTP/1.1 431 Request Header Fields Too Large\r\nContent-Type: text/plain; charset=UTF-8\r\n"
                  b"Content-Length: 38\r\nConnection: close\r\n\r\nThe request's headers are too large.\r\n")
BUSY = (b"HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=UTF-8\r\n"
        b"Content-Length: 11\r\nConnection: close\r\n\r\nToo busy.\r\n")
SERVER_NAME = "QuibloService/1.0"
TEXT_TYPE = "text/plain; charset=UTF-8"


class Request:
    """What the answers need of one HTTP request: its method, path, query, client address (behind
    a trusted proxy, the one it names), secure connection, language, its headers (trimmed), and
    its body, read only when asked for (from the answer's thread)."""

    def __init__(self, web_request, loop, trusted_proxies):
        self.web, self.loop = web_request, loop
        self.method = web_request.method
        self.path = web_request.rel_url.raw_path
        self.query = web_request.rel_url.raw_query_string
        headers = web_request.headers
        peer = (web_request.transport.get_extra_info("peername") or ("",))[0] if web_request.transport else ""
        self.client = client_address(peer, headers.getall("X-Forwarded-For", None),
                                     headers.getall("Forwarded", None), trusted_proxies)
        self.secure = web_request.secure
        self.language = language_of(self.header("Accept-Language"))

    def header(self, name):
        """A request header's value without the blanks around it, or None."""
        value = self.web.headers.get(name)
        return value.strip(" \t") if value is not None else None

    def length(self):
        """The body's announced length, or None. BodyRefused (400) for one that is not a number."""
        text = self.header("Content-Length")
        if text is None:
            return None
        if not LENGTH.fullmatch(text):
            raise BodyRefused(400, "Bad request: the Content-Length is not a number of bytes.")
        return int(text)

    def body(self, limit, seconds, allowance=0):
        """The whole body: at most LIMIT bytes (and ALLOWANCE for a form's parts around them),
        arriving within SECONDS. BodyRefused otherwise. Called from an answer's thread."""
        length = self.length()
        if length is None or "chunked" in (self.header("Transfer-Encoding") or "").lower():
            raise BodyRefused(411, "Length Required: send the body with its Content-Length.")
        if length > limit + allowance:
            raise BodyRefused(http_status(Refusal.TOO_LARGE), words(Refusal.TOO_LARGE, limit=limit))
        if length == 0:
            return b""
        reading = asyncio.run_coroutine_threadsafe(self.read(length, seconds), self.loop)
        return reading.result()

    async def read(self, length, seconds):
        try:
            return await asyncio.wait_for(self.web.content.readexactly(length), seconds)
        except asyncio.TimeoutError as err:
            raise BodyRefused(http_status(Refusal.TOO_SLOW), words(Refusal.TOO_SLOW)) from err
        except asyncio.IncompleteReadError as err:
            raise ConnectionAbortedError("the client ended the body early") from err


class NoBody(web.Response):
    """A 304: neither a body nor its length."""

    async def _start(self, request):
        self._length_check = False
        return await web.StreamResponse._start(self, request)


def response(reply):
    """The aiohttp answer of a Reply. Every answer says how long it may be kept: no-cache unless
    it says otherwise."""
    headers = dict(reply.headers)
    headers.setdefault("Cache-Control", "no-cache")
    headers["Server"] = SERVER_NAME
    if reply.status == 304:
        return NoBody(status=304, headers=headers)
    headers["Content-Type"] = reply.content_type
    return web.Response(status=reply.status, body=reply.body, headers=headers)


def unread_body(web_request):
    """The bytes of the request's body still to come (None: unknown), which aiohttp drains after
    the answer: they are no request's head."""
    if web_request.content.is_eof():
        return 0
    if web_request.content_length is None:
        return None
    return max(0, web_request.content_length - web_request.content.total_bytes)


class Guard(asyncio.Protocol):
    """Stands before aiohttp's own protocol: a connection past the caps, in all or from its
    address, is answered 503 (a TLS one is closed) and let go; a request head that does not
    arrive whole within HEAD_SECONDS ends its connection, and one over MAX_HEAD_BYTES gets 431."""

    def __init__(self, server):
        self.server, self.inner, self.transport, self.address = server, None, None, None
        self.head_timer = None
        self.in_request = False
        self.head_bytes, self.head_tail, self.head_done = 0, b"", False
        self.body_to_come = 0  # of a request already answered: drained, not counted as a head

    def connection_made(self, transport):
        self.transport = transport
        peer = transport.get_extra_info("peername")
        self.address = peer[0] if peer else ""
        if not self.server.admit(self.address):
            logging.warning("http %s - too many connections, refused", self.address)
            if transport.get_extra_info("sslcontext") is None:
                transport.write(BUSY)
            transport.close()
            return
        self.inner = self.server.protocol()
        self.inner.connection_made(transport)
        self.start_head_timer()

    def start_head_timer(self):
        if self.head_timer is None and self.transport is not None:
            self.head_timer = asyncio.get_running_loop().call_later(HEAD_SECONDS, self.head_too_slow)

    def head_too_slow(self):
        self.head_timer = None
        if not self.in_request:
            self.transport.close()

    def request_began(self):
        self.in_request = True
        if self.head_timer is not None:
            self.head_timer.cancel()
            self.head_timer = None

    def request_ended(self, body_to_come):
        self.in_request = False
        self.head_bytes, self.head_tail, self.head_done = 0, b"", False
        self.body_to_come = body_to_come

    def data_received(self, data):
        if self.body_to_come is None:  # drained until aiohttp ends the connection
            self.inner.data_received(data)
            return
        if self.body_to_come:
            passed = min(self.body_to_come, len(data))
            self.body_to_come -= passed
            self.inner.data_received(data[:passed])
            data = data[passed:]
            if not data:
                return
        if not self.in_request and not self.head_done:
            self.start_head_timer()
            if not self.count_head(data):
                self.transport.write(HEAD_TOO_LARGE)
                self.transport.close()
                return
        self.inner.data_received(data)

    def count_head(self, data):
        """Counts the bytes of a request's head as they come: False past MAX_HEAD_BYTES."""
        seen = self.head_tail + data
        end = seen.find(b"\r\n\r\n")
        if end < 0:
            self.head_bytes += len(data)
            self.head_tail = seen[-3:]
        else:
            self.head_bytes += end + 4 - len(self.head_tail)
            self.head_done = True
        return self.head_bytes <= MAX_HEAD_BYTES

    def eof_received(self):
        return self.inner.eof_received() if self.inner else None

    def pause_writing(self):
        if self.inner:
            self.inner.pause_writing()

    def resume_writing(self):
        if self.inner:
            self.inner.resume_writing()

    def connection_lost(self, exc):
        if self.head_timer is not None:
            self.head_timer.cancel()
        if self.inner is not None:
            self.server.release(self.address)
            self.inner.connection_lost(exc)


class AccessLog(AbstractAccessLogger):
    """The request line and status only: the upload key travels in a header, never logged, and a
    deletion id is masked."""

    def log(self, request, response, seconds):
        line = f"{request.method} {request.rel_url.raw_path_qs} HTTP/{request.version.major}.{request.version.minor}"
        self.logger.info("http %s - \"%s\" %s", request.get("client", request.remote),
                         DELETION_ID_IN_PATH.sub(r"\1-", line), response.status)


class HTTPServer:
    """The HTTP server of one process on a listening socket (made, and perhaps shared with
    other workers, by the caller). SERVICE answers; ROUTES(service) is the route table;
    MIDDLEWARES stand before it (the tests' controls among them)."""

    def __init__(self, sock, service, routes, context=None, max_connections=10000, max_per_address=64,
                 trusted_proxies=(), middlewares=(), threads=64):
        self.sock, self.service, self.context = sock, service, context
        self.max_connections, self.max_per_address = max_connections, max_per_address
        self.trusted_proxies = list(trusted_proxies)
        self.open = 0
        self.per_address = {}
        self.pool = concurrent.futures.ThreadPoolExecutor(threads, thread_name_prefix="http")
        self.app = web.Application(middlewares=[*middlewares, self.guarded], client_max_size=1 << 30)
        for methods, path, answer in routes:
            for method in methods:
                self.app.router.add_route(method, path, self.handler(answer), expect_handler=self.expect)
        self.loop = self.stopped = self.runner = None
        self.protocol = None

    async def expect(self, web_request):
        """`Expect: 100-continue`: a body over any limit of the service is refused at once, before
        it is sent; any other is asked for (100 Continue), so no client waits for it."""
        largest = self.service.intake.max_bytes + BODY_ALLOWANCE
        if web_request.content_length is not None and web_request.content_length > largest:
            limit = self.service.intake.max_bytes
            refusal = response(Reply(413, TEXT_TYPE, f"413 {words(Refusal.TOO_LARGE, limit=limit)}\r\n".encode()))
            refusal.force_close()  # the body will not come
            return refusal
        return await _default_expect_handler(web_request)

    def admit(self, address):
        proxy = is_trusted(address, self.trusted_proxies)
        if self.open >= self.max_connections or (not proxy and self.per_address.get(address, 0) >= self.max_per_address):
            return False
        self.open += 1
        self.per_address[address] = self.per_address.get(address, 0) + 1
        return True

    def release(self, address):
        self.open -= 1
        self.per_address[address] -= 1
        if self.per_address[address] <= 0:
            del self.per_address[address]

    def handler(self, answer):
        """The aiohttp handler of one route: ANSWER(service, request, **match) in a thread."""
        async def handle(web_request):
            request = web_request["request"]
            match = dict(web_request.match_info)
            if getattr(answer, "on_loop", False):
                return response(answer(self.service, request, **match))
            reply = await self.loop.run_in_executor(self.pool, lambda: answer(self.service, request, **match))
            return response(reply)
        return handle

    @web.middleware
    async def guarded(self, web_request, handler):
        guard = web_request.transport and web_request.transport.get_protocol()
        if isinstance(guard, Guard):
            guard.request_began()
        request = Request(web_request, self.loop, self.trusted_proxies)
        web_request["request"] = request
        web_request["client"] = request.client
        try:
            return await handler(web_request)
        except web.HTTPNotFound:
            if request.method not in ("POST", "PUT"):
                return response(not_found(request.language))
            return response(status_page(405, request.language))
        except web.HTTPMethodNotAllowed:
            return response(status_page(405, request.language))
        except StoreError as err:
            logging.error("the store failed: %s", err)
            return response(unavailable(request.language))
        except BodyRefused as err:  # a body that cannot be read as it is announced
            return response(Reply(err.status, TEXT_TYPE, f"{err.status} {err}\r\n".encode()))
        except ConnectionAbortedError:  # the client went before its body was whole
            ended = response(Reply(400, TEXT_TYPE, b"400 The body ended early.\r\n"))
            ended.force_close()
            return ended
        except web.HTTPException:
            raise
        except Exception:  # noqa: BLE001 - a fault of ours: logged whole, and a 500
            logging.exception("the answer to %s failed", DELETION_ID_IN_PATH.sub(r"\1-", request.path))
            return response(Reply(500, TEXT_TYPE, b"500 Internal Server Error\r\n"))
        finally:
            if isinstance(guard, Guard):
                guard.request_ended(unread_body(web_request))

    async def serve(self, ready):
        """Serves until stop(); READY() is called once it listens."""
        self.loop = asyncio.get_running_loop()
        self.stopped = asyncio.Event()
        self.runner = web.AppRunner(self.app, handle_signals=False, access_log_class=AccessLog,
                                    access_log=logging.getLogger("quiblo.http"),
                                    keepalive_timeout=IDLE_SECONDS, max_line_size=MAX_HEAD_BYTES,
                                    max_field_size=MAX_HEAD_BYTES, max_headers=MAX_HEADERS,
                                    lingering_time=DRAIN_SECONDS)
        await self.runner.setup()
        self.protocol = self.runner.server
        self.sock.setblocking(False)
        tls = {"ssl": self.context, "ssl_handshake_timeout": HEAD_SECONDS} if self.context else {}
        server = await self.loop.create_server(lambda: Guard(self), sock=self.sock, backlog=1024, **tls)
        ready()
        await self.stopped.wait()
        server.close()
        await self.protocol.shutdown(1.0)  # an answer under way gets a second, stalls none
        await self.runner.cleanup()
        self.pool.shutdown(wait=False, cancel_futures=True)

    def stop(self):
        """From any thread."""
        if self.loop is not None and not self.loop.is_closed():
            self.loop.call_soon_threadsafe(self.stopped.set)


def on_loop(answer):
    """Marks an answer that needs no store: it is made on the event loop itself."""
    answer.on_loop = True
    return answer


def keep_quiet():
    # aiohttp logs a client that went away, or a broken request, as errors: they are no fault
    # of ours (a fault of an answer is logged where it is caught). Its access log is our own
    # (AccessLog), at INFO.
    logging.getLogger("aiohttp.server").setLevel(logging.CRITICAL)

