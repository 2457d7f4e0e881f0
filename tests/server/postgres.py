"""A PostgreSQL 15 server of the tests' own: initdb and pg_ctl on a temporary folder, on a free
loopback port, as an unprivileged user (PostgreSQL refuses root). Never the system's cluster."""

import itertools
import os
import pwd
import shutil
import socket
import subprocess
import tempfile

import psycopg

BIN = "/usr/lib/postgresql/15/bin"


def free_port():
    with socket.socket() as sock:
        sock.bind(("127.0.0.1", 0))
        return sock.getsockname()[1]


class PostgresServer:
    names = itertools.count(1)

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="quiblo-pg-")
        self.port = free_port()
        self.as_user = []
        if os.getuid() == 0:
            os.chmod(self.folder, 0o755)
            nobody = pwd.getpwnam("nobody")
            os.chown(self.folder, nobody.pw_uid, nobody.pw_gid)
            self.as_user = ["runuser", "-u", "nobody", "--"]
        cluster = os.path.join(self.folder, "cluster")
        self.run([f"{BIN}/initdb", "-D", cluster, "-U", "postgres", "--auth=trust", "-E", "UTF8",
                  "--locale=C.UTF-8"])
        self.cluster = cluster
        self.start()

    def start(self):
        self.run([f"{BIN}/pg_ctl", "-D", self.cluster, "-l", os.path.join(self.folder, "log"), "-w", "-o",
                  f"-h 127.0.0.1 -p {self.port} -k {self.folder} -c fsync=off -c max_connections=300",
                  "start"])

    def halt(self):
        """Stops the server (its clients' connections end), keeping its data for start()."""
        self.run([f"{BIN}/pg_ctl", "-D", self.cluster, "-m", "fast", "-w", "stop"])

    def run(self, command):
        subprocess.run(self.as_user + command, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, cwd=self.folder)

    def dsn(self, name="postgres"):
        return f"postgresql://postgres@127.0.0.1:{self.port}/{name}"

    def new_database(self):
        name = f"quiblo_{os.getpid()}_{next(self.names)}"
        with psycopg.connect(self.dsn(), autocommit=True) as conn:
            conn.execute(f'CREATE DATABASE "{name}"')
        return self.dsn(name)

    def query(self, dsn, sql, params=()):
        with psycopg.connect(dsn, autocommit=True) as conn:
            cursor = conn.execute(sql, params)
            return cursor.fetchall() if cursor.description else cursor.rowcount

    def stop(self):
        try:
            self.run([f"{BIN}/pg_ctl", "-D", self.cluster, "-m", "immediate", "-w", "stop"])
        finally:
            shutil.rmtree(self.folder, ignore_errors=True)
