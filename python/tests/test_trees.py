"""Gradient-boosted trees and random forests: the model against XGBoost's own Python package
trained on the same samples with the parameters the fit reports, scores against scikit-learn,
and the command, the workflow, Python and dask giving one map."""

import json
import subprocess

import numpy as np
import pytest

import quarnel
import quarnel.dask


def samples(n=300, seed=3):
    rng = np.random.default_rng(seed)
    x = np.column_stack([rng.normal(size=n), rng.uniform(0, 5, size=n), rng.integers(0, 3, size=n)])
    eta = -0.5 + 1.2 * x[:, 0] - 0.6 * x[:, 1] + 0.8 * (x[:, 2] == 1)
    return x, (rng.uniform(size=n) < 1 / (1 + np.exp(-eta))).astype(int)


def xgboost_model(fitted, x, y):
    """XGBoost's own train() on the same samples with the parameters the fit reports."""
    import xgboost

    parameters = dict(fitted["parameters"])
    rounds = parameters.pop("rounds")
    return xgboost.train(parameters, xgboost.DMatrix(x.astype(np.float32), label=y), num_boost_round=rounds)


def as_stack(x):
    return x.T[:, :, np.newaxis]


@pytest.mark.parametrize("kind", ["boosting", "forest"])
def test_the_model_is_xgboosts_own(kind):
    import xgboost
    from sklearn.metrics import log_loss, roc_auc_score

    x, y = samples()
    fitted = quarnel.trees.fit(x, y, ["a", "b", "c"], kind=kind, trees=40, depth=3, seed=11)
    assert fitted["parameters"]["rounds"] == (1 if kind == "forest" else 40)
    booster = xgboost_model(fitted, x, y)
    theirs = booster.predict(xgboost.DMatrix(x.astype(np.float32)))
    ours = quarnel.trees.predict(fitted, as_stack(x))[:, 0]
    assert np.max(np.abs(ours - theirs)) <= 1e-6
    # Shifted: the logistic function of XGBoost's margin plus the shift.
    margin = booster.predict(xgboost.DMatrix(x.astype(np.float32)), output_margin=True).astype(np.float64)
    shift = np.log(150 / 40000)
    shifted = quarnel.trees.predict(fitted, as_stack(x), intercept_shift=shift)[:, 0]
    np.testing.assert_allclose(shifted, 1 / (1 + np.exp(-(margin + shift))), rtol=1e-12)
    assert np.mean(shifted) < 0.05 < np.mean(ours)
    for kind_of in ("gain", "cover"):
        score = booster.get_score(importance_type=kind_of)
        np.testing.assert_allclose([i[kind_of] for i in fitted["importance"]],
                                   [score.get(f"f{j}", 0.0) for j in range(3)], rtol=1e-6)
    assert [i["name"] for i in fitted["importance"]] == ["a", "b", "c"]
    assert fitted["training"]["log_loss"] == pytest.approx(log_loss(y, ours), rel=1e-6)
    assert fitted["training"]["auc"] == pytest.approx(roc_auc_score(y, ours), rel=1e-12)
    # Seeded: the same model run to run, another seed another model (rows are subsampled).
    assert quarnel.trees.fit(x, y, ["a", "b", "c"], kind=kind, trees=40, depth=3, seed=11)["model"] == fitted["model"]
    assert quarnel.trees.fit(x, y, ["a", "b", "c"], kind=kind, trees=40, depth=3, seed=12)["model"] != fitted["model"]


def test_folds_hold_out_every_sample_once_with_both_classes():
    x, y = samples(n=200)
    found = quarnel.trees.fit(x, y, folds=4, trees=20)["folds"]
    assert len(found) == 4 and sum(f["samples"] for f in found) == 200
    # Each class dealt round the folds: their sizes differ by at most one of each class.
    assert max(f["samples"] for f in found) - min(f["samples"] for f in found) <= 2
    assert all(0.5 < f["auc"] <= 1 and f["log_loss"] > 0 for f in found)
    # Held out, a fold scores below the model on its own samples.
    assert np.mean([f["auc"] for f in found]) < quarnel.trees.fit(x, y, trees=20)["training"]["auc"]


def test_refusals():
    x, y = samples()
    with pytest.raises(ValueError, match="one class"):
        quarnel.trees.fit(x, np.zeros_like(y))
    with pytest.raises(ValueError, match="neither 0 nor 1"):
        quarnel.trees.fit(x, y * 2)
    with pytest.raises(ValueError, match="not finite"):
        quarnel.trees.fit(np.where(x > 2, np.nan, x), y)
    with pytest.raises(ValueError, match="kind: must be"):
        quarnel.trees.fit(x, y, kind="bagging")
    with pytest.raises(ValueError, match="learning_rate: must lie between"):
        quarnel.trees.fit(x, y, learning_rate=0)
    with pytest.raises(ValueError, match="folds: "):
        quarnel.trees.fit(x[:3], [0, 1, 0], folds=5)
    fitted = quarnel.trees.fit(x, y)
    with pytest.raises(ValueError, match="takes 3 inputs, not 2"):
        quarnel.trees.predict(fitted, as_stack(x[:, :2]))
    with pytest.raises(ValueError, match="not a model"):
        quarnel.trees.predict(dict(fitted, model=b"{garbage"), as_stack(x))


def test_the_command_the_workflow_python_and_dask_give_one_map(tmp_path):
    import xgboost
    from test_fuzzy import host, read, write

    rng = np.random.default_rng(5)
    # Whole numbers, so that the samples file's rescaled inputs read back exactly.
    grids = [rng.integers(0, 20, size=(20, 30)).astype(float), rng.integers(0, 50, size=(20, 30)).astype(float)]
    grids[1][3, 4] = np.nan
    paths = [write(tmp_path / f"{n}.tif", g) for n, g in zip("ab", grids)]
    rows, cols = rng.integers(0, 20, 40), rng.integers(0, 30, 40)
    (tmp_path / "d.csv").write_text("x,y\n" + "".join(f"{500000 + 100 * c + 50},{7000700 - 100 * r - 50}\n"
                                                      for r, c in zip(rows, cols)))
    common = [*paths, "--deposits", str(tmp_path / "d.csv"), "--background", "150", "--seed", "7"]
    run = subprocess.run([host(), "trees", *common, "--trees", "30", "-o", str(tmp_path / "p.tif"), "--json"],
                         capture_output=True, text=True)
    found = json.loads(run.stdout)
    assert run.returncode == 0, found
    results = found["results"]
    assert results["samples"]["background"] == 150 and results["trees"] == 30
    # The map's log-odds shifted from the samples' balance to the study area's: 150 of the cells
    # with data on both grids and no deposit.
    deposit_cells = {(r, c) for r, c in zip(rows, cols) if (r, c) != (3, 4)}
    background_cells = 20 * 30 - 1 - len(deposit_cells)
    assert results["samples"]["background_cells"] == background_cells
    shift = results["intercept_correction"]
    assert shift == pytest.approx(np.log(150 / background_cells), rel=1e-12)
    assert results["validation"]["roc"]["formed"]
    subprocess.run([host(), "samples", *common, "-o", str(tmp_path / "s.txt")], check=True, capture_output=True)
    table = np.loadtxt(tmp_path / "s.txt", skiprows=1)
    low = np.minimum.accumulate([np.nanmin(g) for g in grids])
    high = np.maximum.accumulate([np.nanmax(g) for g in grids])
    x, y = np.round(low + table[:, :2] * (high - low)), table[:, 2].astype(int)
    fitted = quarnel.trees.fit(x, y, ["a", "b"], trees=30, seed=7)
    assert fitted["parameters"] == results["parameters"] and fitted["importance"] == results["importance"]
    assert fitted["training"] == results["training"]
    # The map: XGBoost's own model at every cell with data, Python's predict, and dask's.
    mapped = quarnel.trees.predict(fitted, grids, intercept_shift=shift)
    cells = np.column_stack([g.ravel() for g in grids]).astype(np.float32)
    margin = xgboost_model(fitted, x, y).predict(xgboost.DMatrix(cells), output_margin=True).reshape(20, 30)
    theirs = 1 / (1 + np.exp(-(margin.astype(np.float64) + shift)))
    written = read(tmp_path / "p.tif")
    assert np.isnan(written[3, 4]) and np.isnan(mapped[3, 4])
    theirs[3, 4] = np.nan
    np.testing.assert_allclose(written, theirs, rtol=1e-6)
    np.testing.assert_array_equal(written, mapped.astype(np.float32))
    import dask.array as da

    lazy = quarnel.dask.trees_predict(fitted, [da.from_array(g, chunks=(7, 11)) for g in grids], intercept_shift=shift)
    np.testing.assert_array_equal(lazy.compute(), mapped)
    # The workflow learns from its training deposits as the command does from the same file.
    (tmp_path / "w.toml").write_text(
        'output = "out"\n[[layers]]\nname = "a"\nraster = "a.tif"\n[[layers]]\nname = "b"\nraster = "b.tif"\n'
        '[deposits]\npath = "d.csv"\n[trees]\nkind = "forest"\ntrees = 25\nbackground = 120\nseed = 4\n'
        '[validation]\nholdout = 0.3\n')
    run = subprocess.run([host(), "run", str(tmp_path / "w.toml")], capture_output=True, text=True)
    assert run.returncode == 0, run.stdout + run.stderr
    training = tmp_path / "out" / "validation" / "training_deposits.csv"
    found = json.loads(subprocess.run(
        [host(), "trees", *paths, "--deposits", str(training), "--kind", "forest", "--trees", "25",
         "--background", "120", "--seed", "4", "-o", str(tmp_path / "f.tif"), "--json"],
        capture_output=True, text=True).stdout)
    summary = json.loads((tmp_path / "out" / "summary.json").read_text())
    assert summary["trees"]["results"]["importance"] == found["results"]["importance"]
    np.testing.assert_array_equal(read(tmp_path / "out" / "trees" / "probability.tif"), read(tmp_path / "f.tif"))
    assert "prediction_rate" in summary["validation"]["trees"]
    assert "gain" in (tmp_path / "out" / "report.html").read_text()
