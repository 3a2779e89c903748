"""Quarnel: batch methods for mineral-prospectivity work on numpy arrays and xarray DataArrays.

- normalize, window_stats: grid preparation.
- train, Network: the BP network (training, network files, classification, favourability);
  quarnel.bp.samples and quarnel.bp.train_on_maps: samples and training on maps as a workflow's [bp].
- quarnel.hierarchy: judgement-matrix weights, grid prediction, row ranking.
- quarnel.feature: feature (characteristic) analysis.
- quarnel.fuzzy: fuzzy memberships and their overlay.
- quarnel.logistic: logistic regression with the coefficients' errors.
- quarnel.trees: gradient-boosted trees and random forests (XGBoost).
- quarnel.evaluate: ROC/AUC, success rate and class table of a map against deposits.
- quarnel.wofe: weights of evidence (weights, generalize, posterior, independence).
- quarnel.jobs: the design's eight jobs on files.
- run, quarnel.workflow: a workflow file run as ``quarnel run`` runs it; the parameters' declarations.
- open_raster, deposits_to_cells: rasters and deposits through rioxarray and geopandas.
- quarnel.dask (imported on its own): the same methods on chunked dask and xarray data.

A cell is no data when it is NaN or holds its layer's no-data value exactly: the caller's
``nodata=``, else a DataArray's ``rio.nodata``. Results hold NaN there, or the caller's value
when one was given; a DataArray's result is a new DataArray on its frame, and layers combined
must share one frame. Results are computed by the C++ core, the same bits as the jobs' files
hold.
"""

from . import evaluate, feature, fuzzy, hierarchy, jobs, logistic, trees, wofe, workflow
from ._core import Stopped
from .bp import Network, TrainingSummary, count_classes, train
from .prep import normalize, window_stats
from .raster import cells_mask, deposits_to_cells, open_raster
from .workflow import run

__all__ = [
    "Network",
    "Stopped",
    "TrainingSummary",
    "cells_mask",
    "count_classes",
    "deposits_to_cells",
    "evaluate",
    "feature",
    "fuzzy",
    "hierarchy",
    "jobs",
    "logistic",
    "normalize",
    "open_raster",
    "run",
    "train",
    "trees",
    "window_stats",
    "wofe",
    "workflow",
]
