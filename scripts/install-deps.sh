#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when one is
# missing, so a fresh machine needs nothing but this script.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for pkg in cmake ninja-build make g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev python3 \
           g++-arm-linux-gnueabihf qemu-user googletest; do
  have_pkg "$pkg" || need+=("$pkg")
done

if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq "${need[@]}" >/dev/null
fi
