"""Grid preparation: min-max normalisation and the statistics of complete windows."""

from __future__ import annotations

import math
from typing import Any

import numpy as np

from . import _core
from ._grids import fill_of, for_core, grid_of, own_nodata, single, value_in
from .raster import coarsened, is_data_array, like


def normalize(array: Any, nodata: float | None = None):
    """Rescale a grid to 0..1 between its smallest and largest value (as the normalisation job).

    Parameters
    ----------
    array: a 2-D numpy array or DataArray (a band dimension of length 1 is dropped) of numbers
        of any type (computed in float64).
    nodata: the no-data value: a cell holding it exactly (or NaN) is no data, left out of the
        range, and holds nodata in the result. None: NaN marks no data; for a DataArray its
        ``rio.nodata`` too; no-data cells are NaN in the result.

    Returns a float64 grid of the same shape: (v - low) / (high - low) for every value, 0 when
    all values are equal. A DataArray comes back as a new float64 DataArray on the same frame
    (coordinates, CRS, transform; nothing of the input's encoding) with its no-data value
    written. ValueError for infinite values and for arrays that are not 2-D. Two passes over
    the grid and one result of its size.
    """
    values = grid_of(array)
    own = value_in(values.dtype, own_nodata(array, nodata))
    fill = fill_of(nodata)
    result = normalized(values, own, fill)
    return like(array, result, fill) if is_data_array(array) else result


def normalized(values: np.ndarray, nodata: float | None, fill: float) -> np.ndarray:
    """values rescaled to 0..1 between their smallest and largest data value; no-data cells
    (NaN, or equal to nodata) hold fill."""
    low, _, high, _ = _core.grid_range(values, nodata)
    return _core.rescale_grid(values, low, high, nodata, fill)


def window_stats(array: Any, window: int, nodata: float | None = None):
    """Mean and population standard deviation of every complete window x window window, each
    result grid then rescaled to 0..1 between its own smallest and largest value (as the
    window-statistics job).

    Windows tile the grid from its south-west corner (its last row and first column, the first
    row being north) without overlapping, as the window-stats command tiles a raster: the
    results have rows // window by cols // window cells, and the rows % window northern rows and
    cols % window eastern columns that complete no window are left out. A window's values are
    summed row by row from its southern row, as the command sums them, so results cast to
    float32 equal the command's Float32 output. A window more than half of whose cells are no
    data is no data in both results.

    Parameters
    ----------
    array: a 2-D numpy array or DataArray (computed in float64).
    window: the window's side in cells, from 1 up to the grid's rows and columns.
    nodata: as for normalize: a cell holding it exactly (or NaN) is no data; no-data results
        hold it, or NaN when it is None.

    Returns (mean, deviation): two float64 grids (DataArrays with the windows' coordinates and a
    transform of window-sized cells starting rows % window rows down, for a DataArray input).
    ValueError for a window below 1 or larger than the grid.
    """
    layers = single(array, nodata)
    mean, deviation = (normalized(t, None, layers.fill) for t in window_tiles(layers, window))
    if layers.template is not None:
        return (coarsened(array, mean, window, layers.fill, "mean"),
                coarsened(array, deviation, window, layers.fill, "deviation"))
    return mean, deviation


def window_tiles(layers, window: int) -> tuple[np.ndarray, np.ndarray]:
    """The mean and deviation of a grid's complete windows, not rescaled; NaN for blank windows."""
    values, blank, _ = for_core(layers, np.float64, "the grid")
    tiles = _core.window_tiles(values[0], window, blank)
    return tuple(np.where(t == blank, math.nan, t) for t in tiles)
