"""Hierarchy analysis: judgement-matrix weights and consistency, grid prediction, row ranking."""

from __future__ import annotations

import math
from dataclasses import dataclass, field, fields
from typing import Any, Sequence

import numpy as np

from . import _core
from ._grids import Layers, as_vector, for_core, layers_of
from .raster import like

LEVELS = ("geology", "geophysics", "geochemistry", "remote_sensing")


@dataclass(frozen=True)
class JudgementMatrix:
    """One judgement matrix: the main one (level "main", a row per present level) or a level's."""

    level: str
    order: int
    entries: np.ndarray = field(repr=False)
    weights: np.ndarray
    eigenvalue: float
    cr: float
    combined_consistency: float  # levels: the main-weighted CR sum of the levels so far
    consistent: bool


@dataclass(frozen=True)
class HierarchyWeights:
    """The matrices formed (the main one, then the present levels' up to the first that fails),
    whether all passed, the combined consistency of the last level formed, the total weights in
    percent per level and element, and element_weights: those of the present levels in level
    and element order, the weights predict and rank take."""

    matrices: list[JudgementMatrix]
    consistent: bool
    combined_consistency: float
    total_weights: dict[str, list[float]]
    element_weights: np.ndarray


Level = tuple[float, Sequence[float]]


def weights(
    geology: Level | None = None,
    geophysics: Level | None = None,
    geochemistry: Level | None = None,
    remote_sensing: Level | None = None,
) -> HierarchyWeights:
    """Judgement matrices, weights and consistency from importances (as the hierarchy job).

    Each level present is given as (its importance, [its elements' importances]) with up to
    10 elements; an absent level as None. Importances are ratio-scale numbers: a[i][j] =
    v[i] / v[j]; the weights are the matrices' geometric-mean principal vectors (float32).
    Consistency holds while the main matrix's CR is below 0.1 and the combined value (each
    level's CR weighted by its main weight, summed over the levels so far) stays at most 0.1.

    Returns HierarchyWeights; ValueError for an importance that is zero or not finite (the job's
    3901) or more than 10 elements.
    """
    given = dict(zip(LEVELS, (geology, geophysics, geochemistry, remote_sensing)))
    present, level_importance, elements = [], [], []
    for name, level in given.items():
        importance, element = (1.0, []) if level is None else (level[0], list(level[1]))
        for value in [importance, *element] if level is not None else []:
            if not math.isfinite(value) or value == 0:
                raise ValueError(f"{name}: importance {value!r} is zero or not finite")
        present.append(level is not None)
        level_importance.append(float(importance))
        elements.append([float(v) for v in element])
    result = _core.hierarchy_weights(present, level_importance, elements)
    matrices = [
        JudgementMatrix(
            level="main" if m["level"] < 0 else LEVELS[m["level"]],
            **{f.name: m[f.name] for f in fields(JudgementMatrix) if f.name != "level"},
        )
        for m in result["matrices"]
    ]
    total = {name: result["total_weights"][k] for k, name in enumerate(LEVELS) if present[k]}
    flat = np.array([w for k in range(4) if present[k] for w in result["total_weights"][k]], dtype=np.float32)
    return HierarchyWeights(matrices, result["consistent"], result["combined_consistency"], total, flat)


def predict(stack: Any, element_weights: Any, nodata: float | None = None):
    """Regular-grid prediction: each cell's sum of value x weight in element order, rounded to
    float32 after each addition (as the hierarchy job's target 1).

    stack: elements x rows x cols (or a list of grids on one frame), one per element in level
        and element order. element_weights: one per element (HierarchyWeights.element_weights,
        percent).
    nodata: a cell is no data when any element holds it exactly (or NaN); it then holds nodata.
        None: NaN (and each DataArray's rio.nodata) marks no data, and no-data cells are NaN.
    Returns a float32 grid (a new DataArray on the layers' frame for DataArray input).
    ValueError for layers that are not aligned.
    """
    layers = layers_of(stack, nodata)
    result = predicted(layers, element_weights)
    return result if layers.template is None else like(layers.template, result, layers.fill, "prediction")


def predicted(layers: Layers, element_weights: Any) -> np.ndarray:
    values, blank, nodata = for_core(layers, np.float32)
    w = as_vector(element_weights, values.shape[0], np.float32, "element_weights")
    result = _core.hierarchy_predict(values, w, blank)
    result[nodata.any(axis=0)] = layers.fill
    return result


@dataclass(frozen=True)
class Ranking:
    """Rows ranked highest score first: order[i] is the row (from 0) at rank i + 1, scores[i]
    its score, names[i] its name when the table had row names."""

    order: np.ndarray
    scores: np.ndarray
    names: list[str] | None = None


def score_rows(table: Any, element_weights: Any) -> np.ndarray:
    """Each row's sum of weight x value in element order, float32 after each addition; every
    value counts (a table has no no-data)."""
    values = np.ascontiguousarray(getattr(table, "values", table), dtype=np.float32)
    if not np.isfinite(values).all():
        raise ValueError("the table holds values that are not finite")
    w = as_vector(element_weights, values.shape[-1] if values.ndim == 2 else -1, np.float32, "element_weights")
    return _core.hierarchy_score_rows(values, w)


def rank(table: Any, element_weights: Any | None = None) -> Ranking:
    """Rank table rows as the hierarchy job's target 0 (anomaly ranking).

    table: rows x elements values (numpy or pandas DataFrame, whose index gives the names);
        with element_weights None, a 1-D array of scores already formed.
    A later row overtakes only with a strictly greater score (a selection sort exchanging the
    best into place), which fixes the order of equal scores as the job does.
    """
    names = [str(n) for n in table.index] if hasattr(table, "index") and hasattr(table, "columns") else None
    scores = (
        np.ascontiguousarray(table, dtype=np.float32).reshape(-1)
        if element_weights is None
        else score_rows(table, element_weights)
    )
    ranked, order = _core.hierarchy_rank(scores)
    return Ranking(order, ranked, None if names is None else [names[i] for i in order])
