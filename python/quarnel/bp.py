"""The BP network: training on samples, the network file, classification of evidence stacks."""

from __future__ import annotations

from dataclasses import dataclass, field, fields
from typing import Any, Callable, Sequence

import numpy as np

from . import _core, workflow
from ._grids import Layers, for_core, grid_of, layers_of
from .raster import like

# progress(done, total, value): epochs done, epochs at most, the current error; False stops.
ProgressCallback = Callable[[int, int, float], Any]


@dataclass(frozen=True)
class TrainingSummary:
    """How a training went: epochs run, whether the error reached the limit, the last epoch's
    error, and the class bits the trained network computes for each sample."""

    epochs: int
    converged: bool
    final_error: float
    training_accuracy: float
    samples_matched: int
    computed_classes: np.ndarray = field(repr=False)


class Network:
    """A trained (or loaded) three-layer BP network.

    ``inputs``, ``hidden``, ``outputs`` are the layer sizes; ``train_error`` the error of the
    last training epoch; ``hidden_threshold``, ``output_threshold``, ``weight_input_hidden``
    (inputs x hidden) and ``weight_hidden_output`` (hidden x outputs) copies of its values;
    ``summary`` the TrainingSummary when the network came from ``train``.
    """

    def __init__(self, core: Any, summary: TrainingSummary | None = None, samples: "Samples | None" = None):
        self._core = core
        self.summary = summary
        self.samples = samples

    def __repr__(self) -> str:
        trained = "" if self.summary is None else f", epochs={self.summary.epochs}, converged={self.summary.converged}"
        return (
            f"Network(inputs={self.inputs}, hidden={self.hidden}, outputs={self.outputs}, "
            f"train_error={self.train_error:.8f}{trained})"
        )

    def __reduce__(self):
        return (Network, (self._core, self.summary, self.samples))

    inputs = property(lambda self: self._core.inputs)
    hidden = property(lambda self: self._core.hidden)
    outputs = property(lambda self: self._core.outputs)
    train_error = property(lambda self: self._core.train_error)
    hidden_threshold = property(lambda self: self._core.hidden_threshold)
    output_threshold = property(lambda self: self._core.output_threshold)
    weight_input_hidden = property(lambda self: self._core.weight_input_hidden)
    weight_hidden_output = property(lambda self: self._core.weight_hidden_output)

    def classify(self, stack: Any, nodata: float | None = None, start_range: tuple[float, float] | None = None):
        """The class raster of an evidence stack, as the classification job computes it.

        Parameters
        ----------
        stack: bands x rows x cols (numpy or DataArray with a band dimension) or a list of 2-D
            grids, one band per network input in input order (computed in float64).
        nodata: a cell holding it exactly (or NaN) is no data. None: NaN marks no data, and
            each DataArray's rio.nodata. (The job's DSAA grids use 99999, within 0.1.)
        start_range: (low, high) the running range starts from; the job starts from an empty
            range, or from the header range of its last KVSGDB01 input.

        Each band b is rescaled to 0..1 by the running range of bands 0..b (every non-blank
        value of a band is folded into one range that is never reset, then the band is scaled by
        the range as it stands). A cell's class is 1 when its first band is no data; otherwise
        2 + the network's output bits (output above 0.5), output 0 the most significant. No-data
        in later bands is left out of the hidden sums.

        Returns an int32 rows x cols grid (a new DataArray on the layers' frame, without a
        no-data value, for DataArray input). ValueError for layers that are not aligned.
        """
        layers = layers_of(stack, nodata)
        classes = self.classified(layers, start_range)
        return classes if layers.template is None else like(layers.template, classes, None, "class")

    def favourability(self, stack: Any, nodata: float | None = None,
                      start_range: tuple[float, float] | None = None):
        """Each cell's output 0 (0..1), the favourability a workflow's [bp] writes
        (bp/favourability.tif): the stack rescaled as classify rescales it; NaN where classify
        gives class 1 (the first band has no data). A float64 grid, or a DataArray on the layers'
        frame."""
        layers = layers_of(stack, nodata)
        values, blank, _ = for_core(layers, np.float64)
        low, high = (1e308, -1e308) if start_range is None else start_range
        found = _core.favourability(self._core, values, blank, low, high)
        return found if layers.template is None else like(layers.template, found, np.nan, "favourability")

    def classified(self, layers: Layers, start_range: tuple[float, float] | None = None) -> np.ndarray:
        """The int32 class grid of layers; the ranges are the layers' (see classify)."""
        values, blank, _ = for_core(layers, np.float64)
        low, high = (1e308, -1e308) if start_range is None else start_range
        return _core.classify(self._core, values, blank, low, high)

    def save(self, path: str) -> None:
        """Write the design's network file (counts and error, thresholds, weights "%12.5f"),
        whole or not at all. ValueError when it cannot be written."""
        _core.save_network(self._core, str(path))

    @classmethod
    def load(cls, path: str) -> "Network":
        """Read a network file as the classification job reads it. ValueError naming the cause
        when it cannot be opened or its counts are unusable."""
        return cls(_core.load_network(str(path)))

    @classmethod
    def from_arrays(
        cls,
        hidden_threshold: Any,
        output_threshold: Any,
        weight_input_hidden: Any,
        weight_hidden_output: Any,
        train_error: float = 0.0,
    ) -> "Network":
        """A network from its values (inputs x hidden and hidden x outputs weight matrices)."""
        wih = np.asarray(weight_input_hidden, dtype=np.float64)
        who = np.asarray(weight_hidden_output, dtype=np.float64)
        if wih.ndim != 2 or who.ndim != 2:
            raise ValueError("the weight matrices must be 2-D")
        core = _core.BPNetwork(
            wih.shape[0], wih.shape[1], who.shape[1], float(train_error),
            np.asarray(hidden_threshold, dtype=np.float64), np.asarray(output_threshold, dtype=np.float64), wih, who,
        )
        return cls(core)


def train(
    samples: Any,
    targets: Any,
    hidden: int | None = None,
    max_iterations: int = 1000,
    error_limit: float = 0.01,
    seed: int | None = None,
    progress: ProgressCallback | None = None,
) -> Network:
    """Train a BP network on samples as the training job does.

    Parameters
    ----------
    samples: samples x inputs numbers (float64).
    targets: samples x outputs integer class bits (a 1-D array for one output).
    hidden: hidden nodes; default inputs + outputs (as ``bp-train``).
    max_iterations: epochs at most; <= 0 runs none (train_error is then the untouched
        network's error on the samples).
    error_limit: training stops after the first epoch whose error is at or below it.
    seed: seeds the process's C generator (srand) before the initial weights are drawn, so
        ``seed=N`` gives the network ``quarnel bp-train --seed N`` gives, in any thread (seeding
        and drawing hold one process-wide lock). None draws from the generator as it stands.
    progress: called after every epoch with (epochs done, max_iterations, current error);
        returning False stops the training (Stopped is raised), an exception it raises passes on.

    On-line back-propagation, learning rate 0.5, in sample order. Returns a Network whose
    ``summary`` holds epochs, converged, final_error, training_accuracy and the computed
    classes. The GIL is released while it trains; Ctrl-C stops it with KeyboardInterrupt
    within an epoch.
    """
    inputs = np.ascontiguousarray(samples, dtype=np.float64)
    bits = np.asarray(targets)
    if bits.ndim == 1:
        bits = bits.reshape(-1, 1)
    if not np.isfinite(inputs).all():
        raise ValueError("the samples hold values that are not finite")
    if np.issubdtype(bits.dtype, np.floating) and not np.array_equal(bits, np.trunc(bits)):
        raise ValueError("targets must be integers")
    bits = np.ascontiguousarray(bits, dtype=np.int32)
    if inputs.ndim != 2:
        raise ValueError(f"samples must be samples x inputs, not {inputs.ndim}-D")
    if hidden is None:
        hidden = inputs.shape[1] + bits.shape[1]
    result = _core.train(inputs, bits, int(hidden), int(max_iterations), float(error_limit), seed, progress)
    summary = TrainingSummary(**{f.name: result[f.name] for f in fields(TrainingSummary)})
    return Network(result["network"], summary)


def count_classes(classes: Any) -> dict[int, int]:
    """How many cells hold each class value, by ascending value."""
    return dict(_core.count_classes(np.ascontiguousarray(grid_of(classes, "the classes"), dtype=np.int32)))


@dataclass(frozen=True)
class Samples:
    """Samples drawn from evidence rasters at deposit points: ``inputs`` (samples x inputs, every
    band of every raster one input), ``targets`` (1 at a deposit cell, 0 at a background cell,
    in the order the door draws them), and the counts of the deposit points read, outside the rasters, on no data,
    the distinct deposit cells and the background cells."""

    inputs: np.ndarray = field(repr=False)
    targets: np.ndarray = field(repr=False)
    deposit_points: int
    outside: int
    on_no_data: int
    deposit_cells: int
    background: int


def _declared(method: str, given: dict[str, Any]) -> dict[str, Any]:
    """given with each None replaced by the declaration's fixed default (None where the default is
    a rule), checked as the workflow file checks it."""
    workflow.check(method, **{k: v for k, v in given.items() if v is not None})
    declared = {p["name"]: p for p in workflow.parameters(method)}
    out = {}
    for name, value in given.items():
        p = declared[name]
        if value is None and p["fixed_default"]:
            value = bool(p["value"]) if p["kind"] == "flag" else (int(p["value"]) if p["kind"] == "integer"
                                                                   else p["value"])
        out[name] = value
    return out


def samples(evidence: Sequence[Any], deposits: Any, *, background: int | None = None, seed: int | None = None,
            min_distance: float | None = None, rescaled: bool = True) -> Samples:
    """The samples a workflow's [bp] step draws (rescaled=True: each input rescaled as classify
    rescales the bands) or its [logistic] step draws (rescaled=False: the values as the rasters
    hold them), through the same GDAL door.

    evidence: raster files (paths) on one frame. deposits: a GeoDataFrame of points, or (x, y)
    pairs in the rasters' CRS. background: cells drawn among those with data on every raster and
    no deposit (default as many as deposit cells), each centre at least min_distance map units
    from every deposit; seed seeds the draw (the workflow's bp.seed). ValueError when no deposit
    lies on data or too few cells qualify.
    """
    v = _declared("bp", {"background": background, "seed": seed, "min_distance": min_distance})
    paths = [str(getattr(e, "source", e)) for e in evidence]
    if not paths:
        raise ValueError("no evidence rasters were given")
    xy = _deposit_points(deposits, paths[0])
    found = _core.bp_samples(paths, xy, v["background"], int(v["seed"]), float(v["min_distance"]), bool(rescaled))
    return Samples(**found)


def _deposit_points(deposits: Any, raster: str) -> np.ndarray:
    """The deposits' (x, y) in the raster's CRS (a GeoDataFrame is reprojected when both have one)."""
    geometry = getattr(deposits, "geometry", None)
    if geometry is not None:
        from .raster import open_raster

        crs = open_raster(raster).rio.crs
        if deposits.crs is not None and crs is not None and deposits.crs != crs:
            deposits = deposits.to_crs(crs)
        if not all(g is not None and g.geom_type == "Point" for g in deposits.geometry):
            raise ValueError("every deposit must be a point")
        return np.column_stack([deposits.geometry.x, deposits.geometry.y]).astype(np.float64).reshape(-1, 2)
    points = np.asarray(deposits, dtype=np.float64)
    if points.size == 0:
        return points.reshape(0, 2)
    if points.ndim != 2 or points.shape[1] != 2:
        raise ValueError(f"deposits are (x, y) pairs, not an array of shape {points.shape}")
    return np.ascontiguousarray(points)


def train_on_maps(evidence: Sequence[Any], deposits: Any, *, hidden: int | None = None,
                  max_iterations: int | None = None, error_limit: float | None = None,
                  background: int | None = None, seed: int | None = None, min_distance: float | None = None,
                  shuffle: bool | None = None, balance: bool | None = None,
                  progress: ProgressCallback | None = None) -> Network:
    """The network a workflow's [bp] step trains on the same rasters and deposits, with the same
    keywords (each None: the workflow's default): the samples of ``samples`` (rescaled), initial
    weights drawn from a generator of this call's own seeded with seed, then each epoch
    presenting the samples in a new order drawn from seed + 1 (shuffle) with deposit and
    background samples weighing alike (balance). progress(done, total, error) hears of every
    epoch; returning False stops it (Stopped). The Network's ``samples`` are the samples drawn;
    its ``favourability`` of the same stack is the workflow's bp/favourability.tif.
    """
    v = _declared("bp", {"hidden": hidden, "max_iterations": max_iterations, "error_limit": error_limit,
                         "shuffle": shuffle, "balance": balance})
    drawn = samples(evidence, deposits, background=background, seed=seed, min_distance=min_distance)
    seed = _declared("bp", {"seed": seed})["seed"]
    result = _core.train_sampled(drawn.inputs, drawn.targets, int(v["hidden"] or 0), int(v["max_iterations"]),
                                 float(v["error_limit"]), int(seed), v["shuffle"], v["balance"], progress)
    summary = TrainingSummary(**{f.name: result[f.name] for f in fields(TrainingSummary)})
    return Network(result["network"], summary, drawn)
