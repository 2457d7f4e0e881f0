"""The reference service's test controls, loaded only by the tests from the source tree: a
control endpoint (POST /_control) that scripts the next replies, moves the service's clock, runs
the sweeps and wipes the data, and faults of the FTP upload server (a cut, a full disk, a slow
line, a command refused). The package never ships this module."""

import argparse
import asyncio
import base64
import http
import errno
import ipaddress
import json
import logging
import re
import socket
import struct
import sys
import threading
import time

from aiohttp import web
from pyftpdlib.handlers import PassiveDTP

from quiblo_service import admin, clock, config, serve, upload
from quiblo_service.ftp import UploadDTP, UploadHandler
from quiblo_service.http import response
from quiblo_service.cgi import CGI_TYPE
from quiblo_service.reply import Reply, not_found, status_page
from quiblo_service.serve import Worker

CONTROL_PATH = "/_control"
MAX_STALL_SECONDS = 120
RATE_LIMITED_RCVBUF = 8192  # the system doubles it


class Faults:
    """This process's scripted replies, clock offset and FTP faults."""

    def __init__(self):
        self.lock = threading.Lock()
        self.scripts = []
        self.clock_offset = 0.0
        self.ftp_cut_after = None  # the next upload breaks after this many bytes
        self.ftp_cut_close = None  # ...and the server then says 421 and closes the session
        self.ftp_full = None  # the next upload finds the disk full ("stor" or a byte count)
        self.ftp_rate = None  # uploads are read at most this many bytes a second
        self.ftp_refuse = None  # the next use of this FTP command is not understood
        self.ftp_received = 0  # bytes the latest upload has handed over so far
        self.requests = 0  # HTTP requests served, the control endpoint's aside
        self.http_offer = True  # usercheck.cgi offers the upload over HTTP

    def take(self, name):
        with self.lock:
            value = getattr(self, name)
            setattr(self, name, None)
        return value

    def take_script(self, path):
        with self.lock:
            for script in self.scripts:
                if script.path is None or script.path == path:
                    script.count -= 1
                    if script.count == 0:
                        self.scripts.remove(script)
                    return script
        return None


FAULTS = Faults()
WORKER = None  # the serve.Worker, once started


def moved_clock():
    return time.time() + FAULTS.clock_offset


class Script:
    """One scripted answer for the next `count` requests (to `path`, if set)."""

    def __init__(self, command):
        def number(name, low, high, default, kind=float):
            value = command.get(name, default)
            if value is None:
                return None
            if isinstance(value, bool) or not isinstance(value, (int, float)) or not low <= value <= high:
                raise ValueError(f"{name} must be a number from {low} to {high}")
            return kind(value)

        known = {"action", "path", "count", "status", "body", "body_base64", "content_type",
                 "stall", "partial", "drop"}
        known |= {"trickle", "huge_body", "no_length", "headers"}
        if set(command) - known:
            raise ValueError("unknown fields: " + ", ".join(sorted(set(command) - known)))
        self.path = command.get("path")
        if self.path is not None and not (isinstance(self.path, str) and self.path.startswith("/")):
            raise ValueError("path must start with /")
        self.count = number("count", 1, 10000, 1, int)
        self.status = number("status", 200, 599, None, int)
        self.stall = number("stall", 0, MAX_STALL_SECONDS, 0)
        self.partial = number("partial", 0, 1 << 30, None, int)
        self.drop = command.get("drop", False)
        if self.drop is True:
            self.drop = "close"
        if self.drop not in (False, "close", "reset"):
            raise ValueError('drop must be true, "close" or "reset"')
        if "body" in command and "body_base64" in command:
            raise ValueError("give body or body_base64, not both")
        self.body = None
        if "body" in command:
            self.body = command["body"].encode("cp932")  # UnicodeEncodeError is a ValueError
        elif "body_base64" in command:
            self.body = base64.b64decode(command["body_base64"], validate=True)
        self.content_type = command.get("content_type", CGI_TYPE)
        if not isinstance(self.content_type, str):
            raise ValueError("content_type must be text")
        # A slow or an endless service: the body sent at `trickle` bytes a second, padded with
        # blanks to `huge_body` bytes (made as it goes out, never held), without its length.
        self.trickle = number("trickle", 0.1, 1 << 20, None)
        self.huge_body = number("huge_body", 1, 1 << 36, None, int)
        self.no_length = command.get("no_length", False)
        if not isinstance(self.no_length, bool):
            raise ValueError("no_length must be true or false")
        # Extra response headers, such as a Location for a redirect.
        self.headers = command.get("headers", {})
        if not isinstance(self.headers, dict) or not all(
                isinstance(k, str) and isinstance(v, str) and "\n" not in k + v
                for k, v in self.headers.items()):
            raise ValueError("headers must map names to one-line texts")

    def reply(self, make_real):
        if self.body is not None:
            return Reply(self.status or 200, self.content_type, self.body, dict(self.headers))
        if self.status is not None:
            reply = status_page(self.status)
            reply.headers.update(self.headers)
            return reply
        return make_real()

    def describe(self):
        return {"path": self.path, "count": self.count, "status": self.status,
                "stall": self.stall, "partial": self.partial, "drop": self.drop or False,
                "body_bytes": None if self.body is None else len(self.body),
                "trickle": self.trickle, "huge_body": self.huge_body, "no_length": self.no_length}


class BodyStream:
    """The bytes of an answer's body, made as they are sent: the body itself, then blanks up
    to `total` bytes for a huge body."""

    def __init__(self, body, total=None):
        self.body = body
        self.total = len(body) if total is None else total
        self.sent = 0

    def take(self, most):
        count = min(most, self.total - self.sent)
        chunk = self.body[self.sent:self.sent + count]
        chunk += b" " * (count - len(chunk))
        self.sent += count
        return chunk


def number_or_none(command, name, check, message):
    value = command.get(name)
    if value is not None and (isinstance(value, bool) or not isinstance(value, int) or not check(value)):
        raise ValueError(message)
    return value


def control(command):
    store = WORKER.store
    action = command.get("action")
    if action == "script":
        script = Script(command)
        with FAULTS.lock:
            FAULTS.scripts.append(script)
    elif action == "clock":
        offset = command.get("offset")
        if isinstance(offset, bool) or not isinstance(offset, (int, float)):
            raise ValueError("offset must be a number of seconds")
        FAULTS.clock_offset = float(offset)
    elif action == "sweep":
        return dict(status(), swept=WORKER.sweeper.once(), leads=store.lead_sweeps())
    elif action == "ftp_cut":
        if "after" not in command:
            raise ValueError("after must be a whole number of bytes")
        FAULTS.ftp_cut_after = number_or_none(command, "after", lambda v: v >= 0,
                                              "after must be a whole number of bytes")
        FAULTS.ftp_cut_close = bool(command.get("close")) or None
    elif action == "ftp_full":
        after = command.get("after", "stor")
        FAULTS.ftp_full = after if after == "stor" else number_or_none(
            command, "after", lambda v: v >= 0, "after must be a whole number of bytes")
    elif action == "ftp_rate":
        FAULTS.ftp_rate = number_or_none(command, "bytes_per_second", lambda v: v >= 1,
                                         "bytes_per_second must be a whole number from 1, or null")
    elif action == "ftp_refuse":
        ftp_command = command.get("command")
        if not isinstance(ftp_command, str) or not re.fullmatch(r"[A-Z]{3,4}", ftp_command):
            raise ValueError("command must be an FTP command in capitals")
        FAULTS.ftp_refuse = ftp_command
    elif action == "offer":
        if not isinstance(command.get("http"), bool):
            raise ValueError("http must be true or false")
        FAULTS.http_offer = command["http"]
    elif action == "reset":
        FAULTS.http_offer = True
        with FAULTS.lock:
            FAULTS.scripts.clear()
        FAULTS.clock_offset = 0.0
        FAULTS.requests = 0
        FAULTS.ftp_cut_after = FAULTS.ftp_full = FAULTS.ftp_rate = FAULTS.ftp_refuse = None
        FAULTS.ftp_cut_close = None
        store.forget_wrong_guesses()
        if command.get("data"):
            wipe(store)
    elif action != "status":
        raise ValueError('action must be "script", "clock", "sweep", "ftp_cut", "ftp_full", "ftp_rate", '
                         '"ftp_refuse", "offer", "reset" or "status"')
    return status()


TABLES = ("thumbnails", "pictures", "uploads", "uses", "wrong_guesses", "expired", "used_codes")


def wipe(store):
    """Forgets everything the store keeps, pictures' files or bytes among it."""
    from quiblo_service.store.sqlite import SqliteStore
    if isinstance(store, SqliteStore):
        with store.locked(transaction=True) as db:
            for (code,) in db.execute("SELECT code FROM pictures UNION SELECT code FROM uploads").fetchall():
                store._remove(db, code)
            for table in TABLES:
                db.execute(f"DELETE FROM {table}")
        return
    with store.transaction() as conn:
        for table in TABLES + ("blobs",):
            conn.execute(f"DELETE FROM {table}")


def status():
    service = WORKER.service
    with FAULTS.lock:
        pending = [s.describe() for s in FAULTS.scripts]
    return {"ok": True, "scripts": pending, "clock_offset": FAULTS.clock_offset,
            "ftp_cut_after": FAULTS.ftp_cut_after, "ftp_full": FAULTS.ftp_full, "ftp_rate": FAULTS.ftp_rate,
            "ftp_received": FAULTS.ftp_received, "requests": FAULTS.requests, "http_offer": FAULTS.http_offer,
            "version": service.version,
            "window_hours": service.usage.window_hours, "max_uploads": service.usage.max_uploads,
            "keep_days": service.keep_days}


def answer(reply):
    return response(reply)


def json_answer(status, obj):
    return answer(Reply(status, "application/json", json.dumps(obj, ensure_ascii=False).encode("utf-8")))


def names_this_service(host, own_port, secure):
    """True for a loopback name or address with this service's port (or none, on port 80)."""
    match = re.fullmatch(r"(\[[0-9A-Fa-f:.]+\]|[^:\[\]/]+)(?::([0-9]{1,5}))?", host)
    if not match:
        return False
    name, port = match.group(1).lower(), match.group(2)
    if (int(port) if port else (443 if secure else 80)) != own_port:
        return False
    if name == "localhost":
        return True
    try:
        return ipaddress.ip_address(name.strip("[]")).is_loopback
    except ValueError:
        return False


def control_refusal(web_request):
    """The answer that refuses a control request, or None. Only this machine's own requests
    are served: a loopback peer that names this service as its host and comes from no foreign
    page (Origin)."""
    peer = ipaddress.ip_address(web_request.transport.get_extra_info("peername")[0])
    if not peer.is_loopback:
        return answer(not_found())
    own_port = web_request.transport.get_extra_info("sockname")[1]
    secure = web_request.secure
    origin = web_request.headers.get("Origin")
    scheme = "https://" if secure else "http://"
    own_origin = origin is None or (origin.startswith(scheme)
                                    and names_this_service(origin[len(scheme):], own_port, secure))
    if not names_this_service(web_request.headers.get("Host", ""), own_port, secure) or not own_origin:
        return answer(Reply(403, "application/json", b'{"ok": false, "error": "foreign Host or Origin"}'))
    return None


async def answer_control(web_request):
    refusal = control_refusal(web_request)
    if refusal is not None:
        return refusal
    command = None
    if web_request.method == "POST":
        if web_request.content_type != "application/json":
            # A web page can post text/plain to any address without asking: JSON it cannot.
            return json_answer(415, {"ok": False, "error": "Content-Type must be application/json"})
        try:
            length = int(web_request.headers.get("Content-Length", "0"))
            if not 0 < length <= 1 << 20:
                raise ValueError("a JSON body of at most 1 MiB is needed")
            command = json.loads(await web_request.content.readexactly(length))
            if not isinstance(command, dict):
                raise ValueError("the body must be a JSON object")
        except ValueError as err:  # JSONDecodeError is one
            return json_answer(400, {"ok": False, "error": str(err)})
    try:
        loop = asyncio.get_running_loop()
        result = status() if command is None else await loop.run_in_executor(None, control, command)
    except (ValueError, TypeError, AttributeError) as err:
        return json_answer(400, {"ok": False, "error": str(err)})
    return json_answer(200, result)


@web.middleware
async def controlled(web_request, handler):
    """The control endpoint, the scripted answers, and the offer of the upload over HTTP."""
    path = web_request.rel_url.raw_path
    if path == CONTROL_PATH:
        return await answer_control(web_request)
    with FAULTS.lock:
        FAULTS.requests += 1
    script = FAULTS.take_script(path)

    async def real():
        reply = await handler(web_request)
        if not FAULTS.http_offer:  # as an earlier service answers: the upload goes by FTP
            reply.headers.popall(upload.OFFER_HEADER, None)
        return reply
    if script is None:
        return await real()
    return await play(web_request, script, real)


async def stopped_within(seconds):
    """True when the service stops within SECONDS."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if WORKER.stopping.is_set():
            return True
        await asyncio.sleep(min(0.05, max(0.0, deadline - time.monotonic())))
    return WORKER.stopping.is_set()


async def play(web_request, script, real):
    """Sends the script's answer byte by byte on the connection itself: the head with the whole
    length (or none), then the body, with the stalls, trickles and drops asked for."""
    transport = web_request.transport
    if script.partial is None:
        # Nothing is sent before the stall; a dropped request is not processed.
        if script.stall and await stopped_within(script.stall):
            return drop(transport, "close")  # shutting down
        if script.drop:
            return drop(transport, script.drop)
    if script.body is not None or script.status is not None:
        reply = script.reply(None)
        status, content_type, body_bytes, extra = reply.status, reply.content_type, reply.body, reply.headers
    else:
        made = await real()
        status, body_bytes = made.status, made.body or b""
        content_type = made.headers.get("Content-Type", "text/plain")
        extra = {name: value for name, value in made.headers.items()
                 if name not in ("Content-Type", "Content-Length", "Server", "Date")}
        extra.update(script.headers)
    body = BodyStream(body_bytes, script.huge_body)
    head = [f"HTTP/1.1 {status} {http.HTTPStatus(status).phrase if status in http.HTTPStatus._value2member_map_ else 'Status'}",
            f"Content-Type: {content_type}", "Connection: close"]
    if not script.no_length:
        head.append(f"Content-Length: {body.total}")
    head += [f"{name}: {value}" for name, value in extra.items()]
    transport.write(("\r\n".join(head) + "\r\n\r\n").encode("latin-1"))
    head_only = web_request.method == "HEAD"
    if script.partial is not None:
        if not await send_body(transport, body, script.partial, script.trickle, head_only):
            return drop(transport, "close")
        if script.stall and await stopped_within(script.stall):
            return drop(transport, "close")
        if script.drop:
            return drop(transport, script.drop)
    await send_body(transport, body, body.total, script.trickle, head_only)
    return drop(transport, "close")


async def send_body(transport, body, until, trickle, head_only):
    """Sends the body up to byte `until`, at `trickle` bytes a second if given, as fast as the
    client reads otherwise. False when the service stops or the client goes meanwhile."""
    step = max(1, int(trickle // 10)) if trickle else 1 << 16
    while body.sent < min(until, body.total) and not head_only:
        if transport.is_closing():
            return False
        chunk = body.take(min(step, until - body.sent))
        transport.write(chunk)
        if trickle:
            if await stopped_within(len(chunk) / trickle):
                return False
        while transport.get_write_buffer_size() > 1 << 20 and not transport.is_closing():
            if WORKER.stopping.is_set():
                return False
            await asyncio.sleep(0.01)
    return True


def drop(transport, how):
    """Ends the connection (after what was written), or with a reset; the answer aiohttp then
    tries to send goes nowhere."""
    if how == "reset":
        # Linger 0: close sends a reset instead of an orderly end.
        transport.get_extra_info("socket").setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    transport.close()
    raise ConnectionResetError("the test control ended the connection")


def no_space(error):
    return getattr(error, "errno", None) == errno.ENOSPC


class RateLimitedPassiveDTP(PassiveDTP):
    def create_socket(self, family, kind):
        super().create_socket(family, kind)
        # A rate-limited upload stands for a slow line: the server's side keeps only a small
        # buffer (set before listening, so the connection starts with it), and what it counts
        # as received is what came over the line.
        if FAULTS.ftp_rate:
            self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, RATE_LIMITED_RCVBUF)


class ControlledFtpHandler(UploadHandler):
    passive_dtp = RateLimitedPassiveDTP
    full_after = cut_after = None  # the faults of this session's upload

    def pre_process_command(self, line, cmd, arg):
        if FAULTS.ftp_refuse == cmd.upper() and FAULTS.take("ftp_refuse"):
            self.respond("502 Command not implemented.")
            return
        super().pre_process_command(line, cmd, arg)

    def ftp_STOR(self, file, mode="w"):
        self.full_after = FAULTS.take("ftp_full")
        if self.full_after == "stor":
            self.respond("452 Insufficient storage space.")
            return None
        self.cut_after = FAULTS.take("ftp_cut_after")
        FAULTS.ftp_received = 0
        return super().ftp_STOR(file, mode)


class ControlledDTP(UploadDTP):
    """A data connection that breaks (a cut, a full disk) once more than the scripted bytes
    arrive, and reads no faster than the scripted rate."""

    def __init__(self, sock, cmd_channel):
        super().__init__(sock, cmd_channel)
        # Read no faster than the scripted rate, in small steps.
        self.rate = FAULTS.ftp_rate
        self.rate_start = None
        self.throttle = None
        self.cut = False
        if self.rate:
            self.ac_in_buffer_size = max(256, min(4096, self.rate // 20))

    def recv(self, buffer_size):
        chunk = super().recv(buffer_size)
        if chunk and self.receive:
            self.break_past_scripted_bytes(self.tot_bytes_received + len(chunk))
        if self.rate and chunk:
            now = time.monotonic()
            if self.rate_start is None:
                self.rate_start, self.rate_bytes = now, 0
            self.rate_bytes += len(chunk)
            due = self.rate_start + self.rate_bytes / self.rate
            if due > now:
                self.del_channel()
                self.throttle = self.ioloop.call_later(due - now, self.wake, _errback=self.handle_error)
        return chunk

    def break_past_scripted_bytes(self, received):
        FAULTS.ftp_received = received
        session = self.cmd_channel
        if session.full_after is not None and received > session.full_after:
            raise OSError(errno.ENOSPC, "No space left on device")
        if session.cut_after is not None and received > session.cut_after:
            self.cut = True
            raise OSError(errno.EIO, "Transfer cut by the test control")

    def wake(self):
        if not self._closed:
            self.add_channel(events=self.ioloop.READ)

    def close(self):
        if self.throttle is not None and not self.throttle.cancelled:
            self.throttle.cancel()
        super().close()

    def handle_error(self):
        error = sys.exc_info()[1]
        if no_space(error):
            self._resp = ("452 Insufficient storage space; transfer aborted.", logging.info)
            self.close()
        elif self.cut:
            self._resp = ("426 Connection closed; transfer aborted.", logging.info)
            closing = FAULTS.take("ftp_cut_close")
            self.close()
            if closing:  # the server gives up on the session too
                self.cmd_channel.respond("421 Service not available, closing control connection.")
                self.cmd_channel.close_when_done()
        else:
            super().handle_error()


class ControlledWorker(Worker):
    ftp_handler = ControlledFtpHandler
    ftp_dtp = ControlledDTP

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        global WORKER
        WORKER = self

    def http_middlewares(self):
        return [controlled]


def main(argv):
    """The service with these controls: its options, and --clock-offset."""
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--clock-offset", type=float, default=0.0,
                        help="start with the clock this many seconds ahead")
    own, rest = parser.parse_known_args(argv)
    FAULTS.clock_offset = own.clock_offset
    clock.now = moved_clock
    settings = config.parse(rest)
    if settings.command != "serve":
        return admin.run(settings)
    serve.serve(settings, ControlledWorker)
    return 0
