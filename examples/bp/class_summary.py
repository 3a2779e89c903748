#!/usr/bin/env python3
"""Counts the cells of each class of a BP class grid, over the district and at the deposits.

usage: class_summary.py CLASS_GRID DEPOSITS_CSV

Class values: 1 no data, then 2 + the network's output bits read as a binary number (with one
output: 2 background-like, 3 deposit-like).
"""
import collections
import csv
import sys


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1]) as f:
        tokens = f.read().split()
    nx, ny = int(tokens[1]), int(tokens[2])
    classes = [int(t) for t in tokens[9:9 + nx * ny]]
    cells = set()
    with open(sys.argv[2], newline="") as f:
        for row in csv.DictReader(f):
            col, r = int(row["col"]), int(row["row_dsaa"])
            if row.get("inside", "1") == "1" and 0 <= col < nx and 0 <= r < ny:
                cells.add(r * nx + col)
    district = collections.Counter(classes)
    deposits = collections.Counter(classes[s] for s in cells)
    for value in sorted(district):
        print(f"  class {value}: {district[value]:6d} cells ({100.0 * district[value] / len(classes):5.1f} %), "
              f"{deposits[value]:4d} of {len(cells)} deposit cells ({100.0 * deposits[value] / len(cells):5.1f} %)")


if __name__ == "__main__":
    main()
