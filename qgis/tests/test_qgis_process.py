"""The plugin as a user runs it headless: `qgis_process list` and `qgis_process run quarnel:...` on
the Cloncurry evidence, each result equal to the same calls made through Python, on its input's
frame (GDAL's oracle) and with its style saved beside it."""

import json
import os
import subprocess
from xml.etree import ElementTree

import geopandas
import numpy as np
import pytest
from osgeo import gdal

import quarnel

# Debian's /usr/bin/qgis_process wrapper adds --noversioncheck, which qgis_process 3.22 refuses.
QGIS_PROCESS = "/usr/bin/qgis_process.bin"
# The profile the plugin was installed and enabled in (scripts/test-qgis.sh).
PROFILE = os.environ["QUARNEL_QGIS_PROFILE"]


def qgis_process(*arguments):
    environment = {**os.environ, "QGIS_CUSTOM_CONFIG_PATH": PROFILE}
    done = subprocess.run([QGIS_PROCESS, *arguments], capture_output=True, text=True, timeout=300, env=environment)
    assert done.returncode == 0, done.stdout + done.stderr
    return done.stdout


def run(algorithm, **parameters):
    """The algorithm's results (qgis_process run --json); a list value repeats its parameter."""
    arguments = [f"--{key}={v}" for key, value in parameters.items()
                 for v in (value if isinstance(value, list) else [value])]
    text = qgis_process("--json", "run", f"quarnel:{algorithm}", *arguments)
    return json.loads(text[text.index("{"):])["results"]


def values_of(path):
    """A raster's band 1 through GDAL, and its frame (geotransform, CRS as WKT)."""
    dataset = gdal.Open(path)
    return dataset.GetRasterBand(1).ReadAsArray(), (dataset.GetGeoTransform(), dataset.GetProjection())


def assert_same_raster(path, expected, template, style_word):
    values, frame = values_of(path)
    np.testing.assert_array_equal(values, np.asarray(expected))
    assert frame == values_of(template)[1]  # the input's CRS and extent are kept
    with open(os.path.splitext(path)[0] + ".qml", encoding="utf-8") as style:
        assert style_word in style.read()


def test_list_shows_every_algorithm():
    from quarnel_qgis import methods, tools

    listed = qgis_process("list")
    expected = [a.ID for a in methods.ALGORITHMS] + [a.ID for a in tools.tool_algorithms()]
    if os.environ.get("QUARNEL_HOST"):
        assert "samples" in expected and "align" in expected
    missing = [name for name in expected if f"quarnel:{name}" not in listed]
    assert not missing, listed


@pytest.fixture(scope="module")
def deposits(cloncurry):
    return geopandas.read_file(cloncurry["deposits"])


def test_normalise_equals_quarnel_normalize(cloncurry, tmp_path):
    output = str(tmp_path / "normalised.tif")
    run("normalise", INPUT=cloncurry["Dist2Breccia"], OUTPUT=output)
    expected = quarnel.normalize(quarnel.open_raster(cloncurry["Dist2Breccia"]))
    assert_same_raster(output, expected.values, cloncurry["Dist2Breccia"], "#440154")  # viridis' first colour


def test_hierarchy_equals_quarnel_hierarchy(cloncurry, tmp_path):
    output, weights = str(tmp_path / "prospectivity.tif"), str(tmp_path / "weights.html")
    run("hierarchy", GEOLOGY_LAYERS=[cloncurry["StratNo"], cloncurry["Dist2Breccia"]], GEOLOGY_IMPORTANCE=3,
        GEOLOGY_ELEMENTS="2,3", GEOPHYSICS_LAYERS=[cloncurry["FaultDensity"], cloncurry["Dist2Fault"]],
        GEOPHYSICS_IMPORTANCE=2, GEOPHYSICS_ELEMENTS="2,1", OUTPUT=output, WEIGHTS=weights)
    w = quarnel.hierarchy.weights(geology=(3, [2, 3]), geophysics=(2, [2, 1]))
    stack = [quarnel.open_raster(cloncurry[n]) for n in ("StratNo", "Dist2Breccia", "FaultDensity", "Dist2Fault")]
    assert_same_raster(output, quarnel.hierarchy.predict(stack, w.element_weights).values, cloncurry["StratNo"],
                       "#440154")
    with open(weights, encoding="utf-8") as page:
        assert f"{w.element_weights[1]:.4f}" in page.read()


def test_feature_equals_quarnel_feature(cloncurry, deposits, tmp_path):
    names = ("Dist2Breccia", "Dist2Fault", "FaultDensity", "StratNo")
    output = str(tmp_path / "score.tif")
    run("feature", LAYERS=[cloncurry[n] for n in names], DEPOSITS=cloncurry["deposits"], LOWER="1", UPPER="2",
        METHOD=0, MODEL_UNITS="true", OUTPUT=output, WEIGHTS=str(tmp_path / "w.html"))
    stack = [quarnel.open_raster(cloncurry[n]) for n in names]
    valid = np.all([s.values != s.rio.nodata for s in stack], axis=0)
    cells = quarnel.deposits_to_cells(deposits, stack[0])
    cells, sizes = np.unique(cells[valid[cells[:, 0], cells[:, 1]]], axis=0, return_counts=True)
    analysis = quarnel.feature.analyse(stack, [1] * 4, [2] * 4, method=0, units=np.column_stack([cells, sizes]))
    assert len(cells) >= 10
    assert_same_raster(output, analysis.scores.values, cloncurry["StratNo"], "#440154")


def test_bp_equals_quarnel_train_and_classify(cloncurry, deposits, tmp_path):
    from quarnel_qgis.methods import background_cells, running_scaled

    names = ("Dist2Breccia", "FaultDensity", "StratNo")
    classes, network = str(tmp_path / "classes.tif"), str(tmp_path / "network.txt")
    results = run("bpnetwork", LAYERS=[cloncurry[n] for n in names], DEPOSITS=cloncurry["deposits"], HIDDEN=4,
                  MAX_ITERATIONS=200, SEED=7, MIN_DISTANCE=500, CLASSES=classes, NETWORK=network)
    stack = [quarnel.open_raster(cloncurry[n]) for n in names]
    valid = np.all([s.values != s.rio.nodata for s in stack], axis=0)
    points = np.column_stack([deposits.geometry.x, deposits.geometry.y])
    cells = quarnel.deposits_to_cells(deposits, stack[0])
    cells = np.unique(cells[valid[cells[:, 0], cells[:, 1]]], axis=0)
    background = background_cells(valid, cells, points, stack[0], len(cells), 7, 500.0)
    # Background cells hold data, no deposit, and lie 500 m or more from every deposit.
    x, y = stack[0].x.values[background[:, 1]], stack[0].y.values[background[:, 0]]
    assert np.hypot(x[:, None] - points[:, 0], y[:, None] - points[:, 1]).min() >= 500
    chosen = np.concatenate([cells, background])
    samples = np.stack([b[chosen[:, 0], chosen[:, 1]] for b in running_scaled(stack, valid)], axis=1)
    trained = quarnel.train(samples, np.repeat([1, 0], len(cells)), 4, 200, 0.01, 7)
    assert results["EPOCHS"] == trained.summary.epochs
    assert_same_raster(classes, trained.classify(stack).values, cloncurry["StratNo"], "paletteEntry")
    entries = ElementTree.parse(os.path.splitext(classes)[0] + ".qml").iter("paletteEntry")
    assert {e.get("value"): e.get("alpha") for e in entries} == {"1": "0", "2": "255", "3": "255"}  # 1: no data
    assert quarnel.Network.load(network).weight_input_hidden == pytest.approx(trained.weight_input_hidden, abs=1e-5)


def test_evaluate_equals_quarnel_evaluate(cloncurry, deposits, tmp_path):
    roc, map_path = str(tmp_path / "roc.csv"), str(tmp_path / "sum.tif")
    # A map of several values: the sum of three evidence maps, their no-data 3 summed as any value.
    grid = sum(quarnel.open_raster(cloncurry[n]).astype(np.int16) for n in ("Dist2Breccia", "FaultDensity", "StratNo"))
    grid.rio.write_nodata(None).rio.to_raster(map_path)
    split = {"HOLDOUT": 0.3, "SEED": 11} if os.environ.get("QUARNEL_HOST") else {}
    results = run("evaluate", MAP=map_path, DEPOSITS=cloncurry["deposits"], CLASSES="true",
                  ROC=roc, REPORT=str(tmp_path / "evaluation.html"), **split)
    grid = quarnel.open_raster(map_path)
    expected = quarnel.evaluate.evaluate(grid, quarnel.deposits_to_cells(deposits, grid))
    assert results["AUC"] == pytest.approx(expected.roc.auc, abs=1e-12)
    assert results["SUCCESS_AREA"] == pytest.approx(expected.success_rate.area, abs=1e-12)
    np.testing.assert_allclose(np.loadtxt(roc, delimiter=",", skiprows=1), expected.roc.points, atol=1e-12)
    if split:  # the deposits the host keeps back, as it lists them, evaluated through Python
        listed = subprocess.run([os.environ["QUARNEL_HOST"], "evaluate", map_path,
                                 cloncurry["deposits"], "--holdout", "0.3", "--seed", "11", "--json"],
                                capture_output=True, text=True, check=True).stdout
        held = deposits.iloc[json.loads(listed)["results"]["holdout"]["held_out_deposits"]]
        area = quarnel.evaluate.evaluate(grid, quarnel.deposits_to_cells(held, grid)).success_rate.area
        assert results["PREDICTION_AREA"] == pytest.approx(area, abs=1e-12) and area != expected.success_rate.area
