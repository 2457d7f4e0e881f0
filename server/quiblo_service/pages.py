"""The answers of the HTTP endpoints: the three CGI endpoints, the viewing page, the picture and
the plain pages. Each returns a Reply; http.py sends it."""

import urllib.parse

from . import api, clock, previews, upload
from .codes import DELETION_ID, PICTURE_CODE, USER_ID, picture_code_of
from .keys import KEY_HEADER
from .limits import UsageLimit, deletions_blocked, lifetime_seconds
from .reply import BodyRefused, Reply, not_found, render, status_page
from .http import on_loop
from .thumbnails import Thumbnails
from .words import date_text, say

CGI_TYPE = "text/plain; charset=Shift_JIS"
DAY = 86400
# A picture may be deleted by its owner at any time: caches keep it five minutes at most (and
# never past its end), then ask again with its ETag.
MAX_AGE = 300


def cgi(*fields):
    return Reply(200, CGI_TYPE, "|".join(str(f) for f in fields).encode("cp932"))


def matches(if_none_match, tag):
    """If-None-Match compared weakly, as it must be: W/"x" matches "x"."""
    listed = [t.strip().removeprefix("W/") for t in if_none_match.split(",")]
    return "*" in listed or tag in listed


class Service:
    """The endpoints over a store, with the service's limits, keys and keeping time."""

    def __init__(self, store, keys, intake, settings):
        self.store, self.keys, self.intake, self.settings = store, keys, intake, settings
        self.usage = UsageLimit.of(settings)
        self.pending = intake.pending
        self.keep_days, self.version = settings.keep_days, settings.version
        self.upload_seconds, self.public_url = settings.upload_seconds, settings.public_url
        self.thumbnails = Thumbnails(store)

    def expires_at(self, picture):
        """When the picture goes: the end of its own lifetime, else of the keeping time."""
        if picture.expires_at is not None:
            return picture.expires_at
        return picture.registered_at + self.keep_days * DAY if self.keep_days else None

    def usage_of(self, key_name):
        """The usage limit of a key's uploads: its own, else the service's."""
        return self.keys.limit_of(key_name) or self.usage

    def register(self, code, delid, user, key_name, now, expires_at):
        """Makes the waiting upload CODE a picture of USER within their usage limit: None, or the
        store's refusal (NOT_UPLOADED, ALREADY_REGISTERED, LIMIT_REACHED)."""
        usage = self.usage_of(key_name)
        return self.store.register(code, delid, user, key_name or None, now, now - self.pending.seconds,
                                   usage.window_start(now), usage.max_uploads, expires_at)

    def live_picture(self, code):
        """The registered picture CODE unless its time ran out (the sweep may not have come)."""
        picture = self.store.picture(code)
        if picture is None:
            return None
        expires = self.expires_at(picture)
        return None if expires is not None and expires <= clock.now() else picture

    def plain_page(self, path, lang):
        """The top, download and board pages."""
        if path in ("/", "/index.html"):
            return render("top.html", lang, title=say(lang, "top_title"))
        if path == "/download.html":
            return render("download.html", lang, title=say(lang, "download_title"), version=self.version)
        return render("board.html", lang, title=say(lang, "board_title"))

    def usercheck(self, p, key, lang):
        key_name = self.keys.name_of(key)
        usage = self.usage_of(key_name)
        limits = (usage.max_uploads, usage.hours_text())
        if p.get("op") != "chk":
            return cgi("error", "BAD_REQUEST", 0, *limits, say(lang, "bad_request"))
        if key_name is None:
            return cgi("error", "BAD_KEY", 0, *limits, say(lang, "bad_key"))
        sid = p.get("sid", "")
        if not USER_ID.fullmatch(sid):
            return cgi("error", "BAD_USER", 0, *limits, say(lang, "bad_user_check"))
        count = self.store.uses(sid, usage.window_start(clock.now()))
        if count >= usage.max_uploads:
            return cgi("error", "LIMIT_REACHED", count, *limits,
                       say(lang, "limit_reached", hours=limits[1], allowed=limits[0]))
        reply = cgi("success", "OK", count, *limits)
        # The upload over HTTP is offered here: a program that finds the header sends its picture
        # there; earlier services send none, and the program then uses FTP.
        reply.headers[upload.OFFER_HEADER] = upload.UPLOAD_PATH
        # The size limit, which earlier services never announce (the program then means 500,000).
        reply.headers[upload.MAX_BYTES_HEADER] = str(self.intake.max_bytes)
        return reply

    def recode(self, p, client, key, lang):
        if (p.get("op") != "rec" or not PICTURE_CODE.fullmatch(p.get("pngcode", ""))
                or not DELETION_ID.fullmatch(p.get("delid", ""))):
            return cgi("error", "BAD_REQUEST", say(lang, "bad_request"))
        key_name = self.keys.name_of(key)
        if key_name is None:
            return cgi("error", "BAD_KEY", say(lang, "bad_key"))
        if not USER_ID.fullmatch(p.get("sid", "")):
            return cgi("error", "BAD_USER", say(lang, "bad_user_register"))
        now = clock.now()
        try:  # a lifetime of its own, which earlier services never heard of
            expires_at = now + lifetime_seconds(p["expires"], self.keep_days) if "expires" in p else None
        except ValueError:
            return cgi("error", "BAD_REQUEST", say(lang, "bad_request"))
        refusal = self.register(p["pngcode"], p["delid"], p["sid"], key_name, now, expires_at)
        messages = {None: "registered", "NOT_UPLOADED": "not_uploaded",
                    "ALREADY_REGISTERED": "already_registered", "LIMIT_REACHED": "limit_register"}
        return cgi("success" if refusal is None else "error", refusal or "REGISTERED",
                   say(lang, messages[refusal]))

    def delete(self, p, client, lang):
        if (p.get("op") != "del" or not PICTURE_CODE.fullmatch(p.get("pngcode", ""))
                or not DELETION_ID.fullmatch(p.get("delid", ""))):
            return cgi("error", "BAD_REQUEST", say(lang, "bad_request"))
        now = clock.now()
        if deletions_blocked(self.store, client, now):
            return cgi("error", "TOO_MANY_ATTEMPTS", say(lang, "too_many_attempts"))
        code = p["pngcode"]
        if self.live_picture(code) is None and (self.store.picture(code) or self.store.was_expired(code)):
            return cgi("error", "NOT_FOUND_FILE", say(lang, "expired", days=f"{self.keep_days:g}"))
        result = self.store.delete(code, p["delid"])
        if result == "DELETE_SUCCESS":
            return cgi("success", result, say(lang, "deleted"))
        if result == "NOT_FOUND_FILE":
            return cgi("error", result, say(lang, "not_on_server"))
        self.store.note_wrong_guess(client, now)
        return cgi("error", result, say(lang, "wrong_delid"))

    def view(self, request, lang):
        code = picture_code_of(request.query)
        picture = code and self.live_picture(code)
        data = picture and self.store.picture_data(code)
        if not data:
            return not_found(lang)
        expires = self.expires_at(picture)
        # The picture fits the window; a click shows it at full size and another fits it again.
        tags, oembed = previews.head_tags(self, request, code, data)
        return render("view.html", lang, title=say(lang, "view_title"), code=code, tags=tags, oembed=oembed,
                      expiry=date_text(lang, expires) if expires is not None else None)

    def image(self, code, etag=None, thumbnail=False):
        """The picture (or its thumbnail), which never changes under its code: caches keep it
        for MAX_AGE at most, and ask again with its ETag."""
        picture = self.live_picture(code)
        if picture is None:
            return not_found()
        data = self.thumbnails.of(code) if thumbnail else None
        if thumbnail and data is None:  # none can be made of it
            return not_found()
        tag = f'"{code}-{int(picture.registered_at * 1000)}{"-thumb" if thumbnail else ""}"'
        expires = self.expires_at(picture)
        max_age = MAX_AGE if expires is None else min(MAX_AGE, int(expires - clock.now()))
        headers = {"ETag": tag, "Cache-Control": f"public, max-age={max(0, max_age)}"}
        if etag is not None and matches(etag, tag):
            return Reply(304, "image/png", b"", headers)
        data = data or self.store.picture_data(code)
        if data is None:  # deleted meanwhile
            return not_found()
        return Reply(200, "image/png", data, headers)


def params(request):
    """The query's fields, the first of each name."""
    return {k: v[0] for k, v in urllib.parse.parse_qs(request.query, keep_blank_values=True).items()}


def deletion_page(service, request, code, delid, done=None):
    try:
        return api.deletion_page(service, request, code, delid, done is not None)
    except BodyRefused as err:
        return status_page(err.status, request.language)


GET = ("GET", "HEAD")
PICTURE = "{code:[0-9]{18}}"

# Who answers what: (methods, path, answer(service, request, **the path's fields) -> Reply).
# Answers run in the HTTP server's threads; those marked on_loop ask no store and run on its loop.
ROUTES = [
    (GET, "/usercheck.cgi", lambda s, r: s.usercheck(params(r), r.header(KEY_HEADER), r.language)),
    (GET, "/recode.cgi", lambda s, r: s.recode(params(r), r.client, r.header(KEY_HEADER), r.language)),
    (GET, "/delete2.cgi", lambda s, r: s.delete(params(r), r.client, r.language)),
    (GET, "/view.cgi", lambda s, r: s.view(r, r.language)),
    (GET, f"/img/{PICTURE}.png", lambda s, r, code: s.image(code, r.header("If-None-Match"))),
    (GET, f"/thumb/{PICTURE}.png", lambda s, r, code: s.image(code, r.header("If-None-Match"), thumbnail=True)),
    (GET, "/oembed", lambda s, r: previews.oembed(s, r, params(r))),
    (("PUT",), f"/upload/{PICTURE}.png", upload.put),
    (("POST",), "/api/upload", api.upload),
    (GET + ("POST",), f"/delete/{PICTURE}/{{delid:[0-9]{{14}}}}", deletion_page),
    (GET, f"/delete/{PICTURE}/{{delid:[0-9]{{14}}}}/{{done:done}}", deletion_page),
] + [(GET, path, on_loop(lambda s, r: s.plain_page(r.path, r.language)))
     for path in ("/", "/index.html", "/download.html", "/cgi-bin/forum/forum.cgi")]
