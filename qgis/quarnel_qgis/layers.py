"""QGIS layers to the quarnel package and back: rasters as DataArrays on their frame, deposit
points in a raster's CRS, results written whole (a temporary file renamed into place) and
styled for the kind of values they hold."""

from __future__ import annotations

import gc
import os

import numpy as np
from qgis.core import (
    QgsColorRampShader,
    QgsCoordinateTransform,
    QgsGradientColorRamp,
    QgsGradientStop,
    QgsPalettedRasterRenderer,
    QgsProcessingException,
    QgsRasterBandStats,
    QgsRasterLayer,
    QgsRasterShader,
    QgsSingleBandPseudoColorRenderer,
)
from qgis.PyQt.QtGui import QColor

import quarnel

# Viridis at five stops: the ramp for scores and probabilities.
VIRIDIS = ("#440154", "#3b528b", "#21918c", "#5ec962", "#fde725")
# Class colours, repeated when there are more classes.
PALETTE = ("#1b9e77", "#d95f02", "#7570b3", "#e7298a", "#66a61e", "#e6ab02", "#a6761d", "#666666")


def raster_of(layer, band: int = 1):
    """The layer's band as a DataArray (its file's values, no-data value, CRS and transform)."""
    if layer is None:
        raise QgsProcessingException("a raster layer is missing")
    try:
        data = quarnel.open_raster(layer.source())
    except Exception as error:  # rasterio and GDAL raise many kinds; the cause is what counts
        raise QgsProcessingException(f"{layer.source()}: cannot be read: {error}") from error
    # The values are read: the file's handle (held in a reference cycle of xarray's) is closed
    # now, not whenever the collector gets to it, which may be after QGIS has shut GDAL down (a
    # crash on exit), and the file is not kept open meanwhile.
    gc.collect()
    if "band" in data.dims:
        if not 1 <= band <= data.sizes["band"]:
            raise QgsProcessingException(f"{layer.source()}: has no band {band}")
        data = data.isel(band=band - 1, drop=True)
    elif band != 1:
        raise QgsProcessingException(f"{layer.source()}: has no band {band}")
    return data


def stack_of(layers) -> list:
    """Each layer's first band, checked to lie on one frame (ValueError naming two that do not)."""
    grids = [raster_of(layer) for layer in layers]
    if not grids:
        raise QgsProcessingException("no evidence layers were given")
    quarnel.raster.check_aligned(grids, [layer.source() for layer in layers])
    return grids


def valid_cells(grids) -> np.ndarray:
    """Where every grid holds data (not NaN, not its no-data value)."""
    valid = np.ones(grids[0].shape, dtype=bool)
    for grid in grids:
        values = np.asarray(grid.values, dtype=np.float64)
        valid &= np.isfinite(values)
        if grid.rio.nodata is not None and not np.isnan(grid.rio.nodata):
            valid &= values != grid.rio.nodata
    return valid


def points_of(source, template, context) -> np.ndarray:
    """The (x, y) of a point layer's features in the template raster's CRS; a feature that is no
    point is refused, naming it."""
    if source is None:
        raise QgsProcessingException("the deposits layer is missing")
    crs = template.rio.crs
    transform = None
    if crs is not None:
        from qgis.core import QgsCoordinateReferenceSystem

        target = QgsCoordinateReferenceSystem.fromWkt(crs.to_wkt())
        if source.sourceCrs().isValid() and source.sourceCrs() != target:
            transform = QgsCoordinateTransform(source.sourceCrs(), target, context.transformContext())
    xy = []
    for feature in source.getFeatures():
        geometry = feature.geometry()
        if geometry.isNull() or geometry.isMultipart() or geometry.type() != 0:
            raise QgsProcessingException(f"deposit feature {feature.id()} is not a point")
        point = geometry.asPoint()
        if transform is not None:
            point = transform.transform(point)
        xy.append((point.x(), point.y()))
    return np.asarray(xy, dtype=np.float64).reshape(-1, 2)


def deposit_cells(source, template, context) -> np.ndarray:
    """The (row, col) cells of the deposits on the template's grid; deposits off it left out."""
    return quarnel.deposits_to_cells(points_of(source, template, context), template)


def write_raster(data, path: str, feedback) -> str:
    """Write a DataArray whole: a temporary file beside path renamed over it, never half a file,
    and nothing at all once the run was cancelled."""
    check_cancelled(feedback)
    folder, name = os.path.split(os.path.abspath(path))
    os.makedirs(folder, exist_ok=True)
    stem, ending = os.path.splitext(name)
    temporary = os.path.join(folder, f".{stem}.part{ending}")
    try:
        data.rio.to_raster(temporary, driver=driver_for(ending), **({"compress": "deflate"} if ending.lower() in (".tif", ".tiff") else {}))
        os.replace(temporary, path)
    except Exception as error:
        if os.path.exists(temporary):
            os.remove(temporary)
        raise QgsProcessingException(f"{path}: cannot be written: {error}") from error
    return path


def driver_for(ending: str) -> str:
    from qgis.core import QgsRasterFileWriter

    return QgsRasterFileWriter.driverForExtension(ending.lstrip(".")) or "GTiff"


class Cancelled(Exception):
    """The user cancelled the algorithm."""


def check_cancelled(feedback) -> None:
    if feedback is not None and feedback.isCanceled():
        raise Cancelled()


def viridis_renderer(layer: QgsRasterLayer):
    """A single-band pseudocolour renderer over the band's range with the viridis ramp; no-data
    cells stay transparent (the provider's no-data value)."""
    stats = layer.dataProvider().bandStatistics(1, QgsRasterBandStats.Min | QgsRasterBandStats.Max)
    low, high = stats.minimumValue, stats.maximumValue
    stops = [QgsGradientStop(i / (len(VIRIDIS) - 1), QColor(c)) for i, c in enumerate(VIRIDIS[1:-1], 1)]
    ramp = QgsGradientColorRamp(QColor(VIRIDIS[0]), QColor(VIRIDIS[-1]), False, stops)
    function = QgsColorRampShader(low, high, ramp, QgsColorRampShader.Interpolated)
    function.classifyColorRamp(len(VIRIDIS) * 2, 1, layer.extent(), layer.dataProvider())
    shader = QgsRasterShader(low, high)
    shader.setRasterShaderFunction(function)
    renderer = QgsSingleBandPseudoColorRenderer(layer.dataProvider(), 1, shader)
    renderer.setClassificationMin(low)
    renderer.setClassificationMax(high)
    return renderer


def palette_renderer(layer: QgsRasterLayer, classes: dict):
    """A paletted renderer, one colour and label per class value; a class labelled NO_DATA is
    transparent."""
    entries = [
        QgsPalettedRasterRenderer.Class(float(value), QColor(0, 0, 0, 0) if label == NO_DATA
                                        else QColor(PALETTE[i % len(PALETTE)]), label)
        for i, (value, label) in enumerate(classes.items())
    ]
    return QgsPalettedRasterRenderer(layer.dataProvider(), 1, entries)


# The BP network's classes as classification numbers them.
BP_CLASSES = {1: "no data", 2: "not favourable", 3: "favourable"}
CODES = {-1: "-1 (unfavourable)", 0: "0", 1: "+1 (favourable)"}
NO_DATA = "no data"


def style_file(path: str, style: str, classes: dict | None = None) -> None:
    """Give the raster at path its style (style "scores": viridis, "classes": a palette of the
    classes, {value: label}), saved as its default style (path's .qml) so QGIS shows it so wherever it is opened."""
    layer = QgsRasterLayer(path, os.path.basename(path), "gdal")
    if not layer.isValid():
        raise QgsProcessingException(f"{path}: was written but QGIS cannot open it")
    renderer = viridis_renderer(layer) if style == "scores" else palette_renderer(layer, classes)
    layer.setRenderer(renderer)
    _, saved = layer.saveDefaultStyle()
    if not saved:
        raise QgsProcessingException(f"{path}: its style cannot be saved beside it")
