#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (as root), only
# when one of them is missing.
set -euo pipefail
packages=(cmake g++ make pkg-config libgtest-dev libomniorb4-dev omniidl libace-dev
          libjansson-dev libsqlite3-dev libssl-dev openssl faketime time ccache
          clang-14 libclang-rt-14-dev)
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
