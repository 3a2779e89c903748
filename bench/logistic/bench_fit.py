"""Logistic regression's fit against scikit-learn's on the same samples, in one run:

    PYTHONPATH=build/python /usr/bin/python3 bench/logistic/bench_fit.py [--samples 100000] [--inputs 10] [--runs 5]

SAMPLES rows of INPUTS inputs (normal and uniform columns, one 0/1 column) with targets drawn from
a logistic model, fitted by quarnel.logistic.fit (Newton steps, iteratively reweighted least
squares) and by LogisticRegression(penalty=None, solver='lbfgs'), alternating, best of RUNS each in
processor time (every thread counted) and in wall time. The two fits' coefficients are compared;
the ratio is quarnel's time over scikit-learn's (target at most 1.0)."""

import argparse
import time

import numpy as np
from sklearn.linear_model import LogisticRegression

import quarnel


def samples(n, k, seed=1):
    rng = np.random.default_rng(seed)
    x = np.column_stack([rng.normal(size=(n, k // 2)), rng.uniform(0, 5, size=(n, k - k // 2 - 1)),
                         rng.integers(0, 2, size=n)])
    beta = rng.uniform(-0.8, 0.8, size=k)
    y = (rng.uniform(size=n) < 1 / (1 + np.exp(-(-1.0 + x @ beta)))).astype(int)
    return x, y


def timed(fit):
    wall, cpu = time.perf_counter(), time.process_time()
    found = fit()
    return time.perf_counter() - wall, time.process_time() - cpu, found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--samples", type=int, default=100000)
    parser.add_argument("--inputs", type=int, default=10)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    x, y = samples(args.samples, args.inputs)
    ours = lambda: quarnel.logistic.fit(x, y)
    theirs = lambda: LogisticRegression(penalty=None, solver="lbfgs", max_iter=1000).fit(x, y)
    best = {"quarnel": [np.inf, np.inf], "sklearn": [np.inf, np.inf]}
    for _ in range(args.runs):
        for name, fit in (("quarnel", ours), ("sklearn", theirs)):
            wall, cpu, found = timed(fit)
            best[name] = [min(best[name][0], wall), min(best[name][1], cpu)]
            if name == "quarnel":
                beta = np.array([c["estimate"] for c in found["coefficients"]])
                iterations = found["iterations"]
            else:
                reference = np.concatenate([found.intercept_, found.coef_[0]])
    for name, (wall, cpu) in best.items():
        print(f"{name}: {wall * 1000:.1f} ms wall, {cpu * 1000:.1f} ms cpu (best of {args.runs})")
    print(f"quarnel Newton steps: {iterations}; largest coefficient difference from sklearn's: "
          f"{np.max(np.abs(beta - reference)):.2e}")
    print(f"ratio quarnel / sklearn: wall {best['quarnel'][0] / best['sklearn'][0]:.2f} x, "
          f"cpu {best['quarnel'][1] / best['sklearn'][1]:.2f} x (target at most 1.0 x)")


if __name__ == "__main__":
    main()
