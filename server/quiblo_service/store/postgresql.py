"""The PostgreSQL store: everything in the database (pictures as bytea), so that any process on
any host that shares the database answers any request. Through psycopg 3 (Debian
python3-psycopg)."""

import contextlib
import queue
import select
import threading

try:
    import psycopg
except ImportError:  # only this store needs it
    psycopg = None

from ..codes import MAX_UPLOAD_BYTES
from . import SCHEMA_VERSION, Picture, Store, StoreError, Use

# pg_advisory_lock keys: one for schema changes, one for the turn to run the sweeps.
SCHEMA_LOCK = 0x5142_0001
SWEEP_LOCK = 0x5142_0002

# Each step brings the schema from its index to the next version.
MIGRATIONS = [
    # 0 -> 1: pictures, uploads waiting for their registration, uses, wrong deletion ids.
    [f"""CREATE TABLE pictures (
            code text PRIMARY KEY, data bytea NOT NULL CHECK (octet_length(data) <= {MAX_UPLOAD_BYTES}),
            size integer NOT NULL, uploaded_at double precision NOT NULL,
            registered_at double precision NOT NULL, delid text NOT NULL, sid text NOT NULL,
            client text)""",
     "CREATE INDEX pictures_by_time ON pictures (registered_at)",
     f"""CREATE TABLE uploads (
            code text PRIMARY KEY, data bytea NOT NULL CHECK (octet_length(data) <= {MAX_UPLOAD_BYTES}),
            arrived_at double precision NOT NULL, client text)""",
     "CREATE INDEX uploads_by_time ON uploads (arrived_at)",
     "CREATE TABLE uses (sid text NOT NULL, at double precision NOT NULL)",
     "CREATE INDEX uses_by_user ON uses (sid, at)",
     "CREATE INDEX uses_by_time ON uses (at)",
     "CREATE TABLE wrong_guesses (client text, at double precision NOT NULL)",
     "CREATE INDEX wrong_guesses_by_client ON wrong_guesses (client, at)"],
    # 1 -> 2: upload keys' names, and the codes of expired pictures.
    ["ALTER TABLE pictures ADD COLUMN key_name text",
     "ALTER TABLE uploads ADD COLUMN key_name text",
     "ALTER TABLE uses ADD COLUMN key_name text",
     "CREATE TABLE expired (code text PRIMARY KEY, at double precision NOT NULL)"],
    # 2 -> 3: nothing here: uploads waiting for their registration had a table of their own
    # from the start (the data folder's store moved to the same layout).
    [],
    # 3 -> 4: a lifetime the uploader chose, and the thumbnails of the previews.
    ["ALTER TABLE pictures ADD COLUMN expires_at double precision",
     """CREATE TABLE thumbnails (code text PRIMARY KEY REFERENCES pictures (code) ON DELETE CASCADE,
            data bytea NOT NULL)"""],
    # 4 -> 5: a picture's bytes are written once, into blobs, as the upload arrives; its
    # registration moves only its row.
    [f"""CREATE TABLE blobs (
            code text PRIMARY KEY, data bytea NOT NULL CHECK (octet_length(data) <= {MAX_UPLOAD_BYTES}))""",
     "INSERT INTO blobs (code, data) SELECT code, data FROM pictures",
     "INSERT INTO blobs (code, data) SELECT code, data FROM uploads ON CONFLICT (code) DO NOTHING",
     "ALTER TABLE uploads ADD COLUMN size integer",
     "UPDATE uploads SET size = octet_length(data)",
     "ALTER TABLE uploads ALTER COLUMN size SET NOT NULL",
     "ALTER TABLE pictures DROP COLUMN data",
     "ALTER TABLE uploads DROP COLUMN data"],
    # 5 -> 6: the codes ever registered, eight bytes each; the size limit is the service's
    # setting (max-bytes), checked before anything is kept.
    ["CREATE TABLE used_codes (code bigint PRIMARY KEY)",
     "ALTER TABLE blobs DROP CONSTRAINT IF EXISTS blobs_data_check",
     "INSERT INTO used_codes SELECT code::bigint FROM pictures UNION SELECT code::bigint FROM expired"],
]

# A database that stops answering stalls only the requests that need it, and only for seconds:
# a statement is cancelled by the server after STATEMENT_SECONDS, and a connection whose peer
# went silent (a dead host, a black-holed route) is given up within about ten seconds.
STATEMENT_SECONDS = 15
CONNECTION = {"connect_timeout": 10, "keepalives": 1, "keepalives_idle": 5, "keepalives_interval": 2,
              "keepalives_count": 3, "tcp_user_timeout": 10000,
              "options": f"-c statement_timeout={STATEMENT_SECONDS * 1000}"}


@contextlib.contextmanager
def store_errors(what="the database failed"):
    """Turns the driver's errors into StoreError."""
    try:
        yield
    except psycopg.Error as err:
        raise StoreError(f"{what}: {err}") from err
assert len(MIGRATIONS) == SCHEMA_VERSION


def upgrade(connection, target=SCHEMA_VERSION):
    """Brings the schema to TARGET in one transaction; refuses a newer one. Several processes
    that start at once take turns."""
    with connection.transaction():
        connection.execute("SELECT pg_advisory_xact_lock(%s)", (SCHEMA_LOCK,))
        connection.execute("CREATE TABLE IF NOT EXISTS quiblo_schema (version integer NOT NULL)")
        row = connection.execute("SELECT version FROM quiblo_schema").fetchone()
        version = row[0] if row else 0
        if version > SCHEMA_VERSION:
            raise StoreError(f"the database's schema is version {version}, newer than this "
                             f"service's {SCHEMA_VERSION}: update quiblo-service")
        for step in MIGRATIONS[version:target]:
            for statement in step:
                connection.execute(statement)
        if row is None:
            connection.execute("INSERT INTO quiblo_schema (version) VALUES (%s)", (max(version, target),))
        else:
            connection.execute("UPDATE quiblo_schema SET version = %s", (max(version, target),))


class Pool:
    """A few open connections shared by the threads; a connection that broke is dropped."""

    def __init__(self, dsn, size=8):
        self.dsn = dsn
        self.idle = queue.LifoQueue()
        self.slots = threading.BoundedSemaphore(size)

    def open(self):
        with store_errors("cannot reach the database"):
            return psycopg.connect(self.dsn, autocommit=True, **CONNECTION)

    @contextlib.contextmanager
    def connection(self):
        with self.slots:
            conn = self.take_idle() or self.open()
            try:
                with store_errors():
                    yield conn
            except BaseException:
                if conn.closed or conn.info.transaction_status != psycopg.pq.TransactionStatus.IDLE:
                    conn.close()
                raise
            finally:
                if not conn.closed:
                    self.idle.put(conn)

    def take_idle(self):
        """An idle connection that still looks alive, or None. An idle connection has nothing to
        read: one that has (the server's farewell as it shut down, or the end of the
        connection) is dropped, so that a restarted database costs no request a failure."""
        while True:
            try:
                conn = self.idle.get_nowait()
            except queue.Empty:
                return None
            if not conn.closed and not select.select([conn.fileno()], [], [], 0)[0]:
                return conn
            conn.close()

    def close(self):
        while True:
            try:
                self.idle.get_nowait().close()
            except queue.Empty:
                return


class CodeTaken(Exception):
    """Inside add_upload: the code was taken meanwhile."""


def drop_blobs(conn, codes):
    """Removes the bytes of pictures and uploads that are gone."""
    if codes:
        conn.execute("DELETE FROM blobs WHERE code = ANY(%s)", (list(codes),))


class PostgresStore(Store):
    def __init__(self, dsn):
        if psycopg is None:
            raise StoreError("a PostgreSQL database needs psycopg 3 (Debian: python3-psycopg)")
        self.pool = Pool(dsn)
        self.leader = None  # the connection that holds the sweeps' turn
        with self.pool.connection() as conn:
            upgrade(conn)

    def close(self):
        self.pool.close()
        if self.leader is not None:
            self.leader.close()

    def run(self, query, params=()):
        with self.pool.connection() as conn:
            return conn.execute(query, params).fetchall()

    def one(self, query, params=()):
        rows = self.run(query, params)
        return rows[0] if rows else None

    @contextlib.contextmanager
    def transaction(self):
        with self.pool.connection() as conn, conn.transaction():
            yield conn

    def knows(self, code):
        return self.one("SELECT 1 FROM pictures WHERE code = %s UNION ALL SELECT 1 FROM uploads WHERE code = %s "
                        "UNION ALL SELECT 1 FROM used_codes WHERE code = %s", (code, code, int(code))) is not None

    def add_upload(self, code, data, client, key_name, at):
        try:
            with self.transaction() as conn:
                cursor = conn.execute(
                    "INSERT INTO uploads (code, size, arrived_at, client, key_name) "
                    "SELECT %s, %s, %s, %s, %s WHERE NOT EXISTS (SELECT 1 FROM pictures WHERE code = %s) "
                    "AND NOT EXISTS (SELECT 1 FROM used_codes WHERE code = %s) ON CONFLICT (code) DO NOTHING",
                    (code, len(data), at, client, key_name, code, int(code)))
                if cursor.rowcount != 1:
                    return False
                # A registration of the same code that ended meanwhile left its bytes here: the
                # code is taken, and this transaction is rolled back.
                if conn.execute("INSERT INTO blobs (code, data) VALUES (%s, %s) ON CONFLICT (code) DO NOTHING",
                                (code, data)).rowcount != 1:
                    raise CodeTaken(code)
                return True
        except CodeTaken:
            return False

    def waiting(self, client, arrived_since):
        row = self.one("SELECT COUNT(*) FILTER (WHERE client = %s), COUNT(*) FROM uploads "
                       "WHERE arrived_at >= %s", (client, arrived_since))
        return row[0], row[1]

    def expire_waiting(self, arrived_before):
        with self.transaction() as conn:
            codes = [code for (code,) in conn.execute(
                "DELETE FROM uploads WHERE arrived_at < %s RETURNING code", (arrived_before,))]
            drop_blobs(conn, codes)
        return len(codes)

    def register(self, code, delid, sid, key_name, at, arrived_since, uses_since, max_uses, expires_at=None):
        with self.transaction() as conn:
            # One registration of a user at a time, on any host: the limit holds.
            conn.execute("SELECT pg_advisory_xact_lock(hashtext(%s))", (sid,))
            row = conn.execute("SELECT arrived_at FROM uploads WHERE code = %s FOR UPDATE", (code,)).fetchone()
            if row is None:
                known = conn.execute("SELECT 1 FROM pictures WHERE code = %s", (code,)).fetchone()
                return "ALREADY_REGISTERED" if known else "NOT_UPLOADED"
            if row[0] < arrived_since:
                conn.execute("DELETE FROM uploads WHERE code = %s", (code,))
                drop_blobs(conn, [code])
                return "NOT_UPLOADED"
            uses = conn.execute("SELECT COUNT(*) FROM uses WHERE sid = %s AND at > %s",
                                (sid, uses_since)).fetchone()[0]
            if uses >= max_uses:
                conn.execute("DELETE FROM uploads WHERE code = %s", (code,))
                drop_blobs(conn, [code])
                return "LIMIT_REACHED"
            conn.execute("INSERT INTO pictures (code, size, uploaded_at, registered_at, delid, sid, client, "
                         "key_name, expires_at) SELECT code, size, arrived_at, %s, %s, %s, client, %s, %s "
                         "FROM uploads WHERE code = %s", (at, delid, sid, key_name, expires_at, code))
            conn.execute("DELETE FROM uploads WHERE code = %s", (code,))
            conn.execute("INSERT INTO used_codes (code) VALUES (%s) ON CONFLICT DO NOTHING", (int(code),))
            conn.execute("INSERT INTO uses (sid, at, key_name) VALUES (%s, %s, %s)", (sid, at, key_name))
            return None

    def uses(self, sid, since):
        return self.one("SELECT COUNT(*) FROM uses WHERE sid = %s AND at > %s", (sid, since))[0]

    # --- pictures ---

    def picture(self, code):
        row = self.one("SELECT code, size, registered_at, key_name, expires_at FROM pictures WHERE code = %s", (code,))
        return Picture(*row) if row else None

    def picture_data(self, code):
        row = self.one("SELECT data FROM blobs JOIN pictures USING (code) WHERE code = %s", (code,))
        return bytes(row[0]) if row else None

    def thumbnail(self, code):
        row = self.one("SELECT data FROM thumbnails WHERE code = %s", (code,))
        return bytes(row[0]) if row else None

    def put_thumbnail(self, code, data):
        self.run_only("INSERT INTO thumbnails (code, data) SELECT code, %s FROM pictures WHERE code = %s "
                      "ON CONFLICT (code) DO NOTHING", (data, code))

    def deletion_id(self, code):
        row = self.one("SELECT delid FROM pictures WHERE code = %s", (code,))
        return row[0] if row else None

    def delete(self, code, delid):
        with self.transaction() as conn:
            row = conn.execute("SELECT delid FROM pictures WHERE code = %s FOR UPDATE", (code,)).fetchone()
            if row is None:
                return "NOT_FOUND_FILE"
            if row[0] != delid:
                return "DELID_MISMATCH"
            conn.execute("DELETE FROM pictures WHERE code = %s", (code,))
            drop_blobs(conn, [code])
            return "DELETE_SUCCESS"

    def remove(self, code):
        with self.transaction() as conn:
            removed = conn.execute("DELETE FROM pictures WHERE code = %s", (code,)).rowcount
            removed += conn.execute("DELETE FROM uploads WHERE code = %s", (code,)).rowcount
            drop_blobs(conn, [code])
        return removed > 0

    def pictures(self, registered_since=None):
        since = registered_since if registered_since is not None else float("-inf")
        return [Picture(*row) for row in self.run(
            "SELECT code, size, registered_at, key_name, expires_at FROM pictures WHERE registered_at >= %s "
            "ORDER BY registered_at", (since,))]

    def pictures_among(self, codes):
        return [Picture(*row) for row in self.run(
            "SELECT code, size, registered_at, key_name, expires_at FROM pictures WHERE code = ANY(%s)",
            (list(codes),))]

    def pictures_of(self, key_name, offset, limit):
        rows = self.run("SELECT code, size, registered_at, key_name, expires_at FROM pictures "
                        "WHERE %s::text IS NULL OR key_name = %s ORDER BY registered_at DESC, code LIMIT %s OFFSET %s",
                        (key_name, key_name, limit, offset))
        total = self.one("SELECT COUNT(*) FROM pictures WHERE %s::text IS NULL OR key_name = %s",
                         (key_name, key_name))[0]
        return [Picture(*row) for row in rows], total

    def totals(self):
        count, size = self.one("SELECT COUNT(*), COALESCE(SUM(size), 0) FROM pictures")
        return count, int(size)

    def use_log(self, since):
        return [Use(*row) for row in self.run("SELECT sid, at, key_name FROM uses WHERE at >= %s ORDER BY at",
                                              (since,))]

    # --- expiry ---

    def expire(self, registered_before, at, forget_before):
        with self.transaction() as conn:
            codes = [code for (code,) in conn.execute(
                "DELETE FROM pictures WHERE registered_at < %s OR expires_at <= %s RETURNING code",
                (registered_before, at))]
            for code in codes:
                conn.execute("INSERT INTO expired (code, at) VALUES (%s, %s) "
                             "ON CONFLICT (code) DO UPDATE SET at = EXCLUDED.at", (code, at))
            drop_blobs(conn, codes)
            conn.execute("DELETE FROM expired WHERE at < %s", (forget_before,))
        return codes

    def was_expired(self, code):
        return self.one("SELECT 1 FROM expired WHERE code = %s", (code,)) is not None

    # --- wrong deletion ids ---

    def wrong_guesses(self, client, since):
        return self.one("SELECT COUNT(*) FROM wrong_guesses WHERE client = %s AND at > %s", (client, since))[0]

    def note_wrong_guess(self, client, at):
        self.run_only("INSERT INTO wrong_guesses (client, at) VALUES (%s, %s)", (client, at))

    def forget_wrong_guesses(self, before=None):
        if before is None:
            self.run_only("DELETE FROM wrong_guesses")
        else:
            self.run_only("DELETE FROM wrong_guesses WHERE at < %s", (before,))

    def run_only(self, query, params=()):
        with self.pool.connection() as conn:
            conn.execute(query, params)

    # --- sweeps, moving in ---

    def lead_sweeps(self):
        """A session lock held on a connection of its own: the turn passes on when this process
        (or its connection) ends. The holder asks the database each time whether it still holds
        it: a restarted database has forgotten the lock, and another process may have it now."""
        if self.leader is not None:
            if self.holds_sweep_lock():
                return True
            self.leader.close()
            self.leader = None
        conn = self.pool.open()
        try:
            if conn.execute("SELECT pg_try_advisory_lock(%s)", (SWEEP_LOCK,)).fetchone()[0]:
                self.leader = conn
                return True
        except psycopg.Error:
            pass
        conn.close()
        return False

    def holds_sweep_lock(self):
        try:
            return self.leader.execute(
                "SELECT EXISTS (SELECT 1 FROM pg_locks WHERE locktype = 'advisory' AND granted "
                "AND pid = pg_backend_pid() AND classid::bigint = 0 AND objid::bigint = %s)",
                (SWEEP_LOCK,)).fetchone()[0]
        except psycopg.Error:
            return False

    def import_records(self, records, uses):
        counts = [0, 0, 0, 0]
        with self.transaction() as conn:
            for record in records:
                added = conn.execute(
                    "INSERT INTO pictures (code, size, uploaded_at, registered_at, delid, sid, client, "
                    "key_name) VALUES (%s, %s, %s, %s, %s, %s, %s, %s) ON CONFLICT (code) DO NOTHING",
                    (record.code, len(record.data), record.registered_at, record.registered_at,
                     record.delid, record.sid, record.client, record.key_name)).rowcount
                if added:
                    conn.execute("INSERT INTO used_codes (code) VALUES (%s) ON CONFLICT DO NOTHING",
                                 (int(record.code),))
                    conn.execute("INSERT INTO blobs (code, data) VALUES (%s, %s) ON CONFLICT (code) DO NOTHING",
                                 (record.code, record.data))
                counts[0 if added else 1] += 1
            for use in uses:
                added = conn.execute(
                    "INSERT INTO uses (sid, at, key_name) SELECT %s, %s, %s WHERE NOT EXISTS "
                    "(SELECT 1 FROM uses WHERE sid = %s AND at = %s)",
                    (use.sid, use.at, use.key_name, use.sid, use.at)).rowcount
                counts[2 if added else 3] += 1
        return tuple(counts)
