"""Whether bytes are a whole PNG picture: every chunk there with its checksum, the header first
and the end last, and the picture data inflated to exactly the rows the header promises. The
rows are counted as they inflate, never held, so a small file that inflates hugely costs no
memory."""

import struct
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"
# Colour type -> (channels, the bit depths it may have).
COLOUR_TYPES = {0: (1, {1, 2, 4, 8, 16}), 2: (3, {8, 16}), 3: (1, {1, 2, 4, 8}), 4: (2, {8, 16}),
                6: (4, {8, 16})}
# The seven passes of an interlaced picture: first column and row, then the steps between them.
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
INFLATE_STEP = 1 << 16


class NotAPicture(ValueError):
    pass


def chunks(data):
    """(kind, body) of each chunk, checked against its CRC."""
    if not data.startswith(SIGNATURE):
        raise NotAPicture("not a PNG")
    pos = len(SIGNATURE)
    while pos < len(data):
        if pos + 12 > len(data):
            raise NotAPicture("cut short")
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        end = pos + 12 + length
        if end > len(data):
            raise NotAPicture("cut short")
        body = data[pos + 8:end - 4]
        if zlib.crc32(kind + body) != struct.unpack(">I", data[end - 4:end])[0]:
            raise NotAPicture(f"the {kind.decode('latin-1')!r} chunk is damaged")
        yield kind, body
        pos = end


def picture_size(data):
    """(width, height) of a PNG's header, or None when the bytes have none."""
    if len(data) < 24 or data[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", data[16:24])


def row_bytes(width, bits_per_pixel):
    return 1 + (width * bits_per_pixel + 7) // 8  # with the filter byte


def expected_size(width, height, bits_per_pixel, interlaced):
    """The inflated size of the picture data."""
    if not interlaced:
        return height * row_bytes(width, bits_per_pixel)
    total = 0
    for x0, y0, dx, dy in ADAM7:
        columns, rows = (width - x0 + dx - 1) // dx, (height - y0 + dy - 1) // dy
        if columns > 0 and rows > 0:
            total += rows * row_bytes(columns, bits_per_pixel)
    return total


def header(body):
    if len(body) != 13:
        raise NotAPicture("its header is damaged")
    width, height, depth, colour, compression, filtering, interlace = struct.unpack(">IIBBBBB", body)
    channels, depths = COLOUR_TYPES.get(colour, (0, set()))
    if not width or not height or depth not in depths or compression or filtering or interlace > 1:
        raise NotAPicture("its header is damaged")
    return expected_size(width, height, channels * depth, interlace == 1)


def check(data):
    """Raises NotAPicture, with the reason, unless DATA is a whole PNG."""
    expected = None
    inflater = zlib.decompressobj()
    inflated = 0
    palette = ended = False
    for index, (kind, body) in enumerate(chunks(data)):
        if index == 0:
            if kind != b"IHDR":
                raise NotAPicture("its header is missing")
            expected = header(body)
        elif kind == b"PLTE":
            palette = True
        elif kind == b"IDAT":
            if data[25] == 3 and not palette:  # the colour type, in the header
                raise NotAPicture("its palette is missing")
            inflated += inflate(inflater, body, expected - inflated)
        elif kind == b"IEND":
            ended = True
            break
    if not ended:
        raise NotAPicture("cut short")
    if inflated != expected or not inflater.eof:
        raise NotAPicture("its picture data is incomplete")


def inflate(inflater, body, room):
    """Inflates BODY, counting the bytes; more than ROOM is an error."""
    count = 0
    pending = body
    try:
        while not inflater.eof:
            out = inflater.decompress(pending, INFLATE_STEP)
            count += len(out)
            if count > room:
                raise NotAPicture("its picture data is longer than its size")
            pending = inflater.unconsumed_tail
            if not pending and len(out) < INFLATE_STEP:  # all of BODY inflated
                break
    except zlib.error as err:
        raise NotAPicture("its picture data is damaged") from err
    return count


def is_whole(data):
    try:
        check(data)
    except NotAPicture:
        return False
    return True
