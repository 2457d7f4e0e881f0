"""The FTP upload server: one account, STOR of new pictures only, at most 500,000 bytes, kept in
memory until whole and then handed to the store."""

import errno
import hmac
import logging
import os
import threading

from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import DTPHandler, FTPHandler, PassiveDTP
try:  # TLS needs python3-openssl
    from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
except ImportError:
    TLS_DTPHandler = TLS_FTPHandler = None
from pyftpdlib.servers import ThreadedFTPServer

from .codes import FTP_USER, PICTURE_FILE, make_ftp_password
from .refusals import Refusal, ftp_reply
from .store import StoreError, StoreFull



# Commands the upload server does not serve are not understood, so FEAT advertises only what
# works: resuming, sizes, times and listings all need what an upload-only account lacks.
UNSERVED_FTP_COMMANDS = {"SIZE", "REST", "MLST", "MLSD", "MDTM", "MFMT"}


class Upload:
    """One upload as it arrives, in memory: more than LIMIT bytes ends it."""

    def __init__(self, name, limit):
        self.limit = limit
        self.name = name
        self.code = PICTURE_FILE.fullmatch(os.path.basename(name)).group(1)
        self.data = bytearray()
        self.too_large = False
        self.closed = False
        self.kept = False  # handed to the store as a whole upload
        self.on_close = None

    @property
    def received(self):
        return len(self.data)

    def write(self, data):
        if len(self.data) + len(data) > self.limit:
            self.too_large = True
            raise OSError(errno.EFBIG, "File too large")
        self.data += data
        return len(data)

    def close(self):
        if not self.closed:
            self.closed = True
            if self.on_close:
                self.on_close()


class UploadFS(AbstractedFS):
    """Nothing is read or written on disk: a stored file is an Upload."""

    def open(self, filename, mode):
        if mode != "wb":
            raise PermissionError(errno.EACCES, "Only new files can be stored")
        return self.cmd_channel.new_upload(filename)


class UploadDTP(DTPHandler):
    def enable_receiving(self, type, cmd):
        # Pictures are stored byte for byte whatever TYPE the client chose: ASCII mode would
        # turn their CR LF bytes into LF.
        super().enable_receiving("i", cmd)
        # However slowly it trickles in, an upload ends by its deadline: a client must not hold
        # the cap on uploads under way for as long as it likes.
        self.deadline = self.ioloop.call_later(self.cmd_channel.limits.upload_seconds,
                                               self.too_slow, _errback=self.handle_error)

    def too_slow(self):
        if not self._closed:
            self._resp = ("426 The upload took too long; transfer aborted.", logging.info)
            self.close()

    def close(self):
        # The client closed the data connection and the upload is whole: it goes to the store
        # before the 226 reply, so a registration sent right after finds it. Here rather than in
        # handle_close, which the TLS layer passes by when the client ends its TLS session.
        upload = self.file_obj if isinstance(self.file_obj, Upload) else None
        if upload and self.receive and not self._closed and self.transfer_finished and not upload.kept:
            upload.kept = True
            try:
                refusal = self.cmd_channel.keep(upload)
                if refusal is not None:
                    self._resp = (ftp_reply(refusal, aborted=refusal != Refusal.EXISTS), logging.info)
            except StoreFull as err:
                logging.error("an upload could not be kept: %s", err)
                self._resp = (ftp_reply(Refusal.FULL, aborted=True), logging.info)
            except StoreError as err:
                logging.error("an upload could not be kept: %s", err)
                self._resp = ("451 The upload could not be kept; transfer aborted.", logging.info)
        deadline = getattr(self, "deadline", None)
        if deadline is not None and not deadline.cancelled:
            deadline.cancel()
        super().close()

    def handle_error(self):
        if isinstance(self.file_obj, Upload) and self.file_obj.too_large:
            self._resp = (ftp_reply(Refusal.TOO_LARGE, aborted=True, limit=self.file_obj.limit), logging.info)
            self.close()
        else:
            super().handle_error()


class TLSReadable:
    def readable(self):
        # libcurl starts TLS on a passive data connection as soon as it connects, before its
        # STOR: the handshake goes on, where pyftpdlib would take the early bytes for a dropped
        # connection and reset it.
        return self._ssl_accepting or super().readable()


class UploadAuthorizer(DummyAuthorizer):
    """The one account: user `quiblo`, the version's upload password, and after a colon the
    upload key when the service names who may upload."""

    def __init__(self, version, keys, home):
        super().__init__()
        self.password = make_ftp_password(version)
        self.keys = keys
        # e: change folder, w: store. No listing or download.
        self.add_user(FTP_USER, self.password, home, perm="ew")

    def validate_authentication(self, username, password, handler):
        base, _, key = password.partition(":")
        right = hmac.compare_digest(base.encode(), self.password.encode())
        if username != FTP_USER or not right or self.keys.name_of(key or None) is None:
            raise AuthenticationFailed("Authentication failed.")
        handler.upload_key = key or None


class UploadHandler(FTPHandler):
    proto_cmds = {name: entry for name, entry in FTPHandler.proto_cmds.items()
                  if name not in UNSERVED_FTP_COMMANDS}
    banner = "Quiblo upload server ready."
    auth_failed_timeout = 0  # refuse an old version's password at once, no penalty pause
    abstracted_fs = UploadFS
    dtp_handler = UploadDTP
    passive_dtp = PassiveDTP
    upload_key = None
    intake = None  # the Intake shared with the HTTP upload, set by make_ftp_server
    reserved = None  # the client address whose place among the uploads under way STOR took

    def pre_process_command(self, line, cmd, arg):
        # A NUL cannot be in a file name: the file system layer would fail on it.
        if "\0" in line:
            self.respond("501 Syntax error in parameters or arguments.")
            return
        super().pre_process_command(line, cmd, arg)

    def ftp_USER(self, line):
        # The name is logged with every later line of the session: only the account's own is
        # kept, so that nothing else a client puts there (a key, say) is written to the log.
        super().ftp_USER(line if line == FTP_USER else "-")

    def ftp_STOR(self, file, mode="w"):
        try:
            return self.store_checked(file, mode)
        except StoreError as err:
            logging.error("an upload could not be started: %s", err)
            self.respond(ftp_reply(Refusal.UNAVAILABLE))
            return None
        finally:
            self.release_reservation()

    def store_checked(self, file, mode):
        match = PICTURE_FILE.fullmatch(os.path.basename(file))
        if os.path.dirname(file) != self.fs.root or not match:
            self.respond("553 Only pictures named by their 18-digit code + .png are accepted.")
            return None
        if "a" in mode or self._restart_position:
            self._restart_position = 0
            self.respond("550 Appending and resuming are not allowed.")
            return None
        refusal = self.intake.start(match.group(1), self.remote_ip, self.upload_key)
        if refusal == Refusal.KEY:  # taken back since the login
            self.respond("530 The upload key is no longer accepted.")
            return None
        if refusal is not None:
            self.respond(ftp_reply(refusal))
            return None
        self.reserved = self.remote_ip
        return super().ftp_STOR(file, mode)

    def release_reservation(self):
        """Gives back the place that STOR took when no upload came of it."""
        client, self.reserved = self.reserved, None
        if client is not None:
            self.intake.finish(client)

    def new_upload(self, filename):
        upload = Upload(filename, self.intake.max_bytes)
        client, self.reserved = self.reserved, None  # the upload holds STOR's place now
        upload.on_close = lambda: self.intake.finish(client)
        return upload

    def keep(self, upload):
        """Hands a whole upload to the store: None, or the Refusal."""
        return self.intake.keep(upload.code, upload.data, self.remote_ip, self.upload_key)

    def ftp_STOU(self, line):
        self.respond("550 Unique names are not offered: store by picture code.")

    def close(self):
        # A file opened by STOR whose data connection never came goes too.
        queued = self._in_dtp_queue if not self._closed else None
        super().close()
        if queued and isinstance(queued[0], Upload):
            queued[0].close()


def make_ftp_server(sock, intake, version, limits, home, tls=None, passive_ports=None,
                    masquerade_address=None, handler=UploadHandler, dtp=UploadDTP):
    """The upload server on a listening socket; with tls = (certificate, key) every control and
    data connection must be protected (AUTH TLS, PROT P) before a login or a transfer. HANDLER
    and DTP may be subclasses of the upload server's own."""
    dtp_bases = (TLSReadable, dtp, TLS_DTPHandler) if tls else (dtp,)
    dtp_class = type("DTP", dtp_bases, {"timeout": limits.idle_seconds})
    attributes = {"intake": intake, "authorizer": UploadAuthorizer(version, intake.keys, home),
                  "limits": limits, "timeout": limits.idle_seconds, "dtp_handler": dtp_class,
                  "passive_ports": passive_ports, "masquerade_address": masquerade_address}
    bases = (handler,)
    if tls:
        bases = (handler, TLS_FTPHandler)
        attributes.update(certfile=tls[0], keyfile=tls[1], tls_control_required=True,
                          tls_data_required=True,
                          proto_cmds={name: entry for name, entry in TLS_FTPHandler.proto_cmds.items()
                                      if name not in UNSERVED_FTP_COMMANDS})
    # The IO loop accepts one connection a turn: a long queue keeps a burst of clients from
    # being dropped (they would wait a minute for the handshake to be sent again).
    server = SessionThreads(sock, type("Handler", bases, attributes), backlog=1024)
    server.max_cons = limits.total
    server.max_cons_per_ip = limits.per_address
    return server


class SessionThreads(ThreadedFTPServer):
    """Each session runs in a thread of its own, so that a store that answers slowly (a stuck
    database) holds up only the sessions that wait for it, never the logins and transfers of
    the others. The threads look for the stop often, and never hold up the process's end."""

    poll_timeout = 0.2
    join_timeout = 0.5

    def _start_task(self, *args, **kwargs):
        return threading.Thread(*args, daemon=True, **kwargs)


def run_ftp(server, stopping):
    # Loop in short steps so that a stop is noticed quickly.
    wait = 0.2
    while not stopping.is_set():
        soonest = server.ioloop.loop(wait, blocking=False)
        wait = 0.2 if soonest is None else max(0.0, min(0.2, soonest))
    server.close_all()
