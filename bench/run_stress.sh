#!/usr/bin/env bash
# run_stress.sh [BUILD_DIR] [RUNS]: how runs end when things fail at once.
# Runs each failure scenario RUNS times (default 200) and prints, per
# scenario, how often each outcome came: exit status with the number of
# reports printed, aborts and hangs (a run still going after 60 s is killed).
# The goal is 0 aborts, 0 hangs and exactly one report per run.
#
#   discovery-fails   12 SAN clients, every startClientDiscovery fails with
#                     COMM_FAILURE (expected: 130, one report)
#   control-refused   12 SAN clients, every acontrolFacet refused with code 41
#                     (expected: 41, one report)
#   all-time-out      12 SAN clients, every startClientDiscovery hangs and the
#                     five outstanding calls reach the ORB's call time-out
#                     together (CONNECT_TIMEOUT 100 s on a clock sped up a
#                     hundred times by libfaketime; expected: 130, one report)
#   interrupted       qzsld killed with SIGKILL at a random moment of a burst
#                     of six commands (listings, changes, a rescan of all
#                     clients) on the demo site; RUNS bursts, every command
#                     counted (expected: 0 with at most one report, or 130
#                     with one report)
#
# A report is a line that ends a run: "Got Corba Exception...", "Encountered
# with an error...", "Got an Exception...", "Unknown C++ Exception",
# "EXIT status = N" or the rescan summary "Of a total of...". A run killed by
# SIGILL, SIGABRT, SIGBUS, SIGFPE, SIGSEGV or SIGQUIT, or whose standard error
# shows terminate(), an assertion or a sanitizer, counts as an abort ("-listactive"
# on the demo site ends with 252 when it completes). Prints figures
# and never fails on them; exits non-zero only when something could not run.
# BUILD_DIR defaults to build/plain (scripts/build.sh build/plain).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib.sh"
build=$(cd "${1:-$root/build/plain}" && pwd)
runs=${2:-200}
tool=$build/frontend/qzftconfig
service=$build/qzsld/qzsld
limit=60
faketime_lib=
for f in "/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/faketime/libfaketimeMT.so.1" /usr/lib/faketime/libfaketimeMT.so.1; do
  [ -e "$f" ] && { faketime_lib=$f; break; }
done
for f in "$tool" "$service"; do
  [ -e "$f" ] || { echo "missing $f: build the tree first" >&2; exit 1; }
done

work=$(mktemp -d /tmp/qzstress.XXXXXX)
cleanup() {
  stop_qzsld KILL || true
  rm -rf "$work"
}
trap cleanup EXIT

# new_site NAME INVENTORY FAULTS CONF: a private home with qz.conf (CONF adds
# lines), its inventory and fault rules ("" = none); sets home.
new_site() {
  home=$work/$1
  mkdir -p "$home/var" "$home/logs/admin"
  printf '%s\n' "$2" > "$home/inventory.json"
  if [ -n "$3" ]; then printf '%s\n' "$3" > "$home/faults.json"; else rm -f "$home/faults.json"; fi
  printf 'SERVER = master1\nUSE_KMTL = AUTOMATIC\n%s' "$4" > "$home/qz.conf"
  first_start=1
}

# start_service: qzsld for the site on a free port (the inventory imported
# on the first start only); waits until it listens.
start_service() {
  local args=(--db "$home/var/qzsld.db" --discovery-ms 50)
  [ -n "$first_start" ] && args+=(--inventory "$home/inventory.json")
  [ -e "$home/faults.json" ] && args+=(--faults "$home/faults.json")
  start_qzsld "$home/qz.conf" "$home" env TESSARK_HOME="$home" "$service" "${args[@]}" ||
    { echo "qzsld did not start" >&2; exit 1; }
  first_start=
}

# run_tool OUT ENV... -- ARGS...: one run of qzftconfig, killed after $limit
# seconds; its status goes to OUT.status, its streams to OUT.out and OUT.err.
run_tool() {
  local out=$1; shift
  local env=()
  while [ "$1" != -- ]; do env+=("$1"); shift; done
  shift
  set +e
  env TESSARK_HOME="$home" LANG=C "${env[@]}" timeout -s KILL "$limit" "$tool" "$@" > "$out.out" 2> "$out.err"
  echo $? > "$out.status"
  set -e
}

# outcome OUT: the outcome of one run, as a tally key.
outcome() {
  local status reports
  status=$(cat "$1.status")
  reports=$(cat "$1.out" "$1.err" | grep -cE '^(Got Corba Exception|Encountered with an error|Got an Exception|Unknown C\+\+ Exception|EXIT status = |Of a total of)' || true)
  if [ "$status" = 137 ]; then
    echo "HANG (killed after ${limit} s)"
  elif grep -qE 'terminate called|Assertion|Sanitizer|double free|Aborted' "$1.err" ||
       [[ " 131 132 134 135 136 139 " == *" $status "* ]]; then
    echo "ABORT (status $status)"
  else
    echo "status $status, $reports report(s)"
  fi
}

# count NAME OUTCOME OUT: tallies the outcome; the first run of each failed
# outcome without a report keeps its standard error, shown with the table
# (252 without a report is a "-listactive" that completed on the demo site).
declare -A tally example
count() {
  tally["$1|$2"]=$(( ${tally["$1|$2"]:-0} + 1 ))
  [[ $2 == *", 0 report(s)" && $2 != "status 0,"* && $2 != "status 252,"* && -z ${example["$1|$2"]:-} ]] &&
    example["$1|$2"]=$(head -c 300 "$3.err" | tr '\n' ' ')
  return 0
}

clients12=$(awk 'BEGIN { printf "{\"clients\": ["; for (i = 1; i <= 12; ++i)
  printf "%s{\"fatClientInfo\": {\"hostName\": \"c%d\", \"masterServerName\": \"master1\", \"state\": 1}}", (i > 1 ? ", " : ""), i
  print "]}" }')

# rescan_scenario NAME FAULTS CONF RESTART_EVERY ENV...: RUNS rescans of all
# clients; qzsld is restarted every RESTART_EVERY runs (hung calls pile up in it).
rescan_scenario() {
  local name=$1 faults=$2 conf=$3 every=$4; shift 4
  echo "$name: $runs runs..." >&2
  new_site "$name" "$clients12" "$faults" "$conf"
  start_service
  for i in $(seq "$runs"); do
    if (( i > 1 && (i - 1) % every == 0 )); then stop_qzsld || true; start_service; fi
    run_tool "$work/run" "$@" -- -rescanallclients
    count "$name" "$(outcome "$work/run")" "$work/run"
  done
  stop_qzsld || true
}

rescan_scenario discovery-fails \
  '{"rules": [{"op": "startClientDiscovery", "action": "system", "exception": "COMM_FAILURE"}]}' "" 1000000
rescan_scenario control-refused \
  '{"rules": [{"op": "acontrolFacet", "action": "raise", "errors": [{"errorCode": 41, "localizedMsg": "refused"}]}]}' "" 1000000
if [ -n "$faketime_lib" ]; then
  rescan_scenario all-time-out '{"rules": [{"op": "startClientDiscovery", "action": "hang"}]}' \
    $'CONNECT_TIMEOUT = 100\n' 10 LD_PRELOAD="$faketime_lib" FAKETIME="+0 x100"
else
  echo "all-time-out: skipped, libfaketime (faketime package) not installed" >&2
fi

# The burst: each command in the background against the same service.
burst=(
  "-listclients -verbose"
  "-listservers -json"
  "-changeclient -C sanclient03 -np 3"
  "-setconfig -np 3"
  "-rescanallclients"
  "-listactive"
)
echo "interrupted: $runs bursts of ${#burst[@]} commands..." >&2
new_site interrupted "$(cat "$root/qzsld/demo/inventory.json")" "" $'CONNECT_TIMEOUT = 30\nREQUEST_TIMEOUT = 30\n'
for i in $(seq "$runs"); do
  start_service
  pids=()
  for j in "${!burst[@]}"; do
    # shellcheck disable=SC2086
    run_tool "$work/burst$j" -- ${burst[$j]} &
    pids+=($!)
  done
  sleep "0.$(printf '%03d' $((RANDOM % 400)))"
  stop_qzsld KILL || true
  for pid in "${pids[@]}"; do wait "$pid" || true; done
  for j in "${!burst[@]}"; do count interrupted "$(outcome "$work/burst$j")" "$work/burst$j"; done
done

echo
echo "Outcomes ($runs runs per scenario; interrupted: $runs bursts x ${#burst[@]} commands)"
for key in "${!tally[@]}"; do printf '%s|%s\n' "$key" "${tally[$key]}"; done | sort |
  awk -F'|' '{ if ($1 != last) { print $1; last = $1 } printf "  %6d  %s\n", $3, $2 }'
for key in "${!example[@]}"; do printf '%s (first run): stderr "%s"\n' "$key" "${example[$key]}"; done
