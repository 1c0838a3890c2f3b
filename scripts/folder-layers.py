#!/usr/bin/env python3
"""Prints which source folders include which, and fails when the includes form a circle.

Usage: folder-layers.py [SRC_DIR]   (default: the src folder beside this script)
"""
import pathlib
import re
import sys

src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent / "src")
include = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/')
uses = {}
for path in src.rglob("*"):
    if path.suffix not in (".h", ".cpp") or not path.is_file():
        continue
    folder = path.relative_to(src).parts[0]
    targets = uses.setdefault(folder, set())
    for line in path.read_text(errors="replace").splitlines():
        match = include.match(line)
        if match and match.group(1) != folder and (src / match.group(1)).is_dir():
            targets.add(match.group(1))

for folder in sorted(uses):
    print(f"{folder} -> {' '.join(sorted(uses[folder])) or '(nothing)'}")

state = {}
def visit(folder, trail):
    state[folder] = "open"
    for other in sorted(uses.get(folder, ())):
        if state.get(other) == "open":
            cycle = trail[trail.index(other):] + [other]
            print("circle: " + " -> ".join(cycle))
            sys.exit(1)
        if other not in state:
            visit(other, trail + [other])
    state[folder] = "done"

for folder in sorted(uses):
    if folder not in state:
        visit(folder, [folder])
print("no circle between folders")
