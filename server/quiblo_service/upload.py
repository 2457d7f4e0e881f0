"""The upload over HTTP, for the program: PUT /upload/CODE.png with the picture's bytes, the upload
password of the program's version in X-Quiblo-Password (as in the FTP login: an outdated program is
refused) and the key in X-Quiblo-Key. The same rules as an FTP STOR (intake.py), and the bytes must
be a whole PNG. The registration then goes on as after FTP."""

import hmac
import logging

from .codes import MAX_UPLOAD_BYTES, make_ftp_password
from .intake import Refusal
from .keys import KEY_HEADER
from .reply import BodyRefused, Reply
from .store import StoreError, StoreFull

# usercheck.cgi's answer names the upload's path in this header; earlier services send none.
OFFER_HEADER = "X-Quiblo-Upload"
PASSWORD_HEADER = "X-Quiblo-Password"
UPLOAD_PATH = "/upload/"

REFUSALS = {
    Refusal.KEY: (401, "The upload key is not accepted."),
    Refusal.EXISTS: (409, "File exists."),
    Refusal.BUSY: (429, "Too many pictures are waiting for their registration; try again later."),
    Refusal.NOT_PNG: (415, "Only whole PNG pictures are accepted."),
    Refusal.UNAVAILABLE: (503, "The service cannot take pictures just now; try again later."),
}


def answer(status, message):
    return Reply(status, "text/plain; charset=UTF-8", f"{status} {message}\r\n".encode())


def put(service, request, code):
    """Takes one picture: 201 when it waits for its registration, else the refusal's status."""
    length = request.length()
    if length is None:
        return answer(411, "Length Required: send the picture with its Content-Length.")
    if length > MAX_UPLOAD_BYTES:
        return answer(413, f"File too large: at most {MAX_UPLOAD_BYTES} bytes.")
    password = (request.header(PASSWORD_HEADER) or "").encode()
    if not hmac.compare_digest(password, make_ftp_password(service.version).encode()):
        return answer(403, "This version of the program is no longer accepted; a newer one is needed.")
    intake, client, key = service.intake, request.client, request.header(KEY_HEADER)
    try:
        refusal = intake.start(code, client, key)
    except StoreError as err:
        logging.error("an upload could not be started: %s", err)
        refusal = Refusal.UNAVAILABLE
    if refusal is not None:
        return answer(*REFUSALS[refusal])
    try:
        data = request.body(MAX_UPLOAD_BYTES, service.upload_seconds)
        refusal = intake.keep(code, data, client, key)
    except BodyRefused as err:
        return answer(err.status, str(err))
    except StoreFull as err:
        logging.error("an upload could not be kept: %s", err)
        return answer(507, "Insufficient storage space.")
    except StoreError as err:
        logging.error("an upload could not be kept: %s", err)
        refusal = Refusal.UNAVAILABLE
    finally:
        intake.finish(client)
    if refusal is not None:
        return answer(*REFUSALS[refusal])
    return answer(201, "Stored; it waits for its registration.")
