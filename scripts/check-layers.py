#!/usr/bin/env python3
"""Fails when a file of the firmware includes a folder of a higher layer.

The layers, lowest first; a file may include its own layer and those below:
  ground: platform/ base/
  config/ hw/ log/
  modem/
  queue/
  event/ cmd/ qc/
  app/
sim/, tools/ and tests/ stand above the firmware and are not checked.
"""
import os
import re
import sys

LAYERS = [("platform", "base"), ("config", "hw", "log"), ("modem",), ("queue",),
          ("event", "cmd", "qc"), ("app",)]
RANK = {folder: rank for rank, group in enumerate(LAYERS) for folder in group}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]*"')


def main(root):
    faults = []
    for folder in RANK:
        top = os.path.join(root, folder)
        if not os.path.isdir(top):
            continue
        for dirpath, _, names in os.walk(top):
            for name in sorted(names):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target = m.group(1)
                        if target not in RANK:
                            faults.append(f"{os.path.relpath(path, root)}:{number}: includes "
                                          f"{target}/, which is not part of the firmware")
                        elif RANK[target] > RANK[folder]:
                            faults.append(f"{os.path.relpath(path, root)}:{number}: {folder}/ "
                                          f"includes {target}/, a higher layer")
    for fault in faults:
        print(fault)
    print(f"layers: {len(faults)} upward include(s)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")))
