#!/usr/bin/env bash
# package.sh: builds the Debian packages qzftconfig and qzsld into
# build/packages/ from a tree of their own (build/package, without the tests),
# compiled with Debian's hardening flags.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
build=$top/build/package
out=$top/build/packages
stage=$top/build/package-stage
scripts/setup.sh >&2

source scripts/debflags.sh
mkdir -p "$build"
cmake -S "$top" -B "$build" -DBUILD_TESTING=OFF "${QZ_DEB_FLAGS[@]}" \
  > "$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
cmake --build "$build" -j"$(nproc)" > "$build.build.log" 2>&1 || { cat "$build.build.log"; exit 1; }

version=$(sed -n 's/^#define QZ_VERSION "\(.*\)"$/\1/p' "$build/generated/platform/version.h")
arch=$(dpkg --print-architecture)
rm -rf "$stage"
mkdir -p "$out" "$stage"
rm -f "$out"/*.deb

# Stages one component as a package tree: files, documentation, control data.
stage_package() {
  local name=$1 summary=$2 root=$stage/$1
  DESTDIR=$root cmake --install "$build" --component "$name" --strip > /dev/null
  # As dh_strip does: the compiler's notes are of no use in a package.
  strip --remove-section=.comment --remove-section=.note "$root"/usr/vandor/tessark/bin/*
  local doc=$root/usr/share/doc/$name
  mkdir -p "$doc"
  cp packaging/debian/copyright "$doc/copyright"
  sed "s/@VERSION@/$version/; s/@PACKAGE@/$name/" packaging/debian/changelog | gzip -9n > "$doc/changelog.gz"
  if [ -d "$root/usr/share/man" ]; then
    find "$root/usr/share/man" -type f -exec gzip -9n {} +
  fi
  mkdir -p "$root/DEBIAN"
  for script in postinst postrm; do
    if [ -f "packaging/debian/$name.$script" ]; then
      install -m 0755 "packaging/debian/$name.$script" "$root/DEBIAN/$script"
    fi
  done
  if [ -f "packaging/debian/$name.conffiles" ]; then
    install -m 0644 "packaging/debian/$name.conffiles" "$root/DEBIAN/conffiles"
  fi
  # dpkg-shlibdeps wants to run in a source tree.
  local src=$stage/src-$name
  mkdir -p "$src/debian"
  printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$name" "$name" > "$src/debian/control"
  local depends
  depends=$(cd "$src" && dpkg-shlibdeps -O --warnings=0 "$root"/usr/vandor/tessark/bin/* |
            sed -n 's/^shlibs:Depends=//p')
  {
    echo "Package: $name"
    echo "Version: $version"
    echo "Architecture: $arch"
    echo "Maintainer: Tessark Developers <tessark@example.org>"
    echo "Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)"
    echo "Depends: $depends"
    echo "Section: admin"
    echo "Priority: optional"
    echo "Description: $summary"
    sed 's/^/ /' "packaging/debian/$name.description"
  } > "$root/DEBIAN/control"
  (cd "$root" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z | xargs -0 md5sum) \
    > "$root/DEBIAN/md5sums"
  dpkg-deb --root-owner-group --build "$root" "$out/${name}_${version}_${arch}.deb" > /dev/null
}

stage_package qzftconfig "administration tool of the Tessark FT feature"
stage_package qzsld "QZSL management service of the Tessark FT feature"
rm -rf "$stage"
ls "$out"/*.deb
