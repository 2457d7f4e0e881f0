"""The default store: sqlite3 and picture files in the data folder, for one service process (and
the admin's commands beside it). Needs no server."""

import os
import sqlite3
import threading

from ..codes import PICTURE_FILE
from . import SCHEMA_VERSION, Picture, Record, Store, StoreError, Use

TEMPORARY_SUFFIX = ".part"


def remove_quietly(path):
    try:
        os.unlink(path)
    except FileNotFoundError:
        pass


class SqliteStore(Store):
    """Rows in data/quiblo.sqlite3, pictures as data/pictures/CODE.png. A file takes its name
    only once whole and before its row is written; a start after a crash (TIDY) removes files
    without rows and rows without files. One connection behind one lock serves the threads."""

    def __init__(self, data_dir, tidy=True):
        os.makedirs(data_dir, exist_ok=True)
        self.pictures_dir = os.path.realpath(os.path.join(data_dir, "pictures"))
        os.makedirs(self.pictures_dir, exist_ok=True)
        self.lock = threading.Lock()
        # The admin's commands open the same file from another process: wait for its lock.
        self.db = sqlite3.connect(os.path.join(data_dir, "quiblo.sqlite3"), timeout=30,
                                  check_same_thread=False)
        self.db.execute("PRAGMA journal_mode=WAL")
        self.upgrade()
        if tidy:
            self.reconcile()

    def upgrade(self):
        """Brings an older data folder's schema to this version, in one transaction."""
        version = self.db.execute("PRAGMA user_version").fetchone()[0]
        if version > SCHEMA_VERSION:
            raise StoreError(f"the data folder's schema is version {version}, newer than this "
                             f"service's {SCHEMA_VERSION}: update quiblo-service")
        if version == SCHEMA_VERSION:
            return
        with self.db:
            self.db.execute("""CREATE TABLE IF NOT EXISTS pictures (
                code TEXT PRIMARY KEY, size INTEGER NOT NULL, uploaded_at REAL NOT NULL,
                delid TEXT, sid TEXT, registered_at REAL)""")
            self.db.execute("CREATE TABLE IF NOT EXISTS uses (sid TEXT NOT NULL, at REAL NOT NULL)")
            for table, column in (("pictures", "client"), ("pictures", "key_name"), ("uses", "key_name")):
                columns = {row[1] for row in self.db.execute(f"PRAGMA table_info({table})")}
                if column not in columns:
                    self.db.execute(f"ALTER TABLE {table} ADD COLUMN {column} TEXT")
            self.db.execute("CREATE INDEX IF NOT EXISTS uses_by_user ON uses (sid, at)")
            self.db.execute("CREATE INDEX IF NOT EXISTS uses_by_time ON uses (at)")
            self.db.execute("CREATE TABLE IF NOT EXISTS wrong_guesses (client TEXT, at REAL NOT NULL)")
            self.db.execute("CREATE TABLE IF NOT EXISTS expired (code TEXT PRIMARY KEY, at REAL NOT NULL)")
            self.db.execute(f"PRAGMA user_version = {SCHEMA_VERSION}")

    def reconcile(self):
        with self.lock, self.db:
            known = {code for (code,) in self.db.execute("SELECT code FROM pictures")}
            present = set()
            for name in os.listdir(self.pictures_dir):
                path = os.path.join(self.pictures_dir, name)
                match = PICTURE_FILE.fullmatch(name)
                if match and match.group(1) in known and os.path.isfile(path):
                    present.add(match.group(1))
                elif os.path.isfile(path) or os.path.islink(path):
                    remove_quietly(path)
            for code in known - present:
                self.db.execute("DELETE FROM pictures WHERE code = ?", (code,))

    def verify(self):
        problems = []
        with self.lock:
            if self.db.execute("PRAGMA integrity_check").fetchone()[0] != "ok":
                problems.append("the database fails its integrity check")
            codes = [code for (code,) in self.db.execute("SELECT code FROM pictures")]
        missing = [code for code in codes if not os.path.isfile(self.path_of(code))]
        if missing:
            problems.append(f"{len(missing)} pictures have no file, such as {missing[0]}")
        return problems

    def close(self):
        with self.lock:
            self.db.close()

    def path_of(self, code):
        return os.path.join(self.pictures_dir, code + ".png")

    def _remove(self, code):
        self.db.execute("DELETE FROM pictures WHERE code = ?", (code,))
        remove_quietly(self.path_of(code))

    # --- uploads waiting for their registration ---

    def knows(self, code):
        with self.lock:
            return self.db.execute("SELECT 1 FROM pictures WHERE code = ?", (code,)).fetchone() is not None

    def add_upload(self, code, data, client, key_name, at):
        path = self.path_of(code)
        with self.lock:
            if self.db.execute("SELECT 1 FROM pictures WHERE code = ?", (code,)).fetchone():
                return False
            with open(path + TEMPORARY_SUFFIX, "wb") as file:
                file.write(data)
            try:
                os.link(path + TEMPORARY_SUFFIX, path)  # never over another file
            except FileExistsError:
                return False
            finally:
                remove_quietly(path + TEMPORARY_SUFFIX)
            try:
                with self.db:
                    self.db.execute("INSERT INTO pictures (code, size, uploaded_at, client, key_name) "
                                    "VALUES (?, ?, ?, ?, ?)", (code, len(data), at, client, key_name))
            except sqlite3.Error:
                remove_quietly(path)
                raise
            return True

    def waiting(self, client, arrived_since):
        query = "SELECT COUNT(*) FROM pictures WHERE delid IS NULL AND uploaded_at >= ?"
        with self.lock:
            mine = self.db.execute(query + " AND client = ?", (arrived_since, client)).fetchone()[0]
            everyone = self.db.execute(query, (arrived_since,)).fetchone()[0]
        return mine, everyone

    def expire_waiting(self, arrived_before):
        with self.lock, self.db:
            codes = self.db.execute("SELECT code FROM pictures WHERE delid IS NULL AND uploaded_at < ?",
                                    (arrived_before,)).fetchall()
            for (code,) in codes:
                self._remove(code)
        return len(codes)

    def register(self, code, delid, sid, key_name, at, arrived_since, uses_since, max_uses):
        with self.lock, self.db:
            row = self.db.execute("SELECT delid, uploaded_at FROM pictures WHERE code = ?", (code,)).fetchone()
            if row is None:
                return "NOT_UPLOADED"
            if row[0] is not None:
                return "ALREADY_REGISTERED"
            if row[1] < arrived_since:
                self._remove(code)
                return "NOT_UPLOADED"
            uses = self.db.execute("SELECT COUNT(*) FROM uses WHERE sid = ? AND at > ?",
                                   (sid, uses_since)).fetchone()[0]
            if uses >= max_uses:
                self._remove(code)  # a refused picture is not kept, and does not count
                return "LIMIT_REACHED"
            self.db.execute("UPDATE pictures SET delid = ?, sid = ?, registered_at = ?, key_name = ? "
                            "WHERE code = ?", (delid, sid, at, key_name, code))
            self.db.execute("INSERT INTO uses (sid, at, key_name) VALUES (?, ?, ?)", (sid, at, key_name))
            return None

    def uses(self, sid, since):
        with self.lock:
            return self.db.execute("SELECT COUNT(*) FROM uses WHERE sid = ? AND at > ?",
                                   (sid, since)).fetchone()[0]

    # --- pictures ---

    def picture(self, code):
        with self.lock:
            row = self.db.execute("SELECT code, size, registered_at, key_name FROM pictures "
                                  "WHERE code = ? AND delid IS NOT NULL", (code,)).fetchone()
        return Picture(*row) if row else None

    def picture_data(self, code):
        if self.picture(code) is None:
            return None
        try:
            with open(self.path_of(code), "rb") as file:
                return file.read()
        except FileNotFoundError:  # removed meanwhile
            return None

    def delete(self, code, delid):
        with self.lock, self.db:
            row = self.db.execute("SELECT delid FROM pictures WHERE code = ? AND delid IS NOT NULL",
                                  (code,)).fetchone()
            if row is None:
                return "NOT_FOUND_FILE"
            if row[0] != delid:
                return "DELID_MISMATCH"
            self._remove(code)
            return "DELETE_SUCCESS"

    def remove(self, code):
        with self.lock, self.db:
            if not self.db.execute("SELECT 1 FROM pictures WHERE code = ?", (code,)).fetchone():
                return False
            self._remove(code)
            return True

    def pictures(self, registered_since=None):
        with self.lock:
            rows = self.db.execute("SELECT code, size, registered_at, key_name FROM pictures "
                                   "WHERE delid IS NOT NULL AND registered_at >= ? ORDER BY registered_at",
                                   (registered_since if registered_since is not None else float("-inf"),))
            return [Picture(*row) for row in rows.fetchall()]

    def totals(self):
        with self.lock:
            count, size = self.db.execute("SELECT COUNT(*), COALESCE(SUM(size), 0) FROM pictures "
                                          "WHERE delid IS NOT NULL").fetchone()
        return count, size

    def use_log(self, since):
        with self.lock:
            rows = self.db.execute("SELECT sid, at, key_name FROM uses WHERE at >= ? ORDER BY at", (since,))
            return [Use(*row) for row in rows.fetchall()]

    # --- expiry ---

    def expire(self, registered_before, at, forget_before):
        with self.lock, self.db:
            codes = [code for (code,) in self.db.execute(
                "SELECT code FROM pictures WHERE delid IS NOT NULL AND registered_at < ?",
                (registered_before,)).fetchall()]
            for code in codes:
                self.db.execute("INSERT OR REPLACE INTO expired (code, at) VALUES (?, ?)", (code, at))
                self._remove(code)
            self.db.execute("DELETE FROM expired WHERE at < ?", (forget_before,))
        return codes

    def was_expired(self, code):
        with self.lock:
            return self.db.execute("SELECT 1 FROM expired WHERE code = ?", (code,)).fetchone() is not None

    # --- wrong deletion ids ---

    def wrong_guesses(self, client, since):
        with self.lock:
            return self.db.execute("SELECT COUNT(*) FROM wrong_guesses WHERE client = ? AND at > ?",
                                   (client, since)).fetchone()[0]

    def note_wrong_guess(self, client, at):
        with self.lock, self.db:
            self.db.execute("INSERT INTO wrong_guesses (client, at) VALUES (?, ?)", (client, at))

    def forget_wrong_guesses(self, before=None):
        with self.lock, self.db:
            if before is None:
                self.db.execute("DELETE FROM wrong_guesses")
            else:
                self.db.execute("DELETE FROM wrong_guesses WHERE at < ?", (before,))

    # --- sweeps, moving in, tests ---

    def lead_sweeps(self):
        return True  # one service process a data folder

    def records(self):
        with self.lock:
            rows = self.db.execute("SELECT code, size, registered_at, delid, sid, client, key_name "
                                   "FROM pictures WHERE delid IS NOT NULL ORDER BY registered_at").fetchall()
        for row in rows:
            try:
                with open(self.path_of(row[0]), "rb") as file:
                    data = file.read()
            except FileNotFoundError:
                continue
            yield Record(*row, data)

    def put_record(self, record):
        raise StoreError("a data folder is moved into PostgreSQL, not into another data folder")

    def put_use(self, use):
        raise StoreError("a data folder is moved into PostgreSQL, not into another data folder")


    def wipe(self):
        with self.lock, self.db:
            for (code,) in self.db.execute("SELECT code FROM pictures").fetchall():
                self._remove(code)
            for table in ("uses", "wrong_guesses", "expired"):
                self.db.execute(f"DELETE FROM {table}")
