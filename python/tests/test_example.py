"""The Cloncurry example script (examples/python/cloncurry.py) run on the whole 100 m district."""

import re
import subprocess
import sys
from pathlib import Path

import pytest

SCRIPT = Path(__file__).resolve().parents[2] / "examples" / "python" / "cloncurry.py"
gdal = pytest.importorskip("osgeo.gdal")
pytest.importorskip("matplotlib")


def test_cloncurry_script_prints_auc_and_writes_maps(tmp_path):
    run = subprocess.run([sys.executable, str(SCRIPT), str(tmp_path)], capture_output=True, text=True, timeout=120)
    assert run.returncode == 0, run.stderr
    rows = re.findall(r"^(\w+): AUC (\S+) .*prediction-rate area (\S+),", run.stdout, re.MULTILINE)
    assert sorted(method for method, _, _ in rows) == ["bp", "feature", "hierarchy"], run.stdout
    for method, auc, prediction in rows:
        assert 0.5 < float(auc) < 1 and 0.5 < float(prediction) < 1, (method, auc, prediction)
    evidence = gdal.Open(str(SCRIPT.parents[1] / "cloncurry-100m" / "StratNo.tif"))
    for name in ["bp_classes.tif", "hierarchy.tif", "feature.tif"]:
        written = gdal.Open(str(tmp_path / name))
        assert (written.RasterXSize, written.RasterYSize) == (evidence.RasterXSize, evidence.RasterYSize)
        assert written.GetGeoTransform() == evidence.GetGeoTransform()
    for name in ["maps.png", "curves.png"]:
        assert (tmp_path / name).read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    assert sorted(p.name for p in tmp_path.iterdir()) == sorted(
        ["bp_classes.tif", "hierarchy.tif", "feature.tif", "maps.png", "curves.png"])  # no temporary left
