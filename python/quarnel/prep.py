"""Grid preparation: min-max normalisation and the statistics of complete windows."""

from __future__ import annotations

from typing import Any

import numpy as np

from . import _core
from ._grids import Blank, restore_blanks, with_blank
from .raster import coarsened, is_data_array, like, nodata_of


def normalize(array: Any, nodata: float | None = None):
    """Rescale a grid to 0..1 between its smallest and largest value (as the normalisation job).

    Parameters
    ----------
    array: a 2-D numpy array or DataArray of numbers (computed in float64).
    nodata: the no-data value. A value within 1 of it is no data: it is left out of the range
        and stays ``nodata`` in the result. ``None`` (or NaN): NaN marks no data and stays NaN;
        for a DataArray, ``None`` takes its ``rio.nodata`` when it has one.

    Returns a float64 grid of the same shape: (v - low) / (high - low) for every value, 0 when
    all values are equal. A DataArray comes back as a DataArray with the same coordinates, CRS
    and transform and its no-data written (rio.write_nodata). ValueError for values that are not
    finite (other than NaN as no-data) and for arrays that are not 2-D.
    """
    nodata = nodata_of(array, nodata)
    values, blank = with_blank(getattr(array, "values", array), nodata, np.float64, "the grid")
    low, high, _ = _core.range_of_grid(values, blank.value)
    result = rescale(values, low, high, blank)
    if is_data_array(array):
        return like(array, result, None if blank.nan else blank.value)
    return result


def rescale(values: np.ndarray, low: float, high: float, blank: Blank) -> np.ndarray:
    """values (with their blank) rescaled from [low, high] to [0, 1], no-data restored."""
    result = _core.rescale_grid(values, low, high, blank.value)
    return restore_blanks(result, np.abs(values - blank.value) <= 1, blank)


def window_stats(array: Any, window: int, nodata: float | None = None):
    """Mean and population standard deviation of every complete window x window window, each
    result grid then rescaled to 0..1 between its own smallest and largest value (as the
    window-statistics job).

    Windows tile the grid from its first row and column without overlapping: the results have
    rows // window by cols // window cells, and rows and columns that complete no window are
    left out. A window more than half of whose cells are no data is no data in both results.

    Parameters
    ----------
    array: a 2-D numpy array or DataArray (computed in float64).
    window: the window's side in cells, from 1 up to the grid's rows and columns.
    nodata: as for normalize: an explicit value (within 1 of it is no data, and no-data results
        hold it) or None/NaN (NaN in, NaN out).

    Returns (mean, deviation): two float64 grids (DataArrays with the windows' coordinates and a
    transform of window-sized cells for a DataArray input). ValueError for a window below 1 or
    larger than the grid.
    """
    nodata = nodata_of(array, nodata)
    values, blank = with_blank(getattr(array, "values", array), nodata, np.float64, "the grid")
    mean, deviation = (_rescaled_to_own_range(t, blank) for t in _core.window_tiles(values, window, blank.value))
    if is_data_array(array):
        keep = None if blank.nan else blank.value
        return (coarsened(array, mean, window, keep, "mean"), coarsened(array, deviation, window, keep, "deviation"))
    return mean, deviation


def _rescaled_to_own_range(values: np.ndarray, blank: Blank) -> np.ndarray:
    low, high, _ = _core.range_of_grid(values, blank.value)
    return rescale(values, low, high, blank)
