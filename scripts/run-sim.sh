#!/usr/bin/env bash
# Starts the firmware on the simulated board.
set -euo pipefail
build=$1
root=$(realpath -m -- "$2")
if [ -x "$build/qrv806-sim" ]; then
  # `qrv806-sim ctl` without --root finds this board through it.
  printf '%s\n' "$root" > "$build/make-run-root"
  exec "$build/qrv806-sim" run --root "$root"
fi
# Without the simulator: a bare root folder with the board's folders.
mkdir -p "$root/APP" "$root/media/card" "$root/var" "$root/sim" "$root/sys/class/gpio" "$root/dev"
exec "$build/qrv806" --root "$root" --sim
