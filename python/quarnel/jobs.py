"""The design's eight jobs on files, each returning a JobResult: the status the job's export
returns, its meaning from the job's status table, the cause of a failure where known, and the
job's results. The jobs write their files exactly as the library and the ``quarnel`` host do."""

from __future__ import annotations

from dataclasses import dataclass, field
from typing import Any, Callable, Sequence

from . import _core


@dataclass(frozen=True)
class JobResult:
    """status: the export's return value; ok: whether the job wrote its outputs; meaning: the
    status's row of the job's status table; cause: why it failed, when known; results: the
    job's figures (keys as in the host's --json results)."""

    job: str
    status: int
    ok: bool
    meaning: str
    cause: str = ""
    results: dict = field(default_factory=dict, repr=False)


def _result(job: str, raw: dict[str, Any]) -> JobResult:
    return JobResult(
        job=job,
        status=raw["status"],
        ok=raw["written"],
        meaning=raw["meaning"].decode("gbk", "replace"),
        cause=raw["cause"].decode("gbk", "replace"),
        results=_decoded(raw["results"]),
    )


def _decoded(value: Any) -> Any:
    if isinstance(value, bytes):
        return value.decode("gbk", "replace")
    if isinstance(value, dict):
        return {k: _decoded(v) for k, v in value.items()}
    if isinstance(value, (list, tuple)):
        return type(value)(_decoded(v) for v in value)
    return value


def normalize(input_file: str, output_file: str, kind: int = 0) -> JobResult:
    """OnDataNormalize2: kinds 0 and 1 rescale a DSAA or KVSGDB01 grid to 0..1 into a DSAA grid
    (status 1 written, 0 failed); kind 2 dumps an HXF file as text (status 0 always; ok says
    whether the dump was written); any other kind: -1."""
    return _result("normalize", _core.job_normalize(str(input_file), str(output_file), int(kind)))


def normalize_hxf(hxf_file: str, output_file: str) -> JobResult:
    """OnDataNormalizeHXF: every float grid of an HXF file as text (status 0 always)."""
    return _result("hxf-dump", _core.job_normalize(str(hxf_file), str(output_file), 2))


def window_stats(input_file: str, mean_file: str, std_file: str, window: int) -> JobResult:
    """OnCalAvgVar: the mean and deviation grids of the complete window x window windows."""
    return _result("window-stats", _core.job_window_stats(str(input_file), str(mean_file), str(std_file), window))


def bp_train(
    sample_file: str,
    network_file: str,
    result_file: str,
    sample_count: int,
    inputs: int,
    hidden: int,
    outputs: int = 1,
    max_iterations: int = 1000,
    error_limit: float = 0.01,
    seed: int | None = None,
    progress: Callable[[int, int, float], Any] | None = None,
) -> JobResult:
    """OnBPTrain, after srand(seed) when a seed is given (as ``bp-train --seed``); seeding and
    drawing hold one process-wide lock, so a seed gives the same network in any thread.

    progress: called after every epoch with (epochs done, max_iterations, current error);
    returning False stops the job (quarnel.Stopped is raised; no output is written). Ctrl-C
    stops it with KeyboardInterrupt."""
    raw = _core.job_bp_train(
        str(sample_file), str(network_file), str(result_file), sample_count, inputs, hidden, outputs,
        max_iterations, float(error_limit), seed, progress,
    )
    return _result("bp-train", raw)


def bp_classify(network_file: str, output_grid: str, inputs: Sequence[str], kinds: Sequence[int]) -> JobResult:
    """OnBPClass on input files with their kinds (0 KVSGDB01, 1 DSAA, 2 HXF); the "*"-ended lists
    are composed here."""
    files = "".join(f"{path}*" for path in inputs)
    codes = "".join(f"{kind}*" for kind in kinds)
    return _result("bp-classify", _core.job_bp_class(str(network_file), str(output_grid), files, codes))


def hierarchy(parameter_file: str) -> JobResult:
    """qelDecompos on a parameter file (status 0 success, 3000 upward failures)."""
    return _result("hierarchy", _core.job_hierarchy(str(parameter_file)))


def feature(parameter_file: str) -> JobResult:
    """qelFeater on a parameter file (status 0 success, 3000 upward failures)."""
    return _result("feature", _core.job_feature(str(parameter_file)))
