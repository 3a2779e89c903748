"""The algorithms over the host's tools (convert, align, samples, model units), the workflow run
from a TOML file, and each further method the workflow file declares: such a method is run as a
one-method workflow on the given layers, so it is listed as soon as its declaration lands."""

from __future__ import annotations

import json
import os
import re

from qgis.core import (
    QgsProcessing,
    QgsProcessingException,
    QgsProcessingOutputFile,
    QgsProcessingOutputFolder,
    QgsProcessingOutputMultipleLayers,
    QgsProcessingOutputNumber,
    QgsProcessingParameterEnum,
    QgsProcessingParameterField,
    QgsProcessingParameterFile,
    QgsProcessingParameterFileDestination,
    QgsProcessingParameterFolderDestination,
    QgsProcessingParameterMultipleLayers,
    QgsProcessingParameterRasterLayer,
    QgsProcessingParameterString,
)

import quarnel

from . import declarations
from .algorithm import QuarnelAlgorithm
from .host import host_path, run_host
from .layers import BP_CLASSES, Cancelled, check_cancelled
from .methods import _deposits, _evidence

TOOLS = ("tools", "Tools")
WORKFLOW = ("workflow", "Workflow")

# Methods with algorithms of their own, and the workflow file's tables that are no method.
BUILT = ("bp", "hierarchy", "feature", "fuzzy", "wofe", "logistic")
NOT_METHODS = ("", "layers", "deposits", "validation")
RESAMPLING = ("nearest", "bilinear", "average", "mode")


def _deposits_path(algorithm, parameters, context, feedback) -> str:
    """The deposits as a file the host reads (a layer that is no file is written to one)."""
    return algorithm.parameterAsCompatibleSourceLayerPath(
        parameters, "DEPOSITS", context, ["shp", "gpkg", "csv", "geojson"], "gpkg", feedback)


class HostTool(QuarnelAlgorithm):
    """An algorithm of the host; listed only when the host is found."""

    GROUP_ID, GROUP = TOOLS


class Convert(HostTool):
    ID, TITLE = "convert", "Convert a raster"
    HELP = ("Copies a raster into another format, map coordinates kept: any GDAL raster, or the design's "
            "grids by their endings (.grd DSAA, .txt KVSGDA01, .hxf multi-grid).")

    def define(self):
        self.addParameter(QgsProcessingParameterRasterLayer("INPUT", "Input raster"))
        self.addParameter(QgsProcessingParameterFileDestination(
            "OUTPUT", "Converted", "GeoTIFF (*.tif);;Surfer DSAA grid (*.grd);;KVSGDA01 grid (*.txt);;HXF (*.hxf)"))

    def compute(self, parameters, context, feedback):
        source = self.parameterAsRasterLayer(parameters, "INPUT", context).source()
        output = self.parameterAsFileOutput(parameters, "OUTPUT", context)
        run_host(["convert", source, output], feedback)
        return {"OUTPUT": output}


class Align(HostTool):
    ID, TITLE = "align", "Align rasters onto a reference grid"
    HELP = "Resamples rasters onto a reference raster's grid (size, cells, CRS) with GDAL's warper: FOLDER/NAME.tif."

    def define(self):
        self.addParameter(QgsProcessingParameterRasterLayer("REFERENCE", "Reference raster"))
        self.addParameter(QgsProcessingParameterMultipleLayers("INPUTS", "Rasters to align", QgsProcessing.TypeRaster))
        self.addParameter(QgsProcessingParameterEnum("RESAMPLING", "Resampling", RESAMPLING, False, 0))
        self.addParameter(QgsProcessingParameterFolderDestination("OUTPUT", "Output folder"))
        self.addOutput(QgsProcessingOutputMultipleLayers("FILES", "Aligned rasters"))

    def compute(self, parameters, context, feedback):
        reference = self.parameterAsRasterLayer(parameters, "REFERENCE", context).source()
        inputs = [layer.source() for layer in self.parameterAsLayerList(parameters, "INPUTS", context)]
        folder = self.parameterAsString(parameters, "OUTPUT", context)
        resampling = RESAMPLING[self.parameterAsEnum(parameters, "RESAMPLING", context)]
        report = run_host(["align", reference, *inputs, "-o", folder, "--resampling", resampling], feedback)
        return {"OUTPUT": folder, "FILES": report.get("outputs", [])}


class Samples(HostTool):
    ID, TITLE = "samples", "BP samples from deposit points"
    METHOD, SKIP = "bp", ("layers", "hidden", "max_iterations", "error_limit")
    HELP = ("Writes a BP sample file: the evidence values at the deposit cells (target 1) and at background "
            "cells drawn among the others (target 0).")

    def define(self):
        _evidence(self)
        _deposits(self)
        self.add_declared()
        self.addParameter(QgsProcessingParameterFileDestination("OUTPUT", "Sample file", "Text files (*.txt)"))
        self.addOutput(QgsProcessingOutputNumber("SAMPLES", "Samples"))

    def compute(self, parameters, context, feedback):
        v = self.declared_values(parameters, context)
        output = self.parameterAsFileOutput(parameters, "OUTPUT", context)
        arguments = ["samples", *[layer.source() for layer in self.parameterAsLayerList(parameters, "LAYERS", context)],
                     "--deposits", _deposits_path(self, parameters, context, feedback), "-o", output,
                     "--seed", str(v["seed"]), "--min-distance", repr(v["min_distance"])]
        if v["background"] is not None:
            arguments += ["--background", str(v["background"])]
        report = run_host(arguments, feedback)
        counts = report.get("results", {})
        return {"OUTPUT": output, "SAMPLES": counts.get("deposit_cells", 0) + counts.get("background_cells", 0)}


class ModelUnits(HostTool):
    ID, TITLE = "modelunits", "Feature model units from deposit points"
    HELP = "Writes a feature analysis model-unit file: the cells of the deposits on a raster's grid, with their sizes."

    def define(self):
        self.addParameter(QgsProcessingParameterRasterLayer("INPUT", "A raster of the analysis' grid"))
        _deposits(self)
        self.addParameter(QgsProcessingParameterString("TITLE", "Title (one word)", optional=True))
        self.addParameter(QgsProcessingParameterField("SIZE_FIELD", "Size field (whole numbers)", None, "DEPOSITS",
                                                      QgsProcessingParameterField.Numeric, optional=True))
        self.addParameter(QgsProcessingParameterFileDestination("OUTPUT", "Model-unit file", "Text files (*.txt)"))

    def compute(self, parameters, context, feedback):
        output = self.parameterAsFileOutput(parameters, "OUTPUT", context)
        arguments = ["model-units", self.parameterAsRasterLayer(parameters, "INPUT", context).source(),
                     "--deposits", _deposits_path(self, parameters, context, feedback), "-o", output]
        for key, option in (("TITLE", "--title"), ("SIZE_FIELD", "--size-field")):
            value = self.parameterAsString(parameters, key, context)
            if value:
                arguments += [option, value]
        run_host(arguments, feedback)
        return {"OUTPUT": output}


def _run_outputs(summary: dict) -> tuple[list[str], str]:
    """The rasters a run wrote (step by step), and the failed steps' causes."""
    rasters, failures = [], []
    for name, step in summary.items():
        if not isinstance(step, dict) or "ok" not in step:
            continue
        if not step["ok"]:
            failures.append(f"{name}: {step.get('cause', 'failed')}")
        rasters += [p for p in step.get("outputs", []) if p.lower().endswith(".tif")]
    return rasters, "; ".join(failures)


class WorkflowAlgorithm(QuarnelAlgorithm):
    """Shared by the runs of a workflow: the report and summary as outputs, the rasters loaded."""

    GROUP_ID, GROUP = WORKFLOW

    def define_outputs(self):
        self.addOutput(QgsProcessingOutputFolder("FOLDER", "Output folder"))
        self.addOutput(QgsProcessingOutputFile("REPORT", "Run report (HTML)"))
        self.addOutput(QgsProcessingOutputFile("SUMMARY", "Run summary (JSON)"))

    def run_file(self, workflow: str, output: str, context, feedback) -> dict:
        check_cancelled(feedback)
        feedback.pushInfo(f"running {workflow}")
        try:
            summary = quarnel.run(workflow, output or None, progress=lambda done, total, value: not feedback.isCanceled())
        except quarnel.Stopped:
            raise Cancelled() from None
        folder = summary.get("output", output)
        rasters, failures = _run_outputs(summary)
        for path in rasters:
            absolute = path if os.path.isabs(path) else os.path.join(folder, path)
            style = "classes" if os.path.basename(absolute) == "classes.tif" else "scores"
            classes = BP_CLASSES if style == "classes" else None
            if os.path.exists(absolute):
                self.to_style.append((absolute, style, os.path.splitext(os.path.basename(absolute))[0], classes))
                context.addLayerToLoadOnCompletion(absolute, context.LayerDetails(
                    os.path.splitext(os.path.basename(absolute))[0], context.project(), "raster"))
        if failures:
            feedback.reportError(failures)
        if not summary.get("ok", True):
            raise QgsProcessingException(f"the run failed: {failures}; see {os.path.join(folder, 'report.html')}")
        return {"FOLDER": folder, "REPORT": os.path.join(folder, "report.html"),
                "SUMMARY": os.path.join(folder, "summary.json")}


class RunWorkflow(WorkflowAlgorithm):
    ID, TITLE = "runworkflow", "Run a workflow file (TOML)"
    HELP = ("Runs a workflow file as `quarnel run` does: every method it names on its layers, with the "
            "validation and the run report (report.html) in the output folder. The run itself cannot be "
            "interrupted once started.")

    def define(self):
        self.addParameter(QgsProcessingParameterFile("WORKFLOW", "Workflow file", extension="toml"))
        self.addParameter(QgsProcessingParameterFolderDestination(
            "OUTPUT", "Output folder (empty: the file's own)", optional=True, createByDefault=False))
        self.define_outputs()

    def compute(self, parameters, context, feedback):
        output = self.parameterAsString(parameters, "OUTPUT", context) if parameters.get("OUTPUT") else ""
        return self.run_file(self.parameterAsFile(parameters, "WORKFLOW", context), output, context, feedback)


def _toml_value(value) -> str:
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, (int, float)):
        return repr(value)
    return json.dumps(str(value))


def _layer_names(layers) -> list[str]:
    """Names the workflow file takes (letters, digits, '_' and '-'), one of each."""
    names = []
    for i, layer in enumerate(layers):
        name = re.sub(r"[^A-Za-z0-9_-]", "_", layer.name()) or f"layer{i + 1}"
        names.append(name if name not in names else f"{name}_{i + 1}")
    return names


def method_workflow(method: str, layers, names, deposits: str | None, values: dict, output: str) -> str:
    """The text of a workflow file running one method on layers (taken as they are)."""
    lines = [f"output = {_toml_value(output)}", ""]
    if deposits:
        lines += ["[deposits]", f"path = {_toml_value(deposits)}", ""]
    for layer, name in zip(layers, names):
        lines += ["[[layers]]", f"name = {_toml_value(name)}", f"raster = {_toml_value(layer.source())}", ""]
    lines.append(f"[{method}]")
    lines += [f"{key} = {_toml_value(value)}" for key, value in values.items() if value is not None]
    return "\n".join(lines) + "\n"


def runnable(method: str) -> bool:
    """Whether every required parameter of the method can be asked for (none is a nested table)."""
    return not any(e["required"] and e["kind"] in declarations.UNMAPPED_KINDS and e["kind"] != "names"
                   for e in declarations.declarations(method))


def method_algorithm(method: str):
    """An algorithm class running a declared method as a one-method workflow."""
    class MethodRun(WorkflowAlgorithm):
        ID = re.sub(r"[^a-z0-9]", "", method.lower())
        TITLE = method.replace("_", " ").capitalize()
        GROUP_ID, GROUP = ("models", "Prospectivity models")
        METHOD = method
        HELP = (f"Runs {method} on the evidence layers and the deposits as a workflow of that one method; "
                "its rasters are loaded, its report is in the output folder.")

        def define(self):
            _evidence(self, "Evidence layers")
            _deposits(self, optional=True)
            self.add_declared()
            self.addParameter(QgsProcessingParameterFolderDestination("OUTPUT", "Output folder"))
            self.define_outputs()

        def compute(self, parameters, context, feedback):
            layers = self.parameterAsLayerList(parameters, "LAYERS", context)
            names = _layer_names(layers)
            values = self.declared_values(parameters, context)
            for entry in declarations.declarations(method):
                if entry["kind"] == "names":
                    values[entry["name"]] = None  # every layer, in the order given
            deposits = (_deposits_path(self, parameters, context, feedback)
                        if parameters.get("DEPOSITS") is not None else None)
            folder = self.parameterAsString(parameters, "OUTPUT", context)
            os.makedirs(folder, exist_ok=True)
            path = os.path.join(folder, f"{method}.toml")
            with open(path, "w", encoding="utf-8") as file:
                file.write(method_workflow(method, layers, names, deposits, values, folder))
            return self.run_file(path, folder, context, feedback)

    return MethodRun


def declared_methods() -> list[str]:
    """The workflow file's methods beyond those with algorithms of their own, in declared order."""
    seen = []
    for entry in declarations.declarations(None):
        method = entry["method"]
        if "." not in method and method not in BUILT + NOT_METHODS and method not in seen:
            seen.append(method)
    return [m for m in seen if runnable(m)]


def tool_algorithms() -> list:
    """The host's tools (when the host is found), the workflow run and each further declared method."""
    tools = [Convert, Align, Samples, ModelUnits] if host_path() else []
    return [*tools, RunWorkflow, *(method_algorithm(m) for m in declared_methods())]
