"""Makes one thumbnail in a process of its own: a PNG's bytes on standard input, the thumbnail's
PNG on standard output, exit status 0; any other end means "no thumbnail". Its memory and CPU time
are capped before anything is read, so a picture that decodes into far more than its file says
ends this process, never the service. Only PNG is ever opened: no other decoder (nor a program
such as Ghostscript, which Pillow starts for EPS) is reached.

Run as: python3 -I thumbnail_maker.py SIDE MAX_PIXELS"""

import io
import resource
import sys

MEMORY_BYTES = 768 << 20
CPU_SECONDS = 15


def limit():
    resource.setrlimit(resource.RLIMIT_AS, (MEMORY_BYTES, MEMORY_BYTES))
    resource.setrlimit(resource.RLIMIT_CPU, (CPU_SECONDS, CPU_SECONDS))


def thumbnail(data, side, max_pixels):
    from PIL import Image
    Image.MAX_IMAGE_PIXELS = max_pixels  # past it, Pillow refuses (DecompressionBombError)
    with Image.open(io.BytesIO(data), formats=("PNG",)) as picture:
        if picture.width * picture.height > max_pixels:
            raise ValueError("too large")
        if picture.mode not in ("RGB", "RGBA", "L", "LA"):
            picture = picture.convert("RGBA")
        picture.thumbnail((side, side))
        out = io.BytesIO()
        picture.save(out, "PNG", optimize=True)
    return out.getvalue()


def main():
    limit()
    side, max_pixels = int(sys.argv[1]), int(sys.argv[2])
    data = sys.stdin.buffer.read()
    try:
        made = thumbnail(data, side, max_pixels)
    except Exception:  # noqa: BLE001 - whatever the picture does, there is no thumbnail
        return 1
    sys.stdout.buffer.write(made)
    return 0


if __name__ == "__main__":
    sys.exit(main())
