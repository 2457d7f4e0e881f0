"""What the service keeps: pictures, uploads waiting for their registration, the usage log, wrong
deletion ids, the codes of expired pictures and of every picture ever registered. `load(settings)` picks the store: sqlite3 and
picture files in the data folder by default, PostgreSQL when `database` names one.

Every time is given by the caller (seconds since the epoch, from the service's clock), so that
the stores keep no clock of their own."""

import collections

# expires_at: the end of a lifetime the uploader chose, or None for the service's keeping time.
Picture = collections.namedtuple("Picture", "code size registered_at key_name expires_at")
# A whole record, as an import copies it from one store to another.
Record = collections.namedtuple("Record", "code size registered_at delid sid client key_name data")
Use = collections.namedtuple("Use", "sid at key_name")

# 3: an upload waiting for its registration is kept apart from the pictures in both stores.
# 4: a picture may have a lifetime of its own, and a thumbnail.
# 5: PostgreSQL writes a picture's bytes once (the data folder always did).
# 6: the codes of every picture ever registered, which are never taken again.
SCHEMA_VERSION = 6


class StoreError(Exception):
    """The one error that leaves a store: a schema newer than this service, a database that
    cannot be reached or refuses, a data folder that cannot be read or written. The driver's
    own error, when there is one, is its cause. The message is one line."""

    def __init__(self, message):
        super().__init__(one_line(message))


class StoreFull(StoreError):
    """The store has no room for what it was given (a full disk)."""


def one_line(text):
    return " ".join(str(text).split())


class Store:
    """The interface both stores keep. Methods that change something do it whole or not at all:
    an upload is its bytes and its row together, a registration its row and its use."""

    def close(self):
        """Lets go of files and connections."""

    # --- uploads waiting for their registration ---

    def knows(self, code):
        """True when CODE is a picture or an upload waiting for its registration, or was ever
        registered: an old link must never show a new picture."""
        raise NotImplementedError

    def add_upload(self, code, data, client, key_name, at):
        """Keeps a whole upload until its registration. False when CODE is taken, or was."""
        raise NotImplementedError

    def waiting(self, client, arrived_since):
        """(uploads of CLIENT, uploads of everyone) that arrived since then and wait."""
        raise NotImplementedError

    def expire_waiting(self, arrived_before):
        """Forgets the uploads that arrived before then and were never registered; their count."""
        raise NotImplementedError

    def register(self, code, delid, sid, key_name, at, arrived_since, uses_since, max_uses, expires_at=None):
        """Makes a waiting upload a picture and counts the use, unless SID has MAX_USES uses
        since USES_SINCE (the upload is then dropped). EXPIRES_AT: the end of a lifetime of its
        own. None on success, else the refusal's token: NOT_UPLOADED, ALREADY_REGISTERED or
        LIMIT_REACHED."""
        raise NotImplementedError

    def uses(self, sid, since):
        """Registered uploads of SID since then (deleted pictures still count)."""
        raise NotImplementedError

    # --- pictures ---

    def picture(self, code):
        """The registered picture CODE as a Picture, or None."""
        raise NotImplementedError

    def picture_data(self, code):
        """The bytes of the registered picture CODE, or None."""
        raise NotImplementedError

    def thumbnail(self, code):
        """The kept thumbnail of the registered picture CODE, or None."""
        raise NotImplementedError

    def put_thumbnail(self, code, data):
        """Keeps the thumbnail of the registered picture CODE, unless one is kept already or the
        picture is gone. It goes with its picture."""
        raise NotImplementedError

    def deletion_id(self, code):
        """The deletion id of the registered picture CODE, or None."""
        raise NotImplementedError

    def delete(self, code, delid):
        """Removes the registered picture CODE if DELID is its deletion id: DELETE_SUCCESS,
        NOT_FOUND_FILE or DELID_MISMATCH."""
        raise NotImplementedError

    def remove(self, code):
        """Removes the picture (or waiting upload) CODE whatever its deletion id; False when
        there is none."""
        raise NotImplementedError

    def pictures(self, registered_since=None):
        """The registered pictures, oldest first."""
        raise NotImplementedError

    def pictures_among(self, codes):
        """The registered pictures whose codes are among CODES, as Picture."""
        raise NotImplementedError

    def pictures_of(self, key_name, offset, limit):
        """(the pictures of KEY_NAME, or of everyone for None, newest first from OFFSET, at most
        LIMIT of them; how many there are in all)."""
        raise NotImplementedError

    def totals(self):
        """(registered pictures, their bytes)."""
        raise NotImplementedError

    def use_log(self, since):
        """Every use since then, as Use."""
        raise NotImplementedError

    # --- expiry ---

    def expire(self, registered_before, at, forget_before):
        """Removes the pictures registered before then, and those whose own lifetime ended by
        AT, keeping their codes as expired, and forgets the expired codes kept since before
        FORGET_BEFORE. The codes removed."""
        raise NotImplementedError

    def was_expired(self, code):
        """True when CODE was removed because its time ran out."""
        raise NotImplementedError

    # --- wrong deletion ids ---

    def wrong_guesses(self, client, since):
        raise NotImplementedError

    def note_wrong_guess(self, client, at):
        raise NotImplementedError

    def forget_wrong_guesses(self, before=None):
        """Forgets the wrong deletion ids (those before then, or all)."""
        raise NotImplementedError

    # --- sweeps, moving in ---

    def lead_sweeps(self):
        """True when this process runs the sweeps: one process at a time does, and keeps the
        turn until it ends."""
        raise NotImplementedError

    def import_records(self, records, uses):
        """Adds registered pictures (Record) and uses (Use) of another store in one transaction:
        all of them or, when anything fails, none. What is there already is skipped, so a rerun
        duplicates nothing. (pictures copied, pictures there already, uses copied, uses there
        already)."""
        raise NotImplementedError


def load(settings, serving=True):
    """The store the settings name. SERVING: the service itself opens it (and so a sqlite store
    makes a missing data folder and tidies up after a crash); an admin command opens it beside a
    running service, and only a data folder that is there."""
    if settings.database:
        from . import postgresql
        return postgresql.PostgresStore(settings.database)
    from . import sqlite
    return sqlite.SqliteStore(settings.data, serving=serving)
