#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configures and builds one tree; with
# QZ_TARGETS set, only those targets (and what they need).
set -euo pipefail
dir=$1; shift
mkdir -p "$dir"
cmake -S "$(dirname "$0")/.." -B "$dir" "$@" > "$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" -j"$(nproc)" ${QZ_TARGETS:+--target $QZ_TARGETS}
