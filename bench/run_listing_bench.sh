#!/usr/bin/env bash
# run_listing_bench.sh [BUILD_DIR]: what the listing commands cost on a large
# site. Seeds qzsld with 2,000 SAN clients of 4 devices and 100 FT servers of
# 32 LUNs, runs the listings against it and prints, per command, the remote
# calls made (by kind), the wall time, the tool's own CPU time and peak RSS
# next to the floor pair: a bare omniORB client (bench/floor_client.cc) making
# exactly the same calls against a bare omniORB server answering the same
# records from memory (bench/floor_server.cc). Then qzsld's CPU per
# getFATServerInfo against the bare server's, the start-up cost (-help against
# a bare program loading the same shared libraries; a C++ hello-world as
# information), and a 20,000-client site that must list without error.
# Ends with one "goal <name>: <figure> (target <target>) met|MISSED" line per
# goal. Prints figures and never fails on them; exits non-zero only when
# something could not run.
#
# BUILD_DIR defaults to build/plain (scripts/build.sh build/plain).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib.sh"
# The 20,000-client site is imported on qzsld's start.
qzsld_start_seconds=600
build=$(cd "${1:-$root/build/plain}" && pwd)
tool=$build/frontend/qzftconfig
service=$build/qzsld/qzsld
runs=3   # each large listing runs this often; the median is reported
for f in "$tool" "$service" "$build/idl/libqz_idl.a" "$build/qzsld/libqzsld_core.a" \
         "$build/platform/libqz_platform.a"; do
  [ -e "$f" ] || { echo "missing $f: build the tree first" >&2; exit 1; }
done

work=$(mktemp -d /tmp/qzbench.XXXXXX)
floor_pid=
cleanup() {
  stop_qzsld || true
  if [ -n "$floor_pid" ]; then kill "$floor_pid" 2>/dev/null || true; wait "$floor_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# --- helpers ---------------------------------------------------------------

echo "compiling the measuring helpers..." >&2
g++ -O2 -std=c++17 -o "$work/measure" "$root/bench/measure.cc"
g++ -O2 -std=c++17 -o "$work/hello" "$root/bench/hello.cc"
# The loader's floor: a program that returns at once but loads every shared
# library the tool needs, linked with the tool's flags.
needed=$(readelf -dW "$tool" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/-l:\1/p')
# shellcheck disable=SC2046,SC2086
g++ -O2 $(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS) -Wl,--no-as-needed -o "$work/bare" "$root/bench/bare.cc" $needed
omniorb=(omniDynamic4 omniORB4 omnithread4)
for helper in floor_server floor_client; do
  # shellcheck disable=SC2046
  g++ -O2 -std=c++17 -w -I"$build/idlgen" -I"$root/qzsld" $(pkg-config --cflags-only-other --static omnithread4) \
    -o "$work/$helper" "$root/bench/$helper.cc" "$build/qzsld/libqzsld_core.a" \
    "$build/platform/libqz_platform.a" "$build/idl/libqz_idl.a" \
    $(pkg-config --libs "${omniorb[@]}") -ljansson -lsqlite3 -lpthread
done

# start_site CLIENTS: a private home with qz.conf and qzsld serving a generated
# inventory of CLIENTS SAN clients and 100 FT servers, journalling every call.
# start_site CLIENTS plain: qzsld again on that site's database, without the
# import and without the journal, as it runs in production.
start_site() {
  stop_qzsld || true
  home=$work/site$1
  mkdir -p "$home/var" "$home/logs"
  local extra=(--inventory "$home/inventory.json" --journal "$home/journal")
  if [ "${2:-}" = plain ]; then extra=(); else
    awk -v servers=100 -v luns=32 -v clients="$1" -v devices=4 -f "$root/bench/gen_inventory.awk" \
      > "$home/inventory.json"
  fi
  local started=$SECONDS
  printf 'SERVER = master1\nUSE_KMTL = AUTOMATIC\nREQUEST_TIMEOUT = 3600\n' > "$home/qz.conf"
  start_qzsld "$home/qz.conf" "$home" env TESSARK_HOME="$home" "$service" --db "$home/var/qzsld.db" "${extra[@]}" ||
    { echo "qzsld did not start" >&2; exit 1; }
  echo "site of $1 clients ready in $((SECONDS - started)) s" >&2
}

# start_floor: the bare server on its own port, passing first calls to qzsld.
# It takes its port on the command line and reads no qz.conf, so start_qzsld
# does not fit it; a port taken under it ends the benchmark with its output.
start_floor() {
  floor_port=$(free_port)
  rm -f "$work/floor.ready"
  "$work/floor_server" "$floor_port" "$qzsld_port" "$work/floor.ready" > "$work/floor.out" 2>&1 &
  floor_pid=$!
  while kill -0 "$floor_pid" 2>/dev/null && [ ! -e "$work/floor.ready" ]; do sleep 0.1; done
  [ -e "$work/floor.ready" ] || { echo "floor_server did not start:" >&2; cat "$work/floor.out" >&2; exit 1; }
}

# cpu_of PID: the CPU time of that process so far, in microseconds.
cpu_of() {
  awk -v tick="$(getconf CLK_TCK)" '{ printf "%d\n", ($14 + $15) * 1000000 / tick }' "/proc/$1/stat"
}
service_cpu() { cpu_of "$qzsld_pid"; }

# measure_tool ARGS...: one run of qzftconfig; sets wall user sys rss status
# (µs, µs, µs, KiB), calls (journal lines: every remote call, session
# included) and infos (the getFATServerInfo calls among them).
measure_tool() {
  : > "$home/journal"
  read -r wall user sys rss status < <(TESSARK_HOME=$home "$work/measure" "$work/out" "$tool" "$@")
  calls=$(wc -l < "$home/journal")
  infos=$(grep -c '^[^ ]* getFATServerInfo ' "$home/journal" || true)
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# median_wall N CMD...: median wall time of N runs, in µs (the median keeps
# out the runs another engineer's build slowed down).
median_wall() {
  local n=$1; shift
  for _ in $(seq "$n"); do TESSARK_HOME=${home:-$work} "$work/measure" /dev/null "$@" 2> /dev/null; done |
    awk '{ print $1 }' | median
}

# goal NAME FIGURE TARGET-TEXT OK(0|1): one line a script can read.
goals=()
goal() { goals+=("goal $1: $2 (target $3) $([ "$4" = 1 ] && echo met || echo MISSED)"); }
# ratio_goal NAME VALUE LIMIT: "<= LIMITx".
ratio_goal() {
  goal "$1" "$(printf '%.2fx' "$2")" "<= ${3}x" "$(awk -v v="$2" -v l="$3" 'BEGIN { print (v <= l) }')"
}

# --- the 2,000-client site ---------------------------------------------------

start_site 2000
start_floor

rows=()
# bench_listing ARGS...: the tool against qzsld, then the floor pair replaying
# the journal of the tool's last run (once to warm the bare server up).
bench_listing() {
  local walls=() cpus=() rsss=() svcs=() fwalls=() fcpus=() before name
  name=$(echo "$*" | tr -c 'a-z\n' _)
  for _ in $(seq "$runs"); do
    before=$(service_cpu)
    measure_tool "$@"
    [ "$status" = 0 ] || echo "warning: qzftconfig $* exited with $status" >&2
    walls+=("$wall"); cpus+=("$((user + sys))"); rsss+=("$rss"); svcs+=("$(( $(service_cpu) - before ))")
  done
  # The floor client replays the calls without their timestamps.
  sed 's/^[^ ]* //' "$home/journal" > "$work/journal.$name"
  kinds=$(sed 's/ .*//' "$work/journal.$name" | sort | uniq -c | sort -rn | awk '{ printf "%s%s %d", sep, $2, $1; sep = ", " }')
  "$work/floor_client" "$floor_port" "$work/journal.$name" > /dev/null
  for _ in $(seq "$runs"); do
    read -r fwall fuser fsys _ fstatus < <("$work/measure" /dev/null "$work/floor_client" "$floor_port" "$work/journal.$name")
    [ "$fstatus" = 0 ] || { echo "floor_client failed on the journal of $*" >&2; exit 1; }
    fwalls+=("$fwall"); fcpus+=("$((fuser + fsys))")
  done
  rows+=("$(printf '%s|%s|%s|%s|%s|%s|%s|%s|%s' "$*" "$calls" \
    "$(printf '%s\n' "${walls[@]}" | median)" "$(printf '%s\n' "${cpus[@]}" | median)" \
    "$(printf '%s\n' "${rsss[@]}" | median)" "$(printf '%s\n' "${svcs[@]}" | median)" \
    "$(printf '%s\n' "${fwalls[@]}" | median)" "$(printf '%s\n' "${fcpus[@]}" | median)" "$kinds")")
}
echo "running the listings ($runs runs each, and the floor pair)..." >&2
bench_listing -listclients
bench_listing -listclients -json
bench_listing -listservers -verbose
bench_listing -listactive

echo
echo "Listings on 2,000 SAN clients x 4 devices and 100 FT servers x 32 LUNs (medians of $runs runs)"
printf '%-22s %6s %8s %8s %6s %8s %8s %6s %6s %8s\n' command calls wall_ms floor_ms wall/f \
  cpu/call floor/ca cpu/f rss_MB svc_ms
rss_2000=0
declare -A cpu_ratio wall_ratio
for row in "${rows[@]}"; do
  IFS='|' read -r cmd calls wall cpu rss svc fwall fcpu kinds <<< "$row"
  awk -v cmd="$cmd" -v calls="$calls" -v wall="$wall" -v cpu="$cpu" -v rss="$rss" -v svc="$svc" \
    -v fwall="$fwall" -v fcpu="$fcpu" 'BEGIN {
      printf "%-22s %6d %8.1f %8.1f %6.2f %8.1f %8.1f %6.2f %6.1f %8.1f\n", cmd, calls, wall / 1000,
        fwall / 1000, wall / fwall, cpu / calls, fcpu / calls, cpu / fcpu, rss / 1024, svc / 1000 }'
  echo "    calls: $kinds"
  cpu_ratio[$cmd]=$(awk -v a="$cpu" -v b="$fcpu" 'BEGIN { print a / b }')
  wall_ratio[$cmd]=$(awk -v a="$wall" -v b="$fwall" 'BEGIN { print a / b }')
  [ "$rss" -gt "$rss_2000" ] && rss_2000=$rss
done
echo "wall/f: the tool's wall time against the floor pair's; cpu/call and floor/ca: the tool's and the"
echo "bare client's CPU per call (us), whole runs with start-up; svc_ms: qzsld's CPU for the tool's run."

# --- qzsld against the bare server ------------------------------------------------

# One session and 20,000 getFATServerInfo calls for a 32-LUN server, to qzsld
# without its journal and to the bare server fed by it, each warmed up; three
# rounds taken in turn, so that a burst of load elsewhere hits both alike.
info_calls=20000
grep -E '^(getHostSession|getFATServiceManager|aqueryFacet)( |$)' "$work/journal._listclients" > "$work/journal.info"
server=$(grep -m1 -o '^getFATServerInfo "[^"]*"' "$work/journal._listclients" | sed 's/^getFATServerInfo //')
for _ in $(seq "$info_calls"); do echo "getFATServerInfo $server"; done >> "$work/journal.info"
kill "$floor_pid"; wait "$floor_pid" 2>/dev/null || true; floor_pid=
start_site 2000 plain
start_floor
"$work/floor_client" "$qzsld_port" "$work/journal.info" > /dev/null
"$work/floor_client" "$floor_port" "$work/journal.info" > /dev/null
service_infos=() floor_infos=()
for _ in 1 2 3; do
  before=$(service_cpu)
  "$work/floor_client" "$qzsld_port" "$work/journal.info" > /dev/null
  service_infos+=("$(( $(service_cpu) - before ))")
  before=$(cpu_of "$floor_pid")
  "$work/floor_client" "$floor_port" "$work/journal.info" > /dev/null
  floor_infos+=("$(( $(cpu_of "$floor_pid") - before ))")
done
service_info=$(printf '%s\n' "${service_infos[@]}" | median)
floor_info=$(printf '%s\n' "${floor_infos[@]}" | median)
kill "$floor_pid"; wait "$floor_pid" 2>/dev/null || true; floor_pid=
echo
awk -v q="$service_info" -v f="$floor_info" -v n="$info_calls" 'BEGIN {
  printf "server CPU per getFATServerInfo (32 LUNs, medians of 3 x %d calls): qzsld %.1f us, bare server %.1f us, ratio %.2f\n",
    n, q / n, f / n, q / f }'

# --- start-up ------------------------------------------------------------------

help_us=$(median_wall 20 "$tool" -help)
bare_us=$(median_wall 20 "$work/bare")
hello_us=$(median_wall 20 "$work/hello")
getconfig_us=$(median_wall 10 "$tool" -getconfig)
echo
echo "Start-up (median of 20 runs; -getconfig of 10)"
awk -v h="$help_us" -v b="$bare_us" -v w="$hello_us" -v g="$getconfig_us" 'BEGIN {
  printf "qzftconfig -help      %8.2f ms\n", h / 1000
  printf "bare, same libraries  %8.2f ms\n", b / 1000
  printf "C++ hello-world       %8.2f ms (%.2fx of it for -help, information)\n", w / 1000, h / w
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
rss_20000=$rss
awk -v s="$status" -v l="$lines" -v e="$expected" -v c="$calls" -v w="$wall" -v u="$((user + sys))" \
  -v r="$rss" -v v="$verdict" 'BEGIN {
  printf "20,000 SAN clients: -listclients exit %d, %d lines (expected %d), %d calls, %.1f s wall,\n", s, l, e, c, w / 1e6
  printf "  tool CPU %.1f ms (%.1f us per call), peak RSS %.1f MB: %s\n", u / 1000, u / c, r / 1024, v }'

# --- goals -----------------------------------------------------------------------

echo
ratio_goal "-help wall vs a bare program of the same libraries" "$(awk -v a="$help_us" -v b="$bare_us" 'BEGIN { print a / b }')" 1.3
for cmd in "-listclients" "-listclients -json" "-listactive"; do
  ratio_goal "tool CPU per call vs bare client, \"$cmd\"" "${cpu_ratio[$cmd]}" 1.2
done
ratio_goal "\"-listclients\" wall on 2,000 x 4 vs floor pair" "${wall_ratio[-listclients]}" 1.3
ratio_goal "qzsld CPU per getFATServerInfo (32 LUNs) vs bare server" \
  "$(awk -v a="$service_info" -v b="$floor_info" 'BEGIN { print a / b }')" 1.5
goal "peak RSS, 2,000 clients" "$(awk -v r="$rss_2000" 'BEGIN { printf "%.1f MB", r / 1024 }')" "< 32 MB" \
  "$(awk -v r="$rss_2000" 'BEGIN { print (r / 1024 < 32) }')"
goal "peak RSS, 20,000 clients" "$(awk -v r="$rss_20000" 'BEGIN { printf "%.1f MB", r / 1024 }')" "< 100 MB" \
  "$(awk -v r="$rss_20000" -v v="$verdict" 'BEGIN { print (r / 1024 < 100 && v == "ok") }')"
printf '%s\n' "${goals[@]}"
