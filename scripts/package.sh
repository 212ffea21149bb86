#!/usr/bin/env bash
# package.sh: builds the Debian packages qzftconfig and qzsld (and their
# -dbgsym packages) into build/packages/ with dpkg-buildpackage from debian/.
# dpkg-buildpackage writes next to the source tree, so it builds a copy of
# the working tree under build/deb, and nothing lands outside build/.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
scripts/setup.sh >&2

# The packages carry the CMake project's version, as qzsld --version does.
version=$(sed -n 's/^project(qzftconfig VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
changelog=$(dpkg-parsechangelog -SVersion)
[ "$version" = "$changelog" ] ||
  { echo "package: debian/changelog is at $changelog, CMakeLists.txt at $version" >&2; exit 1; }

work=$top/build/deb
src=$work/qzftconfig-$version
out=$top/build/packages
rm -rf "$work" "$out"
mkdir -p "$src" "$out"
tar -C "$top" --exclude=./build --exclude=./.git -cf - . | tar -C "$src" -xf -
# ccache finds the plain test tree's objects: the copy's build folder stands
# as deep as build/plain and the flags are the same (scripts/debflags.sh).
# debhelper gives the build a HOME of its own, so the cache is named.
source scripts/debflags.sh
export CCACHE_BASEDIR=$src
export CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir 2>/dev/null || echo "$HOME/.cache/ccache")}
(cd "$src" && dpkg-buildpackage -us -uc -b --build-profiles=nocheck > "$work/build.log" 2>&1) ||
  { tail -60 "$work/build.log"; echo "package: dpkg-buildpackage failed; the log is $work/build.log" >&2; exit 1; }
mv "$work"/*.deb "$out"/
ls "$out"/*.deb
