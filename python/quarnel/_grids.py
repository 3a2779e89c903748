"""No-data handling and the shapes the methods take, shared by every method.

The core marks no-data with a blank value (each method with its own tolerance: within 1 for
preparation, within 0.1 for BP classification, exact for hierarchy and feature analysis). A
caller gives no-data either as an explicit value, which is passed on unchanged and stays in the
results, or as NaN (``nodata=None`` or ``nodata=nan``): NaN cells are then handed to the core as a
blank value far from every value of the data (so no value is taken for no-data and no result
depends on the stand-in), and blank results come back as NaN.
"""

from __future__ import annotations

import math
from dataclasses import dataclass
from typing import Any, Sequence

import numpy as np


@dataclass(frozen=True)
class Blank:
    """The blank value handed to the core and whether it stands for NaN."""

    value: float
    nan: bool


def is_nan_nodata(nodata: float | None) -> bool:
    return nodata is None or (isinstance(nodata, (float, np.floating)) and math.isnan(nodata))


def stand_in(values: np.ndarray) -> float:
    """A blank value more than 4 away from every finite value and from 0..1 (the rescaled range)."""
    # fmin and fmax pass over NaN and make no copy of a large array.
    ends = [np.fmin.reduce(values, axis=None), np.fmax.reduce(values, axis=None)] if values.size else []
    largest = max((abs(float(e)) for e in ends if not np.isnan(e)), default=0.0)
    value = -(2.0 * largest + 8.0)
    with np.errstate(over="ignore"):
        fits = np.isfinite(values.dtype.type(value))
    if not fits:
        raise ValueError(
            f"values up to {largest:g} leave no room for a no-data stand-in in {values.dtype}; "
            "give nodata as an explicit value"
        )
    return float(values.dtype.type(value))


def with_blank(values: Any, nodata: float | None, dtype: type, name: str = "array") -> tuple[np.ndarray, Blank]:
    """values as a C-ordered array of dtype with its blank value; ValueError for values that are
    not finite (other than NaN standing for no-data)."""
    array = np.ascontiguousarray(values, dtype=dtype)
    if is_nan_nodata(nodata):
        if np.isinf(array).any():
            raise ValueError(f"{name} holds infinite values")
        blank = stand_in(array)
        nan = np.isnan(array)
        if nan.any():
            # The caller's array is never changed; a converted copy is ours to fill.
            if np.shares_memory(array, np.asarray(values)):
                array = array.copy()
            np.copyto(array, array.dtype.type(blank), where=nan)
        return array, Blank(blank, True)
    if not np.isfinite(array).all():
        raise ValueError(f"{name} holds values that are not finite (NaN or infinite) besides nodata={nodata!r}")
    return array, Blank(float(dtype(nodata)), False)


def restore_blanks(result: np.ndarray, blank_cells: np.ndarray, blank: Blank) -> np.ndarray:
    """NaN where the core left a blank, when NaN was the caller's no-data."""
    if blank.nan:
        result = np.where(blank_cells, result.dtype.type(np.nan), result)
    return result


def as_stack(stack: Any) -> np.ndarray:
    """bands x rows x cols from a 3-D array or a sequence of 2-D arrays (or DataArrays)."""
    if isinstance(stack, (list, tuple)):
        layers = [np.asarray(getattr(layer, "values", layer)) for layer in stack]
        shapes = {layer.shape for layer in layers}
        if len(shapes) != 1 or len(next(iter(shapes))) != 2:
            raise ValueError(f"the layers must be 2-D grids of one shape, not {sorted(shapes)}")
        return np.stack(layers)
    array = np.asarray(getattr(stack, "values", stack))
    if array.ndim == 2:
        return array[np.newaxis]
    if array.ndim != 3:
        raise ValueError(f"a stack is bands x rows x cols, not {array.ndim}-D")
    return array


def as_vector(values: Sequence[float] | np.ndarray, count: int, dtype: type, name: str) -> np.ndarray:
    vector = np.ascontiguousarray(values, dtype=dtype).reshape(-1)
    if vector.size != count:
        raise ValueError(f"{name} needs {count} values, not {vector.size}")
    return vector
