"""quarnel.run: a workflow file run by the library `quarnel run` runs, its summary returned as the
file holds it; refusals as ValueError; and every parameter with one name and default in the
declarations, docs/workflow.md, the host's listing and the Python checks."""

import json
import re
import subprocess
from pathlib import Path

import numpy as np
import pytest

import quarnel
from quarnel import _core, workflow

ROOT = Path(__file__).resolve().parents[2]
HOST = Path(_core.__file__).resolve().parents[2] / "quarnel"  # a build folder's host, where there is one
needs_host = pytest.mark.skipif(not HOST.exists(), reason="no quarnel host beside this build of the module")


def district(folder: Path, methods: str) -> Path:
    """Two 7 x 5 GeoTIFF layers (written with GDAL) and five deposits, with the given methods."""
    from osgeo import gdal, osr

    gdal.UseExceptions()
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(28354)
    for name, seed in (("a", 1), ("b", 2)):
        ds = gdal.GetDriverByName("GTiff").Create(str(folder / f"{name}.tif"), 5, 7, 1, gdal.GDT_Float64)
        ds.SetGeoTransform((500000, 100, 0, 7000700, 0, -100))
        ds.SetProjection(srs.ExportToWkt())
        ds.GetRasterBand(1).WriteArray(((np.arange(35) * 37 + seed * 11) % 23).reshape(7, 5).astype(float))
        ds = None
    (folder / "deposits.csv").write_text(
        "x,y\n500150,7000550\n500350,7000150\n500250,7000350\n500050,7000250\n500450,7000050\n"
    )
    file = folder / "district.toml"
    file.write_text(
        'output = "out"\n[deposits]\npath = "deposits.csv"\n'
        '[[layers]]\nname = "a"\nraster = "a.tif"\nprepare = "normalize"\n'
        '[[layers]]\nname = "b"\nraster = "b.tif"\nprepare = "code"\nlower = 5\nupper = 15\n' + methods
    )
    return file


@needs_host
def test_run_returns_the_summary_the_host_writes(tmp_path):
    folder = tmp_path / "my data"
    folder.mkdir()
    file = district(folder, '[hierarchy]\n[[hierarchy.levels]]\nlevel = "geology"\nelements = [{ layer = "a" }, { layer = "b" }]\n')
    summary = quarnel.run(file, folder / "python results")
    assert summary["ok"] and summary["hierarchy"]["ok"]
    assert summary == json.loads((folder / "python results" / "summary.json").read_text())
    host = subprocess.run([str(HOST), "run", "--json", str(file), "-o", str(folder / "host results")],
                          capture_output=True, text=True)
    assert host.returncode == 0, host.stderr
    by_host = json.loads(host.stdout)
    # The same results; only the paths differ by the folder.
    assert by_host["hierarchy"]["results"] == summary["hierarchy"]["results"]
    assert by_host["validation"] == summary["validation"]


def test_a_refused_workflow_raises_value_error_and_writes_nothing(tmp_path):
    file = district(tmp_path, '[hierarchy]\n[[hierarchy.levels]]\nlevel = "geology"\nimportance = 1e-12\nelements = [{ layer = "a" }]\n')
    with pytest.raises(ValueError, match=r"district.toml:\d+: hierarchy.levels\[1\].importance: must lie between 0.001 and 1000"):
        quarnel.run(file)
    assert not (tmp_path / "out").exists()


def test_keyword_checks_name_the_parameter():
    with pytest.raises(ValueError, match="^hidden: must lie between 1 and 1000$"):
        workflow.check("bp", hidden=0)
    with pytest.raises(ValueError, match="^method: must be one of vector-length, principal-component"):
        workflow.check("feature", method=0)
    with pytest.raises(ValueError, match="^fraction: not a parameter of validation"):
        workflow.check("validation", fraction=0.3)
    workflow.check("validation", holdout=0.3, seed=0)
    workflow.check("bp", background=None, max_iterations=1000)


def test_feature_analysis_takes_the_method_by_its_workflow_name():
    declared = next(p for p in workflow.parameters("feature") if p["name"] == "method")["choices"]
    assert list(quarnel.feature.METHODS) == declared
    p = np.array([[3, 1], [1, 2]], dtype=np.float32)
    for index, name in enumerate(declared):
        assert np.array_equal(quarnel.feature.weights(p, name).weights, quarnel.feature.weights(p, index).weights)
    with pytest.raises(ValueError, match="method must be vector-length"):
        quarnel.feature.weights(p, "vector length")


def readme_tables():
    """{(table, key): default} from the parameter tables of docs/workflow.md."""
    text = (ROOT / "docs" / "workflow.md").read_text()
    block = text[text.index("<!-- params:begin -->") : text.index("<!-- params:end -->")]
    found, table = {}, None
    for line in block.splitlines():
        if line.startswith("#### "):
            m = re.search(r"\(`\[(.+)\]`\)", line)
            table = m.group(1) if m else ""
        m = re.match(r"\| `([a-z0-9_]+)` \| [^|]* \|[^|]*\|[^|]*\| ([^|]+) \|", line)
        if m:
            found[(table, m.group(1))] = m.group(2).strip()
    return found


@needs_host
def test_every_parameter_has_one_name_and_default_in_every_door():
    declared = {(p["method"], p["name"]): p["default"] for p in workflow.parameters()}
    assert declared == readme_tables()
    listing = subprocess.run([str(HOST), "params"], capture_output=True, text=True, check=True).stdout
    for (method, name), default in declared.items():
        assert re.search(rf"^  {name}  .*; default: {re.escape(default)}$", listing, re.M), (method, name)
        workflow.check(method, **{name: None} if default != "required" else {})
    # One name for each concept across the doors.
    names = {name for _, name in declared}
    assert "holdout" in names and "fraction_held_out" not in names and "fraction" not in names
    assert {"vector-length", "principal-component"} == set(
        next(p for p in workflow.parameters("feature") if p["name"] == "method")["choices"]
    )
    assert "window-deviation" in next(p for p in workflow.parameters("layers") if p["name"] == "prepare")["choices"]
