"""Fuzzy overlay: evidence turned into memberships in 0..1 and the memberships combined, as the
host's ``quarnel fuzzy`` and a workflow's ``[fuzzy]`` compute them (the same core)."""

from __future__ import annotations

from typing import Any, Mapping

import numpy as np

from . import _core, workflow
from ._grids import Layers, layers_of, single
from .raster import like


def rule(kind: str = "as-is", *, low: float | None = None, high: float | None = None,
         midpoint: float | None = None, spread: float | None = None,
         values: Mapping[float, float] | None = None) -> str:
    """The membership as the host's --membership spells it, from a workflow input's keys
    (``[[fuzzy.inputs]]``: membership, low, high, midpoint, spread, values). ValueError for a key
    the workflow file would refuse."""
    classes = None if values is None else ",".join(f"{float(v)!r}={float(m)!r}" for v, m in values.items())
    workflow.check("fuzzy.inputs", membership=kind, low=low, high=high, midpoint=midpoint, spread=spread,
                   values=classes)
    defaults = {p["name"]: p["value"] for p in workflow.parameters("fuzzy.inputs")}
    if kind == "linear":
        pick = [x if x is not None else float(defaults[n]) for x, n in ((low, "low"), (high, "high"))]
        return f"linear:{pick[0]!r},{pick[1]!r}"
    if kind in ("large", "small", "gaussian"):
        mid = float(midpoint if midpoint is not None else defaults["midpoint"])
        return f"{kind}:{mid!r}" + ("" if spread is None else f",{float(spread)!r}")
    if kind == "classes":
        return f"classes:{classes or ''}"
    return kind


def membership(array: Any, kind: str = "as-is", *, low: float | None = None, high: float | None = None,
               midpoint: float | None = None, spread: float | None = None,
               values: Mapping[float, float] | None = None, nodata: float | None = None, progress=None):
    """Each cell's membership in 0..1 (a float64 grid, or a DataArray on the input's frame).

    kind: a whole rule as ``rule`` gives it and ``quarnel fuzzy --membership`` takes it
    ("linear:0,10", "large:5,2", "classes:1=0.2,2=0.9"), then without keywords; or a kind with its
    keywords: linear (0 at or below low, 1 at or above high; low > high decreases), large
    1/(1+(x/midpoint)^-spread) (0 for x <= 0), small 1/(1+(x/midpoint)^spread) (1 for x <= 0),
    spread 5 unless given; gaussian exp(-spread (x-midpoint)^2) (spread 0.1); classes, values
    mapping each class to its membership (a class not listed is no data); as-is (values already
    in 0..1: ValueError naming the first cell outside). No-data cells (NaN, or nodata) hold nodata
    in the result, else NaN. ValueError for a refused parameter (low = high, midpoint <= 0 for
    large and small, spread <= 0). progress(done, total, value) hears of every row; returning
    False stops the work (quarnel.Stopped, nothing returned).
    """
    layers = single(array, nodata)
    grid = np.array(layers.grids[0], dtype=np.float64)
    if layers.nodata[0] is not None:
        grid[layers.grids[0] == layers.nodata[0]] = np.nan
    keywords = {"low": low, "high": high, "midpoint": midpoint, "spread": spread, "values": values}
    if ":" in kind and any(v is not None for v in keywords.values()):
        raise ValueError(f"membership {kind!r} is a whole rule: give its numbers in it, not as keywords")
    result = _core.fuzzy_membership(grid, kind if ":" in kind else rule(kind, **keywords), progress)
    result[np.isnan(result)] = layers.fill
    return like(array, result, layers.fill) if layers.template is not None else result


def overlay(memberships: Any, operator: str = "and", gamma: float | None = None, nodata: float | None = None,
            progress=None):
    """Memberships (bands x rows x cols, or a list of grids on one frame) combined at each cell:
    and (the least), or (the largest), product, sum (1 - prod(1 - m)) or gamma
    (sum^gamma x product^(1-gamma); gamma as the workflow's default unless given). No data in any
    layer gives no data (nodata, else NaN). progress(done, total, value) hears of every row;
    returning False stops the work (quarnel.Stopped, nothing returned)."""
    workflow.check("fuzzy", operator=operator, gamma=gamma)
    if gamma is None:
        gamma = next(p["value"] for p in workflow.parameters("fuzzy") if p["name"] == "gamma")
    layers = layers_of(memberships, nodata, "the memberships")
    result = overlaid(layers, operator, float(gamma), progress)
    return like(layers.template, result, layers.fill) if layers.template is not None else result


def overlaid(layers: Layers, operator: str, gamma: float, progress=None) -> np.ndarray:
    """overlay's grid from checked parameters (dask.fuzzy_overlay calls it per block)."""
    stack = np.array(layers.grids, dtype=np.float64)
    for band, (grid, value) in enumerate(zip(layers.grids, layers.nodata)):
        if value is not None:
            stack[band][grid == value] = np.nan
    result = _core.fuzzy_overlay(stack, operator, gamma, progress)
    result[np.isnan(result)] = layers.fill
    return result
