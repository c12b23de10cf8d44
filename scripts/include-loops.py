#!/usr/bin/env python3
"""include-loops.py [ROOT]: lists the include edges between the tree's subsystem folders and fails
when two of them include each other through any chain. Tests, benchmarks and fuzz targets are left
out: they may reach across. A subsystem folder is viewer/X, companions/X or tools/X, or a top folder
(include, win, skinui, store, player, skin, manager). Subsystem headers are included by bare name, so a header name
that stands in two subsystems is an error too (it would make an include ambiguous)."""
import collections
import os
import re
import subprocess
import sys

root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
SOURCE = re.compile(r"\.(c|cc|cpp|h|hpp|inc|rc|idl)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)
GROUPED = ("viewer", "companions", "tools")
ASIDE = ("bench", "fuzz", "cmake", "scripts", "docs")


def tracked_files():
    try:
        out = subprocess.run(["git", "-C", root, "ls-files"], capture_output=True, text=True, check=True).stdout
        return out.split()
    except (OSError, subprocess.CalledProcessError):
        found = []
        for d, dirs, names in os.walk(root):
            dirs[:] = [x for x in dirs if not x.startswith(".") and x != "build"]
            found += [os.path.relpath(os.path.join(d, n), root) for n in names]
        return found


def subsystem(path):
    parts = path.split("/")
    if len(parts) < 2 or parts[0] in ASIDE or "tests" in parts:
        return None
    if parts[0] in GROUPED:
        return "/".join(parts[:2]) if len(parts) > 2 else None
    return parts[0]


files = [f for f in tracked_files() if SOURCE.search(f) and os.path.isfile(os.path.join(root, f))]
code = [f for f in files if subsystem(f)]
by_name = collections.defaultdict(list)
by_suffix = collections.defaultdict(list)
for f in code:
    by_name[os.path.basename(f)].append(f)
    parts = f.split("/")
    for i in range(1, len(parts)):
        by_suffix["/".join(parts[i:])].append(f)

problems = []
for name, places in sorted(by_name.items()):
    owners = {subsystem(p) for p in places}
    if name.endswith((".h", ".hpp", ".inc")) and len(owners) > 1:
        problems.append(f"header {name} stands in {', '.join(sorted(places))}")

edges = collections.defaultdict(list)  # (from, to) -> [(file, header)]
for f in code:
    with open(os.path.join(root, f), errors="replace") as src:
        text = src.read()
    for inc in INCLUDE.findall(text):
        rel = os.path.normpath(os.path.join(os.path.dirname(f), inc))
        if rel in files:
            target = rel
        elif "/" in inc:
            target = (by_suffix.get(inc) or [None])[0]
        else:
            target = (by_name.get(inc) or [None])[0]
        if not target or not subsystem(target):
            continue
        a, b = subsystem(f), subsystem(target)
        if a != b:
            edges[(a, b)].append((f, target))

graph = collections.defaultdict(set)
for a, b in edges:
    graph[a].add(b)

# Strongly connected components (Tarjan): any with two or more folders is a loop.
index, low, stack, on, loops = {}, {}, [], set(), []
def visit(v):
    index[v] = low[v] = len(index)
    stack.append(v)
    on.add(v)
    for w in sorted(graph[v]):
        if w not in index:
            visit(w)
            low[v] = min(low[v], low[w])
        elif w in on:
            low[v] = min(low[v], index[w])
    if low[v] == index[v]:
        comp = []
        while True:
            w = stack.pop()
            on.discard(w)
            comp.append(w)
            if w == v:
                break
        if len(comp) > 1:
            loops.append(sorted(comp))

for v in sorted({x for e in edges for x in e}):
    if v not in index:
        visit(v)

for (a, b), uses in sorted(edges.items()):
    print(f"{a} -> {b}  ({len(uses)})")
for comp in loops:
    problems.append("loop: " + " <-> ".join(comp))
    for (a, b), uses in sorted(edges.items()):
        if a in comp and b in comp:
            for f, t in uses:
                problems.append(f"  {f} includes {t}")
for p in problems:
    print(p)
print(f"{len(edges)} edges between {len({x for e in edges for x in e})} subsystem folders, "
      f"{len(loops)} loops")
sys.exit(1 if problems else 0)
