#!/usr/bin/env bash
# run_listing_bench.sh [BUILD_DIR]: what the listing commands cost on a large
# site. Seeds qzsld with 2,000 SAN clients of 4 devices and 100 FT servers of
# 32 LUNs, runs the listings against it and prints, per command, the remote
# calls made, the wall time, the tool's own CPU time and peak RSS next to the
# round trip of one cheap call, and how far each figure is from its target.
# Then the start-up cost (-help against a C++ hello-world, and -getconfig),
# and a 20,000-client site that must list without error. Prints figures and
# never fails on them; exits non-zero only when something could not run.
#
# BUILD_DIR defaults to build/plain (scripts/build.sh build/plain).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/plain}" && pwd)
tool=$build/frontend/qzftconfig
service=$build/qzsld/qzsld
runs=3   # each large listing runs this often; the median is reported
for f in "$tool" "$service" "$build/idl/libqz_idl.a"; do
  [ -e "$f" ] || { echo "missing $f: build the tree first" >&2; exit 1; }
done

work=$(mktemp -d /tmp/qzbench.XXXXXX)
qzsld_pid=
cleanup() {
  if [ -n "$qzsld_pid" ]; then kill "$qzsld_pid" 2>/dev/null || true; wait "$qzsld_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# --- helpers ---------------------------------------------------------------

cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
echo "compiling the measuring helpers..." >&2
g++ -O2 -std=c++17 -o "$work/measure" "$root/bench/measure.cc"
g++ -O2 -std=c++17 -o "$work/hello" "$root/bench/hello.cc"
g++ -O2 -std=c++17 -w -I"$build/idlgen" -D__OSVERSION__=2 -D__linux__ -D__x86__ \
  -o "$work/ping" "$root/bench/ping.cc" "$build/idl/libqz_idl.a" \
  "$(cache OMNIDYNAMIC_A)" "$(cache OMNIORB_A)" "$(cache OMNITHREAD_A)" -lpthread

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])' 2>/dev/null ||
    echo $((20000 + RANDOM % 20000))
}

# start_site CLIENTS: a private home with qz.conf and qzsld serving a generated
# inventory of CLIENTS SAN clients and 100 FT servers.
start_site() {
  stop_site
  home=$work/site$1
  mkdir -p "$home/var" "$home/logs"
  awk -v servers=100 -v luns=32 -v clients="$1" -v devices=4 -f "$root/bench/gen_inventory.awk" \
    > "$home/inventory.json"
  local started=$SECONDS
  for _ in 1 2 3 4 5; do
    port=$(free_port)
    printf 'SERVER = master1\nUSE_KMTL = AUTOMATIC\nREQUEST_TIMEOUT = 3600\nQZSL_PORT = %s\n' "$port" \
      > "$home/qz.conf"
    rm -f "$home/ready"
    TESSARK_HOME=$home "$service" --port "$port" --db "$home/var/qzsld.db" \
      --inventory "$home/inventory.json" --journal "$home/journal" --ready-file "$home/ready" \
      > "$home/qzsld.out" 2>&1 &
    qzsld_pid=$!
    while kill -0 "$qzsld_pid" 2>/dev/null && [ ! -e "$home/ready" ]; do sleep 0.1; done
    [ -e "$home/ready" ] && { echo "site of $1 clients ready in $((SECONDS - started)) s" >&2; return; }
    wait "$qzsld_pid" 2>/dev/null || true
    qzsld_pid=
  done
  echo "qzsld did not start:" >&2; cat "$home/qzsld.out" >&2; exit 1
}

stop_site() {
  if [ -n "$qzsld_pid" ]; then kill "$qzsld_pid"; wait "$qzsld_pid" 2>/dev/null || true; qzsld_pid=; fi
}

# The service's CPU time so far, in microseconds.
service_cpu() {
  awk -v tick="$(getconf CLK_TCK)" '{ printf "%d\n", ($14 + $15) * 1000000 / tick }' "/proc/$qzsld_pid/stat"
}

# measure_tool ARGS...: one run of qzftconfig; sets wall user sys rss status
# (µs, µs, µs, KiB), calls (journal lines: every remote call, session
# included) and infos (the getFATServerInfo calls among them).
measure_tool() {
  : > "$home/journal"
  read -r wall user sys rss status < <(TESSARK_HOME=$home "$work/measure" "$work/out" "$tool" "$@")
  calls=$(wc -l < "$home/journal")
  infos=$(grep -c '^getFATServerInfo ' "$home/journal" || true)
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# mean_wall N CMD...: mean wall time of N runs, in µs.
mean_wall() {
  local n=$1; shift
  for _ in $(seq "$n"); do TESSARK_HOME=${home:-$work} "$work/measure" /dev/null "$@" 2> /dev/null; done |
    awk '{ s += $1 } END { printf "%d\n", s / NR }'
}

# --- the 2,000-client site ---------------------------------------------------

start_site 2000
read -r rtt cheap_cpu info_cpu < <("$work/ping" "$port" client00001 media0001 2000)
# Start-up: a run that connects and makes one FT call; what the model adds to
# calls x round trip.
startups=()
for _ in 1 2 3 4 5; do
  measure_tool -listactive -C client00001
  startups+=("$(awk -v w="$wall" -v c="$calls" -v r="$rtt" 'BEGIN { printf "%d\n", w - c * r }')")
done
startup=$(printf '%s\n' "${startups[@]}" | median)

rows=()
bench_listing() {
  local walls=() cpus=() rsss=() svcs=() before
  for _ in $(seq "$runs"); do
    before=$(service_cpu)
    measure_tool "$@"
    [ "$status" = 0 ] || echo "warning: qzftconfig $* exited with $status" >&2
    walls+=("$wall"); cpus+=("$((user + sys))"); rsss+=("$rss"); svcs+=("$(( $(service_cpu) - before ))")
  done
  rows+=("$(printf '%s|%s|%s|%s|%s|%s|%s|%s' "$*" "$calls" "$infos" \
    "$(printf '%s\n' "${walls[@]}" | median)" "$(printf '%s\n' "${cpus[@]}" | median)" \
    "$(printf '%s\n' "${rsss[@]}" | median)" "$(printf '%s\n' "${svcs[@]}" | median)" \
    "$(wc -l < "$work/out")")")
}
echo "running the listings ($runs runs each)..." >&2
bench_listing -listclients
bench_listing -listclients -json
bench_listing -listservers -verbose
bench_listing -listactive

echo
echo "Listings on 2,000 SAN clients x 4 devices and 100 FT servers x 32 LUNs"
printf 'round trip of one cheap call: %.1f us; start-up of a connecting run: %.1f ms\n' "$rtt" \
  "$(awk -v s="$startup" 'BEGIN { print s / 1000 }')"
printf 'ORB floor, CPU per call of a bare client: %.1f us cheap call, %.1f us getFATServerInfo (32 LUNs)\n' \
  "$cheap_cpu" "$info_cpu"
printf '%-22s %6s %6s %8s %8s %6s %8s %8s %8s %6s %8s %7s\n' command calls lines wall_ms model_ms \
  wall/m cpu_ms cpu/call floor/ca rss_MB svc_cpu verdict
for row in "${rows[@]}"; do
  IFS='|' read -r cmd calls infos wall cpu rss svc lines <<< "$row"
  awk -v cmd="$cmd" -v calls="$calls" -v infos="$infos" -v wall="$wall" -v cpu="$cpu" -v rss="$rss" \
    -v svc="$svc" -v lines="$lines" -v rtt="$rtt" -v startup="$startup" -v cheap="$cheap_cpu" \
    -v info="$info_cpu" 'BEGIN {
      model = calls * rtt + startup; ratio = wall / model; per = cpu / calls; mb = rss / 1024
      floor = (infos * info + (calls - infos) * cheap) / calls
      verdict = (per <= 30 && ratio <= 1.5 && mb < 32) ? "ok" : "MISSED"
      printf "%-22s %6d %6d %8.1f %8.1f %6.2f %8.1f %8.1f %8.1f %6.1f %8.1f %7s\n", cmd, calls, lines,
        wall / 1000, model / 1000, ratio, cpu / 1000, per, floor, mb, svc / 1000, verdict }'
done
echo "targets: tool CPU per call (cpu/call, us) <= 30; wall <= 1.5 x model (calls x round trip"
echo "         + start-up); peak RSS < 32 MB. floor/ca: what a bare ORB client spends per call of"
echo "         the same mix (list replies counted as cheap calls); svc_cpu: qzsld's CPU ms."

# --- start-up ------------------------------------------------------------------

help_us=$(mean_wall 20 "$tool" -help)
hello_us=$(mean_wall 20 "$work/hello")
getconfig_us=$(mean_wall 10 "$tool" -getconfig)
echo
echo "Start-up (mean of 20 runs; -getconfig of 10)"
awk -v h="$help_us" -v w="$hello_us" -v g="$getconfig_us" 'BEGIN {
  printf "qzftconfig -help      %8.2f ms\n", h / 1000
  printf "C++ hello-world       %8.2f ms\n", w / 1000
  printf "ratio                 %8.2f   (target <= 1.6: %s)\n", h / w, (h / w <= 1.6 ? "ok" : "MISSED")
  printf "qzftconfig -getconfig %8.2f ms\n", g / 1000 }'

# --- 20,000 clients ------------------------------------------------------------

echo
echo "importing the 20,000-client site..." >&2
start_site 20000
measure_tool -listclients
expected=$((20000 * 5))
lines=$(wc -l < "$work/out")
verdict=ok
[ "$status" = 0 ] && [ "$lines" = "$expected" ] || verdict=FAILED
awk -v s="$status" -v l="$lines" -v e="$expected" -v c="$calls" -v w="$wall" -v u="$((user + sys))" \
  -v r="$rss" -v v="$verdict" 'BEGIN {
  printf "20,000 SAN clients: -listclients exit %d, %d lines (expected %d), %d calls, %.1f s wall,\n", s, l, e, c, w / 1e6
  printf "  tool CPU %.1f ms (%.1f us per call), peak RSS %.1f MB: %s\n", u / 1000, u / c, r / 1024, v }'
