#!/usr/bin/env python3
"""Lists the include arrows between the source folders and fails on one that
points up the layering below, unless it is among the known arrows that wait
to be removed.

Usage: include-arrows.py [ROOT]   (ROOT: the source tree, default: here)
Prints the folder graph (arrow counts), then every arrow that points up.
"""
import os
import re
import sys
from collections import Counter

# Folders from the bottom up: a folder includes only folders of lower rank
# (and itself). Folders of one rank do not include each other. platform/
# wraps the operating system under everything.
RANKS = {
    "platform": -1,
    "engine": 0,
    "builtins": 2,
    "compiler": 3,
    "numerics": 4,
    "serial": 4,
    "control": 5,
    "graphics": 6,
    "app": 7,
    "shell": 8,
    "tools": 8,
    "bench": 9,
    "tests": 9,
    "examples": 9,
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/([^"]+)"', re.M)

def arrows(root):
    for folder in RANKS:
        top = os.path.join(root, folder)
        for base, _, files in os.walk(top):
            for name in files:
                if not name.endswith((".cpp", ".hpp", ".def", ".h")):
                    continue
                path = os.path.join(base, name)
                rel = os.path.relpath(path, root)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for m in INCLUDE.finditer(f.read()):
                        target = m.group(1)
                        if target in RANKS and target != folder:
                            yield rel, folder, target, m.group(1) + "/" + m.group(2)

def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    graph = Counter()
    up = []
    for rel, source, target, header in arrows(root):
        graph[(source, target)] += 1
        if RANKS[target] >= RANKS[source]:
            up.append((rel, header))
    for (source, target), n in sorted(graph.items(), key=lambda x: (RANKS[x[0][0]], x[0])):
        mark = "" if RANKS[target] < RANKS[source] else "   <- up"
        print(f"{source:>9} -> {target:<9} {n:4}{mark}")
    new = [a for a in up if f"{a[0]} -> {a[1]}" not in KNOWN_ARROWS]
    gone = KNOWN_ARROWS - {f"{a[0]} -> {a[1]}" for a in up}
    print(f"{len(up)} arrows point up, {len(up) - len(new)} of them known")
    for rel, header in new:
        print(f"error: {rel} includes {header}, which lies above it")
    for arrow in sorted(gone):
        print(f"note: known arrow {arrow} is gone; drop it from the list")
    return 1 if new else 0

# Arrows that point up and wait to be removed, file by file ("source ->
# header"); none today. A new one fails the check.
KNOWN_ARROWS = set()

if __name__ == "__main__":
    sys.exit(main())
