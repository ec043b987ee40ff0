// Deterministic synthetic layers for the cut benchmark: points, polylines and polygons with
// integer, double and string attributes in one projected system, two cutters (a 5-vertex one
// and a 20,000-vertex star, each about 30 % of the extent) and a map document over them.
//
//   gen_layers OUT_DIR [--points N] [--lines N] [--polygons N] [--seed S]
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

constexpr double kExtent = 100000.0;  // metres, EPSG:32636, origin at (400000, 6000000)
constexpr double kX0 = 400000.0, kY0 = 6000000.0;

struct Options {
  std::string out;
  long points = 1000000, lines = 200000, polygons = 100000;
  unsigned seed = 20261208;
};

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "gen_layers: %s: %s\n", what.c_str(), CPLGetLastErrorMsg());
  std::exit(1);
}

OGRLayerH create_layer(GDALDriverH driver, const std::string& path, OGRwkbGeometryType type,
                       OGRSpatialReferenceH srs, GDALDatasetH* ds) {
  std::filesystem::remove(path);
  *ds = GDALCreate(driver, path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
  if (!*ds) fail("cannot create " + path);
  const char* options[] = {"ENCODING=UTF-8", nullptr};
  std::string name = std::filesystem::path(path).stem().string();
  OGRLayerH layer = GDALDatasetCreateLayer(*ds, name.c_str(), srs, type, const_cast<char**>(options));
  if (!layer) fail("cannot create layer " + name);
  auto field = [&](const char* n, OGRFieldType t, int width, int precision) {
    OGRFieldDefnH f = OGR_Fld_Create(n, t);
    OGR_Fld_SetWidth(f, width);
    OGR_Fld_SetPrecision(f, precision);
    if (OGR_L_CreateField(layer, f, TRUE) != OGRERR_NONE) fail("cannot create field");
    OGR_Fld_Destroy(f);
  };
  field("ID", OFTInteger, 10, 0);
  field("VAL", OFTReal, 19, 6);
  field("NAME", OFTString, 24, 0);
  return layer;
}

void add_feature(OGRLayerH layer, OGRGeometryH geometry, long id, double val) {
  OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(layer));
  OGR_F_SetFieldInteger(f, 0, static_cast<int>(id));
  OGR_F_SetFieldDouble(f, 1, val);
  char name[48];
  std::snprintf(name, sizeof name, "объект %ld", id);
  OGR_F_SetFieldString(f, 2, name);
  OGR_F_SetGeometryDirectly(f, geometry);
  if (OGR_L_CreateFeature(layer, f) != OGRERR_NONE) fail("cannot write feature");
  OGR_F_Destroy(f);
}

OGRGeometryH ring_polygon(const std::vector<std::pair<double, double>>& ring) {
  OGRGeometryH r = OGR_G_CreateGeometry(wkbLinearRing);
  for (auto [x, y] : ring) OGR_G_AddPoint_2D(r, x, y);
  OGR_G_AddPoint_2D(r, ring.front().first, ring.front().second);
  OGRGeometryH p = OGR_G_CreateGeometry(wkbPolygon);
  OGR_G_AddGeometryDirectly(p, r);
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "gen_layers: %s needs a value\n", a.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--points") o.points = std::atol(next());
    else if (a == "--lines") o.lines = std::atol(next());
    else if (a == "--polygons") o.polygons = std::atol(next());
    else if (a == "--seed") o.seed = static_cast<unsigned>(std::atol(next()));
    else if (o.out.empty() && a[0] != '-') o.out = a;
    else {
      std::fprintf(stderr, "usage: gen_layers OUT_DIR [--points N] [--lines N] [--polygons N] [--seed S]\n");
      return 2;
    }
  }
  if (o.out.empty()) {
    std::fprintf(stderr, "usage: gen_layers OUT_DIR [--points N] [--lines N] [--polygons N] [--seed S]\n");
    return 2;
  }
  GDALAllRegister();
  std::filesystem::create_directories(o.out + "/data");
  GDALDriverH driver = GDALGetDriverByName("ESRI Shapefile");
  OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
  OSRImportFromEPSG(srs, 32636);
  std::mt19937_64 rng(o.seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);

  GDALDatasetH ds = nullptr;
  OGRLayerH layer = create_layer(driver, o.out + "/data/points.shp", wkbPoint, srs, &ds);
  for (long i = 0; i < o.points; ++i) {
    OGRGeometryH p = OGR_G_CreateGeometry(wkbPoint);
    OGR_G_SetPoint_2D(p, 0, kX0 + u(rng) * kExtent, kY0 + u(rng) * kExtent);
    add_feature(layer, p, i, u(rng) * 1e6);
  }
  GDALClose(ds);

  layer = create_layer(driver, o.out + "/data/lines.shp", wkbLineString, srs, &ds);
  for (long i = 0; i < o.lines; ++i) {
    OGRGeometryH l = OGR_G_CreateGeometry(wkbLineString);
    double x = kX0 + u(rng) * kExtent, y = kY0 + u(rng) * kExtent;
    int n = 10 + static_cast<int>(u(rng) * 41);
    double heading = u(rng) * 2 * M_PI;
    for (int k = 0; k < n; ++k) {
      OGR_G_AddPoint_2D(l, x, y);
      heading += (u(rng) - 0.5) * 0.8;
      x += std::cos(heading) * 60;
      y += std::sin(heading) * 60;
    }
    add_feature(layer, l, i, u(rng) * 1e6);
  }
  GDALClose(ds);

  layer = create_layer(driver, o.out + "/data/polygons.shp", wkbPolygon, srs, &ds);
  for (long i = 0; i < o.polygons; ++i) {
    double cx = kX0 + u(rng) * kExtent, cy = kY0 + u(rng) * kExtent, r = 50 + u(rng) * 150;
    int n = 5 + static_cast<int>(u(rng) * 4);
    std::vector<std::pair<double, double>> ring;
    for (int k = 0; k < n; ++k) {
      double a = -2 * M_PI * k / n;  // clockwise, as shapefiles keep outer rings
      ring.push_back({cx + std::cos(a) * r, cy + std::sin(a) * r});
    }
    add_feature(layer, ring_polygon(ring), i, u(rng) * 1e6);
  }
  GDALClose(ds);

  // Cutters: feature 1 a pentagon, feature 2 a 20,000-vertex star, both about 30 % of the
  // extent and centred on it.
  layer = create_layer(driver, o.out + "/data/sheets.shp", wkbPolygon, srs, &ds);
  double cx = kX0 + kExtent / 2, cy = kY0 + kExtent / 2;
  std::vector<std::pair<double, double>> pentagon;
  double rp = std::sqrt(0.30 * kExtent * kExtent / (2.5 * std::sin(2 * M_PI / 5)));
  for (int k = 0; k < 5; ++k) {
    double a = M_PI / 2 - 2 * M_PI * k / 5;
    pentagon.push_back({cx + std::cos(a) * rp, cy + std::sin(a) * rp});
  }
  add_feature(layer, ring_polygon(pentagon), 1, 1);
  std::vector<std::pair<double, double>> star;
  const int kStarVertices = 20000;
  // Radius alternates around a mean chosen so that the area is about 30 % of the extent.
  double mean = std::sqrt(0.30 * kExtent * kExtent / M_PI);
  for (int k = 0; k < kStarVertices; ++k) {
    double a = -2 * M_PI * k / kStarVertices;
    double r = mean * (k % 2 == 0 ? 1.04 : 0.96);
    star.push_back({cx + std::cos(a) * r, cy + std::sin(a) * r});
  }
  add_feature(layer, ring_polygon(star), 2, 2);
  GDALClose(ds);
  OSRDestroySpatialReference(srs);

  std::ofstream doc(o.out + "/bench.mxd");
  doc << R"({"format": "areaclip-map", "version": 1, "title": "bench", "focus_map": 0,
  "maps": [{"name": "Layers", "spatial_reference": "EPSG:32636",
    "extent": [400000, 6000000, 500000, 6100000],
    "layers": [
      {"type": "feature", "name": "sheets", "visible": true, "source": {"path": "data/sheets.shp", "layer": null}},
      {"type": "feature", "name": "points", "visible": true, "source": {"path": "data/points.shp", "layer": null}},
      {"type": "feature", "name": "lines", "visible": true, "source": {"path": "data/lines.shp", "layer": null}},
      {"type": "feature", "name": "polygons", "visible": true, "source": {"path": "data/polygons.shp", "layer": null}}],
    "graphics": {"elements": [], "layers": []}}],
  "page_layout": {}}
)";
  std::printf("wrote %s: %ld points, %ld lines, %ld polygons, cutters 1 (5 vertices) and 2 (%d vertices)\n",
              o.out.c_str(), o.points, o.lines, o.polygons, kStarVertices);
  return 0;
}
