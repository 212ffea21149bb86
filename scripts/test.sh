#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a plain
# build, then through the installed Debian packages, then the fuzz targets,
# once under AddressSanitizer and UndefinedBehaviorSanitizer, and the threaded
# tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
mkdir -p build

source scripts/debflags.sh
scripts/build.sh build/plain "${QZ_DEB_FLAGS[@]}"
(cd build/plain && ctest --output-on-failure -j2 -LE bench)
# The Debian packages, installed, run and purged again.
scripts/package_test.sh

# Each fuzz target for a bounded time, its committed seeds first.
scripts/fuzz.sh 20

# The rescan tests preload libfaketime, so ASan cannot be first in the library list.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:verify_asan_link_order=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
scripts/build.sh build/asan -DQZ_SANITIZE=address,undefined
(cd build/asan && ctest --output-on-failure -j2 -LE "bench|large")

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
# Only the threaded tests run here, so only they and the programs they start are built.
QZ_TARGETS="changes_tests qzsld_tests" scripts/build.sh build/tsan -DQZ_SANITIZE=thread
(cd build/tsan && ctest --output-on-failure -j2 -L threads)
