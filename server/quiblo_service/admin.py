"""The admin's commands, run beside a running service on the same data and configuration:
list, remove, stats and import."""

import sys
import time

from . import clock
from .codes import PICTURE_CODE, viewing_code
from .store import StoreError, load
from .store.folder import SourceFolder

DAY = 86400


def local_time(seconds):
    return time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(seconds))


def expiry_text(settings, picture):
    if picture.expires_at is not None:
        return local_time(picture.expires_at)
    return local_time(picture.registered_at + settings.keep_days * DAY) if settings.keep_days else "never"


def list_pictures(settings, store, out):
    since = clock.now() - settings.days * DAY if settings.days is not None else None
    for picture in store.pictures(since):
        print(f"{picture.code}  /view.cgi?{viewing_code(picture.code)}  {local_time(picture.registered_at)}  "
              f"{picture.size}  {picture.key_name or '-'}  {expiry_text(settings, picture)}", file=out)
    return 0


def remove_pictures(settings, store, out):
    status = 0
    for code in settings.codes:
        if not PICTURE_CODE.fullmatch(code):
            print(f"quiblo-service: {code} is not an 18-digit picture code", file=sys.stderr)
            status = 1
        elif store.remove(code):
            print(f"removed {code}", file=out)
        else:
            print(f"quiblo-service: no picture {code}", file=sys.stderr)
            status = 1
    return status


def show_stats(settings, store, out):
    count, size = store.totals()
    print(f"pictures: {count}", file=out)
    print(f"bytes: {size}", file=out)
    now = clock.now()
    today = time.localtime(now)
    midnight = time.mktime((today.tm_year, today.tm_mon, today.tm_mday, 0, 0, 0, 0, 0, -1))
    first_day = midnight - 6 * DAY
    uses = store.use_log(first_day - DAY)  # a day more, for a change of summer time
    print("uploads per day (last 7 days):", file=out)
    for day in range(7):
        date = time.strftime("%Y-%m-%d", time.localtime(first_day + day * DAY + DAY / 2))
        count = sum(1 for use in uses if time.strftime("%Y-%m-%d", time.localtime(use.at)) == date)
        print(f"  {date}  {count}", file=out)
    print("uploads per key (last 30 days):", file=out)
    per_key = {}
    for use in store.use_log(now - 30 * DAY):
        per_key[use.key_name or "-"] = per_key.get(use.key_name or "-", 0) + 1
    for name in sorted(per_key):
        print(f"  {name}  {per_key[name]}", file=out)
    return 0


def import_folder(settings, store, out):
    """Copies the whole pictures and the uses of a data folder in one transaction. A picture
    that is not sound (a link, a file cut short or over the limit, a code of another form) is
    left out and said; anything else that fails leaves the database as it was."""
    if not settings.database:
        print("quiblo-service: import copies a data folder into the database: set --database",
              file=sys.stderr)
        return 1
    source = SourceFolder(settings.source)
    try:
        counts = store.import_records(source.records(), source.uses())
    finally:
        source.close()
    for code, reason in source.skipped:
        print(f"quiblo-service: skipped picture {code}: {reason}", file=sys.stderr)
    skipped = f", {len(source.skipped)} skipped" if source.skipped else ""
    print(f"pictures: {counts[0]} copied, {counts[1]} there already{skipped}", file=out)
    print(f"uses: {counts[2]} copied, {counts[3]} there already", file=out)
    return 0


COMMANDS = {"list": list_pictures, "remove": remove_pictures, "stats": show_stats, "import": import_folder}


def run(settings, out=sys.stdout):
    try:
        store = load(settings, serving=False)
    except StoreError as err:
        sys.exit(f"quiblo-service: {err}")
    try:
        return COMMANDS[settings.command](settings, store, out)
    except StoreError as err:
        sys.exit(f"quiblo-service: {err}")
    finally:
        store.close()
