"""Link previews: the viewing page's OpenGraph and Twitter-card tags and its oEmbed discovery link,
and the oEmbed answer (type photo), with a thumbnail where the picture may have one."""

import json
import urllib.parse

from .codes import picture_code_of, viewing_code
from .png import picture_size
from .reply import Reply
from .words import say

def base_url(service, request):
    """The address the world uses for this service: `public-url`, else the one the client used."""
    if service.public_url:
        return service.public_url.rstrip("/")
    host = request.header("Host") or "localhost"
    return f"{'https' if request.secure else 'http'}://{host}"


def head_tags(service, request, code, data):
    """The viewing page's preview tags: absolute addresses, the picture's size."""
    base = base_url(service, request)
    page_url = f"{base}/view.cgi?{viewing_code(code)}"
    image_url = f"{base}/img/{code}.png"
    size = picture_size(data)
    title = say(request.language, "title")
    oembed = f"{base}/oembed?" + urllib.parse.urlencode({"url": page_url, "format": "json"})
    tags = [("property", "og:type", "website"), ("property", "og:title", title),
            ("property", "og:site_name", title), ("property", "og:url", page_url),
            ("property", "og:image", image_url), ("property", "og:image:type", "image/png"),
            ("name", "twitter:card", "summary_large_image"), ("name", "twitter:title", title),
            ("name", "twitter:image", image_url)]
    if size:
        tags[6:6] = [("property", "og:image:width", str(size[0])), ("property", "og:image:height", str(size[1]))]
    return tags, oembed


def bound(text):
    """A maxwidth or maxheight: a positive whole number, else no bound."""
    return int(text) if text and text.isascii() and text.isdigit() and 0 < int(text) < 1 << 20 else None


def fitted(size, bounds):
    """SIZE scaled down, keeping its shape, to fit BOUNDS (each None for none); never up."""
    scale = min([1.0] + [limit / side for side, limit in zip(size, bounds) if limit])
    if scale >= 1.0:
        return size
    return max(1, int(size[0] * scale)), max(1, int(size[1] * scale))


def oembed(service, request, params):
    """The oEmbed answer for a viewing page's address: a photo."""
    from .reply import not_found
    if params.get("format", "json") != "json":
        return Reply(501, "text/plain; charset=UTF-8", b"501 Only the json format is served.\r\n")
    target = urllib.parse.urlsplit(params.get("url", ""))
    code = picture_code_of(target.query) if target.path.endswith("/view.cgi") else None
    picture = code and service.live_picture(code)
    data = picture and service.store.picture_data(code)
    size = data and picture_size(data)
    if not size:
        return not_found()
    bounds = (bound(params.get("maxwidth")), bound(params.get("maxheight")))
    base = base_url(service, request)
    title = say(request.language, "title")
    answer = {"version": "1.0", "type": "photo", "title": title, "provider_name": title,
              "provider_url": base + "/", "url": f"{base}/img/{code}.png"}
    answer["width"], answer["height"] = size
    small = service.thumbnails.of(code)
    thumb = picture_size(small) if small else None
    if thumb:  # the three go together, or none
        answer["thumbnail_url"] = f"{base}/thumb/{code}.png"
        answer["thumbnail_width"], answer["thumbnail_height"] = fitted(thumb, bounds)
    if fitted(size, bounds) != size:
        # The picture is larger than the consumer asked for: the thumbnail stands in for it,
        # shrunk further if need be (a photo's size is that of the picture it names).
        if thumb:
            answer["url"] = answer["thumbnail_url"]
            answer["width"], answer["height"] = fitted(thumb, bounds)
        else:
            answer["width"], answer["height"] = fitted(size, bounds)
    return Reply(200, "application/json; charset=UTF-8", json.dumps(answer, ensure_ascii=False).encode())
