#!/usr/bin/env python3
"""Lists the includes between the rooms of the library and fails on an upward one.

The rooms stand in this order, each building only on those before it:
platform, util, image, core, pricing, carriers, services, pda, warehouse, server.
A file may include a header of its own room or of a room below; it may include another room's
internal/ headers only from that room. Prints one line per pair of rooms that include each other
("services -> core: 12"), then every upward or internal include, and exits 1 when there is one.
"""
import os
import re
import sys
from collections import Counter

ROOMS = ["platform", "util", "image", "core", "pricing", "carriers", "services", "pda", "warehouse", "server"]
RANK = {room: i for i, room in enumerate(ROOMS)}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def main() -> int:
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    pairs = Counter()
    faults = []
    for room in ROOMS:
        for folder, _, files in os.walk(os.path.join(root, room)):
            for name in sorted(files):
                if not name.endswith((".h", ".cc")):
                    continue
                path = os.path.join(folder, name)
                rel = os.path.relpath(path, root)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target = m.group(1).split("/")
                        if len(target) < 2 or target[0] not in RANK or target[0] == room:
                            continue
                        pairs[(room, target[0])] += 1
                        if RANK[target[0]] > RANK[room]:
                            faults.append(f"{rel}:{number}: {room} includes {m.group(1)} of a room above")
                        elif "internal" in target[1:-1]:
                            faults.append(f"{rel}:{number}: {room} includes {m.group(1)}, internal to {target[0]}")
    for (room, other), count in sorted(pairs.items(), key=lambda p: (RANK[p[0][0]], RANK[p[0][1]])):
        print(f"{room} -> {other}: {count}")
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
