"""The pages for people: the top, download and support pages, the viewing page, and what they
load (the stylesheet, the script, the mark) and offer (the program's packages)."""

import os
import re

from . import previews
from .codes import picture_code_of, viewing_code
from .reply import Reply, not_found, render
from .words import date_text, say

STATIC = os.path.join(os.path.dirname(os.path.abspath(__file__)), "static")
STATIC_TYPES = {".css": "text/css; charset=UTF-8", ".js": "text/javascript; charset=UTF-8",
                ".svg": "image/svg+xml; charset=UTF-8"}
PACKAGE = re.compile(r"[A-Za-z0-9][A-Za-z0-9._+~-]{0,120}\.deb")


def plain_page(service, request, path, lang):
    """The top, download and board pages."""
    if path in ("/", "/index.html"):
        return render("top.html", lang, title=say(lang, "top_title"))
    if path == "/download.html":
        signed_in = not service.keys.required or service.sessions.of(request, service.keys) is not None
        return render("download.html", lang, title=say(lang, "download_title"), version=service.version,
                      packages=packages(service), address=previews.base_url(service, request),
                      signed_in=signed_in)
    # The program opens this page: without a contact it says so, and no page links to it.
    return render("board.html", lang, title=say(lang, "board_title"), contact=service.settings.contact)


def view(service, request, lang):
    code = picture_code_of(request.query)
    picture = code and service.live_picture(code)
    data = picture and service.store.picture_data(code)
    if not data:
        return not_found(lang)
    expires = service.expires_at(picture)
    # The picture fits the window; a click shows it at full size and another fits it again.
    tags, oembed = previews.head_tags(service, request, code, data)
    page_url = f"{previews.base_url(service, request)}/view.cgi?{viewing_code(code)}"
    return render("view.html", lang, title=say(lang, "view_title"), code=code, tags=tags, oembed=oembed,
                  page_url=page_url,
                  expiry=date_text(lang, expires) if expires is not None else None)


def packages(service):
    """The program's packages in the folder the configuration names (`downloads`), newest name
    last."""
    folder = service.settings.downloads
    if not folder:
        return []
    try:
        return sorted(name for name in os.listdir(folder)
                      if PACKAGE.fullmatch(name) and os.path.isfile(os.path.join(folder, name)))
    except OSError:
        return []


def package(service, request, name):
    """One of the program's packages."""
    if name not in packages(service):
        return not_found(request.language)
    with open(os.path.join(service.settings.downloads, name), "rb") as file:
        return Reply(200, "application/vnd.debian.binary-package", file.read(),
                     {"Content-Disposition": f'attachment; filename="{name}"'})


def static(service, request, name):
    """The stylesheet, the script or the mark; they change only with the service."""
    kind = STATIC_TYPES.get(os.path.splitext(name)[1])
    path = os.path.join(STATIC, name)
    if kind is None or "/" in name or not os.path.isfile(path):
        return not_found(request.language)
    with open(path, "rb") as file:
        return Reply(200, kind, file.read(), {"Cache-Control": "public, max-age=3600"})
