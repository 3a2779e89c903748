"""Weights of evidence on chunked data (quarnel.dask.wofe_weights, wofe_posterior): the class
counts are added up block by block (integers: exact), the posterior of each condition is the
core's once for all blocks, so results equal quarnel.wofe's whatever the chunks. Counting and
the conditions' reduction run when called; the maps stay lazy."""

from __future__ import annotations

from typing import Any, Sequence

import dask
import dask.array as da
import numpy as np

from . import _core
from . import wofe as _wofe


def _dask(x: Any) -> da.Array:
    data = getattr(x, "data", x)
    return data if isinstance(data, da.Array) else da.from_array(np.asarray(data))


def _deposit_blocks(deposit_cells: Any, shape: tuple[int, int], chunks, count: str):
    """Per block (i, j): the deposits' (row, col) within it, as row-major cells of the block."""
    cells = np.asarray(deposit_cells, dtype=np.int64)
    if cells.ndim != 2:
        cells = np.stack([cells // shape[1], cells % shape[1]], axis=1)
    inside = (cells[:, 0] >= 0) & (cells[:, 0] < shape[0]) & (cells[:, 1] >= 0) & (cells[:, 1] < shape[1])
    cells = cells[inside]
    edges = [np.concatenate([[0], np.cumsum(c)]) for c in chunks]
    return edges, cells


def _block_deposits(cells, r0, r1, c0, c1, study, count):
    within = cells[(cells[:, 0] >= r0) & (cells[:, 0] < r1) & (cells[:, 1] >= c0) & (cells[:, 1] < c1)]
    d = np.zeros((r1 - r0, c1 - c0), dtype=np.int64)
    np.add.at(d, (within[:, 0] - r0, within[:, 1] - c0), 1)
    d *= study
    return np.minimum(d, 1) if count == "cells" else d


def _blocks(arrays: Sequence[da.Array]):
    """(blocks of each array, (r0, r1, c0, c1)) for every block of arrays chunked alike."""
    edges = [np.concatenate([[0], np.cumsum(c)]) for c in arrays[0].chunks]
    delayed = [a.to_delayed() for a in arrays]
    for i in range(len(edges[0]) - 1):
        for j in range(len(edges[1]) - 1):
            yield [d[i, j] for d in delayed], (int(edges[0][i]), int(edges[0][i + 1]), int(edges[1][j]),
                                                int(edges[1][j + 1]))


def _study(arrays: Sequence[da.Array], study: Any) -> da.Array:
    s = da.all(da.stack([~da.isnan(a) for a in arrays]), axis=0)
    if study is not None:
        s = s & _dask(study).astype(bool).rechunk(arrays[0].chunks)
    return s


def wofe_weights(classes: Any, deposit_cells: Any, *, study: Any = None, count: str = "points", **options):
    """quarnel.wofe.weights on a chunked array of classes (as classes_of gives them, NaN no data);
    options as there (type, missing, cell_units, generalize, min_studentized, name)."""
    values = _dask(classes).astype(np.float64)
    s = _study([values], study)
    _, cells = _deposit_blocks(deposit_cells, values.shape, values.chunks, count)

    def counts(block, inside, r0, r1, c0, c1):
        return _wofe.class_counts(block, _block_deposits(cells, r0, r1, c0, c1, inside, count), inside)

    parts = dask.compute(*[dask.delayed(counts)(b, m, *at) for (b, m), at in _blocks([values, s])])
    total: dict = {}
    for part in parts:
        for value, (c, d) in part.items():
            was = total.get(value, (0, 0))
            total[value] = (was[0] + c, was[1] + d)
    return _wofe.weigh_counts(total, **options)


def _codes(index: np.ndarray, radix: np.ndarray) -> np.ndarray:
    return ((index.astype(np.int64) + 1) * radix).sum(axis=1)


def wofe_posterior(layers: Sequence[Any], classes: Sequence[Any], deposit_cells: Any, *, study: Any = None,
                   count: str = "points", cell_units: float = 1.0):
    """quarnel.wofe.posterior on chunked classes: a Posterior whose maps are dask arrays (the
    conditions and deposits are reduced now, so independence() takes it as it is)."""
    values = [_dask(c).astype(np.float64) for c in classes]
    values = [v.rechunk(values[0].chunks) for v in values]
    s = _study(values, study)
    _, cells = _deposit_blocks(deposit_cells, values[0].shape, values[0].chunks, count)
    sizes = np.array([layer._core_layer.general_class_count + 1 for layer in layers], dtype=np.int64)
    radix = np.concatenate([np.cumprod(sizes[::-1])[::-1][1:], [1]])

    def conditions(inside, r0, r1, c0, c1, *blocks):
        index = _wofe.general_indices(layers, blocks, inside)
        d = _block_deposits(cells, r0, r1, c0, c1, inside, count)[inside]
        found, n = np.unique(index, axis=0, return_counts=True)
        return found, n, np.repeat(index[d > 0], d[d > 0], axis=0)

    parts = dask.compute(*[dask.delayed(conditions)(b[-1], *at, *b[:-1]) for b, at in _blocks(values + [s])])
    k = len(layers)
    every = np.concatenate([p[0].reshape(-1, k) for p in parts])
    counted = np.concatenate([p[1] for p in parts])
    found, inverse = np.unique(every, axis=0, return_inverse=True)
    areas = np.bincount(inverse.reshape(-1), weights=counted, minlength=len(found))
    deposit_classes = np.concatenate([p[2].reshape(-1, k) for p in parts]).astype(np.int32)
    n = len(deposit_classes)
    area = float(areas.sum()) * cell_units
    cores = [layer._core_layer for layer in layers]
    p, sd, prior, logit = _core.wofe_posterior(cores, area, n, np.ascontiguousarray(found, dtype=np.int32))
    codes = _codes(found, radix)
    order = np.argsort(codes)

    def lookup(which, inside, *blocks):
        out = np.full(inside.shape, np.nan)
        code = _codes(_wofe.general_indices(layers, blocks, inside), radix)
        at = order[np.searchsorted(codes, code, sorter=order)]
        out[inside] = (p if which == 0 else sd)[at]
        return out

    probability = da.map_blocks(lookup, 0, s, *values, dtype=np.float64)
    std = da.map_blocks(lookup, 1, s, *values, dtype=np.float64)
    confidence = da.where(std > 0, probability / std, np.nan)
    return _wofe.Posterior(probability, std, confidence, prior, logit, n, area, cores,
                           (areas * cell_units, p, sd), np.ascontiguousarray(deposit_classes))
