"""Gradient-boosted trees and random forests of 0/1 targets, trained by XGBoost's C library in
the C++ core (a forest is XGBoost's parallel-tree mode), seeded and single-threaded so that a
model is the same run to run."""

from __future__ import annotations

from typing import Any, Sequence

import numpy as np

from . import _core, workflow
from ._grids import layers_of
from .raster import like


def fit(x: Any, y: Any, names: Sequence[str] | None = None, kind: str = "boosting", trees: int = 100,
        depth: int = 4, learning_rate: float = 0.1, subsample: float = 0.8, seed: int = 1,
        folds: int | None = None, progress=None) -> dict:
    """The model of 0/1 targets y on samples x (samples x inputs): ``model`` (XGBoost's JSON, as
    bytes), ``names``, ``kind``, ``trees``, ``parameters`` (XGBoost's, with ``rounds``: what its
    own train() takes to make the same model), ``importance`` [{name, gain, cover}], ``training``
    {samples, log_loss, auc} and, with folds, ``folds`` [{samples, log_loss, auc}] held out.
    ValueError for a target other than 0 or 1, one class only, values that are not finite, or a
    parameter out of range. progress(done, total, value) hears of every boosting round (the
    folds' first); returning False stops the training (quarnel.Stopped, nothing returned)."""
    workflow.check("trees", kind=kind, trees=trees, depth=depth, learning_rate=learning_rate,
                   subsample=subsample, seed=seed, folds=folds)
    x = np.asarray(x, dtype=np.float64)
    if x.ndim == 1:
        x = x[:, np.newaxis]
    names = list(names) if names is not None else [f"x{i + 1}" for i in range(x.shape[1] if x.ndim == 2 else 0)]
    return _core.trees_fit(x, np.asarray(y).astype(np.int32), names, kind, int(trees), int(depth),
                           float(learning_rate), float(subsample), int(seed), int(folds or 0), progress)


def _probability(fitted: dict, values: np.ndarray, intercept_shift: float = 0.0, progress=None) -> np.ndarray:
    """The model's probability at every cell of inputs x rows x cols (NaN: no data), its log-odds
    shifted by intercept_shift."""
    return _core.trees_predict(fitted["model"], list(fitted["names"]), np.asarray(values, dtype=np.float64),
                               float(intercept_shift), progress)


def predict(fitted: dict, stack: Any, intercept_shift: float = 0.0, nodata: float | None = None, progress=None):
    """The probability at every cell of a stack of the model's inputs (inputs x rows x cols, or a
    list of grids on one frame): the logistic function of the model's log-odds (XGBoost's margin)
    plus intercept_shift, ln(sampled background / background cells) for a sampled background (the
    host's ``intercept_correction``), 0 for the samples' own balance. No data in any input (NaN,
    or nodata) gives nodata, else NaN. progress(done, total, value) hears of every row; returning
    False stops (quarnel.Stopped)."""
    layers = layers_of(stack, nodata, "the stack")
    values = np.array(layers.grids, dtype=np.float64)
    for band, (grid, value) in enumerate(zip(layers.grids, layers.nodata)):
        if value is not None:
            values[band][grid == value] = np.nan
    grid = _probability(fitted, values, intercept_shift, progress)
    grid[np.isnan(grid)] = layers.fill
    return like(layers.template, grid, layers.fill) if layers.template is not None else grid
