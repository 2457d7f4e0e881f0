"""Who answers what: one table of (methods, path, answer(service, request, **the path's fields) ->
Reply). The answers run in the HTTP server's threads; those marked on_loop ask no store and run on
its event loop."""

import urllib.parse

from . import api, cgi, deletion, pages, pictures, previews, team, upload
from .http import on_loop
from .keys import KEY_HEADER

GET = ("GET", "HEAD")
PICTURE = "{code:[0-9]{18}}"
DELETION = f"/delete/{PICTURE}/{{delid:[0-9]{{14}}}}"


def params(request):
    """The query's fields, the first of each name."""
    return {k: v[0] for k, v in urllib.parse.parse_qs(request.query, keep_blank_values=True).items()}


ROUTES = [
    (GET, "/usercheck.cgi", lambda s, r: cgi.usercheck(s, params(r), r.header(KEY_HEADER), r.language)),
    (GET, "/recode.cgi", lambda s, r: cgi.recode(s, params(r), r.client, r.header(KEY_HEADER), r.language)),
    (GET, "/delete2.cgi", lambda s, r: cgi.delete(s, params(r), r.client, r.language)),
    (GET, "/view.cgi", lambda s, r: pages.view(s, r, r.language)),
    (GET, f"/img/{PICTURE}.png", lambda s, r, code: pictures.image(s, code, r.header("If-None-Match"))),
    (GET, f"/thumb/{PICTURE}.png",
     lambda s, r, code: pictures.image(s, code, r.header("If-None-Match"), thumbnail=True)),
    (GET, "/oembed", lambda s, r: previews.oembed(s, r, params(r))),
    (("PUT",), f"/upload/{PICTURE}.png", upload.put),
    (("POST",), "/api/upload", api.upload),
    (("POST",), "/api/exists", api.exists),
    (GET + ("POST",), DELETION, deletion.answer),
    (GET, DELETION + "/{done:done}", deletion.answer),
    (GET, "/static/{name:[a-z]+\\.[a-z]+}", on_loop(pages.static)),
    (GET, "/my", team.my),
    (("POST",), "/my/sign-in", team.sign_in),
    (("POST",), "/my/sign-out", team.sign_out),
    (("POST",), "/my/upload", team.upload),
    (GET, f"/my/delete/{PICTURE}", lambda s, r, code: team.confirm_delete(s, r, code)),
    (("POST",), f"/my/delete/{PICTURE}", team.delete),
    (GET, "/admin", team.admin),
    (GET, "/my/quiblo.sxcu", lambda s, r: team.uploader_file(s, r, "sxcu")),
    (GET, "/my/quiblo-curl.txt", lambda s, r: team.uploader_file(s, r, "curl")),
    (GET, "/download/{name}", pages.package),
] + [(GET, path, on_loop(lambda s, r: pages.plain_page(s, r, r.path, r.language)))
     for path in ("/", "/index.html", "/download.html", "/cgi-bin/forum/forum.cgi")]
