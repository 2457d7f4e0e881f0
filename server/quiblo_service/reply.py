"""What the HTTP server hands the pages and gets back: a Reply (an HTML page among them), and the
refusal of a request body that is not read."""

import http
import os

import jinja2

from .words import DEFAULT, say

HTML_TYPE = "text/html; charset=UTF-8"


class Reply:
    def __init__(self, status, content_type, body, headers=None):
        self.status, self.content_type, self.body = status, content_type, body
        self.headers = headers or {}


class BodyRefused(Exception):
    """A request body that is not read: its HTTP status says why."""

    def __init__(self, status, message):
        super().__init__(message)
        self.status = status


TEMPLATES = jinja2.Environment(
    loader=jinja2.FileSystemLoader(os.path.join(os.path.dirname(os.path.abspath(__file__)), "templates")),
    autoescape=True, keep_trailing_newline=True, undefined=jinja2.StrictUndefined)
# The admin's contact (`contact`), which the pages' heading links to: set when the service starts.
TEMPLATES.globals["contact"] = None


# Pages load their style, script and pictures from this service alone, run no inline script, and
# are never framed by another site.
PAGE_POLICY = ("default-src 'self'; img-src 'self' data:; style-src 'self'; script-src 'self'; "
               "base-uri 'none'; form-action 'self'; frame-ancestors 'none'")


def render(template, language, status=200, headers=None, **context):
    """The page TEMPLATE in LANGUAGE, with say(key, **fields) for its texts."""
    text = TEMPLATES.get_template(template).render(
        language=language, say=lambda key, **fields: say(language, key, **fields), **context)
    return Reply(status, HTML_TYPE, text.encode("utf-8"),
                 {"Content-Security-Policy": PAGE_POLICY, "X-Content-Type-Options": "nosniff", **(headers or {})})


def message(language, title, heading, text="", status=200):
    """A page of a heading and a line."""
    return render("message.html", language, status, title=title, heading=heading, text=text)


def not_found(language=DEFAULT):
    return message(language, say(language, "not_found_title"), "404 Not Found", say(language, "not_found"), 404)


def unavailable(language=DEFAULT):
    return message(language, say(language, "unavailable_title"), "503 Service Unavailable",
                   say(language, "unavailable"), 503)


def status_page(status, language=DEFAULT):
    """A page that says STATUS alone (such as 405)."""
    return message(language, str(status), f"{status} {http.HTTPStatus(status).phrase}"
                   if status in http.HTTPStatus._value2member_map_ else str(status), status=status)
