#!/bin/bash
# Sets up a fresh Debian 12 machine, builds Quiblo and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh
exec build/bin/quiblo "$@"
