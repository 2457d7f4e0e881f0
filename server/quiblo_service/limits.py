"""What one client, and all clients together, may do: uses per user, uploads waiting for their
registration, wrong deletion ids, and FTP connections."""

import re

# A lifetime an uploader chooses: a whole number of hours or days.
LIFETIME = re.compile(r"([1-9][0-9]{0,4})([hd])")
DAY = 86400

# Wrong deletion ids allowed within THROTTLE_SECONDS per client address, before every deletion
# attempt from there is refused for the rest of that time.
WRONG_DELIDS_PER_CLIENT = 20
THROTTLE_SECONDS = 3600


class UsageLimit:
    """MAX uploads per user within a sliding window of HOURS."""

    def __init__(self, window_hours=24.0, max_uploads=10):
        self.window_hours, self.max_uploads = window_hours, max_uploads

    @classmethod
    def of(cls, settings):
        """The service's own limit, for keys without one."""
        return cls(settings.window_hours, settings.max_uploads)

    def window_start(self, now):
        return now - self.window_hours * 3600

    def hours_text(self):
        return f"{self.window_hours:g}"


class PendingLimits:
    """How long an upload waits for its registration, and how many may wait per client address
    and in all (counting those still arriving)."""

    def __init__(self, minutes=10.0, per_client=10, total=100):
        self.seconds, self.per_client, self.total = minutes * 60, per_client, total

    @classmethod
    def of(cls, settings):
        return cls(settings.pending_minutes, settings.max_pending_per_client, settings.max_pending)


class ConnectionLimits:
    """What one client may hold of the upload server: control connections from one address and
    in all (below pyftpdlib's own 512), how long a control or data connection may sit idle, and
    how long one upload may take from its first byte."""

    def __init__(self, per_address=10, total=256, idle_seconds=60, upload_seconds=300):
        self.per_address, self.total = per_address, total
        self.idle_seconds, self.upload_seconds = idle_seconds, upload_seconds

    @classmethod
    def of(cls, settings):
        return cls(settings.max_ftp_connections_per_address, settings.max_ftp_connections,
                   settings.ftp_idle_seconds, settings.upload_seconds)


def deletions_blocked(store, client, now):
    """True when CLIENT gave too many wrong deletion ids lately. A guessing address is refused
    even the right id, so the answer tells it nothing; a picture itself is never locked, so
    others' wrong guesses never shut out its owner."""
    return store.wrong_guesses(client, now - THROTTLE_SECONDS) >= WRONG_DELIDS_PER_CLIENT


def lifetime_seconds(text, keep_days):
    """The seconds of a lifetime written as "1h" or "7d", at most the keeping time (when there is
    one); ValueError for any other text."""
    match = LIFETIME.fullmatch(text or "")
    if not match:
        raise ValueError("a lifetime is a number of hours or days, such as 1h or 7d")
    seconds = int(match.group(1)) * (3600 if match.group(2) == "h" else DAY)
    return min(seconds, keep_days * DAY) if keep_days else seconds
