"""Logistic regression: coefficients with their standard errors, z and p, fitted by iteratively
reweighted least squares in the C++ core (Eigen)."""

from __future__ import annotations

from typing import Any, Sequence

import numpy as np

from . import _core


def fit(x: Any, y: Any, names: Sequence[str] | None = None, l2: float = 0.0, max_iterations: int = 100) -> dict:
    """The fit of 0/1 targets y on samples x (samples x inputs): ``coefficients`` [{name,
    estimate, std_error, z, p}] with the intercept first, ``covariance`` (the inverse of X'WX,
    plus l2 on the slopes' diagonal), ``log_likelihood``, ``deviance``, ``aic``, ``iterations``,
    ``converged``. ValueError for complete separation (naming the input), a target other than 0
    or 1, one class only, or values that are not finite."""
    x = np.asarray(x, dtype=np.float64)
    if x.ndim == 1:
        x = x[:, np.newaxis]
    names = list(names) if names is not None else [f"x{i + 1}" for i in range(x.shape[1] if x.ndim == 2 else 0)]
    return _core.logistic_fit(x, np.asarray(y).astype(np.int32), names, float(l2), int(max_iterations))
