#!/usr/bin/env bash
# fuzz.sh [SECONDS]: builds the libFuzzer targets of fuzz/ with clang 14 and
# runs each on a copy of its seed corpus for SECONDS (default 20); fails on
# the first crash, leak, undefined behaviour or time-out. The committed seeds
# (regression inputs included) always run first.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
out=build/fuzz
mkdir -p "$out/idlgen"
# parse.cc sees the ORB types through the process globals' header.
for idl in idl/*.idl; do (cd "$out/idlgen" && omniidl -bcxx -Wbh=.hh -Wbs=SK.cc -I../../../idl "../../../$idl"); done

# omniORB's platform defines come from its pkg-config file, as in the CMake build.
read -ra omniorb_defines <<< "$(pkg-config --cflags-only-other --static omnithread4)"
flags=(-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I. -I"$out/idlgen"
       "${omniorb_defines[@]}")
logging=(platform/debuglog.cc platform/hostinfo.cc platform/masterconfig.cc platform/shown.cc platform/widetext.cc)
declare -A sources=(
  [conf]="${logging[*]}"
  [catalog]="platform/messages.cc ${logging[*]}"
  [widetext]="platform/widetext.cc"
  [json]="platform/crvjson.cc platform/widetext.cc"
  [args]="frontend/parse.cc platform/messages.cc ${logging[*]} -lomniORB4 -lomnithread"
)
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Builds and runs one target; a failure leaves its mark for the end.
fuzz_target() {
  local target=$1
  # shellcheck disable=SC2086
  clang++-14 "${flags[@]}" -o "$out/$target" "fuzz/$target.cc" ${sources[$target]} -ljansson || {
    touch "$out/$target.failed"; return; }
  rm -rf "$out/corpus-$target"
  cp -r "fuzz/corpus/$target" "$out/corpus-$target"
  echo "fuzz: $target for ${seconds}s"
  "$out/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
      -artifact_prefix="$out/$target-" -print_final_stats=0 \
      "$out/corpus-$target" > "$out/$target.log" 2>&1 || {
    tail -40 "$out/$target.log"
    echo "fuzz: $target failed; the input is $out/$target-*" >&2
    touch "$out/$target.failed"
  }
}

# One target per core at a time: each is single-threaded.
rm -f "$out"/*.failed
for target in "${!sources[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
  fuzz_target "$target" &
done
wait
if compgen -G "$out/*.failed" > /dev/null; then exit 1; fi
echo "fuzz: all targets passed"
