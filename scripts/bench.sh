#!/usr/bin/env bash
# Figures that must not live in unit tests, measured on simulated roots:
# CPU use of an idle firmware (from /proc over a fixed window), and pulses
# counted of trains the simulator drives into an input.
set -euo pipefail
build=$1
seconds=${BENCH_SECONDS:-20}
pulses=${BENCH_PULSES:-1000}
root=$(mktemp -d /tmp/qrv806-bench-XXXXXX)
proot=""
ppid_sim=""
cleanup() {
  [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  [ -n "$ppid_sim" ] && kill "$ppid_sim" 2>/dev/null && wait "$ppid_sim" 2>/dev/null || true
  rm -rf "$root" "$root.console"
  [ -n "$proot" ] && rm -rf "$proot" "$proot.console"
  return 0
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
  for p in "$1" $(pgrep -P "$1" || true); do
    read -r -a f <"/proc/$p/stat" || continue
    total=$((total + f[13] + f[14]))
  done
  echo "$total"
}
hz=$(getconf CLK_TCK)
t0=$(ticks "$pid")
sleep "$seconds"
t1=$(ticks "$pid")
awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$seconds" 'BEGIN { printf "idle CPU (firmware and simulator): %.2f %% of one core over %d s\n", 100 * d / hz / s, s }'
kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
pid=""

# ---- pulse counting: DI0 a NO_PULSE counter of event 0 ----
[ -x "$build/qrv806-sim" ] || exit 0
proot=$(mktemp -d /tmp/qrv806-bench-pulse-XXXXXX)
ctl() { "$build/qrv806-sim" ctl --root "$proot" "$@"; }
# Waits up to $1 seconds for the command in the other arguments to succeed.
wait_for() {
  local limit=$1
  shift
  for _ in $(seq $((limit * 10))); do
    "$@" && return 0
    sleep 0.1
  done
  echo "bench: gave up waiting for: $*" >&2
  return 1
}
console_has() { grep -qF -- "$1" "$proot.console"; }
start_sim() {
  "$build/qrv806-sim" run --root "$proot" >"$proot.console" 2>&1 &
  ppid_sim=$!
  wait_for 60 console_has "[thread_counter_handle is start]"
}
stop_sim() {
  ctl stop >/dev/null 2>&1 || kill "$ppid_sim" 2>/dev/null || true
  wait "$ppid_sim" 2>/dev/null || true
  ppid_sim=""
}
# The first start writes the factory config.ini; then event 0 counts DI0.
start_sim
wait_for 30 test -s "$proot/APP/config.ini"
stop_sim
sed -i -e 's/^0#is_event_enable=.*/0#is_event_enable=1\r/' -e 's/^0#di\[0\]cIsEnable=.*/0#di[0]cIsEnable=1\r/' \
  -e 's/^0#di\[0\]cType=.*/0#di[0]cType=2\r/' -e 's/^0#di\[0\]cIsCounter=.*/0#di[0]cIsCounter=1\r/' \
  "$proot/APP/config.ini"
start_sim
if console_has ">No counter event"; then
  echo "bench: the firmware found no counter in the edited config.ini" >&2
  exit 1
fi
last_count() {
  local n
  n=$(grep -ao 'NO_DI(0) Counter: [0-9]*' "$proot.console" | tail -1 | awk '{ print $NF }')
  echo "${n:-0}"
}
pulses_left() { ctl state | grep -o '"pulses_left": \[[0-9]*' | grep -o '[0-9]*$'; }
train_done() { [ "$(pulses_left)" = 0 ]; }
counted_all() { [ "$(last_count)" -ge "$target" ]; }
for train in "100 50 10" "67 33 15"; do
  read -r period width rate <<<"$train"
  before=$(last_count)
  t0=$(ticks "$ppid_sim")
  ctl pulse 0 "$pulses" "$period" "$width" >/dev/null
  wait_for $((pulses * period / 1000 * 2 + 60)) train_done
  t1=$(ticks "$ppid_sim")
  # The last edge may still be on its way to the console.
  target=$((before + pulses))
  wait_for 5 counted_all 2>/dev/null || true
  counted=$(($(last_count) - before))
  awk -v c="$counted" -v n="$pulses" -v r="$rate" -v p="$period" -v w="$width" \
    -v d=$((t1 - t0)) -v hz="$hz" -v s=$(((pulses * period + 999) / 1000)) \
    'BEGIN { printf "counted %d of %d at %d Hz (%d ms pulses every %d ms); CPU while counting (firmware and simulator): %.2f %% of one core\n", c, n, r, w, p, 100 * d / hz / s }'
done
stop_sim

# ---- normal mode with eight events: CPU over a minute, alarm latency ----
# DI1..DI4 alarm inputs, AI0 above 5 V, AI1 below -5 V, a counter on DI0 and
# a daily report: what a busy installation has configured.
rm -rf "$proot" "$proot.console"
proot=$(mktemp -d /tmp/qrv806-bench-events-XXXXXX)
start_sim
wait_for 30 test -s "$proot/APP/config.ini"
stop_sim
cfg="$proot/APP/config.ini"
set_key() { sed -i "s/^$1=.*/$1=$2\r/" "$cfg"; }
for e in 0 1 2 3 4 5 6 7; do
  set_key "$e#is_event_enable" 1
  set_key "$e#phone_n_now" 1
  set_key "$e#phone" "09110000$e$e"
  set_key "$e#msg_len" 6
  set_key "$e#msg" "Alarm$e"
done
for e in 0 1 2 3; do
  d=$((e + 1))
  set_key "$e#di\[$d\]cIsEnable" 1
  set_key "$e#di\[$d\]cType" 4
done
set_key "4#ai\[0\]cIsEnable" 1
set_key "4#ai\[0\]cType" 1
set_key "4#ai\[0\]fAI_high" 5.0000
set_key "5#ai\[1\]cIsEnable" 1
set_key "5#ai\[1\]cType" 2
set_key "5#ai\[1\]fAI_low" -5.0000
set_key "6#di\[0\]cIsEnable" 1
set_key "6#di\[0\]cType" 2
set_key "6#di\[0\]cIsCounter" 1
set_key "7#rp_cIsEnable" 1
start_sim
wait_for 60 console_has "[thread_check_event is start]"
if console_has ">Initial parameters failed"; then
  echo "bench: the firmware refused the edited config.ini" >&2
  exit 1
fi
sleep 5
busy=${BENCH_BUSY_SECONDS:-60}
t0=$(ticks "$ppid_sim")
sleep "$busy"
t1=$(ticks "$ppid_sim")
awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$busy" 'BEGIN { printf "CPU with eight events (firmware and simulator): %.2f %% of one core over %d s\n", 100 * d / hz / s, s }'

# Alarm latency: from the moment DI1 has been held for its hold time (200 ms)
# to the message at the module, 20 alarms.
wait_for 60 sh -c "'$build/qrv806-sim' ctl --root '$proot' state | grep -q '\"registration\": \"home\"'"
outbox_n() { ctl outbox | grep -c '"number"' || true; }
now_ms() { date +%s%3N; }
worst=0
total=0
alarms=${BENCH_ALARMS:-20}
for i in $(seq "$alarms"); do
  before=$(outbox_n)
  ctl di 1 on >/dev/null
  held=$(($(now_ms) + 200))
  while [ "$(outbox_n)" -le "$before" ]; do sleep 0.02; done
  latency=$(($(now_ms) - held))
  total=$((total + latency))
  [ "$latency" -gt "$worst" ] && worst=$latency
  ctl di 1 off >/dev/null
  sleep 3  # the firing pauses 2 s after queuing its SMS; then the reset time
done
echo "alarm latency over $alarms alarms (input held for its hold time to the message at the module): mean $((total / alarms)) ms, worst $worst ms"
stop_sim
