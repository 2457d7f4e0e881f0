"""A team member's session: signed in with an upload key, kept in an encrypted and signed cookie
(Fernet, from python3-cryptography) for 30 days or until "Sign out". The cookie holds the key's
name, a fingerprint of the key (never the key) and the token that the session's forms carry; a key
taken back, or changed, ends its sessions at their next request."""

import hashlib
import json
import secrets

from cryptography.fernet import Fernet, InvalidToken

COOKIE = "quiblo_session"
DAYS = 30


def fingerprint(key):
    return hashlib.sha256(key.encode("utf-8")).hexdigest()[:32]


class Session:
    def __init__(self, name, token):
        self.name, self.token = name, token


class Sessions:
    def __init__(self, secret):
        self.fernet = Fernet(secret)

    def cookie(self, name, key, secure):
        """The Set-Cookie value that signs NAME in with KEY."""
        value = self.fernet.encrypt(json.dumps(
            {"name": name, "key": fingerprint(key), "token": secrets.token_urlsafe(24)}).encode()).decode()
        return (f"{COOKIE}={value}; Max-Age={DAYS * 86400}; Path=/; HttpOnly; SameSite=Lax"
                + ("; Secure" if secure else ""))

    @staticmethod
    def ended(secure):
        return f"{COOKIE}=; Max-Age=0; Path=/; HttpOnly; SameSite=Lax" + ("; Secure" if secure else "")

    def of(self, request, keys):
        """The request's Session, or None: no cookie, one this service did not make, one older
        than 30 days, or one whose key is no longer listed as it was."""
        value = cookie_value(request.header("Cookie") or "")
        if not value:
            return None
        try:
            held = json.loads(self.fernet.decrypt(value.encode(), ttl=DAYS * 86400))
        except (InvalidToken, ValueError):
            return None
        if keys.fingerprint_of(held.get("name")) != held.get("key"):
            return None
        return Session(held["name"], held["token"])


def cookie_value(header):
    for part in header.split(";"):
        name, _, value = part.strip().partition("=")
        if name == COOKIE:
            return value
    return None
