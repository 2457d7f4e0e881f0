#!/bin/bash
# Configures and builds Quiblo into build/ (the program folder is build/bin). QUIBLO_WERROR=ON
# (as the test command sets it) makes warnings errors; unset, the build keeps its setting.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    ${QUIBLO_WERROR:+-DQUIBLO_WERROR=$QUIBLO_WERROR} >/dev/null
cmake --build build -j"$(nproc)"
