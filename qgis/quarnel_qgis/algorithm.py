"""What every Quarnel algorithm shares: its name, group and help, the parameters generated from a
method's declarations, progress and cancelling, Quarnel's errors as QgsProcessingException, and
result rasters loaded into the project with their style."""

from __future__ import annotations

import html
import os

from qgis.core import (
    QgsProcessingAlgorithm,
    QgsProcessingContext,
    QgsProcessingException,
    QgsProcessingLayerPostProcessorInterface,
)

import quarnel

from . import declarations
from .layers import Cancelled, check_cancelled, style_file, write_raster


class QuarnelAlgorithm(QgsProcessingAlgorithm):
    """Subclasses set the class attributes and define `define(self)` (parameters) and
    `compute(self, parameters, context, feedback)` (results dict)."""

    ID = ""
    TITLE = ""
    GROUP = ""
    GROUP_ID = ""
    HELP = ""
    METHOD = None  # the declared method whose parameters are generated
    SKIP: tuple[str, ...] = ()  # declared parameters the algorithm supplies otherwise

    def __init__(self):
        super().__init__()
        self.to_style: list[tuple[str, str, str, object]] = []

    def createInstance(self):
        return type(self)()

    def name(self):
        return self.ID

    def displayName(self):
        return self.TITLE

    def group(self):
        return self.GROUP

    def groupId(self):
        return self.GROUP_ID

    def shortHelpString(self):
        generated = declarations.help_text(self.METHOD, self.SKIP) if self.METHOD else ""
        return f"<p>{html.escape(self.HELP)}</p>{generated}"

    def initAlgorithm(self, config=None):
        self.define()

    def add_declared(self, method: str | None = None, skip: tuple[str, ...] | None = None, prefix: str = ""):
        """Add a parameter for each of the method's declarations (default: the algorithm's)."""
        method = method or self.METHOD
        for entry in declarations.mapped(method, self.SKIP if skip is None else skip):
            parameter = declarations.parameter_of(entry, prefix)
            if parameter is not None:
                self.addParameter(parameter)

    def declared_values(self, parameters, context, method: str | None = None, skip: tuple[str, ...] | None = None,
                        prefix: str = "") -> dict:
        """The declared parameters' values by their Python keyword, None for those left empty."""
        method = method or self.METHOD
        return {
            e["name"]: declarations.value_of(self, e, parameters, context, prefix)
            for e in declarations.mapped(method, self.SKIP if skip is None else skip)
        }

    def processAlgorithm(self, parameters, context, feedback):
        self.to_style = []
        try:
            results = self.compute(parameters, context, feedback)
        except (Cancelled, quarnel.Stopped):
            raise QgsProcessingException("cancelled: nothing was written") from None
        except QgsProcessingException:
            raise
        except (ValueError, RuntimeError, OSError, KeyError) as error:
            raise QgsProcessingException(str(error)) from error
        for path, style, name, classes in self.to_style:
            style_file(path, style, classes)
            if context.willLoadLayerOnCompletion(path):
                details = context.layerToLoadOnCompletionDetails(path)
                details.name = name
                details.setPostProcessor(DefaultStyle.create())
        return results

    def raster_result(self, data, parameters, key: str, context, feedback, style: str = "scores",
                      classes=None) -> str:
        """Write a result raster to the output parameter key, whole, and style it."""
        path = self.parameterAsOutputLayer(parameters, key, context)
        write_raster(data, path, feedback)
        self.to_style.append((path, style, self.parameterDefinition(key).description(), classes))
        return path

    def progress(self, feedback, share: float, low: float = 0.0, high: float = 100.0, message: str = ""):
        """Report progress share (0..1) of the span low..high percent; stop when cancelled."""
        check_cancelled(feedback)
        feedback.setProgress(low + (high - low) * share)
        if message:
            feedback.pushInfo(message)


    def stoppable(self, feedback, low: float, high: float):
        """A quarnel progress callback for a method's span low..high (0..1) of the run: it shows
        the share done and stops the method (quarnel.Stopped) once the user cancels."""

        def told(done, total, value):
            feedback.setProgress(100 * (low + (high - low) * done / max(total, 1)))
            return not feedback.isCanceled()

        return told


class DefaultStyle(QgsProcessingLayerPostProcessorInterface):
    """Loads the style saved beside a result raster when QGIS adds it to the project."""

    made: list = []

    def postProcessLayer(self, layer, context: QgsProcessingContext, feedback):
        if layer is not None and os.path.exists(os.path.splitext(layer.source())[0] + ".qml"):
            layer.loadDefaultStyle()
            layer.triggerRepaint()

    @staticmethod
    def create():
        # Processing keeps a raw pointer: each Python object must outlive the run that uses it.
        DefaultStyle.made.append(DefaultStyle())
        return DefaultStyle.made[-1]


def html_table(title: str, header: list[str], rows: list[list]) -> str:
    cells = "".join("<tr>" + "".join(f"<td>{html.escape(str(v))}</td>" for v in row) + "</tr>" for row in rows)
    heads = "".join(f"<th>{html.escape(h)}</th>" for h in header)
    return f"<h2>{html.escape(title)}</h2><table border=1><tr>{heads}</tr>{cells}</table>"


def write_html(path: str, title: str, body: str) -> None:
    """An HTML page written whole (temporary file renamed into place)."""
    if not path:
        return
    temporary = os.path.join(os.path.dirname(os.path.abspath(path)), "." + os.path.basename(path) + ".part")
    with open(temporary, "w", encoding="utf-8") as page:
        page.write(f"<html><head><meta charset='utf-8'><title>{html.escape(title)}</title></head><body>"
                   f"<h1>{html.escape(title)}</h1>{body}</body></html>")
    os.replace(temporary, path)
