"""Logistic regression: coefficients with their standard errors, z and p, fitted by iteratively
reweighted least squares in the C++ core (Eigen)."""

from __future__ import annotations

from typing import Any, Sequence

import numpy as np

from . import _core, workflow
from ._grids import Layers, layers_of
from .raster import like


def fit(x: Any, y: Any, names: Sequence[str] | None = None, l2: float = 0.0, max_iterations: int = 100,
        categorical: Sequence[str] | None = None, samples: str = "background", progress=None) -> dict:
    """The fit of 0/1 targets y on samples x (samples x layers): ``coefficients`` [{name,
    estimate, std_error, z, p}] with the intercept first, ``covariance`` (the inverse of X'WX,
    plus l2 on the slopes' diagonal), ``log_likelihood``, ``deviance``, ``aic``, ``iterations``,
    ``converged``, ``conditions`` (rows fitted), ``layers`` (the names) and ``classes`` (per layer).
    The layers named in categorical hold classes: each class but the first (smallest) becomes a
    0/1 input named NAME=CLASS. samples="all" takes x as every cell of the study area and pools
    identical rows into one row with its counts before the fit (the host's ``--samples all``);
    "background" fits each row as it is. ValueError for complete separation (naming the input), a
    target other than 0 or 1, one class only, or values that are not finite. progress(done, total,
    value) hears of every iteration (value: its largest change of a coefficient); returning False stops the fit
    (quarnel.Stopped, nothing returned)."""
    workflow.check("logistic", l2=l2, max_iterations=max_iterations, samples=samples)
    x = np.asarray(x, dtype=np.float64)
    if x.ndim == 1:
        x = x[:, np.newaxis]
    names = list(names) if names is not None else [f"x{i + 1}" for i in range(x.shape[1] if x.ndim == 2 else 0)]
    return _core.logistic_fit(x, np.asarray(y).astype(np.int32), names, float(l2), int(max_iterations),
                              list(categorical or []), samples == "all", progress)


def predict(fitted: dict, stack: Any, intercept_shift: float = 0.0, nodata: float | None = None, progress=None):
    """(probability, standard error) at every cell of a stack of the fit's layers (layers x rows x
    cols, or a list of grids on one frame), the intercept shifted by intercept_shift (ln(sampled /
    background cells) for a sampled background, 0 for samples="all"); the error is P(1-P)
    sqrt(x' S x). A layer of classes becomes its indicator inputs by the fit's ``classes``. No data
    in any layer (NaN, or nodata), or a class the fit never met, gives nodata, else NaN.
    progress(done, total, value) hears of every row; returning False stops (quarnel.Stopped)."""
    layers = layers_of(stack, nodata, "the stack")
    found = predicted(fitted, layers, intercept_shift, progress)
    if layers.template is None:
        return tuple(found)
    return tuple(like(layers.template, grid, layers.fill) for grid in found)


def predicted(fitted: dict, layers: Layers, intercept_shift: float, progress=None) -> list[np.ndarray]:
    """predict's two grids (dask.logistic_predict calls it per block)."""
    values = np.array(layers.grids, dtype=np.float64)
    for band, (grid, value) in enumerate(zip(layers.grids, layers.nodata)):
        if value is not None:
            values[band][grid == value] = np.nan
    estimates = np.array([c["estimate"] for c in fitted["coefficients"]], dtype=np.float64)
    found = _core.logistic_predict(estimates, np.asarray(fitted["covariance"], dtype=np.float64), values,
                                   float(intercept_shift), [list(c) for c in fitted.get("classes", [])], progress)
    for grid in found:
        grid[np.isnan(grid)] = layers.fill
    return list(found)
