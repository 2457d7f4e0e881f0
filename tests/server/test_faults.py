"""The service keeps its word through its own faults and a hostile admin, client or network: a
revoked key stays revoked in every worker, workers end with their supervisor, a stuck or dead
database stalls only what needs it, an import copies only whole pictures from inside its folder,
and the HTTP and FTP servers hold their bounds."""

import contextlib
import ftplib
import hashlib
import io
import os
import signal
import socket
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from tests.server.pngs import picture
from tests.server.postgres import PostgresServer
from tests.server.harness import DELID, HOST, PASSWORD_1_3, REAL_SERVICE, KeyedService, Service

SERVER = None
KEY = "team-key-0123456789abcdef"
OTHER_KEY = "second-key-0123456789abcdef"


def setUpModule():
    global SERVER
    SERVER = PostgresServer()


def tearDownModule():
    SERVER.stop()


def wait_for(check, seconds=10, what="the condition"):
    deadline = time.monotonic() + seconds
    while not check():
        if time.monotonic() > deadline:
            raise AssertionError(f"{what} did not come within {seconds} s")
        time.sleep(0.05)


def children(pid):
    try:
        with open(f"/proc/{pid}/task/{pid}/children") as f:
            return [int(child) for child in f.read().split()]
    except FileNotFoundError:
        return []


def alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().split(")")[-1].split()[0] != "Z"
    except FileNotFoundError:
        return False


def write_atomically(path, text):
    with open(path + ".new", "w") as f:
        f.write(text)
    os.replace(path + ".new", path)


def admin(*args):
    return subprocess.run([REAL_SERVICE, *args], capture_output=True, text=True, timeout=60)


class KeyReloadTest(unittest.TestCase):
    """Two workers on one database: what the key file held at the last reload is what every
    worker serves, a worker started after the reload included."""

    def setUp(self):
        self.keys = os.path.join(self.enterContext(tempfile.TemporaryDirectory()), "keys")
        write_atomically(self.keys, f"team {KEY}\nsecond {OTHER_KEY}\n")
        self.service = KeyedService(self.keys, "--database", SERVER.new_database(), "--workers", "2",
                                    storage=False)
        self.addCleanup(self.service.cleanup)

    def reload(self, said):
        before = self.service.complaints().count(said)
        self.service.proc.send_signal(signal.SIGHUP)
        # The reload may come twice: the watch after the last one may see the new file first.
        wait_for(lambda: self.service.complaints().count(said) > before, what=said)

    def restart_a_worker(self):
        workers = children(self.service.proc.pid)
        os.kill(workers[0], signal.SIGKILL)
        wait_for(lambda: len(set(children(self.service.proc.pid)) - set(workers)) == 1, what="a new worker")
        time.sleep(0.5)  # its listening sockets are shared from the start; its servers start now

    def checks(self, key, count=24):
        return [self.service.usercheck_with(key)[1] for _ in range(count)]

    def test_a_revoked_key_stays_revoked_in_a_restarted_worker(self):
        write_atomically(self.keys, f"second {OTHER_KEY}\n")
        self.reload("upload keys read: 1")
        self.restart_a_worker()
        self.assertEqual(set(self.checks(KEY)), {"BAD_KEY"})
        self.assertEqual(set(self.checks(OTHER_KEY)), {"OK"})
        for _ in range(6):  # the logins spread over both workers
            with self.assertRaisesRegex(ftplib.error_perm, "^530"):
                self.service.login(KEY).close()
        code = self.service.upload_with(OTHER_KEY)
        self.assertEqual(self.service.recode_with(KEY, code)[1], "BAD_KEY")

        # A broken file refuses every key, in the old worker and in a new one.
        write_atomically(self.keys, "second short\n")
        self.reload("upload keys refused")
        self.restart_a_worker()
        self.assertEqual(set(self.checks(OTHER_KEY)), {"BAD_KEY"})
        log = self.service.complaints()
        readings = [line for line in log.splitlines() if "upload keys" in line]
        self.assertTrue(readings)
        for line in readings:  # one line a reading, from the supervisor alone
            self.assertRegex(line, r"^quiblo-service: upload keys (read: \d+|refused: .*every upload key is refused)")
        self.assertNotIn(KEY, log)
        self.assertNotIn(OTHER_KEY, log)

    def test_a_file_caught_half_written_is_read_again_once_whole(self):
        line = f"third {'k' * 40}\n"
        with open(self.keys, "w") as f:  # rewritten in place: the reload sees a key cut short
            f.write(line[:23])
            f.flush()
            time.sleep(0.3)
            self.service.proc.send_signal(signal.SIGHUP)
            time.sleep(0.5)
            f.write(line[23:])
        wait_for(lambda: self.service.usercheck_with("k" * 40, sid="HALF")[1] == "OK", what="the whole key")
        self.assertEqual(set(self.checks("k" * 17, count=8)), {"BAD_KEY"})
        self.assertEqual(set(self.checks("k" * 40, count=8)), {"OK"})


class SupervisorTest(unittest.TestCase):
    def test_workers_end_with_their_supervisor_and_a_second_start_is_refused(self):
        dsn = SERVER.new_database()
        service = Service("--database", dsn, "--workers", "2", storage=False)
        self.addCleanup(service.cleanup)
        workers = children(service.proc.pid)
        self.assertEqual(len(workers), 2)

        # The ports are held: a second service says so instead of serving beside it.
        second = subprocess.run([REAL_SERVICE, "--database", dsn, "--workers", "2", "--http-port",
                                 str(service.http_port), "--ftp-port", str(service.ftp_port)],
                                capture_output=True, text=True, timeout=30)
        self.assertEqual(second.returncode, 1)
        self.assertIn(f"port {service.http_port} is in use", second.stderr)
        self.assertEqual(len(second.stderr.strip().splitlines()), 1, second.stderr)

        service.proc.kill()
        service.proc.wait()
        wait_for(lambda: not any(alive(pid) for pid in workers), seconds=5, what="the workers' end")
        with self.assertRaises(OSError):
            socket.create_connection((HOST, service.http_port), timeout=2).close()


def cluster_pids(server):
    with open(os.path.join(server.cluster, "postmaster.pid")) as f:
        postmaster = int(f.readline())
    return [postmaster, *children(postmaster)]


class StuckDatabaseTest(unittest.TestCase):
    """A PostgreSQL server of this class's own, frozen, stopped and restarted under services."""

    @classmethod
    def setUpClass(cls):
        cls.server = PostgresServer()
        cls.addClassCleanup(cls.server.stop)

    @contextlib.contextmanager
    def frozen(self):
        pids = cluster_pids(self.server)
        for pid in pids:
            os.kill(pid, signal.SIGSTOP)
        try:
            yield
        finally:
            for pid in pids:
                os.kill(pid, signal.SIGCONT)

    def test_a_frozen_database_stalls_only_the_sessions_that_wait_for_it(self):
        service = Service("--database", self.server.new_database(), storage=False)
        self.addCleanup(service.cleanup)
        waiting = service.ftp()
        self.addCleanup(waiting.close)
        with self.frozen():
            # This session's STOR asks the store, which does not answer.
            waiting.sock.sendall(f"STOR {service.new_code()}.png\r\n".encode())
            time.sleep(0.5)
            started = time.monotonic()
            with contextlib.closing(service.ftp()) as other:
                self.assertTrue(other.voidcmd("NOOP").startswith("200"))
            self.assertEqual(service.get("/", timeout=5)[0], 200)
            self.assertLess(time.monotonic() - started, 5)
        self.assertEqual(service.recode(service.upload(picture(1)), "THAWED")[0], "success")

    def test_a_database_that_is_down_gets_clear_refusals_and_the_service_recovers(self):
        dsn = self.server.new_database()
        a = Service("--database", dsn, "--keep-days", "28", storage=False)
        self.addCleanup(a.cleanup)
        b = Service("--database", dsn, "--keep-days", "28", storage=False)
        self.addCleanup(b.cleanup)
        code = a.upload(picture(2))
        self.server.halt()
        try:
            with contextlib.closing(a.ftp()) as client:
                with self.assertRaisesRegex(ftplib.error_temp, "^451"):
                    client.storbinary(f"STOR {a.new_code()}.png", io.BytesIO(picture(3)))
                self.assertTrue(client.voidcmd("NOOP").startswith("200"))  # the session goes on
            self.assertEqual(a.get(f"/recode.cgi?op=rec&pngcode={code}&delid={DELID}&sid=DOWN")[0], 503)
        finally:
            self.server.start()

        # After the restart exactly one process has the sweeps' turn (the old holder finds that
        # the database has forgotten its lock).
        def leaders():
            return [s.control(action="sweep")["leads"] for s in (a, b)]
        wait_for(lambda: sum(leaders()) == 1 and sum(leaders()) == 1, what="one leader")
        self.assertEqual(a.recode(code, "DOWN")[0], "success")
        for service in (a, b):
            self.assertNotIn("Traceback", service.complaints())

    def test_a_database_that_refuses_the_start_is_one_line(self):
        self.server.query(self.server.dsn(), "CREATE ROLE reader LOGIN")
        name = self.server.new_database().rsplit("/", 1)[1]
        for dsn, said in ((self.server.dsn("no_such_database"), 'database "no_such_database" does not exist'),
                          (f"postgresql://reader@127.0.0.1:{self.server.port}/{name}", "permission denied")):
            with self.subTest(dsn=dsn):
                done = subprocess.run([REAL_SERVICE, "--database", dsn, "--http-port", "0", "--ftp-port", "0"],
                                      capture_output=True, text=True, timeout=30)
                self.assertEqual(done.returncode, 1)
                self.assertIn(said, done.stderr)
                self.assertEqual(len(done.stderr.strip().splitlines()), 1, done.stderr)


def folder_digest(folder):
    digest = hashlib.sha256()
    for root, dirs, files in sorted(os.walk(folder)):
        for name in sorted(files):
            path = os.path.join(root, name)
            digest.update(path.encode())
            if not os.path.islink(path):
                with open(path, "rb") as f:
                    digest.update(f.read())
    return digest.hexdigest()


class HostileImportTest(unittest.TestCase):
    def setUp(self):
        self.outside = self.enterContext(tempfile.TemporaryDirectory())
        folder = Service("--data", os.path.join(self.outside, "data"), storage=False)
        self.codes = [folder.upload(picture(n)) for n in range(6)]
        for code in self.codes:
            folder.recode(code, "MOVING")
        folder.cleanup()
        self.data = os.path.join(self.outside, "data")
        self.pictures = os.path.join(self.data, "pictures")

    def rewrite(self, code, data, size=None):
        with open(os.path.join(self.pictures, code + ".png"), "wb") as f:
            f.write(data)
        with sqlite3.connect(os.path.join(self.data, "quiblo.sqlite3")) as db:
            db.execute("UPDATE pictures SET size = ? WHERE code = ?", (size or len(data), code))
        db.close()

    def test_only_whole_pictures_from_inside_the_folder_move_in(self):
        secret = picture(100)
        with open(os.path.join(self.outside, "secret.png"), "wb") as f:
            f.write(secret)
        link, path_code, cut, huge, damaged, whole = self.codes
        os.unlink(os.path.join(self.pictures, link + ".png"))
        os.symlink(os.path.join(self.outside, "secret.png"), os.path.join(self.pictures, link + ".png"))
        self.rewrite(link, secret)
        with sqlite3.connect(os.path.join(self.data, "quiblo.sqlite3")) as db:
            db.execute("UPDATE pictures SET code = '../../secret', size = ? WHERE code = ?", (len(secret), path_code))
        db.close()
        self.rewrite(cut, picture(2)[:-20])  # its row says the size of what is left
        self.rewrite(huge, b"\x89PNG\r\n\x1a\n" + bytes(5_000_000))
        self.rewrite(damaged, picture(4)[:40] + b"\xff" + picture(4)[41:])
        before = folder_digest(self.data)

        dsn = SERVER.new_database()
        for copied in ("1 copied, 0 there already, 5 skipped", "0 copied, 1 there already, 5 skipped"):
            result = admin("import", "--from", self.data, "--database", dsn)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn(f"pictures: {copied}", result.stdout)
            self.assertIn("uses: ", result.stdout)
        self.assertNotIn("Traceback", result.stderr)
        for code in (link, cut, huge, damaged):
            self.assertIn(f"skipped picture {code}", result.stderr)
        self.assertEqual(SERVER.query(dsn, "SELECT code FROM pictures"), [(whole,)])
        self.assertEqual(folder_digest(self.data), before)  # the source is only read

        service = Service("--database", dsn, storage=False)
        self.addCleanup(service.cleanup)
        self.assertEqual(service.get(f"/img/{whole}.png")[2], picture(5))
        self.assertEqual(service.get(f"/img/{link}.png")[0], 404)

    def test_a_failure_midway_leaves_the_database_as_it_was(self):
        dsn = SERVER.new_database()
        Service("--database", dsn, storage=False).cleanup()  # the schema
        SERVER.query(dsn, "ALTER TABLE uses ADD CONSTRAINT refuses_moving CHECK (sid <> 'MOVING')")
        result = admin("import", "--from", self.data, "--database", dsn)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(len(result.stderr.strip().splitlines()), 1, result.stderr)
        self.assertEqual(SERVER.query(dsn, "SELECT COUNT(*) FROM pictures"), [(0,)])

    def test_an_older_folder_is_read_as_it_is(self):
        with sqlite3.connect(os.path.join(self.data, "quiblo.sqlite3")) as db:
            db.execute("PRAGMA user_version = 2")  # an older service's, never written to by import
        db.close()
        before = folder_digest(self.data)
        dsn = SERVER.new_database()
        result = admin("import", "--from", self.data, "--database", dsn)
        self.assertIn("pictures: 6 copied", result.stdout)
        self.assertEqual(folder_digest(self.data), before)

    def test_a_folder_left_with_its_log_moves_in_whole_and_nothing_is_written_beside_it(self):
        # A service killed after a registration leaves it in the write-ahead log alone.
        folder = Service("--data", self.data, storage=False)
        late = folder.upload(picture(9))
        folder.recode(late, "MOVING")
        folder.stop(signal.SIGKILL)
        self.addCleanup(folder.tmp.cleanup)
        self.assertGreater(os.path.getsize(os.path.join(self.data, "quiblo.sqlite3-wal")), 0)
        os.unlink(os.path.join(self.data, "quiblo.sqlite3-shm"))  # as in a copy of the database and its log
        before = sorted(os.listdir(self.data)), folder_digest(self.data)
        dsn = SERVER.new_database()
        result = admin("import", "--from", self.data, "--database", dsn)
        self.assertIn("pictures: 7 copied", result.stdout, result.stderr)
        self.assertEqual((sorted(os.listdir(self.data)), folder_digest(self.data)), before)
        os.unlink(os.path.join(self.data, "quiblo.sqlite3-wal"))  # a clean stop leaves none
        result = admin("import", "--from", self.data, "--database", SERVER.new_database())
        self.assertIn("pictures: 6 copied", result.stdout, result.stderr)
        self.assertEqual(sorted(os.listdir(self.data)), ["pictures", "quiblo.sqlite3"])

    def test_a_missing_or_corrupt_folder_is_one_line(self):
        dsn = SERVER.new_database()
        missing = os.path.join(self.outside, "mistyped")
        with open(os.path.join(self.data, "quiblo.sqlite3"), "r+b") as f:
            f.write(b"garbage" * 20)
        for command in (["import", "--from", missing, "--database", dsn], ["list", "--data", missing],
                        ["stats", "--data", missing], ["import", "--from", self.data, "--database", dsn],
                        ["list", "--data", self.data]):
            with self.subTest(command=command):
                result = admin(*command)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(len(result.stderr.strip().splitlines()), 1, result.stderr)
                self.assertFalse(os.path.exists(missing))


class OlderDataFolderTest(unittest.TestCase):
    def test_a_waiting_upload_and_a_picture_of_an_older_folder_live_on(self):
        sys.path.insert(0, os.path.dirname(REAL_SERVICE))
        from quiblo_service.store import sqlite as sqlite_store
        data = os.path.join(self.enterContext(tempfile.TemporaryDirectory()), "data")
        os.makedirs(os.path.join(data, "pictures"))
        with sqlite3.connect(os.path.join(data, "quiblo.sqlite3")) as db:
            for step in sqlite_store.MIGRATIONS[:2]:
                for statement in step:
                    if isinstance(statement, tuple):
                        sqlite_store.add_column(db, *statement)
                    else:
                        db.execute(statement)
            db.execute("PRAGMA user_version = 2")
            now = time.time()
            db.execute("INSERT INTO pictures (code, size, uploaded_at, delid, sid, registered_at) "
                       "VALUES ('000000000000000001', 3, ?, ?, 'OLD', ?)", (now, DELID, now))
            db.execute("INSERT INTO pictures (code, size, uploaded_at, client) "
                       "VALUES ('000000000000000002', 3, ?, '127.0.0.1')", (now,))
        db.close()
        for code in ("000000000000000001", "000000000000000002"):
            with open(os.path.join(data, "pictures", code + ".png"), "wb") as f:
                f.write(b"old")
        service = Service("--data", data, storage=False)
        self.addCleanup(service.cleanup)
        self.assertEqual(service.get("/img/000000000000000001.png")[2], b"old")
        self.assertEqual(service.recode("000000000000000002", "OLD")[0], "success")
        self.assertEqual(service.get("/img/000000000000000002.png")[2], b"old")


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(next(line for line in f if line.startswith("VmRSS")).split()[1])


def service_head(service, request_line, header_line):
    """(status, {lower-case name: value}) of a request sent as raw bytes."""
    with socket.create_connection((HOST, service.http_port), timeout=5) as sock:
        sock.sendall(f"{request_line} HTTP/1.1\r\nHost: x\r\n".encode() + header_line + b"\r\n\r\n")
        head = b""
        while b"\r\n\r\n" not in head:
            head += sock.recv(65536)
    lines = head.split(b"\r\n\r\n")[0].split(b"\r\n")
    headers = dict((name.strip().lower(), value.strip()) for name, _, value in
                   (line.partition(b":") for line in lines[1:]))
    return lines[0].split()[1], {name.decode(): value for name, value in headers.items()}


class HttpBoundsTest(unittest.TestCase):
    def test_slow_clients_with_huge_headers_hold_little_memory(self):
        service = Service()
        self.addCleanup(service.cleanup)
        before = rss_kib(service.proc.pid)
        clients = []

        def send_huge_head():
            sock = socket.create_connection((HOST, service.http_port), timeout=5)
            clients.append(sock)
            sock.sendall(b"GET / HTTP/1.1\r\nHost: x\r\n")
            try:  # 95 lines of 60,000 bytes, and then the head is never ended
                for n in range(95):
                    sock.sendall(b"X-%d: " % n + b"a" * 60000 + b"\r\n")
            except OSError:  # the service stopped reading
                pass
        threads = [threading.Thread(target=send_huge_head) for _ in range(40)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(30)
        time.sleep(0.5)
        grown = rss_kib(service.proc.pid) - before
        self.assertLess(grown, 32 * 1024, f"grew {grown} KiB for 40 clients")
        self.assertEqual(len(clients), 40)
        for sock in clients:
            with sock:
                try:
                    answer = sock.recv(64)
                except ConnectionResetError:  # cut off with the head unread: refused too
                    continue
                self.assertRegex(answer, rb"^HTTP/1\.[01] 431 ")
        self.assertEqual(service.get("/")[0], 200)

    def test_connections_are_capped_in_all_and_per_address(self):
        service = Service("--max-http-connections-per-address", "3", "--max-http-connections", "5")
        self.addCleanup(service.cleanup)

        def connect(source):
            return socket.create_connection((HOST, service.http_port), timeout=5, source_address=(source, 0))

        def refused(sock):
            with sock:
                return sock.recv(64).startswith(b"HTTP/1.1 503")
        held = [connect("127.0.0.1") for _ in range(3)]
        time.sleep(0.2)
        self.assertTrue(refused(connect("127.0.0.1")))
        held += [connect("127.0.0.2") for _ in range(2)]
        time.sleep(0.2)
        self.assertTrue(refused(connect("127.0.0.3")))  # five in all
        held.pop(0).close()
        wait_for(lambda: service.get("/")[0] == 200, what="a free place")
        for sock in held:
            sock.close()

    def test_caching_and_header_values_as_the_rfcs_read_them(self):
        keys = os.path.join(self.enterContext(tempfile.TemporaryDirectory()), "keys")
        write_atomically(keys, f"team {KEY}\n")
        service = KeyedService(keys)
        self.addCleanup(service.cleanup)
        for padded in (KEY + " ", KEY + "\t", " " + KEY):
            self.assertEqual(service.usercheck_with(padded)[1], "OK", repr(padded))
        code = service.upload_with(KEY)
        service.recode_with(KEY, code)
        tag = service_head(service, f"GET /img/{code}.png", b"")[1]["etag"]
        status, headers = service_head(service, f"GET /img/{code}.png", b'If-None-Match: "other", W/' + tag)
        self.assertEqual(status, b"304")
        self.assertNotIn("content-length", headers)
        self.assertEqual(headers["etag"], tag)


class FtpSecretsTest(unittest.TestCase):
    def test_no_key_in_the_log_and_a_nul_gets_501(self):
        keys = os.path.join(self.enterContext(tempfile.TemporaryDirectory()), "keys")
        write_atomically(keys, f"team {KEY}\n")
        service = KeyedService(keys)  # with --verbose
        self.addCleanup(service.cleanup)
        client = ftplib.FTP()
        client.connect(HOST, service.ftp_port, timeout=5)
        with contextlib.closing(client):
            with self.assertRaisesRegex(ftplib.error_perm, "^530"):
                client.login(f"{PASSWORD_1_3}:{KEY}", "x")
            client.login("quiblo", f"{PASSWORD_1_3}:{KEY}")
            with self.assertRaisesRegex(ftplib.error_perm, "^553"):
                client.storbinary(f"STOR {KEY}.png", io.BytesIO(b"x"))
            with self.assertRaisesRegex(ftplib.error_perm, "^501"):
                client.voidcmd("STOR 000000000000000001\0.png")
            self.assertTrue(client.voidcmd("NOOP").startswith("200"))
            client.storbinary(f"STOR {service.new_code()}.png", io.BytesIO(picture(1)))
        log = service.complaints()
        self.assertIn("logged in", log)
        self.assertNotIn(KEY, log)
        self.assertNotIn("Traceback", log)


if __name__ == "__main__":
    unittest.main()
