#!/usr/bin/env python3
"""Power cuts while the firmware saves, on the simulated board.

Each cut starts the board, makes the firmware save (utility mode: settings
changed on the terminal port, then @SAVE or @LOGSAVE; normal mode: counter
presets by SMS, counter alarms from pulses, reports made due by a clock
jump, the clock set by SMS) and kills the firmware with SIGKILL, at the
moment a save's temporary file appears or at a random moment. The next
start must read every file back, fall back to factory values never, and
leave no temporary file of an earlier run behind.

usage: powercut.py --build DIR [--cuts N] [--seed S] [--keep]
Exit status 0 when every goal is met.
"""

import argparse
import os
import random
import re
import shutil
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from simboard import Board, Terminal, interrupt_on_sigterm, wait_for  # noqa: E402

CONTROL_PHONE = "0912345678"
COUNTER_LINE = re.compile(rb"^counter_status=(\d+),(\d+),(\d+),(\d+),(\d+)\r\n$")
LOG_INI_LINE = re.compile(rb"^@LOGEN;(-?\d+)\r\n$")
REMOVED_LINE = re.compile(r">Removed (\d+) leftover temporary file\(s\) of an interrupted save")


class Figures:
    def __init__(self):
        self.cuts = 0
        self.cuts_in_save = 0
        self.read_back = 0
        self.unreadable = 0
        self.lost = 0
        self.fallbacks = 0
        self.removed_at_start = 0
        self.stale = 0
        self.not_up = 0
        self.faults = []

    def fault(self, cut, text, board):
        self.faults.append((cut, text))
        print("cut %d: %s" % (cut, text), flush=True)
        if board is not None and board.keep_dir:
            shutil.copy(board.output_path, os.path.join(board.keep_dir, "cut-%d.txt" % cut))


class PowerCuts:
    def __init__(self, build, cuts, rng, work):
        self.sim = os.path.join(build, "qrv806-sim")
        self.cuts = cuts
        self.rng = rng
        self.work = work
        self.root = os.path.join(work, "root")
        self.fig = Figures()
        self.board = None
        # What the files must hold: the value last confirmed saved, and the
        # one whose save was under way when the power went.
        self.machine_id = {"QRV-806XK"}
        self.log_enable = None
        self.counter_preset = None
        self.starts = 0

    # --- one start of the board ------------------------------------------

    def start(self, utility):
        board = Board(self.sim, self.root, os.path.join(self.work, "sim-output.txt"),
                      ["--utility"] if utility else [])
        board.keep_dir = self.work
        board.start()
        self.board = board
        self.starts += 1
        pid = board.wait_up(60)
        return pid

    def stop(self):
        if self.board is not None:
            self.board.stop()
            self.board = None

    # --- set-up: the events the normal mode needs --------------------------

    def configure(self):
        pid = self.start(utility=True)
        if not pid:
            raise SystemExit("powercut: the board did not come up:\n" + self.board.output())
        term = Terminal(self.root)
        try:
            if not wait_for(lambda: "DEVNAME;OK" in term.request("@DEVNAME", 2), 60, 0.2):
                raise SystemExit("powercut: the terminal port does not answer")
            due = time.localtime(time.time() + 3600)
            for req in ["@CTRLPH;1;" + CONTROL_PHONE,
                        "@EVNT0;COUNTER0;NO_PULSE;50;50;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF",
                        "@PHONE0;1;0955555555", "@MSG0;7BIT;5;Meter",
                        "@EVNT1;REPORT;1;%02d%02d%02d;SMSDBS_OFF" % (due.tm_hour, due.tm_min, due.tm_sec),
                        "@PHONE1;1;0944444444", "@SAVE"]:
                reply = term.request(req, 5)
                if ";OK" not in reply:
                    raise SystemExit("powercut: %s answered %r" % (req, reply))
        finally:
            term.close()
        self.stop()

    # --- the checks after a cut ---------------------------------------------

    def check_start(self, cut, pid):
        """After the start that follows cut `cut`: files and leftovers."""
        board = self.board
        out = wait_for(lambda: (lambda o: o if ">Initial counter status" in o or "[thread_" in o else None)(
            board.output()), 30)
        out = board.output()
        if ">Initial parameters failed" in out or board.read("/APP/config.ini.refused") is not None:
            self.fig.fallbacks += 1
            self.fig.fault(cut, "config.ini refused: factory settings", board)
            os.replace(board.path("/APP/config.ini.refused"), board.path("/APP/config.ini.refused.%d" % cut))
        if ">Initial counter status failed" in out:
            self.fig.fallbacks += 1
            self.fig.fault(cut, "CTStatus.ini unreadable: counters from config.ini", board)
        for m in REMOVED_LINE.finditer(out):
            self.fig.removed_at_start += int(m.group(1))

        # Stale: a temporary file of an earlier run, still there once this
        # run is up (its own saves may have one open meanwhile).
        stale = [name for name, saver in board.temporary_files() if saver != pid]
        if stale:
            self.fig.stale += len(stale)
            self.fig.fault(cut, "left after the start: " + ", ".join(stale), board)
            for name in stale:
                os.unlink(os.path.join(self.root, name))

        config = board.read("/APP/config.ini")
        self.fig.read_back += 1
        if config is None or not config.endswith(b"\r\n") or b"\r\n15#iIsSMSDBS=" not in config:
            self.fig.unreadable += 1
            self.fig.fault(cut, "config.ini cut short", board)
        else:
            found = re.search(rb"^cMachineID=(.*)\r$", config, re.M)
            mid = found.group(1).decode() if found else None
            if mid not in self.machine_id:
                self.fig.lost += 1
                self.fig.fault(cut, "config.ini names %r, saved were %r" % (mid, self.machine_id), board)
            self.machine_id = {mid}
            preset = re.search(rb"^uiCounter=(\d+),", config, re.M)
            if self.counter_preset is not None and preset and int(preset.group(1)) not in self.counter_preset:
                self.fig.lost += 1
                self.fig.fault(cut, "counter 0 alarm value %s, saved were %r" % (preset.group(1), self.counter_preset),
                               board)
            self.counter_preset = {int(preset.group(1))} if preset else None
        counters = board.read("/APP/CTStatus.ini")
        self.fig.read_back += 1
        if counters is None or not COUNTER_LINE.match(counters):
            self.fig.unreadable += 1
            self.fig.fault(cut, "CTStatus.ini holds %r" % counters, board)
        log_ini = board.read("/APP/log.ini")
        if log_ini is not None:
            self.fig.read_back += 1
            m = LOG_INI_LINE.match(log_ini)
            if not m:
                self.fig.unreadable += 1
                self.fig.fault(cut, "log.ini holds %r" % log_ini, board)
            elif self.log_enable is not None and int(m.group(1)) not in self.log_enable:
                self.fig.lost += 1
                self.fig.fault(cut, "log.ini holds %s, saved were %r" % (m.group(1), self.log_enable), board)
            else:
                self.log_enable = {int(m.group(1))}

    # --- the moment of the cut ---------------------------------------------

    def cut_during(self, pid, window_s):
        """Kills the firmware: at a save's temporary file (plus up to 4 ms)
        in two cuts of three, else at a random moment of the window."""
        board = self.board
        if self.rng.random() < 2 / 3:
            end = time.monotonic() + window_s
            while time.monotonic() < end:
                if any(saver == pid for _, saver in board.temporary_files()):
                    time.sleep(self.rng.uniform(0, 0.004))
                    break
                time.sleep(0.0002)
        else:
            time.sleep(self.rng.uniform(0, window_s))
        in_save = any(saver == pid for _, saver in board.temporary_files())
        board.kill_firmware(pid)
        status = board.wait_exit(30)
        # What the dead process left: a save it did not finish.
        if in_save or any(saver == pid for _, saver in board.temporary_files()):
            self.fig.cuts_in_save += 1
        self.fig.cuts += 1
        board.stop()
        self.board = None
        return status

    def utility_cut(self, cut, pid):
        term = Terminal(self.root)
        try:
            if not wait_for(lambda: "DEVNAME;OK" in term.request("@DEVNAME", 1), 30, 0.1):
                self.fig.not_up += 1
                self.fig.fault(cut, "utility mode does not answer", self.board)
                self.cut_during(pid, 0.01)
                return
            self.check_start(cut, pid)
            for k in range(self.rng.randint(0, 2) + 1):
                mid = "PC%d-%d" % (cut, k)
                last = k > 0 and self.rng.random() < 0.5
                log = self.rng.choice([0, 1])
                reqs = ["@STAN;" + mid, "@LOGEN;%d" % log,
                        "@PHONE2;2;09%08d;09%08d" % (self.rng.randrange(10 ** 8), self.rng.randrange(10 ** 8))]
                for req in reqs:
                    term.request(req, 3)
                save = self.rng.choice(["@SAVE", "@SAVE", "@LOGSAVE"])
                if last or k == 2:
                    if save == "@SAVE":
                        self.machine_id.add(mid)
                    else:
                        self.log_enable = (self.log_enable or set()) | {log}
                    term.send(save)
                    self.cut_during(pid, 0.5)
                    return
                reply = term.request(save, 5)
                if ";SAVE;OK" in reply:
                    self.machine_id = {mid}
                elif ";LOGSAVE;OK" in reply:
                    self.log_enable = {log}
            # No save was cut short in this start: cut it while idle.
            self.cut_during(pid, 0.2)
        finally:
            term.close()

    def normal_cut(self, cut, pid):
        board = self.board
        self.check_start(cut, pid)
        board.wait_first_modem_pass(30)
        board.ctl("pulse 0 100000 66 30")   # 15 Hz on the counter input
        what = self.rng.choice(["preset", "preset", "report", "time"])
        if what == "preset":
            count = self.rng.randrange(1000, 900000)
            alarm = count + self.rng.randrange(10, 40)
            # uiCounter in config.ini is the alarm value.
            self.counter_preset = (self.counter_preset or set()) | {alarm}
            board.ctl("sms from %s @ACTV0;%d;%d" % (CONTROL_PHONE, count, alarm))
        elif what == "report":
            board.ctl("clock jump +86400")
        else:
            t = time.localtime(time.time() + self.rng.randrange(-86400, 86400))
            board.ctl("sms from %s @TIME;%s" % (CONTROL_PHONE, time.strftime("%Y%m%d;%H%M%S", t)))
        self.cut_during(pid, 6.0)

    def run(self):
        self.configure()
        for cut in range(1, self.cuts + 1):
            utility = self.rng.random() < 0.5
            pid = self.start(utility)
            if not pid:
                self.fig.not_up += 1
                self.fig.fault(cut, "the board did not come up", self.board)
                self.stop()
                continue
            if utility:
                self.utility_cut(cut, pid)
            else:
                self.normal_cut(cut, pid)
            if cut % 25 == 0:
                print("%d cuts, %d inside a save" % (self.fig.cuts, self.fig.cuts_in_save), flush=True)
        # The start after the last cut.
        pid = self.start(utility=False)
        if pid:
            self.check_start(self.cuts + 1, pid)
        self.stop()


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--build", default="build", help="folder with qrv806 and qrv806-sim")
    p.add_argument("--cuts", type=int, default=500)
    p.add_argument("--seed", type=int, default=None)
    p.add_argument("--keep", action="store_true", help="keep the board's folder")
    a = p.parse_args()
    interrupt_on_sigterm()
    seed = a.seed if a.seed is not None else random.randrange(1 << 30)
    work = tempfile.mkdtemp(prefix="qrv806-powercut-")
    print("power cuts: %d, seed %d, board in %s" % (a.cuts, seed, work), flush=True)
    pc = PowerCuts(os.path.abspath(a.build), a.cuts, random.Random(seed), work)
    started = time.monotonic()
    try:
        pc.run()
    except KeyboardInterrupt:
        print("interrupted", flush=True)
    finally:
        pc.stop()
    f = pc.fig
    print("--- power cuts (seed %d, %.0f s) ---" % (seed, time.monotonic() - started))
    print("cuts                                   %d" % f.cuts)
    print("cuts inside a save (temporary file)    %d" % f.cuts_in_save)
    print("files read back                        %d" % f.read_back)
    print("files unreadable                       %d   (goal 0)" % f.unreadable)
    print("saved settings lost                    %d   (goal 0)" % f.lost)
    print("factory fall-backs                     %d   (goal 0)" % f.fallbacks)
    print("leftovers removed by the firmware      %d" % f.removed_at_start)
    print("stale temporary files after a start    %d   (goal 0)" % f.stale)
    print("starts that did not come up            %d   (goal 0)" % f.not_up)
    ok = not f.faults and f.cuts == a.cuts
    if ok and not a.keep:
        shutil.rmtree(work, ignore_errors=True)
    else:
        print("board folder kept: %s" % work)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
