"""Workflow files run from Python, and every method's parameters as the workflow file declares them.

``run("district.toml")`` runs the file as ``quarnel run`` does (the same library, the same
outputs) and returns its summary (summary.json) as a dict. ``parameters()`` lists the
declarations every door shares: name, kind, unit, range, default and help; ``check(method,
**values)`` refuses a value as the workflow file would, with a ValueError naming the parameter.
"""

from __future__ import annotations

import json
import os
from typing import Any, Callable

from . import _core


def run(
    workflow: str | os.PathLike[str],
    output: str | os.PathLike[str] | None = None,
    progress: Callable[[int, int, float], Any] | None = None,
) -> dict[str, Any]:
    """Run a workflow file; output (default: the file's ``output``) takes the place of its folder.

    progress(done, total, value) hears of each step and of the steps' own progress; returning
    False stops the run (quarnel.Stopped), as Ctrl-C does (KeyboardInterrupt): the step under
    way leaves nothing, and summary.json records the steps stopped.

    Returns the run's summary: per step ``ok``, ``cause`` (failed steps), ``outputs`` and
    ``results``, and ``validation`` per method. A workflow refused before anything is written
    (an unknown key, a value out of range, an output over an input, ...) raises ValueError
    (quarnel._core.WorkflowError) with "FILE:LINE: KEY: cause". The interpreter lock is released
    while it runs.
    """
    text = _core.run_workflow(os.fspath(workflow), "" if output is None else os.fspath(output), progress)
    return json.loads(text)


def parameters(method: str | None = None) -> list[dict[str, Any]]:
    """The declarations of every parameter (of one method or table: "bp", "hierarchy.levels", ...)."""
    return [p for p in _core.parameters() if method is None or p["method"] == method]


def check(method: str, /, **values: Any) -> None:
    """Raise ValueError naming the first parameter of method whose value the workflow file would refuse."""
    declared = {p["name"]: p for p in parameters(method)}
    for name, value in values.items():
        p = declared.get(name)
        if p is None:
            raise ValueError(f"{name}: not a parameter of {method or 'the workflow'}")
        if value is None:
            if p["required"]:
                raise ValueError(f"{name}: missing")
            continue
        if p["kind"] == "choice":
            if value not in p["choices"]:
                raise ValueError(f"{name}: must be {p['accepted']}, not {value!r}")
        elif p["kind"] in ("integer", "number"):
            if isinstance(value, bool) or not isinstance(value, (int, float)):
                raise ValueError(f"{name}: not a number: {value!r}")
            cause = _core.check_parameter(method, name, float(value))
            if cause:
                raise ValueError(f"{name}: {cause}")
        elif p["kind"] == "flag" and not isinstance(value, bool):
            raise ValueError(f"{name}: not True or False: {value!r}")
