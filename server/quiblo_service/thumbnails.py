"""Thumbnails, made once a picture and kept until it goes. A picture's header is read first: one
of more than MAX_PIXELS (or MAX_SIDE a side) gets none. Each is made by a process of its own
(thumbnail_maker.py), with its memory and time capped, so that no picture can bloat or stall the
service, and its threads go on serving meanwhile. A failure is kept as an empty thumbnail: no
picture is ever decoded twice. One picture is made by one thread at a time, and only a few at
once."""

import contextlib
import os
import subprocess
import sys
import threading

from .png import picture_size

# The biggest monitors' screens fit: 8K is 33 megapixels, three 4K screens side by side 25.
MAX_PIXELS = 40_000_000
MAX_SIDE = 16384
AT_ONCE = 2
THUMBNAIL_SIDE = 320  # at most this wide and this high
MAKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "thumbnail_maker.py")
MAKER_SECONDS = 30
# Kept for a picture that has no thumbnail: it is never tried again.
NONE = b""


def fits(size):
    """True when a picture of SIZE (width, height) may have a thumbnail."""
    return size is not None and max(size) <= MAX_SIDE and size[0] * size[1] <= MAX_PIXELS


def made_elsewhere(data):
    """The thumbnail of a picture's bytes, or NONE: by the maker process."""
    try:
        done = subprocess.run([sys.executable, "-I", MAKER, str(THUMBNAIL_SIDE), str(MAX_PIXELS)],
                              input=data, capture_output=True, timeout=MAKER_SECONDS, check=False)
    except (OSError, subprocess.TimeoutExpired):
        return NONE
    return done.stdout if done.returncode == 0 and done.stdout.startswith(b"\x89PNG") else NONE


class Thumbnails:
    def __init__(self, store, make=made_elsewhere):
        self.store, self.make = store, make
        self.slots = threading.BoundedSemaphore(AT_ONCE)
        self.lock = threading.Lock()
        self.making = {}  # code -> [its lock, the threads that want it]

    def of(self, code):
        """The thumbnail of the registered picture CODE, or None when it has none."""
        kept = self.store.thumbnail(code)
        if kept is None:
            with self.turn(code):
                kept = self.store.thumbnail(code)  # another thread may have made it meanwhile
                if kept is None:
                    kept = self.first(code)
        return kept or None

    def first(self, code):
        data = self.store.picture_data(code)
        if data is None:  # gone
            return None
        made = NONE
        if fits(picture_size(data)):
            with self.slots:
                made = self.make(data)
        self.store.put_thumbnail(code, made)
        return made

    @contextlib.contextmanager
    def turn(self, code):
        """CODE's own lock, forgotten when no thread wants it any more."""
        with self.lock:
            entry = self.making.setdefault(code, [threading.Lock(), 0])
            entry[1] += 1
        try:
            with entry[0]:
                yield
        finally:
            with self.lock:
                entry[1] -= 1
                if entry[1] == 0:
                    del self.making[code]
