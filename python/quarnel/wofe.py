"""Weights of evidence on arrays: each layer's weights table and generalisation, the posterior
probability with its standard deviation, and the conditional-independence tests, computed by
the core as ``quarnel wofe`` computes them (docs/commands/wofe.md).

Classes are integer arrays (rows x cols; ``breaks`` classes continuous values: below the first
break 1, then 2, ...). The study area is the cells where every layer holds data (``study_area``);
give it to ``weights`` so that every layer is counted over the same cells. Areas are in unit
cells: ``cell_units`` is one cell's area in units (cell area in km2 / unit area in km2; 1: a cell
is the unit). Deposits are (row, col) pairs or row-major cell indices; ``count="points"``
counts each, ``"cells"`` a cell with deposits once.

``weights`` and ``posterior`` take progress(done, total, value): told of every strip of rows
counted, or of every layer indexed and the posterior; returning False stops the work
(quarnel.Stopped is raised, nothing is returned), an exception it raises passes on.
"""

from __future__ import annotations

from dataclasses import dataclass, field
from typing import Any, Sequence

import numpy as np

from . import _core
from ._grids import own_nodata

__all__ = ["Layer", "Posterior", "class_counts", "classes_of", "general_indices", "generalize", "independence",
           "posterior", "study_area", "weigh_counts", "weights"]


def classes_of(values: Any, breaks: Sequence[float] | None = None, nodata: float | None = None) -> np.ndarray:
    """The layer's classes as float64 (NaN for no data): values classed by breaks, or the values,
    which must then be whole numbers."""
    raw = np.asarray(getattr(values, "values", values), dtype=np.float64)
    nodata = own_nodata(values, nodata)
    blank = np.isnan(raw) if nodata is None else (np.isnan(raw) | (raw == nodata))
    if breaks is not None and len(breaks):
        b = np.asarray(breaks, dtype=np.float64)
        if np.any(np.diff(b) < 0):
            raise ValueError("the breaks must ascend")
        classed = np.digitize(raw, b, right=False).astype(np.float64) + 1
    else:
        classed = raw.copy()
        bad = ~blank & (classed != np.floor(classed))
        if bad.any():
            r, c = np.argwhere(bad)[0]
            raise ValueError(f"row {r + 1}, column {c + 1} holds {raw[r, c]!r}, which is no integer class; give breaks")
    classed[blank] = np.nan
    return classed


def study_area(layers: Sequence[Any], mask: Any = None) -> np.ndarray:
    """The cells where every layer (as classes_of gives them) holds data and mask is non-zero."""
    study = np.all([~np.isnan(np.asarray(layer, dtype=np.float64)) for layer in layers], axis=0)
    if mask is not None:
        m = np.asarray(getattr(mask, "values", mask), dtype=np.float64)
        study &= ~np.isnan(m) & (m != 0)
    return study


# Rows counted at a time between progress reports.
STRIP_ROWS = 256


def _tell(progress, done: int, total: int) -> None:
    """Tells progress of a step; quarnel.Stopped when it answers False (None goes on)."""
    if progress is not None:
        answer = progress(done, total, 0.0)
        if answer is not None and not answer:
            raise _core.Stopped()


def _deposit_counts(deposit_cells: Any, shape: tuple[int, int], study: np.ndarray, count: str) -> np.ndarray:
    """Deposits per cell of the study area (0 elsewhere)."""
    if count not in ("points", "cells"):
        raise ValueError(f"count {count!r}: points or cells")
    cells = np.asarray(deposit_cells, dtype=np.int64)
    if cells.ndim == 2:
        inside = (cells[:, 0] >= 0) & (cells[:, 0] < shape[0]) & (cells[:, 1] >= 0) & (cells[:, 1] < shape[1])
        flat = cells[inside, 0] * shape[1] + cells[inside, 1]
    else:
        flat = cells[(cells >= 0) & (cells < shape[0] * shape[1])]
    counts = np.bincount(flat, minlength=shape[0] * shape[1]).reshape(shape) * study
    return np.minimum(counts, 1) if count == "cells" else counts


@dataclass(frozen=True)
class Layer:
    """A layer's weights table (``classes``: one dict per class or cumulative row, the keys of
    ``quarnel wofe --json``) and its generalisation; the counts it came from, to generalise again."""

    name: str
    type: str
    classes: list = field(repr=False)
    generalization: dict
    known_area_units: float
    known_deposits: int
    _core_layer: Any = field(repr=False)
    _counts: tuple = field(repr=False)


def _layer(core: Any, counts: tuple) -> Layer:
    return Layer(core.name, core.type, core.classes, core.generalization, core.known_area_units, core.known_deposits,
                 core, counts)


def weights(classes: Any, deposit_cells: Any, *, study: Any = None, type: str = "categorical",
            missing: Sequence[int] = (), count: str = "points", cell_units: float = 1.0,
            generalize: str = "max-significant-contrast", min_studentized: float = 2.0, name: str = "layer",
            progress=None) -> Layer:
    """The weights table of one layer of classes (as classes_of gives them) over the study area
    (default: where the layer holds data), generalised by the rule. Raises ValueError for a
    refusal (more than 1000 classes, a class its deposits fill, no deposit)."""
    values = np.asarray(classes, dtype=np.float64)
    if values.ndim != 2:
        raise ValueError(f"classes must be 2-D, not {values.ndim}-D")
    study = ~np.isnan(values) if study is None else np.asarray(study, dtype=bool) & ~np.isnan(values)
    deposits = _deposit_counts(deposit_cells, values.shape, study, count)
    counts: dict = {}
    strips = range(0, values.shape[0], STRIP_ROWS)
    for done, top in enumerate(strips, 1):
        rows = slice(top, top + STRIP_ROWS)
        for v, (c, d) in class_counts(values[rows], deposits[rows], study[rows]).items():
            before = counts.get(v, (0, 0))
            counts[v] = (before[0] + c, before[1] + d)
        _tell(progress, done, len(strips))
    return weigh_counts(counts, type=type, missing=missing, cell_units=cell_units,
                        generalize=generalize, min_studentized=min_studentized, name=name)


def class_counts(values: np.ndarray, deposits: np.ndarray, study: np.ndarray) -> dict:
    """{class: (cells, deposits)} over the study area's cells (quarnel.dask adds up blocks')."""
    found, inverse = np.unique(values[study].astype(np.int64), return_inverse=True)
    cells = np.bincount(inverse, minlength=found.size)
    on = np.bincount(inverse, weights=deposits[study], minlength=found.size)
    return {int(v): (int(c), int(d)) for v, c, d in zip(found, cells, on)}


def weigh_counts(counts: dict, *, type: str = "categorical", missing: Sequence[int] = (), cell_units: float = 1.0,
                 generalize: str = "max-significant-contrast", min_studentized: float = 2.0,
                 name: str = "layer") -> Layer:
    """The weights table from {class: (cells, deposits)}."""
    found = np.array(sorted(counts), dtype=np.int64)
    cells = np.array([counts[v][0] for v in found], dtype=np.int64)
    on = np.array([counts[v][1] for v in found], dtype=np.int64)
    args = (name, type, found, cells, on, [int(m) for m in missing], float(cell_units))
    return _layer(_core.wofe_weigh_layer(*args, generalize, float(min_studentized)), args)


def generalize(layer: Layer, rule: str, min_studentized: float = 2.0) -> Layer:
    """The layer's table generalised by another rule (max-contrast, max-significant-contrast,
    max-studentized, value:V; categorical: none, or any other to pool)."""
    return _layer(_core.wofe_weigh_layer(*layer._counts, rule, float(min_studentized)), layer._counts)


@dataclass(frozen=True)
class Posterior:
    """The posterior probability, its standard deviation and their ratio per cell (NaN outside the
    study area), the prior, and what the independence tests take."""

    probability: np.ndarray = field(repr=False)
    std: np.ndarray = field(repr=False)
    confidence: np.ndarray = field(repr=False)
    prior_probability: float
    prior_logit: float
    deposits: int
    study_area_units: float
    _layers: list = field(repr=False)
    _conditions: tuple = field(repr=False)
    _deposit_classes: np.ndarray = field(repr=False)


def posterior(layers: Sequence[Layer], classes: Sequence[Any], deposit_cells: Any, *, study: Any = None,
              count: str = "points", cell_units: float = 1.0, progress=None) -> Posterior:
    """The posterior of every cell of the study area (default: study_area(classes)) from the
    layers' generalised weights, classes[k] holding layer k's classes."""
    if len(layers) != len(classes) or not layers:
        raise ValueError("one class array per layer is needed")
    values = [np.asarray(c, dtype=np.float64) for c in classes]
    study = study_area(values) if study is None else np.asarray(study, dtype=bool) & study_area(values)
    deposits = _deposit_counts(deposit_cells, values[0].shape, study, count)
    n = int(deposits.sum())
    area = float(study.sum()) * cell_units
    index = general_indices(layers, values, study, progress)
    conditions, inverse, cells = np.unique(index, axis=0, return_inverse=True, return_counts=True)
    cores = [layer._core_layer for layer in layers]
    p, s, prior, logit = _core.wofe_posterior(cores, area, n, np.ascontiguousarray(conditions))
    _tell(progress, len(layers) + 1, len(layers) + 1)
    inverse = inverse.reshape(-1)
    shape = values[0].shape
    probability = np.full(shape, np.nan)
    std = np.full(shape, np.nan)
    probability[study] = p[inverse]
    std[study] = s[inverse]
    with np.errstate(divide="ignore", invalid="ignore"):
        confidence = np.where(std > 0, probability / std, np.nan)
    on = deposits[study]
    deposit_classes = np.repeat(index[on > 0], on[on > 0], axis=0)
    return Posterior(probability, std, confidence, prior, logit, n, area, cores,
                     (cells * cell_units, p, s), np.ascontiguousarray(deposit_classes, dtype=np.int32))


def general_indices(layers: Sequence[Layer], values: Sequence[np.ndarray], study: np.ndarray,
                    progress=None) -> np.ndarray:
    """cells x layers: each study cell's generalised class index in each layer (-1 unknown);
    progress hears of each layer of len(layers) + 1 steps (posterior's last is its own)."""
    each = []
    for done, (layer, v) in enumerate(zip(layers, values), 1):
        each.append(layer._core_layer.general_indices(np.ascontiguousarray(v[study], dtype=np.int64)))
        _tell(progress, done, len(layers) + 1)
    return np.stack(each, axis=1).astype(np.int32).reshape(-1, len(layers))


def independence(result: Posterior) -> dict:
    """T, s(T), z, p and the verdicts at 95 and 99 % (the keys of ``quarnel wofe --json``'s
    conditional_independence), with the pairwise chi-squares of the two-class layers."""
    areas, p, s = result._conditions
    test = _core.wofe_independence(result.deposits, np.asarray(areas, dtype=np.float64), p, s)
    test["pairwise"] = _core.wofe_pairwise(result._layers, result.study_area_units, result.deposits,
                                           result._deposit_classes.reshape(-1, len(result._layers)))
    return test
