"""The default store: sqlite3 and picture files in the data folder, for one service process (and
the admin's commands beside it). Needs no server."""

import contextlib
import errno
import os
import sqlite3
import threading

from ..codes import PICTURE_FILE
from . import SCHEMA_VERSION, Picture, Store, StoreError, StoreFull, Use

TEMPORARY_SUFFIX = ".part"
FULL_ERRORS = {errno.ENOSPC, errno.EDQUOT}

# Each step brings the schema from its index to the next version. The first two are written so
# that they also complete the tables of the earliest folders, which carried no version.
MIGRATIONS = [
    # 0 -> 1: pictures (waiting or registered), uses, wrong deletion ids.
    ["""CREATE TABLE IF NOT EXISTS pictures (
            code TEXT PRIMARY KEY, size INTEGER NOT NULL, uploaded_at REAL NOT NULL,
            delid TEXT, sid TEXT, registered_at REAL)""",
     "CREATE TABLE IF NOT EXISTS uses (sid TEXT NOT NULL, at REAL NOT NULL)",
     "CREATE INDEX IF NOT EXISTS uses_by_user ON uses (sid, at)",
     "CREATE INDEX IF NOT EXISTS uses_by_time ON uses (at)",
     "CREATE TABLE IF NOT EXISTS wrong_guesses (client TEXT, at REAL NOT NULL)"],
    # 1 -> 2: client addresses, upload keys' names, and the codes of expired pictures.
    [("pictures", "client"), ("pictures", "key_name"), ("uses", "key_name"),
     "CREATE TABLE IF NOT EXISTS expired (code TEXT PRIMARY KEY, at REAL NOT NULL)"],
    # 2 -> 3: uploads waiting for their registration get a table of their own, as in PostgreSQL.
    ["""CREATE TABLE uploads (
            code TEXT PRIMARY KEY, size INTEGER NOT NULL, arrived_at REAL NOT NULL,
            client TEXT, key_name TEXT)""",
     "CREATE INDEX uploads_by_time ON uploads (arrived_at)",
     "INSERT INTO uploads SELECT code, size, uploaded_at, client, key_name FROM pictures "
     "WHERE delid IS NULL",
     "DELETE FROM pictures WHERE delid IS NULL"],
    # 3 -> 4: a lifetime the uploader chose, and the thumbnails of the previews.
    ["ALTER TABLE pictures ADD COLUMN expires_at REAL",
     "CREATE TABLE thumbnails (code TEXT PRIMARY KEY, data BLOB NOT NULL)"],
    # 4 -> 5: nothing here: a picture's file is written once, and its registration moves only its
    # row (PostgreSQL came to the same).
    [],
    # 5 -> 6: the codes ever registered, eight bytes each.
    ["CREATE TABLE used_codes (code INTEGER PRIMARY KEY)",
     "INSERT OR IGNORE INTO used_codes SELECT CAST(code AS INTEGER) FROM pictures",
     "INSERT OR IGNORE INTO used_codes SELECT CAST(code AS INTEGER) FROM expired"],
]
assert len(MIGRATIONS) == SCHEMA_VERSION


def remove_quietly(path):
    try:
        os.unlink(path)
    except FileNotFoundError:
        pass


def add_column(db, table, column):
    if column not in {row[1] for row in db.execute(f"PRAGMA table_info({table})")}:
        db.execute(f"ALTER TABLE {table} ADD COLUMN {column} TEXT")


def schema_version(db):
    return db.execute("PRAGMA user_version").fetchone()[0]


@contextlib.contextmanager
def store_errors(what):
    """Turns the driver's and the file system's errors into StoreError."""
    try:
        yield
    except sqlite3.Error as err:
        raise StoreError(f"{what}: {err}") from err
    except OSError as err:
        kind = StoreFull if err.errno in FULL_ERRORS else StoreError
        raise kind(f"{what}: {err.strerror or err}") from err


class SqliteStore(Store):
    """Rows in data/quiblo.sqlite3, pictures and waiting uploads as data/pictures/CODE.png. A file
    takes its name only once whole and before its row is written; the service's start (SERVING)
    makes a missing folder and removes files without rows and rows without files. One connection
    behind one lock serves the threads."""

    def __init__(self, data_dir, serving=True):
        if not serving and not os.path.isdir(data_dir):
            raise StoreError(f"no data folder {data_dir}")
        with store_errors(f"cannot use the data folder {data_dir}"):
            os.makedirs(data_dir, exist_ok=True)
            self.pictures_dir = os.path.realpath(os.path.join(data_dir, "pictures"))
            os.makedirs(self.pictures_dir, exist_ok=True)
            self.lock = threading.Lock()
            # The admin's commands open the same file from another process: wait for its lock.
            self.db = sqlite3.connect(os.path.join(data_dir, "quiblo.sqlite3"), timeout=30,
                                      check_same_thread=False)
            try:
                self.db.execute("PRAGMA journal_mode=WAL")
                self.upgrade()
                if serving:
                    self.reconcile()
            except BaseException:
                self.db.close()
                raise

    @contextlib.contextmanager
    def locked(self, transaction=False):
        """The connection, this thread's alone, inside a transaction when asked for."""
        with self.lock, store_errors("the data folder failed"):
            if transaction:
                with self.db:
                    yield self.db
            else:
                yield self.db

    def upgrade(self):
        """Brings an older data folder's schema to this version, in one transaction."""
        version = schema_version(self.db)
        if version > SCHEMA_VERSION:
            raise StoreError(f"the data folder's schema is version {version}, newer than this "
                             f"service's {SCHEMA_VERSION}: update quiblo-service")
        if version == SCHEMA_VERSION:
            return
        with self.db:
            for step in MIGRATIONS[version:]:
                for statement in step:
                    if isinstance(statement, tuple):
                        add_column(self.db, *statement)
                    else:
                        self.db.execute(statement)
            self.db.execute(f"PRAGMA user_version = {SCHEMA_VERSION}")

    def reconcile(self):
        with self.locked(transaction=True) as db:
            known = {code for (code,) in db.execute("SELECT code FROM pictures UNION SELECT code FROM uploads")}
            present = set()
            for name in os.listdir(self.pictures_dir):
                path = os.path.join(self.pictures_dir, name)
                match = PICTURE_FILE.fullmatch(name)
                if match and match.group(1) in known and os.path.isfile(path):
                    present.add(match.group(1))
                elif os.path.isfile(path) or os.path.islink(path):
                    remove_quietly(path)
            for code in known - present:
                self._forget(db, code)

    def close(self):
        with self.lock:
            self.db.close()

    def path_of(self, code):
        return os.path.join(self.pictures_dir, code + ".png")

    def _forget(self, db, code):
        db.execute("DELETE FROM pictures WHERE code = ?", (code,))
        db.execute("DELETE FROM uploads WHERE code = ?", (code,))
        db.execute("DELETE FROM thumbnails WHERE code = ?", (code,))

    def _remove(self, db, code):
        self._forget(db, code)
        remove_quietly(self.path_of(code))

    @staticmethod
    def _known(db, code):
        return db.execute("SELECT 1 FROM pictures WHERE code = ? UNION ALL SELECT 1 FROM uploads WHERE code = ? "
                          "UNION ALL SELECT 1 FROM used_codes WHERE code = ?",
                          (code, code, int(code))).fetchone() is not None

    # --- uploads waiting for their registration ---

    def knows(self, code):
        with self.locked() as db:
            return self._known(db, code)

    def add_upload(self, code, data, client, key_name, at):
        path = self.path_of(code)
        with self.locked() as db:
            if self._known(db, code):
                return False
            try:
                with open(path + TEMPORARY_SUFFIX, "wb") as file:
                    file.write(data)
                os.link(path + TEMPORARY_SUFFIX, path)  # never over another file
            except FileExistsError:
                return False
            finally:
                remove_quietly(path + TEMPORARY_SUFFIX)
            try:
                with db:
                    db.execute("INSERT INTO uploads (code, size, arrived_at, client, key_name) "
                               "VALUES (?, ?, ?, ?, ?)", (code, len(data), at, client, key_name))
            except sqlite3.Error:
                remove_quietly(path)
                raise
            return True

    def waiting(self, client, arrived_since):
        with self.locked() as db:
            return db.execute("SELECT COUNT(*) FILTER (WHERE client = ?), COUNT(*) FROM uploads "
                              "WHERE arrived_at >= ?", (client, arrived_since)).fetchone()

    def expire_waiting(self, arrived_before):
        with self.locked(transaction=True) as db:
            codes = db.execute("SELECT code FROM uploads WHERE arrived_at < ?", (arrived_before,)).fetchall()
            for (code,) in codes:
                self._remove(db, code)
        return len(codes)

    def register(self, code, delid, sid, key_name, at, arrived_since, uses_since, max_uses, expires_at=None):
        with self.locked(transaction=True) as db:
            row = db.execute("SELECT arrived_at FROM uploads WHERE code = ?", (code,)).fetchone()
            if row is None:
                known = db.execute("SELECT 1 FROM pictures WHERE code = ?", (code,)).fetchone()
                return "ALREADY_REGISTERED" if known else "NOT_UPLOADED"
            if row[0] < arrived_since:
                self._remove(db, code)
                return "NOT_UPLOADED"
            uses = db.execute("SELECT COUNT(*) FROM uses WHERE sid = ? AND at > ?", (sid, uses_since)).fetchone()[0]
            if uses >= max_uses:
                self._remove(db, code)  # a refused picture is not kept, and does not count
                return "LIMIT_REACHED"
            db.execute("INSERT INTO pictures (code, size, uploaded_at, delid, sid, registered_at, client, key_name, "
                       "expires_at) SELECT code, size, arrived_at, ?, ?, ?, client, ?, ? FROM uploads WHERE code = ?",
                       (delid, sid, at, key_name, expires_at, code))
            db.execute("DELETE FROM uploads WHERE code = ?", (code,))
            db.execute("INSERT OR IGNORE INTO used_codes (code) VALUES (?)", (int(code),))
            db.execute("INSERT INTO uses (sid, at, key_name) VALUES (?, ?, ?)", (sid, at, key_name))
            return None

    def uses(self, sid, since):
        with self.locked() as db:
            return db.execute("SELECT COUNT(*) FROM uses WHERE sid = ? AND at > ?", (sid, since)).fetchone()[0]

    # --- pictures ---

    def picture(self, code):
        with self.locked() as db:
            row = db.execute("SELECT code, size, registered_at, key_name, expires_at FROM pictures WHERE code = ?",
                             (code,)).fetchone()
        return Picture(*row) if row else None

    def picture_data(self, code):
        if self.picture(code) is None:
            return None
        try:
            with open(self.path_of(code), "rb") as file:
                return file.read()
        except FileNotFoundError:  # removed meanwhile
            return None
        except OSError as err:
            raise StoreError(f"picture {code} cannot be read: {err.strerror}") from err

    def thumbnail(self, code):
        with self.locked() as db:
            row = db.execute("SELECT data FROM thumbnails WHERE code = ?", (code,)).fetchone()
        return bytes(row[0]) if row else None

    def put_thumbnail(self, code, data):
        with self.locked(transaction=True) as db:
            db.execute("INSERT OR IGNORE INTO thumbnails (code, data) SELECT code, ? FROM pictures WHERE code = ?",
                       (data, code))

    def deletion_id(self, code):
        with self.locked() as db:
            row = db.execute("SELECT delid FROM pictures WHERE code = ?", (code,)).fetchone()
        return row[0] if row else None

    def delete(self, code, delid):
        with self.locked(transaction=True) as db:
            row = db.execute("SELECT delid FROM pictures WHERE code = ?", (code,)).fetchone()
            if row is None:
                return "NOT_FOUND_FILE"
            if row[0] != delid:
                return "DELID_MISMATCH"
            self._remove(db, code)
            return "DELETE_SUCCESS"

    def remove(self, code):
        with self.locked(transaction=True) as db:
            if not self._known(db, code):
                return False
            self._remove(db, code)
            return True

    def pictures(self, registered_since=None):
        since = registered_since if registered_since is not None else float("-inf")
        with self.locked() as db:
            rows = db.execute("SELECT code, size, registered_at, key_name, expires_at FROM pictures "
                              "WHERE registered_at >= ? ORDER BY registered_at", (since,)).fetchall()
        return [Picture(*row) for row in rows]

    def pictures_among(self, codes):
        codes = list(codes)
        with self.locked() as db:
            rows = db.execute("SELECT code, size, registered_at, key_name, expires_at FROM pictures WHERE code IN "
                              f"({', '.join('?' * len(codes))})", codes).fetchall() if codes else []
        return [Picture(*row) for row in rows]

    def pictures_of(self, key_name, offset, limit):
        with self.locked() as db:
            rows = db.execute("SELECT code, size, registered_at, key_name, expires_at FROM pictures "
                              "WHERE ? IS NULL OR key_name = ? ORDER BY registered_at DESC, code LIMIT ? OFFSET ?",
                              (key_name, key_name, limit, offset)).fetchall()
            total = db.execute("SELECT COUNT(*) FROM pictures WHERE ? IS NULL OR key_name = ?",
                               (key_name, key_name)).fetchone()[0]
        return [Picture(*row) for row in rows], total

    def totals(self):
        with self.locked() as db:
            return tuple(db.execute("SELECT COUNT(*), COALESCE(SUM(size), 0) FROM pictures").fetchone())

    def use_log(self, since):
        with self.locked() as db:
            rows = db.execute("SELECT sid, at, key_name FROM uses WHERE at >= ? ORDER BY at", (since,)).fetchall()
        return [Use(*row) for row in rows]

    # --- expiry ---

    def expire(self, registered_before, at, forget_before):
        with self.locked(transaction=True) as db:
            codes = [code for (code,) in db.execute(
                "SELECT code FROM pictures WHERE registered_at < ? OR expires_at <= ?",
                (registered_before, at)).fetchall()]
            for code in codes:
                db.execute("INSERT OR REPLACE INTO expired (code, at) VALUES (?, ?)", (code, at))
                self._remove(db, code)
            db.execute("DELETE FROM expired WHERE at < ?", (forget_before,))
        return codes

    def was_expired(self, code):
        with self.locked() as db:
            return db.execute("SELECT 1 FROM expired WHERE code = ?", (code,)).fetchone() is not None

    # --- wrong deletion ids ---

    def wrong_guesses(self, client, since):
        with self.locked() as db:
            return db.execute("SELECT COUNT(*) FROM wrong_guesses WHERE client = ? AND at > ?",
                              (client, since)).fetchone()[0]

    def note_wrong_guess(self, client, at):
        with self.locked(transaction=True) as db:
            db.execute("INSERT INTO wrong_guesses (client, at) VALUES (?, ?)", (client, at))

    def forget_wrong_guesses(self, before=None):
        with self.locked(transaction=True) as db:
            if before is None:
                db.execute("DELETE FROM wrong_guesses")
            else:
                db.execute("DELETE FROM wrong_guesses WHERE at < ?", (before,))

    # --- sweeps, moving in ---

    def lead_sweeps(self):
        return True  # one service process a data folder

    def import_records(self, records, uses):
        raise StoreError("a data folder is moved into PostgreSQL, not into another data folder")
