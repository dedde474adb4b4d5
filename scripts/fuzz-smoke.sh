#!/usr/bin/env bash
# Runs every fuzz target briefly from its seed corpus (tests/fuzz/corpus/NAME).
set -euo pipefail
build=$1
seconds=${2:-10}
here=$(cd "$(dirname "$0")/.." && pwd)
found=0
for target in "$build"/tests/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  found=1
  name=$(basename "$target")
  work=$(mktemp -d)
  seeds="$here/tests/fuzz/corpus/$name"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  echo "fuzz: $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=0 "$work" >"$work.log" 2>&1 || {
    tail -50 "$work.log"
    echo "fuzz: $name FAILED"
    exit 1
  }
  grep -E '^(#[0-9]+.*DONE|Done)' "$work.log" | tail -1 || true
  rm -rf "$work" "$work.log"
done
[ "$found" = 1 ] || echo "fuzz: no targets built"
