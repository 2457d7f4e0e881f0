"""The pages for people: the top, download and board pages, and the viewing page."""

from . import previews
from .codes import picture_code_of
from .reply import not_found, render
from .words import date_text, say


def plain_page(service, path, lang):
    """The top, download and board pages."""
    if path in ("/", "/index.html"):
        return render("top.html", lang, title=say(lang, "top_title"))
    if path == "/download.html":
        return render("download.html", lang, title=say(lang, "download_title"), version=service.version)
    return render("board.html", lang, title=say(lang, "board_title"))


def view(service, request, lang):
    code = picture_code_of(request.query)
    picture = code and service.live_picture(code)
    data = picture and service.store.picture_data(code)
    if not data:
        return not_found(lang)
    expires = service.expires_at(picture)
    # The picture fits the window; a click shows it at full size and another fits it again.
    tags, oembed = previews.head_tags(service, request, code, data)
    return render("view.html", lang, title=say(lang, "view_title"), code=code, tags=tags, oembed=oembed,
                  expiry=date_text(lang, expires) if expires is not None else None)
