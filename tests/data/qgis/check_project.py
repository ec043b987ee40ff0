#!/usr/bin/python3
"""Opens QGIS projects with QGIS itself (Debian's python3-qgis) and prints, per layer, whether
QGIS finds it valid, its renderer type, its provider and its source; exits 1 when a layer
that reads a file is not valid or reads one outside the folder given with --inside.

  /usr/bin/python3 tests/data/qgis/check_project.py [--inside DIR] PROJECT...

A tool for checking by hand what areaclip writes; the tests do not need QGIS.
"""
import os
import sys

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
from qgis.core import QgsApplication, QgsProject  # noqa: E402


def main(argv):
    inside = None
    if len(argv) > 2 and argv[1] == "--inside":
        inside = os.path.realpath(argv[2])
        argv = argv[2:]
    app = QgsApplication([], False)
    app.initQgis()
    bad = 0
    for path in argv[1:]:
        project = QgsProject.instance()
        project.clear()
        if not project.read(path):
            print(f"{path}: QGIS cannot read it: {project.error()}")
            bad = 1
            continue
        print(f"{path}: {project.crs().authid()}, {len(project.mapLayers())} layers")
        for layer in project.layerTreeRoot().findLayers():
            ml = layer.layer()
            provider = ml.providerType() if ml else "?"
            source = ml.source() if ml else "?"
            renderer = ml.renderer().type() if ml and hasattr(ml, "renderer") and ml.renderer() else "-"
            valid = ml is not None and ml.isValid()
            print(f"  {layer.name():12} {'valid' if valid else 'INVALID':8} {renderer:18} {provider:7} {source}")
            if provider == "ogr":
                file = os.path.realpath(source.split("|")[0])
                if not valid or (inside and not file.startswith(inside + os.sep)):
                    bad = 1
    QgsProject.instance().clear()
    app.exitQgis()
    return bad


if __name__ == "__main__":
    sys.exit(main(sys.argv))
