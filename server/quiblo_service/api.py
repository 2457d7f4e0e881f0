"""The API for other clients: POST /api/upload checks, stores and registers a picture in one
request and answers JSON. The addresses it gives start with the public address (`public-url`), or
the one the client used."""

import json
import logging
import secrets
import time
import urllib.parse

from . import clock, previews
from .codes import PICTURE_CODE, viewing_code
from .forms import FormError, form_fields
from .http import BODY_ALLOWANCE
from .refusals import Refusal, http_status, words
from .keys import KEY_HEADER
from .limits import LIFETIME, lifetime_seconds
from .reply import BodyRefused, Reply
from .store import StoreError, StoreFull

JSON_TYPE = "application/json; charset=UTF-8"


def json_reply(status, obj, headers=None):
    return Reply(status, JSON_TYPE, json.dumps(obj, ensure_ascii=False).encode("utf-8"), headers)


def refused(refusal, service):
    usage = service.usage
    return error(http_status(refusal), words(refusal, limit=service.intake.max_bytes,
                                             uploads=usage.max_uploads, hours=usage.hours_text()))


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
    key_name = service.keys.name_of(presented_key(request))
    if key_name is None:
        return refused(Refusal.KEY, service)
    lifetime = urllib.parse.parse_qs(request.query).get("expires", [None])[0]
    if lifetime is not None and not LIFETIME.fullmatch(lifetime):
        return error(400, "a lifetime is a number of hours or days, such as 1h or 7d")
    try:
        kept = keep_and_register(service, request.client, key_name, lambda: read_picture(service, request))
    except Refused as refusal:
        return refusal.reply
    except StoreFull:
        return refused(Refusal.FULL, service)
    except StoreError as err:
        logging.error("an API upload failed: %s", err)
        return refused(Refusal.UNAVAILABLE, service)
    if kept == Refusal.USAGE:
        return limit_reached(service.usage_of(key_name))
    if isinstance(kept, Refusal):
        return refused(kept, service)
    code, delid = kept
    picture = service.store.picture(code)
    return json_reply(200, links(service, request, code, delid, service.expires_at(picture)))


class Refused(Exception):
    """An upload refused with REPLY."""

    def __init__(self, status, message):
        super().__init__(message)
        self.reply = error(status, message)


def read_picture(service, request):
    """(the picture of the body, the end of its lifetime or None). Refused for a body that
    cannot be read, or a lifetime that is not one."""
    limit = service.intake.max_bytes
    try:
        body = request.body(limit, service.upload_seconds, allowance=BODY_ALLOWANCE)
        data, lifetime = picture_and_lifetime(request, body, urllib.parse.parse_qs(request.query)
                                              .get("expires", [None])[0])
    except BodyRefused as err:
        raise Refused(err.status, str(err)) from err
    except FormError as err:
        raise Refused(400, str(err)) from err
    if not data:
        raise Refused(400, "send the picture as the body, or as the form field `file`")
    try:
        return data, clock.now() + lifetime_seconds(lifetime, service.keep_days) if lifetime else None
    except ValueError as err:
        raise Refused(400, str(err)) from err


def keep_and_register(service, client, key_name, read):
    """The road of an upload whose key is settled (KEY_NAME, "" without keys), from the API or
    the team's page: the usage limit (per key name, or per address CLIENT without keys), a new
    code with its place among the uploads under way, READ() -> (the picture, the end of its
    lifetime or None) while the place is held, the keeping and the registration. (code, delid)
    or the Refusal."""
    user = f"key:{key_name}" if key_name else f"address:{client}"
    usage = service.usage_of(key_name)
    if service.store.uses(user, usage.window_start(clock.now())) >= usage.max_uploads:
        return Refusal.USAGE
    while True:
        code = new_codes()[0]
        with service.intake.taking(code, client, None, key_name or "") as refusal:
            if refusal is None:
                data, expires_at = read()
                refusal = service.intake.keep(code, data, client, None, key_name or "")
        if refusal != Refusal.EXISTS:
            break
    if refusal is not None:
        return refusal
    delid = new_codes()[1]
    refusal = service.register(code, delid, user, key_name, clock.now(), expires_at)
    if refusal == "LIMIT_REACHED":
        return Refusal.USAGE
    return (code, delid) if refusal is None else Refusal.UNAVAILABLE


MAX_CODES = 1000


def exists(service, request):
    """POST /api/exists with a JSON list of picture codes: {code: true or false} for each, whether
    the service still shows it. Nothing else is told; the key rules are the upload's."""
    if service.keys.name_of(presented_key(request)) is None:
        return refused(Refusal.KEY, service)
    try:
        codes = json.loads(request.body(MAX_CODES * 24, 30))
    except BodyRefused as err:
        return error(err.status, str(err))
    except ValueError:
        codes = None
    if (not isinstance(codes, list) or len(codes) > MAX_CODES
            or not all(isinstance(code, str) and PICTURE_CODE.fullmatch(code) for code in codes)):
        return error(400, f"send a JSON list of at most {MAX_CODES} picture codes of 18 digits")
    now = clock.now()
    live = {picture.code for picture in service.store.pictures_among(set(codes))
            if (service.expires_at(picture) or float("inf")) > now}
    return json_reply(200, {code: code in live for code in codes})


def limit_reached(usage):
    return error(http_status(Refusal.USAGE), words(Refusal.USAGE, uploads=usage.max_uploads,
                                                   hours=usage.hours_text()))


def links(service, request, code, delid, expires):
    base = previews.base_url(service, request)
    return {"url": f"{base}/view.cgi?{viewing_code(code)}", "image_url": f"{base}/img/{code}.png",
            "thumbnail_url": f"{base}/thumb/{code}.png", "deletion_url": f"{base}/delete/{code}/{delid}",
            "expires": iso_time(expires) if expires is not None else None}


def iso_time(seconds):
    return time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(seconds))
