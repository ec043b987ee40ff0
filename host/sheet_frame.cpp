// Sheet frames for the host: the degrees' system, the map's feature classes, and the frame
// as a layer of the open map, made through the GIS object model as the application would.
#include "sheet_frame.h"

#include <cstdio>
#include <system_error>

#include <objbase.h>
#include <gis/core.h>
#include <gis/document.h>
#include <win32/text.h>

namespace host {

namespace fs = std::filesystem;
using win32::Bstr;
using win32::ComPtr;

namespace {

template <class I>
ComPtr<I> create(REFCLSID clsid) {
  ComPtr<I> out;
  CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(I), out.put_void());
  return out;
}

// The frame's file name: the sheet's name with what a file name cannot hold made "_".
std::string file_name_of(const std::string& sheet) {
  std::string out;
  for (char c : sheet) out += std::string("\\/:*?\"<>|").find(c) == std::string::npos ? c : '_';
  return out;
}

// A hollow fill with a dark outline: the frame shows the sheet without hiding the map.
ComPtr<IFeatureRenderer> frame_renderer() {
  ComPtr<ISimpleLineSymbol> outline = create<ISimpleLineSymbol>(CLSID_SimpleLineSymbol);
  ComPtr<IRgbColor> color = create<IRgbColor>(CLSID_RgbColor);
  ComPtr<ISimpleFillSymbol> fill = create<ISimpleFillSymbol>(CLSID_SimpleFillSymbol);
  ComPtr<ISimpleRenderer> renderer = create<ISimpleRenderer>(CLSID_SimpleRenderer);
  if (!outline || !color || !fill || !renderer) return {};
  color->put_Red(200);
  color->put_Green(0);
  color->put_Blue(0);
  outline->put_Color(color.get());
  outline->put_Width(1.5);
  fill->put_Style(esriSFSHollow);
  fill->put_Outline(outline.get());
  renderer->putref_Symbol(fill.as<ISymbol>().get());
  return renderer.as<IFeatureRenderer>();
}

}  // namespace

ComPtr<ISpatialReference> sheet_degrees_system(IMap* map, const std::string& sheet_crs, std::string* error) {
  ComPtr<ISpatialReference> sr;
  if (!sheet_crs.empty()) {
    std::string why;
    sr = gis::SpatialReferenceFromText(sheet_crs, &why);
    if (!sr) {
      *error = "--sheet-crs " + sheet_crs + " names no coordinate system: " + why;
      return {};
    }
  } else if (map) {
    map->get_SpatialReference(sr.put());
    if (!sr) {
      *error = "the map has no coordinate system: give the sheets' one with --sheet-crs";
      return {};
    }
  }
  return gis::GeographicSystemOf(sr.get(), error);
}

std::vector<ComPtr<IFeatureClass>> map_feature_classes(IMap* map) {
  std::vector<ComPtr<IFeatureClass>> out;
  ComPtr<IEnumLayer> layers;
  if (map) map->get_Layers(nullptr, VARIANT_TRUE, layers.put());
  ComPtr<ILayer> layer;
  while (layers && layers->Next(layer.put()) == S_OK && layer) {
    ComPtr<IFeatureLayer> feature_layer = layer.as<IFeatureLayer>();
    ComPtr<IFeatureClass> feature_class;
    if (feature_layer) feature_layer->get_FeatureClass(feature_class.put());
    if (feature_class) out.push_back(feature_class);
  }
  return out;
}

namespace {

// Whether a feature of the map may lie on no sheet of the series: the recorded extent of a
// layer's data, taken into degrees, comes near 88° of latitude or 180° of longitude (its
// corners alone are projected, hence the margin), or cannot be had.
bool may_leave_series(IMap* map, ISpatialReference* degrees) {
  for (const ComPtr<IFeatureClass>& c : map_feature_classes(map)) {
    double box[4];
    if (!gis::FeatureClassBounds(c.get(), degrees, box)) return true;
    if (box[0] < -179 || box[2] > 179 || box[1] < -87 || box[3] > 87) return true;
  }
  return false;
}

}  // namespace

bool sheets_of_map(IMap* map, gis::SheetScale scale, ISpatialReference* degrees, std::vector<gis::MapSheet>* sheets,
                   std::string* error, std::vector<gis::SheetFeatures>* routed) {
  ComPtr<ISpatialReference> map_sr;
  map->get_SpatialReference(map_sr.put());
  std::vector<ComPtr<IFeatureClass>> owned = map_feature_classes(map);
  std::vector<IFeatureClass*> classes;
  for (const auto& c : owned) classes.push_back(c.get());
  long off_series = 0;
  if (routed) {
    if (!gis::FeaturesBySheet(classes, scale, degrees, map_sr.get(), routed, error, &off_series)) return false;
    sheets->clear();
    for (const gis::SheetFeatures& s : *routed) sheets->push_back(s.sheet);
  } else if (!gis::SheetsWithFeatures(classes, scale, degrees, map_sr.get(), sheets, error, &off_series)) {
    return false;
  }
  if (off_series > 0)
    std::fprintf(stderr,
                 "areaclip: warning: %ld features of the map lie on no sheet of the series (beyond 88° of latitude, "
                 "beyond ±180° of longitude in degrees, or with no place in degrees): no sheet holds them\n",
                 off_series);
  return true;
}

FrameFolder::~FrameFolder() {
  if (!path_.empty()) gis::RemoveMemoryFolder(path_.string());
}

const fs::path& FrameFolder::path() const {
  if (path_.empty()) path_ = gis::MakeMemoryFolder();
  return path_;
}

SheetFrameLayer::SheetFrameLayer(gis::MapSheet sheet, std::string sheet_crs, bool warn_off_series,
                                 const FrameFolder* shared)
    : sheet_(std::move(sheet)), sheet_crs_(std::move(sheet_crs)), warn_off_series_(warn_off_series), shared_(shared) {}

SheetFrameLayer::~SheetFrameLayer() {
  // The layer's files, as the shapefile driver writes them (the own folder goes whole).
  if (!file_.empty() && shared_) gis::RemoveShapefile(file_.string());
}

bool SheetFrameLayer::add_to(IMap* map, std::string* error) {
  ComPtr<ISpatialReference> map_sr;
  map->get_SpatialReference(map_sr.put());
  if (!map_sr) {
    *error = "the map has no coordinate system to place the sheet " + sheet_.name + " in";
    return false;
  }
  ComPtr<ISpatialReference> degrees = sheet_degrees_system(map, sheet_crs_, error);
  if (!degrees) return false;
  // The coarsest scale finds the same features off the series and reads the fewest frames;
  // the features are read only when the data may reach beyond the series.
  std::vector<gis::MapSheet> holding;
  if (warn_off_series_ && may_leave_series(map, degrees.get()) &&
      !sheets_of_map(map, gis::SheetScale::k1000000, degrees.get(), &holding, error))
    return false;
  const fs::path file = (shared_ ? shared_->path() : own_.path()) / (file_name_of(sheet_.name) + ".shp");
  file_ = file;
  if (!gis::WriteSheetLayer(file.string(), {sheet_}, degrees.get(), map_sr.get(), error)) return false;

  ComPtr<IFeatureClass> feature_class = gis::OpenFeatureClass(file.string(), "", error);
  ComPtr<IFeatureLayer> layer = create<IFeatureLayer>(CLSID_FeatureLayer);
  ComPtr<IFeatureRenderer> renderer = frame_renderer();
  if (!feature_class || !layer || !renderer) {
    if (error->empty()) *error = "cannot make the layer of the sheet " + sheet_.name;
    return false;
  }
  layer->putref_FeatureClass(feature_class.get());
  layer->put_Name(Bstr::from_utf8(sheet_.name).get());
  layer->put_DisplayField(Bstr::from_utf8("NAME").get());
  if (ComPtr<IGeoFeatureLayer> geo = layer.as<IGeoFeatureLayer>()) geo->putref_Renderer(renderer.get());
  if (FAILED(map->AddLayer(layer.get()))) {
    *error = "cannot add the layer of the sheet " + sheet_.name + " to the map";
    return false;
  }
  layer_ = layer.as<ILayer>();
  return true;
}

CutRequest sheet_request(const std::string& document, const gis::MapSheet& sheet, const std::string& folder,
                         SheetFrameLayer* frame) {
  CutRequest request;
  request.document = document;
  request.folder = folder;
  request.choice.layer = sheet.name;
  request.choice.by_id = true;
  request.choice.feature_id = 0;
  request.prepare = [frame](IMap* map, std::string* error) { return frame->add_to(map, error); };
  return request;
}

}  // namespace host
