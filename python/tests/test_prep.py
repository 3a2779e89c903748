import numpy as np
import pytest
import quarnel
from conftest import DATA, read_dsaa, two_decimals

METRES = DATA / "Dist2Breccia_metres_1km.grd"


def by_hand(values, blank):
    """Min-max rescaling in numpy: the same IEEE operations as the core."""
    used = ~(np.isnan(values) | (values == blank))
    low, high = values[used].min(), values[used].max()
    out = np.where(used, (values - low) / (high - low) if high != low else 0.0, blank)
    return out


@pytest.mark.parametrize(
    "values, nodata",
    [
        # Only nodata itself is no data: the design grids' "within 1" stays with their jobs.
        (np.array([[1.0, 5.0, 3.0], [99999.0, 2.0, 99998.5]]), 99999.0),
        (np.array([[-4.0, 0.0], [8.0, -3.5]]), -3.5),
        (np.array([[7.0, 7.0], [7.0, 0.0]]), 0.0),  # one value left: constant data maps to 0
    ],
)
def test_normalize_matches_numpy(values, nodata):
    result = quarnel.normalize(values, nodata=nodata)
    assert np.array_equal(result, by_hand(values, nodata))


def test_normalize_nan_nodata_stays_nan():
    values = np.array([[np.nan, 2.0], [4.0, 6.0]])
    assert np.array_equal(quarnel.normalize(values), [[np.nan, 0.0], [0.5, 1.0]], equal_nan=True)
    assert np.isnan(quarnel.normalize(np.full((2, 2), np.nan))).all()


def test_normalize_and_window_stats_match_the_jobs(tmp_path):
    grid, _ = read_dsaa(METRES)
    job = quarnel.jobs.normalize(METRES, tmp_path / "norm.grd")
    assert (job.status, job.ok) == (1, True)
    assert two_decimals(quarnel.normalize(grid, nodata=99999)) == read_dsaa(tmp_path / "norm.grd")[1]
    for w in (5, 4):  # 4 leaves rows and columns over
        job = quarnel.jobs.window_stats(METRES, tmp_path / "m.grd", tmp_path / "s.grd", w)
        assert job.status == 1 and job.results["rows"] == 249 // w
        # The grid is stored south first; turned north up, Python's windows are the job's.
        mean, std = (t[::-1] for t in quarnel.window_stats(grid[::-1], w, nodata=99999))
        assert mean.shape == (249 // w, 126 // w)
        assert two_decimals(mean) == read_dsaa(tmp_path / "m.grd")[1]
        assert two_decimals(std) == read_dsaa(tmp_path / "s.grd")[1]


def test_window_stats_blank_windows_and_rescaling():
    values = np.array(
        [[0.0, 0.0, 0.0, 0.0, 0.0, 0.0], [1.0, 2.0, np.nan, np.nan, 5.0, 5.0], [3.0, 4.0, np.nan, 9.0, 7.0, 7.0]]
    )
    mean, std = quarnel.window_stats(values, 2)
    # The northern row completes no window. Windows: mean 2.5, blank (3 of 4 blank), 6;
    # rescaled between 2.5 and 6.
    assert np.array_equal(mean, [[0.0, np.nan, 1.0]], equal_nan=True)
    assert np.array_equal(std, [[1.0, np.nan, 0.0]], equal_nan=True)


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: quarnel.window_stats(np.ones((3, 3)), 0), "below 1"),
        (lambda: quarnel.window_stats(np.ones((3, 5)), 4), "larger than the grid"),
        (lambda: quarnel.normalize(np.array([[1.0, np.inf]])), "infinite"),
        (lambda: quarnel.normalize(np.ones(3)), "2 dimensions"),
        (lambda: quarnel.hierarchy.predict(np.full((1, 2, 2), 3e38, np.float32), [1.0]), "no room"),
    ],
)
def test_bad_input_is_a_value_error(call, message):
    with pytest.raises(ValueError, match=message):
        call()


def test_data_array_keeps_georeference():
    raster = quarnel.open_raster(str(METRES))
    assert raster.rio.nodata == 99999.0
    grid, _ = read_dsaa(METRES)
    assert np.array_equal(raster.values, grid[::-1])  # GDAL turns the grid north up
    result = quarnel.normalize(raster)
    assert result.rio.transform() == raster.rio.transform()
    expected = quarnel.normalize(grid, nodata=99999)[::-1]
    assert np.array_equal(result.values, np.where(expected == 99999, np.nan, expected), equal_nan=True)
    assert np.isnan(result.rio.nodata)  # the file's no-data value is not the result's
    mean, _ = quarnel.window_stats(raster, 5)
    assert mean.rio.transform().a == 5 * raster.rio.transform().a
    assert float(mean.x[0]) == float(raster.x[:5].mean())
    assert float(mean.y[0]) == float(raster.y[4:9].mean())  # 249 rows: the 4 northern ones left out
