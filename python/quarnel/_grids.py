"""No-data and the shapes the methods take, shared by every method.

One rule for every method and every source: a cell is no data when it is NaN or equals its
layer's no-data value exactly (compared in the layer's own type, as GDAL compares). The design
grids' tolerances (within 1 of the blank for preparation, within 0.1 for classification) belong
to the design's jobs on their own files, never to a caller's arrays. A layer's no-data value is
the caller's ``nodata=``, else a DataArray's own (``rio.nodata``; a DataArray read masked holds
NaN and needs none). Results hold NaN at no-data cells, or the caller's value when the caller
gave one.

The core marks no-data with a blank value and a tolerance of its own; no-data cells are handed
to it as a stand-in more than 4 away from every data value, so no data value is taken for
no-data and no result depends on the stand-in.
"""

from __future__ import annotations

import math
from dataclasses import dataclass
from typing import Any, Sequence

import numpy as np

from .raster import check_aligned, is_data_array, layer_name, spatial


def is_nan_nodata(nodata: float | None) -> bool:
    return nodata is None or (isinstance(nodata, (float, np.floating)) and math.isnan(nodata))


def value_in(dtype: np.dtype, nodata: float | None) -> float | None:
    """nodata as a value of dtype (what a cell equal to it holds, as a float), or None when no
    cell of dtype can equal it (NaN, or an integer type's value out of range or fractional)."""
    if is_nan_nodata(nodata):
        return None
    dtype = np.dtype(dtype)
    if np.issubdtype(dtype, np.floating):
        with np.errstate(over="ignore"):
            return float(dtype.type(nodata))
    if np.issubdtype(dtype, np.integer) or dtype == np.bool_:
        limits = np.iinfo(dtype) if dtype != np.bool_ else np.iinfo(np.uint8)
        value = float(nodata)
        return value if value.is_integer() and limits.min <= value <= limits.max else None
    return float(nodata)


def own_nodata(layer: Any, nodata: float | None) -> float | None:
    """The no-data value a layer is read with: the caller's, else a DataArray's rio.nodata."""
    if nodata is not None or not is_data_array(layer):
        return None if is_nan_nodata(nodata) else float(nodata)
    own = layer.rio.nodata
    return None if is_nan_nodata(own) else float(own)


def fill_of(nodata: float | None) -> float:
    """What results hold at no-data cells: the caller's value, else NaN."""
    return math.nan if is_nan_nodata(nodata) else float(nodata)


@dataclass
class Layers:
    """A method's layers: 2-D grids of one shape (views of the caller's data), each with its
    no-data value besides NaN (None: NaN only), the first DataArray among them (whose frame
    results take) and what results hold at no-data cells."""

    grids: list[np.ndarray]
    nodata: list[float | None]
    template: Any
    fill: float


def grid_of(layer: Any, what: str = "the grid") -> np.ndarray:
    """A 2-D grid's values (a DataArray's band dimension of length 1 dropped)."""
    values = np.asarray(spatial(layer).values if is_data_array(layer) else layer)
    if values.ndim != 2:
        raise ValueError(f"{what} must have 2 dimensions, not {values.ndim}")
    return values


def single(array: Any, nodata: float | None = None) -> Layers:
    """A 2-D grid (numpy or DataArray) as Layers of one."""
    grid = grid_of(array)
    return Layers([grid], [value_in(grid.dtype, own_nodata(array, nodata))],
                  array if is_data_array(array) else None, fill_of(nodata))


def layers_of(stack: Any, nodata: float | None = None, what: str = "the stack") -> Layers:
    """bands x rows x cols (numpy or DataArray), a 2-D grid, or a list of 2-D grids (numpy
    or DataArrays, whose frames must agree) as Layers."""
    if isinstance(stack, (list, tuple)):
        if not stack:
            raise ValueError(f"{what} holds no layers")
        check_aligned(stack)
        grids = [grid_of(layer, f"layer {i}{layer_name(layer)}") for i, layer in enumerate(stack)]
        shapes = {g.shape for g in grids}
        if len(shapes) != 1:
            raise ValueError(f"the layers must be 2-D grids of one shape, not {sorted(shapes)}")
        values = [(g, own_nodata(layer, nodata)) for g, layer in zip(grids, stack)]
        template = next((layer for layer in stack if is_data_array(layer)), None)
    else:
        array = np.asarray(stack.values if is_data_array(stack) else stack)
        if array.ndim == 2:
            array = array[np.newaxis]
        if array.ndim != 3:
            raise ValueError(f"a stack is bands x rows x cols, not {array.ndim}-D")
        own = own_nodata(stack, nodata)
        values = [(band, own) for band in array]
        template = stack if is_data_array(stack) else None
    return Layers(
        grids=[g for g, _ in values],
        nodata=[value_in(g.dtype, v) for g, v in values],
        template=template,
        fill=fill_of(nodata),
    )


def stand_in(values: np.ndarray) -> float:
    """A blank value more than 4 away from every value (NaN passed over) and from 0..1 (the
    rescaled range)."""
    # fmin and fmax pass over NaN and make no copy of a large array.
    ends = [np.fmin.reduce(values, axis=None), np.fmax.reduce(values, axis=None)] if values.size else []
    largest = max((abs(float(e)) for e in ends if not np.isnan(e)), default=0.0)
    value = -(2.0 * largest + 8.0)
    with np.errstate(over="ignore"):
        fits = np.isfinite(values.dtype.type(value))
    if not fits:
        raise ValueError(f"values up to {largest:g} leave no room in {values.dtype} for the no-data stand-in")
    return float(values.dtype.type(value))


def for_core(layers: Layers, dtype: type, what: str = "the stack") -> tuple[np.ndarray, float, np.ndarray]:
    """The layers as one new C-ordered bands x rows x cols array of dtype whose no-data cells
    hold a stand-in blank value, the blank value, and where the no-data cells are. ValueError for
    infinite values (neither data nor no data)."""
    array = np.empty((len(layers.grids),) + layers.grids[0].shape, dtype=dtype)
    nodata = np.empty(array.shape, dtype=bool)
    for band, (grid, value) in enumerate(zip(layers.grids, layers.nodata)):
        # No-data is decided in the layer's own type, before it is converted.
        np.not_equal(grid, grid, out=nodata[band])
        if value is not None:
            nodata[band] |= grid == grid.dtype.type(value)
        array[band] = grid
    if np.isinf(array).any():
        raise ValueError(f"{what} holds infinite values")
    np.copyto(array, np.nan, where=nodata)
    blank = stand_in(array)
    np.copyto(array, array.dtype.type(blank), where=nodata)
    return array, blank, nodata


def as_vector(values: Sequence[float] | np.ndarray, count: int, dtype: type, name: str) -> np.ndarray:
    vector = np.ascontiguousarray(values, dtype=dtype).reshape(-1)
    if vector.size != count:
        raise ValueError(f"{name} needs {count} values, not {vector.size}")
    return vector
