"""The sweeps: uploads never registered go after their wait, pictures go when their time runs
out. One process at a time runs them (the store decides which); they run at start and then in
short steps, the expiry at least hourly."""

import logging

from . import clock
from .limits import THROTTLE_SECONDS, PendingLimits
from .store import StoreError

DAY = 86400
EXPIRY_EVERY = 3600
STEP_SECONDS = 1.0
# The codes of expired pictures are kept this long, so that a late deletion is told why.
EXPIRED_CODES_KEPT = 365 * DAY


class Sweeper:
    def __init__(self, store, settings):
        self.store, self.keep_days = store, settings.keep_days
        self.pending = PendingLimits.of(settings)
        self.next_expiry = None

    def once(self):
        """One step: nothing unless this process has the turn. The pictures removed."""
        try:
            if not self.store.lead_sweeps():
                return []
            now = clock.now()
            self.store.expire_waiting(now - self.pending.seconds)
            if self.next_expiry is not None and now < self.next_expiry:
                return []
            self.next_expiry = now + EXPIRY_EVERY
            self.store.forget_wrong_guesses(now - THROTTLE_SECONDS)
            # Without a keeping time only the lifetimes that uploaders chose run out.
            registered_before = now - self.keep_days * DAY if self.keep_days else float("-inf")
            removed = self.store.expire(registered_before, now, now - EXPIRED_CODES_KEPT)
            if removed:
                logging.info("sweep: %d pictures whose time ran out removed", len(removed))
            return removed
        except StoreError as err:  # a store that fails now may work at the next step
            logging.error("sweep failed: %s", err)
            return []

    def run(self, stopping):
        while not stopping.wait(STEP_SECONDS):
            self.once()
