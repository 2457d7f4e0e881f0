"""Picture codes, viewing codes, deletion ids and the upload password: the forms the program
writes and reads."""

import re
import urllib.parse

ALPHABET = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-_"
PICTURE_CODE = re.compile(r"[0-9]{18}")
PICTURE_FILE = re.compile(r"([0-9]{18})\.png")
DELETION_ID = re.compile(r"[0-9]{14}")
USER_ID = re.compile(r"[0-9A-Za-z_-]{1,64}")
MAX_UPLOAD_BYTES = 500_000

# The program derives the same password from its own version; keep these in step with the C++
# side (service/) and README.md.
#   digit 1 = step 1 of the major version, digit 2 = step 2 of the minor one,
#   digit k (3..8) = step k of digit k-2;  step k: (x * MUL + ADD) mod 10.
FTP_USER = "quiblo"
FTP_PASSWORD_PREFIX = "qbl"
FTP_PASSWORD_STEPS = [(7, 3), (9, 5), (3, 1), (7, 4), (9, 2), (3, 8), (7, 6), (9, 0)]


def make_ftp_password(version):
    major, minor = (int(part) for part in version.split("."))
    digits = []
    for k, (mul, add) in enumerate(FTP_PASSWORD_STEPS):
        source = (major, minor)[k] if k < 2 else digits[k - 2]
        digits.append((source * mul + add) % 10)
    return FTP_PASSWORD_PREFIX + "".join(str(d) for d in digits)


def base_conv(digits, from_base, to_base):
    """Repeated long division of a digit text, the way the program does it: a character outside
    the alphabet makes the whole result empty."""
    result = ""
    source = digits
    while True:
        quotient = ""
        remainder = 0
        for ch in source:
            value = ALPHABET.find(ch)
            if value < 0:
                return ""
            value += remainder * from_base
            q, remainder = divmod(value, to_base)
            if quotient or q:
                quotient += ALPHABET[q]
        result = ALPHABET[remainder] + result
        source = quotient
        if not quotient:
            return result


def viewing_code(pngcode):
    return base_conv(pngcode, 10, 64)


def picture_code_of(query):
    """Picture code named by a view.cgi query: the canonical base-64 viewing code, or the 18
    decimal digits themselves (the history window opens those). An 18-digit code has at most 10
    base-64 characters, so the forms never clash."""
    query = urllib.parse.unquote(query)
    if PICTURE_CODE.fullmatch(query):
        return query
    if not query or len(query) > 10:
        return None
    decimal = base_conv(query, 64, 10)
    if not decimal or len(decimal) > 18:
        return None
    code = decimal.zfill(18)
    return code if viewing_code(code) == query else None
