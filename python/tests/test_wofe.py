"""quarnel.wofe against the host's `quarnel wofe --json` on the Cloncurry 100 m maps: the same
weights tables, posterior, independence test and pairwise chi-squares; rules re-generalise."""

import json
import subprocess
from pathlib import Path

import numpy as np
import pytest
from osgeo import gdal

import quarnel
from quarnel import _core

HOST = Path(_core.__file__).resolve().parents[2] / "quarnel"
DATA = Path(__file__).resolve().parents[2] / "examples" / "cloncurry-100m"
NAMES = ["Dist2Breccia", "Dist2Fault", "FaultDensity", "StratNo"]
needs_host = pytest.mark.skipif(not HOST.exists(), reason="no quarnel host beside this build of the module")


def read(path):
    ds = gdal.Open(str(path))
    band = ds.GetRasterBand(1)
    values = band.ReadAsArray().astype(np.float64)
    if band.GetNoDataValue() is not None:
        values[values == band.GetNoDataValue()] = np.nan
    return values


@pytest.fixture(scope="module")
def cloncurry():
    ds = gdal.Open(str(DATA / "Dist2Breccia.tif"))
    t = ds.GetGeoTransform()
    points = gdal.OpenEx(str(DATA / "IOCG_Deposits.shp"), gdal.OF_VECTOR)
    cells = []
    for feature in points.GetLayer():
        x, y = feature.GetGeometryRef().GetX(), feature.GetGeometryRef().GetY()
        cells.append((int(np.floor((t[3] - y) / -t[5])), int(np.floor((x - t[0]) / t[1]))))
    layers = [quarnel.wofe.classes_of(read(DATA / f"{n}.tif")) for n in NAMES]
    return layers, np.array(cells), t[1] * -t[5] / 1e6


@needs_host
def test_python_gives_the_hosts_tables_posterior_and_tests(cloncurry, tmp_path):
    layers, deposits, cell_km2 = cloncurry
    done = subprocess.run([str(HOST), "wofe", *[str(DATA / f"{n}.tif") for n in NAMES], "--deposits",
                           str(DATA / "IOCG_Deposits.shp"), "-o", str(tmp_path), "--json"],
                          capture_output=True, text=True)
    host = json.loads(done.stdout)["results"]
    study = quarnel.wofe.study_area(layers)
    weighed = [quarnel.wofe.weights(v, deposits, study=study, cell_units=cell_km2, name=n)
               for v, n in zip(layers, NAMES)]
    for mine, theirs in zip(weighed, host["layers"]):
        assert mine.generalization == theirs["generalization"]
        for a, b in zip(mine.classes, theirs["classes"]):
            assert a.keys() == b.keys()
            for key in a:
                assert a[key] == pytest.approx(b[key], rel=1e-12), key
    found = quarnel.wofe.posterior(weighed, layers, deposits, cell_units=cell_km2)
    assert found.prior_probability == pytest.approx(host["prior"]["probability"], rel=1e-12)
    written = read(tmp_path / "posterior.tif")
    assert np.array_equal(np.isnan(written), np.isnan(found.probability))
    assert np.allclose(written[~np.isnan(written)], found.probability[~np.isnan(written)], rtol=1e-6)
    test = quarnel.wofe.independence(found)
    for key, value in host["conditional_independence"].items():
        if key == "pairwise":
            for a, b in zip(test[key], value):
                assert a["a"] == b["a"] and a["chi_square"] == pytest.approx(b["chi_square"], rel=1e-12)
        else:
            assert test[key] == pytest.approx(value, rel=1e-9), key


def test_rules_generalise_again_and_refusals_are_value_errors(cloncurry):
    layers, deposits, _ = cloncurry
    # Breccia: class 2 (near breccia) is favourable, so the descending row 2 is chosen.
    layer = quarnel.wofe.weights(layers[0], deposits, type="descending")
    assert layer.generalization["row"] == 2 and layer.generalization["ok"]
    assert [r["generalized_class"] for r in layer.classes] == [1, 2]
    # Row 1 of a descending layer holds every deposit: no contrast, so value:1 fails.
    again = quarnel.wofe.generalize(layer, "value:1")
    assert not again.generalization["ok"] and "no contrast" in again.generalization["reason"]
    # Ascending, row 1 (class 1 alone) has a negative contrast: significant by no rule but the
    # largest studentised contrast.
    rising = quarnel.wofe.weights(layers[0], deposits, type="ascending")
    assert not rising.generalization["ok"] and "reaches 2" in rising.generalization["reason"]
    assert quarnel.wofe.generalize(rising, "max-studentized").generalization["row"] == 1
    with pytest.raises(ValueError, match="fill"):
        quarnel.wofe.weights(layers[0], deposits, cell_units=1e-6)
    with pytest.raises(ValueError, match="no integer class"):
        quarnel.wofe.classes_of(np.array([[0.5, 1.0]]))


def test_dask_equals_the_in_memory_results_whatever_the_chunks(cloncurry):
    da = pytest.importorskip("dask.array")
    from quarnel import dask as qdask

    layers, deposits, cell_km2 = cloncurry
    crop = [v[600:1500, :700].copy() for v in layers]
    deposits = deposits - [600, 0]  # those off the crop are left out
    crop[3][:50, :50] = np.nan  # no data in one layer only
    study = quarnel.wofe.study_area(crop)
    types = ["descending", "categorical", "descending", "ascending"]
    rules = ["max-studentized", "max-significant-contrast", "max-studentized", "value:1"]
    memory = [quarnel.wofe.weights(v, deposits, study=study, type=t, generalize=r, cell_units=cell_km2, name=n)
              for v, t, r, n in zip(crop, types, rules, NAMES)]
    chunked = [qdask.wofe_weights(da.from_array(v, chunks=(250, 300)), deposits, study=study, type=t, generalize=r,
                                  cell_units=cell_km2, name=n) for v, t, r, n in zip(crop, types, rules, NAMES)]
    for a, b in zip(memory, chunked):
        assert a.classes == b.classes and a.generalization == b.generalization
    found = quarnel.wofe.posterior(memory, crop, deposits, cell_units=cell_km2)
    lazy = qdask.wofe_posterior(chunked, [da.from_array(v, chunks=(200, 350)) for v in crop], deposits,
                                cell_units=cell_km2)
    assert np.array_equal(lazy.probability.compute(), found.probability, equal_nan=True)
    assert np.array_equal(lazy.std.compute(), found.std, equal_nan=True)
    near, far = quarnel.wofe.independence(found), quarnel.wofe.independence(lazy)
    assert far["pairwise"] == near["pairwise"]
    for key in ("expected", "std", "z", "p", "ratio"):
        assert far[key] == pytest.approx(near[key], rel=1e-12)
