"""The Cloncurry evidence cropped to a small window (GDAL), shared by the plugin's tests."""

import gc
import pathlib

import pytest
from osgeo import gdal

DATA = pathlib.Path(__file__).resolve().parents[2] / "examples" / "cloncurry-100m"
LAYERS = ("Dist2Breccia", "Dist2Fault", "FaultDensity", "StratNo")
WINDOW = [300, 600, 200, 300]  # column, row, columns, rows: a window holding some 40 deposits


@pytest.fixture(scope="session")
def cloncurry(tmp_path_factory):
    """{layer name: cropped GeoTIFF path, "deposits": the shapefile}."""
    folder = tmp_path_factory.mktemp("cloncurry")
    paths = {"deposits": str(DATA / "IOCG_Deposits.shp")}
    for name in LAYERS:
        paths[name] = str(folder / f"{name}.tif")
        gdal.Translate(paths[name], str(DATA / f"{name}.tif"), srcWin=WINDOW)
    return paths


@pytest.fixture(scope="session", autouse=True)
def rasters_closed_while_gdal_runs():
    """xarray closes the files it read when they are collected; that must happen before the QGIS
    application started by the tests shuts GDAL down at exit."""
    yield
    gc.collect()
