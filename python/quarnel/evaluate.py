"""Validation of a prospectivity map against known deposits: ROC curve and AUC (with DeLong's
95 % interval), success-rate, precision-recall and prediction-area curves, log loss and Brier
score of a probability map, and the class table."""

from __future__ import annotations

from dataclasses import dataclass, field
from typing import Any

import numpy as np

from . import _core
from ._grids import grid_of, own_nodata, value_in
from .raster import check_aligned, checked_cells


@dataclass(frozen=True)
class Roc:
    """ROC of the deposit cells against the other valid cells: points (x, y) from (0, 0) to
    (1, 1), one per distinct score; auc the Mann-Whitney statistic (a tie counts half); its
    standard error and 95 % interval (None with fewer than two cells of a kind)."""

    formed: bool
    deposit_cells: int
    other_cells: int
    auc: float
    standard_error: float | None
    auc_low: float | None
    auc_high: float | None
    points: np.ndarray = field(repr=False)


@dataclass(frozen=True)
class SuccessRate:
    """Deposits captured against area, cells ranked by score (equal scores enter together):
    points, the area under them and the shares of area capturing 50, 75 and 90 % of the deposits."""

    formed: bool
    cells: int
    deposits: int
    area: float
    area_for_50: float
    area_for_75: float
    area_for_90: float
    points: np.ndarray = field(repr=False)


@dataclass(frozen=True)
class PrecisionRecall:
    """Precision and recall of the deposit cells (a cell counts once) at each distinct score,
    highest first: points rows (threshold, recall, precision); average_precision as
    scikit-learn's average_precision_score (None without deposit cells)."""

    formed: bool
    deposit_cells: int
    average_precision: float | None
    points: np.ndarray = field(repr=False)


@dataclass(frozen=True)
class PredictionArea:
    """Prediction rate (share of deposits in cells at or above a threshold) and share of area at
    or above it, at each distinct score, highest first: points rows (threshold, prediction_rate,
    area_share); crossing (threshold, prediction_rate, area_share) where prediction_rate = 1 -
    area_share, interpolated linearly between the thresholds around it (None when not formed)."""

    formed: bool
    crossing: tuple[float, float, float] | None
    points: np.ndarray = field(repr=False)


@dataclass(frozen=True)
class Probability:
    """Log loss and Brier score of the map's values as the probability that a cell holds a
    deposit (scikit-learn's log_loss and brier_score_loss over the valid cells); None, with a
    note saying why, for a map whose values leave 0 .. 1."""

    log_loss: float | None
    brier: float | None
    note: str | None


@dataclass(frozen=True)
class Evaluation:
    roc: Roc
    success_rate: SuccessRate
    deposits_on_invalid: int  # deposits on no-data or masked cells
    precision_recall: PrecisionRecall
    prediction_area: PredictionArea
    probability: Probability


def _sample(raster: Any, deposit_cells: Any, nodata: float | None, mask: Any):
    grid = grid_of(raster, "the map")
    if mask is not None:
        check_aligned([raster, mask], ["the map", "the mask"])
    own = value_in(grid.dtype, own_nodata(raster, nodata))
    values = np.ascontiguousarray(grid, dtype=np.float64).reshape(-1)
    cells = np.asarray(deposit_cells)
    if cells.ndim == 2 or cells.size == 0:
        rows_cols = checked_cells(cells, grid.shape, "deposit cell")
        flat = rows_cols[:, 0] * grid.shape[1] + rows_cols[:, 1]
    else:
        flat = np.asarray(cells, dtype=np.int64).reshape(-1)
        off = np.flatnonzero((flat < 0) | (flat >= values.size))
        if off.size:
            raise ValueError(f"{off.size} deposit cell indices lie off the grid of {values.size} cells; "
                             f"the first, number {off[0]}, is {flat[off[0]]}")
    used = None if mask is None else np.ascontiguousarray(grid_of(mask, "the mask"), dtype=np.uint8).reshape(-1)
    return _core.evaluate_sample(values, own, used, np.ascontiguousarray(flat, dtype=np.int64))


def evaluate(raster: Any, deposit_cells: Any, nodata: float | None = None, mask: Any = None) -> Evaluation:
    """ROC, success rate, precision-recall, prediction-area, log loss and Brier score of a map
    (scores or class values, rows x cols) against deposits.

    deposit_cells: (row, col) pairs (as deposits_to_cells gives them) or row-major cell
        indices, each on the map (ValueError naming the first that is not: a cell off the map
        is never wrapped onto another); several deposits may share a cell (ROC counts the cell
        once, the success rate counts each deposit).
    nodata: cells holding it exactly (and NaN cells) take no part; None: NaN only (a
        DataArray's rio.nodata when it has one). mask: cells where it is 0/False take no part;
        a DataArray mask must lie on the map's frame.
    """
    scores, deposits, invalid = _sample(raster, deposit_cells, nodata, mask)
    result = _core.evaluate(scores, deposits)
    return Evaluation(Roc(**result["roc"]), SuccessRate(**result["success_rate"]), int(invalid),
                      PrecisionRecall(**result["precision_recall"]), PredictionArea(**result["prediction_area"]),
                      Probability(**result["probability"]))


@dataclass(frozen=True)
class ClassRow:
    value: float
    cells: int
    area_share: float
    deposits: int
    density: float  # (deposits / cells of the class) / (deposits / cells)


def class_table(raster: Any, deposit_cells: Any, nodata: float | None = None, mask: Any = None) -> list[ClassRow]:
    """One row per class value, ascending: its share of the valid cells, its deposits and its
    deposit density relative to the whole map."""
    classes, deposits, _ = _sample(raster, deposit_cells, nodata, mask)
    return [ClassRow(*row) for row in _core.evaluate_class_table(classes, deposits)]
