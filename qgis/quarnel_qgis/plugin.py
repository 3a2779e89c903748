"""The plugin: registers the Quarnel provider with Processing while it is loaded."""

from qgis.core import Qgis, QgsApplication, QgsMessageLog


class QuarnelPlugin:
    def __init__(self, iface=None):
        self.iface = iface
        self.provider = None

    def initProcessing(self):
        try:
            from .provider import QuarnelProvider
        except ImportError as error:  # the quarnel package is not where QGIS's Python looks
            QgsMessageLog.logMessage(f"the quarnel Python package cannot be imported ({error}); install it "
                                     "for the Python QGIS runs", "Quarnel", Qgis.Critical)
            return
        self.provider = QuarnelProvider()
        QgsApplication.processingRegistry().addProvider(self.provider)

    def initGui(self):
        self.initProcessing()

    def unload(self):
        if self.provider is not None:
            QgsApplication.processingRegistry().removeProvider(self.provider)
            self.provider = None
