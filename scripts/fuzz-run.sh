#!/usr/bin/env bash
# Runs every fuzz target of BUILD for SECONDS each, one after another, from
# its seed corpus (tests/fuzz/corpus/NAME, copied: the seeds stay as they
# are), and prints per target the executions, executions per second and
# findings (crash-, leak-, timeout-, oom- files), then a table of all.
# Exits non-zero when any target found something or failed to run; the
# findings are kept in FUZZ_FINDINGS (default build/fuzz-findings).
# Usage: fuzz-run.sh BUILD SECONDS [TARGET...]
set -uo pipefail
build=$1
seconds=$2
shift 2
here=$(cd "$(dirname "$0")/.." && pwd)
findings_dir=${FUZZ_FINDINGS:-$build/fuzz-findings}
mkdir -p "$findings_dir"
findings_dir=$(cd "$findings_dir" && pwd)

targets=()
if [ $# -gt 0 ]; then
  for name in "$@"; do targets+=("$build/tests/fuzz/$name"); done
else
  for target in "$build"/tests/fuzz/*_fuzz; do [ -x "$target" ] && targets+=("$target"); done
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no targets built in $build" >&2
  exit 1
fi

table=()
failed=0
for target in "${targets[@]}"; do
  name=$(basename "$target")
  # The corpus in memory where the machine has it: libFuzzer writes every
  # new input there.
  if [ -w /dev/shm ]; then work=$(mktemp -d -p /dev/shm); else work=$(mktemp -d); fi
  seeds="$here/tests/fuzz/corpus/$name"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  out="$findings_dir/$name"
  rm -rf "$out"
  mkdir -p "$out"
  echo "fuzz: $name for ${seconds}s"
  # A crash ends the run; -artifact_prefix keeps what libFuzzer found.
  "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$out/" "$work" >"$out/log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$out/log" | tail -1)
  found=$(find "$out" -maxdepth 1 \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
  if [ -z "$runs" ]; then
    # Killed by a signal or a sanitizer before its statistics: the last
    # "#N ... exec/s: R" progress line still tells how far it got.
    last=$(grep -E '^#[0-9]+' "$out/log" | tail -1)
    runs=$(sed -n 's/^#\([0-9]*\).*/\1/p' <<<"$last")
    rate=$(sed -n 's/.*exec\/s: \([0-9]*\).*/\1/p' <<<"$last")
  fi
  runs=${runs:-0}
  rate=${rate:-0}
  status=ok
  if [ "$rc" -ne 0 ] || [ "$found" -ne 0 ]; then
    status=FOUND
    failed=1
    tail -40 "$out/log"
    echo "fuzz: $name FOUND something (exit $rc, $found file(s) in $out)"
  else
    rm -rf "$out"
  fi
  echo "fuzz: $name: $runs executions, $rate exec/s, $found finding(s)"
  table+=("$(printf '%-24s %14s %10s %9s  %s' "$name" "$runs" "$rate" "$found" "$status")")
  rm -rf "$work"
done

echo
printf '%-24s %14s %10s %9s  %s\n' target executions exec/s findings status
for row in "${table[@]}"; do echo "$row"; done
rmdir "$findings_dir" 2>/dev/null || true
exit $failed
