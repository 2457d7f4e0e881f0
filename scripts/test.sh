#!/bin/bash
# Sets up a fresh Debian 12 machine, builds Quiblo and runs every test. Windows run offscreen;
# the tests that need a real X server get a 1024x768 Xvfb screen started here.
set -euo pipefail
cd "$(dirname "$0")/.."
# Each phase's time, said at the end (the README's table of them comes from here).
timings=()
phase() {
    local name=$1 start=$SECONDS
    shift
    "$@"
    timings+=("$name $((SECONDS - start)) s")
}
say_timings() {
    local joined
    joined=$(printf '%s, ' "${timings[@]}")
    echo "test.sh: ${joined%, }; in all $SECONDS s"
}
trap say_timings EXIT

phase set-up ./scripts/setup.sh --tests
# The translations are whole before anything is built: each .ts, and each of the service's .po
# catalogs, is what the code gives, and no language leaves a text untranslated.
./scripts/translations.sh check
./scripts/service-catalogs.sh check
# Warnings are errors here: a new warning fails the run.
phase build env QUIBLO_TESTS=ON QUIBLO_WERROR=ON ./scripts/build.sh

xvfb_pid=""
runtime_dir=$(mktemp -d)
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$runtime_dir"
    say_timings
}
trap cleanup EXIT

# -displayfd prints the display number once the server is ready.
exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null & echo "pid $!"; wait)
read -r _ xvfb_pid <&3
read -r -t 20 display <&3 || { echo "Xvfb did not start" >&2; exit 1; }
export QUIBLO_TEST_DISPLAY=":$display"
# A private runtime folder: the tests' copies of the program take their own locks.
chmod 700 "$runtime_dir"
export XDG_RUNTIME_DIR="$runtime_dir"

# The service's Python is checked before it runs: an unused import or an undefined name fails.
pyflakes3 server/quiblo-service server/quiblo_service tests/server

suite() { (cd build && ctest --output-on-failure -j"$(nproc)" "$@"); }
phase suite suite "$@"

# The whole run (no arguments, as CI runs it) goes on with the suite under the sanitizers, the
# image library's tests under ThreadSanitizer and a short fuzzing of the parsers. QUIBLO_QUICK=1
# skips them.
if [ $# -eq 0 ] && [ "${QUIBLO_QUICK:-0}" != 1 ]; then
    phase sanitizers ./scripts/sanitize.sh
    phase tsan ./scripts/tsan.sh
    phase fuzzers ./scripts/fuzz.sh
fi
