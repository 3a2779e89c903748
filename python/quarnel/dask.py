"""The methods on chunked data: dask arrays, or xarray DataArrays backed by dask (or numpy).

Results equal the in-memory functions' bit for bit, whatever the chunks, and every function
but product_matrix only builds a graph: no block is read until the result is computed.
- per-cell methods (classification, regular-grid prediction, coding, scoring) run per block
  through map_blocks;
- normalize reduces the global range in the graph (per block the first cell holding the
  smallest and the largest value in row order, as the core's scan keeps them; one task
  combines them), then rescales per block;
- window_stats rechunks so that block edges fall on window edges: every window is computed
  once and whole inside one block; its results are rescaled as normalize rescales;
- classify reduces each band's range in the graph and folds them in band order into the
  running ranges the core's classification uses;
- product_matrix (computed when called) adds up per-block counts. The products of codes are -1,
  0 or +1, so a block's float32 matrix is exact (blocks hold at most 2^24 cells) and the int64
  sum of the blocks is exact. It equals the core's float32 running sum while no partial sum
  passes 2^24, which holds whenever at most 2^24 = 16,777,216 cells are used; beyond that the
  core's sums stall at 2^24 and this one stays exact (a warning says so).
Layers given as a list must lie on one frame (checked from their coordinates, not their values).
- trees_predict predicts each block's cells with the model (as quarnel.trees.predict does).
- wofe_weights adds up per-block class counts (exact, computed when called); wofe_posterior
  reduces the conditions and looks each block's cells up in the core's posterior of every
  condition.
- fuzzy_overlay and logistic_predict are per cell, so they run per block through map_blocks.
"""

from __future__ import annotations

import functools
import warnings
from typing import Any, Sequence

import dask
import dask.array as da
import numpy as np

from . import _core
from . import feature as _feature
from . import fuzzy as _fuzzy
from . import hierarchy as _hierarchy
from . import logistic as _logistic
from . import prep as _prep
from . import trees as _trees
from . import workflow as _workflow
from ._grids import Layers, fill_of, for_core, own_nodata, value_in
from .bp import Network
from .raster import check_aligned, coarsened, is_data_array, like, spatial
from . import _wofe_dask

# Weights of evidence on chunked data.
wofe_weights = _wofe_dask.wofe_weights
wofe_posterior = _wofe_dask.wofe_posterior

# Cells a block may hold for its float32 product matrix to be exact.
EXACT_FLOAT32_COUNT = 2**24


def _unwrap(x: Any) -> tuple[da.Array, Any]:
    if is_data_array(x):
        x = spatial(x)
        data = x.data
        return (data if isinstance(data, da.Array) else da.from_array(data)), x
    return (x if isinstance(x, da.Array) else da.from_array(np.asarray(x))), None


def _grid(x: Any, nodata: float | None) -> tuple[da.Array, float | None, Any]:
    """A 2-D grid as a dask array, its no-data value (besides NaN) and its DataArray, if any."""
    array, template = _unwrap(x)
    if array.ndim != 2:
        raise ValueError(f"the grid must have 2 dimensions, not {array.ndim}")
    return array, value_in(array.dtype, own_nodata(template, nodata)), template


def _stack(stack: Any, nodata: float | None) -> tuple[da.Array, list[float | None], Any]:
    """bands x rows x cols as one dask array, every band of a cell in one block, with each
    band's no-data value and the first DataArray among the layers."""
    if isinstance(stack, (list, tuple)):
        check_aligned(stack)
        layers = [_unwrap(layer) for layer in stack]
        array = da.stack([a for a, _ in layers])
        values = [value_in(a.dtype, own_nodata(t, nodata)) for a, t in layers]
        template = next((t for _, t in layers if t is not None), None)
    else:
        array, template = _unwrap(stack)
        if array.ndim == 2:
            array = array[np.newaxis]
        values = [value_in(array.dtype, own_nodata(template, nodata))] * (array.shape[0] if array.ndim == 3 else 0)
    if array.ndim != 3:
        raise ValueError(f"a stack is bands x rows x cols, not {array.ndim}-D")
    return array.rechunk({0: -1}), values, template


def _block_extremes(block: np.ndarray, nodata: float | None, cols: int, block_info=None) -> np.ndarray:
    """[[low, its row-order index in the whole grid, high, its index]] of a block's data;
    indices -1 when it has none."""
    (top, _), (left, _) = block_info[0]["array-location"]
    low, low_at, high, high_at = _core.grid_range(block, nodata)
    width = block.shape[1]
    at = [-1 if i < 0 else (top + i // width) * cols + left + i % width for i in (low_at, high_at)]
    return np.array([[low, at[0], high, at[1]]])


def _first_extremes(extremes: np.ndarray) -> tuple[float, float]:
    """The smallest value found first and the largest found first over all blocks."""
    rows = extremes.reshape(-1, 4)
    low, high = rows[rows[:, 1] >= 0], rows[rows[:, 3] >= 0]
    if not len(low):
        return 1e308, -1e308
    first_low = low[np.lexsort((low[:, 1], low[:, 0]))[0], 0]
    first_high = high[np.lexsort((high[:, 3], -high[:, 2]))[0], 2]
    return float(first_low), float(first_high)


def _rescale_block(block: np.ndarray, extremes: tuple[float, float], nodata: float | None, fill: float) -> np.ndarray:
    return _core.rescale_grid(block, extremes[0], extremes[1], nodata, fill)


def _rescaled(array: da.Array, nodata: float | None, fill: float) -> da.Array:
    """The core's rescaling of a 2-D grid by its global range, as a graph."""
    extremes = array.map_blocks(
        _block_extremes, nodata, array.shape[1],
        chunks=(tuple(1 for _ in array.chunks[0]), tuple(4 for _ in array.chunks[1])), meta=np.empty((0, 0)),
    )
    extremes = dask.delayed(_first_extremes, pure=True)(extremes)
    return array.map_blocks(_rescale_block, extremes, nodata, fill, meta=np.empty((0, 0)))


def normalize(x: Any, nodata: float | None = None):
    """quarnel.normalize on a chunked 2-D grid, lazy (a dask array, or a DataArray for
    DataArray input): the range is reduced when the result is computed."""
    array, own, template = _grid(x, nodata)
    result = _rescaled(array, own, fill_of(nodata))
    return result if template is None else like(template, result, fill_of(nodata))


def _tiles_block(block: np.ndarray, w: int, nodata: float | None, which: int) -> np.ndarray:
    return _prep.window_tiles(Layers([block], [nodata], None, np.nan), w)[which]


def window_stats(x: Any, window: int, nodata: float | None = None):
    """quarnel.window_stats on a chunked 2-D grid: (mean, deviation), lazy. The grid is cut to whole
    windows from its south-west corner (the rows % window northern rows and the cols % window
    eastern columns left out) and rechunked on window edges (chunks of about the original size, a
    multiple of window), so each window is computed once, whole, inside one block."""
    array, own, template = _grid(x, nodata)
    rows, cols = array.shape
    if window < 1 or window > rows or window > cols:
        raise ValueError(f"the window size {window} is below 1 or larger than the grid of {rows} x {cols} cells")
    cut = array[rows % window:, : cols // window * window]
    aligned = cut.rechunk(tuple(max(window, max(c) // window * window) for c in cut.chunks))
    tile_chunks = tuple(tuple(n // window for n in c) for c in aligned.chunks)
    fill = fill_of(nodata)
    results = []
    for which, name in ((0, "mean"), (1, "deviation")):
        tiles = aligned.map_blocks(_tiles_block, window, own, which, chunks=tile_chunks, dtype=np.float64)
        result = _rescaled(tiles, None, fill)
        if template is not None:
            result = coarsened(template, result, window, fill, name)
        results.append(result)
    return tuple(results)


def _band_extremes(block: np.ndarray, nodata: list[float | None]) -> np.ndarray:
    """Per band the smallest, then per band the largest data value (+inf/-inf: none), as a
    (2 x bands) x 1 x 1 block."""
    ends = [_core.grid_range(band, value) for band, value in zip(block, nodata)]
    low = [e[0] if e[1] >= 0 else np.inf for e in ends]
    high = [e[2] if e[3] >= 0 else -np.inf for e in ends]
    return np.array(low + high, dtype=np.float64).reshape(-1, 1, 1)


def _running_ranges(extremes: np.ndarray, bands: int, start: tuple[float, float]) -> tuple[np.ndarray, np.ndarray]:
    """The running range of bands 0..b for every band b, from the start range."""
    low = np.minimum.accumulate(np.concatenate([[start[0]], extremes[:bands].min(axis=(1, 2))]))[1:]
    high = np.maximum.accumulate(np.concatenate([[start[1]], extremes[bands:].max(axis=(1, 2))]))[1:]
    return low, high


def _classify_block(block: np.ndarray, network: Network, nodata: list[float | None], ranges) -> np.ndarray:
    values, blank, _ = for_core(Layers(list(block), nodata, None, np.nan), np.float64)
    return _core.classify_in_ranges(network._core, values, blank, ranges[0], ranges[1])


def classify(
    network: Network, stack: Any, nodata: float | None = None, start_range: tuple[float, float] | None = None
):
    """Network.classify on a chunked stack (bands x rows x cols, or a list of 2-D grids), lazy:
    each band's range is reduced in the graph and folded in band order into the running range
    (band b is scaled by the range of bands 0..b and the start range); int32 classes."""
    array, own, template = _stack(stack, nodata)
    bands = array.shape[0]
    extremes = array.map_blocks(
        _band_extremes, own,
        chunks=((2 * bands,), tuple(1 for _ in array.chunks[1]), tuple(1 for _ in array.chunks[2])),
        dtype=np.float64,
    )
    start = (1e308, -1e308) if start_range is None else start_range
    ranges = dask.delayed(_running_ranges, pure=True)(extremes, bands, start)
    result = array.map_blocks(_classify_block, network, own, ranges, drop_axis=0, dtype=np.int32)
    return result if template is None else like(template, result, None, "class")


def _per_block(function, stack: Any, nodata: float | None, name: str, *args):
    array, own, template = _stack(stack, nodata)
    fill = fill_of(nodata)
    result = array.map_blocks(function, own, fill, *args, drop_axis=0, dtype=np.float32)
    return result if template is None else like(template, result, fill, name)


def _predict_block(block: np.ndarray, nodata, fill, w: np.ndarray) -> np.ndarray:
    return _hierarchy.predicted(Layers(list(block), nodata, None, fill), w)


def _score_block(block: np.ndarray, nodata, fill, lower, upper, w: np.ndarray) -> np.ndarray:
    return _feature._score(Layers(list(block), nodata, None, fill), lower, upper, w)[0]


def predict(stack: Any, element_weights: Any, nodata: float | None = None):
    """hierarchy.predict on a chunked stack, per block (lazy float32)."""
    w = np.asarray(element_weights, dtype=np.float32)
    return _per_block(_predict_block, stack, nodata, "prediction", w)


def score(stack: Any, lower: Sequence[float], upper: Sequence[float], weights: Any, nodata: float | None = None):
    """feature.score on a chunked stack, per block (lazy float32)."""
    w = np.asarray(getattr(weights, "weights", weights), dtype=np.float32)
    return _per_block(_score_block, stack, nodata, "score", lower, upper, w)


def _overlay_block(block: np.ndarray, nodata, fill, operator: str, gamma: float) -> np.ndarray:
    return _fuzzy.overlaid(Layers(list(block), nodata, None, fill), operator, gamma)


def fuzzy_overlay(memberships: Any, operator: str = "and", gamma: float | None = None, nodata: float | None = None):
    """fuzzy.overlay on chunked memberships, per block (lazy float64)."""
    _workflow.check("fuzzy", operator=operator, gamma=gamma)
    if gamma is None:
        gamma = next(p["value"] for p in _workflow.parameters("fuzzy") if p["name"] == "gamma")
    array, own, template = _stack(memberships, nodata)
    fill = fill_of(nodata)
    result = array.map_blocks(_overlay_block, own, fill, operator, float(gamma), drop_axis=0, dtype=np.float64)
    return result if template is None else like(template, result, fill, "fuzzy")


def _logistic_block(block: np.ndarray, nodata, fill, fitted: dict, shift: float) -> np.ndarray:
    return np.stack(_logistic.predicted(fitted, Layers(list(block), nodata, None, fill), shift))


def logistic_predict(fitted: dict, stack: Any, intercept_shift: float = 0.0, nodata: float | None = None):
    """logistic.predict on a chunked stack, per block: (probability, standard error), lazy float64."""
    array, own, template = _stack(stack, nodata)
    fill = fill_of(nodata)
    block = functools.partial(_logistic_block, fitted=fitted, shift=float(intercept_shift))
    both = array.map_blocks(block, own, fill, chunks=((2,),) + array.chunks[1:], dtype=np.float64)
    if template is None:
        return both[0], both[1]
    return like(template, both[0], fill, "probability"), like(template, both[1], fill, "standard_error")


def _trees_block(block: np.ndarray, nodata, fill, fitted: dict, shift: float) -> np.ndarray:
    values = block.astype(np.float64)
    for band, value in enumerate(nodata):
        if value is not None:
            values[band][block[band] == value] = np.nan
    grid = _trees._probability(fitted, values, shift)
    grid[np.isnan(grid)] = fill
    return grid


def trees_predict(fitted: dict, stack: Any, intercept_shift: float = 0.0, nodata: float | None = None):
    """trees.predict on a chunked stack, per block (lazy float64)."""
    array, own, template = _stack(stack, nodata)
    fill = fill_of(nodata)
    result = array.map_blocks(_trees_block, own, fill, fitted, float(intercept_shift), drop_axis=0,
                              dtype=np.float64)
    return result if template is None else like(template, result, fill, "probability")


def _code_block(block: np.ndarray, nodata, fill, lower, upper) -> np.ndarray:
    return _feature.coded(Layers(list(block), nodata, None, fill), lower, upper)


def code(stack: Any, lower: Sequence[float], upper: Sequence[float], nodata: float | None = None):
    """feature.code on a chunked stack, per block (lazy float32, the stack's shape; a DataArray
    for DataArray input)."""
    array, own, template = _stack(stack, nodata)
    fill = fill_of(nodata)
    result = array.map_blocks(_code_block, own, fill, lower, upper, dtype=np.float32)
    return result if template is None else like(template, result, fill, "code")


def _block_counts(block, lower, upper, nodata, offset, matched):
    values, blank, _ = for_core(Layers(list(block), nodata, None, np.nan), np.float32)
    mask = None
    if matched is not None:
        mask = np.zeros(values.shape[1:], dtype=np.uint8)
        r = matched[:, 0] - offset[0]
        c = matched[:, 1] - offset[1]
        inside = (r >= 0) & (r < mask.shape[0]) & (c >= 0) & (c < mask.shape[1])
        mask[r[inside], c[inside]] = 1
    lo = np.asarray(lower, dtype=np.float32)
    hi = np.asarray(upper, dtype=np.float32)
    p, used = _core.feature_product_matrix(values, lo, hi, blank, mask)
    return p.astype(np.int64), used


def product_matrix(
    stack: Any, lower: Sequence[float], upper: Sequence[float], nodata: float | None = None, units: Any = None
) -> np.ndarray:
    """feature.product_matrix of a chunked stack as the sum of per-block counts (computed now).
    ValueError for a block of more than 2^24 cells; a warning when more than 2^24 cells are
    used (see the module's help)."""
    array, own, _ = _stack(stack, nodata)
    if any(r * c > EXACT_FLOAT32_COUNT for r in array.chunks[1] for c in array.chunks[2]):
        raise ValueError("a block holds more than 2^24 cells; rechunk the stack smaller")
    matched = None if units is None else _feature.matched_units(units, array.shape[1:])
    offsets = [np.concatenate([[0], np.cumsum(c)[:-1]]) for c in array.chunks[1:]]
    blocks = array.to_delayed()[0]
    tasks = [
        dask.delayed(_block_counts)(blocks[i, j], lower, upper, own, (int(r), int(c)), matched)
        for i, r in enumerate(offsets[0])
        for j, c in enumerate(offsets[1])
    ]
    parts = dask.compute(*tasks)
    counts = sum(p for p, _ in parts)
    used = sum(u for _, u in parts)
    if used > EXACT_FLOAT32_COUNT:
        warnings.warn(
            f"{used} cells used: the in-memory float32 sums may stall at 2^24 where these counts stay exact",
            stacklevel=2,
        )
    return counts.astype(np.float32)
