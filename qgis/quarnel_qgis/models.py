"""The prospectivity models with native algorithms beside the BP network, hierarchy and feature
analysis: fuzzy overlay, weights of evidence and logistic regression, each calling the quarnel
package's method on the layers (the same core a workflow run uses), its maps styled viridis and
its table a non-spatial layer. Each method is given a progress callback, so a cancel stops it
within a row, an iteration or a strip of rows, and nothing is written once it is."""

from __future__ import annotations

import math
import re

import numpy as np
from qgis.core import (
    QgsProcessing,
    QgsProcessingException,
    QgsProcessingOutputNumber,
    QgsProcessingParameterFeatureSink,
    QgsProcessingParameterRasterDestination,
    QgsProcessingParameterRasterLayer,
    QgsProcessingParameterString,
)
from qgis.PyQt.QtCore import QVariant

import quarnel

from . import declarations
from .algorithm import QuarnelAlgorithm
from .layers import deposit_cells, points_of, raster_of, stack_of, valid_cells
from .methods import MODELS, _deposits, _evidence, _table_sink


def per_layer(text: str, count: int, what: str, empty: str = "") -> list[str]:
    """One entry per layer from text: entries one per line or separated by ';', in the order of the
    layers; one entry stands for every layer; empty text gives `empty` for each."""
    entries = [e.strip() for e in re.split(r"[;\n]", text or "") if e.strip()]
    if not entries:
        return [empty] * count
    if len(entries) == 1:
        return entries * count
    if len(entries) != count:
        raise QgsProcessingException(f"{what}: {len(entries)} entries for {count} layers (one per layer, "
                                     "one per line or separated by ';', or one for every layer)")
    return entries


def _declared_help(method: str, name: str, lead: str) -> str:
    return f"{lead} {declarations.help_of(declarations.declaration(method, name))}"


class Fuzzy(QuarnelAlgorithm):
    ID, TITLE = "fuzzy", "Fuzzy overlay"
    GROUP_ID, GROUP = MODELS
    METHOD = "fuzzy"
    HELP = ("Turns each evidence layer into a membership in 0..1 by its rule and combines the memberships "
            "cell by cell with the operator, as `quarnel fuzzy` and a workflow's [fuzzy] do. Rules, one per "
            "layer in the order of the layers (one per line or separated by ';'; one rule stands for every "
            "layer; empty: as-is), spelt as `quarnel fuzzy --membership RULE` takes them: linear:LOW,HIGH, "
            "large:MIDPOINT[,SPREAD], small:MIDPOINT[,SPREAD], gaussian:MIDPOINT[,SPREAD], "
            "classes:V=M,V=M,..., as-is. A cell with no data on any layer has none in the result.")

    def define(self):
        _evidence(self, "Evidence layers")
        rules = QgsProcessingParameterString("RULES", "Membership rules (one per layer, in the order of the layers)",
                                             "as-is", multiLine=True)
        rules.setHelp(_declared_help("fuzzy.inputs", "membership", "A rule per layer;"))
        self.addParameter(rules)
        self.add_declared()
        self.addParameter(QgsProcessingParameterRasterDestination("OUTPUT", "Fuzzy membership"))

    def compute(self, parameters, context, feedback):
        layers = self.parameterAsLayerList(parameters, "LAYERS", context)
        grids = stack_of(layers)
        rules = per_layer(self.parameterAsString(parameters, "RULES", context), len(grids), "rules", "as-is")
        memberships = []
        share = 1 / (len(grids) + 1)
        for i, (layer, grid, rule) in enumerate(zip(layers, grids, rules)):
            self.progress(feedback, i * share, message=f"{layer.name()}: {rule}")
            try:
                memberships.append(quarnel.fuzzy.membership(
                    grid, rule, progress=self.stoppable(feedback, i * share, (i + 1) * share)))
            except ValueError as error:
                raise QgsProcessingException(f"{layer.name()}: {error}") from None
        v = self.declared_values(parameters, context)
        self.progress(feedback, len(grids) / (len(grids) + 1), message=f"operator {v['operator']}")
        result = quarnel.fuzzy.overlay(memberships, v["operator"], v["gamma"],
                                       progress=self.stoppable(feedback, 1 - share, 1))
        return {"OUTPUT": self.raster_result(result, parameters, "OUTPUT", context, feedback)}


def cell_units(template, unit_area: str | None) -> float:
    """A cell's area in unit cells: unit_area in km2 (default 1), or "cell" (a cell is the unit);
    km2 need a projected CRS."""
    if unit_area == "cell":
        return 1.0
    try:
        unit = float(unit_area or 1)
    except ValueError:
        raise QgsProcessingException(f"unit area {unit_area!r}: a number of km2, or cell") from None
    if not unit > 0 or not math.isfinite(unit):
        raise QgsProcessingException(f"unit area {unit_area!r}: must be above 0")
    crs = template.rio.crs
    if crs is None or not crs.is_projected:
        raise QgsProcessingException("areas in km2 need a projected CRS in metres or feet (or unit area cell)")
    a, b, _, d, e, _ = tuple(template.rio.transform())[:6]
    metres = crs.linear_units_factor[1]
    return abs(a * e - b * d) * metres * metres / 1e6 / unit


def breaks_of(text: str, layer: str) -> list[float] | None:
    if not text or text == "-":
        return None
    try:
        return [float(v) for v in text.split(",") if v.strip()]
    except ValueError:
        raise QgsProcessingException(f"{layer}: breaks {text!r} are not numbers") from None


# The weights table's columns: the keys every class or cumulative row holds, as numbers.
WEIGHT_COLUMNS = ("class", "cells", "area_units", "deposits", "w_plus", "s_w_plus", "w_minus", "s_w_minus", "contrast",
                  "s_contrast", "studentized_contrast", "generalized_class", "weight", "weight_std")


class WeightsOfEvidence(QuarnelAlgorithm):
    ID, TITLE = "wofe", "Weights of evidence"
    GROUP_ID, GROUP = MODELS
    METHOD, SKIP = "wofe", ("mask",)
    HELP = ("Weighs each layer's classes against the deposits (W+, W-, contrast and their deviations), "
            "generalises each layer by the rule and combines the weights into the posterior probability with "
            "its standard deviation, as `quarnel wofe` and a workflow's [wofe] do. The study area is where every "
            "layer (and the mask, where given) holds data. Types and breaks are one per layer, in the order of "
            "the layers (one per line or separated by ';'; one stands for every layer): a type is categorical, "
            "ascending or descending; breaks are comma-separated ascending values classing a continuous layer "
            "(below the first: class 1), '-' or nothing for a layer of integer classes.")

    def define(self):
        _evidence(self, "Evidence layers (classes)")
        _deposits(self)
        types = QgsProcessingParameterString("TYPES", "Types (one per layer)", "categorical", multiLine=True)
        types.setHelp(_declared_help("wofe.evidence", "type", "A type per layer;"))
        self.addParameter(types)
        breaks = QgsProcessingParameterString("BREAKS", "Breaks (one list per layer)", optional=True, multiLine=True)
        breaks.setHelp(_declared_help("wofe.evidence", "breaks", "A list per layer;"))
        self.addParameter(breaks)
        self.addParameter(QgsProcessingParameterRasterLayer("MASK", "Mask (0: outside the study area)",
                                                            optional=True))
        self.add_declared()
        self.addParameter(QgsProcessingParameterRasterDestination("POSTERIOR", "Posterior probability"))
        self.addParameter(QgsProcessingParameterRasterDestination(
            "STD", "Posterior standard deviation", optional=True, createByDefault=False))
        self.addParameter(QgsProcessingParameterFeatureSink(
            "WEIGHTS", "Weights table", QgsProcessing.TypeVector, optional=True, createByDefault=True))
        self.addOutput(QgsProcessingOutputNumber("PRIOR", "Prior probability"))
        self.addOutput(QgsProcessingOutputNumber("DEPOSITS_COUNTED", "Deposits in the study area"))

    def compute(self, parameters, context, feedback):
        layers = self.parameterAsLayerList(parameters, "LAYERS", context)
        grids = stack_of(layers)
        names = [layer.name() for layer in layers]
        choices = declarations.declaration("wofe.evidence", "type")["choices"]
        types = per_layer(self.parameterAsString(parameters, "TYPES", context), len(grids), "types", choices[0])
        for name, kind in zip(names, types):
            if kind not in choices:
                raise QgsProcessingException(f"{name}: type {kind!r}: one of {', '.join(choices)}")
        breaks = per_layer(self.parameterAsString(parameters, "BREAKS", context), len(grids), "breaks")
        v = self.declared_values(parameters, context)
        mask_layer = self.parameterAsRasterLayer(parameters, "MASK", context)
        mask = None if mask_layer is None else raster_of(mask_layer)
        units = cell_units(grids[0], v["unit_area"])
        classes = [quarnel.wofe.classes_of(g, breaks_of(b, n)) for g, b, n in zip(grids, breaks, names)]
        study = quarnel.wofe.study_area(classes, mask)
        cells = deposit_cells(self.parameterAsSource(parameters, "DEPOSITS", context), grids[0], context)
        rule = {k: v[k] for k in ("generalize", "min_studentized") if v[k] is not None}
        weighed = []
        for i, (values, kind, name) in enumerate(zip(classes, types, names)):
            self.progress(feedback, 0.8 * i / len(classes), message=f"weighing {name}")
            told = self.stoppable(feedback, 0.8 * i / len(classes), 0.8 * (i + 1) / len(classes))
            weighed.append(quarnel.wofe.weights(values, cells, study=study, type=kind, count=v["count"],
                                                cell_units=units, name=name, progress=told, **rule))
        self.progress(feedback, 0.8, message="posterior probability")
        result = quarnel.wofe.posterior(weighed, classes, cells, study=study, count=v["count"], cell_units=units,
                                        progress=self.stoppable(feedback, 0.8, 0.9))
        feedback.pushInfo(f"prior probability {result.prior_probability:.6g}, {result.deposits} deposits")
        results = {"PRIOR": result.prior_probability, "DEPOSITS_COUNTED": result.deposits,
                   "POSTERIOR": self.framed_result(result.probability, grids[0], parameters, "POSTERIOR", context,
                                                   feedback)}
        if parameters.get("STD") is not None:
            results["STD"] = self.framed_result(result.std, grids[0], parameters, "STD", context, feedback)
        if parameters.get("WEIGHTS") is not None:
            # A weight the table leaves undefined (None: no deposit in a class) is left empty (NaN).
            rows = [[layer.name, layer.type, *[math.nan if row.get(k) is None else row[k] for k in WEIGHT_COLUMNS],
                     row.get("note", "")] for layer in weighed for row in layer.classes]
            columns = [("layer", QVariant.String), ("type", QVariant.String),
                       *[(k, QVariant.Double) for k in WEIGHT_COLUMNS], ("note", QVariant.String)]
            results["WEIGHTS"] = _table_sink(self, parameters, "WEIGHTS", context, columns, rows)
        return results

    def framed_result(self, values, template, parameters, key, context, feedback):
        return self.raster_result(quarnel.raster.like(template, values, np.nan, key.lower()), parameters, key,
                                  context, feedback)


class Logistic(QuarnelAlgorithm):
    ID, TITLE = "logistic", "Logistic regression"
    GROUP_ID, GROUP = MODELS
    METHOD, SKIP = "logistic", ("layers",)
    HELP = ("Fits the deposit cells (1) against background cells (0) drawn as a workflow's [logistic] draws "
            "them (quarnel.bp.samples, the values as the layers hold them), by iteratively reweighted least "
            "squares, and maps the probability and its standard error at every cell, the intercept shifted by "
            "ln(background drawn / background cells). Each band of each layer is one input.")

    def define(self):
        _evidence(self, "Evidence layers (in input order)")
        _deposits(self)
        self.add_declared()
        self.addParameter(QgsProcessingParameterRasterDestination("PROBABILITY", "Probability"))
        self.addParameter(QgsProcessingParameterRasterDestination(
            "STD_ERROR", "Probability's standard error", optional=True, createByDefault=False))
        self.addParameter(QgsProcessingParameterFeatureSink(
            "COEFFICIENTS", "Coefficients", QgsProcessing.TypeVector, optional=True, createByDefault=True))
        self.addOutput(QgsProcessingOutputNumber("AIC", "AIC"))
        self.addOutput(QgsProcessingOutputNumber("INTERCEPT_SHIFT", "Intercept shift"))

    def compute(self, parameters, context, feedback):
        layers = self.parameterAsLayerList(parameters, "LAYERS", context)
        grids = stack_of(layers)
        v = self.declared_values(parameters, context)
        points = points_of(self.parameterAsSource(parameters, "DEPOSITS", context), grids[0], context)
        samples = quarnel.bp.samples([layer.source() for layer in layers], points, background=v["background"],
                                     seed=v["seed"], min_distance=v["min_distance"], rescaled=False)
        self.progress(feedback, 0.2, message=f"{samples.deposit_cells} deposit and {samples.background} "
                                             "background cells")
        names = [layer.name() for layer in layers]
        fit = quarnel.logistic.fit(samples.inputs, samples.targets, names if len(names) == samples.inputs.shape[1]
                                   else None,
                                   l2=v["l2"], max_iterations=v["max_iterations"],
                                   progress=self.stoppable(feedback, 0.2, 0.5))
        shift = intercept_shift(samples, grids)
        self.progress(feedback, 0.5, message=f"converged {fit['converged']} in {fit['iterations']} steps, "
                                             f"AIC {fit['aic']:.4f}")
        probability, error = quarnel.logistic.predict(fit, grids, intercept_shift=shift,
                                                      progress=self.stoppable(feedback, 0.5, 0.9))
        results = {"AIC": fit["aic"], "INTERCEPT_SHIFT": shift,
                   "PROBABILITY": self.raster_result(probability, parameters, "PROBABILITY", context, feedback)}
        if parameters.get("STD_ERROR") is not None:
            results["STD_ERROR"] = self.raster_result(error, parameters, "STD_ERROR", context, feedback)
        if parameters.get("COEFFICIENTS") is not None:
            columns = [("name", QVariant.String), *[(k, QVariant.Double) for k in ("estimate", "std_error", "z", "p")]]
            rows = [[c["name"], c["estimate"], c["std_error"], c["z"], c["p"]] for c in fit["coefficients"]]
            results["COEFFICIENTS"] = _table_sink(self, parameters, "COEFFICIENTS", context, columns, rows)
        return results


def intercept_shift(samples, grids) -> float:
    """ln(background drawn / background cells), the background cells those with data on every
    layer and no deposit, as the workflow's logistic regression shifts its intercept."""
    background_cells = int(valid_cells(grids).sum()) - samples.deposit_cells
    return math.log(samples.background / background_cells) if background_cells > 0 and samples.background else 0.0


ALGORITHMS = (Fuzzy, WeightsOfEvidence, Logistic)
