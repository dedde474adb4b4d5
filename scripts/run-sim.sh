#!/usr/bin/env bash
# Starts the firmware on the simulated board.
set -euo pipefail
build=$1
root=$2
if [ -x "$build/qrv806-sim" ]; then
  exec "$build/qrv806-sim" run --root "$root"
fi
# Without the simulator: a bare root folder with the board's folders.
mkdir -p "$root/APP" "$root/media/card" "$root/var" "$root/sim" "$root/sys/class/gpio" "$root/dev"
exec "$build/qrv806" --root "$root" --sim
