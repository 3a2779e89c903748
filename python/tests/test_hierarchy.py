import subprocess
import sys

import numpy as np
import pytest
import quarnel
from conftest import DATA, read_kvsgda, two_decimals

EXAMPLES = DATA.parent / "hierarchy"
# The demo's hierarchy: geology (StratNo 2, Breccia 3) at 3, geophysics (FaultDens 2, FaultNear 1) at 2.
LEVELS = dict(geology=(3, [2, 3]), geophysics=(2, [2, 1]))
GRIDS = ["StratNo_bin_1km", "Dist2Breccia_bin_1km", "FaultDensity_bin_1km", "Dist2FaultInv_bin_1km"]


def params(name, out):
    text = (EXAMPLES / f"{name}.params").read_text().replace("@DATA@", str(DATA)).replace("@OUT@", str(out))
    (out / f"{name}.params").write_text(text)
    return out / f"{name}.params"


def test_weights_known_values():
    result = quarnel.hierarchy.weights(geology=(1, [3, 1]), geophysics=(1, [1, 1]))
    assert result.consistent and result.combined_consistency == 0.0
    main, geology, geophysics = result.matrices
    assert (main.level, main.order, main.eigenvalue, main.cr) == ("main", 2, 2.0, 0.0)
    assert geology.entries[0, 1] == 3.0 and geology.entries[1, 0] == np.float32(1 / 3)
    assert geology.weights.tolist() == [0.75, 0.25] and geophysics.level == "geophysics"
    assert result.total_weights == {"geology": [37.5, 12.5], "geophysics": [25.0, 25.0]}
    assert result.element_weights.tolist() == [37.5, 12.5, 25.0, 25.0]


def test_weights_and_prediction_match_the_job(tmp_path):
    job = quarnel.jobs.hierarchy(params("regular_grid", tmp_path))
    assert job.status == 0, job.cause
    result = quarnel.hierarchy.weights(**LEVELS)
    assert result.total_weights["geology"] == job.results["weights"]["total_weights"][0]
    assert result.total_weights["geophysics"] == job.results["weights"]["total_weights"][1]
    assert [m.weights.tolist() for m in result.matrices] == [m["weights"].tolist() for m in job.results["weights"]["matrices"]]
    grids = [read_kvsgda(DATA / f"{name}.kvsgda01.txt") for name in GRIDS]
    stack = np.stack([g for g, _, _ in grids])
    prediction = quarnel.hierarchy.predict(stack, result.element_weights, nodata=grids[-1][1])
    assert two_decimals(prediction) == read_kvsgda(tmp_path / "prospectivity.kvsgda01.txt")[2]


def test_ranking_matches_the_job(tmp_path):
    subprocess.run([sys.executable, str(EXAMPLES / "anomaly_table.py"), str(DATA), str(tmp_path / "anomalies.txt")],
                   check=True)
    job = quarnel.jobs.hierarchy(params("anomaly_ranking", tmp_path))
    assert job.status == 0, job.cause
    lines = (tmp_path / "anomalies.txt").read_text().split("\n")[2:]
    rows = [line.split() for line in lines if line.strip()]
    table = np.array([[float(v) for v in row[1:]] for row in rows], dtype=np.float32)
    ranking = quarnel.hierarchy.rank(table, quarnel.hierarchy.weights(**LEVELS).element_weights)
    expected = [(name, score) for _, name, score in job.results["ranking"]]
    assert [(rows[i][0], s) for i, s in zip(ranking.order, ranking.scores)][:10] == expected


def test_rank_orders_ties_as_the_job():
    # A selection sort that exchanges the best into place: equal scores do not keep row order.
    ranking = quarnel.hierarchy.rank(np.array([2.0, 1.0, 2.0, 3.0]))
    assert ranking.order.tolist() == [3, 2, 0, 1]
    assert ranking.scores.tolist() == [3.0, 2.0, 2.0, 1.0]


def test_prediction_blanks():
    stack = np.array([[[1.0, 2.0]], [[5.0, -1.0]]], dtype=np.float32)
    weights = [10.0, 1.0]
    assert quarnel.hierarchy.predict(stack, weights, nodata=-1).tolist() == [[15.0, -1.0]]
    assert np.array_equal(
        quarnel.hierarchy.predict(np.where(stack == -1, np.nan, stack), weights), [[15.0, np.nan]], equal_nan=True
    )


def test_inconsistent_and_refused_importances():
    # Ratios beyond float range give weights that are not numbers: the matrix fails its test.
    result = quarnel.hierarchy.weights(geology=(1, [1e30, 1e-30, 1]))
    assert not result.consistent and not result.matrices[-1].consistent
    with pytest.raises(ValueError, match="zero or not finite"):
        quarnel.hierarchy.weights(geology=(1, [1, 0]))
    with pytest.raises(ValueError, match="at most 10"):
        quarnel.hierarchy.weights(geology=(1, [1] * 11))
