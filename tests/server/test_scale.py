"""Several services on one PostgreSQL database, on a server these tests start: two hosts (here
two services on other ports) behave as one, workers share the ports and outlive a killed one,
the schema is brought up to date, and a data folder moves in."""

import contextlib
import http.client
import os
import signal
import subprocess
import threading
import time
import unittest

from tests.server.pngs import of_size, picture
from tests.server.postgres import PostgresServer
from tests.server.harness import PASSWORD_1_3, REAL_SERVICE, Service

SERVER = None


def setUpModule():
    global SERVER
    SERVER = PostgresServer()


def tearDownModule():
    SERVER.stop()


def on_database(dsn, *options):
    return Service("--database", dsn, *options, storage=False)


class TwoHostsTest(unittest.TestCase):
    def setUp(self):
        self.dsn = SERVER.new_database()
        self.a = on_database(self.dsn, "--max-uploads", "3", "--keep-days", "28")
        self.addCleanup(self.a.cleanup)
        self.b = on_database(self.dsn, "--max-uploads", "3", "--keep-days", "28")
        self.addCleanup(self.b.cleanup)

    def test_upload_through_one_view_and_delete_through_the_other(self):
        shared = picture(3)
        code = self.a.upload(shared)
        self.assertEqual(self.b.recode(code, "HOSTS")[0], "success")  # FTP to A, registration at B
        self.assertEqual(self.b.get(f"/img/{code}.png")[2], shared)
        self.assertEqual(self.b.delete(code)[:2], ["success", "DELETE_SUCCESS"])
        self.assertEqual(self.a.get(f"/view.cgi?{code}")[0], 404)

    def test_one_usage_limit_across_hosts(self):
        for service in (self.a, self.b, self.a):
            self.assertEqual(service.recode(service.upload(), "SHARED")[0], "success")
        self.assertEqual(self.b.usercheck("SHARED")[:3], ["error", "LIMIT_REACHED", "3"])
        self.assertEqual(self.b.recode(self.a.upload(), "SHARED")[1], "LIMIT_REACHED")

    def test_the_sweep_runs_in_one_process(self):
        codes = [self.a.upload() for _ in range(3)]
        for code in codes:
            self.b.recode(code, "SWEEP")
        for service in (self.a, self.b):
            service.control(action="clock", offset=29 * 86400)
        swept = [service.control(action="sweep")["swept"] for service in (self.a, self.b, self.a, self.b)]
        self.assertEqual(sorted(code for codes_swept in swept for code in codes_swept), sorted(codes))
        self.assertEqual(sum(1 for s in swept if s), 1)
        # The turn passes on when its process ends.
        leader = self.a if swept[0] else self.b
        other = self.b if leader is self.a else self.a
        leader.stop()
        other.upload()
        code = other.upload()
        other.recode(code, "SWEEP")
        other.control(action="clock", offset=60 * 86400)
        self.assertEqual(other.control(action="sweep")["swept"], [code])


class WorkersTest(unittest.TestCase):
    def test_a_code_put_twice_at_once_while_it_is_registered_is_one_201_and_one_409(self):
        dsn = SERVER.new_database()
        service = on_database(dsn, "--workers", "2", "--no-ftp", "--max-uploads", "10000")
        self.addCleanup(service.cleanup)
        for _ in range(100):
            code = service.new_code()
            answers, first = [], threading.Event()

            def put():
                conn = http.client.HTTPConnection("127.0.0.1", service.http_port, timeout=10)
                with contextlib.closing(conn):
                    conn.request("PUT", f"/upload/{code}.png", picture(1), {"X-Quiblo-Password": PASSWORD_1_3})
                    answers.append(conn.getresponse().status)
                first.set()
            puts = [threading.Thread(target=put) for _ in range(2)]
            for thread in puts:
                thread.start()
            first.wait(10)
            service.recode(code, "RACE")  # as the program registers, at once
            for thread in puts:
                thread.join()
            self.assertEqual(sorted(answers), [201, 409])
        self.assertNotIn("duplicate key", service.complaints())

    def test_a_worker_killed_during_uploads_leaves_whole_pictures_and_the_other_goes_on(self):
        dsn = SERVER.new_database()
        service = on_database(dsn, "--workers", "2", "--max-uploads", "10000",
                              "--max-pending-per-client", "1000", "--max-pending", "1000")
        self.addCleanup(service.cleanup)
        with open(f"/proc/{service.proc.pid}/task/{service.proc.pid}/children") as f:
            workers = [int(pid) for pid in f.read().split()]
        self.assertEqual(len(workers), 2)
        stop = threading.Event()
        attempted, sent, failures = {}, {}, []

        def upload_loop(index):
            n = 0
            while not stop.is_set():
                n += 1
                data = of_size(40000 + n % 2000, index * 64 + n % 64)
                code = service.new_code()
                attempted[code] = data
                try:
                    service.upload(data, code=code)
                    if service.recode(code, f"W{index}")[0] == "success":
                        sent[code] = data
                except Exception as err:  # a connection of the killed worker
                    failures.append(err)
        threads = [threading.Thread(target=upload_loop, args=(i,)) for i in range(4)]
        for thread in threads:
            thread.start()
        time.sleep(1.0)
        os.kill(workers[0], signal.SIGKILL)
        time.sleep(1.5)
        before = len(sent)
        time.sleep(1.0)
        stop.set()
        for thread in threads:
            thread.join()
        self.assertGreater(len(sent), before, "uploads stopped with the killed worker")
        # Every registration answered is there; one the killed worker made but could not answer
        # may be there too. Each is whole.
        rows = {code: (bytes(data), size) for code, data, size in
                SERVER.query(dsn, "SELECT code, data, size FROM pictures JOIN blobs USING (code)")}
        self.assertLessEqual(set(sent), set(rows))
        for code, (data, size) in rows.items():
            self.assertEqual(data, attempted[code])
            self.assertEqual(size, len(data))

    def test_workers_need_a_database(self):
        refused = subprocess.run([REAL_SERVICE, "--data", "/tmp", "--workers", "2"], capture_output=True,
                                 text=True)
        self.assertEqual(refused.returncode, 2)
        self.assertIn("--workers above 1 needs --database", refused.stderr)


class SchemaTest(unittest.TestCase):
    def test_an_older_schema_is_upgraded_and_a_newer_one_refused(self):
        import sys
        sys.path.insert(0, os.path.join(os.path.dirname(REAL_SERVICE)))
        import psycopg
        from quiblo_service.store import postgresql
        dsn = SERVER.new_database()
        with psycopg.connect(dsn, autocommit=True) as conn:
            postgresql.upgrade(conn, target=1)
            conn.execute("INSERT INTO uses (sid, at) VALUES ('OLD', %s)", (time.time(),))
        service = on_database(dsn)
        self.addCleanup(service.cleanup)
        self.assertEqual(service.usercheck("OLD")[2], "1")
        self.assertEqual(SERVER.query(dsn, "SELECT version FROM quiblo_schema"), [(6,)])
        service.stop()
        SERVER.query(dsn, "UPDATE quiblo_schema SET version = 99")
        refused = subprocess.run([REAL_SERVICE, "--database", dsn, "--http-port", "0", "--ftp-port", "0"],
                                 capture_output=True, text=True, timeout=30)
        self.assertEqual(refused.returncode, 1)
        self.assertIn("schema is version 99, newer than this service's 6", refused.stderr)


class BytesOnceTest(unittest.TestCase):
    def test_a_picture_of_an_older_schema_moves_to_its_bytes_and_a_new_one_is_written_once(self):
        import sys
        sys.path.insert(0, os.path.join(os.path.dirname(REAL_SERVICE)))
        import psycopg
        from quiblo_service.store import postgresql
        dsn = SERVER.new_database()
        old = picture(8)
        with psycopg.connect(dsn, autocommit=True) as conn:
            postgresql.upgrade(conn, target=4)
            conn.execute("INSERT INTO pictures (code, data, size, uploaded_at, registered_at, delid, sid) "
                         "VALUES ('000000000000000042', %s, %s, %s, %s, '20060103090507', 'OLD')",
                         (old, len(old), time.time(), time.time()))
        service = on_database(dsn)
        self.addCleanup(service.cleanup)
        self.assertEqual(service.get("/img/000000000000000042.png")[2], old)
        code = service.upload(picture(9))
        self.assertEqual(service.recode(code, "ONCE")[0], "success")
        self.assertEqual(service.get(f"/img/{code}.png")[2], picture(9))
        # The bytes live in one row; the picture's row carries none.
        columns = [name for (name,) in SERVER.query(
            dsn, "SELECT column_name FROM information_schema.columns WHERE table_name IN ('pictures', 'uploads')")]
        self.assertNotIn("data", columns)
        self.assertEqual(SERVER.query(dsn, "SELECT COUNT(*) FROM blobs"), [(2,)])
        self.assertEqual(service.delete(code)[1], "DELETE_SUCCESS")
        self.assertEqual(SERVER.query(dsn, "SELECT COUNT(*) FROM blobs"), [(1,)])


class ImportTest(unittest.TestCase):
    def test_a_data_folder_moves_in_once(self):
        folder = Service()
        self.addCleanup(folder.cleanup)
        codes = [folder.upload(picture(n)) for n in range(3)]
        for code in codes:
            folder.recode(code, "MOVING")
        folder.stop()
        dsn = SERVER.new_database()
        for copied in ("3 copied, 0 there already", "0 copied, 3 there already"):
            result = subprocess.run([REAL_SERVICE, "import", "--from", folder.data, "--database", dsn],
                                    capture_output=True, text=True, timeout=60)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn(f"pictures: {copied}", result.stdout)
        service = on_database(dsn, "--max-uploads", "3")
        self.addCleanup(service.cleanup)
        self.assertEqual(service.get(f"/img/{codes[1]}.png")[2], picture(1))
        self.assertEqual(service.usercheck("MOVING")[:2], ["error", "LIMIT_REACHED"])
        self.assertEqual(service.delete(codes[2])[1], "DELETE_SUCCESS")


if __name__ == "__main__":
    unittest.main()
