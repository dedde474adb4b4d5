#!/usr/bin/env bash
# Figures that must not live in unit tests, measured on simulated roots:
# CPU use and wake-ups of an idle firmware per thread (from /proc over a
# fixed window) with the factory configuration and with eight events, LED
# blink times, pulses counted of trains the simulator drives into an input,
# and the latency of an alarm.
set -euo pipefail
build=$1
pulses=${BENCH_PULSES:-1000}
proot=""
ppid_sim=""
cleanup() {
  [ -n "$ppid_sim" ] && kill "$ppid_sim" 2>/dev/null && wait "$ppid_sim" 2>/dev/null || true
  [ -n "$proot" ] && rm -rf "$proot" "$proot.console"
  return 0
}
trap cleanup EXIT
# The firmware's figures are its own process alone (the simulator is not
# counted): CPU ticks and context switches of every thread from
# /proc/PID/task/*, over a fixed window.
hz=$(getconf CLK_TCK)
seconds=${BENCH_SECONDS:-60}
if ldd "$build/qrv806" 2>/dev/null | grep -c libqmi >/dev/null; then
  echo "firmware build: $build/qrv806 with libqmi and GLib (the simulated board uses its own packet-data model)"
else
  echo "firmware build: $build/qrv806, a PC build without libqmi: the board's packet-data backend and GLib left out" \
    "(the simulated board's packet data needs neither), so its RSS is the firmware's own"
fi
# CPU ticks of a process and its children (for the pulse trains).
ticks() {
  local total=0
  for p in "$1" $(pgrep -P "$1" || true); do
    read -r -a f <"/proc/$p/stat" || continue
    total=$((total + f[13] + f[14]))
  done
  echo "$total"
}
# One line per thread of process $1: thread id, CPU ticks, voluntary plus
# involuntary context switches, name.
thread_sample() {
  local t stat sw name
  for t in /proc/"$1"/task/*; do
    stat=$(cat "$t/stat" 2>/dev/null) || continue
    name=$(cat "$t/comm" 2>/dev/null) || continue
    sw=$(awk '/^(non)?voluntary_ctxt_switches/ { s += $2 } END { print s + 0 }' "$t/status" 2>/dev/null) || continue
    stat=${stat##*) }  # the fields behind the name: state is the first
    read -r -a f <<<"$stat"
    echo "${t##*/} $((f[11] + f[12])) $sw ${name// /_}"
  done
}
# Measures the firmware $2 for $3 seconds and prints the "idle" line of
# configuration $1 with goals $4 (% CPU) and $5 (wake-ups/s), then a table
# per thread and the resident memory.
measure_idle() {
  local label=$1 pid=$2 secs=$3 before after
  before=$(mktemp) after=$(mktemp)
  thread_sample "$pid" >"$before"
  sleep "$secs"
  thread_sample "$pid" >"$after"
  awk -v hz="$hz" -v s="$secs" -v label="$label" -v gcpu="$4" -v gsw="$5" '
    FNR == NR { cpu0[$1] = $2; sw0[$1] = $3; next }
    {
      c = $2 - cpu0[$1]; w = $3 - sw0[$1]; tc += c; tw += w
      rows[++n] = sprintf("  %-16s %10.1f %9.3f", $4, w / s, 100 * c / hz / s)
      key[n] = w
    }
    END {
      printf "idle, %s: %.2f %% of one core, %.1f wake-ups/s (firmware alone, %d threads, %d s; goal at most %s %% and %s/s)\n", \
        label, 100 * tc / hz / s, tw / s, n, s, gcpu, gsw
      printf "  %-16s %10s %9s\n", "thread", "wake-ups/s", "CPU %"
      for (i = 1; i <= n; ++i) for (j = i + 1; j <= n; ++j) if (key[j] > key[i]) {
        t = rows[i]; rows[i] = rows[j]; rows[j] = t; t = key[i]; key[i] = key[j]; key[j] = t }
      for (i = 1; i <= n; ++i) print rows[i]
    }' "$before" "$after"
  rm -f "$before" "$after"
  # What the resident memory is made of: the largest mappings by name.
  awk '/^[0-9a-f]+-[0-9a-f]+ / { name = (NF >= 6 ? $6 : "[anonymous]"); sub(".*/", "", name) }
       /^Rss:/ { rss[name] += $2; total += $2 }
       END {
         printf "  RSS %.2f MiB:", total / 1024
         for (k = 0; k < 6; ++k) { best = ""; for (m in rss) if (best == "" || rss[m] > rss[best]) best = m
           if (best == "" || rss[best] == 0) break; printf " %s %d kB,", best, rss[best]; delete rss[best] }
         printf "\n" }' "/proc/$pid/smaps" 2>/dev/null | sed 's/,$//'
}
# The firmware started by the simulator $1, once it runs.
firmware_pid() {
  local p=""
  for _ in $(seq 100); do
    p=$(pgrep -P "$1" -x qrv806 || true)
    [ -n "$p" ] && break
    sleep 0.1
  done
  echo "$p"
}


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
# JSON field of `ctl state`: $1 is a Python expression on the document d.
state_field() { ctl state | python3 -c "import json, sys; d = json.load(sys.stdin); print($1)"; }

# True when LED $1 blinks about $2/$3 ms.
led_near() {
  local t
  t=$(state_field "d['led']['$1']['on_ms'] or 0, d['led']['$1']['off_ms'] or 0" | tr -d '(),')
  awk -v t="$t" -v on="$2" -v off="$3" 'BEGIN { split(t, f, " "); d = f[1] - on; e = f[2] - off
    exit !(d * d < 900 && e * e < 900) }'
}

# ---- factory configuration: idle, then the LED patterns ----
proot=$(mktemp -d /tmp/qrv806-bench-factory-XXXXXX)
start_sim
wait_for 60 led_near status 500 500
sleep 5
measure_idle "factory configuration (no event)" "$(firmware_pid "$ppid_sim")" "$seconds" 0.1 15

# LED $1 (GPIO $2) blinking $3/$4 ms: once the simulator shows the pattern,
# its phases for $5 seconds, timed from the changes of its value file.
led_check() {
  local led=$1 gpio=$2 on=$3 off=$4 secs=$5
  if ! wait_for 60 led_near "$led" "$on" "$off"; then
    echo "LED $led $on/$off ms: pattern not seen"
    return 0
  fi
  echo "LED $led $on/$off ms: $(python3 "$(dirname "$0")/led-phases.py" "$proot/sys/class/gpio/gpio$gpio/value" "$secs" "$on" "$off") (goal within 5 ms)"
}
led_check status 77 500 500 10
ctl gps fix >/dev/null
led_check gps 92 900 100 10
ctl qmi down >/dev/null
led_check status 77 900 100 10
stop_sim
rm -rf "$proot" "$proot.console"

# ---- pulse counting: DI0 a NO_PULSE counter of event 0 ----
proot=$(mktemp -d /tmp/qrv806-bench-pulse-XXXXXX)
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
measure_idle "eight events (four inputs, two analog channels, a counter, a daily report)" \
  "$(firmware_pid "$ppid_sim")" "$seconds" 0.3 30

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
echo "alarm latency over $alarms alarms (input held for its hold time to the message at the module): mean $((total / alarms)) ms, worst $worst ms (goal within 3000 ms)"
stop_sim
