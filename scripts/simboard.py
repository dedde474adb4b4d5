"""A simulated QRV-806 board driven from Python: the simulator as a child
process, its control socket, the terminal port and the firmware's files.

Used by the long-running checks (powercut.py, soak.py); standard library
only. Every process a Board starts is stopped by Board.stop().
"""

import json
import os
import re
import select
import signal
import socket
import subprocess
import termios
import time
import tty

# NAME.tmp.PID.TID: the temporary copy of an atomic save.
TEMPORARY_NAME = re.compile(r"^(.+)\.tmp\.(\d{1,9})\.(\d{1,9})$")


def interrupt_on_sigterm():
    """SIGTERM (a stopped make, a closed session) unwinds like Ctrl-C, so
    the caller's clean-up stops the boards it started."""
    def handler(signum, frame):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, handler)


def wait_for(condition, timeout_s, step_s=0.05):
    """Polls `condition` until it is true or `timeout_s` has passed."""
    end = time.monotonic() + timeout_s
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= end:
            return value
        time.sleep(step_s)


class Board:
    def __init__(self, sim, root, output_path, run_args=(), firmware=None):
        self.sim = sim
        self.root = root
        self.output_path = output_path
        self.run_args = list(run_args)
        self.firmware = firmware
        self.proc = None
        self._output = None
        self.firmware_pids = set()

    # --- the simulator process -------------------------------------------

    def start(self):
        args = [self.sim, "run", "--root", self.root]
        if self.firmware:
            args += ["--firmware", self.firmware]
        args += self.run_args
        self._output = open(self.output_path, "wb")
        self.proc = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=self._output,
                                     stderr=subprocess.STDOUT, start_new_session=True)

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait_exit(self, timeout_s):
        if self.proc is None:
            return None
        try:
            return self.proc.wait(timeout=timeout_s)
        except subprocess.TimeoutExpired:
            return None

    def stop(self, grace_s=30):
        """Stops the board and everything it started; safe to call twice."""
        if self.proc is None:
            return None
        if self.proc.poll() is None:
            self.ctl("stop", timeout_s=5)
            if self.wait_exit(grace_s) is None:
                self.proc.send_signal(signal.SIGTERM)
                if self.wait_exit(10) is None:
                    self.proc.kill()
                    self.proc.wait()
        # A simulator that died hard leaves its firmware behind.
        for pid in self.firmware_pids:
            if _is_child_firmware(pid, self.root):
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        status = self.proc.returncode
        self.proc = None
        if self._output:
            self._output.close()
            self._output = None
        return status

    def output(self):
        try:
            with open(self.output_path, "rb") as f:
                return f.read().decode("utf-8", "replace")
        except OSError:
            return ""

    # --- the control socket ----------------------------------------------

    def ctl(self, line, timeout_s=10):
        """One command; (True, text) on "ok", (False, text) otherwise."""
        path = os.path.join(self.root, "sim", "ctl.sock")
        try:
            with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
                s.settimeout(timeout_s)
                s.connect(path)
                s.sendall(line.encode() + b"\n")
                data = b""
                while True:
                    chunk = s.recv(65536)
                    if not chunk:
                        break
                    data += chunk
        except OSError as e:
            return False, str(e)
        text = data.decode("utf-8", "replace")
        head, _, rest = text.partition("\n")
        return head == "ok", rest

    def state(self):
        ok, text = self.ctl("state")
        if not ok:
            return None
        try:
            return json.loads(text)
        except ValueError:
            return None

    def firmware_pid(self):
        st = self.state()
        if not st or not st["firmware"]["running"]:
            return None
        pid = st["firmware"]["pid"]
        self.firmware_pids.add(pid)
        return pid

    def wait_up(self, timeout_s=60):
        """The simulator answers and its firmware runs: the firmware's pid."""
        return wait_for(lambda: self.running() and self.firmware_pid(), timeout_s, 0.1)

    def wait_first_modem_pass(self, timeout_s=60):
        """Past the first modem pass, which empties the message store."""
        def past():
            st = self.state()
            return st is not None and st["modem"]["at_commands"] > 7
        return wait_for(past, timeout_s, 0.1)

    def kill_firmware(self, pid):
        try:
            os.kill(pid, signal.SIGKILL)
            return True
        except ProcessLookupError:
            return False

    # --- the board's files -----------------------------------------------

    def path(self, device_path):
        return os.path.join(self.root, device_path.lstrip("/"))

    def read(self, device_path):
        try:
            with open(self.path(device_path), "rb") as f:
                return f.read()
        except OSError:
            return None

    def temporary_files(self, folders=("APP", "sim")):
        """(folder/name, saver pid) of every atomic save's temporary copy."""
        found = []
        for folder in folders:
            try:
                names = os.listdir(os.path.join(self.root, folder))
            except OSError:
                continue
            for name in names:
                m = TEMPORARY_NAME.match(name)
                if m:
                    found.append((folder + "/" + name, int(m.group(2))))
        return found


def _is_child_firmware(pid, root):
    """True when `pid` still is a firmware run on this root."""
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            args = f.read().split(b"\0")
    except OSError:
        return False
    return root.encode() in args and b"--sim" in args


class Terminal:
    """The board's terminal port (ROOT/term) as a host's serial line."""

    def __init__(self, root):
        self.fd = os.open(os.path.join(root, "term"), os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.fd)
        attrs = termios.tcgetattr(self.fd)
        attrs[3] &= ~termios.ECHO
        termios.tcsetattr(self.fd, termios.TCSANOW, attrs)
        self.drain(0.05)

    def close(self):
        if self.fd is not None:
            os.close(self.fd)
            self.fd = None

    def drain(self, quiet_s):
        data = b""
        while select.select([self.fd], [], [], quiet_s)[0]:
            try:
                chunk = os.read(self.fd, 4096)
            except BlockingIOError:
                continue
            if not chunk:
                break
            data += chunk
        return data

    def send(self, line):
        data = line.encode() + b"\r"
        while data:
            n = os.write(self.fd, data)
            data = data[n:]

    def read_reply(self, timeout_s=5.0, quiet_s=0.05):
        """Bytes up to a line end, then whatever follows within quiet_s."""
        end = time.monotonic() + timeout_s
        data = b""
        while b"\r\n" not in data:
            left = end - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                return data.decode("utf-8", "replace")
            try:
                data += os.read(self.fd, 4096)
            except BlockingIOError:
                pass
        data += self.drain(quiet_s)
        return data.decode("utf-8", "replace")

    def request(self, line, timeout_s=5.0):
        self.send(line)
        return self.read_reply(timeout_s)
