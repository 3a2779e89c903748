"""Fuzzy overlay: each membership kind and operator of the host's `fuzzy` against numpy's own
formulas, no data carried through, and the refusals named."""

import json
import os
import subprocess
from pathlib import Path

import numpy as np
import pytest

ROOT = Path(__file__).resolve().parents[2]


def host():
    for candidate in [os.environ.get("QUARNEL_CLI"), ROOT / "build" / "quarnel"]:
        if candidate and Path(candidate).exists():
            return str(candidate)
    pytest.skip("no quarnel host built (set QUARNEL_CLI)")


def write(path, values):
    from osgeo import gdal

    gdal.UseExceptions()
    ds = gdal.GetDriverByName("GTiff").Create(str(path), values.shape[1], values.shape[0], 1, gdal.GDT_Float64)
    ds.SetGeoTransform((500000, 100, 0, 7000700, 0, -100))
    ds.GetRasterBand(1).SetNoDataValue(-9999)
    ds.GetRasterBand(1).WriteArray(np.where(np.isnan(values), -9999, values))
    ds = None
    return str(path)


def read(path):
    from osgeo import gdal

    ds = gdal.Open(str(path))
    band = ds.GetRasterBand(1)
    values = band.ReadAsArray().astype(np.float64)
    nodata = band.GetNoDataValue()
    return np.where(np.isnan(values) | (values == nodata), np.nan, values) if nodata is not None else values


A = np.array([[0.0, 1, 2, 3, 4], [5, 6, 7, 8, 9], [-1, 0.5, np.nan, 2.5, 10]])
B = np.array([[0.1, 0.2, 0.3, 0.4, 0.5], [0.6, 0.7, 0.8, 0.9, 1.0], [0.0, 0.25, 0.5, np.nan, 0.75]])
C = np.array([[1.0, 2, 3, 1, 2], [3, 1, 2, 3, 1], [2, 3, 1, 2, 4]])

MEMBERSHIPS = {
    "linear:2,8": np.clip((A - 2) / 6, 0, 1),
    "linear:8,2": np.clip((A - 8) / -6, 0, 1),
    "large:4": np.where(A <= 0, 0, 1 / (1 + (np.where(A > 0, A, 1) / 4) ** -5.0)),
    "large:4,2": np.where(A <= 0, 0, 1 / (1 + (np.where(A > 0, A, 1) / 4) ** -2.0)),
    "small:3,3": np.where(A <= 0, 1, 1 / (1 + (np.where(A > 0, A, 1) / 3) ** 3.0)),
    "gaussian:5": np.exp(-0.1 * (A - 5) ** 2),
    "gaussian:5,0.5": np.exp(-0.5 * (A - 5) ** 2),
}


def fuzzy(tmp_path, inputs, rules, *options):
    out = tmp_path / "out.tif"
    run = subprocess.run([host(), "fuzzy", *inputs, "-o", str(out), "--json", *options,
                          *[a for rule in rules for a in ("--membership", rule)]],
                         capture_output=True, text=True)
    return json.loads(run.stdout), run.returncode, out


@pytest.mark.parametrize("rule", sorted(MEMBERSHIPS))
def test_each_membership_is_numpys(tmp_path, rule):
    found, code, out = fuzzy(tmp_path, [write(tmp_path / "a.tif", A)], [rule], "--memberships", str(tmp_path / "m"))
    assert code == 0, found
    expected = np.where(np.isnan(A), np.nan, MEMBERSHIPS[rule]).astype(np.float32)
    np.testing.assert_allclose(read(out), expected, rtol=1e-6, atol=1e-7)
    np.testing.assert_array_equal(read(tmp_path / "m" / "a.tif"), read(out))
    assert found["results"]["inputs"][0]["min"] == -1 and found["results"]["inputs"][0]["max"] == 10


def test_operators_and_gamma_are_numpys(tmp_path):
    inputs = [write(tmp_path / "a.tif", A), write(tmp_path / "b.tif", B), write(tmp_path / "c.tif", C)]
    rules = ["linear:0,10", "as-is", "classes:1=0.2,2=0.6,3=0.9"]
    classes = np.select([C == 1, C == 2, C == 3], [0.2, 0.6, 0.9], np.nan)
    m = np.stack([np.clip(A / 10, 0, 1), B, classes])
    product, total = m.prod(axis=0), 1 - (1 - m).prod(axis=0)
    expected = {"and": m.min(axis=0), "or": m.max(axis=0), "product": product, "sum": total}
    for g in (0, 0.3, 0.9, 1):
        expected[f"gamma {g}"] = total**g * product ** (1 - g)
    for name, values in expected.items():
        op, _, g = name.partition(" ")
        found, code, out = fuzzy(tmp_path, inputs, rules, "--operator", op, "--gamma", g or "0")
        assert code == 0, found
        # No data in any input (A's NaN, B's NaN, C's unlisted class 4) is no data.
        np.testing.assert_allclose(read(out), values.astype(np.float32), rtol=1e-6, atol=1e-7, err_msg=name)
        assert found["results"]["operator"] == op
    np.testing.assert_allclose(read(tmp_path / "out.tif"), total.astype(np.float32), rtol=1e-6)  # gamma 1
    assert found["results"]["inputs"][2]["parameters"] == {"values": {"1": 0.2, "2": 0.6, "3": 0.9}}


@pytest.mark.parametrize("rules, options, cause", [
    (["linear:3,3"], [], "LOW and HIGH must differ"),
    (["large:0"], [], "MID must be above 0"),
    (["small:-2,3"], [], "MID must be above 0"),
    (["gaussian:1,0"], [], "SPREAD must be above 0"),
    (["large:1,x"], [], "'x' is not a finite number"),
    (["linear:0,1"], ["--operator", "gamma", "--gamma", "1.5"], "gamma must lie in 0..1"),
    (["as-is"], [], "row 0, column 2 holds 2"),
    (["linear:0,1", "as-is"], [], "2 memberships for 1 inputs"),
])
def test_refusals_name_the_cause_and_write_nothing(tmp_path, rules, options, cause):
    found, code, out = fuzzy(tmp_path, [write(tmp_path / "a.tif", A)], rules, *options)
    assert code == 1 and not found["ok"] and cause in found["cause"], found
    assert not out.exists()


def test_inputs_on_other_grids_are_refused(tmp_path):
    found, code, out = fuzzy(tmp_path, [write(tmp_path / "a.tif", A), write(tmp_path / "b.tif", A[:2])],
                             ["as-is", "as-is"])
    assert code == 1 and "b.tif" in found["cause"] and not out.exists()


def test_the_workflow_gives_the_commands_overlay(tmp_path):
    inputs = [write(tmp_path / "a.tif", A), write(tmp_path / "b.tif", B)]
    (tmp_path / "deposits.csv").write_text("x,y\n500150,7000650\n500350,7000550\n500250,7000450\n")
    (tmp_path / "w.toml").write_text(
        'output = "out"\n[[layers]]\nname = "a"\nraster = "a.tif"\n[[layers]]\nname = "b"\nraster = "b.tif"\n'
        '[deposits]\npath = "deposits.csv"\n[fuzzy]\noperator = "gamma"\ngamma = 0.7\n'
        '[[fuzzy.inputs]]\nlayer = "a"\nmembership = "large"\nmidpoint = 4\nspread = 2\n'
        '[[fuzzy.inputs]]\nlayer = "b"\n')
    run = subprocess.run([host(), "run", str(tmp_path / "w.toml")], capture_output=True, text=True)
    assert run.returncode == 0, run.stdout + run.stderr
    found, code, out = fuzzy(tmp_path, inputs, ["large:4,2", "as-is"], "--operator", "gamma", "--gamma", "0.7",
                             "--deposits", str(tmp_path / "deposits.csv"))
    assert code == 0, found
    np.testing.assert_array_equal(read(tmp_path / "out" / "fuzzy" / "overlay.tif"), read(out))
    summary = json.loads((tmp_path / "out" / "summary.json").read_text())
    assert summary["fuzzy"]["results"]["inputs"][0]["parameters"] == {"midpoint": 4, "spread": 2}
    assert summary["validation"]["fuzzy"]["roc"]["auc"] == found["results"]["validation"]["roc"]["auc"]
    assert "a membership (large:4,2)" in (tmp_path / "out" / "report.html").read_text()


def test_the_workflow_refuses_a_bad_membership_before_writing(tmp_path):
    write(tmp_path / "a.tif", A)
    (tmp_path / "w.toml").write_text(
        'output = "out"\n[[layers]]\nname = "a"\nraster = "a.tif"\n[fuzzy]\n'
        '[[fuzzy.inputs]]\nlayer = "a"\nmembership = "linear"\nlow = 2\nhigh = 2\n')
    run = subprocess.run([host(), "run", str(tmp_path / "w.toml")], capture_output=True, text=True)
    assert run.returncode == 1 and "w.toml:6: fuzzy.inputs[1].membership:" in run.stderr, run.stderr
    assert "LOW and HIGH must differ" in run.stderr and not (tmp_path / "out").exists()


def test_python_gives_the_commands_memberships_and_overlay(tmp_path):
    import quarnel

    a = quarnel.fuzzy.membership(A, "large", midpoint=4, spread=2)
    b = quarnel.fuzzy.membership(np.where(np.isnan(B), -9999, B), nodata=-9999)
    c = quarnel.fuzzy.membership(C, "classes", values={1: 0.2, 2: 0.6, 3: 0.9})
    # A whole rule as the host spells it is the same membership (the QGIS plugin passes rules so).
    np.testing.assert_array_equal(quarnel.fuzzy.membership(A, "large:4,2"), a)
    with pytest.raises(ValueError, match="whole rule"):
        quarnel.fuzzy.membership(A, "large:4,2", midpoint=3)
    inputs = [write(tmp_path / n, v) for n, v in (("a.tif", A), ("b.tif", B), ("c.tif", C))]
    found, code, out = fuzzy(tmp_path, inputs, ["large:4,2", "as-is", "classes:1=0.2,2=0.6,3=0.9"],
                             "--operator", "gamma", "--memberships", str(tmp_path / "m"))
    assert code == 0, found
    for name, grid in (("a", a), ("b", np.where(b == -9999, np.nan, b)), ("c", c)):
        np.testing.assert_array_equal(read(tmp_path / "m" / f"{name}.tif"), grid.astype(np.float32))
    expected = quarnel.fuzzy.overlay([a, np.where(b == -9999, np.nan, b), c], "gamma")  # the default 0.9
    np.testing.assert_array_equal(read(out), expected.astype(np.float32))
    with pytest.raises(ValueError, match="gamma: must lie between 0 and 1"):
        quarnel.fuzzy.overlay([a], "gamma", 2)
    with pytest.raises(ValueError, match="row 0, column 2 holds 2"):
        quarnel.fuzzy.membership(A)
    with pytest.raises(ValueError, match="LOW and HIGH must differ"):
        quarnel.fuzzy.membership(A, "linear", low=1, high=1)
