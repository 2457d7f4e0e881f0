"""The deletion page, /delete/CODE/DELID: the upload's own secret shows the picture and a button,
and the button deletes it. Wrong ids are throttled as for delete2.cgi."""

import hmac
import urllib.parse

from . import clock
from .limits import deletions_blocked
from .reply import BodyRefused, Reply, message, not_found, render, status_page
from .words import say

# The deletion page may not be framed by another site, and its address (which holds the deletion
# id) is never sent on as a referrer.
GUARD_HEADERS = {"Referrer-Policy": "no-referrer", "X-Frame-Options": "DENY",
                 "Content-Security-Policy": "frame-ancestors 'none'"}


def same_site(request, service):
    """False for a POST that a page of another site sent: its Origin (else its Referer) names
    another host. A script that names neither (curl) may post."""
    origin, referer = request.header("Origin"), request.header("Referer")
    if origin is None and referer is None:
        return True
    sent = origin if origin is not None else referer
    own = {request.header("Host") or ""}
    if service.public_url:
        own.add(urllib.parse.urlsplit(service.public_url).netloc)
    return urllib.parse.urlsplit(sent).netloc in own


def guarded(reply):
    reply.headers.update(GUARD_HEADERS)
    return reply


def page(service, request, code, delid, done=False):
    """GET shows the picture and a button; POST (the button, or a script) deletes it and sends
    the browser on to the result page, which a reload or a second click shows again."""
    # A guessing address is refused before any id is compared, on the page as on the button: the
    # page would otherwise tell a right id from a wrong one without limit.
    lang = request.language
    if deletions_blocked(service.store, request.client, clock.now()):
        return guarded(message(lang, say(lang, "delete_title"), say(lang, "delete_blocked_heading"),
                               say(lang, "delete_blocked"), 429))
    if request.method == "POST" and not same_site(request, service):
        return guarded(message(lang, "403", "403 Forbidden", say(lang, "delete_elsewhere"), 403))
    picture = service.live_picture(code)
    gone = picture is None and service.store.knows(code) and service.store.deletion_id(code) is None
    if done or (request.method == "POST" and gone):  # the result page; a second click
        if not gone:
            return guarded(not_found(lang))
        return guarded(message(lang, say(lang, "delete_title"), say(lang, "deleted_heading"),
                               say(lang, "deleted_page")))
    owner = picture is not None and hmac.compare_digest(service.store.deletion_id(code) or "", delid)
    if request.method != "POST" and not owner:  # GET, HEAD: nothing is shown to a wrong id
        if picture is not None:
            service.store.note_wrong_guess(request.client, clock.now())
        return guarded(not_found(lang))
    target = f"/delete/{code}/{delid}"
    if request.method == "POST":
        if request.length() is not None:  # a script may post nothing at all
            request.body(4096, 30)  # the form's few bytes
        result = service.store.delete(code, delid)
        if result == "DELID_MISMATCH":
            service.store.note_wrong_guess(request.client, clock.now())
        if result != "DELETE_SUCCESS":
            return guarded(not_found(lang))
        return guarded(Reply(303, "text/plain; charset=UTF-8", b"303 See Other\r\n", {"Location": target + "/done"}))
    return guarded(render("delete.html", lang, title=say(lang, "delete_question_title"), code=code,
                          target=target))


def answer(service, request, code, delid, done=None):
    """The page (or the result page, DONE) of the route table."""
    try:
        return page(service, request, code, delid, done is not None)
    except BodyRefused as err:
        return status_page(err.status, request.language)
