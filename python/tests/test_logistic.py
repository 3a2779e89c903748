"""Logistic regression: coefficients against scikit-learn without penalty, standard errors
against numpy's inverse of X'WX, and complete separation refused naming the input."""

import numpy as np
import pytest

import quarnel


def samples(n=400, seed=3):
    rng = np.random.default_rng(seed)
    x = np.column_stack([rng.normal(size=n), rng.uniform(0, 5, size=n), rng.integers(0, 2, size=n)])
    eta = -1.0 + 0.8 * x[:, 0] - 0.4 * x[:, 1] + 1.2 * x[:, 2]
    return x, (rng.uniform(size=n) < 1 / (1 + np.exp(-eta))).astype(int)


def sklearn_fit(x, y, **penalty):
    from sklearn.linear_model import LogisticRegression

    model = LogisticRegression(solver="newton-cg", tol=1e-10, max_iter=1000, **penalty).fit(x, y)
    return np.concatenate([model.intercept_, model.coef_[0]])


def test_coefficients_are_sklearns_and_errors_numpys():
    x, y = samples()
    found = quarnel.logistic.fit(x, y, ["a", "b", "c"])
    assert found["converged"] and [c["name"] for c in found["coefficients"]] == ["intercept", "a", "b", "c"]
    beta = np.array([c["estimate"] for c in found["coefficients"]])
    np.testing.assert_allclose(beta, sklearn_fit(x, y, penalty=None), rtol=1e-6, atol=1e-7)
    design = np.column_stack([np.ones(len(y)), x])
    p = 1 / (1 + np.exp(-design @ beta))
    covariance = np.linalg.inv(design.T @ (design * (p * (1 - p))[:, None]))
    errors = np.array([c["std_error"] for c in found["coefficients"]])
    np.testing.assert_allclose(errors, np.sqrt(np.diag(covariance)), rtol=1e-6)
    np.testing.assert_allclose(found["covariance"], covariance, rtol=1e-6, atol=1e-10)
    log_likelihood = np.sum(y * np.log(p) + (1 - y) * np.log(1 - p))
    assert found["log_likelihood"] == pytest.approx(log_likelihood, rel=1e-9)
    assert found["aic"] == pytest.approx(-2 * log_likelihood + 8, rel=1e-9)
    from scipy.stats import norm

    z = beta / errors
    np.testing.assert_allclose([c["p"] for c in found["coefficients"]], 2 * norm.sf(np.abs(z)), rtol=1e-9)


def test_l2_is_sklearns_penalty():
    x, y = samples(seed=5)
    # sklearn's C is the inverse of the penalty: C = 1 / l2 on 1/2 |w|^2.
    found = quarnel.logistic.fit(x, y, l2=2.0)
    beta = np.array([c["estimate"] for c in found["coefficients"]])
    np.testing.assert_allclose(beta, sklearn_fit(x, y, C=0.5), rtol=1e-6, atol=1e-7)


def test_complete_separation_names_the_input():
    x, y = samples()
    alone = x.copy()
    alone[:, 1] = np.where(y == 1, 10.0, 0.0) + x[:, 1]
    with pytest.raises(ValueError, match="complete separation: depth separates"):
        quarnel.logistic.fit(alone, y, ["a", "depth", "c"])
    # Together: a + b is 1 for every deposit and -1 for the rest, while each alone overlaps.
    together = x.copy()
    together[:, 0] = np.where(y == 1, 1.0, -1.0) + 3 * x[:, 0]
    together[:, 1] = -3 * x[:, 0]
    with pytest.raises(ValueError, match=r"complete separation: (a|b) with the other inputs"):
        quarnel.logistic.fit(together, y, ["a", "b", "c"])


def test_refusals():
    x, y = samples()
    with pytest.raises(ValueError, match="one class"):
        quarnel.logistic.fit(x, np.zeros_like(y))
    with pytest.raises(ValueError, match="neither 0 nor 1"):
        quarnel.logistic.fit(x, y * 2)
    with pytest.raises(ValueError, match="not finite"):
        quarnel.logistic.fit(np.where(x > 2, np.inf, x), y)


def test_the_command_fits_the_samples_it_draws(tmp_path):
    import json
    import subprocess

    from test_fuzzy import host, read, write

    rng = np.random.default_rng(1)
    grids = [rng.normal(size=(20, 30)), rng.uniform(0, 50, size=(20, 30))]
    grids[1][3, 4] = np.nan
    paths = [write(tmp_path / f"{n}.tif", g) for n, g in zip("ab", grids)]
    rows, cols = rng.integers(0, 20, 25), rng.integers(0, 30, 25)
    (tmp_path / "d.csv").write_text("x,y\n" + "".join(f"{500000 + 100 * c + 50},{7000700 - 100 * r - 50}\n"
                                                      for r, c in zip(rows, cols)))
    common = [*paths, "--deposits", str(tmp_path / "d.csv"), "--background", "150", "--seed", "7"]
    run = subprocess.run([host(), "logistic", *common, "-o", str(tmp_path / "p.tif"), "--json"],
                         capture_output=True, text=True)
    found = json.loads(run.stdout)
    assert run.returncode == 0, found
    # The same draw as `samples` makes (its inputs rescaled to 0..1 by the range of the layers so far).
    subprocess.run([host(), "samples", *common, "-o", str(tmp_path / "s.txt")], check=True, capture_output=True)
    table = np.loadtxt(tmp_path / "s.txt", skiprows=1)
    low = np.minimum.accumulate([np.nanmin(g) for g in grids])
    high = np.maximum.accumulate([np.nanmax(g) for g in grids])
    x, y = low + table[:, :2] * (high - low), table[:, 2].astype(int)
    beta = np.array([c["estimate"] for c in found["results"]["coefficients"]])
    np.testing.assert_allclose(beta, sklearn_fit(x, y, penalty=None), rtol=1e-6, atol=1e-7)
    design = np.column_stack([np.ones(len(y)), x])
    p = 1 / (1 + np.exp(-design @ beta))
    covariance = np.linalg.inv(design.T @ (design * (p * (1 - p))[:, None]))
    np.testing.assert_allclose([c["std_error"] for c in found["results"]["coefficients"]],
                               np.sqrt(np.diag(covariance)), rtol=1e-6)
    # The maps: the intercept shifted by ln(sampled / background cells), and P(1-P) sqrt(x' S x).
    cells = np.column_stack([np.ones(600), grids[0].ravel(), grids[1].ravel()])
    valid = ~np.isnan(cells).any(axis=1)
    deposit_cells = len({(r, c) for r, c in zip(rows, cols) if valid[r * 30 + c]})
    shift = np.log(150 / (valid.sum() - deposit_cells))
    assert found["results"]["intercept_correction"] == pytest.approx(shift, rel=1e-12)
    probability = 1 / (1 + np.exp(-(cells @ beta + shift)))
    error = probability * (1 - probability) * np.sqrt(np.einsum("ij,jk,ik->i", cells, covariance, cells))
    np.testing.assert_allclose(read(tmp_path / "p.tif").ravel(), probability.astype(np.float32), rtol=1e-5)
    np.testing.assert_allclose(read(tmp_path / "p.std_error.tif").ravel(), error.astype(np.float32), rtol=1e-5)
    assert found["results"]["validation"]["roc"]["formed"]
    # Python's fit of the same samples, and its maps.
    fitted = quarnel.logistic.fit(x, y, ["a", "b"])
    np.testing.assert_allclose([c["estimate"] for c in fitted["coefficients"]], beta, rtol=1e-6)
    mapped, errors = quarnel.logistic.predict(fitted, grids, shift)
    np.testing.assert_allclose(read(tmp_path / "p.tif"), mapped.astype(np.float32), rtol=1e-5)
    np.testing.assert_allclose(read(tmp_path / "p.std_error.tif"), errors.astype(np.float32), rtol=1e-5)
    assert np.isnan(mapped[3, 4]) and np.isnan(errors[3, 4])
    with pytest.raises(ValueError, match="l2: must lie between 0 and"):
        quarnel.logistic.fit(x, y, l2=-1)


def one_hot(classes):
    """Indicator columns of each class but the first (smallest): scikit-learn's drop="first"."""
    from sklearn.preprocessing import OneHotEncoder

    return OneHotEncoder(drop="first", sparse_output=False).fit_transform(classes[:, None])


def test_classes_are_sklearns_one_hot_columns():
    x, y = samples(seed=7)
    table = np.column_stack([x[:, :2], np.where(x[:, 2] == 1, 7.0, np.where(x[:, 0] > 0.5, 3.0, -2.0))])
    found = quarnel.logistic.fit(table, y, ["a", "b", "rock"], categorical=["rock"])
    assert [c["name"] for c in found["coefficients"]] == ["intercept", "a", "b", "rock=3", "rock=7"]
    assert found["classes"] == [[], [], [-2.0, 3.0, 7.0]]
    beta = np.array([c["estimate"] for c in found["coefficients"]])
    design = np.column_stack([table[:, :2], one_hot(table[:, 2])])
    np.testing.assert_allclose(beta, sklearn_fit(design, y, penalty=None), rtol=1e-6, atol=1e-7)
    # The map takes the class layer as it is; a class the fit never met is blank.
    stack = np.array([[[0.2, 0.2]], [[1.0, 1.0]], [[7.0, 5.0]]])
    probability, _ = quarnel.logistic.predict(found, stack)
    assert probability[0, 0] == pytest.approx(1 / (1 + np.exp(-(beta[0] + 0.2 * beta[1] + beta[2] + beta[4]))))
    assert np.isnan(probability[0, 1])
    with pytest.raises(ValueError, match="categorical: c is none of the layers"):
        quarnel.logistic.fit(table, y, ["a", "b", "rock"], categorical=["c"])
    with pytest.raises(ValueError, match="samples: must be one of background, all"):
        quarnel.logistic.fit(table, y, samples="every")


def test_every_cell_pooled_is_sklearns_fit_of_the_whole_table(tmp_path):
    import json
    import subprocess

    from test_fuzzy import host, read, write

    rng = np.random.default_rng(4)
    grids = [np.round(rng.normal(size=(30, 40)), 1), rng.integers(1, 4, size=(30, 40)).astype(float)]
    grids[0][5, 6] = np.nan
    paths = [write(tmp_path / f"{n}.tif", g) for n, g in zip(["depth", "rock"], grids)]
    rows, cols = rng.integers(0, 30, 60), rng.integers(0, 40, 60)
    (tmp_path / "d.csv").write_text("x,y\n" + "".join(f"{500000 + 100 * c + 50},{7000700 - 100 * r - 50}\n"
                                                      for r, c in zip(rows, cols)))
    run = subprocess.run([host(), "logistic", *paths, "--deposits", str(tmp_path / "d.csv"), "--samples", "all",
                          "--categorical", "rock", "-o", str(tmp_path / "p.tif"), "--json"],
                         capture_output=True, text=True)
    found = json.loads(run.stdout)
    assert run.returncode == 0, found
    results = found["results"]
    # The oracle: every cell with data a row of its own, the deposit cells 1.
    x = np.column_stack([grids[0].ravel(), grids[1].ravel()])
    valid = ~np.isnan(x).any(axis=1)
    y = np.zeros(x.shape[0], dtype=int)
    y[rows * 40 + cols] = 1
    x, y = x[valid], y[valid]
    design = np.column_stack([x[:, 0], one_hot(x[:, 1])])
    beta = np.array([c["estimate"] for c in results["coefficients"]])
    assert [c["name"] for c in results["coefficients"]] == ["intercept", "depth", "rock=2", "rock=3"]
    np.testing.assert_allclose(beta, sklearn_fit(design, y, penalty=None), rtol=1e-6, atol=1e-6)
    assert results["intercept_correction"] == 0
    assert results["samples"]["deposits"] == y.sum() and results["samples"]["background_cells"] == len(y) - y.sum()
    conditions = len({tuple(row) for row in x})
    assert results["samples"]["conditions"] == conditions < len(y)
    full = np.column_stack([np.ones(len(y)), design])
    p = 1 / (1 + np.exp(-full @ beta))
    assert results["log_likelihood"] == pytest.approx(np.sum(y * np.log(p) + (1 - y) * np.log(1 - p)), rel=1e-9)
    mapped = np.full(1200, np.nan)
    mapped[valid] = p
    np.testing.assert_allclose(read(tmp_path / "p.tif").ravel(), mapped.astype(np.float32), rtol=1e-5)
    # Python's fit of the same table, pooled or row by row, and its map.
    pooled = quarnel.logistic.fit(x, y, ["depth", "rock"], categorical=["rock"], samples="all")
    assert pooled["conditions"] == conditions
    np.testing.assert_allclose([c["estimate"] for c in pooled["coefficients"]], beta, rtol=1e-9, atol=1e-12)
    unpooled = quarnel.logistic.fit(x, y, ["depth", "rock"], categorical=["rock"])
    np.testing.assert_allclose([c["estimate"] for c in unpooled["coefficients"]], beta, rtol=1e-8)
    np.testing.assert_allclose([c["std_error"] for c in unpooled["coefficients"]],
                               [c["std_error"] for c in results["coefficients"]], rtol=1e-8)
    probability, _ = quarnel.logistic.predict(pooled, grids)
    np.testing.assert_allclose(read(tmp_path / "p.tif"), probability.astype(np.float32), rtol=1e-5)
    # A drawn background's settings do not apply to every cell.
    refused = subprocess.run([host(), "logistic", *paths, "--deposits", str(tmp_path / "d.csv"), "--samples", "all",
                              "--background", "100", "-o", str(tmp_path / "q.tif")], capture_output=True, text=True)
    assert refused.returncode == 1 and "samples all takes every cell" in refused.stderr + refused.stdout
    assert not (tmp_path / "q.tif").exists()


@pytest.mark.parametrize("settings, options, blocks", [
    ("background = 120\nseed = 4\n", ["--background", "120", "--seed", "4"], None),
    ('samples = "all"\ncategorical = ["b"]\n', ["--samples", "all", "--categorical", "b"], None),
    ("background = 120\nseed = 4\n", ["--background", "120", "--seed", "4"], 1000),
])
def test_the_workflow_gives_the_commands_fit_on_the_training_deposits(tmp_path, settings, options, blocks):
    """The workflow learns from the training deposits alone; with [validation] blocks, the
    deposits kept back lie in 1 km squares (from the raster's corner) that hold no training
    deposit, which the cell split (the other rows) does not give."""
    import json
    import subprocess

    from test_fuzzy import host, read, write

    rng = np.random.default_rng(2)
    write(tmp_path / "a.tif", rng.normal(size=(20, 30)))
    write(tmp_path / "b.tif", rng.integers(1, 4, size=(20, 30)).astype(float))
    (tmp_path / "d.csv").write_text("x,y\n" + "".join(f"{500000 + 100 * c + 50},{7000700 - 100 * r - 50}\n"
                                                      for r, c in zip(rng.integers(0, 20, 30), rng.integers(0, 30, 30))))
    (tmp_path / "w.toml").write_text(
        'output = "out"\n[[layers]]\nname = "a"\nraster = "a.tif"\n[[layers]]\nname = "b"\nraster = "b.tif"\n'
        '[deposits]\npath = "d.csv"\n[logistic]\n' + settings + '[validation]\nholdout = 0.3\n'
        + (f"blocks = {blocks}\n" if blocks else ""))
    run = subprocess.run([host(), "run", str(tmp_path / "w.toml")], capture_output=True, text=True)
    assert run.returncode == 0, run.stdout + run.stderr
    training = tmp_path / "out" / "validation" / "training_deposits.csv"
    squares = [{(int((x - 500000) // 1000), int((7000700 - y) // 1000))
                for x, y in np.loadtxt(tmp_path / "out" / "validation" / name, delimiter=",", skiprows=1, ndmin=2)}
               for name in ("training_deposits.csv", "held_out_deposits.csv")]
    assert all(squares) and bool(squares[0] & squares[1]) == (blocks is None), squares
    found = json.loads(subprocess.run(
        [host(), "logistic", str(tmp_path / "a.tif"), str(tmp_path / "b.tif"), "--deposits", str(training),
         *options, "-o", str(tmp_path / "p.tif"), "--json"],
        capture_output=True, text=True).stdout)
    summary = json.loads((tmp_path / "out" / "summary.json").read_text())
    assert summary["logistic"]["results"]["coefficients"] == found["results"]["coefficients"]
    np.testing.assert_array_equal(read(tmp_path / "out" / "logistic" / "probability.tif"), read(tmp_path / "p.tif"))
    assert "prediction_rate" in summary["validation"]["logistic"]


def _long_calls():
    """Every long-running call of fuzzy, logistic, trees and wofe on a 300 x 20 grid, as
    name -> call(progress)."""
    rng = np.random.default_rng(5)
    grid = rng.uniform(0, 10, size=(300, 20))
    classes = np.floor(grid / 2.5) + 1
    x, y = samples()
    fit = quarnel.logistic.fit(x[:, :2], y)
    model = quarnel.trees.fit(x, y, trees=5)
    deposits = np.argwhere(grid > 6)[::10]
    layer = quarnel.wofe.weights(classes, deposits, type="descending")
    return {
        "fuzzy.membership": lambda p: quarnel.fuzzy.membership(grid, "linear:0,10", progress=p),
        "fuzzy.overlay": lambda p: quarnel.fuzzy.overlay([grid / 10, grid / 20], "gamma", 0.5, progress=p),
        "logistic.fit": lambda p: quarnel.logistic.fit(x, y, l2=0.1, progress=p),
        "logistic.predict": lambda p: quarnel.logistic.predict(fit, [grid, grid / 2], progress=p),
        "trees.fit": lambda p: quarnel.trees.fit(x, y, trees=5, folds=3, progress=p),
        "trees.predict": lambda p: quarnel.trees.predict(model, [grid, grid / 2, grid / 5], progress=p),
        "wofe.weights": lambda p: quarnel.wofe.weights(classes, deposits, type="descending", progress=p),
        "wofe.posterior": lambda p: quarnel.wofe.posterior([layer], [classes], deposits, progress=p),
    }


@pytest.mark.parametrize("name", list(_long_calls()))
def test_progress_counts_up_and_false_stops_the_call(name):
    call = _long_calls()[name]
    steps = []
    with pytest.raises(quarnel.Stopped):
        call(lambda *step: steps.append(step) or False)
    assert len(steps) == 1  # stopped at the first report
    steps.clear()
    told = call(lambda done, total, value: steps.append((done, total)) or True)
    done = [d for d, _ in steps]
    assert len(steps) > 1 and done == sorted(set(done)) and done[-1] <= steps[-1][1]
    assert len({t for _, t in steps}) == 1
    if name.startswith("trees.fit"):
        assert done[-1] == steps[-1][1] == (3 + 1) * 5  # every fold's rounds and the model's
    elif not name.startswith("logistic.fit"):
        assert done[-1] == steps[-1][1]  # a fit may converge before its last iteration
    untold = call(None)
    if name == "wofe.weights":
        assert told.classes == untold.classes and told.generalization == untold.generalization
    elif name == "wofe.posterior":
        np.testing.assert_array_equal(told.probability, untold.probability)
        np.testing.assert_array_equal(told.std, untold.std)
    elif name.startswith("trees.fit"):
        assert told["model"] == untold["model"]
    elif name.startswith("logistic.fit"):
        assert told["coefficients"] == untold["coefficients"]
    else:
        np.testing.assert_array_equal(told, untold)
