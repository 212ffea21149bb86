#!/usr/bin/env bash
# Runs qzftconfig against qzsld serving the demo site, in a private
# TESSARK_HOME. Without arguments it lists the SAN clients verbosely; any
# arguments are passed to qzftconfig instead (e.g. scripts/demo.sh -listservers).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >&2
mkdir -p build
if [ ! -x build/plain/frontend/qzftconfig ] || [ ! -x build/plain/qzsld/qzsld ]; then
  scripts/build.sh build/plain >&2
else
  cmake --build build/plain -j"$(nproc)" >&2
fi

home=$(mktemp -d /tmp/qzdemo.XXXXXX)
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])' 2>/dev/null ||
       echo $((20000 + RANDOM % 20000)))
mkdir -p "$home/logs/admin" "$home/var"
cat > "$home/qz.conf" <<CONF
SERVER = tessark-master
CONNECT_TIMEOUT = 30
REQUEST_TIMEOUT = 60
USE_KMTL = AUTOMATIC
QZSL_PORT = $port
CONF
build/plain/qzsld/qzsld --port "$port" --db "$home/var/qzsld.db" \
  --inventory qzsld/demo/inventory.json --ready-file "$home/ready" > "$home/qzsld.out" 2>&1 &
qzsld_pid=$!
trap 'kill $qzsld_pid 2>/dev/null; wait $qzsld_pid 2>/dev/null; rm -rf "$home"' EXIT
for _ in $(seq 200); do [ -e "$home/ready" ] && break; sleep 0.05; done
[ -e "$home/ready" ] || { cat "$home/qzsld.out" >&2; exit 1; }

[ $# -gt 0 ] || set -- -listclients -verbose
status=0
TESSARK_HOME=$home build/plain/frontend/qzftconfig "$@" || status=$?
exit $status
