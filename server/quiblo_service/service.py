"""The service as its answers see it: the store, the keys, the intake and the settings, with the
rules that several answers share (a picture's end, a key's usage limit, the registration)."""

from . import clock
from .limits import UsageLimit
from .sessions import Sessions
from .thumbnails import Thumbnails

DAY = 86400


class Service:
    """The store, keys and intake of one process, with the service's settings."""

    def __init__(self, store, keys, intake, settings):
        self.store, self.keys, self.intake, self.settings = store, keys, intake, settings
        self.usage = UsageLimit.of(settings)
        self.pending = intake.pending
        self.keep_days, self.version = settings.keep_days, settings.version
        self.upload_seconds, self.public_url = settings.upload_seconds, settings.public_url
        self.thumbnails = Thumbnails(store)
        self.sessions = Sessions(settings.session_secret)

    def expires_at(self, picture):
        """When the picture goes: the end of its own lifetime, else of the keeping time."""
        if picture.expires_at is not None:
            return picture.expires_at
        return picture.registered_at + self.keep_days * DAY if self.keep_days else None

    def usage_of(self, key_name):
        """The usage limit of a key's uploads: its own, else the service's."""
        return self.keys.limit_of(key_name) or self.usage

    def register(self, code, delid, user, key_name, now, expires_at):
        """Makes the waiting upload CODE a picture of USER within their usage limit: None, or the
        store's refusal (NOT_UPLOADED, ALREADY_REGISTERED, LIMIT_REACHED)."""
        usage = self.usage_of(key_name)
        return self.store.register(code, delid, user, key_name or None, now, now - self.pending.seconds,
                                   usage.window_start(now), usage.max_uploads, expires_at)

    def live_picture(self, code):
        """The registered picture CODE unless its time ran out (the sweep may not have come)."""
        picture = self.store.picture(code)
        if picture is None:
            return None
        expires = self.expires_at(picture)
        return None if expires is not None and expires <= clock.now() else picture
