"""The pictures and their thumbnails, which never change under their codes: caches keep them for
MAX_AGE at most, and ask again with their ETag."""

from . import clock
from .reply import Reply, not_found

# A picture may be deleted by its owner at any time: caches keep it five minutes at most (and
# never past its end), then ask again with its ETag.
MAX_AGE = 300


def matches(if_none_match, tag):
    """If-None-Match compared weakly, as it must be: W/"x" matches "x"."""
    listed = [t.strip().removeprefix("W/") for t in if_none_match.split(",")]
    return "*" in listed or tag in listed


def image(service, code, etag=None, thumbnail=False):
    """The picture (or its thumbnail), which never changes under its code: caches keep it
    for MAX_AGE at most, and ask again with its ETag."""
    picture = service.live_picture(code)
    if picture is None:
        return not_found()
    data = service.thumbnails.of(code) if thumbnail else None
    if thumbnail and data is None:  # none can be made of it
        return not_found()
    tag = f'"{code}-{int(picture.registered_at * 1000)}{"-thumb" if thumbnail else ""}"'
    expires = service.expires_at(picture)
    max_age = MAX_AGE if expires is None else min(MAX_AGE, int(expires - clock.now()))
    headers = {"ETag": tag, "Cache-Control": f"public, max-age={max(0, max_age)}"}
    if etag is not None and matches(etag, tag):
        return Reply(304, "image/png", b"", headers)
    data = data or service.store.picture_data(code)
    if data is None:  # deleted meanwhile
        return not_found()
    return Reply(200, "image/png", data, headers)
