import pytest
import quarnel
from conftest import DATA

MISSING = "/nonexistent/quarnel/input"


@pytest.mark.parametrize(
    "run, status, meaning",
    [
        (lambda d: quarnel.jobs.normalize(MISSING, d / "o.grd"), 0, "failed"),
        (lambda d: quarnel.jobs.normalize(MISSING, d / "o.grd", kind=5), -1, "unknown input kind"),
        (lambda d: quarnel.jobs.normalize_hxf(MISSING, d / "o.txt"), 0, "finished"),
        (lambda d: quarnel.jobs.window_stats(DATA / "StratNo_bin_1km.grd", d / "m", d / "s", 0), 0, "failed"),
        (lambda d: quarnel.jobs.bp_train(MISSING, d / "n", d / "r", 1, 1, 1), 2, "no valid sample file"),
        (lambda d: quarnel.jobs.bp_classify(MISSING, d / "c.grd", [DATA / "StratNo_bin_1km.grd"], [1]), 2,
         "do not fit"),
        (lambda d: quarnel.jobs.hierarchy(MISSING), 3000, "cannot be opened"),
        (lambda d: quarnel.jobs.feature(MISSING), 3000, "cannot be opened"),
    ],
)
def test_failures_give_status_meaning_and_cause(tmp_path, run, status, meaning):
    result = run(tmp_path)
    assert (result.status, result.ok) == (status, False)
    assert meaning in result.meaning
    assert not any(tmp_path.iterdir())  # a failed job writes nothing


def test_failure_cause_names_the_file(tmp_path):
    result = quarnel.jobs.window_stats(DATA / "StratNo_bin_1km.grd", tmp_path / "m", tmp_path / "s", 999)
    assert "larger than the grid of 249 x 126" in result.cause
    assert "nonexistent" in quarnel.jobs.bp_classify(MISSING, tmp_path / "c", [MISSING], [1]).cause


def test_hxf_dump_and_deposit_cells(tmp_path):
    raster = quarnel.open_raster(str(DATA / "StratNo_bin_1km.grd"))
    transform = raster.rio.transform()
    centre = transform * (10.5, 3.5)  # the centre of row 3, column 10
    corner = transform * (0, 0)
    cells = quarnel.deposits_to_cells([centre, (corner[0] - 1, corner[1])], raster)
    assert cells.tolist() == [[3, 10]]  # the second point lies outside the grid
    geopandas = pytest.importorskip("geopandas")
    from shapely.geometry import Point

    frame = geopandas.GeoDataFrame(geometry=[Point(*centre)])
    assert quarnel.deposits_to_cells(frame, raster).tolist() == [[3, 10]]
    assert quarnel.cells_mask(cells, raster.shape).sum() == 1
