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

flags=(-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I. -I"$out/idlgen"
       -D__OSVERSION__=2 -D__linux__ -D__x86__)
logging=(platform/debuglog.cc platform/hostinfo.cc platform/masterconfig.cc)
declare -A sources=(
  [conf]="${logging[*]}"
  [catalog]="platform/messages.cc ${logging[*]}"
  [widetext]="platform/widetext.cc"
  [json]="platform/crvjson.cc platform/widetext.cc"
  [args]="frontend/parse.cc platform/messages.cc ${logging[*]} -lomniORB4 -lomnithread"
)
for target in "${!sources[@]}"; do
  # shellcheck disable=SC2086
  clang++-14 "${flags[@]}" -o "$out/$target" "fuzz/$target.cc" ${sources[$target]} -ljansson
done

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "${!sources[@]}"; do
  rm -rf "$out/corpus-$target"
  cp -r "fuzz/corpus/$target" "$out/corpus-$target"
  echo "fuzz: $target for ${seconds}s"
  "$out/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
      -artifact_prefix="$out/$target-" -print_final_stats=0 \
      "$out/corpus-$target" > "$out/$target.log" 2>&1 || {
    tail -40 "$out/$target.log"
    echo "fuzz: $target failed; the input is $out/$target-*" >&2
    exit 1
  }
done
echo "fuzz: all targets passed"
