#!/usr/bin/env python3
"""Checks that the source tree keeps its layers: every file includes only
headers of its own folder or of the layers below it, and the libraries
without Qt include no Qt header, directly or through a folder that has Qt.

  check_layers.py [ROOT]   (default: the project root above this script)

Includes are resolved as the compiler would find them: from the project's
root ("link/TzkPA422Form.h"), else beside the including file, else (for a
tree whose includes name no folder) by the header's name alone. Prints one
line per offending include and exits with status 1 when there is any."""
import os
import re
import sys

# The layers, bottom up. A folder may include its own headers and those of
# every layer below its own; folders of the same rank know nothing of each
# other.
RANKS = {
    "serial": 0, "controls": 0,
    "settings": 1,
    "link": 2,
    "eq": 3,
    "eqwindow": 4,
    "app": 5,
    "sim": 6, "cli": 6, "bench": 6,
}
# Libraries that are plain C++: no Qt, and nothing of a folder that has Qt.
QT_FREE = {"serial", "settings", "link", "eq", "sim", "cli"}
HAS_QT = {"controls", "eqwindow", "app", "bench"}
SOURCE = re.compile(r"\.(h|hpp|cpp|cc|h\.in)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
QT_HEADER = re.compile(r"^(Q[A-Za-z]|Qt[A-Za-z]+/|q[a-z]+\.h$)")


def sources(root):
    for folder in RANKS:
        base = os.path.join(root, folder)
        for dirpath, _, files in os.walk(base):
            for name in files:
                if SOURCE.search(name):
                    yield os.path.relpath(os.path.join(dirpath, name), root)


def index_by_name(root):
    names = {}
    for path in sources(root):
        names.setdefault(os.path.basename(path), []).append(path)
    return names


def resolve(root, including, name, by_name):
    candidates = [name, os.path.normpath(os.path.join(os.path.dirname(including), name))]
    for c in candidates:
        if os.path.isfile(os.path.join(root, c)):
            return c
    if name.endswith("VarloVersion.h"):
        return "settings/VarloVersion.h"
    found = by_name.get(os.path.basename(name), [])
    if len(found) == 1:
        return found[0]
    return None


def folder_of(path):
    return path.split("/", 1)[0]


def check(root):
    by_name = index_by_name(root)
    problems = []
    for path in sorted(sources(root)):
        layer = folder_of(path)
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        for kind, name in INCLUDE.findall(text):
            if kind == "<":
                if layer in QT_FREE and QT_HEADER.match(name):
                    problems.append(f"{path}: <{name}>: a Qt header in a library without Qt")
                continue
            if name.endswith(".moc"):
                continue
            target = resolve(root, path, name, by_name)
            if target is None:
                continue  # a header of the system or a generated one
            other = folder_of(target)
            if other not in RANKS or other == layer:
                continue
            if RANKS[other] >= RANKS[layer]:
                problems.append(f'{path}: "{name}": {other}/ is not below {layer}/')
            elif layer in QT_FREE and other in HAS_QT:
                problems.append(f'{path}: "{name}": {other}/ has Qt, {layer}/ has none')
    return problems


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
    root = os.path.abspath(root)
    problems = check(root)
    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} includes point up or across the layers")
        return 1
    print("every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
