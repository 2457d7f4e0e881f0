"""What a team's service promises: pictures expire, only the team uploads, no plain text on a
network by accident, and the admin's commands work beside a running service."""

import ftplib
import http.client
import io
import os
import re
import signal
import subprocess
import tempfile
import threading
import time
import unittest

from tests.server.pngs import picture
from tests.server.harness import (DELID, HOST, PASSWORD_1_3, REAL_SERVICE, KeyedService, Service,
                                  setUpModule, tearDownModule)

__all__ = ["setUpModule", "tearDownModule"]  # the same store as the service's own tests

DAY = 86400
KEY = "team-key-0123456789abcdef"
OTHER_KEY = "second-key-0123456789abcdef"


def store_options(service):
    return ("--database", service.data) if "://" in service.data else ("--data", service.data)


def admin(*args):
    return subprocess.run([REAL_SERVICE, *args], capture_output=True, text=True, timeout=60)


class ExpiryTest(unittest.TestCase):
    def setUp(self):
        self.service = Service("--keep-days", "28")
        self.addCleanup(self.service.cleanup)

    def test_pictures_older_than_the_keeping_time_are_gone_and_their_deletion_says_why(self):
        s = self.service
        old = s.upload()
        self.assertEqual(s.recode(old, "EXPIRY")[0], "success")
        status, _, body = s.get(f"/view.cgi?{old}")
        due = time.localtime(time.time() + 28 * DAY)
        self.assertIn(f"この画像は {due.tm_year}年{due.tm_mon}月{due.tm_mday}日 に自動削除されます。",
                      body.decode())
        s.control(action="clock", offset=2 * DAY)
        young = s.upload()
        self.assertEqual(s.recode(young, "EXPIRY")[0], "success")

        s.control(action="clock", offset=29 * DAY)
        self.assertEqual(s.control(action="sweep")["swept"], [old])
        for path in (f"/view.cgi?{old}", f"/img/{old}.png"):
            self.assertEqual(s.get(path)[0], 404)
        reply = s.delete(old)
        self.assertEqual(reply[:2], ["error", "NOT_FOUND_FILE"])
        self.assertIn("保存期間（28日）が過ぎたため", reply[2])
        # 27 days old: still there, and deleted as ever.
        self.assertEqual(s.get(f"/img/{young}.png")[0], 200)
        self.assertEqual(s.delete(young)[:2], ["success", "DELETE_SUCCESS"])
        self.assertEqual(s.delete(young)[2], "指定された画像はサーバー上に見つかりません。")

    def test_a_restart_with_the_clock_moved_sweeps_at_start(self):
        s = self.service
        code = s.upload()
        s.recode(code, "EXPIRY")
        s.stop()
        later = Service("--keep-days", "28", "--clock-offset", str(29 * DAY), data=s.data)
        self.addCleanup(later.cleanup)
        self.assertIsNone(later.stored(code))
        self.assertEqual(later.get(f"/img/{code}.png")[0], 404)

    def test_caches_keep_a_picture_no_longer_than_it_lives(self):
        s = self.service
        code = s.upload()
        s.recode(code, "CACHE")
        s.control(action="clock", offset=27 * DAY)
        conn = http.client.HTTPConnection(HOST, s.http_port, timeout=5)
        conn.request("GET", f"/img/{code}.png")
        response = conn.getresponse()
        response.read()
        max_age = int(re.search(r"max-age=(\d+)", response.getheader("Cache-Control")).group(1))
        self.assertTrue(0 < max_age <= 300, max_age)  # a deletion reaches every cache soon
        tag = response.getheader("ETag")
        for method in ("GET", "HEAD"):
            conn.request(method, f"/img/{code}.png", headers={"If-None-Match": tag})
            again = conn.getresponse()
            self.assertEqual((again.status, again.read()), (304, b""))
        conn.close()
        self.assertEqual(s.get(f"/img/{code}.png", method="HEAD")[2], b"")


class UploadKeyTest(unittest.TestCase):
    def setUp(self):
        self.keys = os.path.join(self.enterContext(tempfile.TemporaryDirectory()), "keys")
        with open(self.keys, "w") as f:
            f.write(f"# the team\nalice {KEY}\nbob {OTHER_KEY}  # until Friday\n")
        self.service = KeyedService(self.keys)
        self.addCleanup(self.service.cleanup)

    def assert_refused_at_every_step(self, key):
        s = self.service
        self.assertEqual(s.usercheck_with(key)[:2], ["error", "BAD_KEY"])
        self.assertIn("アップロードキー", s.usercheck_with(key)[5])
        with self.assertRaisesRegex(ftplib.error_perm, "^530"):
            s.login(key)
        code = s.upload_with(KEY) if key != KEY else s.new_code()
        self.assertEqual(s.recode_with(key, code)[:2], ["error", "BAD_KEY"])
        self.assertEqual(s.get(f"/img/{code}.png")[0], 404)

    def test_only_a_listed_key_uploads_and_its_name_is_kept(self):
        s = self.service
        for key in (None, "wrong-key-0123456789abcdef", KEY[:-1]):
            with self.subTest(key=key):
                self.assert_refused_at_every_step(key)
        self.assertEqual(s.usercheck_with(KEY)[:2], ["success", "OK"])
        code = s.upload_with(KEY)
        self.assertEqual(s.recode_with(OTHER_KEY, code)[0], "success")
        self.assertEqual(s.get(f"/img/{code}.png")[0], 200)
        listed = admin("list", *store_options(s)).stdout
        self.assertRegex(listed, rf"{code}  /view\.cgi\?\S+  [-0-9: ]+  {len(s.stored(code))}  bob  ")
        self.assertNotIn(KEY, s.complaints() + listed)  # requests are logged, keys never

    def test_a_key_taken_out_and_reloaded_stops_at_once(self):
        s = self.service
        logged_in = s.login(OTHER_KEY)
        self.addCleanup(logged_in.close)
        waiting = s.upload_with(OTHER_KEY)
        with open(self.keys, "w") as f:
            f.write(f"alice {KEY}\n")
        s.proc.send_signal(signal.SIGHUP)
        deadline = time.monotonic() + 10
        while s.usercheck_with(OTHER_KEY)[0] == "success" and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assert_refused_at_every_step(OTHER_KEY)
        with self.assertRaisesRegex(ftplib.error_perm, "^530"):
            logged_in.storbinary(f"STOR {s.new_code()}.png", io.BytesIO(b"late"))
        self.assertEqual(s.recode_with(OTHER_KEY, waiting)[:2], ["error", "BAD_KEY"])
        self.assertEqual(s.recode_with(KEY, s.upload_with(KEY))[0], "success")

    def test_a_broken_key_file_is_refused_at_start(self):
        with open(self.keys, "w") as f:
            f.write("alice short\n")
        refused = admin(*store_options(self.service), "--http-port", "0", "--ftp-port", "0",
                        "--upload-keys", self.keys)
        self.assertEqual(refused.returncode, 1)
        self.assertIn(f"{self.keys}:1", refused.stderr)


class PlainTextTest(unittest.TestCase):
    def test_no_plain_text_on_a_network_unless_asked_for(self):
        service = Service(controls=False)
        self.addCleanup(service.cleanup)
        options = (*store_options(service), "--http-port", "0", "--ftp-port", "0", "--host", "0.0.0.0")
        refused = admin(*options)
        self.assertEqual(refused.returncode, 1)
        for word in ("tls-cert", "tls-key", "plain-text = yes"):
            self.assertIn(word, refused.stderr)
        served = Service("--host", "0.0.0.0", "--plain-text", controls=False, data=service.data)
        self.addCleanup(served.cleanup)
        self.assertEqual(served.get("/")[0], 200)


class AdminCommandTest(unittest.TestCase):
    def test_list_remove_and_stats_while_uploads_arrive(self):
        s = Service()
        self.addCleanup(s.cleanup)
        shown = s.upload()
        s.recode(shown, "ADMIN")
        store = store_options(s)
        stop = threading.Event()
        uploaded = []

        def keep_uploading():
            while not stop.is_set():
                code = s.upload()
                if s.recode(code, f"BUSY{len(uploaded) % 5}")[0] == "success":
                    uploaded.append(code)
        thread = threading.Thread(target=keep_uploading)
        thread.start()
        try:
            while len(uploaded) < 3:
                time.sleep(0.05)
            listed = admin("list", *store)
            self.assertEqual(listed.returncode, 0, listed.stderr)
            self.assertIn(shown, listed.stdout)
            removed = admin("remove", *store, shown)
            self.assertEqual((removed.returncode, removed.stdout), (0, f"removed {shown}\n"))
            self.assertEqual(s.get(f"/view.cgi?{shown}")[0], 404)
            unknown = admin("remove", *store, "123456789012345678")
            self.assertEqual(unknown.returncode, 1)
            self.assertIn("no picture 123456789012345678", unknown.stderr)
            stats = admin("stats", *store)
        finally:
            stop.set()
            thread.join()
        self.assertEqual(stats.returncode, 0, stats.stderr)
        count = int(re.search(r"^pictures: (\d+)$", stats.stdout, re.M).group(1))
        self.assertGreaterEqual(count, 3)
        today = time.strftime("%Y-%m-%d")
        self.assertGreaterEqual(int(re.search(rf"^  {today}  (\d+)$", stats.stdout, re.M).group(1)), 4)
        self.assertRegex(stats.stdout, r"uploads per key \(last 30 days\):\n  -  \d+")
        self.assertNotIn(shown, admin("list", *store, "--days", "1").stdout)


if __name__ == "__main__":
    unittest.main()


class KeyOnTheWireTest(unittest.TestCase):
    """Over TLS the key is nowhere in what crosses the wire: every byte between the client and
    the service passes a recorder in the middle."""

    def test_a_tls_upload_never_shows_its_key(self):
        import socket
        import ssl
        folder = self.enterContext(tempfile.TemporaryDirectory())
        cert, key_file = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                        "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key_file,
                        "-out", cert], check=True, capture_output=True)
        keys = os.path.join(folder, "keys")
        with open(keys, "w") as f:
            f.write(f"alice {KEY}\n")
        service = Service("--upload-keys", keys, "--tls-cert", cert, "--tls-key", key_file, "--verbose")
        self.addCleanup(service.cleanup)
        wire = bytearray()
        lock = threading.Lock()

        def relay(source, target):
            while True:
                try:
                    chunk = source.recv(65536)
                except OSError:
                    chunk = b""
                if not chunk:
                    break
                with lock:
                    wire.extend(chunk)
                target.sendall(chunk)
            for sock in (source, target):
                try:
                    sock.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass

        def recorder(port):
            listener = socket.create_server(("127.0.0.1", 0))
            self.addCleanup(listener.close)

            def serve():
                while True:
                    try:
                        client, _ = listener.accept()
                    except OSError:
                        return
                    server = socket.create_connection(("127.0.0.1", port))
                    for pair in ((client, server), (server, client)):
                        threading.Thread(target=relay, args=pair, daemon=True).start()
            threading.Thread(target=serve, daemon=True).start()
            return listener.getsockname()[1]

        http_port = recorder(service.http_port)
        ftp_port = recorder(service.ftp_port)
        context = ssl.create_default_context(cafile=cert)
        conn = http.client.HTTPSConnection("127.0.0.1", http_port, context=context, timeout=10)
        conn.request("GET", "/usercheck.cgi?op=chk&sid=WIRE", headers={"X-Quiblo-Key": KEY})
        self.assertTrue(conn.getresponse().read().startswith(b"success"))
        code = service.new_code()
        client = ftplib.FTP_TLS(context=context)
        client.connect("127.0.0.1", ftp_port, timeout=10)
        client.login("quiblo", f"{PASSWORD_1_3}:{KEY}")
        client.prot_p()
        client.set_pasv(True)
        # The data connection goes straight to the service's passive port: only the control
        # connection, which carries the login, passes the recorder.
        client.storbinary(f"STOR {code}.png", io.BytesIO(picture(7)))
        client.quit()
        conn.request("GET", f"/recode.cgi?op=rec&pngcode={code}&delid={DELID}&sid=WIRE",
                     headers={"X-Quiblo-Key": KEY})
        self.assertTrue(conn.getresponse().read().startswith(b"success"))
        conn.close()
        with lock:
            recorded = bytes(wire)
        self.assertGreater(len(recorded), 2000)  # the handshakes, the requests and the login passed
        self.assertNotIn(KEY.encode(), recorded)
        self.assertNotIn(b"X-Quiblo-Key", recorded)
        self.assertNotIn(KEY, service.complaints())
