#!/usr/bin/env bash
# setup.sh [--demo]: installs the Debian packages the build and the tests need
# (as root), only when one of them is missing. With --demo, only what building
# and running the tool and the service need.
set -euo pipefail
# The tool, the service and the catalogs (gencat is in libc-bin).
packages=(cmake g++ make pkg-config dpkg-dev libomniorb4-dev omniidl
          libjansson-dev libsqlite3-dev libssl-dev)
# The tests, the fuzz targets, the sanitizer trees and the packages.
if [ "${1:-}" != --demo ]; then
  packages+=(libgtest-dev openssl faketime time ccache python3 bash-completion mandoc man-db
             libnss-wrapper clang-14 libclang-rt-14-dev
             debhelper lintian systemd logrotate)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
