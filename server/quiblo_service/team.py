"""The team's page, /my: a member signs in with their upload key, uploads pictures by the file box
(or by dropping or pasting them, where the script runs), and sees, copies, opens and deletes their
own. Without keys there are no accounts, and the page offers the upload with the address's limit.
Every form that changes something is checked against other sites (its Origin, else its Referer)
and, once signed in, carries the session's token."""

import hmac
import logging
import urllib.parse

from . import api, clients, clock, previews
from .codes import viewing_code
from .deletion import same_site
from .forms import FormError, form_parts
from .http import BODY_ALLOWANCE
from .limits import deletions_blocked, lifetime_seconds
from .refusals import Refusal
from .reply import BodyRefused, Reply, message, not_found, render
from .sessions import Sessions
from .words import date_text, say

PAGE_SIZE = 60
MAX_FILES = 10
LIFETIMES = ("", "1h", "1d", "7d")


def to(path, cookie=None):
    """A 303 to PATH, perhaps setting or ending the session's cookie."""
    headers = {"Location": path}
    if cookie:
        headers["Set-Cookie"] = cookie
    return Reply(303, "text/plain; charset=UTF-8", b"303 See Other\r\n", headers)


def form(request, limit):
    """The fields of a urlencoded form of at most LIMIT bytes."""
    if request.length() is None:
        return {}
    body = request.body(limit, 30).decode("utf-8", "replace")
    return {k: v[0] for k, v in urllib.parse.parse_qs(body, keep_blank_values=True).items()}


def session_of(service, request):
    return service.sessions.of(request, service.keys) if service.keys.required else None


def my(service, request):
    lang = request.language
    session = session_of(service, request)
    if service.keys.required and session is None:
        return render("my_sign_in.html", lang, title=say(lang, "my_title"), wrong=False)
    query = urllib.parse.parse_qs(request.query)
    page = page_number(query)
    name = session.name if session else None
    pictures, total = service.store.pictures_of(name, page * PAGE_SIZE, PAGE_SIZE) if session else ([], 0)
    usage = service.usage_of(name)
    return render("my.html", lang, title=say(lang, "my_title"), session=session,
                  admin=bool(session and service.keys.is_admin(session.name)),
                  tiles=[tile(service, request, lang, picture) for picture in pictures],
                  page=page, more=(page + 1) * PAGE_SIZE < total, lifetimes=LIFETIMES,
                  allowed=usage.max_uploads, hours=usage.hours_text(),
                  said=[say(lang, "uploaded", count=query["uploaded"][0])] if "uploaded" in query else [],
                  refused=query.get("refused", []))


def page_number(query):
    """The page of a grid that the query asks for, from 0."""
    text = query.get("page", [""])[0]
    return min(int(text), 1 << 20) if text.isascii() and text.isdigit() else 0


def tile(service, request, lang, picture):
    expires = service.expires_at(picture)
    base = previews.base_url(service, request)
    return {"code": picture.code, "key_name": picture.key_name, "url": f"{base}/view.cgi?{viewing_code(picture.code)}",
            "uploaded": date_text(lang, picture.registered_at),
            "expires": date_text(lang, expires) if expires is not None else None}


def uploader_file(service, request, kind):
    """A signed-in member's own ShareX uploader (.sxcu) or curl line, as client-config writes
    them, as a file to keep: the key is in the file, never in a page."""
    session = session_of(service, request)
    if session is None and service.keys.required:
        return not_found(request.language)
    key = service.keys.key_of(session.name) if session else None
    url = previews.base_url(service, request)
    text, name = (clients.sxcu(url, key), "quiblo.sxcu") if kind == "sxcu" else (clients.curl(url, key), "quiblo-curl.txt")
    return Reply(200, "text/plain; charset=UTF-8", (text + "\n").encode(),
                 {"Content-Disposition": f'attachment; filename="{name}"', "Cache-Control": "no-store"})


def sign_in(service, request):
    lang = request.language
    if not same_site(request, service):
        return message(lang, "403", "403 Forbidden", say(lang, "elsewhere"), 403)
    if not service.keys.required:
        return to("/my")
    if deletions_blocked(service.store, request.client, clock.now()):
        return message(lang, say(lang, "my_title"), say(lang, "delete_blocked_heading"),
                       say(lang, "too_many_guesses"), 429)
    key = form(request, 4096).get("key", "").strip()
    name = service.keys.name_of(key) if key else None
    if not name:  # a wrong key is a wrong guess, as a wrong deletion id is
        service.store.note_wrong_guess(request.client, clock.now())
        return render("my_sign_in.html", lang, 401, title=say(lang, "my_title"), wrong=True)
    return to("/my", service.sessions.cookie(name, key, request.secure))


class Forbidden(Exception):
    """A form sent from another site, or without its session or the session's token."""


def checked(service, request, fields=None):
    """The session of a form that changes something (None without keys); Forbidden otherwise.
    FIELDS None: the site and the session alone, which need no byte of the body."""
    if not same_site(request, service):
        raise Forbidden
    if not service.keys.required:
        return None
    session = session_of(service, request)
    if session is None or (fields is not None and not hmac.compare_digest(fields.get("token", ""), session.token)):
        raise Forbidden
    return session


def form_answer(answer):
    """ANSWER of a changing form, with a 403 for a Forbidden one."""
    def guarded(service, request, *args, **kwargs):
        try:
            return answer(service, request, *args, **kwargs)
        except Forbidden:
            return message(request.language, "403", "403 Forbidden", say(request.language, "elsewhere"), 403)
    return guarded


@form_answer
def sign_out(service, request):
    checked(service, request, form(request, 4096))
    return to("/my", Sessions.ended(request.secure))


@form_answer
def upload(service, request):
    """The file box's pictures (several at once), or one a request from the page's script."""
    lang = request.language
    checked(service, request)  # before a byte of the pictures is read
    content_type = request.header("Content-Type") or ""
    try:
        body = request.body(service.intake.max_bytes * MAX_FILES, service.upload_seconds, allowance=BODY_ALLOWANCE)
        parts = form_parts(content_type, body) if content_type.lower().startswith("multipart/form-data") else []
    except (BodyRefused, FormError):
        return message(lang, say(lang, "my_title"), "400 Bad Request", say(lang, "upload_unreadable"), 400)
    fields = {name: data.decode("utf-8", "replace") for name, filename, data in parts if filename is None}
    session = checked(service, request, fields)
    lifetime = fields.get("expires", "")
    expires_at = clock.now() + lifetime_seconds(lifetime, service.keep_days) if lifetime in LIFETIMES[1:] else None
    uploaded, refused = 0, []
    for name, filename, data in parts:
        if name != "pictures" or filename is None or not data:
            continue
        result = api.keep_and_register(service, request.client, session.name if session else "",
                                       lambda data=data: (data, expires_at))
        if isinstance(result, tuple):
            uploaded += 1
        else:
            refused.append(f"{filename[:80]}: {refusal_words(service, lang, result, session)}")
    query = urllib.parse.urlencode([("uploaded", uploaded)] + [("refused", r) for r in refused])
    return to(f"/my?{query}")


# Each refusal in the words of the page's reader.
PEOPLE_WORDS = {Refusal.NOT_PNG: "not_png", Refusal.TOO_LARGE: "too_large", Refusal.USAGE: "limit_hit"}


def refusal_words(service, lang, refusal, session):
    usage = service.usage_of(session.name if session else None)
    return say(lang, PEOPLE_WORDS.get(refusal, "try_later"), limit=f"{service.intake.max_bytes:,}",
               allowed=usage.max_uploads, hours=usage.hours_text())


def confirm_delete(service, request, code):
    session = session_of(service, request)
    picture = service.store.picture(code)
    if session is None or picture is None or not may_delete(service, session, picture):
        return not_found(request.language)
    return render("my_delete.html", request.language, title=say(request.language, "delete_question_title"),
                  code=code, session=session)


def may_delete(service, session, picture):
    return picture.key_name == session.name or service.keys.is_admin(session.name)


@form_answer
def delete(service, request, code):
    session = checked(service, request, form(request, 4096))
    picture = service.store.picture(code)
    if session is None or picture is None or not may_delete(service, session, picture):
        return not_found(request.language)
    service.store.remove(code)
    if picture.key_name != session.name:
        logging.warning("picture %s of %s deleted by the admin %s", code, picture.key_name, session.name)
    return to("/admin" if picture.key_name != session.name else "/my")


def admin(service, request):
    lang = request.language
    session = session_of(service, request)
    if session is None or not service.keys.is_admin(session.name):
        return message(lang, "403", "403 Forbidden", say(lang, "admins_only"), 403)
    page = page_number(urllib.parse.parse_qs(request.query))
    pictures, total = service.store.pictures_of(None, page * PAGE_SIZE, PAGE_SIZE)
    since = clock.now() - service.usage.window_hours * 3600
    usage = {}
    for use in service.store.use_log(since):
        usage[use.key_name or "-"] = usage.get(use.key_name or "-", 0) + 1
    return render("admin.html", lang, title=say(lang, "admin_title"), session=session,
                  tiles=[tile(service, request, lang, picture) for picture in pictures], page=page,
                  more=(page + 1) * PAGE_SIZE < total, usage=sorted(usage.items()), hours=service.usage.hours_text())


