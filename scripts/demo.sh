#!/usr/bin/env bash
# Runs qzftconfig against qzsld serving the demo site, in a private
# TESSARK_HOME. Without arguments it lists the FT servers with their target
# ports (one screen); any arguments are passed to qzftconfig instead (e.g.
# scripts/demo.sh -listclients -verbose). When the tool fails, its home stays
# with the debug log.
set -euo pipefail
cd "$(dirname "$0")/.."
stage() { echo "demo: $*" >&2; }
stage "checking the packages that building and running need"
scripts/setup.sh --demo >&2
# A tree of its own, without the tests, with the test tree's flags so that
# a later scripts/test.sh compiles little again.
source scripts/debflags.sh
source scripts/lib.sh
tree=build/demo
mkdir -p build
build_log=build/demo-build.log
if [ ! -f "$tree/CMakeCache.txt" ]; then
  stage "configuring $tree"
  cmake -S . -B "$tree" -DBUILD_TESTING=OFF "${QZ_DEB_FLAGS[@]}" > "$build_log" 2>&1 || { cat "$build_log" >&2; exit 1; }
fi
stage "building qzftconfig, qzsld and the message catalogs (minutes the first time)"
cmake --build "$tree" --target qzftconfig qzsld qz_catalogs -j"$(nproc)" > "$build_log" 2>&1 ||
  { cat "$build_log" >&2; exit 1; }

home=$(mktemp -d /tmp/qzdemo.XXXXXX)
mkdir -p "$home/logs/admin" "$home/var"
ln -s "$PWD/$tree/msg" "$home/msg"
# start_qzsld adds the port.
cat > "$home/qz.conf" <<CONF
SERVER = tessark-master
CONNECT_TIMEOUT = 30
REQUEST_TIMEOUT = 60
USE_KMTL = AUTOMATIC
CONF
keep=
trap 'stop_qzsld || true; [ -n "$keep" ] || rm -rf "$home"' EXIT
stage "starting qzsld with the demo site"
if ! start_qzsld "$home/qz.conf" "$home" env TESSARK_HOME="$home" "$tree/qzsld/qzsld" \
       --db "$home/var/qzsld.db" --inventory qzsld/demo/inventory.json; then
  keep=yes
  echo "demo: qzsld did not start; its home stays in $home" >&2
  exit 1
fi

[ $# -gt 0 ] || set -- -listservers
status=0
stage "qzftconfig $*"
TESSARK_HOME=$home "$tree/frontend/qzftconfig" "$@" || status=$?
if [ $status -ne 0 ]; then
  keep=yes
  echo "demo: qzftconfig exited $status; its home stays in $home (debug log: $home/logs/admin/qzftconfig.log)" >&2
fi
exit $status
