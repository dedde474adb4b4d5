#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when one is
# missing, so a fresh machine needs nothing but this script.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for pkg in cmake ninja-build make g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev python3 \
           g++-arm-linux-gnueabihf qemu-user googletest pkg-config clang-tidy-14 cppcheck \
           libqmi-glib-dev libmbim-glib-dev libqrtr-glib-dev \
           libcpp-httplib-dev nlohmann-json3-dev chromium chromium-driver python3-selenium; do
  have_pkg "$pkg" || need+=("$pkg")
done
# The board's libraries for the cross build and its tests under qemu:
# Debian's armhf packages beside the host's.
arm_need=()
for pkg in libqmi-glib-dev libmbim-glib-dev libqrtr-glib-dev libstdc++6; do
  have_pkg "$pkg:armhf" || arm_need+=("$pkg:armhf")
done

if [ ${#need[@]} -gt 0 ] || [ ${#arm_need[@]} -gt 0 ]; then
  echo "installing: ${need[*]} ${arm_need[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  if [ ${#arm_need[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx armhf; then
    $SUDO dpkg --add-architecture armhf
  fi
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq "${need[@]}" "${arm_need[@]}" >/dev/null
fi
