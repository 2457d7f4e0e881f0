#!/bin/bash
# Sets up a fresh Debian 12 machine, builds Quiblo, starts the reference service on loopback and
# runs the program against it. The service stops when the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
QUIBLO_TESTS=OFF ./scripts/build.sh

data_dir="build/service-data"
mkdir -p "$data_dir"
service_pid=""
cleanup() { [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null || true; }
trap cleanup EXIT

# The service prints its ports once it listens. The build's default ports first (the version
# window's links point there); free ports when those are taken.
start_service() {
    exec 3< <(exec /usr/bin/python3 server/quiblo-service --http-port "$1" --ftp-port "$2" \
                  --data "$data_dir" 2>/dev/null)
    service_pid=$!
    read -r -t 30 line <&3
}
start_service 8780 8721 || start_service 0 0 || {
    echo "the reference service did not start" >&2
    exit 1
}
http_port=$(sed -n 's/.*http=\([0-9]*\).*/\1/p' <<<"$line")
ftp_port=$(sed -n 's/.*ftp=\([0-9]*\).*/\1/p' <<<"$line")
echo "reference service: http://127.0.0.1:$http_port/ (FTP port $ftp_port)"

QUIBLO_SERVICE_HOST="127.0.0.1:$http_port" QUIBLO_FTP_PORT="$ftp_port" build/bin/quiblo "$@"
