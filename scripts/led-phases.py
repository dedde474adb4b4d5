#!/usr/bin/env python3
"""Times an LED of the simulated board from its GPIO value file.

led-phases.py VALUE_FILE SECONDS ON_MS OFF_MS prints one line: how many on
and off phases were seen and the worst difference from ON_MS / OFF_MS, in
ms. The file's folder is watched with inotify and each change is stamped
on arrival, so the figure is the firmware's timing (give or take a fraction
of a millisecond), not that of a process polling the board.
"""
import ctypes
import os
import select
import struct
import sys
import time

IN_MODIFY, IN_CLOSE_WRITE, IN_MOVED_TO, IN_CREATE = 0x2, 0x8, 0x80, 0x100


def main():
    path, seconds, on_ms, off_ms = sys.argv[1], float(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
    libc = ctypes.CDLL(None, use_errno=True)
    fd = libc.inotify_init1(os.O_NONBLOCK)
    folder, name = os.path.split(path)
    if fd < 0 or libc.inotify_add_watch(fd, folder.encode(), IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE) < 0:
        sys.exit("led-phases: cannot watch " + folder)

    def level():
        with open(path, "rb") as f:
            return f.read(1) == b"1"

    last, since, phases = level(), None, {True: [], False: []}
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if not select.select([fd], [], [], max(0.0, end - time.monotonic()))[0]:
            continue
        now = time.monotonic()
        data = os.read(fd, 65536)
        touched = False
        while data:
            _, _, _, length = struct.unpack_from("iIII", data)
            touched |= data[16:16 + length].rstrip(b"\0").decode(errors="replace") == name
            data = data[16 + length:]
        if not touched:
            continue
        now_level = level()
        if now_level == last:
            continue
        if since is not None:
            phases[last].append((now - since) * 1000)
        since, last = now, now_level
    worst = max([abs(p - on_ms) for p in phases[True]] + [abs(p - off_ms) for p in phases[False]] + [0])
    print("%d on and %d off phases, worst %.1f ms from its time" % (len(phases[True]), len(phases[False]), worst))


main()
