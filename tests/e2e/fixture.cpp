#include "fixture.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fixture {

void write_layer(const std::filesystem::path& path, OGRwkbGeometryType type, int epsg,
                 const std::vector<Field>& fields, const std::vector<Feature>& features) {
  GDALAllRegister();
  std::string ext = path.extension().string();
  const char* driver_name = ext == ".geojson" ? "GeoJSON" : ext == ".gpkg" ? "GPKG" : "ESRI Shapefile";
  GDALDriverH driver = GDALGetDriverByName(driver_name);
  std::filesystem::create_directories(path.parent_path());
  GDALDatasetH ds = GDALCreate(driver, path.string().c_str(), 0, 0, 0, GDT_Unknown, nullptr);
  if (!ds) throw std::runtime_error("cannot create " + path.string());
  OGRSpatialReferenceH srs = nullptr;
  if (epsg) {
    srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, epsg);
    OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
  }
  const char* options[] = {"ENCODING=UTF-8", nullptr};
  OGRLayerH layer = GDALDatasetCreateLayer(ds, path.stem().string().c_str(), srs, type,
                                           ext == ".shp" ? const_cast<char**>(options) : nullptr);
  if (!layer) throw std::runtime_error("cannot create layer in " + path.string());
  for (const Field& f : fields) {
    OGRFieldDefnH d = OGR_Fld_Create(f.name.c_str(), f.type);
    if (f.width) OGR_Fld_SetWidth(d, f.width);
    if (f.precision) OGR_Fld_SetPrecision(d, f.precision);
    OGR_L_CreateField(layer, d, TRUE);
    OGR_Fld_Destroy(d);
  }
  for (const Feature& feature : features) {
    OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    for (size_t i = 0; i < feature.values.size(); ++i)
      if (!feature.values[i].empty()) OGR_F_SetFieldString(f, static_cast<int>(i), feature.values[i].c_str());
    if (!feature.wkt.empty()) {
      OGRGeometryH g = nullptr;
      char* text = const_cast<char*>(feature.wkt.c_str());
      if (OGR_G_CreateFromWkt(&text, srs, &g) != OGRERR_NONE) throw std::runtime_error("bad wkt " + feature.wkt);
      OGR_F_SetGeometryDirectly(f, g);
    }
    if (OGR_L_CreateFeature(layer, f) != OGRERR_NONE) throw std::runtime_error("cannot write feature");
    OGR_F_Destroy(f);
  }
  if (srs) OSRDestroySpatialReference(srs);
  GDALClose(ds);
}

LayerContents read_layer(const std::filesystem::path& path) {
  GDALAllRegister();
  LayerContents out;
  GDALDatasetH ds = GDALOpenEx(path.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
  if (!ds) return out;
  out.exists = true;
  OGRLayerH layer = GDALDatasetGetLayer(ds, 0);
  OGRFeatureDefnH defn = OGR_L_GetLayerDefn(layer);
  out.type = wkbFlatten(OGR_FD_GetGeomType(defn));
  for (int i = 0; i < OGR_FD_GetFieldCount(defn); ++i)
    out.field_names.push_back(OGR_Fld_GetNameRef(OGR_FD_GetFieldDefn(defn, i)));
  if (OGRSpatialReferenceH srs = OGR_L_GetSpatialRef(layer)) {
    char* wkt = nullptr;
    OSRExportToWkt(srs, &wkt);
    out.srs_wkt = wkt ? wkt : "";
    CPLFree(wkt);
  }
  OGR_L_ResetReading(layer);
  while (OGRFeatureH f = OGR_L_GetNextFeature(layer)) {
    ++out.count;
    std::map<std::string, std::string> row;
    for (int i = 0; i < OGR_FD_GetFieldCount(defn); ++i)
      row[out.field_names[i]] = OGR_F_IsFieldSetAndNotNull(f, i) ? OGR_F_GetFieldAsString(f, i) : "";
    out.rows.push_back(row);
    if (OGRGeometryH g = OGR_F_GetGeometryRef(f)) {
      char* wkt = nullptr;
      OGR_G_ExportToWkt(g, &wkt);
      out.wkt.push_back(wkt ? wkt : "");
      CPLFree(wkt);
      OGRwkbGeometryType t = wkbFlatten(OGR_G_GetGeometryType(g));
      if (t == wkbPolygon || t == wkbMultiPolygon) out.total_area += OGR_G_Area(g);
      if (t == wkbLineString || t == wkbMultiLineString) out.total_length += OGR_G_Length(g);
    } else {
      out.wkt.push_back("");
    }
    OGR_F_Destroy(f);
  }
  GDALClose(ds);
  return out;
}

bool layer_extent(const std::filesystem::path& path, OGREnvelope* extent) {
  GDALAllRegister();
  GDALDatasetH ds = GDALOpenEx(path.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
  if (!ds) return false;
  OGRLayerH layer = GDALDatasetGetLayer(ds, 0);
  bool read = layer && OGR_L_GetExtent(layer, extent, TRUE) == OGRERR_NONE;
  GDALClose(ds);
  return read;
}

void utm36_to_lonlat(double x, double y, double* lon, double* lat) {
  OGRSpatialReferenceH utm = OSRNewSpatialReference(nullptr);
  OGRSpatialReferenceH geo = OSRNewSpatialReference(nullptr);
  OSRImportFromEPSG(utm, 32636);
  OSRImportFromEPSG(geo, 4326);
  OSRSetAxisMappingStrategy(utm, OAMS_TRADITIONAL_GIS_ORDER);
  OSRSetAxisMappingStrategy(geo, OAMS_TRADITIONAL_GIS_ORDER);
  OGRCoordinateTransformationH t = OCTNewCoordinateTransformation(utm, geo);
  OCTTransform(t, 1, &x, &y, nullptr);
  *lon = x;
  *lat = y;
  OCTDestroyCoordinateTransformation(t);
  OSRDestroySpatialReference(utm);
  OSRDestroySpatialReference(geo);
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool same_class(const std::string& wkt, OGRwkbGeometryType type) {
  auto starts = [&](const char* prefix) { return wkt.rfind(prefix, 0) == 0; };
  switch (wkbFlatten(type)) {
    case wkbPoint: case wkbMultiPoint: return starts("POINT") || starts("MULTIPOINT");
    case wkbLineString: case wkbMultiLineString: return starts("LINESTRING") || starts("MULTILINESTRING");
    default: return starts("POLYGON") || starts("MULTIPOLYGON");
  }
}

SameClassSummary summarize_same_class(const LayerContents& contents, OGRwkbGeometryType type) {
  SameClassSummary s;
  for (size_t i = 0; i < contents.wkt.size() && i < contents.rows.size(); ++i) {
    if (!same_class(contents.wkt[i], type)) continue;
    ++s.count;
    s.ids.insert(contents.rows[i].at("ID"));
  }
  s.length = contents.total_length;
  s.area = contents.total_area;
  return s;
}

}  // namespace fixture
