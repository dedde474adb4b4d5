#!/usr/bin/env bash
# Runs end-to-end scenarios with the board's firmware under an emulator:
#   cross-e2e.sh TEST_E2E FIRMWARE "EMULATOR ARGS" GTEST_FILTER [JOBS]
# TEST_E2E is the host build's test program (it starts the host simulator
# and tools); the simulator runs FIRMWARE under the emulator. Each scenario
# runs as a process of its own, JOBS (2) at a time: most of a scenario is
# waiting for the board, so two side by side take little more than one.
set -euo pipefail
test_e2e=$1
firmware=$2
emulator=$3
filter=$4
jobs=${5:-2}
# A scenario that hangs is ended (with its simulator and firmware: timeout
# signals its whole process group) well before CI would give up.
per_test_s=600
[ -x "$test_e2e" ] || { echo "cross-e2e: $test_e2e is not built" >&2; exit 1; }
[ -x "$firmware" ] || { echo "cross-e2e: $firmware is not built" >&2; exit 1; }
read -r emulator_program _ <<<"$emulator" || true
[ -n "${emulator_program:-}" ] || { echo "cross-e2e: no emulator named (CMAKE_CROSSCOMPILING_EMULATOR of the toolchain file)" >&2; exit 1; }
command -v "$emulator_program" >/dev/null || { echo "cross-e2e: no $emulator_program (make deps installs it)" >&2; exit 1; }

export QRV_E2E_FIRMWARE=$firmware QRV_E2E_FIRMWARE_PREFIX=$emulator
mapfile -t tests < <("$test_e2e" --gtest_filter="$filter" --gtest_list_tests |
                     awk '/^[^ ]/ { suite = $1 } /^  / { print suite $1 }')
[ ${#tests[@]} -gt 0 ] || { echo "cross-e2e: no test matches $filter" >&2; exit 1; }
echo "cross-e2e: ${#tests[@]} scenarios, $firmware under '$emulator', $jobs at a time"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run_one() {
  local name=$1 begin status=0
  begin=$(date +%s)
  timeout --kill-after=10 "$per_test_s" "$test_e2e" --gtest_filter="$name" >"$work/$name.log" 2>&1 || status=$?
  if [ $status -eq 0 ]; then
    echo "cross-e2e: PASS $name ($(( $(date +%s) - begin )) s)"
  else
    cat "$work/$name.log"
    echo "cross-e2e: FAIL $name (status $status, $(( $(date +%s) - begin )) s)"
    touch "$work/failed"
  fi
}

start=$(date +%s)
running=0
for name in "${tests[@]}"; do
  if [ $running -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  run_one "$name" &
  running=$((running + 1))
done
wait
echo "cross-e2e: $(( $(date +%s) - start )) s in all"
[ ! -e "$work/failed" ]
