"""The plugin: registers the Quarnel provider with Processing while it is loaded."""

from qgis.core import QgsApplication


class QuarnelPlugin:
    def __init__(self, iface=None):
        self.iface = iface
        self.provider = None

    def initProcessing(self):
        from .provider import QuarnelProvider

        self.provider = QuarnelProvider()
        QgsApplication.processingRegistry().addProvider(self.provider)

    def initGui(self):
        self.initProcessing()

    def unload(self):
        if self.provider is not None:
            QgsApplication.processingRegistry().removeProvider(self.provider)
            self.provider = None
