#!/usr/bin/env python3
"""Checks that the source folders include each other only downward.

  check-layering.py SRC_DIR           fails, naming each include that runs the wrong way
  check-layering.py SRC_DIR --graph   prints which folder includes which, and how often

The layers, from the bottom: base/ (what every part of SETUP.EXE shares),
then payload/ and integration/ side by side, then wizard/ on top. kit/, the
kit builder, stands beside SETUP.EXE's folders: it may use any of them but
wizard/, and none of them may use it.
"""
import collections
import os
import re
import sys

ALLOWED = {
    "base": {"base"},
    "payload": {"base", "payload"},
    "integration": {"base", "integration"},
    "wizard": {"base", "payload", "integration", "wizard"},
    "kit": {"base", "payload", "integration", "kit"},
}
# The dialog identifiers of res/, which SETUP.EXE's window code names.
RESOURCES = {"resource.h": {"base", "wizard"}}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def includes(src):
    for folder in sorted(os.listdir(src)):
        root = os.path.join(src, folder)
        if not os.path.isdir(root):
            continue
        for directory, _, files in os.walk(root):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(directory, name)
                with open(path, encoding="utf-8") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if m:
                            yield folder, os.path.relpath(path, src), number, m.group(1)


def main(argv):
    if len(argv) not in (2, 3) or (len(argv) == 3 and argv[2] != "--graph"):
        print(__doc__, file=sys.stderr)
        return 2
    src = argv[1]
    edges = collections.Counter()
    problems = []
    for folder, path, number, target in includes(src):
        if "/" in target:
            to = target.split("/", 1)[0]
            edges[(folder, to)] += 1
            if folder not in ALLOWED:
                problems.append(f"{path}:{number}: the folder {folder}/ has no place among the layers")
            elif to not in ALLOWED[folder]:
                problems.append(f'{path}:{number}: includes "{target}": {folder}/ may not use {to}/')
        elif target in RESOURCES:
            edges[(folder, "res")] += 1
            if folder not in RESOURCES[target]:
                problems.append(f'{path}:{number}: includes "{target}": {folder}/ may not use the dialog identifiers')
        else:
            problems.append(f'{path}:{number}: includes "{target}" without its folder')
    if len(argv) == 3:
        for (a, b), n in sorted(edges.items()):
            if a != b:
                print(f"{a:<12} -> {b:<12} {n:>3}")
        return 0
    if problems:
        print("includes that run against the layers:\n  " + "\n  ".join(problems), file=sys.stderr)
        return 1
    print(f"{sum(edges.values())} includes between folders of {src}, all downward")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
