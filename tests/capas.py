#!/usr/bin/env python3
"""Checks that includes run only downward through the house's floors.

Usage: capas.py SOURCE_DIR

The core folders, from the ground floor up, are listed in FLOORS; a core
file may include files of its own folder and of folders below it. The windows
(the files a folder builds into keldan_gui) are one floor above every core
folder: they may include any core file and each other. The programs (main.cpp
of each program, dnc/, cnc/, tools/) are on top. Prints each include that runs
upward and exits 1 when there is one.
"""
import os
import re
import sys

FLOORS = ["base", "languages", "line", "settings", "text", "browser", "plot", "port", "remote", "transfer",
          "shell"]
PROGRAMS = ["dnc", "cnc", "tools"]
WINDOWS = len(FLOORS)
TOP = WINDOWS + 1


def window_files(top, folder):
    """Base names of the files the folder builds into the windows' library."""
    lists = os.path.join(top, folder, "CMakeLists.txt")
    if not os.path.exists(lists):
        return set()
    text = open(lists, encoding="utf-8").read()
    names = set()
    for block in re.findall(r"target_sources\(\s*keldan_gui\s+PRIVATE([^)]*)\)", text):
        names.update(os.path.splitext(n)[0] for n in block.split())
    return names


def floor(top, path, windows):
    folder, name = path.split("/", 1)
    base = os.path.splitext(name)[0]
    if folder in PROGRAMS or name == "main.cpp":
        return TOP
    if base in windows.get(folder, set()):
        return WINDOWS
    return FLOORS.index(folder)


def main():
    top = sys.argv[1]
    folders = [f for f in FLOORS + PROGRAMS if os.path.isdir(os.path.join(top, f))]
    windows = {f: window_files(top, f) for f in folders}
    upward = []
    for folder in folders:
        for root, _, files in os.walk(os.path.join(top, folder)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.relpath(os.path.join(root, name), top)
                own = floor(top, path, windows)
                for line in open(os.path.join(top, path), encoding="utf-8"):
                    m = re.match(r'\s*#\s*include\s+"([^"/]+)/([^"]+)"', line)
                    if not m or m.group(1) not in folders:
                        continue
                    target = m.group(1) + "/" + m.group(2)
                    if m.group(1) == path.split("/")[0]:
                        continue
                    other = floor(top, target, windows)
                    if other < own or (other == own == WINDOWS):
                        continue
                    upward.append(f"{path} includes {target}")
    for u in upward:
        print(u)
    return 1 if upward else 0


if __name__ == "__main__":
    sys.exit(main())
