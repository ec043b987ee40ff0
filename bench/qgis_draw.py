#!/usr/bin/python3
"""QGIS's headless map renderer timed on layers drawn as the map canvas draws them.

qgis_draw.py --size WxH --extent XMIN,YMIN,XMAX,YMAX [--runs N] [--job sequential|parallel]
             [--png FILE] LAYER.shp ...   (the first layer on top)
Prints one line of JSON: the seconds of each run (loading the layers excluded). Points are
black 6 pt circles with a 1 pt outline, lines black 1 pt, areas grey (#c8c8c8) with a black
0.7 pt outline, at 96 dots per inch: the looks the canvas gives layers without a renderer.
"""
import argparse
import json
import os
import sys
import time

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")

from qgis.core import (QgsApplication, QgsFillSymbol, QgsLineSymbol, QgsMapRendererParallelJob,  # noqa: E402
                       QgsMapRendererSequentialJob, QgsMapSettings, QgsMarkerSymbol, QgsRectangle,
                       QgsSingleSymbolRenderer, QgsVectorLayer, QgsWkbTypes)
from qgis.PyQt.QtCore import QSize  # noqa: E402
from qgis.PyQt.QtGui import QColor  # noqa: E402


def symbol_for(geometry_type):
    if geometry_type == QgsWkbTypes.PointGeometry:
        return QgsMarkerSymbol.createSimple({"name": "circle", "color": "0,0,0,0", "outline_color": "0,0,0",
                                             "outline_width": "1", "outline_width_unit": "Point",
                                             "size": "6", "size_unit": "Point"})
    if geometry_type == QgsWkbTypes.LineGeometry:
        return QgsLineSymbol.createSimple({"color": "0,0,0", "width": "1", "width_unit": "Point"})
    return QgsFillSymbol.createSimple({"color": "200,200,200", "outline_color": "0,0,0",
                                       "outline_width": "0.7", "outline_width_unit": "Point"})


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--size", default="1200x800")
    ap.add_argument("--extent", required=True)
    ap.add_argument("--runs", type=int, default=1)
    ap.add_argument("--job", choices=["sequential", "parallel"], default="parallel")
    ap.add_argument("--png")
    ap.add_argument("layers", nargs="+")
    a = ap.parse_args()
    app = QgsApplication([], False)
    app.initQgis()
    layers = []
    for path in a.layers:
        layer = QgsVectorLayer(path, os.path.basename(path), "ogr")
        if not layer.isValid():
            raise SystemExit(f"qgis_draw: cannot open {path}")
        layer.setRenderer(QgsSingleSymbolRenderer(symbol_for(layer.geometryType())))
        layers.append(layer)
    settings = QgsMapSettings()
    settings.setLayers(layers)
    width, height = (int(v) for v in a.size.split("x"))
    settings.setOutputSize(QSize(width, height))
    settings.setOutputDpi(96)
    settings.setDestinationCrs(layers[0].crs())
    settings.setExtent(QgsRectangle(*(float(v) for v in a.extent.split(","))))
    settings.setBackgroundColor(QColor("white"))
    job_class = QgsMapRendererParallelJob if a.job == "parallel" else QgsMapRendererSequentialJob
    seconds = []
    image = None
    for _ in range(a.runs):
        job = job_class(settings)
        start = time.monotonic()
        job.start()
        job.waitForFinished()
        seconds.append(round(time.monotonic() - start, 4))
        image = job.renderedImage()
    print(json.dumps({"seconds": seconds}), flush=True)
    if a.png:
        image.save(a.png)
    # QGIS 3.22 crashes in exitQgis() while layers are alive in Python; nothing is left to save.
    sys.stdout.flush()
    os._exit(0)


if __name__ == "__main__":
    main()
