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

    from quarnel_qgis import models

    listed = qgis_process("list")
    expected = [a.ID for a in (*methods.ALGORITHMS, *models.ALGORITHMS)] + [a.ID for a in tools.tool_algorithms()]
    assert {"fuzzy", "wofe", "logistic", "bpnetwork"} <= set(expected)
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


def workflow_of(cloncurry, folder, names, method):
    """A workflow file running one method on the named layers (as they are) and the deposits."""
    layers = "".join(f'[[layers]]\nname = "{n}"\nraster = "{cloncurry[n]}"\n\n' for n in names)
    path = folder / f"{method}.toml"
    path.write_text(f'output = "{folder / "run"}"\n\n[deposits]\npath = "{cloncurry["deposits"]}"\n\n{layers}'
                    f"[{method}]\n")
    return path


def test_bp_equals_the_workflows_bp_and_the_python_calls(cloncurry, deposits, tmp_path):
    names = ("Dist2Breccia", "FaultDensity", "StratNo")
    classes, favourability = str(tmp_path / "classes.tif"), str(tmp_path / "favourability.tif")
    network = str(tmp_path / "network.txt")
    results = run("bpnetwork", LAYERS=[cloncurry[n] for n in names], DEPOSITS=cloncurry["deposits"],
                  BACKGROUND=200, MAX_ITERATIONS=50, SEED=7, CLASSES=classes, FAVOURABILITY=favourability,
                  NETWORK=network)
    stack = [quarnel.open_raster(cloncurry[n]) for n in names]
    trained = quarnel.bp.train_on_maps([cloncurry[n] for n in names], deposits, background=200, max_iterations=50,
                                       seed=7)
    assert results["EPOCHS"] == trained.summary.epochs == 50
    assert_same_raster(favourability, trained.favourability(stack).values, cloncurry["StratNo"], "#440154")
    assert_same_raster(classes, trained.classify(stack).values, cloncurry["StratNo"], "paletteEntry")
    entries = ElementTree.parse(os.path.splitext(classes)[0] + ".qml").iter("paletteEntry")
    assert {e.get("value"): e.get("alpha") for e in entries} == {"1": "0", "2": "255", "3": "255"}  # 1: no data
    # The workflow's [bp] on the same layers (its samples, shuffle, balance) gives the same network
    # file and favourability (its Float32 raster).
    folder = tmp_path / "workflow"
    folder.mkdir()
    path = workflow_of(cloncurry, folder, names, "bp")
    path.write_text(path.read_text() + "background = 200\nmax_iterations = 50\nseed = 7\n")
    quarnel.run(path)
    with open(folder / "run" / "bp" / "network.txt") as made, open(network) as ours:
        assert made.read() == ours.read()
    np.testing.assert_allclose(values_of(str(folder / "run" / "bp" / "favourability.tif"))[0],
                               values_of(favourability)[0], atol=1e-5)  # its network file's 5 decimals
    # Unbalanced and in file order, the same draw trains another network.
    other = quarnel.bp.train_on_maps([cloncurry[n] for n in names], deposits, background=200, max_iterations=50,
                                     seed=7, shuffle=False, balance=False)
    assert not np.array_equal(other.weight_input_hidden, trained.weight_input_hidden)
    np.testing.assert_array_equal(other.samples.inputs, trained.samples.inputs)


def test_fuzzy_equals_quarnel_fuzzy(cloncurry, tmp_path):
    names = ("Dist2Breccia", "FaultDensity", "StratNo")
    rules = ["classes:1=0.2,2=0.9", "linear:1,2", "large:1.5,4"]
    output = str(tmp_path / "fuzzy.tif")
    run("fuzzy", LAYERS=[cloncurry[n] for n in names], RULES="\n".join(rules), OPERATOR=4, GAMMA=0.7, OUTPUT=output)
    memberships = [quarnel.fuzzy.membership(quarnel.open_raster(cloncurry[n]), r) for n, r in zip(names, rules)]
    expected = quarnel.fuzzy.overlay(memberships, "gamma", 0.7)
    assert len(np.unique(expected.values)) > 3  # the memberships combine into several values
    assert_same_raster(output, expected.values, cloncurry["StratNo"], "#440154")


def test_wofe_equals_quarnel_wofe(cloncurry, deposits, tmp_path):
    names = ("Dist2Fault", "FaultDensity", "StratNo")
    posterior, table = str(tmp_path / "posterior.tif"), str(tmp_path / "weights.csv")
    results = run("wofe", LAYERS=[cloncurry[n] for n in names], DEPOSITS=cloncurry["deposits"],
                  TYPES="ascending;categorical;descending", UNIT_AREA="cell", POSTERIOR=posterior,
                  STD=str(tmp_path / "std.tif"), WEIGHTS=table)
    grids = [quarnel.open_raster(cloncurry[n]) for n in names]
    classes = [quarnel.wofe.classes_of(g) for g in grids]
    study = quarnel.wofe.study_area(classes)
    cells = quarnel.deposits_to_cells(deposits, grids[0])
    layers = [quarnel.wofe.weights(c, cells, study=study, type=t, name=n)
              for c, t, n in zip(classes, ("ascending", "categorical", "descending"), names)]
    expected = quarnel.wofe.posterior(layers, classes, cells, study=study)
    assert results["PRIOR"] == pytest.approx(expected.prior_probability, rel=1e-12)
    assert_same_raster(posterior, expected.probability, cloncurry["StratNo"], "#440154")
    assert_same_raster(str(tmp_path / "std.tif"), expected.std, cloncurry["StratNo"], "#440154")
    rows = np.genfromtxt(table, delimiter=",", names=True, dtype=None, encoding="utf-8")
    assert len(rows) == sum(len(layer.classes) for layer in layers)
    for key in ("w_plus", "s_contrast", "weight"):  # a weight left undefined is an empty cell
        expected_column = [np.nan if r[key] is None else r[key] for layer in layers for r in layer.classes]
        np.testing.assert_allclose(rows[key], expected_column, rtol=1e-12)
    assert np.isfinite(rows["w_plus"]).any()


def test_logistic_equals_the_workflows_logistic(cloncurry, deposits, tmp_path):
    names = ("Dist2Breccia", "Dist2Fault", "FaultDensity", "StratNo")
    probability, table = str(tmp_path / "probability.tif"), str(tmp_path / "coefficients.csv")
    results = run("logistic", LAYERS=[cloncurry[n] for n in names], DEPOSITS=cloncurry["deposits"],
                  BACKGROUND=300, SEED=5, PROBABILITY=probability, COEFFICIENTS=table)
    drawn = quarnel.bp.samples([cloncurry[n] for n in names], deposits, background=300, seed=5, rescaled=False)
    fit = quarnel.logistic.fit(drawn.inputs, drawn.targets, names)
    stack = [quarnel.open_raster(cloncurry[n]) for n in names]
    assert results["AIC"] == pytest.approx(fit["aic"], rel=1e-12)
    rows = np.genfromtxt(table, delimiter=",", names=True, dtype=None, encoding="utf-8")
    np.testing.assert_allclose(rows["estimate"], [c["estimate"] for c in fit["coefficients"]], rtol=1e-12)
    expected, _ = quarnel.logistic.predict(fit, stack, intercept_shift=results["INTERCEPT_SHIFT"])
    assert_same_raster(probability, expected.values, cloncurry["StratNo"], "#440154")
    # The workflow's [logistic] on the same layers draws the same samples and shifts the intercept
    # alike: its Float32 probability is ours.
    folder = tmp_path / "workflow"
    folder.mkdir()
    path = workflow_of(cloncurry, folder, names, "logistic")
    path.write_text(path.read_text() + "background = 300\nseed = 5\n")
    summary = quarnel.run(path)
    assert summary["ok"], summary
    made = values_of(str(folder / "run" / "logistic" / "probability.tif"))[0]
    np.testing.assert_allclose(made, values_of(probability)[0].astype(np.float32), rtol=1e-6, equal_nan=True)


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


def host(*arguments):
    """The quarnel program's results (--json)."""
    done = subprocess.run([os.environ["QUARNEL_HOST"], *arguments, "--json"], capture_output=True, text=True)
    assert done.returncode == 0, done.stdout + done.stderr
    return json.loads(done.stdout)["results"]


@pytest.mark.skipif(not os.environ.get("QUARNEL_HOST"), reason="the host's tools need the quarnel program")
def test_the_other_algorithms_equal_the_host(cloncurry, deposits, tmp_path):
    """code, windowstatistics, convert, align, samples, modelunits, trees and runworkflow: each run
    headless on the Cloncurry crop gives what the quarnel program gives for the same request."""
    breccia, names = cloncurry["Dist2Breccia"], ("Dist2Breccia", "FaultDensity", "StratNo")
    code = str(tmp_path / "code.tif")
    run("code", INPUT=breccia, LOWER=1, UPPER=2, INVERT="true", OUTPUT=code)
    coded = quarnel.open_raster(breccia).values
    assert set(np.unique(values_of(code)[0][coded != 3])) == {-1.0, 1.0}
    np.testing.assert_array_equal(values_of(code)[0][coded == 2], -1.0)  # inverted: class 2 unfavourable

    # 300 x 200 cells in windows of 7: 6 northern rows and 4 eastern columns complete no window.
    mean, deviation = str(tmp_path / "mean.tif"), str(tmp_path / "deviation.tif")
    run("windowstatistics", INPUT=cloncurry["FaultDensity"], WINDOW=7, MEAN=mean, DEVIATION=deviation)
    host("window-stats", cloncurry["FaultDensity"], str(tmp_path / "m.tif"), str(tmp_path / "d.tif"), "-w", "7")
    for ours, theirs in ((mean, "m.tif"), (deviation, "d.tif")):  # Float64 here, the host's Float32: equal once cast
        (values, (transform, _)) = values_of(ours)
        (expected, (expected_transform, _)) = values_of(str(tmp_path / theirs))
        np.testing.assert_array_equal(values.astype(np.float32), expected)
        assert transform == expected_transform

    converted = str(tmp_path / "converted.grd")
    run("convert", INPUT=breccia, OUTPUT=converted)
    np.testing.assert_array_equal(values_of(converted)[0][coded != 3], coded[coded != 3])

    aligned = tmp_path / "aligned"
    run("align", REFERENCE=cloncurry["StratNo"], INPUTS=[breccia], RESAMPLING=0, OUTPUT=str(aligned))
    np.testing.assert_array_equal(values_of(str(aligned / "Dist2Breccia.tif"))[0], coded)

    samples = str(tmp_path / "samples.txt")
    run("samples", LAYERS=[cloncurry[n] for n in names], DEPOSITS=cloncurry["deposits"], BACKGROUND=50, SEED=3,
        OUTPUT=samples)
    host("samples", *[cloncurry[n] for n in names], "--deposits", cloncurry["deposits"], "--background", "50",
         "--seed", "3", "-o", str(tmp_path / "host_samples.txt"))
    with open(samples) as ours, open(tmp_path / "host_samples.txt") as theirs:
        assert ours.read() == theirs.read()

    units = str(tmp_path / "units.txt")
    run("modelunits", INPUT=breccia, DEPOSITS=cloncurry["deposits"], TITLE="deposits", OUTPUT=units)
    host("model-units", breccia, "--deposits", cloncurry["deposits"], "--title", "deposits",
         "-o", str(tmp_path / "host_units.txt"))
    with open(units) as ours, open(tmp_path / "host_units.txt") as theirs:
        assert ours.read() == theirs.read()

    folder = tmp_path / "trees"
    run("trees", LAYERS=[cloncurry[n] for n in names], DEPOSITS=cloncurry["deposits"], TREES=20, SEED=5,
        BACKGROUND=100, OUTPUT=str(folder))
    made = next(folder.rglob("probability.tif"))
    host("trees", *[cloncurry[n] for n in names], "--deposits", cloncurry["deposits"], "--trees", "20",
         "--seed", "5", "--background", "100", "-o", str(tmp_path / "host_trees.tif"))
    np.testing.assert_array_equal(values_of(str(made))[0], values_of(str(tmp_path / "host_trees.tif"))[0])

    workflow = tmp_path / "workflow"
    workflow.mkdir()
    path = workflow_of(cloncurry, workflow, names, "wofe")
    path.write_text(path.read_text() + 'unit_area = "cell"\n')
    run("runworkflow", WORKFLOW=str(path), OUTPUT=str(workflow / "from_qgis"))
    quarnel.run(path)
    np.testing.assert_array_equal(values_of(str(workflow / "from_qgis" / "wofe" / "posterior.tif"))[0],
                                  values_of(str(workflow / "run" / "wofe" / "posterior.tif"))[0])
