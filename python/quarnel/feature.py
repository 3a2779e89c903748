"""Feature analysis (characteristic analysis): coding, product matrix, weights, scores and the
back-judgement of known model units."""

from __future__ import annotations

from dataclasses import dataclass, field
from typing import Any, Sequence

import numpy as np

from . import _core
from ._grids import Layers, as_vector, for_core, grid_of, layers_of
from .raster import like

METHODS = {0: "vector length", 1: "principal component of the product matrix"}


def _bounds(lower: Any, upper: Any, count: int) -> tuple[np.ndarray, np.ndarray]:
    return as_vector(lower, count, np.float32, "lower"), as_vector(upper, count, np.float32, "upper")


def code(stack: Any, lower: Sequence[float], upper: Sequence[float], nodata: float | None = None):
    """Each value coded against its variable's bounds (float32): +1 at or above upper, otherwise
    -1 at or below lower, otherwise 0 (so with lower >= upper no value codes 0).

    stack: variables x rows x cols (or a list of grids on one frame); lower, upper: one bound
    per variable. Values are compared as float32. No-data cells (NaN, or holding nodata exactly,
    or a DataArray's rio.nodata) are not coded: they hold nodata, or NaN when it is None.
    Returns a float32 array of the stack's shape (bands x rows x cols; a new DataArray on the
    layers' frame for DataArray input).
    """
    layers = layers_of(stack, nodata)
    codes = coded(layers, lower, upper)
    return codes if layers.template is None else like(layers.template, codes, layers.fill, "code")


def coded(layers: Layers, lower: Sequence[float], upper: Sequence[float]) -> np.ndarray:
    values, _, blank_cells = for_core(layers, np.float32)
    lo, hi = _bounds(lower, upper, values.shape[0])
    codes = _core.feature_code(values, lo, hi)
    codes[blank_cells] = layers.fill
    return codes


def model_units(units: Any) -> np.ndarray:
    """Model units as an int32 (n, 3) array of (row, col, size); (row, col) pairs get size 1."""
    array = np.asarray(units, dtype=np.int64).reshape(len(units), -1) if len(units) else np.zeros((0, 3))
    if array.shape[1] == 2:
        array = np.column_stack([array, np.ones(len(array), dtype=np.int64)])
    if array.shape[1] != 3:
        raise ValueError("model units are (row, col) or (row, col, size) rows")
    return np.ascontiguousarray(array, dtype=np.int32)


def matched_units(units: Any, shape: tuple[int, int]) -> np.ndarray:
    """The units the job uses on a grid of this shape: sorted by row, then column, and matched
    while the cells are visited in row order, so a unit outside the grid or repeating the one
    before it is never matched, and neither is any unit after it. (n, 3) int32 rows."""
    return _core.feature_matched_units(model_units(units), int(shape[0]), int(shape[1]))


def product_matrix(
    stack: Any, lower: Sequence[float], upper: Sequence[float], nodata: float | None = None, units: Any = None
) -> np.ndarray:
    """The product matrix of the variables' codes (float32, n x n, symmetric): the sum over the
    cells used of the outer product of their codes, accumulated in row order in float32 as the
    job does (exact while no entry passes 2^24).

    Cells used: every cell where no variable is no data, or, with units (rows of (row, col[,
    size])), only the matched units' cells among those (see matched_units).
    nodata: a cell is no data when a value equals it exactly; None/NaN: NaN marks no data.
    """
    values, blank, mask = _stack_and_mask(stack, nodata, units)
    lo, hi = _bounds(lower, upper, values.shape[0])
    p, _ = _core.feature_product_matrix(values, lo, hi, blank, mask)
    return p


def _stack_and_mask(stack: Any, nodata: float | None, units: Any):
    values, blank, _ = for_core(layers_of(stack, nodata), np.float32)
    mask = None
    if units is not None:
        matched = matched_units(units, values.shape[1:])
        mask = np.zeros(values.shape[1:], dtype=np.uint8)
        mask[matched[:, 0], matched[:, 1]] = 1
    return values, blank, mask


@dataclass(frozen=True)
class FeatureWeights:
    """One weight per variable by method 0 (vector lengths: 100 x |row i| / the lengths' sum)
    or 1 (the first eigenvector of the normalised product matrix, scaled to absolute sum 100),
    with lengths (method 0) or component, eigenvalues and Jacobi sweeps (method 1)."""

    method: int
    weights: np.ndarray
    lengths: np.ndarray | None = None
    component: np.ndarray | None = None
    eigenvalues: np.ndarray | None = field(default=None, repr=False)
    sweeps: int = 0


METHODS = ("vector-length", "principal-component")  # the names every door uses, method 0 and 1


def weights(p: Any, method: int | str = "vector-length") -> FeatureWeights:
    """Variable weights from a product matrix (as the feature job, float32).

    method: "vector-length" (0) or "principal-component" (1), as the workflow file names them.
    ValueError when they cannot be formed (the job's 3060): every vector length 0 (method 0),
    a variable that never codes non-zero over the cells used, or a first eigenvector summing to
    0 (method 1); and for another method.
    """
    matrix = np.ascontiguousarray(p, dtype=np.float32)
    if isinstance(method, str) and method in METHODS:
        method = METHODS.index(method)
    if method == 0:
        r = _core.feature_vector_length_weights(matrix)
        if not r["formed"]:
            raise ValueError("the weights cannot be formed: every vector length is 0")
        return FeatureWeights(0, r["weights"], lengths=r["lengths"])
    if method == 1:
        r = _core.feature_principal_component_weights(matrix)
        if not r["normalised"]:
            raise ValueError("the weights cannot be formed: a variable never codes non-zero over the cells used")
        if not r["formed"]:
            raise ValueError("the weights cannot be formed: the first eigenvector sums to 0")
        return FeatureWeights(1, r["weights"], component=r["component"], eigenvalues=r["eigenvalues"],
                              sweeps=r["sweeps"])
    raise ValueError(f"method must be vector-length (0) or principal-component (1), not {method!r}")


def score(stack: Any, lower: Sequence[float], upper: Sequence[float], weights: Any, nodata: float | None = None):
    """Each cell's score: the sum of weight x code in variable order (float32).

    A cell is no data when any of its values is NaN or holds nodata exactly (a DataArray's
    rio.nodata when nodata is None); it then holds nodata, or NaN when nodata is None. Returns a
    float32 grid (a new DataArray on the layers' frame for DataArray input).
    """
    grid, _ = _score(layers_of(stack, nodata), lower, upper, weights)
    return grid


def _score(layers: Layers, lower, upper, w):
    """(scores, their statistics); the scores a DataArray when the layers have one."""
    values, blank, _ = for_core(layers, np.float32)
    lo, hi = _bounds(lower, upper, values.shape[0])
    ws = as_vector(getattr(w, "weights", w), values.shape[0], np.float32, "weights")
    scores, blanks, statistics = _core.feature_score(values, lo, hi, ws, blank)
    scores[blanks] = layers.fill
    if layers.template is not None:
        scores = like(layers.template, scores, layers.fill, "score")
    return scores, statistics


@dataclass(frozen=True)
class UnitJudgement:
    """A model unit met while scoring: its cell, deposit size and score."""

    row: int
    col: int
    size: int
    score: float


def back_judge(scores: Any, units: Any) -> list[UnitJudgement]:
    """The matched model units (see matched_units) with their cells' scores, in row order."""
    grid = np.asarray(grid_of(scores, "the scores"), dtype=np.float32)
    matched = matched_units(units, grid.shape)
    return [UnitJudgement(int(r), int(c), int(s), float(grid[r, c])) for r, c, s in matched]


@dataclass(frozen=True)
class Analysis:
    """What one feature analysis found, as the job: the product matrix as built, the weights,
    the score grid, its statistics (non-blank cells, blank cells, min, max, mean) and the
    back-judged model units."""

    product_matrix: np.ndarray = field(repr=False)
    weights: FeatureWeights
    scores: Any = field(repr=False)
    statistics: dict
    units: list[UnitJudgement]


def analyse(
    stack: Any,
    lower: Sequence[float],
    upper: Sequence[float],
    method: int | str = "vector-length",
    nodata: float | None = None,
    units: Any = None,
) -> Analysis:
    """The whole feature analysis of a stack, as the feature job runs it on its grids: product
    matrix (over the model units' cells when units are given), weights by method, scores and,
    with units, their back-judgement. ValueError as weights when no weights can be formed."""
    p = product_matrix(stack, lower, upper, nodata, units)
    w = weights(p, method)
    grid, statistics = _score(layers_of(stack, nodata), lower, upper, w.weights)
    judged = [] if units is None else back_judge(grid, units)
    return Analysis(p, w, grid, statistics, judged)
