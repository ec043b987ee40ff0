// Sheet frames in coordinate systems: the frame as a polygon whose edges follow the
// graticule (densified in degrees, then projected vertex by vertex), the sheets that a
// map's features touch, and a layer of frames written with GDAL.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>

#include <ogrsf_frmts.h>

#include <win32/com_error.h>
#include <win32/text.h>

#include "feature_class.h"
#include "gdal_support.h"
#include "geometry.h"
#include "geometry_object.h"
#include "geometry_ogr.h"
#include "gis/core.h"
#include "gis/sheets.h"
#include "spatial_reference.h"

namespace gis {

namespace {

using core::GeometryState;
using core::GeomPtr;
using win32::ComPtr;

// Degrees between the vertices of a densified frame edge, at most.
constexpr double kStepDegrees = 1.0 / 60.0;

// The points of an edge from (x0, y0) toward (x1, y1), without its end.
void add_edge(std::vector<double>* xy, double x0, double y0, double x1, double y1, bool densify) {
  const double length = std::max(std::fabs(x1 - x0), std::fabs(y1 - y0));
  const int steps = densify ? std::max(1, static_cast<int>(std::ceil(length / kStepDegrees - 1e-9))) : 1;
  for (int i = 0; i < steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    xy->push_back(x0 + (x1 - x0) * t);
    xy->push_back(y0 + (y1 - y0) * t);
  }
}

// A polygon of one ring around the corners, clockwise (the shell orientation of the object
// model), every edge densified or not.
GeomPtr frame_ring(const SheetCorners& c, bool densify) {
  std::vector<double> xy;
  add_edge(&xy, c.west, c.south, c.west, c.north, densify);
  add_edge(&xy, c.west, c.north, c.east, c.north, densify);
  add_edge(&xy, c.east, c.north, c.east, c.south, densify);
  add_edge(&xy, c.east, c.south, c.west, c.south, densify);
  xy.push_back(xy[0]);
  xy.push_back(xy[1]);
  GEOSContextHandle_t h = core::geos();
  const unsigned n = static_cast<unsigned>(xy.size() / 2);
  GEOSCoordSequence* seq = GEOSCoordSeq_create_r(h, n, 2);
  if (!seq) win32::throw_hr(E_OUTOFMEMORY, "GEOS: no coordinate sequence");
  for (unsigned i = 0; i < n; ++i) GEOSCoordSeq_setXY_r(h, seq, i, xy[2 * i], xy[2 * i + 1]);
  GEOSGeometry* ring = GEOSGeom_createLinearRing_r(h, seq);
  if (!ring) win32::throw_hr(E_FAIL, "GEOS: " + core::geos_last_error());
  return core::geos_checked(GEOSGeom_createPolygon_r(h, ring, nullptr, 0), "frame polygon");
}

// The geometry moved `dx` along x; throws ComError.
GeomPtr moved(const GEOSGeometry* g, double dx) {
  auto shift = [](double* x, double*, void* by) {
    *x += *static_cast<double*>(by);
    return 1;
  };
  return core::geos_checked(GEOSGeom_transformXY_r(core::geos(), g, shift, &dx), "frame moved round the earth");
}

// The frame as a polygon in `target`; throws ComError. In geographic degrees 180° is
// written both as -180 and as 180: the frame of a sheet on it (column 1 or 60) also holds
// its copy a turn round the earth, so that features written on either side of the
// meridian lie on it alike.
ComPtr<IGeometry> frame_in(const MapSheet& sheet, ISpatialReference* geographic, ISpatialReference* target) {
  if (!geographic || !core::core_sr(geographic)) win32::throw_hr(E_INVALIDARG, "no geographic system for the sheet's degrees");
  ComPtr<IGeometry> polygon = core::make_geometry(esriGeometryPolygon, frame_ring(sheet.corners, true), geographic);
  GeometryState& state = *core::state_of(polygon.get());
  if (target) core::project_state(state, target);
  const ICoreSpatialReference* in = core::core_sr(target ? target : geographic);
  if (in && in->ogr().IsGeographic() && (sheet.corners.west <= -180.0 || sheet.corners.east >= 180.0)) {
    GeomPtr copy = moved(state.geom(), sheet.corners.west <= -180.0 ? 360.0 : -360.0);
    state.add_parts(copy.get());
  } else if (in && in->system_id() != 0 && in->system_id() == core::core_sr(geographic)->system_id()) {
    // In the degrees it is drawn on, the frame is a rectangle with points along its edges.
    state.known_valid();
  }
  return polygon;
}

std::string message_of(const std::exception& e) { return e.what(); }

bool fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

// The thread's error description for a failed call, or its code.
std::string failed_call(HRESULT hr) {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) == S_OK && info) {
    win32::Bstr description;
    info->GetDescription(description.put());
    if (!description.utf8().empty()) return description.utf8();
  }
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
  return code;
}

int system_id(ISpatialReference* sr) {
  ICoreSpatialReference* core = core::core_sr(sr);
  return core ? core->system_id() : 0;
}

// A GEOS geometry of the points (a point for one, else a line through them).
GeomPtr through(const std::vector<double>& xy) {
  GEOSContextHandle_t h = core::geos();
  const unsigned n = static_cast<unsigned>(xy.size() / 2);
  GEOSCoordSequence* seq = GEOSCoordSeq_create_r(h, n, 2);
  if (!seq) win32::throw_hr(E_OUTOFMEMORY, "GEOS: no coordinate sequence");
  for (unsigned i = 0; i < n; ++i) GEOSCoordSeq_setXY_r(h, seq, i, xy[2 * i], xy[2 * i + 1]);
  return core::geos_checked(n == 1 ? GEOSGeom_createPoint_r(h, seq) : GEOSGeom_createLineString_r(h, seq), "outline");
}

// The shape's bounds in degrees on `geographic`: the outline of the bounds, densified, projected.
bool bounds_in_degrees(const GeometryState& shape, ISpatialReference* sr, ISpatialReference* geographic,
                       SheetCorners* out) {
  core::Bounds b;
  if (!shape.bounds(&b)) return false;
  if (system_id(sr) != system_id(geographic)) {
    constexpr int kSteps = 16;
    std::vector<double> xy;
    if (b.xmax == b.xmin && b.ymax == b.ymin) {
      xy = {b.xmin, b.ymin};
    } else {
      const double dx = (b.xmax - b.xmin) / kSteps, dy = (b.ymax - b.ymin) / kSteps;
      for (int i = 0; i < kSteps; ++i) xy.insert(xy.end(), {b.xmin, b.ymin + dy * i});
      for (int i = 0; i < kSteps; ++i) xy.insert(xy.end(), {b.xmin + dx * i, b.ymax});
      for (int i = 0; i < kSteps; ++i) xy.insert(xy.end(), {b.xmax, b.ymax - dy * i});
      for (int i = 0; i <= kSteps; ++i) xy.insert(xy.end(), {b.xmax - dx * i, b.ymin});
    }
    GeometryState moved(xy.size() == 2 ? esriGeometryPoint : esriGeometryPolyline);
    moved.set(through(xy));
    moved.set_sr(sr);
    core::project_state(moved, geographic);
    if (!moved.bounds(&b)) return false;
  }
  *out = SheetCorners{b.xmin, b.ymin, b.xmax, b.ymax};
  return true;
}

}  // namespace

ComPtr<ISpatialReference> GeographicSystemOf(ISpatialReference* sr, std::string* error) {
  ICoreSpatialReference* core = core::core_sr(sr);
  if (!core) {
    fail(error, sr ? "the coordinate system was not made by the GIS core" : "the map has no coordinate system");
    return {};
  }
  const OGRSpatialReference& srs = core->ogr();
  if (srs.IsGeographic()) return ComPtr<ISpatialReference>(sr);
  core::GdalErrorScope errors;
  std::unique_ptr<OGRSpatialReference, void (*)(OGRSpatialReference*)> geographic(
      srs.CloneGeogCS(), [](OGRSpatialReference* s) {
        if (s) s->Release();
      });
  if (!geographic) {
    fail(error, "the coordinate system has no geographic system" +
                    (errors.failure().empty() ? std::string() : ": " + errors.failure()));
    return {};
  }
  return core::make_spatial_reference(*geographic);
}

ComPtr<IGeometry> SheetPolygon(const MapSheet& sheet, ISpatialReference* geographic, ISpatialReference* target,
                               std::string* error) {
  try {
    return frame_in(sheet, geographic, target);
  } catch (const std::exception& e) {
    fail(error, "the frame of " + sheet.name + " cannot be made: " + message_of(e));
    return {};
  }
}

namespace {

// What a walk over the classes finds: the sheets touched, by name, and (when routing) the
// ids of the features of each class on each.
struct SheetsFound {
  std::map<std::string, MapSheet> sheets;
  // By sheet name, by class; null entries for classes whose features have no ids.
  std::map<std::string, std::vector<std::shared_ptr<std::vector<LONG>>>> ids;
  std::vector<bool> whole;  // by class: its features have no ids
};

// Past this many candidate sheets a feature is prepared itself and the frames tested against it.
constexpr size_t kPrepareFeatureAbove = 4;
// How far beyond a shape's extent in degrees the sheets that may hold it are looked for:
// about a metre, and a thousandth of the extent (its outline is projected at 16 points a
// side, its curved edges in between).
constexpr double kEdgeMarginDegrees = 1e-5;
constexpr double kEdgeMarginShare = 1e-3;

// Frames projected into one system, by sheet name, kept for their prepared form while they
// are used. Past kFrameVertices vertices in all, the frame used longest ago is let go (and
// made again when a feature needs it), so that the memory of a walk stays bounded however
// many sheets it finds: a 1:1,000,000 frame has about 1,200 vertices and its prepared form
// some 200 KiB.
constexpr size_t kFrameVertices = 250000;

class FrameCache {
 public:
  explicit FrameCache(ISpatialReference* geographic) : geographic_(geographic) {}

  // The sheet's frame in `in`; valid until the next call.
  const GeometryState& get(const MapSheet& sheet, ISpatialReference* in) {
    const Key key{system_id(in), sheet.name};
    auto it = frames_.find(key);
    if (it == frames_.end()) {
      ComPtr<IGeometry> frame = in_degrees(sheet, in) ? rectangle(sheet) : frame_in(sheet, geographic_, in);
      const size_t vertices = std::max(0, GEOSGetNumCoordinates_r(core::geos(), core::state_of(frame.get())->geom()));
      while (!frames_.empty() && vertices_ + vertices > kFrameVertices) let_go_oldest();
      it = frames_.emplace(key, Entry{std::move(frame), vertices, 0}).first;
      vertices_ += vertices;
    }
    it->second.used = ++clock_;
    return *core::state_of(it->second.frame.get());
  }

 private:
  using Key = std::pair<int, std::string>;
  struct Entry {
    ComPtr<IGeometry> frame;
    size_t vertices;
    unsigned long long used;
  };

  // In the degrees the sheets are drawn on, the points along a frame's edges lie on the
  // edges exactly (each keeps one coordinate of the corners), so that the rectangle of its
  // corners holds the same points, and GEOS tests a rectangle the faster. A frame on 180°
  // also holds its copy round the earth (frame_in).
  bool in_degrees(const MapSheet& sheet, ISpatialReference* in) const {
    const int id = system_id(in);
    return id != 0 && id == system_id(geographic_) && sheet.corners.west > -180.0 && sheet.corners.east < 180.0;
  }

  ComPtr<IGeometry> rectangle(const MapSheet& sheet) const {
    ComPtr<IGeometry> polygon = core::make_geometry(esriGeometryPolygon, frame_ring(sheet.corners, false), geographic_);
    core::state_of(polygon.get())->known_valid();
    return polygon;
  }

  void let_go_oldest() {
    auto oldest = std::min_element(frames_.begin(), frames_.end(),
                                   [](const auto& a, const auto& b) { return a.second.used < b.second.used; });
    vertices_ -= oldest->second.vertices;
    frames_.erase(oldest);
  }

  ISpatialReference* geographic_;
  std::map<Key, Entry> frames_;
  size_t vertices_ = 0;
  unsigned long long clock_ = 0;
};

// Reads every class once. The sheets found are those a feature lies on, each feature tested
// only while it is on no sheet found yet; with routing, each feature's id is also recorded
// for every sheet whose cut may hold it.
bool walk_classes(const std::vector<IFeatureClass*>& classes, SheetScale scale, ISpatialReference* geographic,
                  ISpatialReference* fallback, bool route, SheetsFound* found, std::string* error,
                  long* off_series) {
  if (off_series) *off_series = 0;
  FrameCache frames(geographic);
  try {
    for (size_t c = 0; c < classes.size(); ++c) {
      IFeatureClass* feature_class = classes[c];
      if (!feature_class) continue;
      bool ids_known = true;
      std::vector<std::pair<std::string, LONG>> on;  // (sheet, id) of this class, in reading order
      ComPtr<IFeatureCursor> cursor;
      HRESULT hr = feature_class->Search(nullptr, VARIANT_FALSE, cursor.put());
      if (FAILED(hr) || !cursor) return fail(error, "cannot read the features: " + failed_call(hr));
      for (;;) {
        if (CancelRequested()) return fail(error, "cancelled");
        ComPtr<IFeature> feature;
        hr = cursor->NextFeature(feature.put());
        if (FAILED(hr)) return fail(error, "cannot read a feature: " + failed_call(hr));
        if (hr != S_OK || !feature) break;
        ComPtr<IGeometry> shape;
        feature->get_Shape(shape.put());
        const GeometryState* state = core::state_of(shape.get());
        if (!state || state->is_empty()) continue;
        ISpatialReference* sr = state->sr() ? state->sr() : fallback;
        if (!sr) return fail(error, "a feature has no coordinate system and the map has none either");
        SheetCorners degrees;
        if (!bounds_in_degrees(*state, sr, geographic, &degrees)) {
          if (off_series) ++*off_series;
          continue;
        }
        // Is the shape on the sheet: its frame in the system `in`, prepared (or the shape,
        // when given prepared), tested against the shape.
        const auto touches = [&](const MapSheet& sheet, const GeometryState& shape, ISpatialReference* in,
                                 const GEOSPreparedGeometry* prepared_shape) {
          const GeometryState& framed = frames.get(sheet, in);
          const char hit = prepared_shape
                               ? GEOSPreparedIntersects_r(core::geos(), prepared_shape, framed.cutter())
                               : GEOSPreparedIntersects_r(core::geos(), framed.prepared_cutter(), shape.geom());
          if (hit == 2) win32::throw_hr(E_FAIL, "GEOS intersects: " + core::geos_last_error());
          return hit == 1;
        };
        // Which sheets hold features: the sheets covering the shape's extent (an edge
        // belonging to the sheet north-east of it), tested in the shape's own system.
        // A shape over many sheets is prepared once and the frames tested against it.
        using PreparedPtr = std::unique_ptr<const GEOSPreparedGeometry, void (*)(const GEOSPreparedGeometry*)>;
        const auto prepared = [](const GeometryState& shape) {
          return PreparedPtr(GEOSPrepare_r(core::geos(), shape.geom()),
                             [](const GEOSPreparedGeometry* p) { GEOSPreparedGeom_destroy_r(core::geos(), p); });
        };
        const std::vector<MapSheet> covering = SheetsCovering(scale, degrees);
        PreparedPtr prepared_state = covering.size() > kPrepareFeatureAbove ? prepared(*state) : PreparedPtr(nullptr, nullptr);
        bool on_sheet = false;
        std::vector<MapSheet> known;
        for (const MapSheet& candidate : covering) {
          if (found->sheets.count(candidate.name)) {
            known.push_back(candidate);
          } else if (touches(candidate, *state, sr, prepared_state.get())) {
            found->sheets.emplace(candidate.name, candidate);
            on_sheet = true;
          }
        }
        for (size_t k = 0; !on_sheet && off_series && k < known.size(); ++k)
          on_sheet = touches(known[k], *state, sr, prepared_state.get());
        if (!on_sheet && off_series) ++*off_series;
        if (!route) continue;

        // Which sheets' cuts may hold the feature: the shape taken into the map's system, as a
        // cut takes it, tested against the frames of the sheets its extent reaches, widened
        // so that a shape on or beside an edge (within what projecting the extent and the
        // frame's edges may move it) meets the sheets on both sides. Sheets found by no
        // feature are dropped later.
        LONG id = -1;
        feature->get_OID(&id);
        if (id < 0) ids_known = false;
        const GeometryState* tested = state;
        ISpatialReference* tested_in = sr;
        std::unique_ptr<GeometryState> moved;
        if (fallback && system_id(sr) != system_id(fallback)) {
          moved = std::make_unique<GeometryState>(state->type());
          moved->set(core::geos_clone(state->geom()));
          moved->set_sr(sr);
          try {
            core::project_state(*moved, fallback);
          } catch (const std::exception&) {
            continue;  // the cut cannot take it into the map either
          }
          if (moved->is_empty()) continue;
          tested = moved.get();
          tested_in = fallback;
        }
        const double margin =
            kEdgeMarginDegrees + kEdgeMarginShare * std::max(degrees.east - degrees.west, degrees.north - degrees.south);
        const SheetCorners widened{degrees.west - margin, degrees.south - margin, degrees.east + margin,
                                   degrees.north + margin};
        const std::vector<MapSheet> candidates = SheetsCovering(scale, widened);
        PreparedPtr prepared_tested(nullptr, nullptr);
        const GEOSPreparedGeometry* prepared_shape = nullptr;
        if (candidates.size() > kPrepareFeatureAbove) {
          if (tested == state && prepared_state) {
            prepared_shape = prepared_state.get();
          } else {
            prepared_tested = prepared(*tested);
            prepared_shape = prepared_tested.get();
          }
        }
        for (const MapSheet& candidate : candidates)
          if (touches(candidate, *tested, tested_in, prepared_shape)) on.emplace_back(candidate.name, id);
      }
      if (!route) continue;
      for (const auto& [name, id] : on) {
        auto& by_class = found->ids[name];
        by_class.resize(classes.size());
        if (!by_class[c]) by_class[c] = std::make_shared<std::vector<LONG>>();
        by_class[c]->push_back(id);
      }
      found->whole.resize(classes.size());
      found->whole[c] = !ids_known;
    }
  } catch (const std::exception& e) {
    return fail(error, message_of(e));
  }
  return true;
}

// North to south, west to east.
bool north_west_first(const MapSheet& a, const MapSheet& b) {
  if (a.corners.north != b.corners.north) return a.corners.north > b.corners.north;
  return a.corners.west < b.corners.west;
}

}  // namespace

bool SheetsWithFeatures(const std::vector<IFeatureClass*>& classes, SheetScale scale, ISpatialReference* geographic,
                        ISpatialReference* fallback, std::vector<MapSheet>* sheets, std::string* error,
                        long* off_series) {
  sheets->clear();
  SheetsFound found;
  if (!walk_classes(classes, scale, geographic, fallback, false, &found, error, off_series)) return false;
  for (auto& [name, sheet] : found.sheets) sheets->push_back(sheet);
  std::sort(sheets->begin(), sheets->end(), north_west_first);
  return true;
}

bool FeaturesBySheet(const std::vector<IFeatureClass*>& classes, SheetScale scale, ISpatialReference* geographic,
                     ISpatialReference* fallback, std::vector<SheetFeatures>* sheets, std::string* error,
                     long* off_series) {
  sheets->clear();
  SheetsFound found;
  if (!walk_classes(classes, scale, geographic, fallback, true, &found, error, off_series)) return false;
  found.whole.resize(classes.size());
  const auto none = std::make_shared<const std::vector<LONG>>();
  for (auto& [name, sheet] : found.sheets) {
    SheetFeatures s{sheet, {}};
    auto& by_class = found.ids[name];
    by_class.resize(classes.size());
    for (size_t c = 0; c < classes.size(); ++c) {
      // A class with no feature on the sheet serves none there; one without ids serves all.
      if (found.whole[c]) s.ids.push_back(nullptr);
      else if (by_class[c]) s.ids.push_back(std::move(by_class[c]));
      else s.ids.push_back(none);
    }
    sheets->push_back(std::move(s));
  }
  std::sort(sheets->begin(), sheets->end(),
            [](const SheetFeatures& a, const SheetFeatures& b) { return north_west_first(a.sheet, b.sheet); });
  return true;
}

std::string MakeMemoryFolder() {
  static std::atomic<unsigned> made{0};
  return "/vsimem/areaclip-" + std::to_string(::getpid()) + "-" + std::to_string(++made);
}

void RemoveMemoryFolder(const std::string& folder) {
  if (core::in_memory(folder)) VSIRmdirRecursive(folder.c_str());
}

void RemoveShapefile(const std::string& path) { core::remove_shapefile(path); }

bool WriteSheetLayer(const std::string& path, const std::vector<MapSheet>& sheets, ISpatialReference* geographic,
                     ISpatialReference* target, std::string* error) {
  namespace fs = std::filesystem;
  core::gdal_init();
  const fs::path file(path);
  std::string ext = file.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const char* driver_name = ext == ".shp" ? "ESRI Shapefile" : ext == ".gpkg" ? "GPKG"
                            : (ext == ".geojson" || ext == ".json") ? "GeoJSON" : nullptr;
  if (!driver_name) return fail(error, path + ": give a file ending in .shp, .gpkg, .geojson or .json");
  // Through GDAL's files: the layer may be written in memory.
  const auto exists = [](const fs::path& p) {
    VSIStatBufL st;
    return VSIStatExL(p.c_str(), &st, VSI_STAT_EXISTS_FLAG) == 0;
  };
  if (exists(file)) return fail(error, path + " exists already; it is never replaced");
  if (ext == ".shp") {
    for (const char* part : {".shx", ".dbf", ".prj", ".cpg"}) {
      fs::path sibling = file;
      sibling.replace_extension(part);
      if (exists(sibling)) return fail(error, sibling.string() + " exists already; it is never replaced");
    }
  }
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driver_name);
  if (!driver) return fail(error, std::string("GDAL has no ") + driver_name + " driver");
  ICoreSpatialReference* core = core::core_sr(target);
  if (!core) return fail(error, "no coordinate system to write the sheets in");

  core::GdalErrorScope errors;
  core::FixedCreationOptions fixed_options;
  bool created = false;
  try {
    core::DatasetPtr dataset(
        driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, ext == ".shp" ? const_cast<char**>(core::kCreateAnew) : nullptr));
    if (!dataset) errors.fail(E_FAIL, "cannot create " + path);
    created = true;
    std::unique_ptr<OGRSpatialReference, void (*)(OGRSpatialReference*)> srs(core->ogr().Clone(),
                                                                              [](OGRSpatialReference* s) {
                                                                                if (s) s->Release();
                                                                              });
    const char* shapefile_options[] = {"ENCODING=UTF-8", nullptr};
    // A shapefile's .prj is written from the text made once per system (a series writes one
    // frame per sheet).
    OGRLayer* layer = dataset->CreateLayer(file.stem().string().c_str(), ext == ".shp" ? nullptr : srs.get(),
                                           wkbPolygon, ext == ".shp" ? const_cast<char**>(shapefile_options) : nullptr);
    if (!layer) errors.fail(E_FAIL, "cannot create a layer in " + path);
    if (ext == ".shp") core::write_prj(path, core);
    OGRFieldDefn name_field("NAME", OFTString);
    name_field.SetWidth(80);
    OGRFieldDefn scale_field("SCALE", OFTInteger);
    if (layer->CreateField(&name_field) != OGRERR_NONE || layer->CreateField(&scale_field) != OGRERR_NONE)
      errors.fail(E_FAIL, "cannot add the fields to " + path);
    for (const MapSheet& sheet : sheets) {
      ComPtr<IGeometry> frame = frame_in(sheet, geographic, target);
      std::unique_ptr<OGRGeometry> g = core::ogr_from_geos(core::state_of(frame.get())->geom());
      OGRFeature feature(layer->GetLayerDefn());
      feature.SetField("NAME", sheet.name.c_str());
      feature.SetField("SCALE", static_cast<int>(ScaleDenominator(sheet.scale)));
      feature.SetGeometry(g.get());
      if (layer->CreateFeature(&feature) != OGRERR_NONE) errors.fail(E_FAIL, "cannot write " + sheet.name + " to " + path);
    }
    if (ext == ".shp") {
      // Written out and kept open for the opening that follows (a sheet's cut opens its frame).
      if (layer->SyncToDisk() != OGRERR_NONE) errors.fail(E_FAIL, "cannot write " + path);
      if (errors.failure().empty()) core::FeatureClass::park_written(path, std::move(dataset), layer);
    }
    dataset.reset();
    if (!errors.failure().empty()) win32::throw_hr(E_FAIL, "cannot write " + path + ": " + errors.failure());
    return true;
  } catch (const std::exception& e) {
    if (created) {
      CPLPushErrorHandler(CPLQuietErrorHandler);
      driver->Delete(path.c_str());
      CPLPopErrorHandler();
    }
    return fail(error, message_of(e));
  }
}

}  // namespace gis
