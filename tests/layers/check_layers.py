#!/usr/bin/env python3
"""Checks that the source tree keeps its layers: every file includes only
headers of its own folder or of the layers below it, and the libraries
without Qt include no Qt header, directly or through a folder that has Qt.
The tests keep the same order: a file in tests/LAYER/ includes headers of
LAYER/, of the layers below it, of their tests' folders and of
testsupport/, the helpers that the tests and the benchmarks share.

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
# other. testsupport/ stands beside app/: above every library it may need
# to drive (it records the equalizer window's messages), below bench/ and
# tests/, the only folders that include it.
RANKS = {
    "serial": 0, "controls": 0,
    "settings": 1,
    "link": 2,
    "eq": 3,
    "eqwindow": 4,
    "app": 5, "testsupport": 5,
    "sim": 6, "cli": 6, "bench": 6,
}
TOP = max(RANKS.values()) + 1
# Libraries that are plain C++: no Qt, and nothing of a folder that has Qt.
QT_FREE = {"serial", "settings", "link", "eq", "sim", "cli"}
HAS_QT = {"controls", "eqwindow", "app", "bench", "testsupport"}
# tests/NAME/ holds the tests of layer NAME, and ranks with it; but
# tests/eqwindow/ drives its windows inside the program's frame, so ranks
# with app/. The folders of tests that are no layer's (tests/fuzz/,
# tests/layers/, tests/packaging/) test the whole tree and rank above every
# layer.
TEST_LAYERS = {"eqwindow": "app"}
SOURCE = re.compile(r"\.(h|hpp|cpp|cc|h\.in)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
QT_HEADER = re.compile(r"^(Q[A-Za-z]|Qt[A-Za-z]+/|q[a-z]+\.h$)")


def sources(root):
    for folder in list(RANKS) + ["tests"]:
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
    """The folder that places a file in the layers: "link" for
    link/Engine.h, "tests/link" for tests/link/engine_test.cpp."""
    parts = path.split("/")
    if parts[0] == "tests" and len(parts) > 2:
        return "tests/" + parts[1]
    return parts[0]


def layer_of(folder):
    """The layer a folder ranks with: its own, or for a folder of tests the
    layer it tests (None for one that is no layer's: it ranks at the top)."""
    if folder.startswith("tests/"):
        name = folder[len("tests/"):]
        name = TEST_LAYERS.get(name, name)
        return name if name in RANKS else None
    return folder if folder in RANKS else None


def rank_of(folder):
    layer = layer_of(folder)
    return TOP if layer is None else RANKS[layer]


def is_tests(folder):
    return folder.startswith("tests/")


def include_problem(folder, other):
    """Why a file of `folder` may not include a header of `other`, or None."""
    if other == folder:
        return None
    if is_tests(other) and not is_tests(folder):
        return f"{other}/ is for the tests only"
    if other == "testsupport":
        if is_tests(folder) or folder == "bench":
            return None
        return "testsupport/ is for the tests and the benchmarks only"
    if layer_of(other) is not None and layer_of(other) == layer_of(folder):
        return None  # a layer and its tests
    if rank_of(other) >= rank_of(folder):
        return f"{other}/ is not below {folder}/"
    return None


def check(root):
    by_name = index_by_name(root)
    problems = []
    for path in sorted(sources(root)):
        folder = folder_of(path)
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        for kind, name in INCLUDE.findall(text):
            if kind == "<":
                if folder in QT_FREE and QT_HEADER.match(name):
                    problems.append(f"{path}: <{name}>: a Qt header in a library without Qt")
                continue
            if name.endswith(".moc"):
                continue
            target = resolve(root, path, name, by_name)
            if target is None:
                continue  # a header of the system or a generated one
            other = folder_of(target)
            if other not in RANKS and not is_tests(other):
                continue
            problem = include_problem(folder, other)
            if problem:
                problems.append(f'{path}: "{name}": {problem}')
            elif folder in QT_FREE and other in HAS_QT:
                problems.append(f'{path}: "{name}": {other}/ has Qt, {folder}/ has none')
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
