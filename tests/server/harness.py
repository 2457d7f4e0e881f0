"""The service as the tests meet it: a real quiblo-service process (with the tests' controls, or
the product itself) on free loopback ports and a store of its own, spoken to over HTTP and FTP."""

import contextlib
import ftplib
import http.client
import io
import json
import os
import re
import select
import signal
import subprocess
import tempfile
import time

from tests.server.pngs import picture

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SERVICE = os.path.join(REPO, "tests", "server", "quiblo-test-service")
REAL_SERVICE = os.path.join(REPO, "server", "quiblo-service")
HOST = "127.0.0.1"

# Upload passwords; the C++ side pins the same vector for 1.3.
PASSWORD_1_3 = "qbl02181238"
PASSWORD_1_2 = "qbl03151337"

DELID = "20060103090507"

# The store the services run on: a data folder each, or with QUIBLO_TEST_STORE=postgresql a
# database each on a PostgreSQL server of this run's own.
DATABASE = None


def setUpModule():
    global DATABASE
    if os.environ.get("QUIBLO_TEST_STORE") == "postgresql":
        from tests.server.postgres import PostgresServer
        DATABASE = PostgresServer()


def tearDownModule():
    if DATABASE:
        DATABASE.stop()


def read_line(stream, seconds):
    """One line from a pipe, or an AssertionError after `seconds`."""
    deadline = time.monotonic() + seconds
    data = b""
    while not data.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([stream], [], [], left)[0]:
            raise AssertionError(f"no line within {seconds} s, got {data!r}")
        chunk = os.read(stream.fileno(), 1)
        if not chunk:
            raise AssertionError(f"output ended early: {data!r}")
        data += chunk
    return data.decode()


class Service:
    """A running quiblo-service with a temporary data folder."""

    codes = iter(range(10**9, 2 * 10**9))  # fresh picture codes, clear of the fixed ones below

    def __init__(self, *options, data=None, controls=True, storage=True):
        self.tmp = tempfile.TemporaryDirectory()
        self.data = data or (DATABASE.new_database() if DATABASE else os.path.join(self.tmp.name, "data"))
        self.stderr = open(os.path.join(self.tmp.name, "stderr"), "wb")
        program = SERVICE if controls else REAL_SERVICE
        if storage:
            options = ("--database" if DATABASE else "--data", self.data, *options)
        self.proc = subprocess.Popen(
            [program, "--http-port", "0", "--ftp-port", "0", *options],
            stdout=subprocess.PIPE, stderr=self.stderr)
        try:
            line = read_line(self.proc.stdout, 10)
        except AssertionError:
            self.stop(signal.SIGKILL)
            raise
        match = re.fullmatch(r"quiblo-service listening http=(\d+) ftp=(\d+|off)\n", line)
        assert match, line
        self.http_port = int(match.group(1))
        self.ftp_port = None if match.group(2) == "off" else int(match.group(2))

    def stop(self, sig=signal.SIGTERM):
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        try:
            code = self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait(5)
            code = None
        self.proc.stdout.close()
        self.stderr.close()
        return code

    def complaints(self):
        """What the service wrote to standard error so far: it logs only faults."""
        with open(self.stderr.name, "rb") as f:
            return f.read().decode(errors="replace")

    def cleanup(self):
        self.stop()
        self.tmp.cleanup()

    # --- HTTP ---

    def get(self, path, timeout=5, method="GET", source=None):
        """(status, content type, body bytes), whatever the status."""
        conn = http.client.HTTPConnection(HOST, self.http_port, timeout=timeout,
                                          source_address=source and (source, 0))
        try:
            conn.request(method, path)
            response = conn.getresponse()
            return response.status, response.getheader("Content-Type"), response.read()
        finally:
            conn.close()

    def fields(self, path):
        status, content_type, body = self.get(path)
        assert status == 200 and content_type == "text/plain; charset=Shift_JIS", (status, content_type)
        return body.decode("cp932").split("|")

    def usercheck(self, sid):
        return self.fields(f"/usercheck.cgi?op=chk&sid={sid}")

    def recode(self, code, sid, delid=DELID):
        return self.fields(f"/recode.cgi?op=rec&pngcode={code}&delid={delid}&sid={sid}")

    def delete(self, code, delid=DELID, source=None):
        status, content_type, body = self.get(f"/delete2.cgi?op=del&pngcode={code}&delid={delid}",
                                              source=source)
        assert status == 200 and content_type == "text/plain; charset=Shift_JIS", (status, content_type)
        return body.decode("cp932").split("|")

    def post_control(self, body, headers):
        """(status, answer body) of a raw POST to the control endpoint."""
        conn = http.client.HTTPConnection(HOST, self.http_port, timeout=5)
        with contextlib.closing(conn):
            conn.request("POST", "/_control", body, headers)
            response = conn.getresponse()
            return response.status, response.read()

    def control(self, expect=200, **command):
        conn = http.client.HTTPConnection(HOST, self.http_port, timeout=5)
        try:
            body = json.dumps(command).encode()
            conn.request("POST", "/_control", body, {"Content-Type": "application/json"})
            response = conn.getresponse()
            answer = json.loads(response.read())
            assert response.status == expect, (response.status, answer)
            return answer
        finally:
            conn.close()

    # --- FTP ---

    def ftp(self, password=PASSWORD_1_3, source=None):
        client = ftplib.FTP()
        client.connect(HOST, self.ftp_port, timeout=5, source_address=source and (source, 0))
        try:
            client.login("quiblo", password)
        except BaseException:
            client.close()
            raise
        return client

    def store(self, name, data, source=None):
        with self.ftp(source=source) as client:
            return client.storbinary(f"STOR {name}", io.BytesIO(data))

    def new_code(self):
        return f"{next(Service.codes):018d}"

    def upload(self, data=None, code=None, source=None):
        """Stores a picture by FTP under CODE (a new one by default): DATA, else a whole PNG of
        its own."""
        code = code or self.new_code()
        data = picture(int(code) % 251) if data is None else data
        self.store(code + ".png", data, source)
        return code

    def stored(self, code):
        """The bytes kept under CODE (a picture or an upload waiting), or None."""
        if DATABASE:
            rows = DATABASE.query(self.data, "SELECT data FROM blobs WHERE code = %s", (code,))
            return bytes(rows[0][0]) if rows else None
        try:
            with open(os.path.join(self.data, "pictures", code + ".png"), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None

    def stored_codes(self):
        """Every code kept, pictures and uploads waiting; in a data folder, every file."""
        if DATABASE:
            return sorted(code for (code,) in DATABASE.query(
                self.data, "SELECT code FROM pictures UNION ALL SELECT code FROM uploads"))
        return sorted(os.listdir(os.path.join(self.data, "pictures")))


class KeyedService(Service):
    def __init__(self, tmp_keys, *options, **kwargs):
        super().__init__("--upload-keys", tmp_keys, "--verbose", *options, **kwargs)

    def usercheck_with(self, key, sid="KEYED"):
        return self.fields_with(f"/usercheck.cgi?op=chk&sid={sid}", key)

    def recode_with(self, key, code, sid="KEYED"):
        return self.fields_with(f"/recode.cgi?op=rec&pngcode={code}&delid={DELID}&sid={sid}", key)

    def fields_with(self, path, key):
        conn = http.client.HTTPConnection(HOST, self.http_port, timeout=5)
        conn.request("GET", path, headers={"X-Quiblo-Key": key} if key else {})
        fields = conn.getresponse().read().decode("cp932").split("|")
        conn.close()
        return fields

    def login(self, key):
        client = ftplib.FTP()
        client.connect(HOST, self.ftp_port, timeout=5)
        try:
            client.login("quiblo", PASSWORD_1_3 + (":" + key if key else ""))
        except BaseException:
            client.close()
            raise
        return client

    def upload_with(self, key, code=None):
        code = code or self.new_code()
        with self.login(key) as client:
            client.storbinary(f"STOR {code}.png", io.BytesIO(picture(int(code) % 251)))
        return code
