#!/bin/bash
# Proves that the leak suppressions (lsan.supp) still catch our leaks: leak_check leaks on purpose
# through each library the file names a leak of, and LeakSanitizer must report each one, with a
# frame of that library (or the leaking function of ours) in its stack.
#
#   check_suppressions.sh LEAK_CHECK_PROGRAM
set -uo pipefail
program=$1
failed=0
check() {  # check WHAT FRAME
    local out status
    out=$("$program" "$1" 2>&1 >/dev/null)
    status=$?
    if [ $status -ne 0 ] && grep -q "ERROR: LeakSanitizer: detected memory leaks" <<<"$out" &&
        grep -q -- "$2" <<<"$out"; then
        echo "check_suppressions: a leak through $1 is reported"
    else
        echo "check_suppressions: a leak of ours through $1 went unreported (status $status):" >&2
        echo "$out" >&2
        failed=1
    fi
}
check imagequant libimagequant.so
check dbus libdbus-1.so
check qtdbus libQt6DBus.so
check qobject leakQObject
check qthread leakQThread
exit $failed
