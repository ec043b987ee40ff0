"""The Processing provider "areaclip"."""
from qgis.core import QgsProcessingProvider

from . import settings
from .algorithms import CutByPolygon, CutBySheet, CutIntoSheets


class AreaclipProvider(QgsProcessingProvider):
    def id(self):
        return "areaclip"

    def name(self):
        return "areaclip"

    def longName(self):  # noqa: N802
        return "areaclip (cut the project by a polygon or a map sheet)"

    def load(self):
        settings.add_settings(self.name(), self.icon())
        self.refreshAlgorithms()
        return True

    def unload(self):
        settings.remove_settings()

    def loadAlgorithms(self):  # noqa: N802
        for algorithm in (CutByPolygon(), CutBySheet(), CutIntoSheets()):
            self.addAlgorithm(algorithm)
