#!/usr/bin/env python3
"""Writes text_direction_runs.inc: the runs of Unicode's bidirectional classes
that FirstStrongDirection reads, from the Python's own Unicode database.
Run it again, and commit what it writes, to follow a newer Unicode:

    python3 src/guard/text_direction_runs.py > src/guard/text_direction_runs.inc

A run is its first code point and its class: 1 strong left to right (L),
2 strong right to left (R and AL), 0 neither. Unassigned code points and
marks (Mn, Me), which only ever follow a letter, join the run before them."""
import unicodedata


def strong_class(point):
    character = chr(point)
    bidi = unicodedata.bidirectional(character)
    if not bidi or unicodedata.category(character) in ("Mn", "Me"):
        return None
    return 2 if bidi in ("R", "AL") else 1 if bidi == "L" else 0


runs = []
for point in range(0x110000):
    kind = strong_class(point)
    if kind is not None and (not runs or runs[-1][1] != kind):
        runs.append((point, kind))
print("// Written by text_direction_runs.py from Unicode %s: each run's first code point,"
      % unicodedata.unidata_version)
print("// shifted left by 2, with its class in the low bits (0 neither, 1 L, 2 R or AL).")
for start in range(0, len(runs), 6):
    print(" ".join("0x%07X," % (point << 2 | kind) for point, kind in runs[start:start + 6]))
