#!/usr/bin/env python3
"""Builds the sample map of examples/: small generated data in UTM zone 36N (EPSG:32636)
written as shapefiles with ogr2ogr, and the map document map.mxd that shows them.

Run from anywhere: python3 examples/make_sample.py. Needs python3 and ogr2ogr (gdal-bin).
The output is committed, so the demo needs neither; rerun only to change the sample.
The data are deterministic (a fixed random seed): a rerun gives the same features.
"""
import json
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data")
UTM = "EPSG:32636"

# Map sheets: 3 x 2 sheets of 20 km.
X0, Y0, SHEET = 400000.0, 5600000.0, 20000.0
rng = random.Random(20240611)


def feature(geometry, **properties):
    return {"type": "Feature", "properties": properties, "geometry": geometry}


def polygon(ring):
    ring = list(ring)
    if ring[0] != ring[-1]:
        ring.append(ring[0])
    return {"type": "Polygon", "coordinates": [[[round(x, 2), round(y, 2)] for x, y in ring]]}


def line(points):
    return {"type": "LineString", "coordinates": [[round(x, 2), round(y, 2)] for x, y in points]}


def point(x, y, digits=2):
    return {"type": "Point", "coordinates": [round(x, digits), round(y, digits)]}


def rect(x0, y0, x1, y1):
    return polygon([(x0, y0), (x1, y0), (x1, y1), (x0, y1)])


def sheets():
    letters = ["А", "Б", "В", "Г", "Д", "Е"]
    out = []
    for row in range(2):
        for col in range(3):
            n = row * 3 + col
            x, y = X0 + col * SHEET, Y0 + (1 - row) * SHEET
            out.append(feature(rect(x, y, x + SHEET, y + SHEET),
                               NOMENCL="M-36-%d-%s" % (1 + row, letters[n]),
                               NAME="Лист %d" % (n + 1), AREA_KM2=round(SHEET * SHEET / 1e6, 1)))
    return out


def geology():
    # A 4 x 3 grid of cells over a wider area; inner vertices moved so borders look natural,
    # shared by the neighbouring cells so the polygons fit together.
    cols, rows = 4, 3
    x_min, y_min, width, height = 385000.0, 5590000.0, 90000.0, 60000.0
    vx = [[x_min + width * i / cols for j in range(rows + 1)] for i in range(cols + 1)]
    vy = [[y_min + height * j / rows for j in range(rows + 1)] for i in range(cols + 1)]
    for i in range(1, cols):
        for j in range(1, rows):
            vx[i][j] += rng.uniform(-5000, 5000)
            vy[i][j] += rng.uniform(-4000, 4000)
    kinds = [("песчаник", "J3"), ("глина", "K1"), ("известняк", "K2"), ("суглинок", "Q"), ("мергель", "P1")]
    out = []
    for i in range(cols):
        for j in range(rows):
            ring = [(vx[i][j], vy[i][j]), (vx[i + 1][j], vy[i + 1][j]),
                    (vx[i + 1][j + 1], vy[i + 1][j + 1]), (vx[i][j + 1], vy[i][j + 1])]
            kind, age = kinds[(i * 2 + j * 3) % len(kinds)]
            out.append(feature(polygon(ring), KIND=kind, AGE=age, CODE=i * 10 + j))
    return out


def wavy(x_from, y_from, x_to, y_to, amplitude, waves, steps=40):
    dx, dy = x_to - x_from, y_to - y_from
    length = math.hypot(dx, dy)
    nx, ny = -dy / length, dx / length
    pts = []
    for k in range(steps + 1):
        t = k / steps
        off = amplitude * math.sin(t * waves * math.pi * 2)
        pts.append((x_from + dx * t + nx * off, y_from + dy * t + ny * off))
    return pts


def rivers():
    return [
        feature(line(wavy(392000, 5645000, 468000, 5608000, 2500, 2.5)), NAME="Припять", ORDER_=1),
        feature(line(wavy(418000, 5596000, 436000, 5628000, 1200, 1.5)), NAME="Уж", ORDER_=2),
        feature(line(wavy(452000, 5648000, 447000, 5624000, 800, 1.2)), NAME="Тетерев", ORDER_=2),
    ]


def roads():
    return [
        feature(line([(396000, 5612000), (415000, 5617000), (430000, 5615000), (466000, 5633000)]),
                NAME="Р-02", CLASS="региональная"),
        feature(line([(428000, 5594000), (431000, 5620000), (427000, 5646000)]),
                NAME="Т-10-01", CLASS="местная"),
    ]


def faults():
    return [
        feature(line([(398000, 5598000), (424000, 5631000), (441000, 5647000)]), TYPE="сброс"),
        feature(line([(445000, 5596000), (457000, 5622000)]), TYPE="надвиг"),
        feature(line([(405000, 5640000), (467000, 5630000)]), TYPE="сброс"),
    ]


def wells():
    out = []
    for n in range(24):
        x = rng.uniform(X0 - 3000, X0 + 3 * SHEET + 3000)
        y = rng.uniform(Y0 - 3000, Y0 + 2 * SHEET + 3000)
        out.append(feature(point(x, y), WELL="С-%02d" % (n + 1), DEPTH=round(rng.uniform(15, 290), 1)))
    return out


def settlements():
    # Longitude and latitude (EPSG:4326), a layer in another coordinate system than the map.
    places = [("Овруч", 31.63, 50.79), ("Народичи", 31.95, 50.87), ("Малин", 32.10, 50.66),
              ("Радомышль", 32.25, 50.74), ("Хочино", 31.78, 50.60)]
    return [feature(point(lon, lat, 5), NAME=name, POP=rng.randint(300, 25000)) for name, lon, lat in places]


def write_layer(name, features, srs):
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, name + ".geojson")
        with open(src, "w", encoding="utf-8") as f:
            json.dump({"type": "FeatureCollection", "features": features}, f, ensure_ascii=False)
        for ext in (".shp", ".shx", ".dbf", ".prj", ".cpg"):
            path = os.path.join(DATA, name + ext)
            if os.path.exists(path):
                os.remove(path)
        subprocess.run(["ogr2ogr", "-f", "ESRI Shapefile", "-a_srs", srs, "-lco", "ENCODING=UTF-8",
                        os.path.join(DATA, name + ".shp"), src, "-nln", name], check=True)


def write_relief():
    # A small elevation grid (Esri ASCII grid, read by GDAL); the map shows it as a raster
    # layer, which a cut never clips.
    ncols, nrows, cell = 45, 30, 2000.0
    lines = ["ncols %d" % ncols, "nrows %d" % nrows, "xllcorner 385000", "yllcorner 5590000",
             "cellsize %g" % cell, "NODATA_value -9999"]
    for r in range(nrows):
        lines.append(" ".join("%.1f" % (150 + 40 * math.sin(c / 6.0) * math.cos(r / 5.0)) for c in range(ncols)))
    with open(os.path.join(DATA, "relief.asc"), "w") as f:
        f.write("\n".join(lines) + "\n")


def fill(color, outline="#404040", width=0.6, style=0):
    return {"type": "fill", "color": color, "style": style,
            "outline": {"type": "line", "color": outline, "width": width, "style": 0}}


def document():
    geology_symbols = {"песчаник": "#F2DC8C", "глина": "#C9A27A", "известняк": "#BFD9EF",
                       "суглинок": "#E8C8A0", "мергель": "#C8E0B4"}
    geology_layer = {
        "type": "feature", "name": "Геология (BASE)", "visible": True,
        "source": {"path": "data/BASE_geology.shp", "layer": None},
        "display_field": "KIND",
        "renderer": {
            "type": "unique_value", "fields": ["KIND"], "field_delimiter": ",",
            "default_symbol": fill("#DDDDDD"),
            "values": [{"value": k, "label": k.capitalize(), "symbol": fill(c)} for k, c in geology_symbols.items()],
        },
    }
    faults_layer = {
        "type": "feature", "name": "Разломы (TECT)", "visible": True,
        "source": {"path": "data/TECT_faults.shp", "layer": None},
        "display_field": "TYPE",
        "renderer": {"type": "unique_value", "fields": ["TYPE"], "field_delimiter": ",",
                     "default_symbol": {"type": "line", "color": "#000000", "width": 1.5, "style": 0},
                     "values": [
                         {"value": "сброс", "label": "Сброс",
                          "symbol": {"type": "line", "color": "#C00000", "width": 2, "style": 0}},
                         {"value": "надвиг", "label": "Надвиг",
                          "symbol": {"type": "line", "color": "#7000A0", "width": 2, "style": 1}}]},
    }
    sheets_layer = {
        "type": "feature", "name": "Листы карты", "visible": True,
        "source": {"path": "data/sheets.shp", "layer": None},
        "display_field": "NOMENCL",
        "renderer": {"type": "simple", "symbol": fill("#FFFFFF", outline="#202020", width=2, style=1)},
    }
    rivers_layer = {
        "type": "feature", "name": "Реки", "visible": True,
        "source": {"path": "data/rivers.shp", "layer": None}, "display_field": "NAME",
        "renderer": {"type": "simple", "symbol": {"type": "line", "color": "#2060D0", "width": 2.5, "style": 0}},
    }
    roads_layer = {
        "type": "feature", "name": "Дороги", "visible": True,
        "source": {"path": "data/roads.shp", "layer": None}, "display_field": "NAME",
        "renderer": {"type": "simple", "symbol": {"type": "line", "color": "#505050", "width": 1.5, "style": 3}},
    }
    wells_layer = {
        "type": "feature", "name": "Скважины", "visible": True,
        "source": {"path": "data/wells.shp", "layer": None}, "display_field": "WELL",
        "renderer": {"type": "class_breaks", "field": "DEPTH", "breaks": [
            {"max": 50, "label": "до 50 м",
             "symbol": {"type": "marker", "color": "#80E080", "size": 6, "style": 0,
                        "outline": {"type": "line", "color": "#000000", "width": 0.5}}},
            {"max": 150, "label": "50–150 м",
             "symbol": {"type": "marker", "color": "#F0C020", "size": 8, "style": 0,
                        "outline": {"type": "line", "color": "#000000", "width": 0.5}}},
            {"max": 300, "label": "150–300 м",
             "symbol": {"type": "marker", "color": "#E03020", "size": 10, "style": 0,
                        "outline": {"type": "line", "color": "#000000", "width": 0.5}}}]},
    }
    settlements_layer = {
        "type": "feature", "name": "Населённые пункты (WGS 84)", "visible": True,
        "source": {"path": "data/settlements_wgs84.shp", "layer": None}, "display_field": "NAME",
        "renderer": {"type": "simple", "symbol": {"type": "marker", "color": "#000000", "size": 7, "style": 1}},
    }
    relief_layer = {"type": "raster", "name": "Рельеф", "visible": False,
                    "source": {"path": "data/relief.asc"}}
    x1, y1 = X0 + 3 * SHEET, Y0 + 2 * SHEET
    main_map = {
        "name": "Геологическая карта",
        "spatial_reference": UTM,
        "extent": [X0 - 6000, Y0 - 6000, x1 + 6000, y1 + 6000],
        "layers": [
            settlements_layer, wells_layer, sheets_layer, rivers_layer, roads_layer,
            {"type": "group", "name": "Геология", "visible": True, "layers": [faults_layer, geology_layer]},
            relief_layer,
        ],
        "graphics": {
            "elements": [
                {"type": "text", "text": "Участок работ", "geometry": point(X0 + 30000, Y0 + 30000)},
                {"type": "text", "text": "За рамкой листов", "geometry": point(X0 + 9000, Y0 + 43500)},
                {"type": "text", "text": "Надпись через границу листов",
                 "geometry": rect(X0 + 13000, Y0 + 9000, X0 + 27000, Y0 + 11000)},
                {"type": "rectangle", "geometry": rect(X0 + 22000, Y0 + 22000, X0 + 38000, Y0 + 36000)},
                {"type": "marker", "geometry": point(X0 + 50000, Y0 + 8000)},
                {"type": "line", "geometry": line([(X0 - 5000, Y0 - 4000), (X0 - 1000, Y0 - 4000)])},
            ],
            "layers": [
                {"name": "Надписи", "elements": [
                    {"type": "text", "text": "Лист M-36-1-Б", "geometry": point(X0 + 30000, Y0 + 37000)},
                    {"type": "text", "text": "Вне листов", "geometry": point(x1 - 6000, Y0 - 3500)},
                ]},
            ],
        },
    }
    overview = {
        "name": "Обзорная карта",
        "spatial_reference": UTM,
        "extent": None,
        "layers": [dict(sheets_layer, name="Листы (обзор)"), dict(rivers_layer, name="Реки (обзор)")],
        "graphics": {"elements": [
            {"type": "text", "text": "Обзор", "geometry": point(X0 + 30000, Y0 + 44000)}]},
    }
    return {"format": "areaclip-map", "version": 1, "title": "Пример: геологическая карта района",
            "focus_map": 0, "maps": [main_map, overview], "page_layout": {"size": "A3", "orientation": "landscape"}}


def main():
    if not shutil.which("ogr2ogr"):
        sys.exit("make_sample.py: ogr2ogr is needed (Debian package gdal-bin)")
    os.makedirs(DATA, exist_ok=True)
    write_layer("sheets", sheets(), UTM)
    write_layer("BASE_geology", geology(), UTM)
    write_layer("TECT_faults", faults(), UTM)
    write_layer("rivers", rivers(), UTM)
    write_layer("roads", roads(), UTM)
    write_layer("wells", wells(), UTM)
    write_layer("settlements_wgs84", settlements(), "EPSG:4326")
    write_relief()
    with open(os.path.join(HERE, "map.mxd"), "w", encoding="utf-8") as f:
        json.dump(document(), f, ensure_ascii=False, indent=2)
        f.write("\n")


if __name__ == "__main__":
    main()
