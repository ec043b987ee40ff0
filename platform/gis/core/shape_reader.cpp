// Reading features for drawing: straight from the source, one feature at a time, with only
// the fields the drawing needs, the shapes flattened into coordinate lists without a COM
// object or a GEOS shape in between. A shapefile without a spatial index of its own is read
// whole once, learning where its features lie; later views fetch only the records that may
// show, by id (extent_index.h).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include <win32/com_error.h>
#include <win32/text.h>

#include "buffered_files.h"
#include "extent_index.h"
#include "feature_class.h"
#include "gdal_support.h"
#include "geometry.h"
#include "geometry_object.h"
#include "geometry_ogr.h"
#include "gis/core.h"
#include "gis/shape_index.h"
#include "spatial_reference.h"

namespace gis::core {

namespace {

// Appends the points of a curve as one part of s; false when a coordinate is not finite.
bool add_curve(const OGRSimpleCurve& curve, ShapeParts& s) {
  const int n = curve.getNumPoints();
  const size_t at = s.xy.size();
  s.xy.resize(at + 2 * static_cast<size_t>(n));
  if (n > 0) curve.getPoints(reinterpret_cast<OGRRawPoint*>(s.xy.data() + at));
  s.part_ends.push_back(static_cast<int>(s.xy.size() / 2));
  for (size_t i = at; i < s.xy.size(); ++i)
    if (!std::isfinite(s.xy[i])) return false;
  return true;
}

// Flattens g into out[*used...], reusing the buffers already there; false when a
// coordinate is not finite. Curves are followed by their linear approximation.
bool flatten(const OGRGeometry& g, std::vector<ShapeParts>& out, size_t* used) {
  if (g.IsEmpty()) return true;
  if (g.hasCurveGeometry()) {
    std::unique_ptr<OGRGeometry> linear(g.getLinearGeometry());
    return !linear || linear->hasCurveGeometry() || flatten(*linear, out, used);
  }
  const OGRwkbGeometryType type = wkbFlatten(g.getGeometryType());
  if (type == wkbGeometryCollection) {
    for (const OGRGeometry* member : *g.toGeometryCollection())
      if (!flatten(*member, out, used)) return false;
    return true;
  }
  if (*used == out.size()) out.emplace_back();
  ShapeParts& s = out[(*used)++];
  s.xy.clear();
  s.part_ends.clear();
  switch (type) {
    case wkbPoint: {
      const OGRPoint* p = g.toPoint();
      s.dimension = 0;
      s.xy = {p->getX(), p->getY()};
      s.part_ends.push_back(1);
      return std::isfinite(p->getX()) && std::isfinite(p->getY());
    }
    case wkbMultiPoint: {
      s.dimension = 0;
      for (const OGRPoint* p : *g.toMultiPoint()) {
        if (!std::isfinite(p->getX()) || !std::isfinite(p->getY())) return false;
        if (!p->IsEmpty()) s.xy.insert(s.xy.end(), {p->getX(), p->getY()});
      }
      s.part_ends.push_back(static_cast<int>(s.xy.size() / 2));
      return true;
    }
    case wkbLineString:
    case wkbLinearRing:
      s.dimension = 1;
      return add_curve(*g.toSimpleCurve(), s);
    case wkbMultiLineString:
      s.dimension = 1;
      for (const OGRLineString* line : *g.toMultiLineString())
        if (!add_curve(*line, s)) return false;
      return true;
    case wkbPolygon:
      s.dimension = 2;
      for (const OGRLinearRing* ring : *g.toPolygon())
        if (!add_curve(*ring, s)) return false;
      return true;
    case wkbMultiPolygon:
      // One area: the rings of every polygon, filled even-odd.
      s.dimension = 2;
      for (const OGRPolygon* polygon : *g.toMultiPolygon())
        for (const OGRLinearRing* ring : *polygon)
          if (!add_curve(*ring, s)) return false;
      return true;
    default:  // surfaces of many faces are not drawn
      --*used;
      return true;
  }
}

// The shape kind a class of the type draws; -1 for any.
int dimension_of(esriGeometryType type) {
  switch (type) {
    case esriGeometryPoint:
    case esriGeometryMultipoint: return 0;
    case esriGeometryPolyline: return 1;
    case esriGeometryPolygon: return 2;
    default: return -1;
  }
}

std::string id_text(GIntBig fid) { return fid == OGRNullFID ? std::string() : std::to_string(fid); }

// Whether readings of the class keep an extent index: a shapefile only read, without a
// spatial index of its own (OGR uses a .qix or .sbn; a GeoPackage has its R-tree), unless
// AREACLIP_EXTENT_CACHE=0.
bool keeps_extent_index(FeatureClass& fc, GDALDataset& dataset, OGRLayer& layer) {
  static const bool enabled = [] {
    const char* v = std::getenv("AREACLIP_EXTENT_CACHE");
    return !v || std::string(v) != "0";
  }();
  return enabled && !fc.writable() && dataset.GetDriver() &&
         std::string(dataset.GetDriver()->GetDescription()) == "ESRI Shapefile" &&
         !layer.TestCapability(OLCFastSpatialFilter) && layer.TestCapability(OLCRandomRead);
}

// The files of a source, as the file system names them.
std::vector<std::string> source_files(GDALDataset& dataset) {
  std::vector<std::string> out;
  CPLStringList files(dataset.GetFileList());
  for (int i = 0; i < files.size(); ++i) out.push_back(unbuffered_path(files[i]));
  return out;
}

// A reading that learns the extents of the features: hands its index to the class's cache
// when it has seen every feature and the files did not change meanwhile, nothing otherwise.
class Learning {
 public:
  // `expected`: the number of features the reading will probably see (0: unknown).
  Learning(ExtentCache& cache, GDALDataset& dataset, OGRLayer& layer, bool points, size_t expected)
      : cache_(cache), files_(source_files(dataset)), before_(SourceStamp::of(files_)),
        builder_(extent_of(layer), points, expected) {}
  ~Learning() { cache_.learnt(std::move(index_)); }
  Learning(const Learning&) = delete;
  Learning& operator=(const Learning&) = delete;

  void add(GIntBig fid, const OGRGeometry& g) {
    if (builder_.spoilt()) return;
    OGREnvelope e;
    g.getEnvelope(&e);
    builder_.add(fid, e);
  }
  void finished() {
    if (SourceStamp::of(files_) == before_) index_ = builder_.finish(std::move(before_));
  }

 private:
  static OGREnvelope extent_of(OGRLayer& layer) {
    OGREnvelope e;
    if (layer.GetExtent(&e, FALSE) != OGRERR_NONE) e = OGREnvelope();  // not usable: MinX > MaxX
    return e;
  }
  ExtentCache& cache_;
  std::vector<std::string> files_;
  SourceStamp before_;
  ExtentIndex::Builder builder_;
  std::shared_ptr<const ExtentIndex> index_;
};

// Reads a class of this library straight from its source.
void read_core(FeatureClass& fc, const double* box, ISpatialReference* in, const std::vector<LONG>& fields,
               const ShapeVisitor& each, long* left_out) {
  OGRCoordinateTransformation* transform = nullptr;
  ICoreSpatialReference* from = core_sr(fc.spatial_reference());
  ICoreSpatialReference* to = core_sr(in);
  bool unprojectable = false;
  if (from && to && from->system_id() != to->system_id()) {
    try {
      transform = transformation(from, to);
    } catch (const std::exception&) {
      unprojectable = true;  // every shape is left out and counted
    }
  }
  // The box in the layer's system; everything is read when it cannot be taken there.
  double within[4] = {};
  bool filtered = false;
  if (box) {
    std::copy(box, box + 4, within);
    filtered = !in || !fc.spatial_reference() || project_box(in, fc.spatial_reference(), within);
  }

  DatasetPtr dataset;
  OGRLayer* layer = fc.open_layer(&dataset);
  GdalErrorScope errors;
  // Only the fields asked for are read.
  std::vector<const Column*> columns;
  std::vector<bool> wanted(layer->GetLayerDefn()->GetFieldCount(), false);
  for (LONG index : fields) {
    const Column* c = index >= 0 && static_cast<size_t>(index) < fc.columns().size() ? &fc.columns()[index] : nullptr;
    columns.push_back(c);
    if (c && c->kind == Column::Attribute && c->ogr_index >= 0 && static_cast<size_t>(c->ogr_index) < wanted.size())
      wanted[c->ogr_index] = true;
  }
  // The class's condition is evaluated on the fields read: those it names are kept too.
  const std::string filter = fc.where_with("");
  const std::string filter_upper = CPLString(filter).toupper();
  CPLStringList ignored;
  for (size_t i = 0; i < wanted.size(); ++i) {
    const char* name = layer->GetLayerDefn()->GetFieldDefn(static_cast<int>(i))->GetNameRef();
    if (!wanted[i] && filter_upper.find(CPLString(name).toupper()) == std::string::npos) ignored.AddString(name);
  }
  ignored.AddString("OGR_STYLE");
  layer->SetIgnoredFields(const_cast<const char**>(ignored.List()));
  if (!filter.empty() && layer->SetAttributeFilter(filter.c_str()) != OGRERR_NONE)
    errors.fail(E_INVALIDARG, "the filter \"" + filter + "\" cannot be applied to " + fc.path());

  // Three ways to find the features: by the ids the class's extent index gives for the box;
  // every feature, learning their extents (the box tested here, as OGR would); or through
  // OGR's spatial filter.
  std::shared_ptr<const ExtentIndex> index;
  std::optional<Learning> learning;
  if (keeps_extent_index(fc, *dataset, *layer)) {
    index = fc.extent_cache().current();
    if (!index && fc.extent_cache().begin_learning())
      // The record count, when no condition makes OGR count by reading.
      learning.emplace(fc.extent_cache(), *dataset, *layer, fc.shape_type() == esriGeometryPoint,
                       filter.empty() ? static_cast<size_t>(std::max<GIntBig>(layer->GetFeatureCount(FALSE), 0)) : 0);
  }
  std::optional<RectFilter> rect;
  std::vector<GIntBig> ids;
  size_t next_id = 0;
  // When most features may show, reading on through OGR's filter costs less than seeking.
  const bool by_id = index && filtered && index->candidates(within, index->size() / 2, &ids);
  if (by_id) {
    rect.emplace(within);
  } else if (learning && filtered) {
    rect.emplace(within);
  } else if (filtered) {
    layer->SetSpatialFilterRect(within[0], within[1], within[2], within[3]);
  }
  layer->ResetReading();
  auto next = [&]() -> OGRFeature* {
    if (!by_id) return layer->GetNextFeature();
    while (next_id < ids.size())
      if (OGRFeature* f = layer->GetFeature(ids[next_id++])) return f;
    return nullptr;
  };

  const int kind = dimension_of(fc.shape_type());
  std::vector<ShapeParts> shapes;
  std::vector<std::string> values(columns.size());
  long skipped = 0;
  for (;;) {
    ThrowIfCancelled();
    OGRFeatureUniquePtr f(next());
    if (!errors.failure().empty()) errors.fail(E_FAIL, "cannot read " + fc.path());
    if (!f) break;
    OGRGeometry* g = f->GetGeometryRef();
    if (!g || g->IsEmpty()) continue;
    if (learning) learning->add(f->GetFID(), *g);
    if (rect && !rect->meets(*g)) continue;
    if (!fc.serves(f->GetFID())) continue;
    if (unprojectable || (transform && g->transform(transform) != OGRERR_NONE)) {
      ++skipped;
      continue;
    }
    size_t used = 0;
    if (!flatten(*g, shapes, &used)) {
      ++skipped;
      continue;
    }
    shapes.resize(used);
    if (kind >= 0 && (used != 1 || shapes[0].dimension != kind)) {
      ++skipped;
      continue;
    }
    for (size_t i = 0; i < columns.size(); ++i) {
      values[i].clear();
      if (!columns[i] || columns[i]->kind == Column::Shape) continue;
      if (columns[i]->kind == Column::Oid) {
        values[i] = id_text(f->GetFID());
        continue;
      }
      VARIANT v;
      read_value(*f, *columns[i], &v);
      values[i] = ValueText(v);
      VariantClear(&v);
    }
    each(shapes, values);
  }
  if (learning) learning->finished();
  if (left_out) *left_out += skipped;
}

// Reads a class of other origin through its cursor.
HRESULT read_foreign(IFeatureClass* fc, const double* box, ISpatialReference* in, const std::vector<LONG>& fields,
                     const ShapeVisitor& each, long* left_out) {
  win32::ComPtr<IFeatureCursor> cursor;
  HRESULT hr = box ? SearchFeaturesWithin(fc, box, in, cursor.put()) : fc->Search(nullptr, VARIANT_FALSE, cursor.put());
  if (FAILED(hr) || !cursor) return FAILED(hr) ? hr : E_FAIL;
  std::vector<std::string> values(fields.size());
  win32::ComPtr<IFeature> feature;
  while ((hr = cursor->NextFeature(feature.put())) == S_OK && feature) {
    win32::ComPtr<IGeometry> shape;
    if (FAILED(feature->get_ShapeCopy(shape.put())) || !shape) continue;
    if (in && FAILED(shape->Project(in))) {
      if (left_out) ++*left_out;
      continue;
    }
    for (size_t i = 0; i < fields.size(); ++i) {
      VARIANT v;
      VariantInit(&v);
      values[i] = SUCCEEDED(feature->get_Value(fields[i], &v)) ? ValueText(v) : std::string();
      VariantClear(&v);
    }
    each(GeometryShapes(shape.get()), values);
  }
  return FAILED(hr) ? hr : S_OK;
}

}  // namespace

}  // namespace gis::core

namespace gis {

std::vector<ShapeParts> GeometryShapes(IGeometry* geometry) {
  std::vector<ShapeParts> out;
  core::GeometryState* state = core::state_of(geometry);
  if (!state || state->is_empty() || !state->geom()) return out;
  std::unique_ptr<OGRGeometry> g = core::ogr_from_geos(state->geom());
  size_t used = 0;
  if (g && core::flatten(*g, out, &used)) out.resize(used);
  else out.clear();
  return out;
}

std::string ValueText(const VARIANT& value) {
  if (value.vt == VT_BSTR) return win32::bstr_to_utf8(value.bstrVal);
  VARIANT text;
  VariantInit(&text);
  std::string out;
  if (value.vt != VT_EMPTY && value.vt != VT_NULL &&
      SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR)))
    out = win32::bstr_to_utf8(text.bstrVal);
  VariantClear(&text);
  return out;
}

HRESULT ReadShapes(IFeatureClass* feature_class, const double* box, ISpatialReference* in,
                   const std::vector<LONG>& fields, const ShapeVisitor& each, long* left_out) {
  if (!feature_class) return E_POINTER;
  core::FeatureClass* fc = core::feature_class_of(feature_class);
  if (!fc) return core::read_foreign(feature_class, box, in, fields, each, left_out);
  return win32::com_guard([&] {
    core::read_core(*fc, box, in, fields, each, left_out);
    return S_OK;
  });
}

size_t ExtentIndexSize(IFeatureClass* feature_class) {
  core::FeatureClass* fc = core::feature_class_of(feature_class);
  if (!fc) return 0;
  const std::shared_ptr<const core::ExtentIndex> index = fc->extent_cache().current();
  return index ? index->size() : 0;
}

bool FeatureClassBounds(IFeatureClass* feature_class, ISpatialReference* in, double box[4]) {
  core::FeatureClass* fc = core::feature_class_of(feature_class);
  if (!fc) return false;
  try {
    double e[4];
    if (!fc->extent(e)) return false;
    if (in && fc->spatial_reference() && !core::project_box(fc->spatial_reference(), in, e)) return false;
    std::copy(e, e + 4, box);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace gis
