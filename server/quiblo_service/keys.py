"""Upload keys: who may upload. A file of `name key` lines (`#` starts a comment); a client
presents its key in the `X-Quiblo-Key` header of its HTTP requests and after the upload password
and a colon in its FTP login. Without a key file every client may upload."""

import hmac
import logging
import re
import threading

KEY_HEADER = "X-Quiblo-Key"
KEY_NAME = re.compile(r"[A-Za-z0-9._@-]{1,64}")
KEY = re.compile(r"[A-Za-z0-9._~+/=-]{16,256}")


class KeyFileError(Exception):
    pass


def read_key_file(path):
    """{key: name} of a key file, or KeyFileError naming the file and line."""
    try:
        with open(path, encoding="utf-8") as file:
            lines = file.read().splitlines()
    except (OSError, UnicodeDecodeError) as err:
        raise KeyFileError(f"cannot read {path}: {getattr(err, 'strerror', None) or err}") from err
    keys, names = {}, set()
    for number, line in enumerate(lines, 1):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        parts = line.split()
        if len(parts) != 2 or not KEY_NAME.fullmatch(parts[0]) or not KEY.fullmatch(parts[1]):
            raise KeyFileError(f"{path}:{number}: expected a name and a key of 16 to 256 of "
                               "A-Z a-z 0-9 . _ ~ + / = -")
        name, key = parts
        if name in names or key in keys:
            raise KeyFileError(f"{path}:{number}: the name or the key is given twice")
        names.add(name)
        keys[key] = name
    return keys


class UploadKeys:
    """The keys of a key file, read again on reload(). `None` as the path: no keys needed."""

    def __init__(self, path=None):
        self.path = path
        self.lock = threading.Lock()
        self.keys = read_key_file(path) if path else {}

    @property
    def required(self):
        return self.path is not None

    def reload(self):
        """Reads the file again. A file that cannot be read any more refuses every key until it is
        mended: a key being taken back is the likely reason for the edit."""
        if not self.path:
            return
        try:
            keys = read_key_file(self.path)
        except KeyFileError as err:
            logging.error("%s; every upload key is refused until it is mended", err)
            keys = {}
        with self.lock:
            self.keys = keys
        logging.warning("upload keys read again: %d", len(keys))

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
