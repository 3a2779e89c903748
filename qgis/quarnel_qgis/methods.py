"""The algorithms over the quarnel package's Python methods: preparation (normalise, code,
window statistics), the BP network, hierarchy and feature analysis, and evaluation."""

from __future__ import annotations

import numpy as np
from qgis.core import (
    QgsFeature,
    QgsFeatureSink,
    QgsField,
    QgsFields,
    QgsProcessing,
    QgsProcessingException,
    QgsProcessingOutputNumber,
    QgsProcessingParameterBand,
    QgsProcessingParameterBoolean,
    QgsProcessingParameterFeatureSink,
    QgsProcessingParameterFeatureSource,
    QgsProcessingParameterFileDestination,
    QgsProcessingParameterMultipleLayers,
    QgsProcessingParameterRasterDestination,
    QgsProcessingParameterRasterLayer,
    QgsProcessingParameterString,
    QgsWkbTypes,
)
from qgis.PyQt.QtCore import QVariant

import quarnel

from . import declarations
from .algorithm import QuarnelAlgorithm, html_table, write_html
from .layers import BP_CLASSES, CODES, Cancelled, deposit_cells, points_of, raster_of, stack_of, valid_cells

PREPARE = ("prepare", "Preparation")
MODELS = ("models", "Prospectivity models")
VALIDATION = ("validation", "Validation")


def _input_raster(algorithm, with_band: bool = True):
    algorithm.addParameter(QgsProcessingParameterRasterLayer("INPUT", "Input raster"))
    if with_band:
        algorithm.addParameter(QgsProcessingParameterBand("BAND", "Band", 1, "INPUT", optional=True))


def _band(algorithm, parameters, context) -> int:
    return algorithm.parameterAsInt(parameters, "BAND", context) or 1


def _numbers(text: str, count: int, what: str, method: str, name: str) -> list[float]:
    """A comma-separated list of numbers, one per layer (one number stands for every layer),
    each checked against the declaration."""
    try:
        values = [float(v) for v in text.replace(";", ",").split(",") if v.strip()]
    except ValueError:
        raise QgsProcessingException(f"{what}: not a list of numbers: {text!r}") from None
    if len(values) == 1:
        values *= count
    if len(values) != count:
        raise QgsProcessingException(f"{what}: {len(values)} numbers for {count} layers")
    for value in values:
        try:
            quarnel.workflow.check(method, **{name: value})
        except ValueError as error:
            raise QgsProcessingException(f"{what}: {error}") from None
    return values


class Normalise(QuarnelAlgorithm):
    ID, TITLE = "normalise", "Normalise to 0..1"
    GROUP_ID, GROUP = PREPARE
    HELP = ("Rescales a band to 0..1 between its smallest and largest value; no-data cells stay no data "
            "(NaN in the result).")

    def define(self):
        _input_raster(self)
        self.addParameter(QgsProcessingParameterRasterDestination("OUTPUT", "Normalised"))

    def compute(self, parameters, context, feedback):
        grid = raster_of(self.parameterAsRasterLayer(parameters, "INPUT", context),
                         _band(self, parameters, context))
        self.progress(feedback, 0.3)
        result = quarnel.normalize(grid)
        return {"OUTPUT": self.raster_result(result, parameters, "OUTPUT", context, feedback)}


class CodeLayer(QuarnelAlgorithm):
    ID, TITLE = "code", "Code -1/0/+1"
    GROUP_ID, GROUP = PREPARE
    METHOD, SKIP = "layers", ("name", "raster", "prepare", "window")
    HELP = "Codes a band as the feature analysis and the workflow's prepare = \"code\" do."

    def define(self):
        _input_raster(self)
        self.add_declared()
        self.addParameter(QgsProcessingParameterRasterDestination("OUTPUT", "Codes"))

    def compute(self, parameters, context, feedback):
        grid = raster_of(self.parameterAsRasterLayer(parameters, "INPUT", context),
                         _band(self, parameters, context))
        v = self.declared_values(parameters, context)
        codes = quarnel.feature.code([grid], lower=[v["lower"]], upper=[v["upper"]])[0]
        if v["invert"]:
            codes = -codes
        return {"OUTPUT": self.raster_result(codes, parameters, "OUTPUT", context, feedback, "classes", CODES)}


class WindowStatistics(QuarnelAlgorithm):
    ID, TITLE = "windowstatistics", "Window statistics (mean and deviation)"
    GROUP_ID, GROUP = PREPARE
    METHOD, SKIP = "layers", ("name", "raster", "prepare", "lower", "upper", "invert")
    HELP = ("Mean and standard deviation of every complete window, each rescaled to 0..1; the results have "
            "window-sized cells. Windows tile from the south-west corner, as quarnel window-stats tiles; "
            "northern rows and eastern columns that complete no window are left out.")

    def define(self):
        _input_raster(self)
        self.add_declared()
        self.addParameter(QgsProcessingParameterRasterDestination("MEAN", "Window mean"))
        self.addParameter(QgsProcessingParameterRasterDestination("DEVIATION", "Window deviation"))

    def compute(self, parameters, context, feedback):
        grid = raster_of(self.parameterAsRasterLayer(parameters, "INPUT", context),
                         _band(self, parameters, context))
        mean, deviation = quarnel.window_stats(grid, self.declared_values(parameters, context)["window"])
        self.progress(feedback, 0.8)
        return {
            "MEAN": self.raster_result(mean, parameters, "MEAN", context, feedback),
            "DEVIATION": self.raster_result(deviation, parameters, "DEVIATION", context, feedback),
        }


def _evidence(algorithm, description="Evidence layers (in network input order)"):
    algorithm.addParameter(QgsProcessingParameterMultipleLayers("LAYERS", description, QgsProcessing.TypeRaster))


def _deposits(algorithm, optional=False):
    algorithm.addParameter(QgsProcessingParameterFeatureSource(
        "DEPOSITS", "Deposits (points)", [QgsProcessing.TypeVectorPoint], optional=optional))


class BpNetwork(QuarnelAlgorithm):
    ID, TITLE = "bpnetwork", "BP network: train and classify"
    GROUP_ID, GROUP = MODELS
    METHOD, SKIP = "bp", ("layers",)
    HELP = ("Trains a three-layer BP network as a workflow's [bp] trains it (quarnel.bp.train_on_maps): the "
            "evidence at the deposit cells (target 1) and at background cells drawn among the cells without "
            "deposits (target 0), each epoch in a new seeded order (shuffle) with both kinds weighing alike "
            "(balance); then maps every cell: the favourability (the network's output, 0..1) and the classes, "
            "3 where the network finds it favourable (above 0.5), 2 where not, 1 where the first layer has no "
            "data.")

    def define(self):
        _evidence(self)
        _deposits(self)
        self.add_declared()
        self.addParameter(QgsProcessingParameterRasterDestination("FAVOURABILITY", "BP favourability"))
        self.addParameter(QgsProcessingParameterRasterDestination("CLASSES", "BP classes"))
        self.addParameter(QgsProcessingParameterFileDestination(
            "NETWORK", "Network file", "Text files (*.txt)", optional=True, createByDefault=False))
        self.addOutput(QgsProcessingOutputNumber("EPOCHS", "Epochs run"))
        self.addOutput(QgsProcessingOutputNumber("FINAL_ERROR", "Error of the last epoch"))

    def compute(self, parameters, context, feedback):
        layers = self.parameterAsLayerList(parameters, "LAYERS", context)
        grids = stack_of(layers)
        v = self.declared_values(parameters, context)
        points = points_of(self.parameterAsSource(parameters, "DEPOSITS", context), grids[0], context)
        self.progress(feedback, 0.02, message="drawing the samples")

        def epoch(done, total, error):
            feedback.setProgress(5 + 85 * done / max(total, 1))
            return not feedback.isCanceled()

        try:
            network = quarnel.bp.train_on_maps([layer.source() for layer in layers], points, progress=epoch, **v)
        except quarnel.Stopped:
            raise Cancelled() from None
        s, drawn = network.summary, network.samples
        feedback.pushInfo(f"{drawn.deposit_cells} deposit and {drawn.background} background cells; "
                          f"{s.epochs} epochs, error {s.final_error:.6f}, converged {s.converged}")
        favourability = network.favourability(grids)
        classes = network.classify(grids)
        self.progress(feedback, 0.95, message=f"classes: {quarnel.count_classes(classes)}")
        results = {"FAVOURABILITY": self.raster_result(favourability, parameters, "FAVOURABILITY", context, feedback),
                   "CLASSES": self.raster_result(classes, parameters, "CLASSES", context, feedback, "classes",
                                                 BP_CLASSES),
                   "EPOCHS": s.epochs, "FINAL_ERROR": s.final_error}
        path = self.parameterAsFileOutput(parameters, "NETWORK", context)
        if path:
            network.save(path)
            results["NETWORK"] = path
        return results


# The levels as the declarations name them and as quarnel.hierarchy.weights takes them.
def _levels():
    return declarations.declaration("hierarchy.levels", "level")["choices"]


class Hierarchy(QuarnelAlgorithm):
    ID, TITLE = "hierarchy", "Hierarchy analysis"
    GROUP_ID, GROUP = MODELS
    METHOD = "hierarchy.levels"
    SKIP = ("level", "elements")
    HELP = ("Weights each level's layers by judgement matrices of their importances and sums value x weight "
            "over the layers, level by level. Give each level present its layers and their importances "
            "(comma-separated, one per layer; empty: 1 each).")

    def define(self):
        importance = declarations.declaration("hierarchy.levels", "importance")
        for level in _levels():
            key = level.upper().replace("-", "_")
            title = level.replace("-", " ").capitalize()
            self.addParameter(QgsProcessingParameterMultipleLayers(
                f"{key}_LAYERS", f"{title}: layers", QgsProcessing.TypeRaster, optional=True))
            self.addParameter(declarations.parameter_of(importance, f"{key}_", f"{title}: importance"))
            element = QgsProcessingParameterString(f"{key}_ELEMENTS", f"{title}: the layers' importances",
                                                   optional=True)
            element.setHelp(declarations.help_of(importance))
            self.addParameter(element)
        self.addParameter(QgsProcessingParameterRasterDestination("OUTPUT", "Prospectivity"))
        self.addParameter(QgsProcessingParameterFileDestination(
            "WEIGHTS", "Weights", "HTML files (*.html)", optional=True, createByDefault=True))

    def compute(self, parameters, context, feedback):
        given, layers = {}, []
        for level in _levels():
            key = level.upper().replace("-", "_")
            members = self.parameterAsLayerList(parameters, f"{key}_LAYERS", context)
            if not members:
                continue
            text = self.parameterAsString(parameters, f"{key}_ELEMENTS", context) or "1"
            elements = _numbers(text, len(members), f"{level} importances", "hierarchy.levels.elements", "importance")
            given[level.replace("-", "_")] = (self.parameterAsDouble(parameters, f"{key}_IMPORTANCE", context), elements)
            layers += members
        if not given:
            raise QgsProcessingException("no level has layers")
        weights = quarnel.hierarchy.weights(**given)
        if not weights.consistent:
            raise QgsProcessingException(f"the judgement matrices are not consistent "
                                         f"(combined consistency {weights.combined_consistency:.4f})")
        self.progress(feedback, 0.2, message=f"weights (%): {weights.total_weights}")
        prediction = quarnel.hierarchy.predict(stack_of(layers), weights.element_weights)
        results = {"OUTPUT": self.raster_result(prediction, parameters, "OUTPUT", context, feedback)}
        path = self.parameterAsFileOutput(parameters, "WEIGHTS", context)
        if path:
            rows = [[layer.name(), f"{w:.4f}"] for layer, w in zip(layers, weights.element_weights)]
            matrices = [[m.level, m.order, f"{m.eigenvalue:.6f}", f"{m.cr:.6f}"] for m in weights.matrices]
            write_html(path, "Hierarchy analysis",
                       html_table("Weights (%)", ["layer", "weight"], rows)
                       + html_table("Judgement matrices", ["level", "order", "eigenvalue", "CR"], matrices))
            results["WEIGHTS"] = path
        return results


class Feature(QuarnelAlgorithm):
    ID, TITLE = "feature", "Feature analysis"
    GROUP_ID, GROUP = MODELS
    METHOD = "feature"
    HELP = ("Codes each layer -1/0/+1 against its bounds, forms the product matrix (over the deposits' cells "
            "with model units), weights the layers and scores every cell. Bounds are comma-separated, one per "
            "layer, or one for every layer.")

    def define(self):
        _evidence(self, "Evidence layers (the variables)")
        _deposits(self, optional=True)
        for name in ("lower", "upper"):
            entry = declarations.declaration("feature.variables", name)
            bound = QgsProcessingParameterString(name.upper(), f"{name.capitalize()} bounds",
                                                 format(entry["value"], "g"))
            bound.setHelp(declarations.help_of(entry))
            self.addParameter(bound)
        self.add_declared()
        self.addParameter(QgsProcessingParameterRasterDestination("OUTPUT", "Feature scores"))
        self.addParameter(QgsProcessingParameterFileDestination(
            "WEIGHTS", "Weights", "HTML files (*.html)", optional=True, createByDefault=True))

    def compute(self, parameters, context, feedback):
        layers = self.parameterAsLayerList(parameters, "LAYERS", context)
        grids = stack_of(layers)
        bounds = [_numbers(self.parameterAsString(parameters, k, context), len(grids), k.lower(),
                           "feature.variables", k.lower()) for k in ("LOWER", "UPPER")]
        v = self.declared_values(parameters, context)
        units = None
        if v["model_units"]:
            source = self.parameterAsSource(parameters, "DEPOSITS", context)
            if source is None:
                raise QgsProcessingException("model units need the deposits layer")
            cells = deposit_cells(source, grids[0], context)
            valid = valid_cells(grids)
            cells, sizes = np.unique(cells[valid[cells[:, 0], cells[:, 1]]], axis=0, return_counts=True)
            units = np.column_stack([cells, sizes])
        self.progress(feedback, 0.1)
        analysis = quarnel.feature.analyse(grids, *bounds, method=v["method"], units=units)
        results = {"OUTPUT": self.raster_result(analysis.scores, parameters, "OUTPUT", context, feedback)}
        path = self.parameterAsFileOutput(parameters, "WEIGHTS", context)
        if path:
            rows = [[layer.name(), f"{w:.4f}"] for layer, w in zip(layers, analysis.weights.weights)]
            stats = [[k, v] for k, v in analysis.statistics.items()]
            write_html(path, "Feature analysis", html_table("Weights", ["layer", "weight"], rows)
                       + html_table("Scores", ["statistic", "value"], stats))
            results["WEIGHTS"] = path
        return results


def _held_out(algorithm, parameters, context, feedback, split) -> dict:
    """The held-out deposits' evaluation, by the host (the only door that splits deposits)."""
    from .host import run_host

    arguments = ["evaluate", algorithm.parameterAsRasterLayer(parameters, "MAP", context).source(),
                 algorithm.parameterAsCompatibleSourceLayerPath(parameters, "DEPOSITS", context,
                                                                ["shp", "gpkg", "csv", "geojson"], "gpkg", feedback),
                 "--holdout", repr(split["holdout"]), "--seed", str(split["seed"])]
    mask = algorithm.parameterAsRasterLayer(parameters, "MASK", context)
    if mask is not None:
        arguments += ["--mask", mask.source()]
    return run_host(arguments, feedback)["results"]["holdout"]["held_out"]


def _table_sink(algorithm, parameters, key, context, columns, rows):
    """Rows as a non-spatial layer (a table) at the sink parameter key."""
    fields = QgsFields()
    for name, kind in columns:
        fields.append(QgsField(name, kind))
    sink, destination = algorithm.parameterAsSink(parameters, key, context, fields, QgsWkbTypes.NoGeometry)
    if sink is None:
        return None
    for row in rows:
        feature = QgsFeature(fields)
        feature.setAttributes([float(v) if kind == QVariant.Double else str(v) if kind == QVariant.String else int(v)
                               for v, (_, kind) in zip(row, columns)])
        sink.addFeature(feature, QgsFeatureSink.FastInsert)
    return destination


class Evaluate(QuarnelAlgorithm):
    ID, TITLE = "evaluate", "Evaluate a map against deposits"
    GROUP_ID, GROUP = VALIDATION
    METHOD = "validation"
    HELP = ("ROC curve and AUC (with its 95 % interval), success-rate curve and, for a class map, the class "
            "table of a map against the deposits. Cells with no data, or 0 in the mask, take no part. With a "
            "holdout share, the quarnel host splits the deposits and adds the prediction rate of those kept back "
            "(the ROC and success rate count every deposit).")

    def define(self):
        self.addParameter(QgsProcessingParameterRasterLayer("MAP", "Map (scores or classes)"))
        _deposits(self)
        self.addParameter(QgsProcessingParameterRasterLayer("MASK", "Mask (0: left out)", optional=True))
        self.addParameter(QgsProcessingParameterBoolean("CLASSES", "The map holds classes", False))
        self.add_declared()
        self.addParameter(QgsProcessingParameterFeatureSink(
            "ROC", "ROC points", QgsProcessing.TypeVector, optional=True, createByDefault=False))
        self.addParameter(QgsProcessingParameterFeatureSink(
            "SUCCESS", "Success-rate points", QgsProcessing.TypeVector, optional=True, createByDefault=False))
        self.addParameter(QgsProcessingParameterFileDestination(
            "REPORT", "Evaluation", "HTML files (*.html)", optional=True, createByDefault=True))
        for key, title in (("AUC", "AUC"), ("AUC_LOW", "AUC 95 % low"), ("AUC_HIGH", "AUC 95 % high"),
                           ("SUCCESS_AREA", "Area under the success-rate curve"),
                           ("PREDICTION_AREA", "Area under the prediction-rate curve (holdout)")):
            self.addOutput(QgsProcessingOutputNumber(key, title))

    def compute(self, parameters, context, feedback):
        grid = raster_of(self.parameterAsRasterLayer(parameters, "MAP", context))
        mask_layer = self.parameterAsRasterLayer(parameters, "MASK", context)
        mask = None if mask_layer is None else raster_of(mask_layer)
        cells = deposit_cells(self.parameterAsSource(parameters, "DEPOSITS", context), grid, context)
        result = quarnel.evaluate.evaluate(grid, cells, mask=mask)
        self.progress(feedback, 0.6, message=f"AUC {result.roc.auc:.4f}, {result.roc.deposit_cells} deposit cells")
        roc, success = result.roc, result.success_rate
        results = {"AUC": roc.auc, "AUC_LOW": roc.auc_low, "AUC_HIGH": roc.auc_high, "SUCCESS_AREA": success.area}
        double = QVariant.Double
        for key, columns, points in (("ROC", [("false_positive", double), ("true_positive", double)], roc.points),
                                     ("SUCCESS", [("area", double), ("deposits", double)], success.points)):
            if parameters.get(key) is not None:
                results[key] = _table_sink(self, parameters, key, context, columns, points)
        body = html_table("ROC", ["deposit cells", "other cells", "AUC", "95 % low", "95 % high"],
                          [[roc.deposit_cells, roc.other_cells, roc.auc, roc.auc_low, roc.auc_high]])
        body += html_table("Success rate", ["deposits", "area", "area for 50 %", "75 %", "90 %"],
                           [[success.deposits, success.area, success.area_for_50, success.area_for_75,
                             success.area_for_90]])
        if self.parameterAsBoolean(parameters, "CLASSES", context):
            rows = quarnel.evaluate.class_table(grid, cells, mask=mask)
            body += html_table("Classes", ["value", "cells", "area share", "deposits", "density"],
                               [[r.value, r.cells, r.area_share, r.deposits, r.density] for r in rows])
        split = self.declared_values(parameters, context)
        if split["holdout"] is not None:
            held = _held_out(self, parameters, context, feedback, split)
            results["PREDICTION_AREA"] = held["success_rate"]["area"]
            body += html_table("Prediction rate (deposits kept back)", ["deposits", "area", "AUC"],
                               [[held["success_rate"]["deposits"], held["success_rate"]["area"], held["roc"]["auc"]]])
        path = self.parameterAsFileOutput(parameters, "REPORT", context)
        if path:
            write_html(path, "Evaluation", body)
            results["REPORT"] = path
        return results


ALGORITHMS = (Normalise, CodeLayer, WindowStatistics, BpNetwork, Hierarchy, Feature, Evaluate)
