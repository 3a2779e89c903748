"""The dask functions against the in-memory ones, bit for bit, on a two-process LocalCluster
with chunks that divide neither side of the 200 x 150 raster."""

import os
from pathlib import Path

import numpy as np
import pytest
import quarnel

dask_array = pytest.importorskip("dask.array")
distributed = pytest.importorskip("distributed")
import quarnel.dask as qd  # noqa: E402

CHUNKS = (37, 53)
LOWER, UPPER = [-0.5, -0.2, 0.0, 0.3], [0.5, 0.2, 0.8, 0.3]


@pytest.fixture(scope="module")
def client():
    package = str(Path(quarnel.__file__).resolve().parents[1])
    os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [package, os.environ.get("PYTHONPATH")]))
    with distributed.LocalCluster(
        n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1", dashboard_address=None,
        memory_limit="1GiB",
    ) as cluster, distributed.Client(cluster) as c:
        yield c


@pytest.fixture(scope="module")
def stack():
    rng = np.random.default_rng(11)
    values = rng.normal(size=(4, 200, 150))
    values[rng.random(values.shape) < 0.03] = np.nan
    values[0, :3, :4] = np.nan  # a blank first band makes class 1
    return values


def chunked(values):
    return dask_array.from_array(values, chunks=(values.shape[0],) + CHUNKS if values.ndim == 3 else CHUNKS)


def same(a, b):
    a, b = np.asarray(a), np.asarray(b)
    return a.dtype == b.dtype and a.shape == b.shape and a.tobytes() == b.tobytes()


def test_normalize(client, stack):
    grid = stack[1]
    assert same(qd.normalize(chunked(grid)).compute(), quarnel.normalize(grid))
    explicit = np.where(np.isnan(grid), -9999.0, grid)
    assert same(qd.normalize(chunked(explicit), nodata=-9999).compute(), quarnel.normalize(explicit, nodata=-9999))


def test_normalize_keeps_the_first_extreme_zero(client):
    # The smallest value is a zero of either sign; the core keeps the first in row order (here
    # -0.0 in the third block of the first block row, before +0.0 in the first block), so every
    # rescaled zero is +0.0 (with +0.0 as the low end, -0.0 - 0.0 would stay -0.0).
    grid = np.ones((200, 150))
    grid[5, 140] = -0.0
    grid[20, 3] = 0.0
    expected = quarnel.normalize(grid)
    assert not np.signbit(expected).any()
    assert same(qd.normalize(chunked(grid)).compute(), expected)


@pytest.mark.parametrize("window", [3, 7])
def test_window_stats(client, stack, window):
    lazy = qd.window_stats(chunked(stack[2]), window)
    for result, expected in zip(lazy, quarnel.window_stats(stack[2], window)):
        assert same(result.compute(), expected)


def test_classify(client, stack):
    rng = np.random.default_rng(5)
    samples = rng.random((60, 4))
    network = quarnel.train(samples, (samples[:, 0] + samples[:, 2] > 1).astype(int), hidden=8, max_iterations=150,
                            seed=4)
    expected = network.classify(stack)
    assert set(np.unique(expected)) == {1, 2, 3}
    assert same(qd.classify(network, chunked(stack)).compute(), expected)
    explicit = np.where(np.isnan(stack), 99999.0, stack)
    assert same(qd.classify(network, chunked(explicit), nodata=99999, start_range=(-1.0, 1.0)).compute(),
                network.classify(explicit, nodata=99999, start_range=(-1.0, 1.0)))


def test_prediction_coding_and_scoring(client, stack):
    weights = np.array([37.5, 12.5, 25.0, 25.0], dtype=np.float32)
    assert same(qd.predict(chunked(stack), weights).compute(), quarnel.hierarchy.predict(stack, weights))
    assert same(qd.code(chunked(stack), LOWER, UPPER).compute(), quarnel.feature.code(stack, LOWER, UPPER))
    w = quarnel.feature.weights(quarnel.feature.product_matrix(stack, LOWER, UPPER), 1)
    assert same(qd.score(chunked(stack), LOWER, UPPER, w).compute(), quarnel.feature.score(stack, LOWER, UPPER, w))


def test_product_matrix(client, stack):
    assert same(qd.product_matrix(chunked(stack), LOWER, UPPER), quarnel.feature.product_matrix(stack, LOWER, UPPER))
    units = [(36, 52, 1), (37, 53, 2), (199, 149, 1), (5, 140, 3), (120, 0, 1)]
    assert same(qd.product_matrix(chunked(stack), LOWER, UPPER, units=units),
                quarnel.feature.product_matrix(stack, LOWER, UPPER, units=units))
    with pytest.raises(ValueError, match="2\\^24"):
        qd.product_matrix(dask_array.zeros((1, 4097, 4097), chunks=(1, 4097, 4097)), [0], [1])


def test_data_arrays_stay_georeferenced(client, stack):
    raster = quarnel.open_raster(str(Path(__file__).resolve().parents[2] / "examples/cloncurry/Dist2Breccia_metres_1km.grd"))
    lazy = raster.chunk({"y": 37, "x": 53})
    result = qd.normalize(lazy)
    assert result.rio.transform() == raster.rio.transform() and np.isnan(result.rio.nodata)
    assert same(result.values, quarnel.normalize(raster).values)
    mean, _ = qd.window_stats(lazy, 5)
    assert same(mean.values, quarnel.window_stats(raster, 5)[0].values)
    assert mean.rio.transform() == quarnel.window_stats(raster, 5)[0].rio.transform()


def test_geotiff_stack_classified_to_geotiff(client, stack, tmp_path):
    xarray = pytest.importorskip("xarray")
    pytest.importorskip("rioxarray")
    bands = xarray.DataArray(stack[:, :60, :50].astype(np.float32), dims=("band", "y", "x"),
                             coords={"band": [1, 2, 3, 4], "y": 7005.0 - 10 * np.arange(60), "x": 5.0 + 10 * np.arange(50)})
    bands.rio.write_crs("EPSG:28354").rio.write_nodata(np.nan).rio.to_raster(tmp_path / "evidence.tif")
    raster = quarnel.open_raster(str(tmp_path / "evidence.tif"))
    lazy = quarnel.open_raster(str(tmp_path / "evidence.tif"), chunks={"x": 16, "y": 16})
    network = quarnel.Network.from_arrays(np.zeros(2), [0.0], np.full((4, 2), 1.0), [[1.0], [-3.0]])
    qd.classify(network, lazy).rio.to_raster(
        tmp_path / "classes.tif", tiled=True, lock=distributed.Lock("rio", client=client)
    )
    classes = quarnel.open_raster(str(tmp_path / "classes.tif"))
    assert same(classes.values, network.classify(raster).values)
    assert classes.rio.crs == raster.rio.crs and classes.rio.transform() == raster.rio.transform()


@pytest.mark.parametrize("operator", ["and", "gamma"])
def test_fuzzy_overlay_and_logistic_prediction(client, stack, operator):
    memberships = 1 / (1 + np.exp(-stack))
    assert same(qd.fuzzy_overlay(chunked(memberships), operator).compute(),
                quarnel.fuzzy.overlay(memberships, operator))
    rng = np.random.default_rng(5)
    x = rng.normal(size=(300, 4))
    fitted = quarnel.logistic.fit(x, (rng.random(300) < 1 / (1 + np.exp(-x[:, 0] - x[:, 2]))).astype(int))
    lazy = qd.logistic_predict(fitted, chunked(stack), intercept_shift=-0.5)
    for got, want in zip(lazy, quarnel.logistic.predict(fitted, stack, intercept_shift=-0.5)):
        assert same(got.compute(), want)
