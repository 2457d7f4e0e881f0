#!/usr/bin/python3
"""The reference service, tested as the program meets it: a real server
process on free loopback ports, spoken to over HTTP and FTP."""

import base64
import contextlib
import errno
import ftplib
import http.client
import io
import json
import os
import re
import signal
import socket
import subprocess
import tempfile
import threading
import time
import unittest

from tests.server import harness, pngs
from tests.server.harness import (DELID, HOST, PASSWORD_1_2, PASSWORD_1_3, REAL_SERVICE, SERVICE, Service,
                                  setUpModule, tearDownModule)

__all__ = ["setUpModule", "tearDownModule"]  # a store of this run's own, as the harness says


class ServiceTestCase(unittest.TestCase):
    options = ()

    @classmethod
    def setUpClass(cls):
        cls.service = Service(*cls.options)
        cls.addClassCleanup(cls.service.cleanup)

    @classmethod
    def tearDownClass(cls):
        assert cls.service.complaints() == "", cls.service.complaints()

    def setUp(self):
        self.service.control(action="reset")


class UsageLimitTest(ServiceTestCase):
    def test_ten_uploads_then_a_refusal_with_a_message(self):
        s = self.service
        for used in range(10):
            self.assertEqual(s.usercheck("001A2B3C4D5E"), ["success", "OK", str(used), "10", "24"])
            self.assertEqual(s.recode(s.upload(), "001A2B3C4D5E")[0], "success")

        reply = s.usercheck("001A2B3C4D5E")
        self.assertEqual(len(reply), 6)
        self.assertEqual(reply[:5], ["error", "LIMIT_REACHED", "10", "10", "24"])
        self.assertIn("上限", reply[5])
        self.assertIn("24時間に10回", reply[5])

        # The registration itself is refused too, and the refused file is not kept.
        late = s.upload()
        self.assertEqual(s.recode(late, "001A2B3C4D5E")[:2], ["error", "LIMIT_REACHED"])
        self.assertIsNone(s.stored(late))
        # Other users are counted apart.
        self.assertEqual(s.usercheck("DEFAULT"), ["success", "OK", "0", "10", "24"])

    def test_refusal_message_is_shift_jis_text(self):
        s = self.service
        for _ in range(10):
            s.recode(s.upload(), "CP932CP932CP")
        status, content_type, body = s.get("/usercheck.cgi?op=chk&sid=CP932CP932CP")
        self.assertEqual(content_type, "text/plain; charset=Shift_JIS")
        self.assertIn("アップロード回数の上限".encode("cp932"), body)
        with self.assertRaises(UnicodeDecodeError):
            body.decode("utf-8")
        # Lines of the message are CR LF, and nothing trails the last field.
        self.assertIn(b"\r\n", body)
        self.assertFalse(body.endswith(b"\n"))

    def test_the_window_slides(self):
        s = self.service
        s.recode(s.upload(), "AABBCCDDEEFF")
        s.control(action="clock", offset=12 * 3600)
        s.recode(s.upload(), "AABBCCDDEEFF")
        self.assertEqual(s.usercheck("AABBCCDDEEFF")[2], "2")
        s.control(action="clock", offset=24 * 3600 + 60)  # the first use has left the window
        self.assertEqual(s.usercheck("AABBCCDDEEFF")[2], "1")
        s.control(action="clock", offset=36 * 3600 + 60)
        self.assertEqual(s.usercheck("AABBCCDDEEFF")[2], "0")

    def test_unusable_requests_get_a_six_field_error(self):
        for path in ("/usercheck.cgi?op=chk&sid=", "/usercheck.cgi?op=chk", "/usercheck.cgi?op=chk&sid=AB%7CCD",
                     "/usercheck.cgi?op=add&sid=AABBCCDDEEFF"):
            with self.subTest(path=path):
                reply = self.service.fields(path)
                self.assertEqual(reply[0], "error")
                self.assertEqual(len(reply), 6)
                self.assertTrue(reply[5])


class ConfiguredWindowTest(ServiceTestCase):
    options = ("--window-hours", "0.5", "--max-uploads", "1")

    def test_reply_and_limit_follow_the_options(self):
        s = self.service
        self.assertEqual(s.usercheck("001A2B3C4D5E"), ["success", "OK", "0", "1", "0.5"])
        s.recode(s.upload(), "001A2B3C4D5E")
        reply = s.usercheck("001A2B3C4D5E")
        self.assertEqual(reply[:5], ["error", "LIMIT_REACHED", "1", "1", "0.5"])
        s.control(action="clock", offset=31 * 60)
        self.assertEqual(s.usercheck("001A2B3C4D5E")[:3], ["success", "OK", "0"])


class ConfigFileTest(unittest.TestCase):
    """The options read from a configuration file, with the command line winning."""

    def write_config(self, text):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        path = os.path.join(folder.name, "quiblo-service.conf")
        with open(path, "w", encoding="utf-8") as file:
            file.write(text)
        return path

    def test_file_sets_options_and_the_command_line_overrides_them(self):
        config = self.write_config("# a team's host\n\nwindow-hours = 0.5\nmax-uploads = 1\n"
                                   "passive-ports = 61230-61239\nverbose = no\n")
        service = Service("--config", config, "--max-uploads", "2")
        self.addCleanup(service.cleanup)
        self.assertEqual(service.usercheck("001A2B3C4D5E"), ["success", "OK", "0", "2", "0.5"])
        with contextlib.closing(service.ftp()) as ftp:
            _, data_port = ftplib.parse227(ftp.sendcmd("PASV"))
            self.assertIn(data_port, range(61230, 61240))

    def test_a_bad_file_is_refused_with_its_line(self):
        for text, said in (("colour = blue\n", "unknown option colour"),
                           ("max-uploads\n", ":1: expected name = value"),
                           ("max-uploads = many\n", "max_uploads")):
            config = self.write_config(text)
            done = subprocess.run([SERVICE, "--config", config, "--data", "/nonexistent/x"],
                                  capture_output=True, text=True, timeout=20)
            self.assertEqual(done.returncode, 1, text)
            self.assertIn(said, done.stderr)


class RegistrationTest(ServiceTestCase):
    def test_only_an_uploaded_file_is_registered_and_counted_once(self):
        s = self.service
        code = s.new_code()
        reply = s.recode(code, "0011223344AA")
        self.assertEqual(reply[:2], ["error", "NOT_UPLOADED"])
        self.assertEqual(len(reply), 3)
        self.assertEqual(s.usercheck("0011223344AA")[2], "0")

        s.upload(code=code)
        self.assertEqual(s.recode(code, "0011223344AA")[:2], ["success", "REGISTERED"])
        self.assertEqual(s.recode(code, "0011223344AA")[:2], ["error", "ALREADY_REGISTERED"])
        self.assertEqual(s.usercheck("0011223344AA")[2], "1")

    def test_malformed_registrations_are_refused(self):
        s = self.service
        code = s.upload()
        for path in (f"/recode.cgi?op=rec&pngcode={code[1:]}&delid={DELID}&sid=AA",
                     f"/recode.cgi?op=rec&pngcode={code}&delid=2006010309050x&sid=AA",
                     f"/recode.cgi?op=del&pngcode={code}&delid={DELID}&sid=AA",
                     f"/recode.cgi?op=rec&pngcode={code}&delid={DELID}&sid="):
            with self.subTest(path=path):
                reply = s.fields(path)
                self.assertEqual(reply[0], "error")
                self.assertEqual(len(reply), 3)
        # None of them took the picture.
        self.assertEqual(s.recode(code, "AA")[0], "success")


class DeletionAndViewTest(ServiceTestCase):
    def test_view_then_delete_with_the_right_deletion_id(self):
        s = self.service
        picture = pngs.of_size(1100, 100)
        code = s.upload(picture, code="000000000000000100")
        s.recode(code, "001A2B3C4D5E")

        status, content_type, page = s.get("/view.cgi?1A")
        self.assertEqual((status, content_type), (200, "text/html; charset=UTF-8"))
        image_path = re.search(rb'<img src="([^"]+)" id="picture"', page).group(1).decode()
        self.assertEqual(s.get(image_path), (200, "image/png", picture))
        # The history window opens the decimal code: the same page.
        self.assertEqual(s.get(f"/view.cgi?{code}")[0], 200)

        self.assertEqual(s.delete(code, "20060103090508")[:2], ["error", "DELID_MISMATCH"])
        self.assertEqual(s.get("/view.cgi?1A")[0], 200)

        reply = s.delete(code)
        self.assertEqual(reply[:2], ["success", "DELETE_SUCCESS"])
        self.assertEqual(len(reply), 3)
        self.assertEqual(s.get("/view.cgi?1A")[0], 404)
        self.assertEqual(s.get(image_path)[0], 404)
        self.assertIsNone(s.stored(code))
        self.assertEqual(s.delete(code)[:2], ["error", "NOT_FOUND_FILE"])
        # The upload still counts after the deletion.
        self.assertEqual(s.usercheck("001A2B3C4D5E")[2], "1")

    def test_unknown_and_unregistered_pictures_are_not_found(self):
        s = self.service
        self.assertEqual(s.delete(s.new_code())[:2], ["error", "NOT_FOUND_FILE"])
        unregistered = s.upload()
        self.assertEqual(s.delete(unregistered)[:2], ["error", "NOT_FOUND_FILE"])
        self.assertEqual(s.get(f"/view.cgi?{unregistered}")[0], 404)
        self.assertEqual(s.get(f"/img/{unregistered}.png")[0], 404)
        for query in ("", "1.5", "01A", "zzzzzzzzzzz", "%25"):
            with self.subTest(query=query):
                status, content_type, _ = s.get(f"/view.cgi?{query}")
                self.assertEqual((status, content_type), (404, "text/html; charset=UTF-8"))

    def test_viewing_codes_are_the_base_64_picture_codes(self):
        s = self.service
        for code, view in (("000000000000000000", "0"), ("000000000000000063", "_"),
                           ("000000000000004096", "100"), ("999999999999999999", "TwJHeDo___")):
            with self.subTest(code=code):
                s.recode(s.upload(code=code), "001A2B3C4D5E")
                self.assertEqual(s.get(f"/view.cgi?{view}")[0], 200)

    def test_pages(self):
        for path in ("/", "/download.html", "/cgi-bin/forum/forum.cgi"):
            with self.subTest(path=path):
                status, content_type, body = self.service.get(path)
                self.assertEqual((status, content_type), (200, "text/html; charset=UTF-8"))
                self.assertIn("クイブロ", body.decode())
        self.assertEqual(self.service.get("/nothing.cgi")[0], 404)


class FtpTest(ServiceTestCase):
    def test_this_versions_password_is_accepted_on_loopback_passive(self):
        with self.service.ftp(PASSWORD_1_3) as client:
            self.assertEqual(client.makepasv()[0], HOST)

    def test_other_passwords_are_refused(self):
        for user, password in (("quiblo", PASSWORD_1_2), ("quiblo", ""), ("anonymous", "x@y")):
            with self.subTest(user=user, password=password):
                client = ftplib.FTP()
                client.connect(HOST, self.service.ftp_port, timeout=5)
                with client, self.assertRaisesRegex(ftplib.error_perm, "^530"):
                    client.login(user, password)

    def test_an_existing_file_is_never_overwritten(self):
        s = self.service
        code = s.upload(pngs.picture(1))
        with self.assertRaisesRegex(ftplib.error_perm, "^550"):
            s.upload(pngs.picture(2), code=code)
        self.assertEqual(s.stored(code), pngs.picture(1))
        with s.ftp() as client, self.assertRaisesRegex(ftplib.error_perm, "^5"):
            client.storbinary(f"APPE {code}.png", io.BytesIO(b"more"))

    def test_size_limit(self):
        s = self.service
        fits = s.upload(pngs.of_size(500_000, 1))
        self.assertEqual(len(s.stored(fits)), 500_000)

        code = s.new_code()
        with self.assertRaisesRegex(ftplib.error_perm, "^552"):
            s.upload(pngs.of_size(500_001, 2), code=code)
        self.assertIsNone(s.stored(code))
        self.assertEqual(s.recode(code, "AA")[:2], ["error", "NOT_UPLOADED"])
        # Nothing left behind blocks a smaller picture under the same code.
        s.upload(code=code)
        self.assertEqual(s.recode(code, "AA")[0], "success")

    def test_ftp_cut_breaks_only_the_next_upload(self):
        s = self.service
        s.control(action="ftp_cut", after=1000)
        code = s.new_code()
        with self.assertRaises(ftplib.Error):
            s.upload(pngs.of_size(5000, 3), code=code)
        self.assertIsNone(s.stored(code))
        self.assertEqual(s.recode(code, "AA")[:2], ["error", "NOT_UPLOADED"])
        whole = s.upload(pngs.of_size(5000, 4))
        self.assertEqual(len(s.stored(whole)), 5000)

    def test_ftp_full_refuses_with_452_and_keeps_nothing(self):
        s = self.service
        s.control(action="ftp_full")  # no room even to start
        code = s.new_code()
        with self.assertRaisesRegex(ftplib.error_temp, "^452 Insufficient storage space.$"):
            s.upload(code=code)
        s.control(action="ftp_full", after=1000)  # full in the middle
        with self.assertRaisesRegex(ftplib.error_temp, "^452 .*transfer aborted"):
            s.upload(pngs.of_size(5000, 5), code=code)
        self.assertIsNone(s.stored(code))
        s.upload(pngs.of_size(5000, 6), code=code)  # only the next upload was hit
        self.assertEqual(len(s.stored(code)), 5000)

    def test_ftp_rate_limits_uploads_until_lifted_or_reset(self):
        s = self.service
        s.control(expect=400, action="ftp_rate", bytes_per_second=0)
        s.control(action="ftp_rate", bytes_per_second=40000)
        start = time.monotonic()
        code = s.upload(pngs.of_size(60000, 7))
        self.assertGreater(time.monotonic() - start, 1.0)
        self.assertEqual(len(s.stored(code)), 60000)
        self.assertEqual(s.control(action="status")["ftp_received"], 60000)
        self.assertIsNone(s.control(action="ftp_rate", bytes_per_second=None)["ftp_rate"])
        s.control(action="ftp_rate", bytes_per_second=40000)
        self.assertIsNone(s.control(action="reset")["ftp_rate"])

    def test_broken_uploads_leave_nothing(self):
        s = self.service
        # STOR, then the client goes away before opening the data connection.
        abandoned = s.new_code()
        with s.ftp() as client:
            client.makepasv()
            client.putcmd(f"STOR {abandoned}.png")
            self.assertTrue(client.getresp().startswith("150"))
        # The client aborts mid-transfer.
        broken = s.new_code()
        with s.ftp() as client:
            with client.transfercmd(f"STOR {broken}.png") as data:
                data.sendall(b"\x03" * 1000)
                self.assertRegex(client.abort(), "^426")
            self.assertRegex(client.voidresp(), "^22[56]")
        self.assertIsNone(s.stored(broken))
        self.assertEqual(s.recode(broken, "AA")[:2], ["error", "NOT_UPLOADED"])
        for code in (abandoned, broken):  # the codes are free again
            s.upload(code=code)
            self.assertEqual(s.recode(code, "AA")[0], "success")

    def test_only_picture_names_are_stored(self):
        for name in ("notes.txt", "12345.png", "sub/000000000000000001.png"):
            with self.subTest(name=name), self.assertRaisesRegex(ftplib.error_perm, "^55"):
                self.service.store(name, b"x")
        for code in self.service.stored_codes():
            self.assertRegex(code, r"^[0-9]{18}(\.png)?$")


class OlderVersionTest(ServiceTestCase):
    options = ("--version", "1.4")

    def test_a_newer_service_refuses_the_older_password(self):
        client = ftplib.FTP()
        client.connect(HOST, self.service.ftp_port, timeout=5)
        with client, self.assertRaisesRegex(ftplib.error_perm, "^530"):
            client.login("quiblo", PASSWORD_1_3)


class ControlTest(ServiceTestCase):
    def test_body_answers_the_next_requests_of_one_path(self):
        s = self.service
        s.control(action="script", path="/usercheck.cgi", count=2, body="success|x|3|10|24")
        self.assertEqual(s.fields("/recode.cgi?op=x")[0], "error")  # other paths answer as usual
        for _ in range(2):
            self.assertEqual(s.usercheck("AA"), ["success", "x", "3", "10", "24"])
        self.assertEqual(s.usercheck("AA"), ["success", "OK", "0", "10", "24"])

    def test_bodies_are_sent_in_cp932_or_raw(self):
        s = self.service
        s.control(action="script", body="error|x|||| 上限です。\r\n")
        self.assertEqual(s.get("/usercheck.cgi")[2], "error|x|||| 上限です。\r\n".encode("cp932"))
        raw = b"\x00\xff|\x82\xa0" + b"A" * 32_767
        s.control(action="script", body_base64=base64.b64encode(raw).decode(), status=404,
                  content_type="application/octet-stream")
        self.assertEqual(s.get("/usercheck.cgi"), (404, "application/octet-stream", raw))
        s.control(action="script", body="")
        self.assertEqual(s.get("/usercheck.cgi"), (200, "text/plain; charset=Shift_JIS", b""))

    def test_status_alone_gives_an_html_error_page(self):
        self.service.control(action="script", status=500)
        status, content_type, body = self.service.get("/delete2.cgi?op=del")
        self.assertEqual((status, content_type), (500, "text/html; charset=UTF-8"))
        self.assertIn(b"<html", body)

    def test_stall(self):
        s = self.service
        s.control(action="script", path="/usercheck.cgi", stall=5)
        with self.assertRaises(TimeoutError):
            s.get("/usercheck.cgi?op=chk&sid=AA", timeout=1)
        # A stall holds up only its own request.
        self.assertEqual(s.get("/", timeout=2)[0], 200)
        # With no body given, the real reply follows the stall.
        s.control(action="script", stall=0.2)
        self.assertEqual(s.usercheck("AA"), ["success", "OK", "0", "10", "24"])

    def test_drop(self):
        s = self.service
        s.control(action="script", drop=True)
        with self.assertRaises(http.client.RemoteDisconnected):
            s.get("/usercheck.cgi?op=chk&sid=AA")
        s.control(action="script", drop="reset")
        with self.assertRaises(ConnectionResetError) as caught:
            s.get("/usercheck.cgi?op=chk&sid=AA")
        self.assertEqual(caught.exception.errno, errno.ECONNRESET)

        # A dropped request is not processed.
        code = s.upload()
        s.control(action="script", path="/recode.cgi", drop=True)
        with self.assertRaises(http.client.RemoteDisconnected):
            s.recode(code, "AA")
        self.assertEqual(s.recode(code, "AA")[0], "success")

    def test_part_of_a_reply_then_drop(self):
        self.service.control(action="script", body="x" * 100, partial=40, drop=True)
        with self.assertRaises(http.client.IncompleteRead) as caught:
            self.service.get("/usercheck.cgi")
        self.assertEqual(caught.exception.partial, b"x" * 40)

    def test_reset_and_status(self):
        s = self.service
        s.control(action="script", count=5, body="error")
        s.control(action="script", path="/recode.cgi", stall=1)
        self.assertEqual([p["count"] for p in s.control(action="status")["scripts"]], [5, 1])
        s.control(action="clock", offset=100 * 3600)
        answer = s.control(action="reset")
        self.assertEqual((answer["scripts"], answer["clock_offset"]), ([], 0))
        self.assertEqual(s.usercheck("AA")[0], "success")

    def test_reset_can_wipe_the_data(self):
        s = self.service
        code = s.upload()
        s.recode(code, "WIPE")
        s.control(action="reset", data=True)
        self.assertEqual(s.usercheck("WIPE")[2], "0")
        self.assertIsNone(s.stored(code))
        self.assertEqual(s.delete(code)[1], "NOT_FOUND_FILE")

    def test_bad_commands_are_refused(self):
        s = self.service
        for command in ({"action": "explode"}, {"action": "script", "stall": 1000},
                        {"action": "script", "body": "\U0001F600"}, {"action": "script", "status": 99},
                        {"action": "script", "body": "a", "body_base64": "YQ=="},
                        {"action": "script", "drop": "later"}, {"action": "clock", "offset": "soon"}):
            with self.subTest(command=command):
                self.assertFalse(s.control(expect=400, **command)["ok"])
        self.assertEqual(s.control(action="status")["scripts"], [])


class HostileReplyControlTest(ServiceTestCase):
    """The controls that make the service slow or endless, for the program's limits."""

    def raw_get(self, path):
        sock = socket.create_connection((HOST, self.service.http_port), timeout=10)
        sock.sendall(f"GET {path} HTTP/1.0\r\nHost: {HOST}\r\n\r\n".encode())
        return sock

    def test_trickle_sends_the_reply_a_few_bytes_at_a_time(self):
        body = "success|OK|0|10|24"
        self.service.control(action="script", body=body, trickle=30)
        with contextlib.closing(self.raw_get("/usercheck.cgi")) as sock:
            head = b""
            while b"\r\n\r\n" not in head:
                head += sock.recv(1)
            time.sleep(0.3)
            early = sock.recv(1000)
            self.assertLess(len(early), len(body), "the body is not there at once")
            self.assertGreater(len(early), 0)
            rest = b""
            while chunk := sock.recv(1000):
                rest += chunk
        self.assertIn(b"Content-Length: %d\r\n" % len(body), head)
        self.assertEqual(early + rest, body.encode())

    def test_huge_body_with_or_without_its_length(self):
        size = 3 * 2**20
        s = self.service
        s.control(action="script", body="success|OK|0|10|24", huge_body=size)
        status, _, body = s.get("/usercheck.cgi")
        self.assertEqual((status, len(body)), (200, size))
        self.assertEqual(body, b"success|OK|0|10|24".ljust(size, b" "))

        s.control(action="script", huge_body=size, no_length=True)
        with contextlib.closing(self.raw_get("/usercheck.cgi?op=chk&sid=AA")) as sock:
            answer = b""
            while chunk := sock.recv(1 << 16):
                answer += chunk
        head, _, body = answer.partition(b"\r\n\r\n")
        self.assertNotIn(b"Content-Length", head)
        self.assertEqual(len(body), size)
        self.assertTrue(body.startswith(b"success|OK|0|10|24  "))

    def test_a_client_that_leaves_mid_body_is_no_fault(self):
        self.service.control(action="script", huge_body=64 * 2**20)
        with contextlib.closing(self.raw_get("/")) as sock:
            sock.recv(1000)
        # The service notices on its next write and goes on serving; tearDownClass checks
        # that it logged nothing.
        self.assertEqual(self.service.get("/")[0], 200)

    def test_bad_values_are_refused(self):
        for command in ({"trickle": 0}, {"trickle": "fast"}, {"huge_body": 0},
                        {"huge_body": 1 << 40}, {"no_length": 1}):
            with self.subTest(command=command):
                self.assertFalse(self.service.control(expect=400, action="script", **command)["ok"])


class ControlSafetyTest(unittest.TestCase):
    """The control endpoint is for tests on this machine only: only the tests' own launcher has
    it, and no web page the user happens to visit reaches it."""

    @classmethod
    def setUpClass(cls):
        cls.service = Service()
        cls.addClassCleanup(cls.service.cleanup)

    def scripts(self):
        return self.service.control(action="status")["scripts"]

    def setUp(self):
        self.service.control(action="reset")
        self.command = json.dumps({"action": "script", "status": 500}).encode()
        self.own = f"{HOST}:{self.service.http_port}"

    def test_the_service_itself_has_none(self):
        service = Service(controls=False)
        self.addCleanup(service.cleanup)
        self.assertEqual(service.get("/_control")[0], 404)
        status, _ = service.post_control(self.command, {"Content-Type": "application/json"})
        self.assertEqual(status, 405)
        self.assertEqual(service.get("/usercheck.cgi?op=chk&sid=AA")[0], 200)
        for option in ("--test-controls", "--clock-offset"):
            refused = subprocess.run([REAL_SERVICE, "--data", service.data, option], capture_output=True)
            self.assertEqual(refused.returncode, 2)
            self.assertIn(b"unrecognized arguments", refused.stderr)

    def test_a_form_or_text_post_is_refused(self):
        for content_type in ("text/plain", "application/x-www-form-urlencoded",
                             "multipart/form-data; boundary=x", None):
            with self.subTest(content_type=content_type):
                headers = {"Content-Type": content_type} if content_type else {}
                status, _ = self.service.post_control(self.command, headers)
                self.assertEqual(status, 415)
        self.assertEqual(self.scripts(), [])
        status, _ = self.service.post_control(
            self.command, {"Content-Type": "application/json; charset=utf-8"})
        self.assertEqual(status, 200)

    def test_a_foreign_host_or_origin_is_refused(self):
        port = self.service.http_port
        refused = [{"Host": f"evil.example:{port}"}, {"Host": f"{HOST}:{port + 1}"},
                   {"Host": f"127.0.0.1.evil.example:{port}"},
                   {"Origin": "http://evil.example"}, {"Origin": "null"},
                   {"Origin": f"https://{self.own}"}, {"Origin": f"http://{HOST}:{port + 1}"}]
        for extra in refused:
            with self.subTest(headers=extra):
                status, _ = self.service.post_control(
                    self.command, {"Content-Type": "application/json", **extra})
                self.assertEqual(status, 403)
                conn = http.client.HTTPConnection(HOST, port, timeout=5)
                with contextlib.closing(conn):
                    conn.request("GET", "/_control", headers=extra)
                    self.assertEqual(conn.getresponse().status, 403)
        self.assertEqual(self.scripts(), [])
        for extra in ({"Host": f"localhost:{port}"}, {"Host": f"[::1]:{port}"},
                      {"Origin": f"http://{self.own}"}, {"Origin": f"http://localhost:{port}"}):
            with self.subTest(headers=extra):
                status, _ = self.service.post_control(
                    self.command, {"Content-Type": "application/json", **extra})
                self.assertEqual(status, 200)


class PendingUploadTest(ServiceTestCase):
    """Uploads that are never registered: they expire, and only so many may wait."""

    options = ("--max-pending-per-client", "2", "--max-pending", "3")

    def setUp(self):
        self.service.control(action="reset", data=True)

    def test_each_client_and_all_together_have_a_cap(self):
        s = self.service
        first = s.upload()
        s.upload()
        with self.assertRaisesRegex(ftplib.error_temp, "^452"):
            s.upload()
        other = s.upload(source="127.0.0.2")  # another client address still may
        with self.assertRaisesRegex(ftplib.error_temp, "^452"):
            s.upload(source="127.0.0.2")  # but not past the total
        self.assertEqual(len(s.stored_codes()), 3)
        # A registered picture no longer waits.
        self.assertEqual(s.recode(first, "AA")[0], "success")
        self.assertEqual(s.recode(other, "BB")[0], "success")
        s.upload(source="127.0.0.2")
        s.upload()

    def test_unregistered_uploads_expire_after_ten_minutes(self):
        s = self.service
        old = s.upload()
        s.control(action="clock", offset=9 * 60)
        young = s.upload()
        s.control(action="clock", offset=10 * 60 + 5)
        # Swept even when nothing else happens.
        deadline = time.monotonic() + 10
        while s.stored(old) is not None and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertIsNone(s.stored(old))
        self.assertEqual(s.recode(old, "AA")[:2], ["error", "NOT_UPLOADED"])
        self.assertEqual(s.recode(young, "AA")[0], "success")
        s.control(action="clock", offset=3600)
        self.assertEqual(s.get(f"/img/{young}.png")[0], 200, "registered pictures stay")
        s.upload()
        s.upload()  # the expired one no longer counts


class DeletionThrottleTest(ServiceTestCase):
    def setUp(self):
        self.service.control(action="reset", data=True)

    def registered(self):
        code = self.service.upload()
        self.assertEqual(self.service.recode(code, "AA")[0], "success")
        return code

    def test_strangers_wrong_ids_never_shut_out_the_owner(self):
        s = self.service
        code = self.registered()
        for source in ("127.0.0.2", "127.0.0.3"):
            for n in range(10):
                self.assertEqual(s.delete(code, f"2006010309{n:04d}", source=source)[1],
                                 "DELID_MISMATCH")
        self.assertEqual(s.delete(code)[1], "DELETE_SUCCESS")

    def test_wrong_ids_from_one_client_lock_its_deletions(self):
        s = self.service
        codes = [self.registered() for _ in range(6)]
        for code in codes[:5]:
            for n in range(4):
                self.assertEqual(s.delete(code, f"2006010309{n:04d}")[1], "DELID_MISMATCH")
        refused = s.delete(codes[5])  # now even the right id, from this address
        self.assertEqual(refused[:2], ["error", "TOO_MANY_ATTEMPTS"])
        self.assertIn("しばらく削除できません", refused[2])
        self.assertEqual(s.delete(codes[5], source="127.0.0.2")[1], "DELETE_SUCCESS")
        s.control(action="reset")  # tests start afresh
        self.assertEqual(s.delete(codes[0])[1], "DELETE_SUCCESS")


class HeadAndViewPageTest(ServiceTestCase):
    def test_head_answers_like_get_without_the_body(self):
        s = self.service
        code = s.upload()
        s.recode(code, "AA")
        for path in ("/", "/download.html", f"/view.cgi?{code}", f"/img/{code}.png",
                     "/usercheck.cgi?op=chk&sid=AA", "/missing"):
            with self.subTest(path=path):
                conn = http.client.HTTPConnection(HOST, s.http_port, timeout=5)
                with contextlib.closing(conn):
                    conn.request("HEAD", path)
                    response = conn.getresponse()
                    head = (response.status, response.getheader("Content-Type"),
                            int(response.getheader("Content-Length")))
                    self.assertEqual(response.read(), b"")
                status, content_type, body = s.get(path)
                self.assertEqual(head, (status, content_type, len(body)))

    def test_the_picture_fits_the_window_and_a_click_shows_it_full_size(self):
        s = self.service
        code = s.upload()
        s.recode(code, "AA")
        page = s.get(f"/view.cgi?{code}")[2].decode()
        # Without a script the click opens the picture itself; the script toggles the fit instead.
        link = re.search(r'<a class="zoom" href="([^"]+)"><img [^>]*id="picture"[^>]*></a>', page)
        self.assertEqual(link.group(1), f"/img/{code}.png")
        self.assertIn('class="fit"', link.group(0))
        style = s.get("/static/quiblo.css")
        self.assertEqual(style[:2], (200, "text/css; charset=UTF-8"))
        fit_rule = re.search(rb"#picture\.fit \{([^}]*)\}", style[2]).group(1)
        self.assertIn(b"max-width: 100%", fit_rule)
        self.assertIn(b"height: auto", fit_rule)
        self.assertIn(b'classList.toggle("fit")', s.get("/static/quiblo.js")[2])


class FtpModeTest(ServiceTestCase):
    def test_ascii_mode_stores_the_bytes_unchanged(self):
        s = self.service
        code = s.new_code()
        data = pngs.picture(13)  # its signature holds CR LF, LF and a lone CR
        with s.ftp() as client:
            client.voidcmd("TYPE A")
            with client.transfercmd(f"STOR {code}.png") as conn:
                conn.sendall(data)
            client.voidresp()
        self.assertEqual(s.stored(code), data)

    def test_feat_advertises_only_what_is_served(self):
        with self.service.ftp() as client:
            lines = client.sendcmd("FEAT").splitlines()
            features = {line.strip().split()[0] for line in lines[1:-1]}
            self.assertEqual(features, {"EPRT", "EPSV", "TVFS", "UTF8"})
            for command in ("SIZE x.png", "REST 10", "MLST", "MDTM x.png"):
                with self.subTest(command=command), self.assertRaisesRegex(ftplib.error_perm, "^50"):
                    client.sendcmd(command)
            self.assertTrue(client.makepasv()[1] > 0)


class LifecycleTest(unittest.TestCase):
    def start(self, *options, data=None):
        service = Service(*options, data=data)
        self.addCleanup(service.cleanup)
        return service

    def assert_ports_closed(self, service):
        for port in (service.http_port, service.ftp_port):
            with self.assertRaises(ConnectionRefusedError):
                socket.create_connection((HOST, port), timeout=2).close()

    def test_sigterm_stops_it_even_during_a_stall(self):
        service = self.start()
        service.control(action="script", stall=60)
        outcome = []

        def stalled_request():
            try:
                outcome.append(service.get("/", timeout=30))
            except (OSError, http.client.HTTPException) as err:
                outcome.append(err)

        thread = threading.Thread(target=stalled_request)
        thread.start()
        time.sleep(0.3)  # let the request reach its stall
        self.assertEqual(service.stop(signal.SIGTERM), 0)  # stop() gives up after 10 s
        thread.join(5)
        self.assertFalse(thread.is_alive())
        self.assertIsInstance(outcome[0], (OSError, http.client.HTTPException))  # no reply
        self.assert_ports_closed(service)

    def test_sigint_stops_it(self):
        service = self.start()
        self.assertEqual(service.stop(signal.SIGINT), 0)
        self.assert_ports_closed(service)

    def test_state_survives_a_restart(self):
        first = self.start()
        code = first.upload()
        first.recode(code, "RESTART")
        self.assertEqual(first.stop(), 0)
        second = self.start(data=first.data)
        self.assertEqual(second.usercheck("RESTART")[2], "1")
        self.assertEqual(second.get(f"/view.cgi?{code}")[0], 200)


class OneClientCannotShutTheServiceTest(unittest.TestCase):
    """Connections and uploads that one client holds on to do not keep others out."""

    def start(self, *options):
        service = Service(*options)
        self.addCleanup(service.cleanup)
        return service

    def banner(self, service, source="127.0.0.1"):
        sock = socket.create_connection((HOST, service.ftp_port), timeout=5,
                                        source_address=(source, 0))
        self.addCleanup(sock.close)
        return sock, sock.recv(200).decode()

    def test_one_address_holds_no_more_than_its_share_of_connections(self):
        service = self.start("--max-ftp-connections-per-address", "3")
        for _ in range(3):
            self.assertTrue(self.banner(service)[1].startswith("220 "))
        self.assertTrue(self.banner(service)[1].startswith("421 "))
        self.assertTrue(self.banner(service, "127.0.0.2")[1].startswith("220 "),
                        "another address is shut out")

    def test_idle_control_connection_is_closed(self):
        service = self.start("--ftp-idle-seconds", "1")
        sock, banner = self.banner(service)
        self.assertTrue(banner.startswith("220 "))
        sock.settimeout(10)
        said = b""
        while chunk := sock.recv(200):
            said += chunk
        self.assertTrue(said.startswith(b"421 "), said)

    def test_upload_trickled_past_its_deadline_is_dropped_and_no_longer_counts(self):
        service = self.start("--upload-seconds", "2", "--max-pending", "1")
        code = service.new_code()
        client = service.ftp()
        self.addCleanup(client.close)
        data = client.transfercmd(f"STOR {code}.png")
        self.addCleanup(data.close)
        data.settimeout(0.5)
        cut = False
        for _ in range(40):  # a byte every quarter second: ten seconds, were it not cut
            try:
                data.send(b"x")
            except OSError:
                cut = True
                break
            time.sleep(0.25)
        self.assertTrue(cut or data.recv(1) == b"", "the trickling upload went on")
        with self.assertRaises(ftplib.error_temp) as refused:
            client.voidresp()
        self.assertTrue(str(refused.exception).startswith("426"), refused.exception)
        self.assertEqual(service.stored_codes(), [])
        service.upload()  # the dropped upload holds no place among the waiting


class CrashRecoveryTest(unittest.TestCase):
    def test_service_killed_during_an_upload_starts_clean(self):
        first = Service()
        self.addCleanup(first.cleanup)
        code = first.new_code()
        client = first.ftp()
        data = client.transfercmd(f"STOR {code}.png")
        data.sendall(b"\x89PNG part of a picture")
        time.sleep(0.3)  # the bytes reach the service
        first.stop(signal.SIGKILL)
        data.close()
        client.close()
        orphan = first.new_code()
        if not harness.DATABASE:  # left as a crash could leave it too: a whole file whose row never came
            with open(os.path.join(first.data, "pictures", f"{orphan}.png"), "wb") as f:
                f.write(b"\x89PNG whole, but never recorded")

        second = Service(data=first.data)
        self.addCleanup(second.cleanup)
        self.assertEqual(second.stored_codes(), [])
        second.upload(code=code)  # the same code is free again
        self.assertEqual(second.recode(code, "CRASH")[0], "success")
        self.assertEqual(second.stored_codes(), [code] if harness.DATABASE else [f"{code}.png"])


if __name__ == "__main__":
    unittest.main()
