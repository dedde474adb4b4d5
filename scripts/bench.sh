#!/usr/bin/env bash
# Figures that must not live in unit tests: CPU use of an idle firmware on a
# simulated root, measured from /proc over a fixed window.
set -euo pipefail
build=$1
seconds=${BENCH_SECONDS:-20}
root=$(mktemp -d /tmp/qrv806-bench-XXXXXX)
cleanup() {
  [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT
mkdir -p "$root/APP" "$root/media/card" "$root/sim"
if [ -x "$build/qrv806-sim" ]; then
  "$build/qrv806-sim" run --root "$root" >"$root.console" 2>&1 &
else
  "$build/qrv806" --root "$root" --sim >"$root.console" 2>&1 &
fi
pid=$!
sleep 5  # let start-up finish before measuring the idle state
ticks() {
  local total=0
  for p in "$pid" $(pgrep -P "$pid" || true); do
    read -r -a f <"/proc/$p/stat" || continue
    total=$((total + f[13] + f[14]))
  done
  echo "$total"
}
hz=$(getconf CLK_TCK)
t0=$(ticks)
sleep "$seconds"
t1=$(ticks)
awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$seconds" 'BEGIN { printf "idle CPU (firmware and simulator): %.2f %% of one core over %d s\n", 100 * d / hz / s, s }'
rm -f "$root.console"
