#!/usr/bin/env python3
"""A soak of the firmware in normal mode on the realistic simulated board.

For each build folder given (a ThreadSanitizer and an AddressSanitizer
build), configures a board in utility mode, then runs it in normal mode
with `run --realistic=SEED` for MINUTES while driving: alarms on digital
inputs and analog channels, a counter at 15 Hz, reports (one made due by a
clock jump), SMS commands from control phones and from strangers, bridge
lines on the terminal port, voice calls, the card removed and put back, the
clock a day on and a minute back. Then it lets the queues drain and prints:
sanitizer reports, event messages fired against those in the outbox
(duplicates apart), the firmware's RSS and open descriptors after the first
minute and at the end.

usage: soak.py [--minutes N] [--seed S] [--keep] BUILD_DIR...
Exit status 0 when every goal is met.
"""

import argparse
import collections
import json
import os
import random
import re
import shutil
import struct
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from simboard import Board, Terminal, interrupt_on_sigterm, wait_for  # noqa: E402

MACHINE_ID = "SOAK"
CONTROL = ["0912345678", "+886987654321"]
STRANGER = "0955555555"
BRIDGE_PHONE = "0977777777"
# Event number -> (trigger request, phones, text). Texts are plain 7-bit.
EVENTS = {
    0: ("@EVNT0;COUNTER0;NO_PULSE;50;50;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF", ["0910000000"], "Meter reached"),
    1: ("@EVNT1;DI1;NO;200;300;DO_ALL_OFF;0;VOICE_ON;SMSDBS_OFF", ["0910000010", "0910000011"], "Door open"),
    2: ("@EVNT2;DI2;NC;100;300;DO0_ON;1500;VOICE_OFF;SMSDBS_OFF", ["0910000020"], "Loop cut"),
    3: ("@EVNT3;AI0;HIGH;200;500;5;DO1_ON;1000;VOICE_OFF;SMSDBS_OFF", ["0910000030"], "Tank high"),
    4: ("@EVNT4;AI1;HL;100;500;8;-8;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_ON", ["0910000040"], "Pressure"),
    5: (None, ["0910000050"], "Daily"),  # report, set at configuration time
    6: ("@EVNT6;DI3;NO;50;200;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF", ["0910000060", "0910000061"], "Gate"),
}
SANITIZER_LINES = re.compile(r"WARNING: ThreadSanitizer:|ERROR: AddressSanitizer:|ERROR: LeakSanitizer:|"
                             r"runtime error:")
# What the firmware shows for every event message it queues.
FIRED = re.compile(r" \[Report Msg\]\[Msg Length:\d+\]\n => ([^\r\n]*)\r\n")


def wav_prompt(seconds=1):
    """A mono 8 kHz 16-bit RIFF WAVE of silence."""
    data = b"\0" * (16000 * seconds)
    fmt = struct.pack("<HHIIHH", 1, 1, 8000, 16000, 2, 16)
    return (b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE" +
            b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data)


def proc_figures(pid):
    """(RSS in kB, what each open descriptor is), or (None, None)."""
    try:
        with open("/proc/%d/status" % pid) as f:
            rss = next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))
        fds = []
        for fd in os.listdir("/proc/%d/fd" % pid):
            try:
                fds.append(os.readlink("/proc/%d/fd/%s" % (pid, fd)))
            except OSError:
                pass
        # Pipes and sockets differ by inode only: their kind is what counts.
        return rss, sorted(re.sub(r":\[\d+\]$", "", t) for t in fds)
    except (OSError, StopIteration):
        return None, None


def held_figures(pid, samples=25, step_s=0.2):
    """(largest RSS, descriptors open in every sample): the modem thread
    opens its port for each pass, so one look may catch it open."""
    rss, held = None, None
    for _ in range(samples):
        r, fds = proc_figures(pid)
        if r is None:
            return None, None
        rss = max(rss or 0, r)
        held = collections.Counter(fds) if held is None else held & collections.Counter(fds)
        time.sleep(step_s)
    return rss, sorted(held.elements())


class Soak:
    def __init__(self, build, minutes, seed, work):
        self.build = build
        self.sim = os.path.join(build, "qrv806-sim")
        self.minutes = minutes
        self.seed = seed
        self.rng = random.Random(seed)
        self.work = work
        self.root = os.path.join(work, "root")
        self.board = None
        self.term = None
        self.sent = collections.Counter()   # what the driver asked for
        self.result = {}

    def configure(self):
        board = Board(self.sim, self.root, os.path.join(self.work, "configure.txt"), ["--utility"])
        self.board = board
        board.start()
        if not board.wait_up(120):
            raise RuntimeError("the board did not come up in utility mode")
        term = Terminal(self.root)
        try:
            if not wait_for(lambda: "DEVNAME;OK" in term.request("@DEVNAME", 2), 120, 0.2):
                raise RuntimeError("the terminal port does not answer")
            due = time.localtime(time.time() + 150)
            requests = ["@STAN;" + MACHINE_ID, "@CTRLPH;2;" + ";".join(CONTROL),
                        "@UARTSET;115200;N;8;1;ON", "@UARTPH;" + BRIDGE_PHONE, "@LOGEN;1", "@LOGSAVE"]
            for n, (trigger, phones, text) in EVENTS.items():
                if trigger is None:
                    trigger = "@EVNT%d;REPORT;1;%s;SMSDBS_OFF" % (n, time.strftime("%H%M%S", due))
                requests += [trigger, "@PHONE%d;%d;%s" % (n, len(phones), ";".join(phones)),
                             "@MSG%d;7BIT;%d;%s" % (n, len(text), text)]
            requests.append("@SAVE")
            for req in requests:
                reply = term.request(req, 10)
                if ";OK" not in reply:
                    raise RuntimeError("%s answered %r" % (req, reply))
        finally:
            term.close()
        board.stop()
        self.board = None
        voice = os.path.join(self.root, "media", "card", "voice")
        os.makedirs(voice, exist_ok=True)
        with open(os.path.join(voice, "EVNT1.wav"), "wb") as f:
            f.write(wav_prompt())

    # --- the scenario ------------------------------------------------------

    def sms(self, number, text):
        self.board.ctl("sms from %s %s" % (number, text))

    def step(self):
        """One random doing of the outside world."""
        b = self.board
        r = self.rng.random()
        if r < 0.14:
            b.ctl("di 1 on")
            time.sleep(self.rng.uniform(0.5, 2))
            b.ctl("di 1 off")
        elif r < 0.26:
            b.ctl("di 2 on")          # NC: the alarm is the input going inactive
            time.sleep(self.rng.uniform(0.5, 2))
            b.ctl("di 2 off")
        elif r < 0.38:
            b.ctl("ai 0 %.2f" % self.rng.uniform(6, 9.5))
            time.sleep(self.rng.uniform(0.6, 2))
            b.ctl("ai 0 %.2f" % self.rng.uniform(0, 4))
        elif r < 0.48:
            b.ctl("ai 1 %.2f" % self.rng.choice([-9.5, 9.5]))
            time.sleep(self.rng.uniform(0.5, 2))
            b.ctl("ai 1 0")
        elif r < 0.56:
            b.ctl("di 3 on")
            time.sleep(self.rng.uniform(0.3, 1))
            b.ctl("di 3 off")
        elif r < 0.76:
            cmd = self.rng.choice(["@DIV", "@AIV", "@ACTV", "@TIME", "@DOC1;PULSE;700", "@DOC0;OFF", "+++hi"])
            self.sms(self.rng.choice(CONTROL), cmd)
            # "+++text" goes to the terminal port and is not answered.
            self.sent["control commands" if cmd != "+++hi" else "texts to the port"] += 1
        elif r < 0.84:
            self.sms(STRANGER, self.rng.choice(["@DIV", "@DOC0;ON", "hello"]))
            self.sent["stranger commands"] += 1
        else:
            self.term.send("+++soak line %d" % self.sent["bridge lines"])
            self.sent["bridge lines"] += 1
            if self.rng.random() < 0.2:
                self.term.send("++InitPin")
        if self.term is not None:
            self.term.drain(0.01)

    def run_board(self, seed):
        """Normal mode under load; figures of the run."""
        board = Board(self.sim, self.root, os.path.join(self.work, "soak.txt"), ["--realistic=%d" % seed])
        self.board = board
        board.start()
        pid = board.wait_up(120)
        if not pid:
            raise RuntimeError("the board did not come up in normal mode")
        started = time.monotonic()
        end = started + self.minutes * 60
        self.term = Terminal(self.root)
        board.wait_first_modem_pass(120)
        # Counter 0 at 15 Hz; its alarm some 3 minutes in.
        self.sms(CONTROL[0], "@ACTV0;0;2700")
        self.sent["control commands"] += 1
        board.ctl("pulse 0 1000000 66 33")
        once = {0.3: "sd remove", 0.4: "sd insert", 0.55: "clock jump +86400", 0.75: "clock jump -60"}
        rss0 = fds0 = None
        minutes = []   # RSS at every whole minute, to show its course
        pids = {pid}
        while time.monotonic() < end:
            now = time.monotonic()
            if rss0 is None and now - started >= 60:
                rss0, fds0 = held_figures(pid)
            if now - started >= 60 * (len(minutes) + 1):
                minutes.append(proc_figures(pid)[0])
            for at in sorted(once):
                if now >= started + at * self.minutes * 60:
                    board.ctl(once.pop(at))
            if not board.running():
                break
            self.step()
            current = board.firmware_pid()
            if current:
                pids.add(current)
                pid = current
            time.sleep(self.rng.uniform(6, 14))
        board.ctl("pulse 0 1 66 33")
        # The queues drain: nothing new in the outbox for 45 s.
        last, quiet_since = None, time.monotonic()
        drain_end = time.monotonic() + 300
        while time.monotonic() < drain_end and board.running():
            ok, out = board.ctl("outbox")
            if out != last:
                last, quiet_since = out, time.monotonic()
            elif time.monotonic() - quiet_since >= 45:
                break
            self.term.drain(0.01)
            time.sleep(2)
        # The end figures once the board is idle, as after the first minute
        # nothing but the counter's pulses may be under way.
        rss1, fds1 = held_figures(pid)
        ok, outbox = board.ctl("outbox")
        ok, calls = board.ctl("calls")
        alive = board.running()
        self.term.close()
        self.term = None
        board.stop()
        self.board = None
        output = board.output()
        return {
            "alive": alive, "restarts": len(pids) - 1, "rss": (rss0, rss1), "fds": (fds0, fds1), "minutes": minutes,
            "output": output, "outbox": outbox, "calls": calls,
        }

    def figures(self, run):
        out = run["output"]
        sanitizer = len(SANITIZER_LINES.findall(out))
        fired = collections.Counter(FIRED.findall(out))
        phones_of = {}
        for n, (_, phones, text) in EVENTS.items():
            phones_of[n] = phones
        accepted = collections.Counter()
        replies = collections.Counter()
        bridge = collections.Counter()
        for line in run["outbox"].splitlines():
            try:
                msg = json.loads(line)
            except ValueError:
                continue
            if msg.get("result") != "accepted":
                continue
            accepted[(msg.get("number"), msg.get("text"))] += 1
            text = msg.get("text") or ""
            if text.startswith("!" + MACHINE_ID + ";"):
                replies["control replies"] += 1
            if msg.get("number") == BRIDGE_PHONE:
                bridge[text] += 1
        expected = delivered = duplicates = 0
        for text, times in fired.items():
            report = re.match(r"CRPT(\d+);", text)
            if report and int(report.group(1)) in EVENTS:
                phones = EVENTS[int(report.group(1))][1]
            else:  # the event's own text, or its compact line
                phones = next((p for _, p, t in EVENTS.values() if t in text), ["?"])
            for number in phones:
                got = accepted.get((number, text), 0)
                expected += times
                delivered += min(got, times)
                duplicates += max(0, got - times)
        calls = [json.loads(line) for line in run["calls"].splitlines() if line.startswith("{")]
        rss0, rss1 = run["rss"]
        growth = None if not rss0 or not rss1 else 100.0 * (rss1 - rss0) / rss0
        return {
            "sanitizer reports": sanitizer, "event messages fired": sum(fired.values()),
            "messages due (fired x phones)": expected, "in the outbox": delivered, "duplicates": duplicates,
            "control commands sent": self.sent["control commands"], "control replies": replies["control replies"],
            "stranger commands (no answer due)": self.sent["stranger commands"],
            "bridge lines": self.sent["bridge lines"], "bridge messages": len(bridge),
            "bridge duplicates": sum(bridge.values()) - len(bridge),
            "voice calls": len(calls),
            "rss_kb": (rss0, rss1), "rss growth %": growth, "rss minutes": run["minutes"], "fds": run["fds"],
            "firmware restarts": run["restarts"], "alive at the end": run["alive"],
        }


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--minutes", type=float, default=30)
    p.add_argument("--seed", type=int, default=None)
    p.add_argument("--keep", action="store_true", help="keep the boards' folders")
    p.add_argument("builds", nargs="+", help="build folders with qrv806 and qrv806-sim")
    a = p.parse_args()
    interrupt_on_sigterm()
    seed = a.seed if a.seed is not None else random.randrange(1 << 30)
    # A small quarantine: recently freed blocks are still checked, and the
    # RSS shows the firmware's memory rather than the sanitizer's filling
    # reserve of freed blocks (256 MB and 1 MB a thread by default).
    os.environ.setdefault("ASAN_OPTIONS", "quarantine_size_mb=1:thread_local_quarantine_size_kb=16:detect_leaks=1")
    os.environ.setdefault("TSAN_OPTIONS", "halt_on_error=0:second_deadlock_stack=1")
    status = 0
    for build in a.builds:
        work = tempfile.mkdtemp(prefix="qrv806-soak-")
        print("soak: %s, %.1f min, seed %d, board in %s" % (build, a.minutes, seed, work), flush=True)
        soak = Soak(os.path.abspath(build), a.minutes, seed, work)
        try:
            soak.configure()
            run = soak.run_board(seed)
        except RuntimeError as e:
            print("soak: %s; board folder kept: %s" % (e, work), flush=True)
            status = 1
            continue
        except KeyboardInterrupt:
            print("soak: interrupted; board folder kept: %s" % work, flush=True)
            return 1
        finally:
            if soak.board is not None:
                soak.board.stop()
            if soak.term is not None:
                soak.term.close()
        f = soak.figures(run)
        rss0, rss1 = f["rss_kb"]
        fds0, fds1 = f["fds"]
        growth = f["rss growth %"]
        good = (f["sanitizer reports"] == 0 and f["in the outbox"] == f["messages due (fired x phones)"] and
                growth is not None and growth <= 5.0 and fds0 is not None and fds0 == fds1 and
                f["alive at the end"])
        print("--- soak %s (%.1f min, seed %d) ---" % (os.path.basename(build.rstrip("/")), a.minutes, seed))
        print("sanitizer reports                  %d   (goal 0)" % f["sanitizer reports"])
        print("event messages fired               %d, due to phones %d, in the outbox %d   (goal equal); "
              "duplicates %d" % (f["event messages fired"], f["messages due (fired x phones)"], f["in the outbox"],
                                 f["duplicates"]))
        print("RSS after 1 min / at the end       %s / %s kB   (%s growth, goal <= 5 %%)" %
              (rss0, rss1, "?" if growth is None else "%+.1f %%" % growth))
        print("RSS at each minute                 %s kB" % " ".join(str(m) for m in f["rss minutes"]))
        print("descriptors held after 1 min / end %s / %s   (goal equal)" %
              (None if fds0 is None else len(fds0), None if fds1 is None else len(fds1)))
        if fds0 is not None and fds1 is not None and fds0 != fds1:
            gone = collections.Counter(fds0) - collections.Counter(fds1)
            new = collections.Counter(fds1) - collections.Counter(fds0)
            print("  closed since: %s; opened since: %s" % (sorted(gone.elements()), sorted(new.elements())))
        print("SMS commands: control %d, answered %d; strangers %d (no answer due)" %
              (f["control commands sent"], f["control replies"], f["stranger commands (no answer due)"]))
        print("bridge lines %d, sent as SMS %d (duplicates %d); voice calls %d; firmware restarts %d" %
              (f["bridge lines"], f["bridge messages"], f["bridge duplicates"], f["voice calls"],
               f["firmware restarts"]))
        if not good:
            status = 1
        if good and not a.keep:
            shutil.rmtree(work, ignore_errors=True)
        else:
            print("board folder kept: %s" % work)
        sys.stdout.flush()
    return status


if __name__ == "__main__":
    sys.exit(main())
