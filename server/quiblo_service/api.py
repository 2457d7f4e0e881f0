"""The API for other clients: POST /api/upload checks, stores and registers a picture in one
request and answers JSON; the deletion page, /delete/CODE/DELID, asks before it deletes. The
addresses it gives start with the public address (`public-url`), or the one the client used."""

import hmac
import html
import json
import logging
import secrets
import time
import urllib.parse

from . import clock, previews
from .codes import MAX_UPLOAD_BYTES, viewing_code
from .forms import FormError, form_fields
from .intake import Refusal
from .keys import KEY_HEADER
from .limits import LIFETIME, deletions_blocked, lifetime_seconds
from .reply import BodyRefused, Reply, not_found, page
from .store import StoreError, StoreFull
from .words import language_of, say

JSON_TYPE = "application/json; charset=UTF-8"
# Room for a multipart body's boundaries and headers around the picture.
FORM_OVERHEAD = 65536
REFUSALS = {
    Refusal.KEY: (401, "the upload key is not accepted"),
    Refusal.EXISTS: (409, "a picture of that code exists"),
    Refusal.NOT_PNG: (415, "only whole PNG pictures are accepted"),
    Refusal.BUSY: (429, "too many pictures are waiting; try again later"),
    Refusal.UNAVAILABLE: (503, "the service cannot take pictures just now; try again later"),
}


def json_reply(status, obj, headers=None):
    return Reply(status, JSON_TYPE, json.dumps(obj, ensure_ascii=False).encode("utf-8"), headers)


def error(status, message):
    headers = {"WWW-Authenticate": 'Bearer realm="quiblo"'} if status == 401 else None
    return json_reply(status, {"error": message}, headers)


def presented_key(request):
    """The key of `Authorization: Bearer KEY`, else of the program's header."""
    authorization = request.header("Authorization") or ""
    scheme, _, value = authorization.partition(" ")
    if scheme.lower() == "bearer" and value.strip():
        return value.strip()
    return request.header(KEY_HEADER)


def picture_and_lifetime(request, body, lifetime):
    """(picture bytes, the lifetime's text or None) of a multipart or a raw body. FormError for
    a form that cannot be read."""
    content_type = request.header("Content-Type") or ""
    if content_type.lower().startswith("multipart/form-data"):
        fields = form_fields(content_type, body)
        if "expires" in fields:
            lifetime = fields["expires"].decode("ascii", "replace").strip()
        return fields.get("file"), lifetime
    return body, lifetime


def new_codes():
    return f"{secrets.randbelow(10 ** 18):018d}", f"{secrets.randbelow(10 ** 14):014d}"


def upload(service, request):
    """Checks, stores and registers one picture. Every refusal that needs no bytes (the key,
    the usage limit, the uploads waiting, a lifetime in the query) comes before the body is
    read, so a refused client costs no reading and no inflating."""
    key = presented_key(request)
    key_name = service.keys.name_of(key)
    if key_name is None:
        return error(*REFUSALS[Refusal.KEY])
    lifetime = urllib.parse.parse_qs(request.query).get("expires", [None])[0]
    now = clock.now()
    if lifetime is not None and not LIFETIME.fullmatch(lifetime):
        return error(400, "a lifetime is a number of hours or days, such as 1h or 7d")
    # The usage limit counts per key name, or per client address without keys.
    user = f"key:{key_name}" if key_name else f"address:{request.client}"
    try:
        if service.store.uses(user, service.usage.window_start(now)) >= service.usage.max_uploads:
            return limit_reached(service)
        code, refusal = start_upload(service, request.client, key)
        if refusal is not None:
            return error(*REFUSALS[refusal])
        try:
            expires_at = take_picture(service, request, code, key)
        finally:
            service.intake.finish(request.client)
        return register(service, request, code, key, user, clock.now(), expires_at)
    except Refused as refused:
        return refused.reply
    except StoreFull:
        return error(507, "the service has no room for the picture")
    except StoreError as err:
        logging.error("an API upload failed: %s", err)
        return error(*REFUSALS[Refusal.UNAVAILABLE])


def start_upload(service, client, key):
    """(a new picture code, None) with a place taken among the uploads under way, or (None, the
    Refusal)."""
    while True:
        code = new_codes()[0]
        refusal = service.intake.start(code, client, key)
        if refusal != Refusal.EXISTS:
            return code, refusal


class Refused(Exception):
    """An upload refused with REPLY."""

    def __init__(self, status, message):
        super().__init__(message)
        self.reply = error(status, message)


def take_picture(service, request, code, key):
    """Reads the body and keeps its picture under CODE; the end of its lifetime, or None.
    Refused otherwise."""
    try:
        body = request.body(MAX_UPLOAD_BYTES + FORM_OVERHEAD, service.upload_seconds)
        data, lifetime = picture_and_lifetime(request, body, urllib.parse.parse_qs(request.query)
                                              .get("expires", [None])[0])
    except BodyRefused as err:
        raise Refused(err.status, str(err)) from err
    except FormError as err:
        raise Refused(400, str(err)) from err
    if not data:
        raise Refused(400, "send the picture as the body, or as the form field `file`")
    if len(data) > MAX_UPLOAD_BYTES:
        raise Refused(413, f"too large: at most {MAX_UPLOAD_BYTES} bytes")
    try:
        expires_at = clock.now() + lifetime_seconds(lifetime, service.keep_days) if lifetime else None
    except ValueError as err:
        raise Refused(400, str(err)) from err
    refusal = service.intake.keep(code, data, request.client, key)
    if refusal is not None:
        raise Refused(*REFUSALS[refusal])
    return expires_at


def register(service, request, code, key, user, now, expires_at):
    delid = new_codes()[1]
    refused = service.store.register(code, delid, user, service.keys.name_of(key) or None, now,
                                     now - service.pending.seconds, service.usage.window_start(now),
                                     service.usage.max_uploads, expires_at)
    if refused == "LIMIT_REACHED":
        return limit_reached(service)
    if refused is not None:
        return error(*REFUSALS[Refusal.UNAVAILABLE])
    picture = service.store.picture(code)
    return json_reply(200, links(service, request, code, delid, service.expires_at(picture)))


def limit_reached(service):
    return error(429, f"the usage limit is reached: {service.usage.max_uploads} uploads in "
                      f"{service.usage.hours_text()} hours")


def links(service, request, code, delid, expires):
    base = previews.base_url(service, request)
    return {"url": f"{base}/view.cgi?{viewing_code(code)}", "image_url": f"{base}/img/{code}.png",
            "thumbnail_url": f"{base}/thumb/{code}.png", "deletion_url": f"{base}/delete/{code}/{delid}",
            "expires": iso_time(expires) if expires is not None else None}


def iso_time(seconds):
    return time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(seconds))


def deletion_page(service, request, code, delid):
    """GET shows the picture and a button; POST (the button) deletes it."""
    # A guessing address is refused before any id is compared, on the page as on the button: the
    # page would otherwise tell a right id from a wrong one without limit.
    lang = language_of(request.header("Accept-Language"))
    if deletions_blocked(service.store, request.client, clock.now()):
        return page(say(lang, "delete_title"), f"<h1>{say(lang, 'delete_blocked_heading')}</h1>\n"
                    f"<p>{say(lang, 'delete_blocked')}</p>", 429, language=lang)
    picture = service.live_picture(code)
    owner = picture is not None and hmac.compare_digest(service.store.deletion_id(code) or "", delid)
    if request.method != "POST" and not owner:  # GET, HEAD: nothing is shown to a wrong id
        if picture is not None:
            service.store.note_wrong_guess(request.client, clock.now())
        return not_found(lang)
    if request.method == "POST":
        request.body(4096, 30)  # the form's few bytes
        result = service.store.delete(code, delid)
        if result == "DELID_MISMATCH":
            service.store.note_wrong_guess(request.client, clock.now())
        if result != "DELETE_SUCCESS":
            return not_found(lang)
        return page(say(lang, "delete_title"), f"<h1>{say(lang, 'deleted_heading')}</h1>\n"
                    f"<p>{say(lang, 'deleted_page')}</p>", language=lang)
    target = html.escape(f"/delete/{code}/{delid}")
    return page(say(lang, "delete_question_title"), f"<h1>{say(lang, 'delete_question')}</h1>\n"
                f'<p><img src="/img/{code}.png" alt="{say(lang, "delete_alt")}" '
                'style="max-width:100%;max-height:60vh"></p>\n'
                f'<form method="post" action="{target}"><button type="submit">{say(lang, "delete_button")}'
                "</button></form>", language=lang)
