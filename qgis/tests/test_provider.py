"""The provider inside a QGIS application (qgis.testing): parameters generated from the
declarations, methods listed as their declarations land, and cancelling."""

import os
import tempfile
import tomllib

import pytest
from qgis.testing import start_app

# A profile of its own: the application started here rewrites its settings, and the profile
# qgis_process runs with must keep the plugin enabled.
os.environ["QGIS_CUSTOM_CONFIG_PATH"] = tempfile.mkdtemp(prefix="quarnel-qgis-app-")
APP = start_app()

from qgis.core import (  # noqa: E402
    QgsProcessingContext,
    QgsProcessingException,
    QgsProcessingFeedback,
    QgsProcessingParameterBoolean,
    QgsProcessingParameterEnum,
    QgsProcessingParameterFile,
    QgsProcessingParameterNumber,
    QgsProcessingParameterString,
    QgsRasterLayer,
)

import quarnel  # noqa: E402
from quarnel_qgis import declarations, methods, tools  # noqa: E402
from quarnel_qgis.provider import QuarnelProvider  # noqa: E402

KINDS = {"integer": QgsProcessingParameterNumber, "number": QgsProcessingParameterNumber,
         "choice": QgsProcessingParameterEnum, "flag": QgsProcessingParameterBoolean,
         "text": QgsProcessingParameterString, "path": QgsProcessingParameterFile}


@pytest.mark.parametrize("entry", quarnel.workflow.parameters(), ids=lambda e: f"{e['method']}.{e['name']}")
def test_each_declaration_becomes_a_parameter_of_its_kind_range_and_default(entry):
    parameter = declarations.parameter_of(entry)
    if entry["kind"] in ("names", "tables"):
        assert parameter is None
        return
    assert isinstance(parameter, KINDS[entry["kind"]])
    assert parameter.name() == entry["name"].upper()
    optional = bool(parameter.flags() & parameter.FlagOptional)
    assert optional == (not entry["fixed_default"] and not entry["required"])
    assert entry["help"] in parameter.help()
    if entry["kind"] in ("integer", "number"):
        assert (parameter.minimum(), parameter.maximum()) == (entry["low"], entry["high"])
        assert parameter.dataType() == (parameter.Integer if entry["kind"] == "integer" else parameter.Double)
        assert parameter.defaultValue() == (entry["value"] if entry["fixed_default"] else None)
        # The declared range is the parameter's: a value past either end is refused.
        context = QgsProcessingContext()
        assert not parameter.checkValueIsAcceptable(entry["high"] + max(1, abs(entry["high"])), context)
        assert not parameter.checkValueIsAcceptable(entry["low"] - max(1, abs(entry["low"])), context)
    elif entry["kind"] == "choice":
        assert parameter.options() == entry["choices"]
        assert parameter.defaultValue() == int(entry["value"])
    elif entry["kind"] == "flag":
        assert parameter.defaultValue() == bool(entry["value"])


def test_values_come_back_as_the_python_keywords_take_them():
    algorithm = methods.Feature()
    algorithm.initAlgorithm()
    context = QgsProcessingContext()
    values = algorithm.declared_values({"METHOD": 1, "MODEL_UNITS": False}, context)
    assert values == {"method": "principal-component", "model_units": False}
    bp = methods.BpNetwork()
    bp.initAlgorithm()
    values = bp.declared_values({"HIDDEN": None, "SEED": 3, "ERROR_LIMIT": 0.5}, context)
    assert values["hidden"] is None and values["background"] is None  # the method's own rule
    assert values["seed"] == 3 and isinstance(values["seed"], int) and values["error_limit"] == 0.5


@pytest.fixture
def declared_elsewhere(monkeypatch):
    """Declarations as they stand plus two methods as another branch might add them."""
    declared = quarnel.workflow.parameters()
    extra = [
        {"method": "future", "name": "gamma", "kind": "number", "unit": "", "low": 0.0, "high": 1.0, "value": 0.9,
         "default": "0.9", "accepted": "0 to 1", "required": False, "fixed_default": True, "help": "gamma"},
        {"method": "future", "name": "layers", "kind": "names", "unit": "", "low": 0.0, "high": 0.0, "value": 0.0,
         "default": "every layer", "accepted": "", "required": False, "fixed_default": False, "help": "layers"},
        {"method": "nested", "name": "rules", "kind": "tables", "unit": "", "low": 1.0, "high": 9.0, "value": 0.0,
         "default": "required", "accepted": "", "required": True, "fixed_default": False, "help": "rules"},
    ]
    monkeypatch.setattr(quarnel.workflow, "parameters",
                        lambda method=None: [p for p in declared + extra if method is None or p["method"] == method])


def test_a_method_is_listed_once_its_declaration_lands(declared_elsewhere, tmp_path):
    provider = QuarnelProvider()
    provider.loadAlgorithms()
    names = {a.name() for a in provider.algorithms()}
    assert "future" in names and "nested" not in names  # a required nested table cannot be asked for
    assert {"normalise", "windowstatistics", "bpnetwork", "hierarchy", "feature", "evaluate", "runworkflow"} <= names
    future = provider.algorithm("future")
    assert future.parameterDefinition("GAMMA").defaultValue() == 0.9
    layer = QgsRasterLayer(os.path.join(tmp_path, "a b.tif"), "a b")
    text = tools.method_workflow("future", [layer, layer], tools._layer_names([layer, layer]), "d.shp",
                                 {"gamma": 0.5, "layers": None}, "out")
    workflow = tomllib.loads(text)
    assert workflow["future"] == {"gamma": 0.5} and workflow["deposits"]["path"] == "d.shp"
    assert [w["name"] for w in workflow["layers"]] == ["a_b", "a_b_2"]


class CancelAfter(QgsProcessingFeedback):
    """Cancels once progress passes a share, as the user pressing Cancel would."""

    def __init__(self, percent):
        super().__init__()
        self.percent, self.reports = percent, []
        self.progressChanged.connect(self.changed)

    def changed(self, value):
        self.reports.append(value)
        if value >= self.percent:
            self.cancel()


def test_cancelled_training_stops_and_leaves_no_output(cloncurry, tmp_path):
    provider = QuarnelProvider()
    provider.loadAlgorithms()
    algorithm = provider.algorithm("bpnetwork").create()
    classes, network = str(tmp_path / "classes.tif"), str(tmp_path / "network.txt")
    parameters = {"LAYERS": [cloncurry[n] for n in ("Dist2Breccia", "StratNo")], "DEPOSITS": cloncurry["deposits"],
                  "MAX_ITERATIONS": 1000000, "ERROR_LIMIT": 0, "CLASSES": classes, "NETWORK": network,
                  "FAVOURABILITY": str(tmp_path / "favourability.tif")}
    feedback = CancelAfter(5.000001)  # the first epoch's report (5 % is the sampling's)
    context = QgsProcessingContext()
    with pytest.raises(QgsProcessingException, match="cancelled"):
        algorithm.processAlgorithm(parameters, context, feedback)
    assert max(feedback.reports) < 6  # stopped at the report after the cancel, long before the end
    assert os.listdir(tmp_path) == []


@pytest.mark.parametrize("name, outputs", [("fuzzy", {"RULES": "linear:1,2"}),
                                           ("wofe", {"UNIT_AREA": "cell", "STD": "std.tif", "POSTERIOR": "p.tif"}),
                                           ("logistic", {"PROBABILITY": "p.tif"})])
def test_a_cancel_between_steps_leaves_no_output(cloncurry, tmp_path, name, outputs):
    provider = QuarnelProvider()
    provider.loadAlgorithms()
    algorithm = provider.algorithm(name).create()
    parameters = {"LAYERS": [cloncurry[n] for n in ("Dist2Breccia", "StratNo")], "DEPOSITS": cloncurry["deposits"],
                  "OUTPUT": str(tmp_path / "out.tif"),
                  **{k: str(tmp_path / v) if v.endswith(".tif") else v for k, v in outputs.items()}}
    feedback = CancelAfter(0)  # cancelled at the first progress report
    with pytest.raises(QgsProcessingException, match="cancelled"):
        algorithm.processAlgorithm(parameters, QgsProcessingContext(), feedback)
    assert os.listdir(tmp_path) == []


@pytest.mark.parametrize("name, outputs, cancel_at, stopped_below",
                         [("fuzzy", {"RULES": "linear:1,2"}, 0.001, 1),  # a row of the first membership
                          ("wofe", {"UNIT_AREA": "cell", "POSTERIOR": "p.tif"}, 0.001, 21),  # the first strip
                          ("logistic", {"PROBABILITY": "p.tif"}, 20.001, 21)])  # the fit's first iteration
def test_a_cancel_inside_a_method_stops_it_there(cloncurry, tmp_path, name, outputs, cancel_at, stopped_below):
    provider = QuarnelProvider()
    provider.loadAlgorithms()
    algorithm = provider.algorithm(name).create()
    parameters = {"LAYERS": [cloncurry[n] for n in ("Dist2Breccia", "StratNo")], "DEPOSITS": cloncurry["deposits"],
                  "OUTPUT": str(tmp_path / "out.tif"),
                  **{k: str(tmp_path / v) if v.endswith(".tif") else v for k, v in outputs.items()}}
    feedback = CancelAfter(cancel_at)
    with pytest.raises(QgsProcessingException, match="cancelled"):
        algorithm.processAlgorithm(parameters, QgsProcessingContext(), feedback)
    assert cancel_at <= max(feedback.reports) < stopped_below  # not at the step's end
    assert os.listdir(tmp_path) == []


def test_a_failure_comes_back_with_quarnels_cause(cloncurry, tmp_path):
    provider = QuarnelProvider()
    provider.loadAlgorithms()
    algorithm = provider.algorithm("windowstatistics").create()
    parameters = {"INPUT": cloncurry["StratNo"], "WINDOW": 100000, "MEAN": str(tmp_path / "m.tif"),
                  "DEVIATION": str(tmp_path / "d.tif")}
    with pytest.raises(QgsProcessingException, match="window"):
        algorithm.processAlgorithm(parameters, QgsProcessingContext(), QgsProcessingFeedback())
    assert os.listdir(tmp_path) == []


def test_a_declared_method_runs_as_a_one_method_workflow(cloncurry, tmp_path):
    # bp has an algorithm of its own; run through the path every later method takes, it must give
    # a whole run: the workflow's summary, report and class raster on the layers' frame.
    algorithm = tools.method_algorithm("bp")()
    algorithm.initAlgorithm()
    parameters = {"LAYERS": [cloncurry[n] for n in ("Dist2Breccia", "StratNo")], "DEPOSITS": cloncurry["deposits"],
                  "MAX_ITERATIONS": 20, "OUTPUT": str(tmp_path / "run")}
    context = QgsProcessingContext()
    results = algorithm.processAlgorithm(parameters, context, QgsProcessingFeedback())
    assert os.path.exists(results["REPORT"]) and os.path.exists(results["SUMMARY"])
    classes = QgsRasterLayer(str(tmp_path / "run" / "bp" / "classes.tif"))
    strat = QgsRasterLayer(cloncurry["StratNo"])
    assert classes.extent() == strat.extent() and classes.crs() == strat.crs()
