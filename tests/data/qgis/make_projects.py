#!/usr/bin/python3
"""Writes the QGIS project fixtures of the tests with QGIS itself (Debian's python3-qgis).

Run from anywhere: /usr/bin/python3 tests/data/qgis/make_projects.py
It rewrites data/ (a shapefile, a GeoPackage with two layers, a GeoJSON file in WGS 84, a
GeoJSON file with long field names, a CSV file of points) and the projects project.qgs and
project.qgz beside this script and sub/fidelity.qgs and sub/fidelity.qgz below it, saved with
relative paths.

The project holds, in EPSG:32636 (UTM zone 36N):
  Parcels   polygons, categorized on KIND, display expression "NAME"
  Geology   a group with
    Roads   GeoPackage layer, single line symbol (dashed)
    Wells   GeoPackage layer, graduated markers on DEPTH, hidden
  Springs   GeoJSON in EPSG:4326, single marker symbol
  Scratch   a memory layer (a provider that is not a file)
  two text annotations in the main annotation layer, one inside parcel "North", one far outside.

The projects in sub/ name their data as ../data/… and hold, in EPSG:32636:
  Geology   GeoJSON polygons with long field names, a filter on GEOLOGY_KIND_CODE, a
            rule-based renderer filtering on it, labels of GEOLOGY_NAME_TEXT, opacity 0.7
  Wells     the GeoPackage's second layer named by its index (|layerid=1)
  Points    a delimited-text layer of data/pts.csv
The .qgz also holds auxiliary storage (a .qgd: an auxiliary field of Geology) and an
attached file (a note).
"""
import os
import shutil
import sys

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")

from qgis.core import (QgsAnnotationPointTextItem, QgsApplication, QgsCategorizedSymbolRenderer,
                       QgsCoordinateReferenceSystem, QgsFeature, QgsField, QgsFields, QgsGeometry,
                       QgsGraduatedSymbolRenderer, QgsLayerTreeLayer, QgsPointXY, QgsProject,
                       QgsRendererCategory, QgsRendererRange, QgsSingleSymbolRenderer, QgsSymbol,
                       QgsVectorFileWriter, QgsVectorLayer, QgsWkbTypes, QgsCoordinateTransformContext)
from qgis.PyQt.QtCore import QVariant
from qgis.PyQt.QtGui import QColor
from qgis.PyQt.QtCore import Qt

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data")
UTM = QgsCoordinateReferenceSystem("EPSG:32636")
WGS84 = QgsCoordinateReferenceSystem("EPSG:4326")

X0, Y0 = 500000.0, 6000000.0  # the data lie around this corner of zone 36N


def square(x, y, size):
    return QgsGeometry.fromPolygonXY([[QgsPointXY(x, y), QgsPointXY(x + size, y), QgsPointXY(x + size, y + size),
                                       QgsPointXY(x, y + size), QgsPointXY(x, y)]])


def memory_layer(geometry, crs, fields, rows):
    layer = QgsVectorLayer(f"{geometry}?crs={crs.authid()}", "tmp", "memory")
    layer.dataProvider().addAttributes(fields)
    layer.updateFields()
    features = []
    for geom, values in rows:
        f = QgsFeature(layer.fields())
        f.setGeometry(geom)
        f.setAttributes(values)
        features.append(f)
    layer.dataProvider().addFeatures(features)
    return layer


def write(layer, path, driver, layer_name=None, append=False):
    options = QgsVectorFileWriter.SaveVectorOptions()
    options.driverName = driver
    options.fileEncoding = "UTF-8"
    if layer_name:
        options.layerName = layer_name
    if append:
        options.actionOnExistingFile = QgsVectorFileWriter.CreateOrOverwriteLayer
    result = QgsVectorFileWriter.writeAsVectorFormatV3(layer, path, QgsCoordinateTransformContext(), options)
    if result[0] != QgsVectorFileWriter.NoError:
        sys.exit(f"cannot write {path}: {result}")


def make_data():
    shutil.rmtree(DATA, ignore_errors=True)
    os.makedirs(DATA)
    parcels = memory_layer("Polygon", UTM, [QgsField("NAME", QVariant.String, len=40), QgsField("KIND", QVariant.String, len=20)], [
        (square(X0, Y0, 1000), ["North", "field"]),
        (square(X0 + 1000, Y0, 1000), ["South", "forest"]),
        (square(X0, Y0 + 1000, 1000), ["East", "field"]),
    ])
    write(parcels, os.path.join(DATA, "parcels.shp"), "ESRI Shapefile")
    roads = memory_layer("LineString", UTM, [QgsField("NAME", QVariant.String, len=40), QgsField("CLASS", QVariant.Int)], [
        (QgsGeometry.fromPolylineXY([QgsPointXY(X0 - 500, Y0 + 500), QgsPointXY(X0 + 2500, Y0 + 500)]), ["A1", 1]),
        (QgsGeometry.fromPolylineXY([QgsPointXY(X0 + 500, Y0 - 500), QgsPointXY(X0 + 500, Y0 + 2500)]), ["B2", 2]),
        (QgsGeometry.fromPolylineXY([QgsPointXY(X0 + 5000, Y0), QgsPointXY(X0 + 6000, Y0)]), ["far", 3]),
    ])
    gpkg = os.path.join(DATA, "network.gpkg")
    write(roads, gpkg, "GPKG", "roads")
    wells = memory_layer("Point", UTM, [QgsField("NAME", QVariant.String, len=40), QgsField("DEPTH", QVariant.Double)], [
        (QgsGeometry.fromPointXY(QgsPointXY(X0 + 200, Y0 + 300)), ["w1", 5.0]),
        (QgsGeometry.fromPointXY(QgsPointXY(X0 + 700, Y0 + 800)), ["w2", 25.0]),
        (QgsGeometry.fromPointXY(QgsPointXY(X0 + 1500, Y0 + 500)), ["w3", 60.0]),
    ])
    write(wells, gpkg, "GPKG", "wells", append=True)
    # Springs in geographic coordinates: the points of zone 36N moved to WGS 84.
    from qgis.core import QgsCoordinateTransform
    to_wgs = QgsCoordinateTransform(UTM, WGS84, QgsProject.instance())
    rows = []
    for name, x, y in [("s1", X0 + 100, Y0 + 100), ("s2", X0 + 1900, Y0 + 1900), ("s3", X0 + 400, Y0 + 600)]:
        rows.append((QgsGeometry.fromPointXY(to_wgs.transform(QgsPointXY(x, y))), [name]))
    springs = memory_layer("Point", WGS84, [QgsField("NAME", QVariant.String, len=40)], rows)
    write(springs, os.path.join(DATA, "springs.geojson"), "GeoJSON")


def make_fidelity_data():
    geology = memory_layer("Polygon", UTM, [QgsField("GEOLOGY_KIND_CODE", QVariant.Int),
                                            QgsField("GEOLOGY_NAME_TEXT", QVariant.String, len=40)], [
        (square(X0, Y0, 1000), [5, "sand"]),
        (square(X0 + 1000, Y0, 1000), [20, "clay"]),
        (square(X0, Y0 + 1000, 1000), [30, "rock"]),
        (square(X0 + 10000, Y0 + 10000, 1000), [40, "far"]),
    ])
    write(geology, os.path.join(DATA, "geology.geojson"), "GeoJSON")
    with open(os.path.join(DATA, "pts.csv"), "w") as f:
        f.write("id,name,x,y\n")
        for i, (x, y) in enumerate([(X0 + 100, Y0 + 100), (X0 + 1500, Y0 + 300), (X0 + 9000, Y0 + 9000)]):
            f.write(f"{i + 1},p{i + 1},{x},{y}\n")


def make_fidelity_project(path, archive):
    from qgis.core import (QgsRuleBasedRenderer, QgsPalLayerSettings, QgsVectorLayerSimpleLabeling,
                           QgsTextFormat)
    project = QgsProject.instance()
    project.clear()
    project.setCrs(UTM)
    project.setTitle("Fidelity project")
    root = project.layerTreeRoot()

    geology = QgsVectorLayer(os.path.join(DATA, "geology.geojson"), "Geology", "ogr")
    geology.setSubsetString('"GEOLOGY_KIND_CODE" > 0')
    rules = QgsRuleBasedRenderer.Rule(None)
    for label, expression, color in [("young", '"GEOLOGY_KIND_CODE" > 10', QColor(200, 120, 40)),
                                     ("old", '"GEOLOGY_KIND_CODE" <= 10', QColor(90, 90, 200))]:
        rules.appendChild(QgsRuleBasedRenderer.Rule(symbol(QgsWkbTypes.PolygonGeometry, setColor=color), 0, 0,
                                                    expression, label))
    geology.setRenderer(QgsRuleBasedRenderer(rules))
    settings = QgsPalLayerSettings()
    settings.fieldName = "GEOLOGY_NAME_TEXT"
    settings.setFormat(QgsTextFormat())
    geology.setLabeling(QgsVectorLayerSimpleLabeling(settings))
    geology.setLabelsEnabled(True)
    geology.setOpacity(0.7)
    geology.setDisplayExpression('"GEOLOGY_NAME_TEXT"')
    project.addMapLayer(geology, False)

    wells = QgsVectorLayer(os.path.join(DATA, "network.gpkg") + "|layerid=1", "Wells", "ogr")
    project.addMapLayer(wells, False)

    uri = "file://" + os.path.join(DATA, "pts.csv") + "?type=csv&xField=x&yField=y&crs=EPSG:32636&spatialIndex=no&subsetIndex=no&watchFile=no"
    points = QgsVectorLayer(uri, "Points", "delimitedtext")
    project.addMapLayer(points, False)

    root.addLayer(geology)
    root.addLayer(wells)
    root.addLayer(points)
    for layer in (geology, wells, points):
        if not layer.isValid():
            sys.exit(f"layer {layer.name()} is not valid")
    if archive:
        from qgis.core import QgsPropertyDefinition
        field = project.auxiliaryStorage().createAuxiliaryLayer(geology.fields().field("GEOLOGY_NAME_TEXT"), geology)
        geology.setAuxiliaryLayer(field)
        geology.auxiliaryLayer().addAuxiliaryField(QgsPropertyDefinition("note", QgsPropertyDefinition.DataTypeString, "note", "string"))
        note = project.createAttachedFile("note.txt")
        with open(note, "w") as f:
            f.write("attached to the project\n")
    if not project.write(path):
        sys.exit(f"cannot write {path}: {project.error()}")


def symbol(kind, **props):
    s = QgsSymbol.defaultSymbol(kind)
    layer = s.symbolLayer(0)
    for key, value in props.items():
        getattr(layer, key)(value)
    return s


def make_project(path):
    project = QgsProject.instance()
    project.clear()
    project.setCrs(UTM)
    project.setTitle("Fixture project")
    root = project.layerTreeRoot()

    parcels = QgsVectorLayer(os.path.join(DATA, "parcels.shp"), "Parcels", "ogr")
    categories = [
        QgsRendererCategory("field", symbol(QgsWkbTypes.PolygonGeometry, setColor=QColor(230, 200, 90)), "Field"),
        QgsRendererCategory("forest", symbol(QgsWkbTypes.PolygonGeometry, setColor=QColor(40, 140, 60)), "Forest"),
    ]
    parcels.setRenderer(QgsCategorizedSymbolRenderer("KIND", categories))
    parcels.setDisplayExpression('"NAME"')
    project.addMapLayer(parcels, False)

    roads = QgsVectorLayer(os.path.join(DATA, "network.gpkg") + "|layername=roads", "Roads", "ogr")
    line = symbol(QgsWkbTypes.LineGeometry, setColor=QColor(200, 30, 30), setWidth=0.8, setPenStyle=Qt.DashLine)
    roads.setRenderer(QgsSingleSymbolRenderer(line))
    roads.setDisplayExpression('"NAME"')
    project.addMapLayer(roads, False)

    wells = QgsVectorLayer(os.path.join(DATA, "network.gpkg") + "|layername=wells", "Wells", "ogr")
    ranges = [
        QgsRendererRange(0, 10, symbol(QgsWkbTypes.PointGeometry, setColor=QColor(0, 0, 255), setSize=2), "shallow"),
        QgsRendererRange(10, 100, symbol(QgsWkbTypes.PointGeometry, setColor=QColor(0, 0, 120), setSize=4), "deep"),
    ]
    wells.setRenderer(QgsGraduatedSymbolRenderer("DEPTH", ranges))
    project.addMapLayer(wells, False)

    springs = QgsVectorLayer(os.path.join(DATA, "springs.geojson"), "Springs", "ogr")
    springs.setRenderer(QgsSingleSymbolRenderer(symbol(QgsWkbTypes.PointGeometry, setColor=QColor(0, 160, 220), setSize=3)))
    project.addMapLayer(springs, False)

    scratch = QgsVectorLayer("Point?crs=EPSG:32636&field=NOTE:string", "Scratch", "memory")
    project.addMapLayer(scratch, False)

    root.addLayer(parcels)
    group = root.addGroup("Geology")
    group.addLayer(roads)
    group.addLayer(wells).setItemVisibilityChecked(False)
    root.addLayer(springs)
    root.addLayer(scratch)

    annotations = project.mainAnnotationLayer()
    for text, x, y in [("inside", X0 + 500, Y0 + 500), ("outside", X0 + 20000, Y0 + 20000)]:
        annotations.addItem(QgsAnnotationPointTextItem(text, QgsPointXY(x, y)))

    for layer in (parcels, roads, wells, springs, scratch):
        if not layer.isValid():
            sys.exit(f"layer {layer.name()} is not valid")
    if not project.write(path):
        sys.exit(f"cannot write {path}: {project.error()}")


def main():
    app = QgsApplication([], False)
    app.initQgis()
    make_data()
    make_project(os.path.join(HERE, "project.qgs"))
    make_project(os.path.join(HERE, "project.qgz"))
    make_fidelity_data()
    shutil.rmtree(os.path.join(HERE, "sub"), ignore_errors=True)
    os.makedirs(os.path.join(HERE, "sub"))
    make_fidelity_project(os.path.join(HERE, "sub", "fidelity.qgs"), False)
    make_fidelity_project(os.path.join(HERE, "sub", "fidelity.qgz"), True)
    QgsProject.instance().clear()
    app.exitQgis()


if __name__ == "__main__":
    main()
