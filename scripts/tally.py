#!/usr/bin/env python3
"""Counts ctest's JUnit results of several build trees; trees that failed to build count as one
failure each. Prints a per-tree table, or with --line only the line 'N passed, N failed'."""
import sys
import xml.etree.ElementTree as ET

args = sys.argv[1:]
line_only = bool(args) and args[0] == "--line"
if line_only:
    args = args[1:]
sep = args.index("--") if "--" in args else len(args)
files, broken = args[:sep], args[sep + 1:]

passed = failed = skipped = 0
rows = []
for f in files:
    tree = f.rstrip("/").split("/")[-2]
    p = fl = sk = 0
    try:
        root = ET.parse(f).getroot()
    except (OSError, ET.ParseError):
        rows.append((tree, 0, 1, 0, "no results (ctest did not finish)"))
        failed += 1
        continue
    names = []
    for case in root.iter("testcase"):
        name = case.get("name", "")
        if name.startswith("winesession."):
            continue
        status = case.get("status", "")
        if case.find("skipped") is not None or status in ("notrun", "disabled"):
            sk += 1
        elif case.find("failure") is not None or case.find("error") is not None or status == "fail":
            fl += 1
            names.append(name)
        else:
            p += 1
    rows.append((tree, p, fl, sk, ", ".join(names[:20])))
    passed, failed, skipped = passed + p, failed + fl, skipped + sk
for b in broken:
    rows.append((b, 0, 1, 0, "build failed"))
    failed += 1

if line_only:
    tail = f", {skipped} skipped" if skipped else ""
    print(f"{passed} passed, {failed} failed{tail}")
else:
    for tree, p, fl, sk, note in rows:
        print(f"  {tree:8s} {p:5d} passed {fl:4d} failed {sk:4d} skipped  {note}")
sys.exit(1 if failed or (not files and not broken) else 0)
