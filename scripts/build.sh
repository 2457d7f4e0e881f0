#!/bin/bash
# Configures and builds Quiblo into build/ (the program folder is build/bin). QUIBLO_WERROR=ON
# (as the test command sets it) makes warnings errors; QUIBLO_TESTS=ON or OFF builds the tests and
# benchmarks or leaves them out (the program alone needs fewer packages); unset, the build keeps
# its settings.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    ${QUIBLO_WERROR:+-DQUIBLO_WERROR=$QUIBLO_WERROR} ${QUIBLO_TESTS:+-DBUILD_TESTING=$QUIBLO_TESTS} >/dev/null
cmake --build build -j"$(nproc)"
