#!/usr/bin/env python3
"""Checks that every #include "..." of the sources points down the floors.

Floors, lowest first: sdk, language, execution, libraries, scene, desktop,
windows, shell, apps. A file may include its own folder and any folder
below it; an include of a higher folder fails the check, unless it is one
of the known exceptions listed below. The core (language, execution,
libraries) includes no Qt and no GL headers, the scene no Qt.

  include_floors.py ROOT          check; exit 1 on a crossing
  include_floors.py ROOT --graph  print folder -> folders it includes
"""
import os
import re
import sys

FLOORS = ["sdk", "language", "execution", "libraries", "scene",
          "desktop", "windows", "shell", "apps"]

# Crossings inside one folder are not floors: the atom/structure calls and
# the executor/assignment recursion stay within language/ and execution/.
#
# The core's crossings that are known and still to go. Each pair is
# (including file, included header). Do not add to this list: remove an
# entry when its crossing is gone.
KNOWN_EXCEPTIONS: set = set()

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
SYSTEM_INCLUDE = re.compile(r'^\s*#\s*include\s+<([^>]+)>', re.M)

# The core has no Qt and no GL; the scene has no Qt.
NO_QT = {"sdk", "language", "execution", "libraries", "scene"}
NO_GL = {"sdk", "language", "execution", "libraries"}


def forbidden_system(floor, name):
    if floor in NO_QT and (name.startswith("Q") or name.startswith("Qt")):
        return "Qt"
    if floor in NO_GL and (name.startswith("GL/") or name.startswith("OpenGL/")):
        return "GL"
    return None
SOURCE = (".h", ".hpp", ".c", ".cpp")


def sources(root):
    for floor in FLOORS:
        top = os.path.join(root, floor)
        for folder, _, files in os.walk(top):
            for name in files:
                if name.endswith(SOURCE):
                    yield floor, os.path.join(folder, name)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    files = list(sources(root))
    # Headers are included by their bare name through the include paths:
    # the folder of a name is where it lives.
    home = {}
    for floor, path in files:
        home.setdefault(os.path.basename(path), floor)
    graph = {floor: set() for floor in FLOORS}
    crossings = []
    for floor, path in files:
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        rel = os.path.relpath(path, root)
        for name in SYSTEM_INCLUDE.findall(text):
            kind = forbidden_system(floor, name)
            if kind:
                crossings.append(f"{rel}: includes <{name}> ({floor}/ has no {kind})")
        for name in INCLUDE.findall(text):
            target = home.get(os.path.basename(name))
            if target is None:
                continue
            if target != floor:
                graph[floor].add(target)
            if FLOORS.index(target) > FLOORS.index(floor):
                if (rel, os.path.basename(name)) not in KNOWN_EXCEPTIONS:
                    crossings.append(f"{rel}: includes {name} ({target}/ is above {floor}/)")
    if "--graph" in sys.argv:
        for floor in FLOORS:
            below = sorted(graph[floor], key=FLOORS.index)
            print(f"{floor} -> {', '.join(below) if below else '(nothing)'}")
        return 0
    for line in crossings:
        print(line)
    if crossings:
        print(f"{len(crossings)} include(s) break the floors")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
