#!/usr/bin/env python3
"""quarnel.normalize and quarnel.dask.normalize against the same numpy and dask expression, and
quarnel.deposits_to_cells against a point-by-point lookup.

usage: bench_layers.py [--size N] [--chunk C] [--runs K] [--workers W] [--points P]

One run, side by side, on an N x N float64 grid (uniform 0..1, 1 % NaN):
- in memory: quarnel.normalize(a) against (a - nanmin(a)) / (nanmax(a) - nanmin(a)), best of K
  runs each, alternating; and each one's extra peak memory (resident, in a child process that
  holds only the input: its peak after the call minus its size before), in copies of the input;
- dask, on a LocalCluster of W single-threaded worker processes on 127.0.0.1: the grid in C x C
  blocks, held by the workers (persisted), then quarnel.dask.normalize(x) against the same
  expression on x, each persisted on the workers and waited for (no result travels to the
  client), best of K runs each, alternating; and the time to build each graph (nothing is
  computed while quarnel.dask builds one).
- deposits: P points in a GeoDataFrame placed on the cells of a 3000 x 2000 grid by
  quarnel.deposits_to_cells and by a loop asking each point for its x and y (as the package did
  before), best of K runs each, alternating.
Prints each ratio quarnel / other (below 1: quarnel is faster), with the times, and checks that
the results are equal bit for bit.

Run with Debian's python3 and the quarnel package importable (PYTHONPATH=build-python/site
after `pip install --target build-python/site`).
"""

import argparse
import importlib
import multiprocessing
import os
import time
from pathlib import Path

import numpy as np
import quarnel


def grid(size: int) -> np.ndarray:
    rng = np.random.default_rng(7)
    values = rng.random((size, size))
    values[rng.random(values.shape) < 0.01] = np.nan
    return values


def numpy_normalize(a: np.ndarray) -> np.ndarray:
    return (a - np.nanmin(a)) / (np.nanmax(a) - np.nanmin(a))


def best_of(runs: int, calls: dict) -> dict:
    """The best time of each call over runs, the calls alternating."""
    best = {name: float("inf") for name in calls}
    for _ in range(runs):
        for name, call in calls.items():
            start = time.perf_counter()
            call()
            best[name] = min(best[name], time.perf_counter() - start)
    return best


def _status_kib(field: str) -> int:
    for line in Path("/proc/self/status").read_text().splitlines():
        if line.startswith(field + ":"):
            return int(line.split()[1])
    raise RuntimeError(f"no {field} in /proc/self/status")


def _extra_peak(which: str, size: int, queue) -> None:
    a = grid(size)
    Path("/proc/self/clear_refs").write_text("5")  # the peak restarts from here
    before = _status_kib("VmRSS")
    result = quarnel.normalize(a) if which == "quarnel" else numpy_normalize(a)
    queue.put((_status_kib("VmHWM") - before) * 1024 / a.nbytes)
    del result


def extra_peak(which: str, size: int) -> float:
    """The extra peak resident memory of one call, in copies of the input, in a fresh process."""
    queue = multiprocessing.get_context("fork").Queue()
    child = multiprocessing.get_context("fork").Process(target=_extra_peak, args=(which, size, queue))
    child.start()
    copies = queue.get()
    child.join()
    return copies


def in_memory(size: int, runs: int) -> None:
    a = grid(size)
    ours, theirs = quarnel.normalize(a), numpy_normalize(a)
    assert ours.tobytes() == theirs.tobytes(), "quarnel.normalize differs from the numpy expression"
    del ours, theirs
    t = best_of(runs, {"quarnel": lambda: quarnel.normalize(a), "numpy": lambda: numpy_normalize(a)})
    peaks = {which: extra_peak(which, size) for which in ("quarnel", "numpy")}
    print(f"in memory, {size} x {size} float64, 1 % NaN, best of {runs}:")
    print(f"  quarnel.normalize / numpy expression: {t['quarnel'] / t['numpy']:.2f}x "
          f"({t['quarnel'] * 1e3:.1f} ms / {t['numpy'] * 1e3:.1f} ms)")
    print(f"  extra peak memory, copies of the input: quarnel {peaks['quarnel']:.2f}, numpy {peaks['numpy']:.2f}")


def on_cluster(size: int, chunk: int, runs: int, workers: int) -> None:
    import dask
    import dask.array as da
    import distributed
    import quarnel.dask as qd

    package = str(Path(quarnel.__file__).resolve().parents[1])
    os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [package, os.environ.get("PYTHONPATH")]))
    with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        x = da.random.RandomState(7).random_sample((size, size), chunks=chunk)
        x = client.persist(da.where(x < 0.01, np.nan, x))
        distributed.wait(x)

        def expression():
            return (x - da.nanmin(x)) / (da.nanmax(x) - da.nanmin(x))

        def run(build):
            result = client.persist(build())
            distributed.wait(result)
            return result

        def fail(*args, **kwargs):
            raise RuntimeError("building the graph computed something")

        reads = "no block read"
        try:
            with dask.config.set(scheduler=fail):
                qd.normalize(x)
        except RuntimeError:
            reads = "computes while building"
        start = time.perf_counter()
        qd.normalize(x)
        build_quarnel = time.perf_counter() - start
        start = time.perf_counter()
        expression()
        build_expression = time.perf_counter() - start
        ours, theirs = qd.normalize(x).compute(), expression().compute()
        assert ours.tobytes() == theirs.tobytes(), "quarnel.dask.normalize differs from the dask expression"
        del ours, theirs
        t = best_of(runs, {"quarnel": lambda: run(lambda: qd.normalize(x)), "dask": lambda: run(expression)})
    print(f"dask, {size} x {size} in {chunk} x {chunk} blocks, LocalCluster of {workers} processes x 1 thread, "
          f"best of {runs}:")
    print(f"  quarnel.dask.normalize / dask expression: {t['quarnel'] / t['dask']:.2f}x "
          f"({t['quarnel'] * 1e3:.0f} ms / {t['dask'] * 1e3:.0f} ms)")
    print(f"  building the graph: quarnel {build_quarnel * 1e3:.1f} ms ({reads}), "
          f"expression {build_expression * 1e3:.1f} ms")


def cells_point_by_point(deposits, grid) -> np.ndarray:
    inverse = ~grid.rio.transform()
    rows, cols = grid.shape
    cells = []
    for point in deposits.geometry:
        c, r = inverse * (point.x, point.y)
        row, col = int(np.floor(r)), int(np.floor(c))
        if 0 <= row < rows and 0 <= col < cols:
            cells.append((row, col))
    return np.array(cells, dtype=np.int32).reshape(-1, 2)


def deposits(count: int, runs: int) -> None:
    import geopandas
    importlib.import_module("rioxarray")  # gives DataArrays .rio
    import xarray

    rng = np.random.default_rng(4)
    x, y = rng.uniform(499000, 523000, count), rng.uniform(6968000, 7004000, count)
    points = geopandas.GeoDataFrame(geometry=geopandas.points_from_xy(x, y), crs="EPSG:28354")
    grid = xarray.DataArray(np.zeros((3000, 2000)), dims=("y", "x"),
                            coords={"y": 7000000 - 10 * (np.arange(3000) + 0.5), "x": 500000 + 10 * (np.arange(2000) + 0.5)})
    grid = grid.rio.write_crs("EPSG:28354")
    assert np.array_equal(quarnel.deposits_to_cells(points, grid), cells_point_by_point(points, grid))
    t = best_of(runs, {"quarnel": lambda: quarnel.deposits_to_cells(points, grid),
                       "loop": lambda: cells_point_by_point(points, grid)})
    print(f"deposits, {count} points in a GeoDataFrame, best of {runs}:")
    print(f"  quarnel.deposits_to_cells / point-by-point loop: {t['quarnel'] / t['loop']:.2f}x "
          f"({t['quarnel'] * 1e3:.0f} ms / {t['loop'] * 1e3:.0f} ms)")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--size", type=int, default=4000)
    parser.add_argument("--chunk", type=int, default=1000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--points", type=int, default=200000)
    args = parser.parse_args()
    in_memory(args.size, args.runs)
    on_cluster(args.size, args.chunk, args.runs, args.workers)
    deposits(args.points, min(args.runs, 3))


if __name__ == "__main__":
    main()
