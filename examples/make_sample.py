#!/usr/bin/env python3
"""Builds the sample map of examples/: small made-up data on six real 1:50,000 map sheets,
M-36-1-А, -Б, -В, -Г and M-36-2-А, -В (51°40'–52°00' N, 30°00'–30°45' E), in UTM zone 36N
(EPSG:32636), written as shapefiles with ogr2ogr, and the map document map.mxd that shows them.

The layer of sheets holds the real frames, computed from the names as the series defines
them: the corners in degrees on WGS 84 (the datum of the map's system), every edge densified
along its parallel or meridian to one minute of arc, then projected. The other layers are
placed by degrees too (projected with gdaltransform), so that each feature's place on the
sheets (inside one, across an edge, outside them all) follows from the graticule.

Run from anywhere: python3 examples/make_sample.py [--areaclip PATH]. Needs python3 and the
GDAL tools (gdal-bin). With a built areaclip (build/bin/areaclip, or PATH) the frames are
checked against those `areaclip sheets` writes. The output is committed, so the demo needs
none of this; rerun only to change the sample. The data are deterministic (a fixed random
seed): a rerun gives the same features.
"""
import argparse
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
WGS84 = "EPSG:4326"

# The sheets of the layer "Листы карты", row by row from the north-west.
SHEETS = ["M-36-1-А", "M-36-1-Б", "M-36-2-А", "M-36-1-В", "M-36-1-Г", "M-36-2-В"]
# The block they make, in degrees.
WEST, SOUTH, EAST, NORTH = 30.0, 51.0 + 40 / 60, 30.75, 52.0

rng = random.Random(20240611)


# --- the series ---

def sheet_corners(name):
    """(west, south, east, north) in degrees of a northern sheet of 1:1,000,000 to 1:50,000
    named like "M-36", "M-36-1" or "M-36-1-Б": 4° rows lettered from the equator, 6° columns
    numbered from 180°; 144 sheets of 1:100,000 and in each four of 1:50,000, counted row by
    row from the north-west corner. Counted in whole seconds of arc, so the degrees come out
    as the program's do, to the last bit."""
    parts = name.split("-")
    height, width = 4 * 3600, 6 * 3600
    south = (ord(parts[0]) - ord("A")) * height
    west = (int(parts[1]) - 1) * width
    for part, side in zip(parts[2:], (12, 2)):
        n = int(part) - 1 if part.isdigit() else "АБВГ".index(part)
        height, width = height // side, width // side
        south += (side - 1 - n // side) * height
        west += (n % side) * width
    return (-180.0 + west / 3600.0, south / 3600.0, -180.0 + (west + width) / 3600.0, (south + height) / 3600.0)


def densified_frame(west, south, east, north, step=1 / 60):
    """A closed ring around the corners, clockwise from the south-west corner, each edge cut
    into steps of at most `step` degrees."""
    ring = []
    corners = [(west, south), (west, north), (east, north), (east, south), (west, south)]
    for (x0, y0), (x1, y1) in zip(corners, corners[1:]):
        steps = max(1, math.ceil(max(abs(x1 - x0), abs(y1 - y0)) / step - 1e-9))
        ring += [(x0 + (x1 - x0) * (i / steps), y0 + (y1 - y0) * (i / steps)) for i in range(steps)]
    return ring + ring[:1]


# --- places: degrees into the map's system ---

def utm(points):
    """The points (longitude, latitude on WGS 84) in UTM zone 36N."""
    text = "".join("%.12f %.12f\n" % p for p in points)
    out = subprocess.run(["gdaltransform", "-s_srs", WGS84, "-t_srs", UTM, "-output_xy"], input=text,
                         capture_output=True, text=True, check=True).stdout.split()
    xy = [(float(out[i]), float(out[i + 1])) for i in range(0, len(out), 2)]
    if len(xy) != len(points):
        sys.exit("make_sample.py: gdaltransform gave %d points for %d" % (len(xy), len(points)))
    return xy


def at(lon, lat):
    return utm([(lon, lat)])[0]


# --- geometries ---

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


def area(ring):
    return abs(sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1) in zip(ring, ring[1:]))) / 2


def quad(west, south, east, north):
    """The corners of a box given in degrees, in UTM, clockwise from the south-west."""
    return utm([(west, south), (west, north), (east, north), (east, south)])


# --- layers ---

def sheets():
    """The frames in degrees, written projected by ogr2ogr (full precision: they are the
    frames the program computes from the names)."""
    out = []
    for n, name in enumerate(SHEETS):
        ring = densified_frame(*sheet_corners(name))
        out.append(feature({"type": "Polygon", "coordinates": [[list(p) for p in ring]]}, NOMENCL=name,
                           NAME="Лист %d" % (n + 1), AREA_KM2=round(area(utm(ring)) / 1e6, 1)))
    return out


def geology():
    # A 4 x 3 grid of cells over the block and beyond it; inner vertices moved so borders look
    # natural, shared by the neighbouring cells so the polygons fit together.
    cols, rows = 4, 3
    west, south, east, north = 29.82, 51.56, 30.94, 52.09
    lon = [[west + (east - west) * i / cols for j in range(rows + 1)] for i in range(cols + 1)]
    lat = [[south + (north - south) * j / rows for j in range(rows + 1)] for i in range(cols + 1)]
    for i in range(1, cols):
        for j in range(1, rows):
            lon[i][j] += rng.uniform(-0.07, 0.07)
            lat[i][j] += rng.uniform(-0.035, 0.035)
    xy = utm([(lon[i][j], lat[i][j]) for i in range(cols + 1) for j in range(rows + 1)])
    vertex = lambda i, j: xy[i * (rows + 1) + j]
    kinds = [("песчаник", "J3"), ("глина", "K1"), ("известняк", "K2"), ("суглинок", "Q"), ("мергель", "P1")]
    out = []
    for i in range(cols):
        for j in range(rows):
            ring = [vertex(i, j), vertex(i, j + 1), vertex(i + 1, j + 1), vertex(i + 1, j)]
            kind, age = kinds[(i * 2 + j * 3) % len(kinds)]
            out.append(feature(polygon(ring), KIND=kind, AGE=age, CODE=i * 10 + j))
    return out


def wavy(start, end, amplitude, waves, steps=40):
    """A line from `start` to `end` (degrees) swinging `amplitude` metres to either side."""
    (x_from, y_from), (x_to, y_to) = utm([start, end])
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
        # Across the block from the west to the east, through four sheets.
        feature(line(wavy((29.86, 51.97), (30.90, 51.64), 2500, 2.5)), NAME="Брагинка", ORDER_=1),
        # From the south into M-36-1-В, across M-36-1-Г into M-36-1-Б.
        feature(line(wavy((30.10, 51.62), (30.34, 51.91), 1200, 1.5)), NAME="Вить", ORDER_=2),
        # Down the east of the block, from the north to the south.
        feature(line(wavy((30.80, 52.06), (30.64, 51.61), 900, 1.2)), NAME="Днепр", ORDER_=1),
    ]


def roads():
    return [
        feature(line(utm([(29.86, 51.80), (30.12, 51.845), (30.32, 51.815), (30.90, 51.93)])),
                NAME="Р-35", CLASS="региональная"),
        feature(line(utm([(30.39, 51.61), (30.42, 51.85), (30.36, 52.06)])),
                NAME="Н-1005", CLASS="местная"),
    ]


def faults():
    return [
        feature(line(utm([(29.89, 51.63), (30.21, 51.88), (30.44, 52.05)])), TYPE="сброс"),
        feature(line(utm([(30.52, 51.62), (30.66, 51.83)])), TYPE="надвиг"),
        feature(line(utm([(30.07, 51.96), (30.89, 51.90)])), TYPE="сброс"),
    ]


def wells():
    # Over the block and up to about 3 km beyond its edges.
    places = []
    for n in range(24):
        lon = rng.uniform(WEST - 0.045, EAST + 0.045)
        lat = rng.uniform(SOUTH - 0.027, NORTH + 0.027)
        places.append((lon, lat, round(rng.uniform(15, 290), 1)))
    xy = utm([(lon, lat) for lon, lat, _ in places])
    return [feature(point(x, y), WELL="С-%02d" % (n + 1), DEPTH=depth)
            for n, ((x, y), (_, _, depth)) in enumerate(zip(xy, places))]


def settlements():
    # Longitude and latitude (EPSG:4326), a layer in another coordinate system than the map.
    places = [("Брагин", 30.267, 51.787), ("Заречье", 30.36, 51.93), ("Дубровка", 30.55, 51.75),
              ("Хойники", 29.964, 51.893), ("Лоев", 30.798, 51.944)]
    return [feature(point(lon, lat, 5), NAME=name, POP=rng.randint(300, 25000)) for name, lon, lat in places]


def write_layer(name, features, srs, projected_from=None):
    """Writes the features (in `srs`, or in `projected_from` to be projected into `srs`)."""
    systems = ["-a_srs", srs] if projected_from is None else ["-s_srs", projected_from, "-t_srs", srs]
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, name + ".geojson")
        with open(src, "w", encoding="utf-8") as f:
            json.dump({"type": "FeatureCollection", "features": features}, f, ensure_ascii=False)
        for ext in (".shp", ".shx", ".dbf", ".prj", ".cpg"):
            path = os.path.join(DATA, name + ext)
            if os.path.exists(path):
                os.remove(path)
        subprocess.run(["ogr2ogr", "-f", "ESRI Shapefile"] + systems + ["-lco", "ENCODING=UTF-8",
                        os.path.join(DATA, name + ".shp"), src, "-nln", name], check=True)


def read_layer(path):
    """The features of a layer as GeoJSON, coordinates to the last bit."""
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "layer.geojson")
        subprocess.run(["ogr2ogr", "-f", "GeoJSON", "-lco", "SIGNIFICANT_FIGURES=17", "-lco", "RFC7946=NO",
                        out, path], check=True)
        with open(out, encoding="utf-8") as f:
            return json.load(f)["features"]


def write_relief(extent):
    # A small elevation grid (Esri ASCII grid, read by GDAL) over the map's extent; the map
    # shows it as a raster layer, which a cut never clips.
    cell = 2000.0
    x0, y0 = extent[0], extent[1]
    ncols, nrows = math.ceil((extent[2] - x0) / cell), math.ceil((extent[3] - y0) / cell)
    lines = ["ncols %d" % ncols, "nrows %d" % nrows, "xllcorner %d" % x0, "yllcorner %d" % y0,
             "cellsize %g" % cell, "NODATA_value -9999"]
    for r in range(nrows):
        lines.append(" ".join("%.1f" % (150 + 40 * math.sin(c / 6.0) * math.cos(r / 5.0)) for c in range(ncols)))
    with open(os.path.join(DATA, "relief.asc"), "w") as f:
        f.write("\n".join(lines) + "\n")


def map_extent(margin=6000.0):
    """The sheets' bounds widened by `margin` metres, outward to whole kilometres."""
    xy = [p for name in SHEETS for p in utm(densified_frame(*sheet_corners(name)))]
    xs, ys = [x for x, _ in xy], [y for _, y in xy]
    return [math.floor((min(xs) - margin) / 1000) * 1000.0, math.floor((min(ys) - margin) / 1000) * 1000.0,
            math.ceil((max(xs) + margin) / 1000) * 1000.0, math.ceil((max(ys) + margin) / 1000) * 1000.0]


def fill(color, outline="#404040", width=0.6, style=0):
    return {"type": "fill", "color": color, "style": style,
            "outline": {"type": "line", "color": outline, "width": width, "style": 0}}


def text(words, lon, lat):
    return {"type": "text", "text": words, "geometry": point(*at(lon, lat))}


def graphics():
    """The main map's graphics: (elements, graphics layers)."""
    elements = [
        # Inside M-36-1-Б, in the rectangle below.
        text("Участок работ", 30.375, 51.905),
        # North of the sheets.
        text("За рамкой листов", 30.12, 52.03),
        # A text whose box crosses the meridian between M-36-1-А and M-36-1-Б.
        {"type": "text", "text": "Надпись через границу листов",
         "geometry": polygon(quad(30.17, 51.855, 30.33, 51.87))},
        {"type": "rectangle", "geometry": polygon(quad(30.30, 51.87, 30.45, 51.94))},
        # Inside M-36-2-В.
        {"type": "marker", "geometry": point(*at(30.66, 51.70))},
        # Beyond the south-west corner of the sheets.
        {"type": "line", "geometry": line(utm([(29.93, 51.64), (29.99, 51.64)]))},
    ]
    layers = [
        {"name": "Надписи", "elements": [
            text("Лист M-36-1-Б", 30.375, 51.975),
            text("Вне листов", 30.66, 51.64),
        ]},
    ]
    return elements, layers


def document(extent):
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
    elements, graphics_layers = graphics()
    main_map = {
        "name": "Геологическая карта",
        "spatial_reference": UTM,
        "extent": extent,
        "layers": [
            settlements_layer, wells_layer, sheets_layer, rivers_layer, roads_layer,
            {"type": "group", "name": "Геология", "visible": True, "layers": [faults_layer, geology_layer]},
            relief_layer,
        ],
        "graphics": {"elements": elements, "layers": graphics_layers},
    }
    overview = {
        "name": "Обзорная карта",
        "spatial_reference": UTM,
        "extent": None,
        "layers": [dict(sheets_layer, name="Листы (обзор)"), dict(rivers_layer, name="Реки (обзор)")],
        "graphics": {"elements": [text("Обзор", 30.375, 52.035)]},
    }
    return {"format": "areaclip-map", "version": 1, "title": "Пример: геологическая карта района",
            "focus_map": 0, "maps": [main_map, overview], "page_layout": {"size": "A3", "orientation": "landscape"}}


# --- the check against the program ---

def check_frames(areaclip):
    """Compares the frames written with those `areaclip sheets` computes for the map: the
    same vertices, to the last bit, or the script stops."""
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "frames.shp")
        run = subprocess.run([areaclip, "sheets", os.path.join(HERE, "map.mxd"), "--scale", "1:50000", "-o", path],
                             capture_output=True, text=True)
        if run.returncode != 0:
            sys.exit("make_sample.py: %s sheets failed:\n%s" % (areaclip, run.stderr))
        frames = {f["properties"]["NAME"]: f["geometry"]["coordinates"] for f in read_layer(path)}
    for f in read_layer(os.path.join(DATA, "sheets.shp")):
        name = f["properties"]["NOMENCL"]
        if f["geometry"]["coordinates"] != frames.get(name):
            sys.exit("make_sample.py: the frame of %s differs from the one %s sheets writes" % (name, areaclip))
    print("frames checked: the same as %s sheets writes" % areaclip)


def main():
    parser = argparse.ArgumentParser(description="Builds the sample map of examples/.")
    parser.add_argument("--areaclip", default=os.path.join(HERE, "..", "build", "bin", "areaclip"),
                        help="the program whose sheet frames the sample's are checked against")
    args = parser.parse_args()
    for tool in ("ogr2ogr", "gdaltransform"):
        if not shutil.which(tool):
            sys.exit("make_sample.py: %s is needed (Debian package gdal-bin)" % tool)
    os.makedirs(DATA, exist_ok=True)
    extent = map_extent()
    write_layer("sheets", sheets(), UTM, projected_from=WGS84)
    write_layer("BASE_geology", geology(), UTM)
    write_layer("TECT_faults", faults(), UTM)
    write_layer("rivers", rivers(), UTM)
    write_layer("roads", roads(), UTM)
    write_layer("wells", wells(), UTM)
    write_layer("settlements_wgs84", settlements(), WGS84)
    write_relief(extent)
    with open(os.path.join(HERE, "map.mxd"), "w", encoding="utf-8") as f:
        json.dump(document(extent), f, ensure_ascii=False, indent=2)
        f.write("\n")
    if os.access(args.areaclip, os.X_OK):
        check_frames(args.areaclip)
    else:
        print("frames not checked: no program at %s (build it, or pass --areaclip PATH)" % args.areaclip)


if __name__ == "__main__":
    main()
