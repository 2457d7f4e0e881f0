"""The program's CGI replies: usercheck.cgi, recode.cgi and delete2.cgi, CP932 text split by "|",
byte for byte as the program reads them."""

from . import clock, upload
from .codes import DELETION_ID, PICTURE_CODE, USER_ID
from .limits import deletions_blocked, lifetime_seconds
from .reply import Reply
from .words import say

CGI_TYPE = "text/plain; charset=Shift_JIS"


def cgi(*fields):
    return Reply(200, CGI_TYPE, "|".join(str(f) for f in fields).encode("cp932"))


def usercheck(service, p, key, lang):
    key_name = service.keys.name_of(key)
    usage = service.usage_of(key_name)
    limits = (usage.max_uploads, usage.hours_text())
    if p.get("op") != "chk":
        return cgi("error", "BAD_REQUEST", 0, *limits, say(lang, "bad_request"))
    if key_name is None:
        return cgi("error", "BAD_KEY", 0, *limits, say(lang, "bad_key"))
    sid = p.get("sid", "")
    if not USER_ID.fullmatch(sid):
        return cgi("error", "BAD_USER", 0, *limits, say(lang, "bad_user_check"))
    count = service.store.uses(sid, usage.window_start(clock.now()))
    if count >= usage.max_uploads:
        return cgi("error", "LIMIT_REACHED", count, *limits,
                   say(lang, "limit_reached", hours=limits[1], allowed=limits[0]))
    reply = cgi("success", "OK", count, *limits)
    # The upload over HTTP is offered here: a program that finds the header sends its picture
    # there; earlier services send none, and the program then uses FTP.
    reply.headers[upload.OFFER_HEADER] = upload.UPLOAD_PATH
    # The size limit, which earlier services never announce (the program then means 500,000).
    reply.headers[upload.MAX_BYTES_HEADER] = str(service.intake.max_bytes)
    return reply


def recode(service, p, client, key, lang):
    if (p.get("op") != "rec" or not PICTURE_CODE.fullmatch(p.get("pngcode", ""))
            or not DELETION_ID.fullmatch(p.get("delid", ""))):
        return cgi("error", "BAD_REQUEST", say(lang, "bad_request"))
    key_name = service.keys.name_of(key)
    if key_name is None:
        return cgi("error", "BAD_KEY", say(lang, "bad_key"))
    if not USER_ID.fullmatch(p.get("sid", "")):
        return cgi("error", "BAD_USER", say(lang, "bad_user_register"))
    now = clock.now()
    try:  # a lifetime of its own, which earlier services never heard of
        expires_at = now + lifetime_seconds(p["expires"], service.keep_days) if "expires" in p else None
    except ValueError:
        return cgi("error", "BAD_REQUEST", say(lang, "bad_request"))
    refusal = service.register(p["pngcode"], p["delid"], p["sid"], key_name, now, expires_at)
    messages = {None: "registered", "NOT_UPLOADED": "not_uploaded",
                "ALREADY_REGISTERED": "already_registered", "LIMIT_REACHED": "limit_register"}
    return cgi("success" if refusal is None else "error", refusal or "REGISTERED",
               say(lang, messages[refusal]))


def delete(service, p, client, lang):
    if (p.get("op") != "del" or not PICTURE_CODE.fullmatch(p.get("pngcode", ""))
            or not DELETION_ID.fullmatch(p.get("delid", ""))):
        return cgi("error", "BAD_REQUEST", say(lang, "bad_request"))
    now = clock.now()
    if deletions_blocked(service.store, client, now):
        return cgi("error", "TOO_MANY_ATTEMPTS", say(lang, "too_many_attempts"))
    code = p["pngcode"]
    if service.live_picture(code) is None and (service.store.picture(code) or service.store.was_expired(code)):
        return cgi("error", "NOT_FOUND_FILE", say(lang, "expired", days=f"{service.keep_days:g}"))
    result = service.store.delete(code, p["delid"])
    if result == "DELETE_SUCCESS":
        return cgi("success", result, say(lang, "deleted"))
    if result == "NOT_FOUND_FILE":
        return cgi("error", result, say(lang, "not_on_server"))
    service.store.note_wrong_guess(client, now)
    return cgi("error", result, say(lang, "wrong_delid"))
