"""The `quarnel` host program, for the tools only it has (convert, align, samples, model units):
found through QUARNEL_HOST, on PATH, or beside the installed package; run with --json, stopped
when the user cancels, its cause passed on when it fails."""

from __future__ import annotations

import json
import os
import shutil
import subprocess
import time

from qgis.core import QgsProcessingException

import quarnel

from .layers import Cancelled


def host_path() -> str | None:
    """The host program, or None when there is none."""
    given = os.environ.get("QUARNEL_HOST")
    if given:
        return given if os.access(given, os.X_OK) else None
    found = shutil.which("quarnel")
    if found:
        return found
    package = os.path.dirname(os.path.abspath(quarnel.__file__))
    for folder in (package, os.path.join(package, "bin"), os.path.dirname(package)):
        candidate = os.path.join(folder, "quarnel")
        if os.path.isfile(candidate) and os.access(candidate, os.X_OK):
            return candidate
    return None


def run_host(arguments: list[str], feedback) -> dict:
    """Run `quarnel ARGUMENTS --json` and return its JSON report; QgsProcessingException with the
    host's cause when it fails, Cancelled (the process killed) when the user cancels."""
    program = host_path()
    if program is None:
        raise QgsProcessingException("the quarnel host program was not found (set QUARNEL_HOST or put it on PATH)")
    command = [program, *arguments, "--json"]
    feedback.pushCommandInfo(" ".join(command))
    with subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True) as process:
        while process.poll() is None:
            if feedback.isCanceled():
                process.kill()
                process.wait()
                raise Cancelled()
            time.sleep(0.05)
        out, err = process.communicate()
    report = _json_of(out)
    if process.returncode != 0:
        cause = report.get("cause") or report.get("error") or err.strip() or out.strip()
        raise QgsProcessingException(f"quarnel {arguments[0]}: {cause}")
    feedback.pushInfo(json.dumps(report.get("results", {})))
    return report


def _json_of(text: str) -> dict:
    try:
        value = json.loads(text)
    except ValueError:
        return {}
    return value if isinstance(value, dict) else {}
