"""Upload keys: who may upload. A file of `name key` lines (`#` starts a comment), each perhaps
followed by the key's own usage limit (`limit=500/24h`: uploads per hours) and `admin`; a client
presents its key in the `X-Quiblo-Key` header of its HTTP requests and after the upload password
and a colon in its FTP login. Without a key file every client may upload."""

import hmac
import logging
import os
import re
import threading
import time

from .limits import UsageLimit

KEY_HEADER = "X-Quiblo-Key"
KEY_NAME = re.compile(r"[A-Za-z0-9._@-]{1,64}")
KEY = re.compile(r"[A-Za-z0-9._~+/=-]{16,256}")
LIMIT = re.compile(r"limit=([0-9]{1,9})/([0-9]{1,6})h")
# A file changed less than SETTLE_SECONDS ago may still be being written: it is read again once
# it has been at rest that long. After a reload it is watched for WATCH_SECONDS, and read again
# if it changes, so that an edit that ends just after the reload is not missed.
SETTLE_SECONDS = 0.2
WATCH_SECONDS = 5.0


class KeyFileError(Exception):
    pass


def read_key_file(path):
    """{key: name} of a key file, or KeyFileError naming the file and line."""
    return read_keys_and_options(path)[0]


def read_keys_and_options(path):
    """({key: name}, {name: its options}) of a key file, or KeyFileError naming the file and
    line. The options: "limit" [uploads, hours], "admin" true."""
    try:
        with open(path, encoding="utf-8") as file:
            lines = file.read().splitlines()
    except (OSError, UnicodeDecodeError) as err:
        raise KeyFileError(f"cannot read {path}: {getattr(err, 'strerror', None) or err}") from err
    keys, options = {}, {}
    for number, line in enumerate(lines, 1):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        parts = line.split()
        if len(parts) < 2 or not KEY_NAME.fullmatch(parts[0]) or not KEY.fullmatch(parts[1]):
            raise KeyFileError(f"{path}:{number}: expected a name and a key of 16 to 256 of "
                               "A-Z a-z 0-9 . _ ~ + / = -")
        name, key = parts[:2]
        if name in options or key in keys:
            raise KeyFileError(f"{path}:{number}: the name or the key is given twice")
        options[name] = key_options(parts[2:], f"{path}:{number}")
        keys[key] = name
    return keys, options


def key_options(words, where):
    found = {}
    for word in words:
        limit = LIMIT.fullmatch(word)
        if limit and int(limit.group(2)) > 0 and "limit" not in found:
            found["limit"] = [int(limit.group(1)), int(limit.group(2))]
        elif word == "admin" and "admin" not in found:
            found["admin"] = True
        else:
            raise KeyFileError(f"{where}: after the key, only limit=UPLOADS/HOURSh (such as "
                               "limit=500/24h) and admin may follow")
    return found


def file_stamp(path):
    """What tells one version of a file from another, or None when it cannot be seen."""
    try:
        st = os.stat(path)
    except OSError:
        return None
    return (st.st_ino, st.st_size, st.st_mtime_ns, st.st_ctime_ns)


def read_settled(path):
    """(({key: name}, {name: options}) or the KeyFileError, the stamp of what was read), read from a file that did
    not change during the read and has been at rest for a moment."""
    for _ in range(25):
        before = file_stamp(path)
        try:
            result = read_keys_and_options(path)
        except KeyFileError as err:
            result = err
        after = file_stamp(path)
        if before == after and (after is None or time.time() - after[2] / 1e9 >= SETTLE_SECONDS):
            break
        time.sleep(SETTLE_SECONDS / 2)
    return result, after


class UploadKeys:
    """The keys of a key file, read again on reload(), or handed over by another process with
    take(). `None` as the path: no keys needed."""

    def __init__(self, path=None):
        self.path = path
        self.lock = threading.Lock()
        self.keys, self.options = read_keys_and_options(path) if path else ({}, {})
        self.seen = set(self.keys)  # every key this process was given, for redact()
        self.stamp = file_stamp(path) if path else None
        self.watch_until = 0.0

    @property
    def required(self):
        return self.path is not None

    def reload(self):
        """Reads the file again and logs one line. A file that cannot be read any more refuses
        every key until it is mended: a key being taken back is the likely reason for the edit."""
        if not self.path:
            return
        result, self.stamp = read_settled(self.path)
        self.watch_until = time.monotonic() + WATCH_SECONDS
        if isinstance(result, KeyFileError):
            logging.error("upload keys refused: %s; every upload key is refused until it is mended", result)
            result = ({}, {})
        else:
            logging.warning("upload keys read: %d", len(result[0]))
        self.take({"keys": result[0], "options": result[1]})

    def watching(self):
        return self.path is not None and time.monotonic() < self.watch_until

    def changed(self):
        """True when the file changed since it was last read."""
        return self.path is not None and file_stamp(self.path) != self.stamp

    def take(self, state):
        """Serves STATE ({"keys": {key: name}, "options": {name: options}}, as current() gives
        it) from now on."""
        with self.lock:
            self.keys, self.options = dict(state["keys"]), dict(state["options"])
            self.seen.update(self.keys)

    def current(self):
        with self.lock:
            return {"keys": dict(self.keys), "options": dict(self.options)}

    def limit_of(self, name):
        """The UsageLimit of the key named NAME, or None when it has none of its own."""
        with self.lock:
            limit = self.options.get(name, {}).get("limit")
        return UsageLimit(limit[1], limit[0]) if limit else None

    def key_of(self, name):
        """The key listed under NAME, or None."""
        with self.lock:
            found = [key for key, listed in self.keys.items() if listed == name]
        return found[0] if found else None

    def fingerprint_of(self, name):
        """The fingerprint of the key listed under NAME, or None."""
        from .sessions import fingerprint
        with self.lock:
            found = [key for key, listed in self.keys.items() if listed == name]
        return fingerprint(found[0]) if found else None

    def is_admin(self, name):
        with self.lock:
            return bool(self.options.get(name, {}).get("admin"))

    def name_of(self, key):
        """The name of a listed key, else None; '' when no keys are needed. Every listed key is
        compared in constant time, so the answer's time tells nothing of the key."""
        if not self.required:
            return ""
        if not isinstance(key, str):
            return None
        with self.lock:
            entries = list(self.keys.items())
        found = None
        given = key.encode("utf-8", "replace")
        for listed, name in entries:
            if hmac.compare_digest(listed.encode(), given):
                found = name
        return found

    def redact(self, text):
        """TEXT with every key this process was ever given replaced by [key]."""
        with self.lock:
            seen = list(self.seen)
        for key in seen:
            if key in text:
                text = text.replace(key, "[key]")
        return text


class KeyRedactor(logging.Filter):
    """Keeps keys out of the log, whichever field of a request a client put one in."""

    def __init__(self, keys):
        super().__init__()
        self.keys = keys

    def filter(self, record):
        message = record.getMessage()
        redacted = self.keys.redact(message)
        if redacted != message:
            record.msg, record.args = redacted, None
        return True
