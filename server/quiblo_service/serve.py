"""Start and stop: the listening sockets, one or more worker processes that share them, and in
each the HTTP server, the FTP server and the sweeps."""

import asyncio
import json
import logging
import os
import resource
import shutil
import signal
import socket
import ssl
import sys
import tempfile
import threading
import time

from . import ftp, http, reply, routes
from cryptography.fernet import Fernet

from .clients import listens_everywhere
from .config import plain_text_refusal
from .intake import Intake
from .keys import KeyFileError, KeyRedactor, UploadKeys
from .service import Service
from .limits import ConnectionLimits
from .store import StoreError, load
from .sweep import Sweeper

STOP_SIGNALS = {signal.SIGTERM, signal.SIGINT}


def listener(host, port, shared):
    """A listening TCP socket; SHARED ones take SO_REUSEPORT, so that workers each have their
    own socket on the same port and the system spreads the connections among them."""
    family, kind, proto, _, address = socket.getaddrinfo(host, port, type=socket.SOCK_STREAM)[0]
    sock = socket.socket(family, kind, proto)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    if shared:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEPORT, 1)
    sock.bind(address)
    sock.listen(1024)
    return sock


def port_is_free(host, port):
    """Binds a probe without SO_REUSEPORT: it fails while any process listens on PORT, even
    one whose sockets would let shared ones bind beside them (an earlier service's workers)."""
    family, kind, proto, _, address = socket.getaddrinfo(host, port, type=socket.SOCK_STREAM)[0]
    with socket.socket(family, kind, proto) as probe:
        probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            probe.bind(address)
        except OSError:
            return False
    return True


def listeners(host, port, count):
    """COUNT sockets on one port (the first picks it when PORT is 0)."""
    if port and not port_is_free(host, port):
        raise OSError(f"port {port} is in use (is another quiblo-service still running?)")
    first = listener(host, port, count > 1)
    socks = [first]
    while len(socks) < count:
        socks.append(listener(host, first.getsockname()[1], True))
    return socks


def tls_context(settings):
    if not settings.tls_cert:
        return None
    if ftp.TLS_FTPHandler is None:
        sys.exit("quiblo-service: TLS needs PyOpenSSL (Debian: python3-openssl)")
    try:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(settings.tls_cert, settings.tls_key)
    except (OSError, ssl.SSLError) as err:
        sys.exit(f"quiblo-service: cannot use the certificate: {err}")
    return context


def passive_slice(ports, index, count):
    if not ports:
        return None
    size = len(ports) // count
    return ports[index * size:(index + 1) * size]


class Worker:
    """One process's servers over shared listening sockets. A subclass may serve with parts of
    its own: middlewares before the HTTP routes, and the FTP session and data connection."""

    ftp_handler = ftp.UploadHandler
    ftp_dtp = ftp.UploadDTP

    def __init__(self, settings, keys, context, http_sock, ftp_sock, passive_ports):
        self.settings, self.keys = settings, keys
        self.stopping = threading.Event()
        self.store = load(settings)
        intake = Intake(self.store, keys, settings)
        reply.TEMPLATES.globals["contact"] = settings.contact
        self.service = Service(self.store, keys, intake, settings)
        self.httpd = http.HTTPServer(http_sock, self.service, routes.ROUTES, context,
                                     settings.max_http_connections, settings.max_http_connections_per_address,
                                     settings.trusted_proxies or (), self.http_middlewares())
        self.ftpd = self.home = None
        if ftp_sock is not None:
            # The FTP account's folder: empty and private, as nothing is read or written there.
            self.home = os.path.realpath(tempfile.mkdtemp(prefix="quiblo-ftp-"))
            self.ftpd = ftp.make_ftp_server(ftp_sock, intake, settings.version, ConnectionLimits.of(settings), self.home,
                                            tls=(settings.tls_cert, settings.tls_key) if context else None,
                                            passive_ports=passive_ports,
                                            masquerade_address=settings.masquerade_address,
                                            handler=self.ftp_handler, dtp=self.ftp_dtp)
        self.sweeper = Sweeper(self.store, settings)

    def http_middlewares(self):
        """aiohttp middlewares that stand before the routes (none: the service's own)."""
        return []

    def serve_http(self, listening):
        try:
            asyncio.run(self.httpd.serve(listening.set))
        except BaseException:
            logging.exception("the HTTP server failed")
            os.kill(os.getpid(), signal.SIGTERM)  # the process ends, as it cannot serve
            listening.set()

    def run(self, announce, reload_keys=None):
        """Serves until SIGTERM or SIGINT; SIGHUP reads the upload keys again (a worker of a
        supervisor takes them from it instead: RELOAD_KEYS is then None)."""
        self.sweeper.once()  # at start, before the first request
        listening = threading.Event()
        threads = [threading.Thread(target=self.serve_http, args=(listening,)),
                   threading.Thread(target=self.sweeper.run, args=(self.stopping,))]
        if self.ftpd is not None:
            threads.append(threading.Thread(target=ftp.run_ftp, args=(self.ftpd, self.stopping)))
        for thread in threads:
            thread.start()
        listening.wait()
        announce()
        while next_signal(STOP_SIGNALS | {signal.SIGHUP}, self.keys, reload_keys) == signal.SIGHUP:
            if reload_keys:
                reload_keys()
        self.stopping.set()  # also ends every stall at once
        self.httpd.stop()
        for thread in threads:
            thread.join()
        self.store.close()
        if self.home:
            shutil.rmtree(self.home, ignore_errors=True)


def next_signal(signals, keys, reload_keys):
    """The next of SIGNALS. While the key file is watched after a reload, a change to it is read
    at once (RELOAD_KEYS)."""
    while True:
        if not (reload_keys and keys.watching()):
            return signal.sigwait(signals)
        info = signal.sigtimedwait(signals, 0.1)
        if info is not None:
            return info.si_signo
        if keys.changed():
            reload_keys()


def open_files_as_allowed():
    """Raises the soft limit of open files to the hard one: each HTTP connection holds one, and
    thousands may be open."""
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if hard == resource.RLIM_INFINITY or hard > soft:
        resource.setrlimit(resource.RLIMIT_NOFILE, (hard if hard != resource.RLIM_INFINITY else 65536, hard))


def ready_line(http_port, ftp_port):
    """The one line that says the service listens; `ftp=off` when it serves without FTP."""
    print(f"quiblo-service listening http={http_port} ftp={ftp_port or 'off'}", flush=True)


def serve(settings, worker_class=Worker):
    """Serves until stopped, with WORKER_CLASS's servers in each process."""
    logging.basicConfig(level=logging.INFO if settings.verbose else logging.WARNING,
                        stream=sys.stderr, format="quiblo-service: %(message)s")
    http.keep_quiet()
    refusal = plain_text_refusal(settings)
    if refusal:
        sys.exit(refusal)
    try:
        keys = UploadKeys(settings.upload_keys)
    except KeyFileError as err:
        sys.exit(f"quiblo-service: {err}")
    for handler in logging.getLogger().handlers:
        handler.addFilter(KeyRedactor(keys))
    context = tls_context(settings)
    open_files_as_allowed()
    # The key of the team's sessions, the same in every worker; a restart signs everyone out.
    settings.session_secret = Fernet.generate_key()
    if not settings.public_url and listens_everywhere(settings.host):
        logging.warning("public-url is not set, and %s is no address a client can use: the API's answers "
                        "and the previews name the address each client used", settings.host)
    # Signals go to each process's main thread (sigwait); the threads inherit the mask.
    signal.pthread_sigmask(signal.SIG_BLOCK, STOP_SIGNALS | {signal.SIGHUP, signal.SIGCHLD})
    if settings.data:
        os.makedirs(settings.data, exist_ok=True)
    try:
        http_socks = listeners(settings.host, settings.http_port, settings.workers)
        ftp_socks = (listeners(settings.host, settings.ftp_port, settings.workers) if settings.ftp
                     else [None] * settings.workers)
    except OSError as err:
        sys.exit(f"quiblo-service: cannot listen on {settings.host}: {err}")
    ports = (http_socks[0].getsockname()[1], ftp_socks[0].getsockname()[1] if settings.ftp else None)
    try:
        if settings.workers == 1:
            worker = worker_class(settings, keys, context, http_socks[0], ftp_socks[0], settings.passive_ports)
            worker.run(lambda: ready_line(*ports), keys.reload)
            return
        load(settings).close()  # the schema brought up to date once, before the workers start
    except StoreError as err:
        sys.exit(f"quiblo-service: {err}")
    Supervisor(settings, keys, context, http_socks, ftp_socks, worker_class).run(ports)


class Supervisor:
    """Starts the workers, starts again one that dies, reads the upload keys on SIGHUP and hands
    them to every worker, and passes the stop on. Each worker has a pipe from the supervisor:
    the keys come through it, and its end tells the worker that the supervisor is gone."""

    def __init__(self, settings, keys, context, http_socks, ftp_socks, worker_class):
        self.settings, self.keys, self.context, self.worker_class = settings, keys, context, worker_class
        self.http_socks, self.ftp_socks = http_socks, ftp_socks
        self.pids = {}  # pid -> worker index
        self.feeds = {}  # pid -> the write end of its worker's pipe

    def start(self, index, ready_fd=None):
        feed_read, feed_write = os.pipe()
        pid = os.fork()
        if pid:
            os.close(feed_read)
            os.set_blocking(feed_write, False)
            self.pids[pid] = index
            self.feeds[pid] = feed_write
            return pid
        code = 0
        try:
            # Only the supervisor may hold a worker's pipe open, so that its end is seen.
            for fd in [feed_write, *self.feeds.values()]:
                os.close(fd)
            threading.Thread(target=follow_supervisor, args=(feed_read, self.keys), daemon=True).start()
            ports = passive_slice(self.settings.passive_ports, index, self.settings.workers)
            worker = self.worker_class(self.settings, self.keys, self.context, self.http_socks[index],
                                       self.ftp_socks[index], ports)
            worker.run(lambda: ready_fd is not None and os.write(ready_fd, b"r"))
        except StoreError as err:
            print(f"quiblo-service: {err}", file=sys.stderr, flush=True)
            code = 1
        except BaseException:
            logging.exception("worker %d failed", index)
            code = 1
        finally:
            os._exit(code)

    def run(self, ports):
        read_end, write_end = os.pipe()
        for index in range(self.settings.workers):
            self.start(index, write_end)
        os.close(write_end)
        ready = b""
        while len(ready) < self.settings.workers:
            chunk = os.read(read_end, 16)
            if not chunk:  # a worker ended before it was ready
                self.stop()
                sys.exit(1)
            ready += chunk
        os.close(read_end)
        ready_line(*ports)
        while True:
            sig = next_signal(STOP_SIGNALS | {signal.SIGHUP, signal.SIGCHLD}, self.keys, self.reload_keys)
            if sig == signal.SIGHUP:
                self.reload_keys()
            elif sig == signal.SIGCHLD:
                self.restart_dead()
            else:
                self.stop()
                return

    def reload_keys(self):
        if not self.keys.required:
            return
        self.keys.reload()
        message = (json.dumps(self.keys.current()) + "\n").encode()
        for pid, feed in list(self.feeds.items()):
            try:
                complete = os.write(feed, message) == len(message)
            except BlockingIOError:
                complete = False
            except BrokenPipeError:  # it died; SIGCHLD starts it again with these keys
                continue
            if not complete:
                # A worker that cannot take the keys (hung, say) must not go on with the old
                # ones: it is ended and started again with these.
                logging.error("a worker did not take the upload keys; starting it again")
                self.kill(pid, signal.SIGKILL)

    def kill(self, pid, sig):
        try:
            os.kill(pid, sig)
        except ProcessLookupError:
            pass

    def signal_all(self, sig):
        for pid in self.pids:
            self.kill(pid, sig)

    def forget(self, pid):
        os.close(self.feeds.pop(pid))
        return self.pids.pop(pid)

    def restart_dead(self):
        while self.pids:
            pid, status = os.waitpid(-1, os.WNOHANG)
            if pid == 0:
                return
            if pid in self.pids:
                index = self.forget(pid)
                logging.warning("worker %d ended (status %d); starting it again", index, status)
                time.sleep(0.2)  # a worker that cannot start must not spin
                self.start(index)

    def stop(self):
        self.signal_all(signal.SIGTERM)
        deadline = time.monotonic() + 10
        while self.pids and time.monotonic() < deadline:
            pid, _ = os.waitpid(-1, os.WNOHANG)
            if pid in self.pids:
                self.forget(pid)
            elif not pid:
                time.sleep(0.05)
        self.signal_all(signal.SIGKILL)
        for pid in list(self.pids):
            os.waitpid(pid, 0)


def follow_supervisor(feed, keys):
    """In a worker: takes the keys the supervisor hands on, and stops the worker when the
    supervisor is gone (its end of the pipe closes however it ended)."""
    with os.fdopen(feed, "rb") as lines:
        for line in lines:
            keys.take(json.loads(line))
    os.kill(os.getpid(), signal.SIGTERM)
