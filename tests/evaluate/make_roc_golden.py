#!/usr/bin/python3
"""Writes data/roc_golden.txt: generated score and deposit cases with scikit-learn's measures.

Run with Debian's Python (python3-sklearn): /usr/bin/python3 tests/evaluate/make_roc_golden.py
Each case is five lines: "case NAME", "scores ...", "deposits ..." (deposits per cell; a cell with
any deposit is positive), "auc A", "fpr ...", "tpr ..." (roc_curve without dropped thresholds), "ap A" (average_precision_score),
"thresholds ...", "precision ...", "recall ..." (precision_recall_curve, its closing point left out), and
for scores within 0 .. 1 "log_loss L" and "brier B" ("none" for other scores).
"""
import pathlib

import numpy as np
from sklearn.metrics import (average_precision_score, brier_score_loss, log_loss, precision_recall_curve,
                             roc_auc_score, roc_curve)


def cases():
    rng = np.random.default_rng(20261207)
    yield "few_ties", np.array([0.9, 0.8, 0.8, 0.7, 0.5, 0.5, 0.5, 0.1]), np.array([1, 0, 2, 0, 1, 0, 0, 0])
    yield "all_tied", np.full(6, 3.0), np.array([0, 1, 0, 0, 1, 0])
    yield "perfect", np.array([5.0, 4.0, 3.0, 2.0, 1.0]), np.array([1, 1, 0, 0, 0])
    yield "inverted", np.array([5.0, 4.0, 3.0, 2.0, 1.0]), np.array([0, 0, 0, 1, 3])
    classes = rng.integers(1, 6, size=400).astype(float)
    yield "five_classes", classes, (rng.random(400) < classes / 25).astype(int) * rng.integers(1, 3, size=400)
    rounded = np.round(rng.normal(size=3000), 1)
    yield "rounded_normal", rounded, (rng.random(3000) < 1 / (1 + np.exp(-2 * rounded - 3))).astype(int)
    continuous = rng.random(1500)
    yield "continuous", continuous, (rng.random(1500) < continuous * 0.1).astype(int)
    negative = -rng.integers(0, 40, size=800).astype(float) * 0.25
    yield "negative_scores", negative, (rng.random(800) < 0.05).astype(int)
    shares = np.round(rng.random(600) * 20) / 20  # ties, with exact 0 and 1 among them
    yield "probability_ties", shares, (rng.random(600) < shares * 0.3).astype(int) * rng.integers(1, 3, size=600)


def numbers(values):
    return " ".join(repr(float(v)) if isinstance(v, (float, np.floating)) else str(int(v)) for v in values)


def main():
    lines = []
    for name, scores, deposits in cases():
        labels = (deposits > 0).astype(int)
        fpr, tpr, _ = roc_curve(labels, scores, drop_intermediate=False)
        lines += [f"case {name}", "scores " + numbers(scores), "deposits " + numbers(deposits),
                  f"auc {float(roc_auc_score(labels, scores))!r}", "fpr " + numbers(fpr), "tpr " + numbers(tpr)]
        precision, recall, thresholds = precision_recall_curve(labels, scores)
        lines += [f"ap {float(average_precision_score(labels, scores))!r}", "thresholds " + numbers(thresholds),
                  "precision " + numbers(precision[:-1]), "recall " + numbers(recall[:-1])]
        probability = scores.min() >= 0 and scores.max() <= 1
        lines += [f"log_loss {float(log_loss(labels, scores))!r}" if probability else "log_loss none",
                  f"brier {float(brier_score_loss(labels, scores))!r}" if probability else "brier none"]
    out = pathlib.Path(__file__).with_name("data") / "roc_golden.txt"
    out.write_text("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
