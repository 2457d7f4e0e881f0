"""A data folder read as the source of an import: opened read-only and never changed (an older
one is read as it is, not upgraded), no link followed out of it, and only whole pictures taken."""

import contextlib
import errno
import os
import shutil
import sqlite3
import stat
import tempfile
import urllib.parse

from .. import png
from ..codes import DELETION_ID, MAX_UPLOAD_BYTES, PICTURE_CODE, USER_ID
from . import SCHEMA_VERSION, Record, StoreError, Use

OPEN_FLAGS = os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK | os.O_CLOEXEC


@contextlib.contextmanager
def source_errors(folder):
    try:
        yield
    except sqlite3.Error as err:
        raise StoreError(f"cannot read the data folder {folder}: {err}") from err


def read_file(name, dir_fd, size):
    """The bytes of NAME in the folder DIR_FD: a regular file itself (no link), of SIZE bytes."""
    try:
        fd = os.open(name, OPEN_FLAGS, dir_fd=dir_fd)
    except OSError as err:
        raise png.NotAPicture("no regular file" if err.errno == errno.ELOOP else err.strerror) from err
    with open(fd, "rb") as file:
        info = os.fstat(fd)
        if not stat.S_ISREG(info.st_mode):
            raise png.NotAPicture("no regular file")
        if info.st_size != size:
            raise png.NotAPicture(f"its file has {info.st_size} bytes, its row {size}")
        data = file.read(size + 1)
    if len(data) != size:
        raise png.NotAPicture("its file changed while it was read")
    return data


def unchanging_uri(path):
    """The database opened as a file that nothing changes: sqlite then writes nothing beside it
    (no -shm or -wal), and it opens in a folder that cannot be written."""
    return f"file:{urllib.parse.quote(os.path.abspath(path))}?mode=ro&immutable=1"


def copy_with_log(path, folder):
    """A copy, in FOLDER, of the database at PATH with its write-ahead log: the log holds what a
    service wrote last, which an unchanging open would not read, and the copy's own log may be
    folded in there without a byte written beside the source."""
    copy = os.path.join(folder, "quiblo.sqlite3")
    for suffix in ("", "-wal"):
        shutil.copyfile(path + suffix, copy + suffix)
    return copy


class SourceFolder:
    """The registered pictures and uses of a data folder, read-only."""

    def __init__(self, folder):
        self.folder = folder
        if not os.path.isdir(folder):
            raise StoreError(f"no data folder {folder}")
        path = os.path.join(folder, "quiblo.sqlite3")
        if not os.path.isfile(path) or os.path.islink(path):
            raise StoreError(f"{folder} holds no service's data (no quiblo.sqlite3)")
        self.scratch = None
        with source_errors(folder):
            if os.path.exists(path + "-wal"):
                self.scratch = tempfile.TemporaryDirectory(prefix="quiblo-import-")
                try:
                    self.db = sqlite3.connect(copy_with_log(path, self.scratch.name))
                except OSError as err:
                    self.scratch.cleanup()
                    raise StoreError(f"cannot read the data folder {folder}: {err.strerror}") from err
            else:
                self.db = sqlite3.connect(unchanging_uri(path), uri=True)
            try:
                version = self.db.execute("PRAGMA user_version").fetchone()[0]
                if version > SCHEMA_VERSION:
                    raise StoreError(f"the data folder's schema is version {version}, newer than this "
                                     f"service's {SCHEMA_VERSION}: update quiblo-service")
                self.columns = {table: {row[1] for row in self.db.execute(f"PRAGMA table_info({table})")}
                                for table in ("pictures", "uses")}
            except BaseException:
                self.close()
                raise
        self.skipped = []  # (code, reason) of the pictures left out

    def close(self):
        self.db.close()
        if self.scratch is not None:
            self.scratch.cleanup()

    def column(self, table, name):
        """NAME, or NULL in a folder older than that column."""
        return name if name in self.columns[table] else "NULL"

    def records(self):
        """Every registered picture whose code, row and file are sound, as a Record, read one at
        a time; the others go to `skipped` with the reason."""
        if not self.columns["pictures"]:
            return
        query = (f"SELECT code, size, registered_at, delid, sid, {self.column('pictures', 'client')}, "
                 f"{self.column('pictures', 'key_name')} FROM pictures WHERE delid IS NOT NULL ORDER BY registered_at")
        try:
            pictures_fd = os.open(os.path.join(self.folder, "pictures"), OPEN_FLAGS | os.O_DIRECTORY)
        except OSError as err:
            raise StoreError(f"cannot read the pictures of {self.folder}: {err.strerror}") from err
        try:
            with source_errors(self.folder):
                for row in self.db.execute(query):
                    record = self.record(row, pictures_fd)
                    if record is not None:
                        yield record
        finally:
            os.close(pictures_fd)

    def record(self, row, pictures_fd):
        code, size, registered_at, delid, sid = row[:5]
        try:
            if not isinstance(code, str) or not PICTURE_CODE.fullmatch(code):
                raise png.NotAPicture("not a picture code")
            if not (isinstance(size, int) and 0 < size <= MAX_UPLOAD_BYTES):
                raise png.NotAPicture(f"its size {size} is over the limit of {MAX_UPLOAD_BYTES} bytes")
            if not (isinstance(registered_at, (int, float)) and isinstance(delid, str)
                    and DELETION_ID.fullmatch(delid) and isinstance(sid, str) and USER_ID.fullmatch(sid)):
                raise png.NotAPicture("its row is damaged")
            data = read_file(code + ".png", pictures_fd, size)
            png.check(data)
        except png.NotAPicture as err:
            self.skipped.append((str(code)[:40], str(err)))
            return None
        return Record(code, size, registered_at, delid, sid, *row[5:], data)

    def uses(self):
        if not self.columns["uses"]:
            return
        query = f"SELECT sid, at, {self.column('uses', 'key_name')} FROM uses ORDER BY at"
        with source_errors(self.folder):
            for sid, at, key_name in self.db.execute(query):
                if isinstance(sid, str) and isinstance(at, (int, float)):
                    yield Use(sid, at, key_name)
