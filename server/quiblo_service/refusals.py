"""Why an upload is not taken, and how each server says it: one table for FTP, the program's PUT
and the API. Each refusal states its own limit."""

import enum


class Refusal(enum.Enum):
    KEY = "the upload key is not accepted"
    EXISTS = "a picture of that code exists, or did"
    BUSY = "too many pictures are waiting for their registration"
    NOT_PNG = "not a whole PNG picture"
    UNAVAILABLE = "the store cannot be used just now"
    TOO_LARGE = "over the size limit"
    FULL = "the disk is full"
    TOO_SLOW = "the upload took too long"
    USAGE = "the usage limit is reached"


# Refusal -> (HTTP status, FTP reply code, the words; {limit} is the size limit in bytes).
TABLE = {
    Refusal.KEY: (401, 530, "The upload key is not accepted."),
    Refusal.EXISTS: (409, 550, "File exists."),
    Refusal.BUSY: (429, 452, "Too many pictures are waiting for their registration; try again later."),
    Refusal.NOT_PNG: (415, 550, "Only whole PNG pictures are accepted."),
    Refusal.UNAVAILABLE: (503, 451, "The service cannot take pictures just now; try again later."),
    Refusal.TOO_LARGE: (413, 552, "File too large: at most {limit:,} bytes."),
    Refusal.FULL: (507, 452, "Insufficient storage space."),
    Refusal.TOO_SLOW: (408, 426, "The upload took too long."),
    Refusal.USAGE: (429, 452, "The usage limit is reached: {uploads} uploads in {hours} hours."),
}


def words(refusal, **fields):
    return TABLE[refusal][2].format(**fields)


def http_status(refusal):
    return TABLE[refusal][0]


def ftp_reply(refusal, aborted=False, **fields):
    """The FTP reply line; ABORTED: the transfer was under way."""
    text = words(refusal, **fields)
    return f"{TABLE[refusal][1]} {text[:-1] + '; transfer aborted.' if aborted else text}"
