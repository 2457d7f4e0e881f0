"""The team's page, /my, as members and an admin use it in headless Chromium: signing in with an
upload key, uploading by the file box, a drop and a paste, finding, opening, copying and deleting
their pictures, and signing out; each sees only their own, an admin sees all. Forms sent from
another site change nothing, a revoked key's session ends, and wrong keys count as wrong guesses."""

import base64
import http.client
import json
import os
import signal
import tempfile
import time
import unittest
import urllib.parse

from selenium.common.exceptions import WebDriverException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

from tests.server.harness import HOST, KeyedService, Service
from tests.server.pngs import picture
from tests.server.test_web_pages import DESKTOP, PHONE, SCREENSHOTS, browser

BOB = "bob-key-0123456789abcdef"
ALICE = "alice-key-0123456789abcdef"

DROP = """
const [name, data, kind] = arguments;
const bytes = Uint8Array.from(atob(data), c => c.charCodeAt(0));
const transfer = new DataTransfer();
transfer.items.add(new File([bytes], name, {type: "image/png"}));
const target = document.querySelector("main");
if (kind === "drop") {
  target.dispatchEvent(new DragEvent("dragover", {bubbles: true, cancelable: true, dataTransfer: transfer}));
  target.dispatchEvent(new DragEvent("drop", {bubbles: true, cancelable: true, dataTransfer: transfer}));
} else {
  target.dispatchEvent(new ClipboardEvent("paste", {bubbles: true, cancelable: true, clipboardData: transfer}));
}
"""


class TeamPageTest(unittest.TestCase):
    def setUp(self):
        self.folder = self.enterContext(tempfile.TemporaryDirectory())
        self.keys = os.path.join(self.folder, "keys")
        with open(self.keys, "w") as f:
            f.write(f"alice {ALICE} admin\nbob {BOB}\n")
        self.service = KeyedService(self.keys, "--max-uploads", "100")
        self.addCleanup(self.service.cleanup)
        self.base = f"http://{HOST}:{self.service.http_port}"

    def browse(self, language="en", size=DESKTOP, javascript=True):
        driver = browser(language, size, javascript)
        self.addCleanup(driver.quit)
        return driver

    def sign_in(self, driver, key):
        driver.get(self.base + "/my")
        driver.find_element(By.ID, "key").send_keys(key)
        driver.find_element(By.CSS_SELECTOR, "form[action='/my/sign-in'] button").click()
        WebDriverWait(driver, 20).until(lambda d: d.find_elements(By.CSS_SELECTOR, "form[action='/my/sign-out']"))

    def file(self, seed, width=64, height=48):
        path = os.path.join(self.folder, f"shot-{seed}.png")
        with open(path, "wb") as f:
            f.write(picture(seed, width, height))
        return path

    def tiles(self, driver):
        """The codes of the grid's tiles, read again while the page changes under the reading."""
        for _ in range(50):
            try:
                return driver.execute_script(
                    "return Array.from(document.querySelectorAll('li.tile'), tile => tile.id.slice(5))")
            except WebDriverException:  # a page going as the next one comes
                time.sleep(0.1)
        raise AssertionError("the grid did not settle")

    def wait_for_tiles(self, driver, count):
        # The page reloads when the script's uploads are done: a tile may go stale as it is read.
        WebDriverWait(driver, 60).until(lambda d: len(self.tiles(d)) == count)

    def status(self, path):
        return self.service.get(path)[0]

    def test_a_member_uploads_three_ways_finds_copies_opens_deletes_and_signs_out(self):
        driver = self.browse("en")
        self.sign_in(driver, BOB)
        self.assertIn("Signed in as bob", driver.page_source)
        self.assertNotIn(BOB, driver.page_source + driver.current_url)
        driver.find_element(By.ID, "pictures").send_keys(self.file(1))
        driver.find_element(By.CSS_SELECTOR, "#upload button[type=submit]").click()
        self.wait_for_tiles(driver, 1)
        for seed, kind in ((2, "drop"), (3, "paste")):
            driver.execute_script(DROP, f"{kind}.png", base64.b64encode(picture(seed, 64, 48)).decode(), kind)
            self.wait_for_tiles(driver, seed)
        self.keep(driver, "my-en-1280x800")
        codes = self.tiles(driver)
        sent = {picture(seed, 64, 48) for seed in (1, 2, 3)}
        self.assertEqual({self.service.get(f"/img/{code}.png")[2] for code in codes}, sent)
        # Copy a link, and open it.
        driver.execute_cdp_cmd("Browser.grantPermissions", {
            "origin": self.base, "permissions": ["clipboardReadWrite", "clipboardSanitizedWrite"]})
        driver.find_element(By.CSS_SELECTOR, f"#tile-{codes[0]} button[data-copy]").click()
        copied = driver.execute_async_script(
            "navigator.clipboard.readText().then(arguments[0], () => arguments[0](null))")
        self.assertEqual(urllib.parse.urlsplit(copied).path, "/view.cgi")
        driver.find_element(By.CSS_SELECTOR, f"#tile-{codes[0]} .actions a:not(.delete)").click()
        self.assertEqual(driver.current_url, copied)
        driver.back()
        # Delete asks first; the tile goes at once, and so does the picture everywhere.
        driver.find_element(By.CSS_SELECTOR, f"#tile-{codes[1]} a.delete").click()
        driver.switch_to.alert.accept()
        WebDriverWait(driver, 10).until(lambda d: codes[1] not in self.tiles(d))
        for path in (f"/img/{codes[1]}.png", f"/thumb/{codes[1]}.png", f"/view.cgi?{codes[1]}"):
            self.assertEqual(self.status(path), 404, path)
        driver.find_element(By.CSS_SELECTOR, "form[action='/my/sign-out'] button").click()
        WebDriverWait(driver, 20).until(lambda d: d.find_elements(By.ID, "key"))  # asked for the key again
        driver.get(self.base + "/my")
        self.assertTrue(driver.find_elements(By.ID, "key"))

    def keep(self, driver, name):
        os.makedirs(SCREENSHOTS, exist_ok=True)
        with open(os.path.join(SCREENSHOTS, name + ".png"), "wb") as f:
            f.write(base64.b64decode(driver.get_screenshot_as_base64()))

    def test_in_japanese_on_a_phone_and_without_javascript(self):
        driver = self.browse("ja", PHONE, javascript=False)
        self.sign_in(driver, BOB)
        self.assertIn("bob でログイン中", driver.page_source)
        driver.find_element(By.ID, "pictures").send_keys(self.file(4))
        driver.find_element(By.CSS_SELECTOR, "#upload button[type=submit]").click()
        self.wait_for_tiles(driver, 1)
        self.assertIn("アップロードした画像: 1枚", driver.page_source)
        self.assertTrue(driver.execute_script("return document.documentElement.scrollWidth <= window.innerWidth"))
        self.keep(driver, "my-ja-390x844")

    def test_each_member_sees_their_own_and_the_admin_sees_and_deletes_all(self):
        bob, alice = self.browse(), self.browse()
        self.sign_in(bob, BOB)
        bob.find_element(By.ID, "pictures").send_keys(self.file(5))
        bob.find_element(By.CSS_SELECTOR, "#upload button[type=submit]").click()
        self.wait_for_tiles(bob, 1)
        self.sign_in(alice, ALICE)
        self.assertEqual(self.tiles(alice), [])  # bob's is not alice's
        bobs = self.tiles(bob)
        alice.get(self.base + "/admin")
        self.assertEqual(self.tiles(alice), bobs)
        self.assertIn("bob", alice.find_element(By.CSS_SELECTOR, "table.usage").text)
        self.keep(alice, "admin-en-1280x800")
        alice.find_element(By.CSS_SELECTOR, f"#tile-{bobs[0]} a.delete").click()
        alice.switch_to.alert.accept()
        WebDriverWait(alice, 10).until(lambda d: not self.tiles(d))
        self.assertEqual(self.status(f"/img/{bobs[0]}.png"), 404)
        bob.get(self.base + "/admin")
        self.assertIn("403", bob.page_source)
        self.assertNotIn(ALICE, self.service.complaints())
        self.assertIn("deleted by the admin alice", self.service.complaints())

    def post(self, path, body, headers):
        conn = http.client.HTTPConnection(HOST, self.service.http_port, timeout=10)
        conn.request("POST", path, body, headers)
        response = conn.getresponse()
        response.read()
        conn.close()
        return response

    def test_other_sites_change_nothing_a_revoked_key_ends_and_wrong_keys_are_guesses(self):
        driver = self.browse()
        self.sign_in(driver, BOB)
        driver.find_element(By.ID, "pictures").send_keys(self.file(6))
        driver.find_element(By.CSS_SELECTOR, "#upload button[type=submit]").click()
        self.wait_for_tiles(driver, 1)
        code = self.tiles(driver)[0]
        cookie = "quiblo_session=" + driver.get_cookie("quiblo_session")["value"]
        token = driver.find_element(By.CSS_SELECTOR, "input[name=token]").get_attribute("value")
        self.assertTrue(driver.get_cookie("quiblo_session")["httpOnly"])
        evil = {"Origin": "https://evil.example", "Cookie": cookie,
                "Content-Type": "application/x-www-form-urlencoded"}
        self.post(f"/my/delete/{code}", f"token={token}", evil)
        self.post("/my/sign-out", f"token={token}", evil)
        self.post("/my/sign-in", f"key={ALICE}", evil)
        self.post(f"/my/delete/{code}", "token=wrong", {**evil, "Origin": self.base})
        self.assertEqual(self.status(f"/img/{code}.png"), 200)
        driver.refresh()
        self.assertEqual(self.tiles(driver), [code])  # still signed in, nothing deleted
        # The key is taken back: the session ends at its next request.
        with open(self.keys + ".new", "w") as f:
            f.write(f"alice {ALICE} admin\n")
        os.replace(self.keys + ".new", self.keys)
        self.service.proc.send_signal(signal.SIGHUP)
        time.sleep(1)
        driver.get(self.base + "/my")
        self.assertTrue(driver.find_elements(By.ID, "key"))
        # Twenty wrong keys from one address, and then even a right one is refused.
        for _ in range(20):
            self.assertEqual(self.post("/my/sign-in", "key=wrong-key-0123456789abcdef",
                                       {"Content-Type": "application/x-www-form-urlencoded"}).status, 401)
        self.assertEqual(self.post("/my/sign-in", f"key={ALICE}",
                                   {"Content-Type": "application/x-www-form-urlencoded"}).status, 429)

    def test_a_members_pictures_come_newest_first_sixty_a_page(self):
        codes = []
        for seed in range(61):
            conn = http.client.HTTPConnection(HOST, self.service.http_port, timeout=10)
            conn.request("POST", "/api/upload", picture(seed), {"Authorization": f"Bearer {BOB}"})
            codes.append(json.loads(conn.getresponse().read())["image_url"].rsplit("/", 1)[1][:-4])
            conn.close()
        for language in ("ja", "en"):  # the sign-in page, then the grid, in both languages
            driver = self.browse(language)
            driver.get(self.base + "/my")
            self.keep(driver, f"my-sign-in-{language}-1280x800")
            self.sign_in(driver, BOB)
        self.assertEqual(self.tiles(driver), codes[:0:-1])  # the newest sixty
        driver.find_element(By.CSS_SELECTOR, "p.pages a").click()
        self.wait_for_tiles(driver, 1)
        self.assertEqual(self.tiles(driver), codes[:1])

    def test_a_member_keeps_their_own_uploader_file_and_the_key_is_in_no_page(self):
        driver = self.browse("en")
        self.sign_in(driver, BOB)
        driver.get(self.base + "/download.html")
        self.assertNotIn(BOB, driver.page_source)
        cookie = "quiblo_session=" + driver.get_cookie("quiblo_session")["value"]
        conn = http.client.HTTPConnection(HOST, self.service.http_port, timeout=10)
        conn.request("GET", driver.find_element(By.LINK_TEXT, "ShareX uploader (.sxcu)").get_attribute("href"),
                     headers={"Cookie": cookie})
        uploader = json.loads(conn.getresponse().read())
        conn.close()
        self.assertEqual(uploader["Headers"], {"Authorization": f"Bearer {BOB}"})
        self.assertEqual(self.status("/my/quiblo.sxcu"), 404)  # without a session


class WithoutAccountsTest(unittest.TestCase):
    def test_without_keys_the_page_says_so_and_takes_pictures_by_the_address(self):
        service = Service("--max-uploads", "1")
        self.addCleanup(service.cleanup)
        page = service.get("/my")[2].decode()
        self.assertIn("アカウントがありません", page)
        self.assertNotIn('name="token"', page)
        body = (b"--b\r\nContent-Disposition: form-data; name=\"pictures\"; filename=\"a.png\"\r\n\r\n"
                + picture(9) + b"\r\n--b\r\nContent-Disposition: form-data; name=\"pictures\"; "
                b"filename=\"b.png\"\r\n\r\n" + picture(10) + b"\r\n--b--\r\n")
        conn = http.client.HTTPConnection(HOST, service.http_port, timeout=10)
        # Without accounts a form from another site is refused all the same.
        conn.request("POST", "/my/upload", body, {"Content-Type": "multipart/form-data; boundary=b",
                                                  "Origin": "https://evil.example"})
        self.assertEqual(conn.getresponse().status, 403)
        conn.close()
        conn = http.client.HTTPConnection(HOST, service.http_port, timeout=10)
        conn.request("POST", "/my/upload", body, {"Content-Type": "multipart/form-data; boundary=b"})
        answer = conn.getresponse()
        location = urllib.parse.parse_qs(urllib.parse.urlsplit(answer.getheader("Location")).query)
        conn.close()
        self.assertEqual(location["uploaded"], ["1"])  # one address, one upload in the window
        self.assertIn("上限", location["refused"][0])


if __name__ == "__main__":
    unittest.main()
