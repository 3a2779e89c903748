import numpy as np
import pytest
import quarnel
from conftest import DATA, EVIDENCE, read_kvsgda, two_decimals

feature = quarnel.feature


def job_params(tmp_path, method, units=True):
    lines = ["QelFrmFeater", "4"]
    lines += [f"{name} 1 2 {DATA / name}.kvsgda01.txt" for name in EVIDENCE]
    lines += [f"{1 if units else 0} {DATA / 'IOCG_model_units_1km.txt'}",
              f"{method} {tmp_path / 'score.txt'} {tmp_path / 'report.txt'}"]
    (tmp_path / "params.txt").write_text("\n".join(lines) + "\n")
    return tmp_path / "params.txt"


@pytest.mark.parametrize("method, units", [(0, True), (1, True), (0, False)])
def test_analysis_matches_the_job(tmp_path, evidence_kvsgda, model_units, method, units):
    job = quarnel.jobs.feature(job_params(tmp_path, method, units))
    assert job.status == 0, job.cause
    stack, blank = evidence_kvsgda
    result = feature.analyse(stack, [1] * 4, [2] * 4, method, nodata=blank, units=model_units if units else None)
    expected = job.results
    assert np.array_equal(result.product_matrix, expected["product_matrix"])
    assert result.weights.weights.tolist() == expected["weights"]
    if method == 1:
        assert result.weights.sweeps == expected["sweeps"]
        assert result.weights.component.tolist() == expected["component"]
    else:
        assert result.weights.lengths.tolist() == expected["lengths"]
    assert result.statistics == expected["scores"]
    assert [(u.row, u.col, u.size, u.score) for u in result.units] == expected["units"]
    assert two_decimals(result.scores) == read_kvsgda(tmp_path / "score.txt")[2]


def test_code_table():
    values = np.array([[[0.0, 1.0, 1.5, 2.0, 3.0]], [[0.0, 1.0, 1.5, 2.0, 3.0]]], dtype=np.float32)
    # Variable 1 has lower >= upper: nothing codes 0, the upper test comes first.
    codes = feature.code(values, [1.0, 2.0], [2.0, 1.5])
    assert codes.tolist() == [[[-1, -1, 0, 1, 1]], [[-1, -1, 1, 1, 1]]]


def test_units_matched_as_the_job_visits_cells():
    units = [(2, 1, 5), (0, 3, 1), (0, 3, 9), (1, 0, 2)]
    # Sorted by row then column; the repeated cell (0, 3) is never matched, nor anything after it.
    assert feature.matched_units(units, (3, 4)).tolist() == [[0, 3, 1]]
    assert feature.matched_units([(1, 0), (5, 5), (2, 2)], (3, 3)).tolist() == [[1, 0, 1], [2, 2, 1]]


def test_blank_cells_and_refused_weights():
    stack = np.array([[[1.0, 9.0], [2.0, 2.0]], [[2.0, 2.0], [9.0, 1.0]]], dtype=np.float32)
    p = feature.product_matrix(stack, [1, 1], [2, 2], nodata=9)
    assert p.tolist() == [[2.0, -2.0], [-2.0, 2.0]]  # two cells used, codes (-1, 1) and (1, -1)
    scores = feature.score(stack, [1, 1], [2, 2], [10, 1], nodata=9)
    assert scores.tolist() == [[-9.0, 9.0], [9.0, 9.0]]
    nan = feature.score(np.where(stack == 9, np.nan, stack), [1, 1], [2, 2], [10, 1])
    assert np.array_equal(nan, [[-9.0, np.nan], [np.nan, 9.0]], equal_nan=True)
    with pytest.raises(ValueError, match="never codes non-zero"):
        feature.weights(np.array([[1, 0], [0, 0]], dtype=np.float32), 1)
    with pytest.raises(ValueError, match="every vector length is 0"):
        feature.weights(np.zeros((2, 2)), 0)
    with pytest.raises(ValueError, match="method must be"):
        feature.weights(p, 2)
