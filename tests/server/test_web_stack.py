"""The service's HTTP as its clients meet it: curl, Python's urllib and Node's fetch read a
refusal, `Expect: 100-continue` is answered at once, a deletion is real for the viewer and safe
from other sites, oEmbed keeps to the consumer's size, a team's key has its own limit, the size
limit is the admin's, and slow clients keep no one out."""

import contextlib
import http.client
import io
import json
import os
import re
import resource
import socket
import subprocess
import tempfile
import time
import unittest
import urllib.error
import urllib.request

from tests.server import harness
from tests.server.harness import HOST, KeyedService, Service
from tests.server.pngs import noise, of_size, picture

KEY = "team-key-0123456789abcdef"
OTHER_KEY = "other-key-0123456789abcdef"


def setUpModule():
    harness.setUpModule()


def tearDownModule():
    harness.tearDownModule()


def request(service, method, path, body=None, headers=None):
    conn = http.client.HTTPConnection(HOST, service.http_port, timeout=30)
    with contextlib.closing(conn):
        conn.request(method, path, body, headers or {})
        response = conn.getresponse()
        return response.status, {k.lower(): v for k, v in response.getheaders()}, response.read()


def api_upload(service, data, headers=None, path="/api/upload"):
    status, _, answer = request(service, "POST", path, data, {"Content-Type": "image/png", **(headers or {})})
    return status, json.loads(answer)


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(next(line for line in f if line.startswith("VmRSS")).split()[1])


NODE_FETCH = """
const [url, size] = [process.argv[1], Number(process.argv[2])];
fetch(url, {method: "POST", body: Buffer.alloc(size), headers: {"Content-Type": "image/png"}})
  .then(async r => console.log(r.status, await r.text()))
  .catch(e => console.log("failed", e.cause ? e.cause.code : e.message));
"""


class RefusalTest(unittest.TestCase):
    def setUp(self):
        self.service = Service()
        self.addCleanup(self.service.cleanup)
        self.url = f"http://{HOST}:{self.service.http_port}/api/upload"

    def curl(self, size):
        with tempfile.NamedTemporaryFile() as body:
            body.write(bytes(size))
            body.flush()
            done = subprocess.run(["curl", "-sS", "-o", "-", "-w", "\n%{http_code}", "-H", "Content-Type: image/png",
                                   "--data-binary", f"@{body.name}", self.url],
                                  capture_output=True, text=True, timeout=60)
        return done.stdout.rsplit("\n", 1)[1] + " " + done.stdout.rsplit("\n", 1)[0] + done.stderr

    def urllib(self, size):
        try:
            urllib.request.urlopen(urllib.request.Request(self.url, bytes(size), {"Content-Type": "image/png"}),
                                   timeout=60)
        except urllib.error.HTTPError as err:
            return f"{err.code} {err.read().decode()}"
        except OSError as err:
            return f"failed {err}"
        return "accepted"

    def node(self, size):
        done = subprocess.run(["node", "-e", NODE_FETCH, self.url, str(size)], capture_output=True, text=True,
                              timeout=60)
        return done.stdout.strip() or done.stderr

    def test_each_client_reads_the_size_refusal_whole(self):
        for client in (self.curl, self.urllib, self.node):
            for size in (700_000, 12_000_000):
                with self.subTest(client=client.__name__, size=size):
                    answers = [client(size) for _ in range(10)]
                    for answer in answers:
                        self.assertRegex(answer, r"^413 .*at most 500,000 bytes")

    def test_expect_100_continue_is_answered_before_the_body(self):
        data = picture(1)
        with socket.create_connection((HOST, self.service.http_port), timeout=5) as sock:
            sock.sendall(b"POST /api/upload HTTP/1.1\r\nHost: x\r\nContent-Type: image/png\r\n"
                         b"Expect: 100-continue\r\nContent-Length: %d\r\n\r\n" % len(data))
            self.assertEqual(sock.recv(4096), b"HTTP/1.1 100 Continue\r\n\r\n")
            sock.sendall(data)
            self.assertRegex(sock.recv(4096), rb"^HTTP/1\.1 200 ")
        with socket.create_connection((HOST, self.service.http_port), timeout=5) as sock:
            sock.sendall(b"PUT /upload/000000000000000001.png HTTP/1.1\r\nHost: x\r\n"
                         b"Expect: 100-continue\r\nContent-Length: 12000000\r\n\r\n")
            answer = b""
            while b"bytes." not in answer:  # the head and the body may come apart
                answer += sock.recv(4096) or b"(closed)bytes."
            self.assertRegex(answer, rb"(?s)^HTTP/1\.1 413 .*\r\n\r\n413 File too large: at most 500,000 bytes")


class DeletionTest(unittest.TestCase):
    def setUp(self):
        self.service = Service()
        self.addCleanup(self.service.cleanup)

    def upload(self):
        status, answer = api_upload(self.service, picture(2))
        self.assertEqual(status, 200, answer)
        return ["/" + answer[name].split("/", 3)[3] for name in ("deletion_url", "image_url")]

    def test_a_deletion_is_safe_from_other_sites_and_real_for_the_viewer(self):
        s = self.service
        deletion, image = self.upload()
        status, headers, _ = request(s, "GET", deletion)
        self.assertEqual((headers["referrer-policy"], headers["content-security-policy"]),
                         ("no-referrer", "frame-ancestors 'none'"))
        for foreign in ({"Origin": "https://evil.example"}, {"Origin": "null"},
                        {"Referer": "https://evil.example/page"}):
            with self.subTest(foreign=foreign):
                self.assertEqual(request(s, "POST", deletion, b"", foreign)[0], 403)
                self.assertEqual(request(s, "GET", image)[0], 200)  # nothing deleted
        _, headers, _ = request(s, "GET", image)
        self.assertLessEqual(int(re.search(r"max-age=(\d+)", headers["cache-control"]).group(1)), 300)
        # The page's own button: same origin; the browser follows the 303 to the result page.
        own = {"Origin": f"http://{HOST}:{s.http_port}", "Content-Type": "application/x-www-form-urlencoded"}
        status, headers, _ = request(s, "POST", deletion, b"", own)
        self.assertEqual((status, headers["location"]), (303, deletion + "/done"))
        self.assertEqual(request(s, "GET", image)[0], 404)
        for again in ("reload", "second click"):  # a reload, or a double click's second POST
            with self.subTest(again=again):
                status, headers, page = (request(s, "GET", deletion + "/done") if again == "reload"
                                         else request(s, "POST", deletion, b"", own))
                if status == 303:
                    status, headers, page = request(s, "GET", headers["location"])
                self.assertEqual(status, 200)
                self.assertIn("削除しました", page.decode())

    def test_a_script_deletes_with_a_bare_post(self):
        deletion, image = self.upload()
        done = subprocess.run(["curl", "-sS", "-o", "/dev/null", "-w", "%{http_code}", "-X", "POST",
                               f"http://{HOST}:{self.service.http_port}{deletion}"],
                              capture_output=True, text=True, timeout=30)
        self.assertEqual(done.stdout, "303")
        self.assertEqual(request(self.service, "GET", image)[0], 404)


class OembedSizeTest(unittest.TestCase):
    def test_maxwidth_and_maxheight_shrink_the_answer(self):
        s = Service("--public-url", "https://shots.example.org")
        self.addCleanup(s.cleanup)
        status, answer = api_upload(s, picture(3, 1600, 900))
        page_url = answer["url"]

        def embed(**bounds):
            query = urllib.parse.urlencode({"url": page_url, **bounds})
            return json.loads(request(s, "GET", f"/oembed?{query}")[2])
        whole = embed()
        self.assertEqual((whole["width"], whole["height"], whole["url"]), (1600, 900, answer["image_url"]))
        self.assertEqual((whole["thumbnail_width"], whole["thumbnail_height"]), (320, 180))
        for bounds, size in (({"maxwidth": 800}, (320, 180)), ({"maxwidth": 160}, (160, 90)),
                             ({"maxwidth": 1000, "maxheight": 45}, (80, 45))):
            with self.subTest(bounds=bounds):
                small = embed(**bounds)
                self.assertEqual((small["width"], small["height"]), size)
                self.assertEqual(small["url"], answer["thumbnail_url"])
                self.assertLessEqual(small["thumbnail_width"], bounds["maxwidth"])
        self.assertEqual(embed(maxwidth=4000)["url"], answer["image_url"])


class TeamLimitsTest(unittest.TestCase):
    def test_a_key_with_its_own_limit_and_a_size_limit_the_admin_sets(self):
        keys = os.path.join(self.enterContext(tempfile.TemporaryDirectory()), "keys")
        with open(keys, "w") as f:
            f.write(f"team {KEY} limit=3/2h\nother {OTHER_KEY}\n")
        s = KeyedService(keys, "--max-uploads", "1", "--max-bytes", "5000000")
        self.addCleanup(s.cleanup)
        big = noise(800, 600)  # 1.4 MB that does not compress
        for key, allowed in ((KEY, 3), (OTHER_KEY, 1)):
            with self.subTest(key=key):
                for _ in range(allowed):
                    self.assertEqual(api_upload(s, big, {"Authorization": f"Bearer {key}"})[0], 200)
                status, answer = api_upload(s, big, {"Authorization": f"Bearer {key}"})
                self.assertEqual(status, 429)
        self.assertEqual(answer["error"], "The usage limit is reached: 1 uploads in 24 hours.")
        # The program's user check tells the key's own limit, and the size limit.
        conn = http.client.HTTPConnection(HOST, s.http_port, timeout=5)
        conn.request("GET", "/usercheck.cgi?op=chk&sid=TEAMLIMIT", headers={"X-Quiblo-Key": KEY})
        response = conn.getresponse()
        self.assertEqual(response.read().decode().split("|")[:5], ["success", "OK", "0", "3", "2"])
        self.assertEqual(response.getheader("X-Quiblo-Max-Bytes"), "5000000")
        conn.close()
        # FTP keeps to the same limit.
        with s.login(KEY) as client:
            client.storbinary(f"STOR {s.new_code()}.png", io.BytesIO(of_size(4_000_000)))

    def test_a_bad_limit_in_the_key_file_refuses_the_start_with_its_line(self):
        keys = os.path.join(self.enterContext(tempfile.TemporaryDirectory()), "keys")
        with open(keys, "w") as f:
            f.write(f"team {KEY} limit=lots\n")
        done = subprocess.run([harness.REAL_SERVICE, "--data", os.path.dirname(keys), "--upload-keys", keys,
                               "--http-port", "0", "--ftp-port", "0"], capture_output=True, text=True, timeout=30)
        self.assertEqual(done.returncode, 1)
        self.assertIn(f"{keys}:1", done.stderr)


class ExistsTest(unittest.TestCase):
    def test_one_request_tells_which_codes_the_service_still_shows_and_nothing_more(self):
        keys = os.path.join(self.enterContext(tempfile.TemporaryDirectory()), "keys")
        with open(keys, "w") as f:
            f.write(f"team {KEY}\n")
        s = KeyedService(keys, "--keep-days", "1")
        self.addCleanup(s.cleanup)
        bearer = {"Authorization": f"Bearer {KEY}"}
        kept, deleted, swept = (api_upload(s, picture(n), bearer)[1] for n in range(3))
        request(s, "POST", "/" + deleted["deletion_url"].split("/", 3)[3], b"")
        code_of = {name: answer["image_url"].rsplit("/", 1)[1][:-4]
                   for name, answer in (("kept", kept), ("deleted", deleted), ("swept", swept))}
        codes = [code_of["kept"], code_of["deleted"], code_of["swept"], "123456789012345678"]
        s.control(action="clock", offset=2 * 86400)  # all run out; the sweep has not come
        status, _, answer = request(s, "POST", "/api/exists", json.dumps(codes).encode(), bearer)
        self.assertEqual(json.loads(answer), dict.fromkeys(codes, False))
        s.control(action="clock", offset=0)
        status, _, answer = request(s, "POST", "/api/exists", json.dumps(codes).encode(), bearer)
        self.assertEqual((status, json.loads(answer)),
                         (200, {codes[0]: True, codes[1]: False, codes[2]: True, codes[3]: False}))
        self.assertEqual(request(s, "POST", "/api/exists", json.dumps(codes).encode())[0], 401)
        for bad in (b"{}", b"[1]", b'["../x"]', json.dumps(["1" * 18] * 1001).encode(), b"not json"):
            with self.subTest(bad=bad[:20]):
                self.assertEqual(request(s, "POST", "/api/exists", bad, bearer)[0], 400)


class SlowClientsTest(unittest.TestCase):
    def test_800_slow_clients_from_250_addresses_keep_no_one_out(self):
        soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
        resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, 4096)), hard))
        s = Service()
        self.addCleanup(s.cleanup)
        before = rss_kib(s.proc.pid)
        slow = [socket.create_connection((HOST, s.http_port), timeout=10,
                                         source_address=(f"127.0.1.{1 + n % 250}", 0)) for n in range(800)]
        self.addCleanup(lambda: [sock.close() for sock in slow])
        head = b"GET / HTTP/1.1\r\nHost: x\r\n"
        answered = []
        for step in range(3):  # a byte of each head every 2 s, and another client in between
            for sock in slow:
                sock.sendall(head[step:step + 1])
            started = time.monotonic()
            answered.append(request(s, "GET", "/")[0])
            answered.append(time.monotonic() - started < 1)
            time.sleep(2)
        self.assertEqual(answered, [200, True] * 3)
        self.assertLess(rss_kib(s.proc.pid) - before, 200 * 1024)
        # A head that has not arrived whole within 20 s ends its connection.
        slow[0].settimeout(30)
        started = time.monotonic()
        self.assertIn(slow[0].recv(100), (b"",))
        self.assertLess(time.monotonic() - started, 25)


if __name__ == "__main__":
    unittest.main()
