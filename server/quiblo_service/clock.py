"""The service's one clock: seconds since the epoch. Every time the service keeps or compares
comes from here, so that a test can move it."""

import time


def now():
    return time.time()
