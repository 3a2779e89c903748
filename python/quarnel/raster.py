"""Rasters as xarray DataArrays (rioxarray): reading a grid file, the frame of a layer (shape,
axis order, transform, CRS) and the check that layers share one, results as new DataArrays on
their input's frame, and deposits as grid cells."""

from __future__ import annotations

import importlib

from dataclasses import dataclass
from typing import Any, Sequence

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
    importlib.import_module("rioxarray")  # registers the .rio accessor the raster functions use

    return True


def open_raster(path: str, nodata: float | None = None, band: int | None = None, chunks: Any = None):
    """A raster file as an xarray DataArray through rioxarray (GDAL).

    Parameters
    ----------
    path: any raster GDAL reads (GeoTIFF, DSAA/Surfer .grd, ...).
    nodata: the no-data value to record on the result (``rio.write_nodata``). By default the
        file's own; a Surfer DSAA grid is given the design's blank value 99999, and its cells
        holding Surfer's blank (1.70141e38, which GDAL reports) are set to 99999 too.
    band: keep only this band (from 1); a single-band file is always squeezed to rows x cols.
    chunks: read lazily into a dask-backed DataArray of these chunks (as rioxarray takes them,
        e.g. {"x": 2048, "y": 2048}) for quarnel.dask; by default the values are read now.

    Returns a DataArray of the file's values in the file's type (not masked: no-data cells hold
    the no-data value, which the methods take exactly, as GDAL does), with ``x``/``y``
    coordinates, ``rio.crs`` and ``rio.transform`` as the file gives them. GDAL turns a DSAA
    grid north up: its first row is the file's last.
    """
    import rioxarray

    data = rioxarray.open_rasterio(path, masked=False, chunks=chunks)
    if band is not None:
        data = data.sel(band=band)
    elif data.sizes.get("band", 1) == 1 and "band" in data.dims:
        data = data.squeeze("band", drop=True)
    if nodata is None and _driver_of(path) == "GSAG":
        surfer = data.rio.nodata
        nodata = DSAA_BLANK
        if surfer is not None:
            data = data.where(data != surfer, DSAA_BLANK)
    if nodata is None:
        nodata = data.rio.nodata
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


def spatial(layer: Any):
    """A DataArray without its band dimension when that has length 1."""
    if "band" in layer.dims and layer.sizes["band"] == 1 and layer.ndim == 3:
        return layer.isel(band=0, drop=True)
    return layer


def layer_name(layer: Any) -> str:
    """" ('name')" for a named DataArray, else nothing: how messages tell layers apart."""
    name = getattr(layer, "name", None) if is_data_array(layer) else None
    return "" if name is None else f" ({name!r})"


@dataclass(frozen=True)
class Frame:
    """Where a layer's cells lie: its shape and axis order (the last two dimensions), and, for
    a DataArray with coordinates, its transform and CRS (None when it has none)."""

    shape: tuple[int, int]
    dims: tuple[str, str] | None
    transform: tuple[float, ...] | None
    crs: Any


def frame_of(layer: Any) -> Frame:
    """The frame of a numpy array (its shape alone) or of a 2-D or band-stacked DataArray."""
    from rioxarray.exceptions import RioXarrayError

    if not is_data_array(layer):
        return Frame(tuple(np.shape(layer)[-2:]), None, None, None)
    grid = _first_grid(layer)
    dims = tuple(grid.dims[-2:])
    located = all(d in grid.coords for d in dims) or "spatial_ref" in grid.coords
    try:
        transform = tuple(grid.rio.transform())[:6] if located else None
    except RioXarrayError:  # coordinates that give no cell size (one row or column)
        transform = None
    return Frame(tuple(grid.shape[-2:]), dims, transform, grid.rio.crs)


def frame_difference(a: Frame, b: Frame) -> str | None:
    """How frame b differs from frame a, or None when they agree. Frames without a transform
    (numpy arrays) agree with any frame of their shape."""
    if a.shape != b.shape:
        return f"shapes {a.shape[0]} x {a.shape[1]} and {b.shape[0]} x {b.shape[1]}"
    if a.dims is None or b.dims is None:
        return None
    if a.dims != b.dims:
        return f"axis orders {a.dims} and {b.dims}"
    if (a.crs is None) != (b.crs is None) or (a.crs is not None and a.crs != b.crs):
        return f"CRS {a.crs} and {b.crs}"
    if (a.transform is None) != (b.transform is None):
        return f"transforms {a.transform} and {b.transform}"
    if a.transform is not None:
        cell = max(abs(a.transform[0]), abs(a.transform[4]), abs(a.transform[1]), abs(a.transform[3]))
        if any(abs(p - q) > 1e-6 * cell for p, q in zip(a.transform, b.transform)):
            return f"transforms {_affine_text(a.transform)} and {_affine_text(b.transform)}"
    return None


def _affine_text(t: tuple[float, ...]) -> str:
    return "(" + ", ".join(f"{v:.10g}" for v in t) + ")"


def check_aligned(layers: Sequence[Any], names: Sequence[str] | None = None) -> None:
    """ValueError naming two layers and how they differ unless every layer lies on the frame of
    the first DataArray among them (numpy arrays: on its shape)."""
    names = names or [f"layer {i}{layer_name(layer)}" for i, layer in enumerate(layers)]
    frames = [frame_of(layer) for layer in layers]
    first = next((i for i, layer in enumerate(layers) if is_data_array(layer)), 0)
    for i, frame in enumerate(frames):
        difference = frame_difference(frames[first], frame)
        if difference is not None:
            raise ValueError(f"{names[first]} and {names[i]} are not aligned: {difference}")


def like(template: Any, values: Any, fill: float | None, name: str | None = None):
    """values (rows x cols, or bands x rows x cols) as a new DataArray on the frame of a 2-D or
    band-stacked template: its coordinates, CRS and transform, and nothing else of it (no
    attributes, encoding, scale or _FillValue). fill, the value results hold at no-data cells,
    is recorded as the no-data value (rio.write_nodata, not encoded); class rasters have none."""
    grid = _first_grid(template)
    return _framed(values, grid, {d: grid[d].values for d in grid.dims if d in grid.coords},
                   frame_of(grid).transform, fill, name)


def coarsened(template: Any, values: Any, w: int, fill: float | None, name: str | None = None):
    """values on the complete w x w windows of a template, tiled from its last row and first
    column (as window statistics tile it): the rows % w first rows are left out, each window's
    coordinates are the means of its cells', and the transform starts rows % w rows down with a
    cell w times as large."""
    grid = _first_grid(template)
    skipped = grid.shape[0] % w
    coords = {}
    for dim, n, first in zip(grid.dims, values.shape, (skipped, 0)):
        if dim in grid.coords:
            coords[dim] = grid[dim].values[first: first + n * w].reshape(n, w).mean(axis=1)
    transform = frame_of(grid).transform
    if transform is not None:
        a, b, c, d, e, f = transform
        transform = (a * w, b * w, c + skipped * b, d * w, e * w, f + skipped * e)
    return _framed(values, grid, coords, transform, fill, name)


def _first_grid(layer: Any):
    """A 2-D DataArray, or the first band of a band-stacked one."""
    return layer if layer.ndim == 2 else layer.isel({layer.dims[0]: 0}, drop=True)


def _framed(values, grid, coords, transform, fill, name):
    """values as a new DataArray on grid's dimensions (a band dimension first for 3-D values)
    with the given coordinates and transform, grid's CRS and fill as its no-data value."""
    import xarray
    from affine import Affine

    dims = tuple(grid.dims)
    if values.ndim == 3:
        dims = ("band",) + dims
        coords = {"band": np.arange(1, values.shape[0] + 1), **coords}
    result = xarray.DataArray(values, dims=dims, coords=coords, name=name)
    if grid.rio.crs is not None:
        result = result.rio.write_crs(grid.rio.crs)
    if transform is not None:
        result = result.rio.write_transform(Affine(*transform))
    if np.issubdtype(values.dtype, np.floating):
        return result.rio.write_nodata(np.nan if fill is None else fill, encoded=False)
    return result.rio.write_nodata(None, encoded=False)


def deposits_to_cells(deposits: Any, grid: Any) -> np.ndarray:
    """The grid cells (row, col) holding deposits, in the order given; deposits outside the grid
    are left out.

    deposits: a GeoDataFrame of points (its CRS must be the grid's when both are set) or an
        iterable of (x, y) coordinates in the grid's CRS.
    grid: a DataArray with a transform (rio.transform()), as open_raster gives; any orientation.
    Returns an int32 array of shape (n, 2). ValueError for a feature that is not a point, or
    coordinates that are not (x, y) pairs.
    """
    x, y = _points_of(deposits, grid)
    inverse = ~grid.rio.transform()
    rows, cols = grid.shape[-2], grid.shape[-1]
    with np.errstate(invalid="ignore"):
        c = np.floor(inverse.a * x + inverse.b * y + inverse.c)
        r = np.floor(inverse.d * x + inverse.e * y + inverse.f)
        inside = (r >= 0) & (r < rows) & (c >= 0) & (c < cols)
    return np.column_stack([r[inside], c[inside]]).astype(np.int32).reshape(-1, 2)


def _points_of(deposits: Any, grid: Any) -> tuple[np.ndarray, np.ndarray]:
    geometry = getattr(deposits, "geometry", None)
    if geometry is None:
        points = np.asarray(list(deposits) if not isinstance(deposits, np.ndarray) else deposits, dtype=np.float64)
        if points.size == 0:
            return np.zeros(0), np.zeros(0)
        if points.ndim != 2 or points.shape[1] != 2:
            raise ValueError(f"deposits are (x, y) pairs, not an array of shape {points.shape}")
        return points[:, 0], points[:, 1]
    if deposits.crs is not None and grid.rio.crs is not None and deposits.crs != grid.rio.crs:
        deposits = deposits.to_crs(grid.rio.crs)
    x, y, points = _point_coordinates(np.asarray(deposits.geometry.values, dtype=object))
    bad = np.flatnonzero(~points)
    if bad.size:
        index, geometry = deposits.index[bad[0]], deposits.geometry.iloc[bad[0]]
        what = "no geometry" if geometry is None else ("an empty point" if geometry.is_empty else f"a {geometry.geom_type}")
        raise ValueError(f"{bad.size} deposits are not points; the first, feature {index!r}, is {what}")
    return x, y


def _point_coordinates(geometries: np.ndarray) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
    """x and y of each geometry and whether it is a point that is not empty (x, y NaN if not).

    Shapely 2 does this for the whole array at once; with shapely 1.8 (Debian 12) each
    geometry's .x takes some 15 microseconds in Python, so the coordinates are asked of GEOS
    directly, a call each."""
    import shapely

    if hasattr(shapely, "get_x"):
        points = (shapely.get_type_id(geometries) == 0) & ~shapely.is_empty(geometries)
        return np.where(points, shapely.get_x(geometries), np.nan), np.where(points, shapely.get_y(geometries), np.nan), points
    import ctypes

    from shapely.geos import lgeos

    handle = lgeos.geos_handle
    geometry_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(("GEOSGeomTypeId_r", lgeos._lgeos))
    coordinate = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p, ctypes.POINTER(ctypes.c_double))
    get_x, get_y = coordinate(("GEOSGeomGetX_r", lgeos._lgeos)), coordinate(("GEOSGeomGetY_r", lgeos._lgeos))
    x, y = np.full(len(geometries), np.nan), np.full(len(geometries), np.nan)
    points = np.zeros(len(geometries), dtype=bool)
    value = ctypes.c_double()
    for i, geometry in enumerate(geometries):
        pointer = None if geometry is None else geometry._geom
        if pointer is None or geometry_type(handle, pointer) != 0 or not get_x(handle, pointer, ctypes.byref(value)):
            continue
        x[i] = value.value
        points[i] = bool(get_y(handle, pointer, ctypes.byref(value)))
        y[i] = value.value
    return x, y, points


def cells_mask(cells: np.ndarray, shape: tuple[int, int]) -> np.ndarray:
    """A boolean rows x cols grid, True at the given (row, col) cells. ValueError for a cell off
    the grid (never wrapped onto another)."""
    mask = np.zeros(shape, dtype=bool)
    cells = checked_cells(cells, shape)
    mask[cells[:, 0], cells[:, 1]] = True
    return mask


def checked_cells(cells: Any, shape: tuple[int, int], what: str = "cell") -> np.ndarray:
    """(row, col) pairs as an int64 (n, 2) array; ValueError for another shape, for values that
    are not whole numbers or for a cell off a rows x cols grid, naming the first."""
    array = np.asarray(cells)
    if array.size == 0:
        return np.zeros((0, 2), dtype=np.int64)
    if array.ndim != 2 or array.shape[1] != 2:
        raise ValueError(f"{what}s are (row, col) pairs, not an array of shape {array.shape}")
    if not np.issubdtype(array.dtype, np.integer):
        whole = np.issubdtype(array.dtype, np.number) and np.all(np.isfinite(array)) and np.all(array == np.trunc(array))
        if not whole:
            raise ValueError(f"{what}s are (row, col) pairs of whole numbers")
    array = array.astype(np.int64)
    off = np.flatnonzero((array[:, 0] < 0) | (array[:, 0] >= shape[0]) | (array[:, 1] < 0) | (array[:, 1] >= shape[1]))
    if off.size:
        r, c = array[off[0]]
        raise ValueError(
            f"{off.size} {what}s lie off the grid of {shape[0]} x {shape[1]} cells; the first, number {off[0]}, "
            f"is ({r}, {c})"
        )
    return array
