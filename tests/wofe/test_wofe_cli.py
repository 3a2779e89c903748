"""quarnel wofe against numpy: the weights, the generalisation rules, the posterior and its
variance and the independence tests computed here from their formulas on generated rasters."""
import itertools
import json
import math
import os
import subprocess

import numpy as np
import pytest
from osgeo import gdal, osr

QUARNEL = os.environ["QUARNEL"]
ROWS, COLS = 40, 50
NODATA = -9999.0


def write_raster(path, values, epsg=32754, cell=1000.0):
    ds = gdal.GetDriverByName("GTiff").Create(str(path), COLS, ROWS, 1, gdal.GDT_Float32)
    ds.SetGeoTransform((500000.0, cell, 0, 7000000.0, 0, -cell))
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(epsg)
    ds.SetProjection(srs.ExportToWkt())
    band = ds.GetRasterBand(1)
    band.SetNoDataValue(NODATA)
    band.WriteArray(np.where(np.isnan(values), NODATA, values))
    ds = None


@pytest.fixture(scope="module")
def data(tmp_path_factory):
    """Three layers: A categorical 1..4 with class 0 unknown and a no-data corner, B classes
    1..5, C continuous (classed by breaks); deposits drawn favouring A=2, B<=2 and high C, several
    sharing cells, one outside the grid and one on no data."""
    folder = tmp_path_factory.mktemp("wofe")
    rng = np.random.default_rng(5)
    a = rng.integers(1, 5, (ROWS, COLS)).astype(float)
    a[rng.random((ROWS, COLS)) < 0.05] = 0
    a[:3, :4] = np.nan
    b = rng.integers(1, 6, (ROWS, COLS)).astype(float)
    c = rng.random((ROWS, COLS))
    weight = np.exp(1.2 * (a == 2) + 1.0 * (b <= 2) + 1.5 * (c > 0.6))
    weight[np.isnan(a)] = 0
    cells = rng.choice(ROWS * COLS, 70, replace=False, p=(weight / weight.sum()).ravel())
    cells = np.concatenate([cells, cells[:6]])  # second deposits in six cells
    rows, cols = cells // COLS, cells % COLS
    xs = 500000.0 + (cols + 0.5) * 1000.0
    ys = 7000000.0 - (rows + 0.5) * 1000.0
    lines = ["x,y"] + [f"{x},{y}" for x, y in zip(xs, ys)]
    lines += ["400000,7000000", f"{500000 + 500},{7000000 - 500}"]  # outside; on A's no data
    (folder / "deposits.csv").write_text("\n".join(lines) + "\n")
    for name, values in (("A", a), ("B", b), ("C", c)):
        write_raster(folder / f"{name}.tif", values)
    mask = np.ones((ROWS, COLS))
    mask[:, -5:] = 0
    write_raster(folder / "mask.tif", mask)
    counts = np.zeros(ROWS * COLS)
    np.add.at(counts, cells, 1)
    return {"folder": folder, "A": a, "B": b, "C": np.digitize(c, [0.3, 0.6]) + 1.0,
            "counts": counts.reshape(ROWS, COLS), "mask": mask}


def run(data, *options, ok=True, out=None):
    f = data["folder"]
    out = out or f / ("out_" + str(abs(hash(options))))
    args = [QUARNEL, "wofe", str(f / "A.tif"), str(f / "B.tif"), str(f / "C.tif"), "--deposits",
            str(f / "deposits.csv"), "-o", str(out), "--breaks", "C=0.3,0.6", "--json", *options]
    done = subprocess.run(args, capture_output=True, text=True)
    result = json.loads(done.stdout)
    assert result["ok"] == ok, result
    assert done.returncode == (0 if ok else 1)
    return result, out


def weigh(b, d, S, N):
    w = {"w_plus": None, "s_w_plus": None, "w_minus": None, "s_w_minus": None, "contrast": None,
         "s_contrast": None, "studentized_contrast": None}
    if d > 0:
        w["w_plus"] = math.log((d / N) / ((b - d) / (S - N)))
        w["s_w_plus"] = math.sqrt(1 / d + 1 / (b - d))
    if d < N:
        w["w_minus"] = math.log(((N - d) / N) / ((S - b - N + d) / (S - N)))
        w["s_w_minus"] = math.sqrt(1 / (N - d) + 1 / (S - b - N + d))
    if d > 0 and d < N:
        w["contrast"] = w["w_plus"] - w["w_minus"]
        w["s_contrast"] = math.hypot(w["s_w_plus"], w["s_w_minus"])
        w["studentized_contrast"] = w["contrast"] / w["s_contrast"]
    return w


class Oracle:
    """The model from the formulas: per layer its table, its generalised classes and each
    cell's class index (-1 unknown)."""

    def __init__(self, data, types, rules, z, missing, unit, count_cells, mask=False):
        layers = [data["A"], data["B"], data["C"]]
        self.study = np.all([~np.isnan(v) for v in layers], axis=0)
        if mask:
            self.study &= data["mask"] != 0
        deposits = data["counts"] * self.study
        self.deposits = np.minimum(deposits, 1) if count_cells else deposits
        self.unit = unit
        self.n = self.deposits.sum()
        self.area = self.study.sum() * unit
        self.layers = []
        for values, kind, rule, miss in zip(layers, types, rules, missing):
            self.layers.append(self.weigh_layer(values, kind, rule, z, miss))

    def weigh_layer(self, values, kind, rule, z, missing):
        known = self.study & (values != missing)
        classes = sorted(set(values[known].astype(int)))
        own = [((values == k) & known).sum() * self.unit for k in classes]
        dep = [self.deposits[(values == k) & known].sum() for k in classes]
        S, N = sum(own), sum(dep)
        if kind == "ascending":
            b, d = np.cumsum(own), np.cumsum(dep)
        elif kind == "descending":
            b, d = np.cumsum(own[::-1])[::-1], np.cumsum(dep[::-1])[::-1]
        else:
            b, d = own, dep
        rows = [dict(weigh(b[i], d[i], S, N), **{"class": k, "area_units": b[i], "deposits": d[i]})
                for i, k in enumerate(classes)]
        general = {}  # class -> (weight, std, area)
        if kind == "categorical":
            pooled = [i for i, r in enumerate(rows) if rule != "none" and
                      (r["studentized_contrast"] is None or abs(r["studentized_contrast"]) < z)]
            for i, r in enumerate(rows):
                if i not in pooled:
                    general[r["class"]] = (r["w_plus"], r["s_w_plus"], own[i], r["class"])
            if pooled:
                pb, pd = sum(own[i] for i in pooled), sum(dep[i] for i in pooled)
                w = weigh(pb, pd, S, N)
                for i in pooled:
                    general[classes[i]] = (w["w_plus"], w["s_w_plus"], pb, classes[pooled[0]])
            chosen = None
        else:
            ok = [i for i, r in enumerate(rows) if r["contrast"] is not None]
            if rule == "max-contrast":
                chosen = max(ok, key=lambda i: rows[i]["contrast"])
            elif rule == "max-significant-contrast":
                chosen = max((i for i in ok if rows[i]["studentized_contrast"] >= z),
                             key=lambda i: rows[i]["contrast"])
            elif rule == "max-studentized":
                chosen = max(ok, key=lambda i: rows[i]["studentized_contrast"])
            else:
                chosen = classes.index(int(rule.split(":")[1]))
            r = rows[chosen]
            for i, k in enumerate(classes):
                up = i <= chosen if kind == "ascending" else i >= chosen
                general[k] = ((r["w_plus"], r["s_w_plus"], b[chosen], 2) if up else
                              (r["w_minus"], r["s_w_minus"], S - b[chosen], 1))
        for i, r in enumerate(rows):
            r["weight"], r["weight_std"], _, r["generalized_class"] = general[classes[i]]
        ids = sorted({g[3] for g in general.values()}, reverse=kind != "categorical")
        table = [next(g for g in general.values() if g[3] == i) for i in ids]
        index = np.full(values.shape, -1)
        for k in classes:
            index[known & (values == k)] = ids.index(general[k][3])
        return {"rows": rows, "S": S, "N": N, "classes": table, "index": index,
                "row": classes[chosen] if chosen is not None else None}

    def posterior(self, cell_classes):
        prior = math.log(self.n / (self.area - self.n))
        logit, var = prior, 1 / self.n
        for layer, k in zip(self.layers, cell_classes):
            if k >= 0:
                logit += layer["classes"][k][0]
                var += layer["classes"][k][1] ** 2
        p = 1 / (1 + math.exp(-logit))
        total = p * p * var
        for layer, k in zip(self.layers, cell_classes):
            if k < 0:
                for w, _, area, _ in layer["classes"]:
                    pk = 1 / (1 + math.exp(-(logit + w)))
                    total += (pk - p) ** 2 * area / layer["S"]
        return p, math.sqrt(total)


def check_tables(result, oracle, names=("A", "B", "C")):
    assert result["prior"]["probability"] == pytest.approx(oracle.n / oracle.area, rel=1e-12)
    assert result["study_area_units"] == pytest.approx(oracle.area)
    assert result["deposits"]["counted"] == oracle.n
    for got, want, name in zip(result["layers"], oracle.layers, names):
        assert got["name"] == name
        assert got["generalization"]["ok"]
        assert got["generalization"]["row"] == want["row"]
        assert len(got["classes"]) == len(want["rows"])
        for g, w in zip(got["classes"], want["rows"]):
            for key, value in w.items():
                if value is None:
                    assert g[key] is None, (name, key)
                else:
                    assert g[key] == pytest.approx(value, rel=1e-9, abs=1e-12), (name, g["class"], key)


def read(path):
    ds = gdal.Open(str(path))
    band = ds.GetRasterBand(1)
    values = band.ReadAsArray().astype(float)
    values[values == band.GetNoDataValue()] = np.nan
    return values


def check_posterior(result, out, oracle):
    p, s = read(out / "posterior.tif"), read(out / "posterior_std.tif")
    conditions = {}
    for r, c in itertools.product(range(ROWS), range(COLS)):
        if not oracle.study[r, c]:
            assert np.isnan(p[r, c])
            continue
        key = tuple(layer["index"][r, c] for layer in oracle.layers)
        want = oracle.posterior(key)
        assert p[r, c] == pytest.approx(want[0], rel=1e-6)
        assert s[r, c] == pytest.approx(want[1], rel=1e-6)
        conditions.setdefault(key, [want, 0])[1] += oracle.unit
    T = sum(pp * area for (pp, _), area in conditions.values())
    sT = math.sqrt(sum((area * ss) ** 2 for (_, ss), area in conditions.values()))
    ci = result["conditional_independence"]
    assert ci["expected"] == pytest.approx(T, rel=1e-9)
    assert ci["std"] == pytest.approx(sT, rel=1e-9)
    assert ci["z"] == pytest.approx((T - oracle.n) / sT, rel=1e-9)
    assert ci["p"] == pytest.approx(0.5 * math.erfc((T - oracle.n) / sT / math.sqrt(2)), rel=1e-9)
    assert ci["ratio"] == pytest.approx(oracle.n / T, rel=1e-9)


def chi_squares(oracle, data, count_cells):
    """The 2 x 2 deposit tables of the binary layers, from every deposit counted."""
    binary = [i for i, layer in enumerate(oracle.layers) if len(layer["classes"]) == 2]
    found = {}
    for i, j in itertools.combinations(binary, 2):
        t = np.zeros((2, 2))
        for r, c in zip(*np.nonzero(oracle.deposits)):
            ki, kj = oracle.layers[i]["index"][r, c], oracle.layers[j]["index"][r, c]
            if ki >= 0 and kj >= 0:
                t[ki, kj] += oracle.deposits[r, c]
        e = t.sum(1, keepdims=True) * t.sum(0, keepdims=True) / t.sum()
        found[(i, j)] = ((t - e) ** 2 / e).sum()
    return found


CASES = {
    "default": ([], ("categorical", "ascending", "descending"),
                ("max-significant-contrast",) * 3, 2.0, (0, None, None), 1.0, False),
    "cells-quarter-km2-rules": (["--count", "cells", "--unit-area", "0.25", "--min-studentized", "1",
                                 "--generalize", "none,max-contrast,max-studentized"],
                                ("categorical", "ascending", "descending"),
                                ("none", "max-contrast", "max-studentized"), 1.0, (0, None, None), 4.0, True),
    "unit-cell-value": (["--unit-area", "cell", "--generalize", "none,value:3,value:2", "--type",
                         "categorical,descending,ascending"],
                        ("categorical", "descending", "ascending"),
                        ("none", "value:3", "value:2"), 2.0, (0, None, None), 1.0, False),
}


@pytest.mark.parametrize("case", CASES)
def test_tables_posterior_and_independence_are_the_formulas(data, case):
    options, types, rules, z, missing, unit, cells = CASES[case]
    options = list(options) + ["--missing", "0,,"]
    if "--type" not in options:
        options += ["--type", ",".join(types)]
    result, out = run(data, *options)
    oracle = Oracle(data, types, rules, z, missing, unit, cells)
    r = result["results"]
    check_tables(r, oracle)
    check_posterior(r, out, oracle)
    pairs = {(p["a"], p["b"]): p["chi_square"] for p in r["conditional_independence"]["pairwise"]}
    for (i, j), chi in chi_squares(oracle, data, cells).items():
        assert pairs["ABC"[i], "ABC"[j]] == pytest.approx(chi, rel=1e-9)
    assert r["deposits"]["read"] == 78 and r["deposits"]["outside"] == 1
    assert r["unit_area_km2"] == (0.25 if unit == 4 else 1.0)
    assert 0 < r["validation"]["roc"]["auc"] < 1


def test_missing_cells_and_the_mask(data):
    result, out = run(data, "--missing", "0,,", "--type", "categorical,ascending,descending", "--mask",
                      str(data["folder"] / "mask.tif"))
    oracle = Oracle(data, ("categorical", "ascending", "descending"), ("max-significant-contrast",) * 3, 2.0,
                    (0, None, None), 1.0, False, mask=True)
    check_tables(result["results"], oracle)
    check_posterior(result["results"], out, oracle)
    # Every deposit off the study area is told: the no-data one and those under the mask's 0.
    d = result["results"]["deposits"]
    assert d["on_no_data"] == 78 - 1 - d["counted"]
    assert d["on_no_data"] >= 1
    assert any(m["class"] == 0 for m in result["results"]["layers"][0]["missing"])


def test_integer_rasters_count_as_their_float_copies(data):
    """Class rasters stored as integers (read as stored, no data by the band's value) give the
    same tables and maps as the same classes stored as Float32."""
    f = data["folder"]
    folder = f / "integers"
    folder.mkdir()
    for name, kind in (("A", gdal.GDT_Int16), ("B", gdal.GDT_Byte)):
        gdal.Translate(str(folder / f"{name}.tif"), str(f / f"{name}.tif"), outputType=kind)
    outputs = []
    for source in (f, folder):
        out = folder / ("out_" + source.name)
        args = [QUARNEL, "wofe", str(source / "A.tif"), str(source / "B.tif"), str(f / "C.tif"), "--deposits",
                str(f / "deposits.csv"), "-o", str(out), "--breaks", "C=0.3,0.6", "--missing", "0,,",
                "--mask", str(f / "mask.tif")]
        assert subprocess.run(args, capture_output=True, text=True).returncode == 0
        outputs.append(out)
    assert gdal.Open(str(folder / "A.tif")).GetRasterBand(1).GetNoDataValue() == NODATA
    for name in ("A", "B", "C"):
        assert (outputs[0] / "weights" / f"{name}.csv").read_bytes() == \
            (outputs[1] / "weights" / f"{name}.csv").read_bytes()
    for name in ("posterior", "posterior_std", "confidence"):
        a, b = (gdal.Open(str(o / f"{name}.tif")).ReadAsArray() for o in outputs)
        assert np.array_equal(a, b, equal_nan=True)


def test_refusals_name_the_cause_and_leave_no_posterior(data):
    f = data["folder"]
    # A continuous layer without breaks.
    done = subprocess.run([QUARNEL, "wofe", str(f / "C.tif"), "--deposits", str(f / "deposits.csv"), "-o",
                           str(f / "r1"), "--json"], capture_output=True, text=True)
    assert json.loads(done.stdout)["ok"] is False and "no integer class" in done.stdout
    assert not (f / "r1" / "posterior.tif").exists()
    # No row passing the rule: the tables are written, the posterior is not.
    result, out = run(data, "--type", "categorical,ascending,descending", "--min-studentized", "50", ok=False)
    assert "no generalisation" in result["cause"]
    assert (out / "weights" / "B.csv").exists() and not (out / "posterior.tif").exists()
    # Deposits that fill a class's unit cells.
    result, _ = run(data, "--unit-area", "1000", ok=False)
    assert "fill its area" in result["cause"]
    # More than 1000 classes, counted densely (0 .. 1000) or apart (negative values).
    for name, values in (("many.tif", np.arange(ROWS * COLS).reshape(ROWS, COLS) % 1001.0),
                         ("negative.tif", -np.arange(ROWS * COLS).reshape(ROWS, COLS) - 1.0)):
        write_raster(f / name, values)
        done = subprocess.run([QUARNEL, "wofe", str(f / name), "--deposits", str(f / "deposits.csv"), "-o",
                               str(f / "r4"), "--json"], capture_output=True, text=True)
        cause = json.loads(done.stdout)["cause"]
        assert cause.startswith(name[:-4] + ": ") and "at most 1000" in cause and not (f / "r4").exists()
    # A geographic CRS with km² units.
    write_raster(f / "geo.tif", data["A"], epsg=4326, cell=0.01)
    done = subprocess.run([QUARNEL, "wofe", str(f / "geo.tif"), "--deposits", str(f / "deposits.csv"), "-o",
                           str(f / "r2"), "--json"], capture_output=True, text=True)
    assert "projected CRS" in json.loads(done.stdout)["cause"]
    # An output over an input: the mask is the posterior the run would write.
    (f / "r3").mkdir()
    (f / "r3" / "posterior.tif").write_bytes((f / "mask.tif").read_bytes())
    result, _ = run(data, "--mask", str(f / "r3" / "posterior.tif"), out=f / "r3", ok=False)
    assert "overwrite the input" in result["cause"]
    assert (f / "r3" / "posterior.tif").read_bytes() == (f / "mask.tif").read_bytes()


def test_the_workflow_gives_the_commands_results(data):
    f = data["folder"]
    cli, out = run(data, "--missing", "0,,", "--type", "categorical,ascending,descending")
    (f / "run.toml").write_text(
        'output = "run"\n[deposits]\npath = "deposits.csv"\n'
        + "".join(f'[[layers]]\nname = "{n}"\nraster = "{n}.tif"\n' for n in "ABC")
        + '[wofe]\nunit_area = "1"\n'
        '[[wofe.evidence]]\nlayer = "A"\nmissing = 0\n'
        '[[wofe.evidence]]\nlayer = "B"\ntype = "ascending"\n'
        '[[wofe.evidence]]\nlayer = "C"\ntype = "descending"\nbreaks = "0.3,0.6"\n')
    done = subprocess.run([QUARNEL, "run", str(f / "run.toml")], capture_output=True, text=True)
    assert done.returncode == 0, done.stdout + done.stderr
    summary = json.loads((f / "run" / "summary.json").read_text())
    step = summary["wofe"]["results"]
    assert step["layers"] == cli["results"]["layers"]
    assert step["conditional_independence"] == cli["results"]["conditional_independence"]
    assert np.array_equal(read(f / "run" / "wofe" / "posterior.tif"), read(out / "posterior.tif"), equal_nan=True)
    assert summary["validation"]["wofe"]["roc"]["auc"] == cli["results"]["validation"]["roc"]["auc"]
    assert "Weights of evidence" in (f / "run" / "report.html").read_text()
