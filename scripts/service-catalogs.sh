#!/bin/bash
# The service's gettext catalogs (server/quiblo_service/locale/LANG/LC_MESSAGES/quiblo-service.po):
#   update  extracts the texts of the code and the templates (Babel) into every catalog; give each
#           new text its Japanese, the English catalog repeats the source;
#   check   fails while a catalog lacks a text, keeps one the code no longer has, or leaves one
#           untranslated or fuzzy (the test command runs it first).
set -euo pipefail
cd "$(dirname "$0")/../server"
pot=$(mktemp)
trap 'rm -f "$pot"' EXIT
pybabel -q extract -F babel.cfg -k N_ -k _ --no-location --sort-output -o "$pot" quiblo_service
case "${1:-}" in
update)
    pybabel -q update -i "$pot" -d quiblo_service/locale -D quiblo-service --no-fuzzy-matching \
        --ignore-obsolete --width 100
    /usr/bin/python3 - <<'PY'
from babel.messages.pofile import read_po, write_po
path = "quiblo_service/locale/en/LC_MESSAGES/quiblo-service.po"
with open(path, "rb") as f:
    catalog = read_po(f, locale="en")
for message in catalog:
    if message.id and not message.string:
        message.string = message.id
with open(path, "wb") as f:
    write_po(f, catalog, no_location=True, width=100)
PY
    ;;
check)
    /usr/bin/python3 - "$pot" <<'PY'
import glob, sys
from babel.messages.pofile import read_po
with open(sys.argv[1], "rb") as f:
    wanted = {m.id for m in read_po(f) if m.id}
failed = False
for path in sorted(glob.glob("quiblo_service/locale/*/LC_MESSAGES/quiblo-service.po")):
    with open(path, "rb") as f:
        catalog = read_po(f)
    held = {m.id for m in catalog if m.id}
    problems = [f"missing: {t!r}" for t in sorted(wanted - held)]
    problems += [f"no longer in the code: {t!r}" for t in sorted(held - wanted)]
    problems += [f"untranslated or fuzzy: {m.id!r}" for m in catalog
                 if m.id and (not m.string or m.fuzzy)]
    for problem in problems:
        print(f"{path}: {problem}", file=sys.stderr)
    failed |= bool(problems)
if failed:
    sys.exit("the service's catalogs are stale or incomplete: run scripts/service-catalogs.sh update")
PY
    ;;
*)
    echo "usage: $0 update|check" >&2
    exit 2
    ;;
esac
