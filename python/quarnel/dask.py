"""The methods on chunked data: dask arrays, or xarray DataArrays backed by dask (or numpy).

Results equal the in-memory functions' bit for bit, whatever the chunks:
- per-cell methods (classification, regular-grid prediction, coding, scoring) run per block
  through map_blocks;
- normalize reduces the global range first (the first cell holding the smallest and the
  largest value in row order, as the core's scan keeps them), then rescales per block;
- window_stats rechunks so that block edges fall on window edges: every window is computed
  once and whole inside one block; the rescaling of its results reduces their ranges first;
- classify reduces each band's range first and folds them in band order into the running
  ranges the core's classification uses;
- product_matrix adds up per-block counts. The products of codes are -1, 0 or +1, so a
  block's float32 matrix is exact (blocks hold at most 2^24 cells) and the int64 sum of the
  blocks is exact. It equals the core's float32 running sum while no partial sum passes 2^24,
  which holds whenever at most 2^24 = 16,777,216 cells are used; beyond that the core's sums
  stall at 2^24 and this one stays exact (a warning says so).
- wofe_weights adds up per-block class counts (exact); wofe_posterior reduces the conditions
  and looks each block's cells up in the core's posterior of every condition.
Reductions run when the function is called (they compute); the results themselves stay lazy.
"""

from __future__ import annotations

import warnings
from typing import Any, Sequence

import dask
import dask.array as da
import numpy as np

from . import _core
from . import feature as _feature
from . import hierarchy as _hierarchy
from . import prep as _prep
from ._grids import with_blank
from .bp import Network
from .raster import coarsened, is_data_array, like, nodata_of
from ._wofe_dask import wofe_posterior, wofe_weights  # noqa: F401  (weights of evidence)

# Cells a block may hold for its float32 product matrix to be exact.
EXACT_FLOAT32_COUNT = 2**24


def _unwrap(x: Any) -> tuple[da.Array, Any]:
    if is_data_array(x):
        data = x.data
        return (data if isinstance(data, da.Array) else da.from_array(data)), x
    return (x if isinstance(x, da.Array) else da.from_array(np.asarray(x))), None


def _stack(stack: Any) -> tuple[da.Array, Any]:
    """bands x rows x cols as one dask array, every band of a cell in one block."""
    if isinstance(stack, (list, tuple)):
        layers = [_unwrap(layer) for layer in stack]
        array = da.stack([a for a, _ in layers])
        template = layers[0][1]
    else:
        array, template = _unwrap(stack)
        if array.ndim == 2:
            array = array[np.newaxis]
    if array.ndim != 3:
        raise ValueError(f"a stack is bands x rows x cols, not {array.ndim}-D")
    return array.rechunk({0: -1}), template


def _blocks_with_offsets(array: da.Array):
    """(delayed block, (row, col) of its first cell) for every block of a 2-D array."""
    offsets = [np.concatenate([[0], np.cumsum(c)[:-1]]) for c in array.chunks]
    blocks = array.to_delayed()
    for i, row in enumerate(offsets[0]):
        for j, col in enumerate(offsets[1]):
            yield blocks[i, j], (int(row), int(col))


def _first_extremes(block: np.ndarray, nodata: float | None, offset: tuple[int, int], cols: int):
    """(low, its first cell's row-order index, high, its index) of the values not within 1 of
    the blank, or None for a block without one."""
    values, blank = with_blank(block, nodata, np.float64, "the grid")
    used = ~(np.abs(values - blank.value) <= 1)
    if not used.any():
        return None
    result = []
    for value in (values[used].min(), values[used].max()):
        r, c = np.unravel_index(np.flatnonzero(used & (values == value))[0], values.shape)
        result += [values[r, c], (offset[0] + r) * cols + offset[1] + c]
    return tuple(result)


def _global_range(array: da.Array, nodata: float | None) -> tuple[float, float]:
    """The core's NonBlankRange over the whole array: the first smallest and first largest
    value in row order (which decides the sign of a zero at either end)."""
    cols = array.shape[1]
    parts = dask.compute(
        *[dask.delayed(_first_extremes)(b, nodata, o, cols) for b, o in _blocks_with_offsets(array)]
    )
    parts = [p for p in parts if p is not None]
    if not parts:
        return 1e308, -1e308
    low = min(parts, key=lambda p: (p[0], p[1]))[0]
    high = min(parts, key=lambda p: (-p[2], p[3]))[2]
    return float(low), float(high)


def _rescale_block(block: np.ndarray, low: float, high: float, nodata: float | None) -> np.ndarray:
    values, blank = with_blank(block, nodata, np.float64, "the grid")
    return _prep.rescale(values, low, high, blank)


def _rescaled(array: da.Array, nodata: float | None) -> da.Array:
    low, high = _global_range(array, nodata)
    return array.map_blocks(_rescale_block, low, high, nodata, dtype=np.float64)


def normalize(x: Any, nodata: float | None = None):
    """quarnel.normalize on a chunked 2-D grid: the range is reduced now, the result is lazy
    (a dask array, or a DataArray for DataArray input)."""
    array, template = _unwrap(x)
    nodata = nodata_of(template, nodata)
    result = _rescaled(array, nodata)
    if template is not None:
        return like(template, result, nodata)
    return result


def _tiles_block(block: np.ndarray, w: int, nodata: float | None, which: int) -> np.ndarray:
    values, blank = with_blank(block, nodata, np.float64, "the grid")
    tiles = _core.window_tiles(values, w, blank.value)[which]
    if blank.nan:
        tiles = np.where(tiles == blank.value, np.nan, tiles)
    return tiles


def window_stats(x: Any, window: int, nodata: float | None = None):
    """quarnel.window_stats on a chunked 2-D grid: (mean, deviation), lazy. The grid is cut to whole
    windows and rechunked on window edges (chunks of about the original size, a multiple of
    window), so each window is computed once, whole, inside one block."""
    array, template = _unwrap(x)
    nodata = nodata_of(template, nodata)
    rows, cols = array.shape
    if window < 1 or window > rows or window > cols:
        raise ValueError(f"the window size {window} is below 1 or larger than the grid of {rows} x {cols} cells")
    cut = array[: rows // window * window, : cols // window * window]
    aligned = cut.rechunk(tuple(max(window, max(c) // window * window) for c in cut.chunks))
    tile_chunks = tuple(tuple(n // window for n in c) for c in aligned.chunks)
    results = []
    for which, name in ((0, "mean"), (1, "deviation")):
        tiles = aligned.map_blocks(_tiles_block, window, nodata, which, chunks=tile_chunks, dtype=np.float64)
        result = _rescaled(tiles, nodata)
        if template is not None:
            result = coarsened(template, result, window, nodata, name)
        results.append(result)
    return tuple(results)


def _band_extremes(block: np.ndarray, nodata: float | None) -> np.ndarray:
    """Per band: the smallest and largest value not within 0.1 of the blank (+inf/-inf: none)."""
    values, blank = with_blank(block, nodata, np.float64, "the stack")
    used = ~(np.abs(values - blank.value) <= 0.1)
    low = np.where(used, values, np.inf).min(axis=(1, 2))
    high = np.where(used, values, -np.inf).max(axis=(1, 2))
    return np.stack([low, high])


def _classify_block(block: np.ndarray, network: Network, nodata: float | None, low, high) -> np.ndarray:
    values, blank = with_blank(block, nodata, np.float64, "the stack")
    return _core.classify_in_ranges(network._core, values, blank.value, low, high)


def classify(
    network: Network, stack: Any, nodata: float | None = None, start_range: tuple[float, float] | None = None
):
    """Network.classify on a chunked stack (bands x rows x cols, or a list of 2-D grids): each
    band's range is reduced now and folded in band order into the running range (band b is
    scaled by the range of bands 0..b and the start range); the int32 class raster is lazy."""
    array, template = _stack(stack)
    nodata = nodata_of(template, nodata)
    parts = dask.compute(*[dask.delayed(_band_extremes)(b, nodata) for b in array.to_delayed().ravel()])
    extremes = np.stack(parts)
    start_low, start_high = (1e308, -1e308) if start_range is None else start_range
    low = np.minimum.accumulate(np.concatenate([[start_low], extremes[:, 0].min(axis=0)]))[1:]
    high = np.maximum.accumulate(np.concatenate([[start_high], extremes[:, 1].max(axis=0)]))[1:]
    result = array.map_blocks(_classify_block, network, nodata, low, high, drop_axis=0, dtype=np.int32)
    if template is not None:
        return like(template, result, None, "class")
    return result


def _per_block(function, stack: Any, nodata: float | None, name: str, *args):
    array, template = _stack(stack)
    nodata = nodata_of(template, nodata)
    result = array.map_blocks(function, *args, nodata, drop_axis=0, dtype=np.float32)
    if template is not None:
        return like(template, result, nodata, name)
    return result


def _predict_block(block: np.ndarray, w: np.ndarray, nodata: float | None) -> np.ndarray:
    return _hierarchy.predict(block, w, nodata)


def _score_block(block: np.ndarray, lower, upper, w: np.ndarray, nodata: float | None) -> np.ndarray:
    return _feature.score(block, lower, upper, w, nodata)


def predict(stack: Any, element_weights: Any, nodata: float | None = None):
    """hierarchy.predict on a chunked stack, per block (lazy float32)."""
    w = np.asarray(element_weights, dtype=np.float32)
    return _per_block(_predict_block, stack, nodata, "prediction", w)


def score(stack: Any, lower: Sequence[float], upper: Sequence[float], weights: Any, nodata: float | None = None):
    """feature.score on a chunked stack, per block (lazy float32)."""
    w = np.asarray(getattr(weights, "weights", weights), dtype=np.float32)
    return _per_block(_score_block, stack, nodata, "score", lower, upper, w)


def code(stack: Any, lower: Sequence[float], upper: Sequence[float]):
    """feature.code on a chunked stack, per block (lazy float32, the stack's shape)."""
    array, _ = _stack(stack)
    return array.map_blocks(_feature.code, lower, upper, dtype=np.float32)


def _block_counts(block, lower, upper, nodata, offset, matched):
    values, blank = with_blank(block, nodata, np.float32, "the stack")
    mask = None
    if matched is not None:
        mask = np.zeros(values.shape[1:], dtype=np.uint8)
        r = matched[:, 0] - offset[0]
        c = matched[:, 1] - offset[1]
        inside = (r >= 0) & (r < mask.shape[0]) & (c >= 0) & (c < mask.shape[1])
        mask[r[inside], c[inside]] = 1
    lo = np.asarray(lower, dtype=np.float32)
    hi = np.asarray(upper, dtype=np.float32)
    p, used = _core.feature_product_matrix(values, lo, hi, blank.value, mask)
    return p.astype(np.int64), used


def product_matrix(
    stack: Any, lower: Sequence[float], upper: Sequence[float], nodata: float | None = None, units: Any = None
) -> np.ndarray:
    """feature.product_matrix of a chunked stack as the sum of per-block counts (computed now).
    ValueError for a block of more than 2^24 cells; a warning when more than 2^24 cells are
    used (see the module's help)."""
    array, template = _stack(stack)
    nodata = nodata_of(template, nodata)
    if any(r * c > EXACT_FLOAT32_COUNT for r in array.chunks[1] for c in array.chunks[2]):
        raise ValueError("a block holds more than 2^24 cells; rechunk the stack smaller")
    matched = None if units is None else _feature.matched_units(units, array.shape[1:])
    offsets = [np.concatenate([[0], np.cumsum(c)[:-1]]) for c in array.chunks[1:]]
    blocks = array.to_delayed()[0]
    tasks = [
        dask.delayed(_block_counts)(blocks[i, j], lower, upper, nodata, (int(r), int(c)), matched)
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
