#!/bin/bash
# The program's translations (translations/quiblo_LANG.ts), kept in step with the code.
#   scripts/translations.sh update   extract the texts of the code into every .ts file
#   scripts/translations.sh check    fail when a .ts file is not what the code gives, or when a
#                                    language leaves a text untranslated
# The texts of the code are English; quiblo_en.ts holds only their plural forms.
set -euo pipefail
cd "$(dirname "$0")/.."

tools=/usr/lib/qt6/bin
folders=(app capture confirm history imagelib platform service settings upload)

# Writes the .ts files that the code gives into folder $1.
extract() {
    local into=$1 ts
    for ts in translations/quiblo_*.ts; do
        local name
        name=$(basename "$ts")
        [ "$into" = translations ] || cp "$ts" "$into/$name"
        local options=(-no-obsolete -locations none -source-language en -silent)
        [ "$name" = quiblo_en.ts ] && options+=(-pluralonly)
        "$tools/lupdate" "${options[@]}" -I . "${folders[@]}" -ts "$into/$name"
    done
}

case "${1:-}" in
update)
    extract translations
    ;;
check)
    fresh=$(mktemp -d)
    trap 'rm -rf "$fresh"' EXIT
    extract "$fresh"
    status=0
    for ts in translations/quiblo_*.ts; do
        if ! diff -u "$ts" "$fresh/$(basename "$ts")"; then
            echo "$ts is not what the code gives: run scripts/translations.sh update" >&2
            status=1
        fi
        # lrelease reports "Generated N translation(s) (F finished and U unfinished)".
        report=$("$tools/lrelease" "$ts" -qm "$fresh/check.qm")
        unfinished=$(sed -n 's/.*finished and \([0-9]*\) unfinished.*/\1/p' <<<"$report")
        ignored=$(grep -c "Ignored" <<<"$report" || true)
        if [ "${unfinished:-1}" != 0 ] || [ "$ignored" != 0 ]; then
            echo "$ts leaves texts untranslated:" >&2
            echo "$report" >&2
            status=1
        fi
    done
    exit $status
    ;;
*)
    echo "usage: $0 update|check" >&2
    exit 2
    ;;
esac
