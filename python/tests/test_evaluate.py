import numpy as np
import pytest
import quarnel

sklearn_metrics = pytest.importorskip("sklearn.metrics")


def test_auc_matches_scikit_learn():
    rng = np.random.default_rng(3)
    scores = np.round(rng.normal(size=(40, 30)), 1)  # ties among the scores
    scores[0, :5] = np.nan
    cells = np.argwhere(scores > 1.2)[::2]
    result = quarnel.evaluate.evaluate(scores, cells)
    valid = ~np.isnan(scores.ravel())
    labels = np.zeros(scores.size, dtype=int)
    labels[cells[:, 0] * 30 + cells[:, 1]] = 1
    assert result.roc.auc == pytest.approx(sklearn_metrics.roc_auc_score(labels[valid], scores.ravel()[valid]), abs=1e-12)
    assert result.roc.deposit_cells == len(cells) and result.deposits_on_invalid == 0
    assert result.roc.auc_low <= result.roc.auc <= result.roc.auc_high


def test_success_rate_and_class_table():
    classes = np.array([[3.0, 3.0, 2.0, 2.0], [2.0, 2.0, 2.0, 99.0]])
    deposits = [(0, 0), (0, 0), (0, 2), (1, 3)]  # two in one cell, one on no data
    result = quarnel.evaluate.evaluate(classes, deposits, nodata=99)
    assert result.deposits_on_invalid == 1 and result.success_rate.deposits == 3
    assert result.success_rate.points[1].tolist() == pytest.approx([2 / 7, 2 / 3])
    rows = quarnel.evaluate.class_table(classes, deposits, nodata=99)
    assert [(r.value, r.cells, r.deposits) for r in rows] == [(2.0, 5, 1), (3.0, 2, 2)]
    assert rows[1].density == pytest.approx((2 / 2) / (3 / 7))
