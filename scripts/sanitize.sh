#!/bin/bash
# The C++ suite a second time, built in build-asan/ under AddressSanitizer and
# UndefinedBehaviorSanitizer with leak detection on. Any report fails its test. test.sh runs it
# after the normal suite, on the same display; arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
# The whole stack of every allocation (fast_unwind_on_malloc=0): the system's libraries are built
# without frame pointers, so the fast unwinder stops inside them; the suppressions name functions
# there, and a leak's report then names its owner.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=0:fast_unwind_on_malloc=0"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIBLO_SANITIZE=ON \
    -DQUIBLO_BENCHMARKS=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"
# The suppressions hide no leak of ours: one made on purpose through each library they name is
# reported.
tests/sanitizer/check_suppressions.sh build-asan/tests/leak_check
cd build-asan
# The reference service's own tests are Python: the normal run covers them. Tests of whole
# desktop sessions (label "session") are left to the normal run too.
# Every sanitizer report goes to a file of its own (log_path), printed when the run fails. A test
# that fails fails the run: there is no second run.
reports=$(mktemp -d)
trap 'rm -rf "$reports"' EXIT
export ASAN_OPTIONS="$ASAN_OPTIONS:log_path=$reports/report"
if ctest --output-on-failure -j"$(nproc)" -LE session -E '^server_tests' "$@"; then
    exit 0
fi
for report in "$reports"/report.*; do
    [ -e "$report" ] && cat "$report" >&2
done
exit 1
