"""Rasters as xarray DataArrays (rioxarray): reading a grid file, keeping coordinates, CRS,
transform and no-data from a method's input on its result, and deposits as grid cells."""

from __future__ import annotations

from typing import Any, Iterable

import numpy as np

# The blank value of the design's DSAA grids.
DSAA_BLANK = 99999.0


def is_data_array(value: Any) -> bool:
    """Whether value is an xarray DataArray; rioxarray is then loaded, which gives it .rio."""
    try:
        import xarray
    except ImportError:  # pragma: no cover - xarray is a dependency of the raster functions only
        return False
    if not isinstance(value, xarray.DataArray):
        return False
    import rioxarray  # noqa: F401

    return True


def open_raster(path: str, nodata: float | None = None, band: int | None = None, chunks: Any = None):
    """A raster file as an xarray DataArray through rioxarray (GDAL).

    Parameters
    ----------
    path: any raster GDAL reads (GeoTIFF, DSAA/Surfer .grd, ...).
    nodata: the no-data value to record on the result (``rio.write_nodata``). By default the
        file's own; a Surfer DSAA grid is given the design's blank value 99999, since GDAL
        reports Surfer's 1.70141e38 instead.
    band: keep only this band (from 1); a single-band file is always squeezed to rows x cols.
    chunks: read lazily into a dask-backed DataArray of these chunks (as rioxarray takes them,
        e.g. {"x": 2048, "y": 2048}) for quarnel.dask; by default the values are read now.

    Returns a DataArray of the file's values (not masked: no-data cells hold the no-data value),
    with ``x``/``y`` coordinates, ``rio.crs`` and ``rio.transform`` as the file gives them. GDAL
    turns a DSAA grid north up: its first row is the file's last.
    """
    import rioxarray

    data = rioxarray.open_rasterio(path, masked=False, chunks=chunks)
    if band is not None:
        data = data.sel(band=band)
    elif data.sizes.get("band", 1) == 1 and "band" in data.dims:
        data = data.squeeze("band", drop=True)
    if nodata is None:
        driver = _driver_of(path)
        nodata = DSAA_BLANK if driver == "GSAG" else data.rio.nodata
    if nodata is not None:
        data = data.rio.write_nodata(nodata)
    return data if chunks is not None else data.load()


def _driver_of(path: str) -> str | None:
    try:
        from osgeo import gdal
    except ImportError:  # pragma: no cover
        return None
    dataset = gdal.Open(path)
    return None if dataset is None else dataset.GetDriver().ShortName


def nodata_of(value: Any, nodata: float | None) -> float | None:
    """The caller's no-data, else a DataArray's own (``rio.nodata``)."""
    if nodata is not None or not is_data_array(value):
        return nodata
    return value.rio.nodata


def like(template: Any, values: np.ndarray, nodata: float | None, name: str | None = None):
    """values (rows x cols) with the coordinates, CRS and transform of a 2-D or band-stacked
    template DataArray; no-data recorded with rio.write_nodata (NaN when None)."""
    template = template if "band" not in template.dims else template.isel(band=0, drop=True)
    result = template.copy(data=values)
    if name is not None:
        result.name = name
    return _with_nodata(result, nodata, values.dtype)


def coarsened(template: Any, values: np.ndarray, w: int, nodata: float | None, name: str | None = None):
    """values on the complete w x w windows of a template: each window's coordinates are the
    means of its cells', so the transform's cell is w times as large."""
    import xarray

    template = template if "band" not in template.dims else template.isel(band=0, drop=True)
    ydim, xdim = template.dims[-2], template.dims[-1]
    rows, cols = values.shape
    y = template[ydim].values[: rows * w].reshape(rows, w).mean(axis=1)
    x = template[xdim].values[: cols * w].reshape(cols, w).mean(axis=1)
    result = xarray.DataArray(values, dims=(ydim, xdim), coords={ydim: y, xdim: x}, name=name)
    if template.rio.crs is not None:
        result = result.rio.write_crs(template.rio.crs)
    return _with_nodata(result, nodata, values.dtype)


def _with_nodata(result: Any, nodata: float | None, dtype: np.dtype):
    if np.issubdtype(dtype, np.floating):
        return result.rio.write_nodata(np.nan if nodata is None else nodata, encoded=False)
    # Class rasters have no no-data value (class 1 marks a blank first input).
    return result.rio.write_nodata(None, encoded=False)


def deposits_to_cells(deposits: Any, grid: Any) -> np.ndarray:
    """The grid cells (row, col) holding deposits, in the order given; deposits outside the grid
    are left out.

    deposits: a GeoDataFrame of points (its CRS must be the grid's when both are set) or an
        iterable of (x, y) coordinates in the grid's CRS.
    grid: a DataArray with a transform (rio.transform()), as open_raster gives.
    Returns an int32 array of shape (n, 2).
    """
    points = _points_of(deposits, grid)
    inverse = ~grid.rio.transform()
    rows, cols = grid.shape[-2], grid.shape[-1]
    cells = []
    for x, y in points:
        c, r = inverse * (x, y)
        row, col = int(np.floor(r)), int(np.floor(c))
        if 0 <= row < rows and 0 <= col < cols:
            cells.append((row, col))
    return np.array(cells, dtype=np.int32).reshape(-1, 2)


def _points_of(deposits: Any, grid: Any) -> Iterable[tuple[float, float]]:
    geometry = getattr(deposits, "geometry", None)
    if geometry is None:
        return [(float(x), float(y)) for x, y in deposits]
    if deposits.crs is not None and grid.rio.crs is not None and deposits.crs != grid.rio.crs:
        deposits = deposits.to_crs(grid.rio.crs)
    return [(point.x, point.y) for point in deposits.geometry]


def cells_mask(cells: np.ndarray, shape: tuple[int, int]) -> np.ndarray:
    """A boolean rows x cols grid, True at the given (row, col) cells."""
    mask = np.zeros(shape, dtype=bool)
    cells = np.asarray(cells, dtype=np.int64).reshape(-1, 2)
    mask[cells[:, 0], cells[:, 1]] = True
    return mask
