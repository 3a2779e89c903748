"""The "Quarnel" Processing provider: an algorithm for each method and tool this installation has."""

from __future__ import annotations

from qgis.core import QgsProcessingProvider

from . import methods, models
from .tools import tool_algorithms


class QuarnelProvider(QgsProcessingProvider):
    def id(self):
        return "quarnel"

    def name(self):
        return "Quarnel"

    def longName(self):
        return "Quarnel mineral-prospectivity methods"

    def loadAlgorithms(self):
        for algorithm in (*methods.ALGORITHMS, *models.ALGORITHMS, *tool_algorithms()):
            self.addAlgorithm(algorithm())
