#!/usr/bin/env python3
"""Builds the demo's anomaly table (header AnmLvl) from the Cloncurry evidence grids.

usage: anomaly_table.py DATA_DIR TABLE

Candidates: the six model-unit cells holding the most deposits, then four cells without a
deposit. Each row holds the cell's values on the four binary evidence grids (2 = favourable),
in the order of the hierarchy's elements: geology (StratNo, Dist2Breccia), then structure
(FaultDensity, Dist2FaultInv).
"""
import os
import sys

GRIDS = [("StratNo", "StratNo_bin_1km"), ("Breccia", "Dist2Breccia_bin_1km"),
         ("FaultDens", "FaultDensity_bin_1km"), ("FaultNear", "Dist2FaultInv_bin_1km")]
BACKGROUND = [(20, 100), (60, 10), (120, 60), (200, 110)]


def read_grid(path):
    tokens = open(path).read().split()
    rows, cols = int(tokens[1]), int(tokens[2])
    return cols, tokens[9:9 + rows * cols]


def model_units(path):
    lines = open(path).read().split("\n")[1:]
    units = [tuple(int(t) for t in line.split()) for line in lines if line.strip()]
    # sequence, row, column, size: most deposits first, then file order
    return sorted(units, key=lambda u: (-u[3], u[0]))


def main():
    data, table = sys.argv[1], sys.argv[2]
    grids = [read_grid(os.path.join(data, stem + ".kvsgda01.txt")) for _, stem in GRIDS]
    cells = [("Dep%d_r%d_c%d" % (u[3], u[1], u[2]), u[1], u[2])
             for u in model_units(os.path.join(data, "IOCG_model_units_1km.txt"))[:6]]
    cells += [("Bg_r%d_c%d" % (r, c), r, c) for r, c in BACKGROUND]
    with open(table, "w") as out:
        out.write("AnmLvl %d %d\n" % (len(GRIDS), len(cells)))
        out.write("Anomaly " + " ".join(name for name, _ in GRIDS) + "\n")
        for name, r, c in cells:
            out.write(name + " " + " ".join(values[r * cols + c] for cols, values in grids) + "\n")


if __name__ == "__main__":
    main()
