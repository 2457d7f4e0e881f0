"""The whole exchange on the HTTP port: the program's upload over HTTP (with FTP off), the API that
other tools use (curl, a ShareX custom uploader), link previews and thumbnails, and a lifetime the
uploader chooses."""

import calendar
import contextlib
import html.parser
import http.client
import json
import os
import socket
import struct
import subprocess
import tempfile
import time
import unittest
import urllib.parse
import uuid

from tests.server.harness import DELID, HOST, PASSWORD_1_3, REAL_SERVICE, KeyedService, Service
from tests.server.pngs import picture
from tests.server.postgres import PostgresServer

KEY = "team-key-0123456789abcdef"


def request(service, method, path, body=None, headers=None):
    """(status, headers as a dict of lower-case names, body) of one request."""
    conn = http.client.HTTPConnection(HOST, service.http_port, timeout=10)
    with contextlib.closing(conn):
        conn.request(method, path, body, headers or {})
        response = conn.getresponse()
        return response.status, {k.lower(): v for k, v in response.getheaders()}, response.read()


def local_path(url):
    """The path and query of an address the service gave, to ask the service itself."""
    parts = urllib.parse.urlsplit(url)
    return parts.path + ("?" + parts.query if parts.query else "")


def multipart(fields):
    """(content type, body) of a multipart/form-data form; a bytes value is a file."""
    boundary = uuid.uuid4().hex
    body = b""
    for name, value in fields.items():
        filename = '; filename="picture.png"' if isinstance(value, bytes) else ""
        data = value if isinstance(value, bytes) else value.encode()
        body += (f"--{boundary}\r\nContent-Disposition: form-data; name=\"{name}\"{filename}\r\n\r\n"
                 .encode() + data + b"\r\n")
    return f"multipart/form-data; boundary={boundary}", body + f"--{boundary}--\r\n".encode()


def png_width(data):
    return struct.unpack(">I", data[16:20])[0]


class KeyFile:
    def key_file(self):
        path = os.path.join(self.enterContext(tempfile.TemporaryDirectory()), "keys")
        with open(path, "w") as f:
            f.write(f"team {KEY}\n")
        return path


class ProgramUploadOverHttpTest(KeyFile, unittest.TestCase):
    def setUp(self):
        self.service = KeyedService(self.key_file(), "--no-ftp", "--max-pending-per-client", "2")
        self.addCleanup(self.service.cleanup)

    def put(self, code, data, key=KEY, password=PASSWORD_1_3):
        headers = {"X-Quiblo-Password": password}
        if key:
            headers["X-Quiblo-Key"] = key
        return request(self.service, "PUT", f"/upload/{code}.png", data, headers)

    def test_the_upload_comes_over_http_alone_with_the_rules_of_ftp(self):
        s = self.service
        self.assertIsNone(s.ftp_port)  # `ftp=off`: one port
        status, headers, _ = request(s, "GET", "/usercheck.cgi?op=chk&sid=ONEPORT", headers={"X-Quiblo-Key": KEY})
        self.assertEqual((status, headers.get("x-quiblo-upload")), (200, "/upload/"))
        code, data = s.new_code(), picture(7, 640, 400)
        self.assertEqual(self.put(code, data)[0], 201)
        self.assertEqual(s.recode_with(KEY, code, "ONEPORT")[0], "success")
        self.assertEqual(request(s, "GET", f"/img/{code}.png")[2], data)

        # An older program's password is refused, as at the FTP login.
        self.assertEqual(self.put(s.new_code(), data, password="qbl03151337")[0], 403)
        other = s.new_code()
        for sent, key, expected in ((data, KEY, 409), (data, "wrong-key-0123456789abcdef", 401),
                                    (b"\x89PNG not a picture", KEY, 415),
                                    (b"\x89PNG" + bytes(500_000), KEY, 413)):
            target = code if expected == 409 else other
            with self.subTest(expected=expected):
                status, _, body = self.put(target, sent, key)
                self.assertEqual(status, expected, body)
        self.assertIsNone(s.stored(other))
        # The pending cap: two wait for their registration, the third is told to come back.
        for n in range(2):
            self.assertEqual(self.put(s.new_code(), picture(n))[0], 201)
        self.assertEqual(self.put(s.new_code(), picture(3))[0], 429)
        # A body announced without its length is refused before it is read.
        with socket.create_connection((HOST, s.http_port), timeout=5) as sock:
            sock.sendall(f"PUT /upload/{s.new_code()}.png HTTP/1.1\r\nHost: x\r\nX-Quiblo-Key: {KEY}\r\n"
                         f"X-Quiblo-Password: {PASSWORD_1_3}\r\n"
                         "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n".encode())
            self.assertRegex(sock.recv(64), rb"^HTTP/1\.[01] 411 ")

    def test_an_ftp_service_still_serves_ftp_and_offers_http(self):
        with_ftp = Service()
        self.addCleanup(with_ftp.cleanup)
        self.assertEqual(with_ftp.recode(with_ftp.upload(picture(1)), "BOTH")[0], "success")
        status, headers, _ = request(with_ftp, "GET", "/usercheck.cgi?op=chk&sid=BOTH")
        self.assertEqual(headers.get("x-quiblo-upload"), "/upload/")


class HeadParser(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.meta, self.links = {}, {}

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "meta":
            self.meta[attrs.get("property") or attrs.get("name")] = attrs.get("content")
        elif tag == "link":
            self.links[attrs.get("type")] = attrs.get("href")


class ApiTest(KeyFile, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.database = PostgresServer()
        cls.addClassCleanup(cls.database.stop)

    def setUp(self):
        self.keys = self.key_file()
        self.service = KeyedService(self.keys, "--database", self.database.new_database(), "--max-uploads", "3",
                                    "--public-url", "https://shots.example.org", storage=False)
        self.addCleanup(self.service.cleanup)
        self.url = f"http://{HOST}:{self.service.http_port}/api/upload"
        self.file = os.path.join(self.enterContext(tempfile.TemporaryDirectory()), "picture.png")

    def curl(self, *args, data=picture(9, 800, 500)):
        with open(self.file, "wb") as f:
            f.write(data)
        done = subprocess.run(["curl", "-sS", "-w", "\n%{http_code}", *args, self.url], capture_output=True,
                              text=True, timeout=30, cwd=os.path.dirname(self.file))
        body, _, status = done.stdout.rpartition("\n")
        return int(status), json.loads(body)

    def test_curl_uploads_multipart_and_raw_and_each_refusal_is_json(self):
        bearer = ["-H", f"Authorization: Bearer {KEY}"]
        status, answer = self.curl(*bearer, "-F", "file=@picture.png")
        self.assertEqual(status, 200, answer)
        self.assertTrue(answer["url"].startswith("https://shots.example.org/view.cgi?"))
        self.assertEqual(request(self.service, "GET", local_path(answer["image_url"]))[2], picture(9, 800, 500))
        status, answer = self.curl("-H", f"X-Quiblo-Key: {KEY}", "--data-binary", "@picture.png",
                                   "-H", "Content-Type: image/png")
        self.assertEqual(status, 200, answer)
        for args, data, expected in ((["-F", "file=@picture.png"], picture(1), 401),
                                     ([*bearer, "-F", "file=@picture.png"], b"\x89PNG" + bytes(600_000), 413),
                                     ([*bearer, "-F", "file=@picture.png"], b"GIF89a not a png", 415),
                                     ([*bearer, "-F", "file=@picture.png", "-F", "expires=soon"], picture(2), 400),
                                     ([*bearer, "-F", "file=@picture.png"], picture(3), 200),
                                     ([*bearer, "-F", "file=@picture.png"], picture(4), 429)):
            with self.subTest(expected=expected):
                status, answer = self.curl(*args, data=data)
                self.assertEqual(status, expected, answer)
                self.assertIn("error" if expected != 200 else "url", answer)
        self.database.halt()
        try:
            self.assertEqual(self.curl(*bearer, "-F", "file=@picture.png")[0], 503)
        finally:
            self.database.start()

    def test_without_keys_each_address_has_its_own_limit(self):
        open_service = Service("--max-uploads", "1")
        self.addCleanup(open_service.cleanup)
        self.url = f"http://{HOST}:{open_service.http_port}/api/upload"
        self.assertEqual(self.curl("-F", "file=@picture.png")[0], 200)
        self.assertEqual(self.curl("-F", "file=@picture.png")[0], 429)
        self.assertEqual(self.curl("--interface", "127.0.0.2", "-F", "file=@picture.png")[0], 200)

    def test_a_sharex_uploader_file_is_followed_as_a_custom_uploader_client_does(self):
        done = subprocess.run([REAL_SERVICE, "client-config", "--upload-keys", self.keys, "--key", "team",
                               "--public-url", f"http://{HOST}:{self.service.http_port}"],
                              capture_output=True, text=True, timeout=30)
        uploader = json.loads(done.stdout)
        self.assertEqual((uploader["DestinationType"], uploader["RequestMethod"], uploader["Body"]),
                         ("ImageUploader", "POST", "MultipartFormData"))
        data = picture(5, 1280, 720)
        content_type, body = multipart({uploader["FileFormName"]: data})
        target = urllib.parse.urlsplit(uploader["RequestURL"])
        status, _, answer = request(self.service, uploader["RequestMethod"], target.path, body,
                                    {**uploader["Headers"], "Content-Type": content_type})
        self.assertEqual(status, 200, answer)
        answer = json.loads(answer)

        def field(template):  # "{json:url}" -> answer["url"]
            self.assertTrue(template.startswith("{json:") and template.endswith("}"))
            return answer[template[6:-1]]
        url, thumbnail, deletion = (field(uploader[name]) for name in ("URL", "ThumbnailURL", "DeletionURL"))
        self.assertEqual(request(self.service, "GET", local_path(url))[0], 200)
        status, headers, small = request(self.service, "GET", local_path(thumbnail))
        self.assertEqual((status, headers["content-type"]), (200, "image/png"))
        self.assertEqual(png_width(small), 320)
        status, _, page = request(self.service, "GET", local_path(deletion))
        self.assertIn(b'method="post"', page)
        self.assertEqual(request(self.service, "GET", local_path(url))[0], 200)  # asking deletes nothing
        status, headers, _ = request(self.service, "POST", local_path(deletion), b"",
                                     {"Content-Type": "application/x-www-form-urlencoded"})
        self.assertEqual((status, headers["location"]), (303, local_path(deletion) + "/done"))
        self.assertEqual(request(self.service, "GET", headers["location"])[0], 200)
        for gone in (url, thumbnail, deletion):
            self.assertEqual(request(self.service, "GET", local_path(gone))[0], 404)
        # Another picture's page with a wrong deletion id shows nothing, and deletes nothing.
        other = json.loads(request(self.service, "POST", target.path, body,
                                   {**uploader["Headers"], "Content-Type": content_type})[2])
        wrong = local_path(other["deletion_url"])[:-1] + ("0" if other["deletion_url"][-1] != "0" else "1")
        self.assertEqual(request(self.service, "GET", wrong)[0], 404)
        self.assertEqual(request(self.service, "HEAD", wrong)[0], 404)
        self.assertEqual(request(self.service, "POST", wrong, b"", {"Content-Length": "0"})[0], 404)
        self.assertEqual(request(self.service, "GET", local_path(other["image_url"]))[0], 200)
        # Wrong ids are throttled on the page too: past the limit even the right one shows nothing.
        for _ in range(20):
            request(self.service, "GET", wrong)
        self.assertEqual(request(self.service, "GET", local_path(other["deletion_url"]))[0], 429)


class PreviewAndLifetimeTest(unittest.TestCase):
    def setUp(self):
        self.service = Service("--keep-days", "28", "--public-url", "https://shots.example.org")
        self.addCleanup(self.service.cleanup)

    def api(self, data, expires):
        content_type, body = multipart({"file": data, "expires": expires})
        status, _, answer = request(self.service, "POST", "/api/upload", body, {"Content-Type": content_type})
        self.assertEqual(status, 200, answer)
        return json.loads(answer)

    def test_the_viewing_page_carries_its_preview_and_oembed_answers(self):
        answer = self.api(picture(4, 1024, 600), "7d")
        status, _, page = request(self.service, "GET", local_path(answer["url"]))
        head = HeadParser()
        head.feed(page.decode())
        self.assertEqual(head.meta["og:image"], answer["image_url"])
        self.assertTrue(head.meta["og:image"].startswith("https://shots.example.org/img/"))
        self.assertEqual((head.meta["og:image:width"], head.meta["og:image:height"]), ("1024", "600"))
        self.assertEqual((head.meta["og:type"], head.meta["twitter:card"]), ("website", "summary_large_image"))
        self.assertTrue(head.meta["og:title"])
        status, _, embed = request(self.service, "GET", local_path(head.links["application/json+oembed"]))
        embed = json.loads(embed)
        self.assertEqual((embed["type"], embed["url"], embed["width"], embed["height"]),
                         ("photo", answer["image_url"], 1024, 600))

    def test_a_lifetime_of_an_hour_is_swept_after_an_hour_and_a_week_stays(self):
        s = self.service
        hour, week = self.api(picture(1), "1h"), self.api(picture(2), "7d")
        program = s.upload(picture(3))
        self.assertEqual(s.fields(f"/recode.cgi?op=rec&pngcode={program}&delid={DELID}&sid=LIFE&expires=1h")[0],
                         "success")
        status, _, page = request(s, "GET", local_path(week["url"]))
        due = week["expires"][:10].split("-")
        self.assertIn(f"この画像は {int(due[0])}年{int(due[1])}月{int(due[2])}日 に自動削除されます。", page.decode())
        s.control(action="clock", offset=3600 + 60)
        swept = s.control(action="sweep")["swept"]
        self.assertEqual(sorted(swept), sorted([program, local_path(hour["image_url"])[5:23]]))
        for gone in (hour["url"], hour["image_url"], hour["thumbnail_url"], f"/img/{program}.png"):
            self.assertEqual(request(s, "GET", local_path(gone))[0], 404)
        self.assertEqual(request(s, "GET", local_path(week["image_url"]))[0], 200)
        # A lifetime past the keeping time is cut to it.
        longest = calendar.timegm(time.strptime(self.api(picture(6), "400d")["expires"], "%Y-%m-%dT%H:%M:%SZ"))
        self.assertLessEqual(longest, time.time() + 3600 + 60 + 28 * 86400 + 5)


if __name__ == "__main__":
    unittest.main()
