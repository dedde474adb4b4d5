#!/usr/bin/env bash
# Static analysis of the firmware (app/ base/ cmd/ config/ event/ hw/ log/
# modem/ platform/ qc/ queue/): clang-tidy with .clang-tidy and cppcheck with
# scripts/cppcheck-suppressions.txt, both from the compile commands of a host
# build that is configured but not built (no header is generated). The
# simulator and the tools get cppcheck's warnings only (no style); the tests
# are left out. Any finding fails.
# Usage: scripts/lint.sh [BUILD_DIR] (default build-lint); LINT_JOBS=2.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-lint}
jobs=${LINT_JOBS:-2}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQRV_TESTS=OFF >/dev/null

# The firmware's entries of the compile commands, and the simulator's and
# the tools', each in a folder of their own (for clang-tidy -p and cppcheck
# --project).
mkdir -p "$build/lint" "$build/lint-sim"
python3 - "$build" "$PWD" <<'PY'
import json, os, sys
build, root = sys.argv[1:3]
firmware = {"app", "base", "cmd", "config", "event", "hw", "log", "modem", "platform", "qc", "queue"}
entries = json.load(open(os.path.join(build, "compile_commands.json")))
top = lambda e: os.path.relpath(e["file"], root).split(os.sep)[0]
for folder, keep in (("lint", firmware), ("lint-sim", {"sim", "tools"})):
    json.dump([e for e in entries if top(e) in keep], open(os.path.join(build, folder, "compile_commands.json"), "w"),
              indent=1)
PY

status=0
# One clang-tidy per file, two at a time; only a file with findings prints.
tidy() {
  python3 -c 'import json,sys; [print(e["file"]) for e in json.load(open(sys.argv[1]))]' \
    "$build/lint/compile_commands.json" |
    xargs -P "$jobs" -I{} sh -c 'out=$(clang-tidy-14 -p "$1" --quiet "$2" 2>&1) || { printf "%s\n" "$out" | grep -v " generated\.$"; exit 1; }' \
      _ "$build/lint" {}
}
echo "clang-tidy: $(grep -c '"file"' "$build/lint/compile_commands.json") files"
tidy || status=1

echo "cppcheck"
mkdir -p "$build/lint/cppcheck"
cppcheck --project="$build/lint/compile_commands.json" -j "$jobs" --std=c++17 --quiet \
  --enable=warning,style,performance,portability --inline-suppr \
  --suppressions-list=scripts/cppcheck-suppressions.txt \
  --cppcheck-build-dir="$build/lint/cppcheck" --error-exitcode=1 \
  --template='{file}:{line}:{column}: {severity}: {message} [{id}]' || status=1

echo "cppcheck, simulator and tools (warnings only)"
mkdir -p "$build/lint-sim/cppcheck"
cppcheck --project="$build/lint-sim/compile_commands.json" -j "$jobs" --std=c++17 --quiet \
  --enable=warning --inline-suppr --cppcheck-build-dir="$build/lint-sim/cppcheck" --error-exitcode=1 \
  --template='{file}:{line}:{column}: {severity}: {message} [{id}]' || status=1

[ $status -eq 0 ] && echo "lint: no findings" || echo "lint: findings above" >&2
exit $status
