"""A multipart/form-data body read in one pass over its bytes: the parts' headers are bounded, the
parts are counted, and a part that is itself multipart is taken as plain bytes (nesting is never
followed). Whatever a client puts in the headers, the cost is linear in the body's length."""

import re

MAX_PART_HEAD = 4096  # a part's headers together: a form field needs a few dozen bytes
MAX_PARTS = 16  # the API's forms have two fields, the team page's a few more

BOUNDARY = re.compile(r'(?:^|;)\s*boundary=(?:"([^"\r\n]{1,70})"|([^\s;",]{1,70}))', re.I)
NAME = re.compile(r'(?:^|;)\s*name\s*=\s*(?:"([^"\r\n]*)"|([^\s;"]+))', re.I)
FILENAME = re.compile(r'(?:^|;)\s*filename\s*=\s*(?:"([^"\r\n]*)"|([^\s;"]+))', re.I)


class FormError(ValueError):
    """A body that is not a form this service reads: a 400."""


def boundary_of(content_type):
    match = BOUNDARY.search(content_type)
    if not match:
        raise FormError("multipart/form-data needs a boundary")
    return (match.group(1) or match.group(2)).encode("latin-1")


def field_name(head):
    """(the name, the file name) of a part's Content-Disposition; None for each it lacks."""
    for line in head.split(b"\r\n"):
        name, colon, value = line.partition(b":")
        if colon and name.strip().lower() == b"content-disposition":
            text = value.decode("utf-8", "replace")
            match, file = NAME.search(text), FILENAME.search(text)
            return (match and (match.group(1) if match.group(1) is not None else match.group(2)),
                    file and (file.group(1) if file.group(1) is not None else file.group(2)))
    return None, None


def form_fields(content_type, body):
    """{name: bytes} of the form's fields, the first part of each name. FormError for a body
    that ends early, a part's headers over MAX_PART_HEAD bytes, or more than MAX_PARTS parts."""
    fields = {}
    for name, _, data in form_parts(content_type, body):
        fields.setdefault(name, data)
    return fields


def form_parts(content_type, body):
    """(name, file name or None, bytes) of every part of the form, in order."""
    delimiter = b"--" + boundary_of(content_type)
    separator = b"\r\n" + delimiter
    start = body.find(delimiter)
    if start < 0 or (start > 0 and body[start - 2:start] != b"\r\n"):
        raise FormError("the form has no parts")
    pos = start + len(delimiter)
    found, parts = [], 0
    while not body.startswith(b"--", pos):  # the last delimiter ends with two dashes
        line_end = body.find(b"\r\n", pos, pos + 256)
        if line_end < 0 or body[pos:line_end].strip(b" \t"):
            raise FormError("a delimiter line of the form is damaged")
        parts += 1
        if parts > MAX_PARTS:
            raise FormError(f"the form has more than {MAX_PARTS} parts")
        head_start = line_end + 2
        if body.startswith(b"\r\n", head_start):  # a part without headers
            head_end = data_start = head_start
            data_start += 2
        else:
            head_end = body.find(b"\r\n\r\n", head_start, head_start + MAX_PART_HEAD + 4)
            if head_end < 0:
                raise FormError(f"a part's headers are unfinished or over {MAX_PART_HEAD} bytes")
            data_start = head_end + 4
        data_end = body.find(separator, data_start)
        if data_end < 0:
            raise FormError("the form ends early")
        name, filename = field_name(body[head_start:head_end])
        if name is not None:
            found.append((name, filename, body[data_start:data_end]))
        pos = data_end + len(separator)
    return found
