"""Shared data for the Python tests: the bundled Cloncurry grids and readers of the design's
text grids, used as oracles (the jobs' own files, read token by token)."""

from pathlib import Path

import numpy as np
import pytest

DATA = Path(__file__).resolve().parents[2] / "examples" / "cloncurry"
EVIDENCE = ["Dist2Breccia_bin_1km", "Dist2FaultInv_bin_1km", "FaultDensity_bin_1km", "StratNo_bin_1km"]


def read_dsaa(path):
    """(values float64 rows x cols in file order, value tokens as text)."""
    tokens = Path(path).read_text().split()
    assert tokens[0] == "DSAA"
    cols, rows = int(tokens[1]), int(tokens[2])
    text = tokens[9 : 9 + rows * cols]
    return np.array(text, dtype=np.float64).reshape(rows, cols), text


def read_kvsgda(path):
    """(values float32 rows x cols, blank value, value tokens as text)."""
    tokens = Path(path).read_text().split()
    rows, cols = int(tokens[1]), int(tokens[2])
    text = tokens[10 : 10 + rows * cols]
    return np.array(text, dtype=np.float32).reshape(rows, cols), np.float32(tokens[9]), text


def two_decimals(values):
    return ["%.2f" % v for v in np.asarray(values, dtype=np.float64).ravel()]


@pytest.fixture(scope="session")
def evidence_dsaa():
    """The four binary evidence grids (DSAA, file order) as a stack."""
    return np.stack([read_dsaa(DATA / f"{name}.grd")[0] for name in EVIDENCE])


@pytest.fixture(scope="session")
def evidence_kvsgda():
    """The same grids as KVSGDA01 float32 values, and their blank value."""
    grids = [read_kvsgda(DATA / f"{name}.kvsgda01.txt") for name in EVIDENCE]
    return np.stack([g for g, _, _ in grids]), grids[-1][1]


@pytest.fixture(scope="session")
def model_units():
    lines = (DATA / "IOCG_model_units_1km.txt").read_text().split("\n")[1:]
    return np.array([[int(t) for t in line.split()[1:]] for line in lines if line.strip()], dtype=np.int32)
