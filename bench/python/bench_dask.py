#!/usr/bin/env python3
"""Out-of-core classification and scoring with quarnel.dask against the in-memory path.

usage: bench_dask.py [--size N] [--chunk C] [--memory-limit M] [--in-memory-size K] [--workers W]

A lazily generated N x N x 4 float32 evidence stack (uniform 0..1, values below 0.0005 are no
data, NaN) is classified by a 4-8-1 BP network and scored by feature analysis on a local
cluster of W single-threaded worker processes with bounded memory; each result is reduced on
the workers (class counts, score sum), so no raster is ever held whole. The same is done in
memory on a K x K stack in the same run. Prints cells per second for each path and each
worker's peak resident memory (VmHWM), and the in-memory process's peak.

Run with Debian's python3 and the quarnel package importable (PYTHONPATH=build-python/site
after `pip install --target build-python/site`, or build/python of a -DQUARNEL_PYTHON=ON tree).
"""

import argparse
import os
import time
from pathlib import Path

import dask.array as da
import distributed
import numpy as np
import quarnel
import quarnel.dask as qd

LOWER, UPPER = [0.3] * 4, [0.7] * 4


def evidence(size: int, chunk: int) -> da.Array:
    values = da.random.RandomState(42).random_sample((4, size, size), chunks=(4, chunk, chunk)).astype(np.float32)
    return da.where(values < 0.0005, np.float32(np.nan), values)


def network() -> quarnel.Network:
    rng = np.random.default_rng(1)
    samples = rng.random((200, 4))
    return quarnel.train(samples, (samples[:, 0] + samples[:, 3] > 1).astype(int), hidden=8, max_iterations=200,
                         seed=1)


def peak_kib() -> int:
    """This process's peak resident memory (VmHWM). Not ru_maxrss: Linux keeps that across
    exec, so a worker started from a large parent would report the parent's peak."""
    for line in Path("/proc/self/status").read_text().splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    raise RuntimeError("no VmHWM in /proc/self/status")


def in_memory(size: int, net: quarnel.Network, weights: np.ndarray) -> dict:
    stack = evidence(size, size).compute(scheduler="synchronous")
    start = time.perf_counter()
    classes = net.classify(stack)
    classify = time.perf_counter() - start
    start = time.perf_counter()
    scores = quarnel.feature.score(stack, LOWER, UPPER, weights)
    score = time.perf_counter() - start
    return {"cells": size * size, "classify_s": classify, "score_s": score, "classes": quarnel.count_classes(classes),
            "score_sum": float(np.nansum(scores, dtype=np.float64)), "peak_kib": peak_kib()}


def out_of_core(size: int, chunk: int, net: quarnel.Network, weights: np.ndarray, client) -> dict:
    stack = evidence(size, chunk)
    start = time.perf_counter()
    classes = qd.classify(net, stack)
    counts = da.stack([(classes == c).sum() for c in (1, 2, 3)]).compute()
    classify = time.perf_counter() - start
    start = time.perf_counter()
    scores = qd.score(stack, LOWER, UPPER, weights)
    total = da.nansum(scores.astype(np.float64)).compute()
    score = time.perf_counter() - start
    peaks = client.run(peak_kib)
    return {"cells": size * size, "classify_s": classify, "score_s": score,
            "classes": dict(zip((1, 2, 3), counts.tolist())), "score_sum": float(total),
            "worker_peak_kib": sorted(peaks.values())}


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--size", type=int, default=20000)
    parser.add_argument("--chunk", type=int, default=1000)
    parser.add_argument("--memory-limit", default="2GiB")
    parser.add_argument("--in-memory-size", type=int, default=4000)
    parser.add_argument("--workers", type=int, default=2)
    args = parser.parse_args()

    net = network()
    weights = quarnel.feature.weights(
        quarnel.feature.product_matrix(evidence(500, 500).compute(scheduler="synchronous"), LOWER, UPPER), 0).weights
    package = str(Path(quarnel.__file__).resolve().parents[1])
    os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [package, os.environ.get("PYTHONPATH")]))
    with distributed.LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                                  memory_limit=args.memory_limit, dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        dask_run = out_of_core(args.size, args.chunk, net, weights, client)
    # In memory after the cluster, so the workers are not started from a large process.
    memory = in_memory(args.in_memory_size, net, weights)

    print(f"network {net}")
    print(f"in memory   {args.in_memory_size} x {args.in_memory_size} x 4: "
          f"classify {memory['cells'] / memory['classify_s'] / 1e6:.2f} M cells/s ({memory['classify_s']:.1f} s), "
          f"score {memory['cells'] / memory['score_s'] / 1e6:.2f} M cells/s ({memory['score_s']:.1f} s), "
          f"process peak {memory['peak_kib'] / 1024:.0f} MiB; classes {memory['classes']}")
    print(f"dask        {args.size} x {args.size} x 4 in {args.chunk} x {args.chunk} blocks, {args.workers} workers "
          f"x 1 thread, memory_limit {args.memory_limit}: "
          f"classify {dask_run['cells'] / dask_run['classify_s'] / 1e6:.2f} M cells/s ({dask_run['classify_s']:.1f} s), "
          f"score {dask_run['cells'] / dask_run['score_s'] / 1e6:.2f} M cells/s ({dask_run['score_s']:.1f} s), "
          f"worker peaks {[round(k / 1024) for k in dask_run['worker_peak_kib']]} MiB; classes {dask_run['classes']}")


if __name__ == "__main__":
    main()
