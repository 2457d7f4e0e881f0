"""The pages as a person meets them, in headless Chromium driven by Selenium: at a desktop's
and a phone's size, in Japanese and in English, with and without JavaScript. Each page's
screenshot is kept in the build folder (QUIBLO_SCREENSHOTS) for a person to look at."""

import base64
import json
import os
import shutil
import tempfile
import unittest
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service as Driver
from selenium.webdriver.support.ui import WebDriverWait
from selenium.webdriver.common.by import By

from tests.server.harness import HOST, REPO, Service
from tests.server.pngs import picture

SCREENSHOTS = os.environ.get("QUIBLO_SCREENSHOTS", os.path.join(REPO, "build", "web-screenshots"))
DESKTOP, PHONE = (1280, 800), (390, 844)


def browser(language, size, javascript=True):
    """Headless Chromium whose window shows SIZE (CSS pixels), in LANGUAGE."""
    options = Options()
    options.binary_location = "/usr/bin/chromium"
    profile = tempfile.mkdtemp(prefix="quiblo-chromium-")
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--disable-quic",
                     "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     f"--user-data-dir={profile}", f"--lang={language}"):
        options.add_argument(argument)
    prefs = {"intl.accept_languages": language}
    if not javascript:
        prefs["profile.managed_default_content_settings.javascript"] = 2
    options.add_experimental_option("prefs", prefs)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Driver("/usr/bin/chromedriver"), options=options)
    quit_browser = driver.quit

    def quit_and_forget():  # the profile goes with the browser
        quit_browser()
        shutil.rmtree(profile, ignore_errors=True)
    driver.quit = quit_and_forget
    phone = size == PHONE
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": size[0], "height": size[1], "deviceScaleFactor": 3 if phone else 1, "mobile": phone})
    return driver


class PagesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(SCREENSHOTS, exist_ok=True)
        cls.downloads = tempfile.TemporaryDirectory()
        with open(os.path.join(cls.downloads.name, "quiblo_1.3_amd64.deb"), "wb") as f:
            f.write(b"!<arch>\npackage")
        cls.service = Service("--keep-days", "28", "--contact", "Alice, alice@example.org",
                              "--downloads", cls.downloads.name)
        cls.addClassCleanup(cls.service.cleanup)
        cls.addClassCleanup(cls.downloads.cleanup)
        request = urllib.request.Request(f"http://{HOST}:{cls.service.http_port}/api/upload",
                                         picture(7, 1280, 800), {"Content-Type": "image/png"})
        with urllib.request.urlopen(request, timeout=30) as answer:
            cls.upload = json.load(answer)
        cls.view = "/" + cls.upload["url"].split("/", 3)[3]

    def open(self, path, language="ja", size=DESKTOP, javascript=True):
        driver = browser(language, size, javascript)
        self.addCleanup(driver.quit)
        driver.get(f"http://{HOST}:{self.service.http_port}{path}")
        return driver

    def keep(self, driver, name):
        with open(os.path.join(SCREENSHOTS, name + ".png"), "wb") as f:
            f.write(base64.b64decode(driver.get_screenshot_as_base64()))

    def no_sideways_scroll(self, driver):
        return driver.execute_script("return document.documentElement.scrollWidth <= window.innerWidth")

    def test_every_page_at_a_desktops_and_a_phones_size_in_both_languages(self):
        pages = {"view": self.view, "top": "/", "download": "/download.html",
                 "support": "/cgi-bin/forum/forum.cgi", "missing": "/nowhere"}
        for language in ("ja", "en"):
            for size in (DESKTOP, PHONE):
                for name, path in pages.items():
                    with self.subTest(language=language, size=size, page=name):
                        driver = self.open(path, language, size)
                        self.keep(driver, f"{name}-{language}-{size[0]}x{size[1]}")
                        self.assertEqual(driver.find_element(By.TAG_NAME, "html").get_attribute("lang"), language)
                        self.assertTrue(self.no_sideways_scroll(driver))
                        problems = [entry["message"] for entry in driver.get_log("browser")
                                    if "Content Security Policy" in entry["message"]]
                        self.assertEqual(problems, [])

    def test_the_viewing_page_says_when_the_picture_goes_above_the_fold(self):
        for language, said in (("ja", "に自動削除されます"), ("en", "will be deleted on")):
            with self.subTest(language=language):
                driver = self.open(self.view, language, DESKTOP)
                expiry = driver.find_element(By.ID, "expiry")
                self.assertIn(said, expiry.text)
                for element in (expiry, driver.find_element(By.ID, "link"),
                                driver.find_element(By.PARTIAL_LINK_TEXT, "画像ファイル" if language == "ja"
                                                    else "Picture file")):
                    bottom = driver.execute_script("return arguments[0].getBoundingClientRect().bottom", element)
                    self.assertLessEqual(bottom, driver.execute_script("return window.innerHeight"))
                self.assertEqual(driver.find_element(By.ID, "link").get_attribute("value"), self.upload["url"])

    def test_a_click_shows_the_picture_full_size_and_copy_copies_the_link(self):
        driver = self.open(self.view, "en", DESKTOP)
        driver.execute_cdp_cmd("Browser.grantPermissions", {
            "origin": f"http://{HOST}:{self.service.http_port}",
            "permissions": ["clipboardReadWrite", "clipboardSanitizedWrite"]})
        shown = driver.find_element(By.ID, "picture")

        def width():
            return driver.execute_script("return arguments[0].clientWidth", shown)
        fitted = width()
        self.assertLess(fitted, 1280)
        shown.click()
        self.assertEqual(width(), 1280)  # as large as it is
        shown.click()
        self.assertEqual(width(), fitted)
        copy = driver.find_element(By.CSS_SELECTOR, "button[data-copy=link]")
        copy.click()
        # The clipboard answers in its own time: the button says so once it has.
        WebDriverWait(driver, 5).until(lambda _: copy.text == "Copied")
        copied = driver.execute_async_script(
            "navigator.clipboard.readText().then(arguments[0], () => arguments[0](null))")
        self.assertEqual(copied, self.upload["url"])

    def test_without_javascript_the_picture_opens_and_no_dead_button_shows(self):
        driver = self.open(self.view, "ja", PHONE, javascript=False)
        self.assertFalse(driver.find_element(By.CSS_SELECTOR, "button[data-copy=link]").is_displayed())
        driver.find_element(By.ID, "picture").click()
        self.assertEqual(driver.current_url, f"http://{HOST}:{self.service.http_port}/img/"
                         + self.upload["image_url"].rsplit("/", 1)[1])

    def test_the_download_page_offers_the_package_and_the_address(self):
        driver = self.open("/download.html", "ja", PHONE)
        self.assertEqual(driver.find_element(By.ID, "address").get_attribute("value"),
                         f"http://{HOST}:{self.service.http_port}")
        link = driver.find_element(By.LINK_TEXT, "quiblo_1.3_amd64.deb").get_attribute("href")
        with urllib.request.urlopen(link, timeout=10) as answer:
            self.assertEqual(answer.read(), b"!<arch>\npackage")
        self.assertIn("alice@example.org", self.open("/cgi-bin/forum/forum.cgi", "en").page_source)


class WithoutContactTest(unittest.TestCase):
    def test_without_a_contact_no_page_links_the_support_page(self):
        service = Service()
        self.addCleanup(service.cleanup)
        status, _, page = service.get("/cgi-bin/forum/forum.cgi")  # the program opens it
        self.assertEqual(status, 200)
        self.assertIn("連絡先", page.decode())
        for path in ("/", "/download.html"):
            self.assertNotIn(b"forum.cgi", service.get(path)[2])


if __name__ == "__main__":
    unittest.main()
