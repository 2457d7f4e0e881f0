#!/bin/bash
# The image library's tests built in build-tsan/ under ThreadSanitizer: the library filters and
# compresses a picture on several threads, and a data race there is a finding. The piece tests
# use several threads on any machine; the C API tests as many as it has processors. test.sh runs
# it after the other sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUIBLO_THREAD_SANITIZE=ON >/dev/null
cmake --build build-tsan -j"$(nproc)" --target imgctl_tests imgctl_piece_tests
# Without address-space randomisation: ThreadSanitizer's fixed memory layout does not fit every
# kernel's randomised mappings.
for test in imgctl_piece_tests imgctl_tests; do
    setarch "$(uname -m)" -R "build-tsan/tests/$test" --gtest_brief=1
done
