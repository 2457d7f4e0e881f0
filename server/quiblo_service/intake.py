"""Taking an upload, by FTP or over HTTP alike: who may send one (the key), under which name (a
picture code not yet known), how many may wait for their registration or still be arriving, per
client address and in all, and handing the whole upload to the store."""

import collections
import contextlib
import threading

from . import clock, png
from .limits import PendingLimits
from .refusals import Refusal


class Arrivals:
    """The uploads under way in this process, per client address: they count towards the
    pending caps while they arrive, so that a burst cannot pass the caps before the first is
    kept."""

    def __init__(self):
        self.lock = threading.Lock()
        self.by_client = collections.Counter()

    def reserve(self, client, waiting, pending):
        """Takes a place for CLIENT unless it, or everyone, would pass the caps of PENDING with
        the uploads WAITING (mine, everyone's) in the store."""
        mine, everyone = waiting
        with self.lock:
            if (mine + self.by_client[client] >= pending.per_client
                    or everyone + sum(self.by_client.values()) >= pending.total):
                return False
            self.by_client[client] += 1
        return True

    def release(self, client):
        with self.lock:
            self.by_client[client] -= 1
            if self.by_client[client] <= 0:
                del self.by_client[client]


class Intake:
    """The rules of taking an upload, over one store."""

    def __init__(self, store, keys, settings):
        self.store, self.keys = store, keys
        self.pending = PendingLimits.of(settings)
        self.max_bytes = settings.max_bytes
        self.arrivals = Arrivals()

    @contextlib.contextmanager
    def taking(self, code, client, key, signed_in=None):
        """start() for the block: it gets None (and may keep() the upload) or the Refusal; the
        place is given back when it ends, however it ends."""
        refusal = self.start(code, client, key, signed_in)
        try:
            yield refusal
        finally:
            if refusal is None:
                self.finish(client)

    def start(self, code, client, key, signed_in=None):
        """None when an upload of CODE may come, with a place reserved for it among the uploads
        under way (give it back with finish()); else the Refusal. StoreError when the store
        cannot be asked. SIGNED_IN: the key's name of a session that proved the key."""
        if signed_in is None and self.keys.name_of(key) is None:
            return Refusal.KEY
        if self.store.knows(code):
            return Refusal.EXISTS
        waiting = self.store.waiting(client, clock.now() - self.pending.seconds)
        if not self.arrivals.reserve(client, waiting, self.pending):
            return Refusal.BUSY
        return None

    def finish(self, client):
        """The upload that start() let come has arrived, or will not."""
        self.arrivals.release(client)

    def keep(self, code, data, client, key, signed_in=None):
        """Hands a whole upload to the store: None, Refusal.NOT_PNG for bytes that are not a
        whole PNG (whatever path they came by, nothing else is ever kept), or Refusal.EXISTS
        when its code was taken meanwhile. StoreError (StoreFull for a full disk) when the store
        fails."""
        if len(data) > self.max_bytes:
            return Refusal.TOO_LARGE
        if not png.is_whole(data):
            return Refusal.NOT_PNG
        key_name = signed_in or self.keys.name_of(key) or None
        if self.store.add_upload(code, bytes(data), client, key_name, clock.now()):
            return None
        return Refusal.EXISTS
