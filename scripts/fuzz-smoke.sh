#!/usr/bin/env bash
# A short run of every fuzz target from its seed corpus (10 s each by
# default), with executions per second per target; fails on a finding.
set -euo pipefail
exec "$(dirname "$0")/fuzz-run.sh" "$1" "${2:-10}"
