"""What the HTTP server hands the pages and gets back: a Reply (an HTML page among them), and the
refusal of a request body that is not read."""

import html

from .words import say

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


def page(title, body_html, status=200, head_html="", language="ja"):
    text = (f'<!DOCTYPE html>\n<html lang="{language}"><head><meta charset="UTF-8">'
            f"<title>{html.escape(title)}</title>{head_html}</head>\n<body>\n{body_html}\n</body></html>\n")
    return Reply(status, HTML_TYPE, text.encode("utf-8"))


def not_found(language="ja"):
    return page(say(language, "not_found_title"),
                f"<h1>404 Not Found</h1>\n<p>{say(language, 'not_found')}</p>", 404, language=language)


def unavailable(language="ja"):
    return page(say(language, "unavailable_title"),
                f"<h1>503 Service Unavailable</h1>\n<p>{say(language, 'unavailable')}</p>", 503,
                language=language)
