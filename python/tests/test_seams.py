"""One set of rasters through every door: each method in memory and through quarnel.dask (and
normalize and window_stats through the quarnel CLI when it is built) must give the same bits,
keep every data cell as data, and write with rio.to_raster what reads back equal. No-data is read with GDAL as
the oracle: the band's no-data value exactly, and NaN."""

import os
import subprocess
from pathlib import Path

import numpy as np
import pytest
import quarnel

gdal = pytest.importorskip("osgeo.gdal")
rioxarray = pytest.importorskip("rioxarray")
dask_array = pytest.importorskip("dask.array")
import quarnel.dask as qd  # noqa: E402

ROWS, COLS = 30, 40
WINDOW = 7  # leaves 2 northern rows and 5 eastern columns that complete no window
LOWER, UPPER = [1.5, 1.5, 1.5, 1.5], [4.5, 4.5, 4.5, 4.5]
WEIGHTS = [37.5, 12.5, 25.0, 25.0]
# (type, no-data, values drawn from, north up?): NaN; 3 beside data 2; 0 beside class 1; a
# south-up raster; the 3-beside-2 rasters again, opened masked.
CASES = {
    "nan": (gdal.GDT_Float32, None, np.arange(0.0, 9.0, 0.25), True),
    "three-beside-two": (gdal.GDT_Byte, 3, [1, 2, 4, 5], True),
    "zero-beside-one": (gdal.GDT_Int16, 0, [1, 2, 3, 4, 5, 6, 7], True),
    "south-up": (gdal.GDT_Float64, -9999.0, np.arange(-2.0, 7.0, 0.5), False),
    "masked-integer": (gdal.GDT_Byte, 3, [1, 2, 4, 5], True),
}


def cli():
    """The quarnel CLI of this build (QUARNEL_CLI, or beside a CMake tree's python/), if any."""
    here = Path(quarnel.__file__).resolve()
    for candidate in [os.environ.get("QUARNEL_CLI"), here.parents[2] / "quarnel",
                      Path(__file__).resolve().parents[2] / "build" / "quarnel"]:
        if candidate and Path(candidate).is_file() and os.access(candidate, os.X_OK):
            return str(candidate)
    return None


def write_layer(path, case, seed):
    kind, nodata, draw, north_up = CASES[case]
    rng = np.random.default_rng(seed)
    values = rng.choice(np.asarray(draw, dtype=np.float64), size=(ROWS, COLS))
    blank = rng.random((ROWS, COLS)) < 0.1
    values[blank] = np.nan if nodata is None else nodata
    dataset = gdal.GetDriverByName("GTiff").Create(str(path), COLS, ROWS, 1, kind)
    dataset.SetGeoTransform((500000.0, 100.0, 0.0, 7000000.0, 0.0, -100.0) if north_up else
                            (500000.0, 100.0, 0.0, 6997000.0, 0.0, 100.0))
    dataset.SetProjection("EPSG:28354")
    band = dataset.GetRasterBand(1)
    if nodata is not None:
        band.SetNoDataValue(nodata)
    band.WriteArray(values)
    dataset = None
    return path


def no_data_cells(path):
    """The oracle: GDAL's values, no data where they equal the band's no-data value, or NaN."""
    dataset = gdal.Open(str(path))  # held while its band is read
    band = dataset.GetRasterBand(1)
    values = band.ReadAsArray().astype(np.float64)
    nodata = band.GetNoDataValue()
    return np.isnan(values) | (values == nodata if nodata is not None else False)


def read_back(result, path):
    result.rio.to_raster(path)
    return rioxarray.open_rasterio(path, masked=False).squeeze("band", drop=True)


def same(a, b):
    a, b = np.asarray(a), np.asarray(b)
    return a.dtype == b.dtype and a.shape == b.shape and a.tobytes() == b.tobytes()


@pytest.fixture(scope="module", params=list(CASES))
def layers(request, tmp_path_factory):
    folder = tmp_path_factory.mktemp(request.param)
    paths = [write_layer(folder / f"layer{i}.tif", request.param, seed=i) for i in range(4)]
    masked = request.param == "masked-integer"
    eager = [rioxarray.open_rasterio(p, masked=masked).squeeze("band", drop=True) for p in paths]
    lazy = [rioxarray.open_rasterio(p, masked=masked, chunks={"x": 17, "y": 11}) for p in paths]  # band of 1 kept
    return request.param, paths, eager, lazy, [no_data_cells(p) for p in paths]


def test_normalize_and_window_stats(layers, tmp_path):
    case, paths, eager, lazy, blank = layers
    result = quarnel.normalize(eager[0])
    assert result.dtype == np.float64 and not result.encoding.get("dtype")
    assert same(qd.normalize(lazy[0]).values, result.values)
    assert np.array_equal(np.isnan(result.values), blank[0])  # every data cell is data
    assert np.nanmin(result.values) == 0 and np.nanmax(result.values) == 1
    assert same(read_back(result, tmp_path / "n.tif").values, result.values)
    windows = quarnel.window_stats(eager[0], WINDOW)
    for ours, theirs in zip(windows, qd.window_stats(lazy[0], WINDOW)):
        assert same(theirs.values, ours.values)
        assert theirs.rio.transform() == ours.rio.transform()
        assert same(read_back(ours, tmp_path / "w.tif").values, ours.values)
    quarnel_cli = cli()
    if quarnel_cli is None:
        pytest.skip("no quarnel CLI built beside this package (set QUARNEL_CLI): not compared with it")
    run = subprocess.run([quarnel_cli, "normalize", "--float64", str(paths[0]), str(tmp_path / "cli.tif")],
                         capture_output=True, text=True, timeout=60)
    assert run.returncode == 0, run.stderr
    written = gdal.Open(str(tmp_path / "cli.tif")).ReadAsArray()  # no-data as GDAL reads it, NaN here
    assert same(np.where(no_data_cells(tmp_path / "cli.tif"), np.nan, written), result.values)
    # Float32, and Float64 where the order of a window's sums shows in the last bit.
    for option, kind in (([], np.float32), (["--float64"], np.float64)):
        outputs = [tmp_path / f"mean{kind.__name__}.tif", tmp_path / f"deviation{kind.__name__}.tif"]
        run = subprocess.run([quarnel_cli, "window-stats", *option, str(paths[0]), *map(str, outputs),
                              "-w", str(WINDOW)], capture_output=True, text=True, timeout=60)
        assert run.returncode == 0, run.stderr
        for ours, path in zip(windows, outputs):
            host = rioxarray.open_rasterio(path).squeeze("band", drop=True)  # coordinates from its transform
            assert same(host.values, ours.values.astype(kind))
            assert gdal.Open(str(path)).GetGeoTransform() == ours.rio.transform().to_gdal()
            for dim in ("y", "x"):
                assert np.allclose(ours[dim].values, host[dim].values, rtol=0, atol=1e-6)


def test_stack_methods(layers, tmp_path):
    case, paths, eager, lazy, blank = layers
    any_blank = np.logical_or.reduce(blank)
    network = quarnel.Network.from_arrays(np.zeros(2), [0.0], np.full((4, 2), 1.0), [[1.0], [-3.0]])
    classes = network.classify(eager)
    assert same(qd.classify(network, lazy).values, classes.values)
    assert np.array_equal(classes.values == 1, blank[0]) and classes.rio.nodata is None
    prediction = quarnel.hierarchy.predict(eager, WEIGHTS)
    scores = quarnel.feature.score(eager, LOWER, UPPER, [1.0, 2.0, 3.0, 4.0])
    codes = quarnel.feature.code(eager, LOWER, UPPER)
    assert same(qd.predict(lazy, WEIGHTS).values, prediction.values)
    assert same(qd.score(lazy, LOWER, UPPER, [1.0, 2.0, 3.0, 4.0]).values, scores.values)
    assert same(qd.code(lazy, LOWER, UPPER).values, codes.values)
    for grid in (prediction, scores):
        assert grid.dtype == np.float32 and np.array_equal(np.isnan(grid.values), any_blank)
        assert same(read_back(grid, tmp_path / "s.tif").values, grid.values)
    assert np.array_equal(np.isnan(codes.values), np.stack(blank))
    assert same(read_back(classes, tmp_path / "c.tif").values, classes.values)
    assert same(qd.product_matrix(lazy, LOWER, UPPER), quarnel.feature.product_matrix(eager, LOWER, UPPER))
