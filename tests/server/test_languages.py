"""The service's words follow the reader's Accept-Language: its pages and the reply texts that
the program shows are English for a reader who asks for English, and Japanese, as before, for one
who names no language."""

import re
import unittest

from server.quiblo_service.codes import viewing_code
from server.quiblo_service.words import language_of
from tests.server.harness import DELID, PASSWORD_1_3, KeyedService
from tests.server.pngs import picture
from tests.server.test_one_port import KEY, KeyFile, request

JAPANESE = re.compile("[\u3000-\u30ff\u4e00-\u9fff\uff00-\uffef]")


class AcceptLanguageTest(unittest.TestCase):
    def test_the_supported_language_the_reader_prefers_most(self):
        cases = {None: "ja", "": "ja", "*": "ja", "ja": "ja", "ja-JP": "ja", "en": "en",
                 "en-US,en;q=0.9": "en", "fr-FR, fr;q=0.9": "en", "fr, ja;q=0.5": "ja",
                 "ja;q=0.5, en;q=0.8": "en", "en;q=0.1, ja": "ja", "EN-gb": "en",
                 "ja;q=0, en;q=0": "en", "ja;q=bad, en;q=0.2": "en", ",;,": "ja"}
        for header, expected in cases.items():
            self.assertEqual(language_of(header), expected, header)


class ServiceLanguagesTest(KeyFile, unittest.TestCase):
    def setUp(self):
        self.service = KeyedService(self.key_file(), "--no-ftp")
        self.addCleanup(self.service.cleanup)

    def get(self, path, language=None, key=None):
        headers = {}
        if language is not None:
            headers["Accept-Language"] = language
        if key:
            headers["X-Quiblo-Key"] = key
        status, found, body = request(self.service, "GET", path, headers=headers)
        charset = "cp932" if "Shift_JIS" in found.get("content-type", "") else "utf-8"
        return status, body.decode(charset)

    def registered_picture(self):
        code = self.service.new_code()
        status, _, _ = request(self.service, "PUT", f"/upload/{code}.png", picture(40, 30),
                               {"X-Quiblo-Password": PASSWORD_1_3, "X-Quiblo-Key": KEY})
        self.assertEqual(status, 201)
        fields = self.get(f"/recode.cgi?op=rec&pngcode={code}&delid={DELID}&sid=READER", "en", KEY)[1]
        self.assertEqual(fields, "success|REGISTERED|The picture was registered.")
        return code

    def test_pages_and_the_programs_texts_follow_the_readers_language(self):
        code = self.registered_picture()
        view = f"/view.cgi?{viewing_code(code)}"
        pages = ["/", "/download.html", "/cgi-bin/forum/forum.cgi", view, f"/delete/{code}/{DELID}",
                 "/no-such-page"]
        for path in pages:
            status, japanese = self.get(path)
            self.assertEqual(self.get(path, "ja-JP,ja;q=0.9"), (status, japanese), path)
            english_status, english = self.get(path, "en-US,en;q=0.9")
            self.assertEqual(english_status, status, path)
            self.assertRegex(japanese, JAPANESE, path)
            self.assertIn('<html lang="ja">', japanese)
            self.assertNotRegex(english, JAPANESE, path)
            self.assertIn('<html lang="en">', english)
            self.assertEqual(self.get(path, "fr")[1], english, path)
        # A client that names no language sees what earlier services showed.
        self.assertIn("<p>画面をキャプチャして、すぐにWebで公開できるツールです。</p>", self.get("/")[1])
        self.assertRegex(self.get(view)[1], r'<p id="expiry">この画像は \d+年\d+月\d+日 に自動削除されます。</p>')
        self.assertRegex(self.get(view, "en")[1],
                         r'<p id="expiry">This picture will be deleted on \d+ [A-Z][a-z]+ \d{4}\.</p>')

        # The texts that the program shows: the key refusal, the limit, the deletion.
        refused = "/usercheck.cgi?op=chk&sid=READER"
        self.assertEqual(self.get(refused, key="wrong-key-0123456789")[1].split("|")[5],
                         "アップロードキーが正しくないため、利用できません。\r\n"
                         "設定画面の「アップロードキー」を確かめてください。")
        english = self.get(refused, "en", "wrong-key-0123456789")[1].split("|")
        self.assertEqual(english[:2], ["error", "BAD_KEY"])
        self.assertNotRegex(english[5], JAPANESE)
        self.assertIn("upload key", english[5])
        self.assertEqual(self.get(f"/delete2.cgi?op=del&pngcode={code}&delid=99999999999999", "en")[1],
                         "error|DELID_MISMATCH|The deletion id does not match, so the picture was not deleted.")
        self.assertEqual(self.get(f"/delete2.cgi?op=del&pngcode={code}&delid={DELID}")[1],
                         "success|DELETE_SUCCESS|画像をサーバーから削除しました。")
