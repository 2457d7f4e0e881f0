"""Small whole PNG pictures for the tests, made here with zlib."""

import struct
import zlib


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def picture(seed, width=16, height=8):
    """A grey RGB picture whose rows differ with SEED, so that each is its own bytes."""
    rows = b"".join(b"\0" + bytes((seed + y) % 256 for _ in range(width * 3)) for y in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def noise(width, height, seed=0):
    """An RGB picture of random pixels: it does not compress, so its file is about 3 bytes a pixel."""
    import random
    rows = random.Random(seed).randbytes(height * (1 + width * 3))
    rows = b"".join(b"\0" + rows[y * (1 + width * 3) + 1:(y + 1) * (1 + width * 3)] for y in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 1)) + chunk(b"IEND", b""))


def of_size(size, seed=0):
    """A whole PNG of exactly SIZE bytes (from 105): a picture padded with a private chunk, which
    decoders pass over."""
    base = picture(seed)
    pad = size - len(base) - 12
    assert pad >= 0, size
    return base[:-12] + chunk(b"quIb", bytes((seed + i) % 256 for i in range(pad))) + base[-12:]
