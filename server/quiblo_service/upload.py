"""The upload over HTTP, for the program: PUT /upload/CODE.png with the picture's bytes, the upload
password of the program's version in X-Quiblo-Password (as in the FTP login: an outdated program is
refused) and the key in X-Quiblo-Key. The same rules as an FTP STOR (intake.py), and the bytes must
be a whole PNG. The registration then goes on as after FTP."""

import hmac
import logging

from .codes import make_ftp_password
from .refusals import Refusal, http_status, words
from .keys import KEY_HEADER
from .reply import BodyRefused, Reply
from .store import StoreError, StoreFull

# usercheck.cgi's answer names the upload's path in this header; earlier services send none.
OFFER_HEADER = "X-Quiblo-Upload"
PASSWORD_HEADER = "X-Quiblo-Password"
MAX_BYTES_HEADER = "X-Quiblo-Max-Bytes"
UPLOAD_PATH = "/upload/"

def answer(status, message):
    return Reply(status, "text/plain; charset=UTF-8", f"{status} {message}\r\n".encode())


def refused(refusal, **fields):
    return answer(http_status(refusal), words(refusal, **fields))


def put(service, request, code):
    """Takes one picture: 201 when it waits for its registration, else the refusal's status."""
    intake = service.intake
    length = request.length()
    if length is None:
        return answer(411, "Length Required: send the picture with its Content-Length.")
    if length > intake.max_bytes:
        return refused(Refusal.TOO_LARGE, limit=intake.max_bytes)
    password = (request.header(PASSWORD_HEADER) or "").encode()
    if not hmac.compare_digest(password, make_ftp_password(service.version).encode()):
        return answer(403, "This version of the program is no longer accepted; a newer one is needed.")
    client, key = request.client, request.header(KEY_HEADER)
    try:
        with intake.taking(code, client, key) as refusal:
            if refusal is None:
                refusal = intake.keep(code, request.body(intake.max_bytes, service.upload_seconds), client, key)
    except BodyRefused as err:
        return answer(err.status, str(err))
    except StoreFull as err:
        logging.error("an upload could not be kept: %s", err)
        refusal = Refusal.FULL
    except StoreError as err:
        logging.error("an upload could not be taken: %s", err)
        refusal = Refusal.UNAVAILABLE
    if refusal is not None:
        return refused(refusal, limit=intake.max_bytes)
    return answer(201, "Stored; it waits for its registration.")
