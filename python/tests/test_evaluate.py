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


def test_precision_recall_and_probability_scores_match_scikit_learn():
    rng = np.random.default_rng(8)
    shares = np.round(rng.random((30, 40)) * 20) / 20  # ties, exact 0 and 1 among them
    shares[2, :6] = np.nan
    labels = (rng.random(shares.shape) < shares * 0.3) & ~np.isnan(shares)
    result = quarnel.evaluate.evaluate(shares, np.argwhere(labels))
    valid = ~np.isnan(shares)
    y, p = labels[valid].astype(int), shares[valid]
    precision, recall, thresholds = sklearn_metrics.precision_recall_curve(y, p)
    assert result.precision_recall.average_precision == pytest.approx(
        sklearn_metrics.average_precision_score(y, p), abs=1e-12)
    assert np.abs(result.precision_recall.points[::-1] - np.column_stack([thresholds, recall[:-1], precision[:-1]])).max() <= 1e-12
    assert result.probability.log_loss == pytest.approx(sklearn_metrics.log_loss(y, p), abs=1e-12)
    assert result.probability.brier == pytest.approx(sklearn_metrics.brier_score_loss(y, p), abs=1e-12)
    scaled = quarnel.evaluate.evaluate(shares * 2, np.argwhere(labels)).probability
    assert scaled.log_loss is None and scaled.brier is None and "outside 0 .. 1" in scaled.note


def prediction_area_crossing(scores, deposits):
    """The crossing straight from its definition: rate and area at every distinct threshold,
    highest first, and the first where rate >= 1 - area, interpolated from the one before."""
    thresholds = np.unique(scores)[::-1]
    rate = np.array([deposits[scores >= t].sum() for t in thresholds]) / deposits.sum()
    area = np.array([(scores >= t).mean() for t in thresholds])
    excess = rate + area - 1
    k = int(np.argmax(excess >= 0))
    if k == 0:
        return thresholds[0], rate[0], area[0]
    w = -excess[k - 1] / (excess[k] - excess[k - 1])
    return tuple(v[k - 1] + w * (v[k] - v[k - 1]) for v in (thresholds, rate, area))


@pytest.mark.parametrize("seed", [1, 2, 3])
def test_prediction_area_crossing_matches_numpy(seed):
    rng = np.random.default_rng(seed)
    scores = np.round(rng.normal(size=(25, 32)), 1)
    cells = np.argwhere(rng.random(scores.shape) < 0.02 * (scores + 3))
    cells = np.concatenate([cells, cells[:3]])  # some cells hold two deposits
    result = quarnel.evaluate.evaluate(scores, cells).prediction_area
    deposits = np.zeros(scores.size)
    np.add.at(deposits, cells[:, 0] * 32 + cells[:, 1], 1)
    assert np.abs(np.array(result.crossing) - prediction_area_crossing(scores.ravel(), deposits)).max() <= 1e-12
    assert result.crossing[1] == pytest.approx(1 - result.crossing[2], abs=1e-12)
