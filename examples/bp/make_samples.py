#!/usr/bin/env python3
"""Builds a BP sample file from co-registered DSAA evidence grids.

usage: make_samples.py DEPOSITS_CSV OUTPUT GRID...

Deposit samples (target 1, alternating with background samples) are the distinct cells of the deposits marked inside the grid
(columns col, row_dsaa, inside of the CSV); background samples (target 0) are as many cells
drawn without a deposit, with a fixed seed so the file is the same on every run. Each sample's
inputs are the grids' values at its cell, rescaled the way bp-classify rescales its inputs:
one running range over the grids in order, each grid scaled by the range of the grids up to it,
no-data (99999) left out.
"""
import csv
import random
import sys

BLANK = 99999.0


def read_dsaa(path):
    with open(path) as f:
        tokens = f.read().split()
    if tokens[0] != "DSAA":
        sys.exit(f"{path}: not a DSAA grid")
    nx, ny = int(tokens[1]), int(tokens[2])
    values = [float(t) for t in tokens[9:9 + nx * ny]]
    if len(values) != nx * ny:
        sys.exit(f"{path}: {len(values)} values for {nx} x {ny} cells")
    return nx, ny, values


def is_blank(v):
    return abs(v - BLANK) <= 0.1


def rescale(grids):
    lo, hi = 1e308, -1e308
    scaled = []
    for values in grids:
        for v in values:
            if not is_blank(v):
                hi = max(hi, v)
                lo = min(lo, v)
        span = hi - lo
        scaled.append([v if is_blank(v) else (0.0 if span == 0 else (v - lo) / span) for v in values])
    return scaled


def deposit_cells(path, nx, ny):
    cells = set()
    with open(path, newline="") as f:
        for row in csv.DictReader(f):
            col, r = int(row["col"]), int(row["row_dsaa"])
            if row.get("inside", "1") == "1" and 0 <= col < nx and 0 <= r < ny:
                cells.add(r * nx + col)
    return sorted(cells)


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    deposits_csv, output, grid_paths = sys.argv[1], sys.argv[2], sys.argv[3:]
    shapes, grids = set(), []
    for path in grid_paths:
        nx, ny, values = read_dsaa(path)
        shapes.add((nx, ny))
        grids.append(values)
    if len(shapes) != 1:
        sys.exit("the grids differ in shape")
    nx, ny = shapes.pop()
    grids = rescale(grids)
    usable = [s for s in range(nx * ny) if not is_blank(grids[0][s])]
    positives = [s for s in deposit_cells(deposits_csv, nx, ny) if not is_blank(grids[0][s])]
    taken = set(positives)
    background = random.Random(20240611).sample([s for s in usable if s not in taken], len(positives))
    with open(output, "w") as out:
        out.write("BP Training Sample File !!!\n")
        # Alternating, so on-line training sees both classes all through an epoch.
        for pair in zip(positives, background):
            for s, target in zip(pair, (1, 0)):
                out.write(" ".join(f"{g[s]:.6f}" for g in grids) + f" {target}\n")
    print(f"{output}: {len(positives)} deposit cells, {len(background)} background cells, "
          f"{len(grids)} inputs")


if __name__ == "__main__":
    main()
