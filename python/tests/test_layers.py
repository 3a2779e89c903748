"""Layers at the Python door: which cells are no data, what results carry, which layers may be
combined, deposits as cells, and what normalisation and graph building cost."""

import time
import tracemalloc
from pathlib import Path

import numpy as np
import pytest
import quarnel

gdal = pytest.importorskip("osgeo.gdal")
rioxarray = pytest.importorskip("rioxarray")
xarray = pytest.importorskip("xarray")
dask = pytest.importorskip("dask")
dask_array = pytest.importorskip("dask.array")
import quarnel.dask as qd  # noqa: E402

STRATNO = Path(__file__).resolve().parents[2] / "examples" / "cloncurry-100m" / "StratNo.tif"
LOWER, UPPER, WEIGHTS = [0.2, 0.2], [0.6, 0.6], [1.0, 2.0]


def grid(values, transform=(10.0, 0.0, 500000.0, 0.0, -10.0, 7000000.0), crs="EPSG:28354", name=None):
    """A DataArray on a frame (an affine transform a, b, c, d, e, f), as rioxarray reads one."""
    a, _, c, _, e, f = transform
    rows, cols = np.shape(values)
    array = xarray.DataArray(np.asarray(values), dims=("y", "x"), name=name,
                             coords={"y": f + e * (np.arange(rows) + 0.5), "x": c + a * (np.arange(cols) + 0.5)})
    return array.rio.write_crs(crs) if crs else array


# --- No-data: the source's value exactly, and NaN ------------------------------------------------

def test_a_geotiff_no_data_value_is_taken_exactly():
    dataset = gdal.Open(str(STRATNO))
    values, nodata = dataset.ReadAsArray(), dataset.GetRasterBand(1).GetNoDataValue()
    result = quarnel.normalize(quarnel.open_raster(str(STRATNO)))
    assert nodata == 3 and np.count_nonzero(values == 2) == 130742
    assert np.array_equal(np.isnan(result.values), values == nodata)  # no cell of 2 lost
    classes = np.array([[0, 1, 2], [7, 1, 0]], dtype=np.uint8)  # no-data 0 beside class 1
    assert np.array_equal(quarnel.normalize(classes, nodata=0), [[0, 0, 1 / 6], [1, 0, 0]])


def test_a_dsaa_grid_has_one_no_data_value(tmp_path):
    # 99998.5 is data (the design's "within 1" is for its jobs); Surfer's blank is no data too.
    path = tmp_path / "g.grd"
    path.write_text("DSAA\n3 2\n0 2\n0 1\n1 99998.5\n1 1.70141e38 4\n99998.5 99999 7\n")
    raster = quarnel.open_raster(str(path))  # north up: the file's last row first
    assert raster.rio.nodata == 99999 and raster.values[:, 1].tolist() == [99999, 99999]
    expected = (np.array([[99998.5, np.nan, 7], [1, np.nan, 4]]) - 1) / (99998.5 - 1)
    assert np.array_equal(quarnel.normalize(raster).values, expected, equal_nan=True)


def test_each_layer_of_a_list_keeps_its_own_no_data_value():
    classes = grid(np.array([[1, 3], [2, 2]], dtype=np.uint8)).rio.write_nodata(3)
    distances = grid(np.array([[3.0, 5.0], [-9999.0, 3.0]])).rio.write_nodata(-9999.0)
    expected = [[1 + 2 * 3.0, np.nan], [np.nan, 2 + 2 * 3.0]]  # 3 is data in the second layer
    for predict in (quarnel.hierarchy.predict, qd.predict):
        assert np.array_equal(predict([classes, distances], WEIGHTS).values, expected, equal_nan=True)


# --- Results: new float layers, nothing of the input's encoding ---------------------------------

@pytest.mark.parametrize("masked", [True, False])
def test_results_write_and_read_back_whatever_the_input(masked, tmp_path):
    source = rioxarray.open_rasterio(STRATNO, masked=masked)  # uint8, no-data 3; band of 1 kept
    stack = [source, source]
    results = {
        "normalize": quarnel.normalize(source),
        "predict": quarnel.hierarchy.predict(stack, WEIGHTS),
        "score": quarnel.feature.score(stack, [1.5, 1.5], [1.5, 1.5], WEIGHTS),
        "classify": quarnel.Network.from_arrays([0.0], [0.0], [[1.0], [1.0]], [[1.0]]).classify(stack),
    }
    for name, result in results.items():
        assert result.encoding.get("dtype") is None and "STATISTICS_MEAN" not in result.attrs, name
        result.rio.to_raster(tmp_path / f"{name}.tif")
        back = rioxarray.open_rasterio(tmp_path / f"{name}.tif", masked=True).squeeze("band", drop=True)
        assert np.array_equal(back.values, result.values, equal_nan=True), name
    assert results["normalize"].dtype == np.float64 and results["score"].dtype == np.float32
    assert 3 in results["classify"].values  # class 3 is not no data


def test_code_keeps_data_arrays_and_nan():
    layer = grid([[0.1, np.nan], [0.7, 0.4]])
    codes = quarnel.feature.code([layer, layer], LOWER, UPPER)
    assert isinstance(codes, xarray.DataArray) and codes.dims == ("band", "y", "x")
    assert codes.rio.transform() == layer.rio.transform()
    assert np.array_equal(codes.values[0], [[-1, np.nan], [1, 0]], equal_nan=True)
    assert np.array_equal(quarnel.feature.code(np.array([[[5.0, 3.0]]]), [1], [4], nodata=3), [[[1, 3]]])


# --- Alignment: layers on different frames are refused -------------------------------------------

BASE = grid(np.random.default_rng(1).random((4, 4)), name="base")
MISFITS = {
    "shifted": (grid(BASE.values, (10.0, 0.0, 500005.0, 0.0, -10.0, 7000000.0)), "transforms"),
    "another CRS": (grid(BASE.values, crs="EPSG:4326"), "CRS"),
    "transposed": (BASE.transpose("x", "y"), "axis orders"),
    "another shape": (grid(np.ones((4, 5))), "shapes"),
}
CALLS = {
    "predict": lambda s: quarnel.hierarchy.predict(s, WEIGHTS),
    "score": lambda s: quarnel.feature.score(s, LOWER, UPPER, WEIGHTS),
    "classify": lambda s: quarnel.Network.from_arrays([0.0], [0.0], [[1.0], [1.0]], [[1.0]]).classify(s),
    "code": lambda s: quarnel.feature.code(s, LOWER, UPPER),
    "dask predict": lambda s: qd.predict(s, WEIGHTS),
    "dask score": lambda s: qd.score(s, LOWER, UPPER, WEIGHTS),
    "dask classify": lambda s: qd.classify(quarnel.Network.from_arrays([0.0], [0.0], [[1.0], [1.0]], [[1.0]]), s),
    "dask product matrix": lambda s: qd.product_matrix(s, LOWER, UPPER),
}


@pytest.mark.parametrize("call", CALLS)
@pytest.mark.parametrize("misfit", MISFITS)
def test_layers_on_different_frames_are_refused(call, misfit):
    other, difference = MISFITS[misfit]
    with pytest.raises(ValueError, match=rf"layer 0 \('base'\) and layer 1( \('base'\))? are not aligned: {difference}"):
        CALLS[call]([BASE, other])


def test_a_mask_off_the_map_frame_is_refused():
    with pytest.raises(ValueError, match="the map and the mask are not aligned: CRS"):
        quarnel.evaluate.evaluate(BASE, [(0, 0)], mask=MISFITS["another CRS"][0] > 0)


def test_numpy_layers_are_taken_as_aligned():
    result = quarnel.hierarchy.predict([BASE, BASE.values * 2], WEIGHTS)
    assert result.rio.transform() == BASE.rio.transform()
    assert np.array_equal(result.values, (BASE.values.astype(np.float32) * 1 + BASE.values.astype(np.float32) * 2 * 2))


# --- Deposits as cells ---------------------------------------------------------------------------

@pytest.mark.parametrize("e", [-10.0, 10.0])  # north up and south up
def test_deposits_to_cells_matches_rasterio(e):
    rasterio_transform = pytest.importorskip("rasterio.transform")
    raster = grid(np.zeros((300, 200)), (10.0, 0.0, 500000.0, 0.0, e, 7000000.0))
    rng = np.random.default_rng(4)
    points = np.column_stack([rng.uniform(499000, 503000, 200000), rng.uniform(6996000, 7004000, 200000)])
    start = time.perf_counter()
    cells = quarnel.deposits_to_cells(points, raster)
    assert time.perf_counter() - start < 0.5  # 0.9 s point by point, 0.02 s vectorised
    rows, cols = rasterio_transform.rowcol(raster.rio.transform(), points[:, 0], points[:, 1])
    rows, cols = np.asarray(rows), np.asarray(cols)
    inside = (rows >= 0) & (rows < 300) & (cols >= 0) & (cols < 200)
    assert np.array_equal(cells, np.column_stack([rows[inside], cols[inside]]))


@pytest.mark.parametrize("odd, what", [(None, "no geometry"), ("LINESTRING (0 0, 1 1)", "a LineString"),
                                       ("POINT EMPTY", "an empty point")])
def test_deposits_that_are_not_points_are_refused(odd, what):
    geopandas = pytest.importorskip("geopandas")
    wkt = pytest.importorskip("shapely.wkt")
    points = [wkt.loads("POINT (500005 6999995)"), wkt.loads("POINT (500035 6999975)")]
    frame = geopandas.GeoDataFrame(geometry=points, index=[10, 11], crs="EPSG:28354")
    assert quarnel.deposits_to_cells(frame, BASE).tolist() == [[0, 0], [2, 3]]
    frame = geopandas.GeoDataFrame(geometry=points + [None if odd is None else wkt.loads(odd)], index=[10, 11, 12])
    with pytest.raises(ValueError, match=f"1 deposits are not points; the first, feature 12, is {what}"):
        quarnel.deposits_to_cells(frame, BASE)


@pytest.mark.parametrize("cells", [[(0, -1)], [(-1, 0)], [(4, 0)], [(0, 4)], [(0, 1, 1)], [16], [-1]])
def test_deposit_cells_off_the_grid_are_refused(cells):
    with pytest.raises(ValueError, match="off the grid|pairs"):
        quarnel.evaluate.evaluate(BASE.values, cells)
    if np.ndim(cells) == 2:
        with pytest.raises(ValueError, match="off the grid|pairs"):
            quarnel.cells_mask(cells, (4, 4))


# --- Cost: memory of normalize, graphs built without reading -------------------------------------

def test_normalize_holds_at_most_one_copy_more():
    values = np.random.default_rng(2).random((1000, 1000))
    values[::7, ::3] = np.nan
    tracemalloc.start()
    quarnel.normalize(values)
    _, peak = tracemalloc.get_traced_memory()
    tracemalloc.stop()
    assert peak <= values.nbytes * 1.01


def test_building_a_dask_graph_reads_no_block():
    def refuse(*args, **kwargs):
        raise AssertionError("a block was read while the graph was built")

    stack = dask_array.random.random((2, 50, 40), chunks=(1, 20, 20))
    network = quarnel.Network.from_arrays([0.0], [0.0], [[1.0], [1.0]], [[1.0]])
    with dask.config.set(scheduler=refuse):
        qd.normalize(stack[0])
        qd.window_stats(stack[0], 3)
        qd.classify(network, stack)
        qd.predict(stack, WEIGHTS)
        qd.score(stack, LOWER, UPPER, WEIGHTS)
        qd.code(stack, LOWER, UPPER)
