"""The answers of the HTTP endpoints: the three CGI endpoints, the viewing page, the picture and
the plain pages. Each returns a Reply; http.py sends it."""

import html
import re
import time
import urllib.parse

from . import api, clock, previews, upload
from .codes import DELETION_ID, PICTURE_CODE, USER_ID, picture_code_of
from .keys import KEY_HEADER
from .limits import deletions_blocked, lifetime_seconds
from .reply import BodyRefused, Reply, not_found, page

CGI_TYPE = "text/plain; charset=Shift_JIS"
DAY = 86400
# A picture kept for ever may still be deleted by its owner: caches keep it a day at most.
FOREVER_MAX_AGE = DAY


def cgi(*fields):
    return Reply(200, CGI_TYPE, "|".join(str(f) for f in fields).encode("cp932"))


def date_text(seconds):
    t = time.localtime(seconds)
    return f"{t.tm_year}年{t.tm_mon}月{t.tm_mday}日"


VIEW_STYLE = ("<style>#picture{cursor:zoom-out}"
              "#picture.fit{max-width:100%;max-height:95vh;width:auto;height:auto;cursor:zoom-in}</style>\n")
KEY_MESSAGE = ("アップロードキーが正しくないため、利用できません。\r\n"
               "設定画面の「アップロードキー」を確かめてください。")


def matches(if_none_match, tag):
    """If-None-Match compared weakly, as it must be: W/"x" matches "x"."""
    listed = [t.strip().removeprefix("W/") for t in if_none_match.split(",")]
    return "*" in listed or tag in listed


class Service:
    """The endpoints over a store, with the service's limits, keys and keeping time."""

    def __init__(self, store, keys, usage, pending, keep_days, version, intake=None, upload_seconds=300,
                 public_url=None):
        self.store, self.keys, self.usage, self.pending = store, keys, usage, pending
        self.keep_days, self.version = keep_days, version
        self.intake, self.upload_seconds, self.public_url = intake, upload_seconds, public_url

    def expires_at(self, picture):
        """When the picture goes: the end of its own lifetime, else of the keeping time."""
        if picture.expires_at is not None:
            return picture.expires_at
        return picture.registered_at + self.keep_days * DAY if self.keep_days else None

    def live_picture(self, code):
        """The registered picture CODE unless its time ran out (the sweep may not have come)."""
        picture = self.store.picture(code)
        if picture is None:
            return None
        expires = self.expires_at(picture)
        return None if expires is not None and expires <= clock.now() else picture

    def route(self, request):
        """The Reply to a request (http.Request)."""
        path = request.path
        match = re.fullmatch(r"/delete/([0-9]{18})/([0-9]{14})", path)
        if match:
            try:
                return api.deletion_page(self, request, *match.groups())
            except BodyRefused as err:
                return page(str(err.status), f"<h1>{err.status}</h1>", err.status)
        if request.method in ("POST", "PUT"):
            return self.route_with_body(request)
        params = {k: v[0] for k, v in urllib.parse.parse_qs(request.query, keep_blank_values=True).items()}
        key = request.header(KEY_HEADER)
        if path == "/usercheck.cgi":
            return self.usercheck(params, key)
        if path == "/recode.cgi":
            return self.recode(params, request.client, key)
        if path == "/delete2.cgi":
            return self.delete(params, request.client)
        if path == "/view.cgi":
            return self.view(request)
        match = re.fullmatch(r"/(img|thumb)/([0-9]{18})\.png", path)
        if match:
            return self.image(match.group(2), request.header("If-None-Match"), match.group(1) == "thumb")
        if path == "/oembed":
            return previews.oembed(self, request, params)
        if path in ("/", "/index.html"):
            return page("クイブロ", "<h1>クイブロ</h1>\n<p>画面をキャプチャして、すぐにWebで公開できるツールです。</p>\n"
                        '<ul><li><a href="/download.html">ダウンロード</a></li>\n'
                        '<li><a href="/cgi-bin/forum/forum.cgi">サポートBBS</a></li></ul>')
        if path == "/download.html":
            return page("クイブロ - ダウンロード", "<h1>ダウンロード</h1>\n"
                        f"<p>最新バージョン: {html.escape(self.version)}</p>\n"
                        "<p>最新バージョン以外はサーバーと連動できないため使用できません。</p>")
        if path == "/cgi-bin/forum/forum.cgi":
            return page("クイブロ - サポートBBS", "<h1>サポートBBS</h1>\n<p>不具合の報告やご質問はこちらへどうぞ。</p>")
        return not_found()

    def route_with_body(self, request):
        match = re.fullmatch(r"/upload/([0-9]{18})\.png", request.path)
        if match and request.method == "PUT" and self.intake is not None:
            return upload.put(self, request, match.group(1))
        if request.path == "/api/upload" and request.method == "POST" and self.intake is not None:
            return api.upload(self, request)
        return page("405", "<h1>405 Method Not Allowed</h1>", 405)

    def usercheck(self, p, key):
        limits = (self.usage.max_uploads, self.usage.hours_text())
        if p.get("op") != "chk":
            return cgi("error", "BAD_REQUEST", 0, *limits, "リクエストが正しくありません。")
        if self.keys.name_of(key) is None:
            return cgi("error", "BAD_KEY", 0, *limits, KEY_MESSAGE)
        sid = p.get("sid", "")
        if not USER_ID.fullmatch(sid):
            return cgi("error", "BAD_USER", 0, *limits, "ユーザーを識別できないため、利用できません。")
        count = self.store.uses(sid, self.usage.window_start(clock.now()))
        if count >= self.usage.max_uploads:
            return cgi("error", "LIMIT_REACHED", count, *limits,
                       "アップロード回数の上限に達しました。\r\n"
                       f"過去{limits[1]}時間に{limits[0]}回までアップロードできます。\r\n"
                       "しばらく時間をおいてから、もう一度お試しください。")
        reply = cgi("success", "OK", count, *limits)
        # The upload over HTTP is offered here: a program that finds the header sends its picture
        # there; earlier services send none, and the program then uses FTP.
        reply.headers[upload.OFFER_HEADER] = upload.UPLOAD_PATH
        return reply

    def recode(self, p, client, key):
        if (p.get("op") != "rec" or not PICTURE_CODE.fullmatch(p.get("pngcode", ""))
                or not DELETION_ID.fullmatch(p.get("delid", ""))):
            return cgi("error", "BAD_REQUEST", "リクエストが正しくありません。")
        key_name = self.keys.name_of(key)
        if key_name is None:
            return cgi("error", "BAD_KEY", KEY_MESSAGE)
        if not USER_ID.fullmatch(p.get("sid", "")):
            return cgi("error", "BAD_USER", "ユーザーを識別できないため、登録できません。")
        now = clock.now()
        try:  # a lifetime of its own, which earlier services never heard of
            expires_at = now + lifetime_seconds(p["expires"], self.keep_days) if "expires" in p else None
        except ValueError:
            return cgi("error", "BAD_REQUEST", "リクエストが正しくありません。")
        refusal = self.store.register(p["pngcode"], p["delid"], p["sid"], key_name or None, now,
                                      now - self.pending.seconds, self.usage.window_start(now),
                                      self.usage.max_uploads, expires_at)
        messages = {
            None: "画像を登録しました。",
            "NOT_UPLOADED": "画像ファイルがサーバーに届いていないため、登録できません。",
            "ALREADY_REGISTERED": "この画像はすでに登録されています。",
            "LIMIT_REACHED": "アップロード回数の上限に達したため、登録できません。",
        }
        return cgi("success" if refusal is None else "error", refusal or "REGISTERED", messages[refusal])

    def delete(self, p, client):
        if (p.get("op") != "del" or not PICTURE_CODE.fullmatch(p.get("pngcode", ""))
                or not DELETION_ID.fullmatch(p.get("delid", ""))):
            return cgi("error", "BAD_REQUEST", "リクエストが正しくありません。")
        now = clock.now()
        if deletions_blocked(self.store, client, now):
            return cgi("error", "TOO_MANY_ATTEMPTS", "削除IDの誤りが続いたため、しばらく削除できません。\r\n"
                       "時間をおいてから、もう一度お試しください。")
        code = p["pngcode"]
        if self.live_picture(code) is None and (self.store.picture(code) or self.store.was_expired(code)):
            return cgi("error", "NOT_FOUND_FILE",
                       f"この画像は保存期間（{self.keep_days:g}日）が過ぎたため、すでに自動削除されています。")
        result = self.store.delete(code, p["delid"])
        if result == "DELETE_SUCCESS":
            return cgi("success", result, "画像をサーバーから削除しました。")
        if result == "NOT_FOUND_FILE":
            return cgi("error", result, "指定された画像はサーバー上に見つかりません。")
        self.store.note_wrong_guess(client, now)
        return cgi("error", result, "削除IDが一致しないため、削除できません。")

    def view(self, request):
        code = picture_code_of(request.query)
        picture = code and self.live_picture(code)
        data = picture and self.store.picture_data(code)
        if not data:
            return not_found()
        expires = self.expires_at(picture)
        removal = (f'<p id="expiry">この画像は {date_text(expires)} に自動削除されます。</p>\n'
                   if expires is not None else "")
        # The picture fits the window; a click shows it at full size and another fits it again.
        return page("クイブロ - 画像閲覧", VIEW_STYLE + '<h1>クイブロ</h1>\n'
                    f'<p><img src="/img/{code}.png" id="picture" class="fit" alt="アップロードされた画像"'
                    ' title="クリックで拡大/縮小" onclick="this.classList.toggle(\'fit\')"></p>\n' + removal,
                    head_html=previews.head_tags(self, request, code, data))

    def image(self, code, etag=None, thumbnail=False):
        """The picture (or its thumbnail), which never changes under its code: caches keep it
        until it expires (a day at most when pictures are kept for ever) and ask again with its
        ETag."""
        picture = self.live_picture(code)
        if picture is None:
            return not_found()
        tag = f'"{code}-{int(picture.registered_at * 1000)}{"-thumb" if thumbnail else ""}"'
        expires = self.expires_at(picture)
        now = clock.now()
        max_age = int(expires - now) if expires is not None else FOREVER_MAX_AGE
        headers = {"ETag": tag, "Cache-Control": f"public, max-age={max(0, max_age)}"}
        if expires is not None:
            headers["Expires"] = time.strftime("%a, %d %b %Y %H:%M:%S GMT", time.gmtime(expires))
        if etag is not None and matches(etag, tag):
            return Reply(304, "image/png", b"", headers)
        data = previews.thumbnail(self.store, code) if thumbnail else self.store.picture_data(code)
        if data is None:  # deleted meanwhile
            return not_found()
        return Reply(200, "image/png", data, headers)
