#include "feature_class.h"

#include "buffered_files.h"
#include "allocator.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

#include <win32/com_error.h>
#include <win32/text.h>

#include "feature.h"
#include "feature_cursor.h"
#include "geometry.h"
#include "geometry_object.h"
#include "geometry_ogr.h"
#include "diagnostics.h"
#include "open_classes.h"
#include "spatial_reference.h"
#include "system_objects.h"

namespace gis::core {

namespace {

constexpr const char* kOidName = "FID";
constexpr const char* kShapeName = "Shape";
// Widest field a dBASE file holds.
constexpr int kDbfMaxWidth = 254;
constexpr int kDbfMaxName = 10;

HRESULT out_text(const std::string& s, BSTR* out) {
  if (!out) return E_POINTER;
  *out = win32::bstr_from_utf8(s);
  return *out ? S_OK : E_OUTOFMEMORY;
}

// The longest prefix of s of at most bytes bytes that does not split a UTF-8 character.
std::string utf8_prefix(const std::string& s, size_t bytes) {
  if (s.size() <= bytes) return s;
  size_t n = bytes;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n);
}

// "a point" / "points", … for the changes channel.
std::string shape_kind(esriGeometryType type, bool plural = false) {
  switch (type) {
    case esriGeometryPoint: return plural ? "points" : "a point";
    case esriGeometryMultipoint: return plural ? "multipoints" : "a multipoint";
    case esriGeometryPolyline: return plural ? "lines" : "a line";
    case esriGeometryPolygon: return plural ? "polygons" : "a polygon";
    default: return plural ? "other shapes" : "another shape";
  }
}

const char* const kShapefileParts[] = {".shp", ".shx", ".dbf", ".prj", ".cpg", ".qix", ".sbn", ".sbx"};

// A shapefile of at least this many records is read through a handle that rests between
// readings (its record index, 8 bytes a record, goes with it); a written one is closed
// rather than kept for its next opening.
constexpr std::uintmax_t kRestingRecords = 64 * 1024;

// True when every coordinate of g is a finite number: no clip has an answer for one that
// is not (a not-a-number vertex would put the shape nowhere, and it would be lost unseen).
bool finite_coordinates(const OGRSimpleCurve& c) {
  for (int i = 0; i < c.getNumPoints(); ++i)
    if (!std::isfinite(c.getX(i)) || !std::isfinite(c.getY(i)) || !std::isfinite(c.getZ(i))) return false;
  return true;
}

bool finite_coordinates(const OGRGeometry& g) {
  if (g.IsEmpty()) return true;
  // Points, lines and polygons, by far the most common, are told by their type.
  switch (wkbFlatten(g.getGeometryType())) {
    case wkbPoint: {
      const OGRPoint* p = g.toPoint();
      return std::isfinite(p->getX()) && std::isfinite(p->getY()) && std::isfinite(p->getZ());
    }
    case wkbLineString: return finite_coordinates(*g.toLineString());
    case wkbPolygon:
      for (const OGRLinearRing* ring : *g.toPolygon())
        if (!finite_coordinates(*ring)) return false;
      return true;
    default: break;
  }
  if (const auto* c = dynamic_cast<const OGRSimpleCurve*>(&g)) return finite_coordinates(*c);
  if (const auto* cc = dynamic_cast<const OGRCompoundCurve*>(&g)) {
    for (const OGRCurve* part : *cc)
      if (!finite_coordinates(*part)) return false;
    return true;
  }
  if (const auto* polygon = dynamic_cast<const OGRCurvePolygon*>(&g)) {
    for (const OGRCurve* ring : *polygon)
      if (!finite_coordinates(*ring)) return false;
    return true;
  }
  if (const auto* collection = dynamic_cast<const OGRGeometryCollection*>(&g)) {
    for (const OGRGeometry* part : *collection)
      if (!finite_coordinates(*part)) return false;
  }
  return true;
}

// The unsigned little-endian number of `bytes` bytes at `at` of b (a .dbf header's counts).
long long little_endian(const std::string& b, size_t at, int bytes) {
  long long v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}

// A shapefile whose .dbf holds fewer records than its .shx indexes shapes has shapes
// without attributes, which GDAL reads as if they were not there: it is refused instead.
void check_record_counts(const std::string& path) {
  if (!EQUAL(std::filesystem::path(path).extension().string().c_str(), ".shp")) return;
  const std::string shx = shapefile_part(path, ".shx");
  const std::string dbf = shapefile_part(path, ".dbf");
  if (shx.empty() || dbf.empty()) return;
  std::error_code ec;
  const uintmax_t shx_size = std::filesystem::file_size(shx, ec);
  const std::string start = file_start(dbf, 8);
  if (ec || shx_size < 100 || start.size() < 8) return;
  const uint64_t records = static_cast<uint64_t>(little_endian(start, 4, 4));
  const uint64_t shapes = (shx_size - 100) / 8;
  if (records < shapes)
    win32::throw_hr(E_FAIL, path + " is damaged: its .dbf holds attributes for " + std::to_string(records) +
                                " of its " + std::to_string(shapes) + " shapes");
}

// The GEOS form of a shape read from a source. GEOS takes closed rings only: a ring whose
// last point is not its first (which GDAL reads with a warning) is closed by its first
// point, the repair GDAL itself makes, rather than lost.
GeomPtr geos_shape_of(const OGRGeometry& g) {
  try {
    return geos_from_ogr(g);
  } catch (const win32::ComError&) {
    if (!OGR_GT_IsSurface(wkbFlatten(g.getGeometryType())) &&
        !OGR_GT_IsSubClassOf(wkbFlatten(g.getGeometryType()), wkbMultiSurface))
      throw;
    std::unique_ptr<OGRGeometry> closed(g.clone());
    closed->closeRings();
    return geos_from_ogr(*closed);
  }
}

}  // namespace

namespace {

// Shapefiles whose last writes failed with no caller to hear of it (a class let go of with
// records still being written): the next opening of one fails with the reason, until the
// file is made anew or removed.
class UnheardFailures {
 public:
  static void note(const std::string& path, const std::string& why) {
    std::lock_guard<std::mutex> g(lock());
    failures()[key(path)] = why;
  }
  static void forget(const std::string& path) {
    std::lock_guard<std::mutex> g(lock());
    failures().erase(key(path));
  }
  // The reason, "" when none was noted.
  static std::string of(const std::string& path) {
    std::lock_guard<std::mutex> g(lock());
    if (failures().empty()) return "";
    auto it = failures().find(key(path));
    return it == failures().end() ? "" : it->second;
  }

 private:
  static std::string key(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return (ec ? std::filesystem::path(path) : absolute).lexically_normal().string();
  }
  static std::mutex& lock() {
    static auto* m = new std::mutex;
    return *m;
  }
  static std::map<std::string, std::string>& failures() {
    static auto* f = new std::map<std::string, std::string>;
    return *f;
  }
};

}  // namespace

void remove_shapefile(const std::string& shp) {
  UnheardFailures::forget(shp);
  ParkedDatasets::drop(shp);
  CPLPushErrorHandler(CPLQuietErrorHandler);
  for (const char* ext : kShapefileParts) VSIUnlink(std::filesystem::path(shp).replace_extension(ext).c_str());
  CPLPopErrorHandler();
}

FeatureClass::FeatureClass(DatasetPtr dataset, OGRLayer* layer, std::string path, bool writable,
                           IWorkspace* workspace, ISpatialReference* assigned)
    : dataset_(std::move(dataset)),
      layer_(layer),
      path_(std::move(path)),
      layer_name_(layer->GetName()),
      writable_(writable),
      workspace_(workspace),
      sr_(assigned) {
  GDALDriver* driver = dataset_->GetDriver();
  shapefile_ = driver && EQUAL(driver->GetDescription(), "ESRI Shapefile");
  build_schema();
}

FeatureClass::~FeatureClass() {
  if (writer_) {
    // The last writes' failure has no caller to hear it: the file's next opening reports it.
    try {
      finish_writes();
    } catch (const std::exception& e) {
      UnheardFailures::note(path_, e.what());
    }
    writer_.reset();
  }
  if (!writable_) OpenClasses::remove(this);
  if (adopted_) ParkedDatasets::release(std::move(dataset_), std::move(*adopted_));
  else if (writable_ && shapefile_) park_written(path_, std::move(dataset_), layer_);
}

namespace {

// The systems of shapefiles read so far, by the text of their .prj: the driver's reading of
// a .prj (parsing it, then matching it against PROJ's database) costs more than opening the
// rest of the shapefile, and a cut opens the shapefiles it wrote again, all in one system.
// Each class gets an object of its own.
constexpr size_t kLongestPrjText = 64 * 1024;
SystemsByText& prj_systems() {
  static auto* systems = new SystemsByText(32);
  return *systems;
}

// The text of the .prj of the shapefile at path, "" when it has none (or one too long to
// be kept by its text).
std::string prj_text_of(const std::string& path) {
  const std::string prj = shapefile_part(path, ".prj");
  std::string text = prj.empty() ? std::string() : file_start(prj, kLongestPrjText);
  return text.size() == kLongestPrjText ? std::string() : text;
}

}  // namespace

std::vector<std::string> FeatureClass::source_files(GDALDataset& dataset, const std::string& path) {
  std::vector<std::string> files;
  const std::string ext = std::filesystem::path(path).extension().string();
  if (EQUAL(ext.c_str(), ".shp")) {
    // A shapefile's parts by name, there or not, in the letter case of its .shp unless only
    // the other case is there: the driver's own list reads and matches the .prj to learn
    // whether there is one.
    files.push_back(path);
    for (const char* part : {".shx", ".dbf", ".prj", ".cpg"}) {
      std::string lower = part, upper = part;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      const std::filesystem::path base(path);
      std::string name = std::filesystem::path(base).replace_extension(ext == ".SHP" ? upper : lower).string();
      if (::access(name.c_str(), F_OK) != 0) {
        std::string other = std::filesystem::path(base).replace_extension(ext == ".SHP" ? lower : upper).string();
        if (::access(other.c_str(), F_OK) == 0) name = other;
      }
      files.push_back(name);
    }
    return files;
  }
  CPLStringList list(dataset.GetFileList());
  for (int i = 0; i < list.size(); ++i) files.push_back(unbuffered_path(list[i]));
  return files;
}

bool written_whole(const std::string& shp) {
  const auto big_endian = [](const std::string& b, size_t at) {
    return static_cast<long long>(static_cast<unsigned char>(b[at])) << 24 |
           static_cast<unsigned char>(b[at + 1]) << 16 | static_cast<unsigned char>(b[at + 2]) << 8 |
           static_cast<unsigned char>(b[at + 3]);
  };
  const std::string shx = shapefile_part(shp, ".shx"), dbf = shapefile_part(shp, ".dbf");
  long long shp_size = -1, shx_size = -1, dbf_size = -1;
  const std::string shp_head = file_start(shp, 100, &shp_size), shx_head = file_start(shx, 100, &shx_size),
                    dbf_head = file_start(dbf, 12, &dbf_size);
  if (shp_head.size() < 100 || shx_head.size() < 100 || dbf_head.size() < 12) return false;
  if (big_endian(shp_head, 24) * 2 != shp_size || big_endian(shx_head, 24) * 2 != shx_size) return false;
  if (shx_size < 100 || (shx_size - 100) % 8 != 0) return false;
  const long long records = little_endian(dbf_head, 4, 4), header = little_endian(dbf_head, 8, 2),
                  record = little_endian(dbf_head, 10, 2);
  if (records != (shx_size - 100) / 8) return false;
  const long long expected = header + records * record;
  return dbf_size == expected || dbf_size == expected + 1;
}

void FeatureClass::park_written(const std::string& path, DatasetPtr dataset, OGRLayer* layer) {
  if (!dataset || in_memory(path)) return;  // files in memory open again at no cost
  // A large file's index would be held until the next opening, which reads it again at
  // little cost beside the writing.
  if (layer->GetFeatureCount(FALSE) >= static_cast<GIntBig>(kRestingRecords)) return;
  if (!UnheardFailures::of(path).empty()) return;
  {
    // Kept only when everything is written out, and when an opening will know the system
    // by the text of its .prj (a kept dataset has none of its own: the .prj is written
    // apart). Otherwise it is closed here, as it always was.
    GdalErrorScope errors;
    if (layer->SyncToDisk() != OGRERR_NONE || !errors.failure().empty()) return;
    std::filesystem::path file(path);
    for (const char* ext : kShapefileParts)
      if (write_failed(file.replace_extension(ext).string())) return;
    if (!written_whole(path)) return;
    const std::string text = prj_text_of(path);
    if (!text.empty()) {
      if (!prj_systems().has(text)) return;
    } else if (!shapefile_part(path, ".prj").empty()) {
      return;
    }
  }
  SourceStamp stamp = SourceStamp::of(source_files(*dataset, path));
  ParkedDatasets::park(path, std::move(dataset), std::move(stamp));
}

void FeatureClass::build_schema() {
  if (!sr_) {
    // A shapefile's system by the text of its .prj, read once per distinct text.
    std::string prj_text;
    if (shapefile_ && !writable_) prj_text = prj_text_of(path_);
    if (!prj_text.empty()) sr_ = prj_systems().find(prj_text);
    if (!sr_) {
      if (const OGRSpatialReference* srs = layer_->GetSpatialRef()) sr_ = make_spatial_reference(*srs);
      if (sr_ && !prj_text.empty()) prj_systems().keep(prj_text, sr_.get());
    }
  }
  OGRwkbGeometryType geom_type = layer_->GetGeomType();
  shape_type_ = esri_type_of(geom_type);
  if (shape_type_ == esriGeometryNull && !writable_) {
    // Sources that do not declare one type (GeoJSON, for example) are typed by their
    // first shape.
    GdalErrorScope errors;
    layer_->ResetReading();
    for (int i = 0; i < 100 && shape_type_ == esriGeometryNull; ++i) {
      OGRFeatureUniquePtr f(layer_->GetNextFeature());
      if (!f) break;
      if (const OGRGeometry* g = f->GetGeometryRef()) {
        shape_type_ = esri_type_of(g->getGeometryType());
        geom_type = g->getGeometryType();
      }
    }
    layer_->ResetReading();
  }

  std::vector<win32::ComPtr<IField>> fields;
  FieldSpec oid;
  oid.name = oid.alias = kOidName;
  oid.type = esriFieldTypeOID;
  oid.length = 4;
  oid.nullable = false;
  oid.required = true;
  oid.editable = false;
  fields.push_back(make_field(oid));
  columns_.push_back({Column::Oid, -1, esriFieldTypeOID, kOidName});

  FieldSpec shape;
  shape.name = shape.alias = kShapeName;
  shape.type = esriFieldTypeGeometry;
  shape.required = true;
  shape.geometry_def = make_geometry_def(shape_type_, OGR_GT_HasZ(geom_type), OGR_GT_HasM(geom_type), sr_.get());
  fields.push_back(make_field(shape));
  columns_.push_back({Column::Shape, -1, esriFieldTypeGeometry, kShapeName});

  OGRFeatureDefn* defn = layer_->GetLayerDefn();
  for (int i = 0; i < defn->GetFieldCount(); ++i) {
    FieldSpec desc = field_from_ogr(*defn->GetFieldDefn(i));
    columns_.push_back({Column::Attribute, i, desc.type, desc.name});
    fields.push_back(make_field(desc));
  }
  fields_ = make_fields(fields);
}

std::string FeatureClass::dataset_name() const {
  std::filesystem::path p(path_);
  if (shapefile_ && EQUAL(p.extension().string().c_str(), ".shp")) return p.stem().string();
  return layer_name_;
}

win32::ComPtr<FeatureClass> FeatureClass::open(const std::string& path, const std::string& layer,
                                               IWorkspace* workspace, ISpatialReference* assigned,
                                               const std::string& filter) {
  const std::string key = OpenClasses::key(path, layer, filter, assigned != nullptr);
  if (win32::ComPtr<FeatureClass> open = OpenClasses::find(key)) return open;
  if (const std::string why = UnheardFailures::of(path); !why.empty()) win32::throw_hr(E_FAIL, why);
  check_record_counts(path);
  DatasetPtr dataset = ParkedDatasets::take(path);
  const bool adopted = dataset != nullptr;
  if (!dataset) dataset = open_vector(path, false);
  GdalErrorScope errors;
  OGRLayer* l = layer.empty() ? dataset->GetLayer(0) : dataset->GetLayerByName(layer.c_str());
  if (!l) win32::throw_hr(E_INVALIDARG, path + " has no layer " + (layer.empty() ? "" : "named " + layer));
  win32::ComPtr<FeatureClass> cls = make(std::move(dataset), l, path, false, workspace, assigned);
  // The records of a shapefile, counted by the driver from its index as long as no filter
  // is set.
  const GIntBig records = cls->shapefile_ ? l->GetFeatureCount(FALSE) : -1;
  if (!filter.empty()) {
    // Set on the class's own layer once (it stays for every read through it); other reads
    // open the layer again and set it with their own condition.
    if (l->SetAttributeFilter(filter.c_str()) != OGRERR_NONE)
      errors.fail(E_INVALIDARG, "the filter \"" + filter + "\" cannot be applied to " + path);
    cls->filter_ = filter;
  }
  SourceStamp stamp = SourceStamp::of(source_files(*cls->dataset_, path));
  if (adopted) cls->adopted_ = std::make_unique<SourceStamp>(stamp);
  else if (records >= static_cast<GIntBig>(kRestingRecords)) cls->restable_ = std::make_unique<SourceStamp>(stamp);
  const bool first_layer = l == cls->dataset_->GetLayer(0);
  // Known before the class is shared with other threads.
  if (cls->restable_) {
    auto lock = cls->handle_lock();
    if (filter.empty()) {
      // A shapefile's header holds the extent.
      cls->known_count_ = records;
      OGREnvelope e;
      cls->known_extent_ = l->GetExtent(&e, TRUE) == OGRERR_NONE && e.IsInit() && e.MinX <= e.MaxX && e.MinY <= e.MaxY;
      if (cls->known_extent_) cls->extent_[0] = e.MinX, cls->extent_[1] = e.MinY, cls->extent_[2] = e.MaxX, cls->extent_[3] = e.MaxY;
    }
    cls->rest();  // until it is read
  }
  // The first layer is the one an opening without a layer name gets: the two openings
  // share it (a document names a shapefile's layer, a workspace opens the file).
  if (!key.empty() && first_layer)
    OpenClasses::add(OpenClasses::key(path, layer.empty() ? cls->layer_name_ : "", filter, false), cls.get(), stamp);
  OpenClasses::add(key, cls.get(), std::move(stamp));
  return cls;
}

OGRLayer* FeatureClass::layer() {
  if (layer_) return layer_;
  if (!restable_ || SourceStamp::of(restable_->files()) != *restable_) {
    std::error_code ec;
    win32::throw_hr(E_FAIL, "the source " + path_ +
                                (std::filesystem::exists(path_, ec) ? " has changed since it was opened" : " is gone"));
  }
  // The driver reads the whole index into a buffer and makes two arrays of it (twice the
  // index at once): freed pages kept for reuse are given back first, and the buffer at once.
  release_free_memory();
  ImmediateRelease immediate;
  DatasetPtr dataset;
  OGRLayer* l = open_layer(&dataset);
  GdalErrorScope errors;
  if (!filter_.empty() && l->SetAttributeFilter(filter_.c_str()) != OGRERR_NONE)
    errors.fail(E_FAIL, "the filter \"" + filter_ + "\" cannot be applied to " + path_);
  dataset_ = std::move(dataset);
  layer_ = l;
  return layer_;
}

OGRLayer* FeatureClass::open_layer(DatasetPtr* dataset) const {
  *dataset = open_vector(path_, false);
  GdalErrorScope errors;
  OGRLayer* l = (*dataset)->GetLayerByName(layer_name_.c_str());
  if (!l) errors.fail(E_FAIL, "layer " + layer_name_ + " is missing from " + path_);
  return l;
}

void FeatureClass::rest() {
  if (!restable_ || lent_) return;
  layer_ = nullptr;
  dataset_.reset();
}

std::string FeatureClass::where_with(const std::string& where) const {
  if (filter_.empty()) return where;
  if (where.empty()) return filter_;
  return "(" + filter_ + ") AND (" + where + ")";
}

win32::ComPtr<FeatureClass> FeatureClass::create_shapefile(const std::string& folder, const std::string& base,
                                                           esriGeometryType type, bool has_z, bool has_m,
                                                           ISpatialReference* sr,
                                                           const std::vector<FieldSpec>& attributes,
                                                           IWorkspace* workspace) {
  gdal_init();
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) win32::throw_hr(E_INVALIDARG, "no folder " + folder);
  if (base.empty()) win32::throw_hr(E_INVALIDARG, "a shapefile needs a name");
  if (access(folder.c_str(), W_OK) != 0) win32::throw_hr(E_ACCESSDENIED, "the folder " + folder + " is not writable");
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    fs::path name = entry.path().filename();
    for (const char* ext : kShapefileParts) {
      if (EQUAL(name.string().c_str(), (base + ext).c_str()))
        win32::throw_hr(E_INVALIDARG, "the file " + (fs::path(folder) / name).string() + " exists already");
    }
  }
  OGRwkbGeometryType ogr_type = ogr_type_of(type, has_z, has_m);
  std::string path = (fs::path(folder) / (base + ".shp")).string();
  UnheardFailures::forget(path);
  ParkedDatasets::drop(path);
  set_change_subject(fs::absolute(path).lexically_normal().string());
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
  if (!driver) win32::throw_hr(E_FAIL, "GDAL has no shapefile driver");

  GdalErrorScope errors;
  FixedCreationOptions fixed_options;
  try {
    // No file of the shapefile is there (looked at above): GDAL need not try to open and
    // delete one first.
    DatasetPtr dataset(driver->Create(buffered_path(path).c_str(), 0, 0, 0, GDT_Unknown, const_cast<char**>(kCreateAnew)));
    if (!dataset) errors.fail(E_FAIL, "cannot create " + path);
    ICoreSpatialReference* core = sr ? core_sr(sr) : nullptr;
    if (sr && !core) win32::throw_hr(E_INVALIDARG, "the spatial reference was not made by this library");
    const char* options[] = {"ENCODING=UTF-8", nullptr};
    OGRLayer* layer = dataset->CreateLayer(base.c_str(), nullptr, ogr_type, const_cast<char**>(options));
    if (!layer) errors.fail(E_FAIL, "cannot create " + path);
    // The .prj written here, as the driver would write it, from text made once per system:
    // the driver's own export looks the system's ESRI names up in PROJ's database each time.
    if (core) write_prj(path, core);
    win32::ComPtr<FeatureClass> cls = make(std::move(dataset), layer, path, true, workspace, sr);
    for (const FieldSpec& a : attributes) cls->add_attribute(a);
    return cls;
  } catch (...) {
    remove_shapefile(path);
    throw;
  }
}

void FeatureClass::add_attribute(const FieldSpec& desc) {
  if (desc.name.empty()) win32::throw_hr(E_INVALIDARG, "a field needs a name");
  finish_writes();
  OGRFieldType ogr_type;
  int width = 0, precision = 0;
  esriFieldType type = desc.type;
  switch (desc.type) {
    case esriFieldTypeSmallInteger:
    case esriFieldTypeInteger:
      type = esriFieldTypeInteger;
      ogr_type = OFTInteger;
      // Without a known width, room for every 32-bit value with its sign.
      width = desc.precision > 0 ? desc.precision : 11;
      break;
    case esriFieldTypeSingle:
    case esriFieldTypeDouble: {
      type = esriFieldTypeDouble;
      // Ten or more digits without decimals: an integer field of the source (a 64-bit one
      // among them), written as the integer text it is rather than through a double.
      if (desc.type == esriFieldTypeDouble && desc.scale == 0 && desc.precision >= 10 &&
          desc.precision <= kInteger64Digits) {
        ogr_type = OFTInteger64;
        width = desc.precision;
        break;
      }
      ogr_type = OFTReal;
      width = desc.precision > 0 ? desc.precision : 24;
      precision = desc.precision > 0 ? desc.scale : 15;
      // A width that held the source's values in its own file need not hold them here:
      // keep room for 15 integer digits, the sign and the point besides the decimals.
      width = std::max(width, precision + (precision > 0 ? 1 : 0) + 16);
      break;
    }
    case esriFieldTypeString:
      ogr_type = OFTString;
      // The source counts characters (or bytes of a one-byte code page); UTF-8 needs
      // more bytes for letters beyond ASCII.
      width = desc.length > 0 ? desc.length * 2 : kDbfMaxWidth;
      break;
    case esriFieldTypeDate:
      ogr_type = OFTDate;
      break;
    default:
      win32::throw_hr(E_INVALIDARG, "a shapefile cannot hold field " + desc.name + " of type " +
                                        std::to_string(desc.type));
  }
  width = std::min(width, kDbfMaxWidth);
  precision = std::min(precision, std::max(0, width - 2));

  // Names are cut to the dBASE limit; a cut name that is taken gets a number instead of
  // its last characters (LONGFIELDNAME2 after LONGFIELDNAME1: LONGFIELD1).
  auto taken = [&](const std::string& name) {
    std::u16string folded = fold_case(win32::utf8_to_utf16(name));
    for (const Column& c : columns_)
      if (fold_case(win32::utf8_to_utf16(c.name)) == folded) return true;
    return false;
  };
  std::string name = utf8_prefix(desc.name, kDbfMaxName);
  for (int n = 1; taken(name); ++n) {
    std::string suffix = std::to_string(n);
    name = utf8_prefix(desc.name, kDbfMaxName - suffix.size()) + suffix;
  }
  if (name != desc.name) report_field_renamed(desc.name, name);

  GdalErrorScope errors;
  OGRFieldDefn defn(name.c_str(), ogr_type);
  defn.SetWidth(width);
  defn.SetPrecision(precision);
  if (layer_->CreateField(&defn, FALSE) != OGRERR_NONE) errors.fail(E_FAIL, "cannot add field " + name);
  OGRFeatureDefn* layer_defn = layer_->GetLayerDefn();
  int index = layer_defn->GetFieldCount() - 1;
  FieldSpec created = field_from_ogr(*layer_defn->GetFieldDefn(index));
  created.type = type;
  columns_.push_back({Column::Attribute, index, type, created.name});
  append_field(fields_.get(), make_field(created).get(), desc.name);
}

win32::ComPtr<IFeature> FeatureClass::make_feature(OGRFeature& f) {
  std::string change;
  win32::ComPtr<IFeature> feature = make_feature(f, &change);
  if (!change.empty()) report_change(change);
  return feature;
}

win32::ComPtr<IFeature> FeatureClass::make_feature(OGRFeature& f, std::string* change) {
  change->clear();
  std::vector<VARIANT> values(columns_.size());
  for (VARIANT& v : values) VariantInit(&v);
  // Until the feature owns them, the values read are freed when reading fails.
  struct Values {
    std::vector<VARIANT>* held;
    ~Values() {
      if (held)
        for (VARIANT& v : *held) VariantClear(&v);
    }
  } guard{&values};
  for (size_t i = 0; i < columns_.size(); ++i)
    if (columns_[i].kind == Column::Attribute) read_value(f, columns_[i], &values[i]);
  win32::ComPtr<IGeometry> shape;
  if (const OGRGeometry* g = f.GetGeometryRef()) {
    if (!finite_coordinates(*g))
      win32::throw_hr(E_FAIL, "feature " + std::to_string(f.GetFID()) + " of " + path_ +
                                  " has coordinates that are not finite numbers");
    GeomPtr geos_shape = geos_shape_of(*g);
    esriGeometryType type = esri_type_of(g->getGeometryType());
    if (type == esriGeometryNull) type = shape_type_;
    if (type != shape_type_ && shape_type_ != esriGeometryNull && !g->IsEmpty())
      *change = std::string("features whose shape is ") + shape_kind(type) + " in a layer of " +
                shape_kind(shape_type_, true) + " left out";
    if (type != esriGeometryNull && type != esriGeometryMultiPatch) {
      shape = make_geometry(type, std::move(geos_shape), sr_.get());
    }
  }
  GIntBig fid = f.GetFID();
  guard.held = nullptr;
  return Feature::make(win32::ComPtr<FeatureClass>(this), fid == OGRNullFID ? -1 : static_cast<LONG>(fid),
                       std::move(values), std::move(shape));
}

LONG FeatureClass::write(const std::vector<VARIANT>& values, IGeometry* shape) {
  if (!writable_) win32::throw_hr(E_ACCESSDENIED, "the feature class is read-only");
  OGRFeatureUniquePtr f(OGRFeature::CreateFeature(layer_->GetLayerDefn()));
  for (size_t i = 0; i < columns_.size() && i < values.size(); ++i) {
    if (columns_[i].kind == Column::Attribute) write_value(*f, columns_[i], values[i], shapefile_);
  }
  if (shape) {
    GeometryState* s = state_of(shape);
    if (!s) win32::throw_hr(E_INVALIDARG, "the shape was not made by this library");
    if (s->type() == esriGeometryMultiPatch) win32::throw_hr(E_INVALIDARG, "a shapefile cannot hold a multipatch");
    if (!s->is_empty() && s->sr() && core_sr(s->sr())) {
      // A class made without a system takes its first shape's, so the data keeps it; a
      // later shape of another system is projected into that one.
      if (!sr_) adopt_system(s->sr());
      else if (core_sr(s->sr())->system_id() != core_sr(sr_.get())->system_id()) {
        GeometryState moved(s->type());
        moved.set(geos_clone(s->geom()));
        moved.set_sr(s->sr());
        project_state(moved, sr_.get());
        if (!moved.is_empty()) f->SetGeometryDirectly(ogr_from_geos(moved.geom()).release());
        s = nullptr;
      }
    }
    if (s && !s->is_empty()) f->SetGeometryDirectly(ogr_from_geos(s->geom()).release());
  }
  if (!writer_)
    writer_ = std::make_unique<FeatureWriter>(layer_, path_, shapefile_ && second_thread_pays("AREACLIP_WRITE_BEHIND"));
  return static_cast<LONG>(writer_->write(std::move(f)));
}

void FeatureClass::adopt_system(ISpatialReference* sr) {
  if (!shapefile_) return;
  std::unique_ptr<OGRSpatialReference, void (*)(OGRSpatialReference*)> esri(core_sr(sr)->ogr().Clone(),
                                                                            [](OGRSpatialReference* s) {
                                                                              if (s) s->Release();
                                                                            });
  char* wkt = nullptr;
  if (!esri || esri->morphToESRI() != OGRERR_NONE || esri->exportToWkt(&wkt) != OGRERR_NONE || !wkt) {
    CPLFree(wkt);
    win32::throw_hr(E_FAIL, "cannot write the coordinate system of " + path_);
  }
  std::filesystem::path prj(path_);
  prj.replace_extension(".prj");
  std::ofstream out(prj, std::ios::binary | std::ios::trunc);
  out << wkt;
  CPLFree(wkt);
  out.close();
  if (!out) win32::throw_hr(E_FAIL, "cannot write " + prj.string());
  sr_ = win32::ComPtr<ISpatialReference>(sr);
}

void FeatureClass::flush() {
  finish_writes();
  GdalErrorScope errors;
  if (layer_->SyncToDisk() != OGRERR_NONE) errors.fail(E_FAIL, "cannot flush " + path_);
  // The driver does not check every write it makes; the files remember a failed one.
  std::filesystem::path file(path_);
  for (const char* ext : kShapefileParts)
    if (write_failed(file.replace_extension(ext).string())) win32::throw_hr(E_FAIL, "cannot write " + file.string());
}

HRESULT FeatureClass::FindField(BSTR name, LONG* index) { return fields_->FindField(name, index); }

HRESULT FeatureClass::get_Fields(IFields** fields) {
  if (!fields) return E_POINTER;
  *fields = fields_.copy();
  return S_OK;
}

HRESULT FeatureClass::AddField(IField* field) {
  if (!field) return E_POINTER;
  return win32::com_guard([&] {
    if (!writable_) win32::throw_hr(E_ACCESSDENIED, "the feature class " + dataset_name() + " is read-only");
    FieldSpec desc = read_field(field);
    if (desc.type == esriFieldTypeOID || desc.type == esriFieldTypeGeometry)
      win32::throw_hr(E_INVALIDARG, "the feature class has its object id and shape fields already");
    add_attribute(desc);
    return S_OK;
  });
}

HRESULT FeatureClass::DeleteField(IField*) { return E_NOTIMPL; }

HRESULT FeatureClass::get_HasOID(VARIANT_BOOL* has_oid) {
  if (!has_oid) return E_POINTER;
  *has_oid = VARIANT_TRUE;
  return S_OK;
}

HRESULT FeatureClass::get_OIDFieldName(BSTR* name) { return out_text(kOidName, name); }

HRESULT FeatureClass::get_ObjectClassID(LONG* id) {
  if (!id) return E_POINTER;
  *id = -1;
  return S_OK;
}

HRESULT FeatureClass::get_AliasName(BSTR* name) {
  return win32::com_guard([&] { return out_text(dataset_name(), name); });
}

HRESULT FeatureClass::get_ShapeType(esriGeometryType* type) {
  if (!type) return E_POINTER;
  *type = shape_type_;
  return S_OK;
}

HRESULT FeatureClass::get_FeatureType(esriFeatureType* type) {
  if (!type) return E_POINTER;
  *type = esriFTSimple;
  return S_OK;
}

HRESULT FeatureClass::get_ShapeFieldName(BSTR* name) { return out_text(kShapeName, name); }

HRESULT FeatureClass::get_AreaField(IField** field) {
  if (!field) return E_POINTER;
  *field = nullptr;
  return S_OK;
}

HRESULT FeatureClass::get_LengthField(IField** field) {
  if (!field) return E_POINTER;
  *field = nullptr;
  return S_OK;
}

HRESULT FeatureClass::get_FeatureClassID(LONG* id) { return get_ObjectClassID(id); }

HRESULT FeatureClass::CreateFeature(IFeature** feature) {
  if (!feature) return E_POINTER;
  *feature = nullptr;
  return win32::com_guard([&] {
    if (!writable_) win32::throw_hr(E_ACCESSDENIED, "the feature class " + dataset_name() + " is read-only");
    std::vector<VARIANT> values(columns_.size());
    for (VARIANT& v : values) {
      VariantInit(&v);
      v.vt = VT_NULL;
    }
    *feature = Feature::make(win32::ComPtr<FeatureClass>(this), -1, std::move(values), nullptr).detach();
    return S_OK;
  });
}

HRESULT FeatureClass::GetFeature(LONG id, IFeature** feature) {
  if (!feature) return E_POINTER;
  *feature = nullptr;
  return win32::com_guard([&] {
    if (writable_) flush();
    GdalErrorScope errors;
    OGRFeatureUniquePtr f;
    {
      auto lock = handle_lock();
      f.reset(layer()->GetFeature(id));
    }
    if (!f) win32::throw_hr(E_INVALIDARG, "no feature " + std::to_string(id) + " in " + dataset_name());
    *feature = make_feature(*f).detach();
    return S_OK;
  });
}

OGRLayer* FeatureClass::lend_layer() {
  auto lock = handle_lock();
  if (lent_ || writable_ || !shapefile_) return nullptr;
  OGRLayer* lent = layer();
  lent_ = true;
  lent->ResetReading();
  return lent;
}

void FeatureClass::return_layer(bool read_whole) {
  auto lock = handle_lock();
  layer_->ResetReading();
  lent_ = false;
  // A restricted class is read again and again (a series reads a few features per sheet).
  if (read_whole && !only_) rest();
}

bool FeatureClass::extent(double box[4]) {
  if (writable_) flush();
  GdalErrorScope errors;
  OGREnvelope e;
  if (known_extent_) {
    std::copy(extent_, extent_ + 4, box);
    return true;
  }
  auto lock = handle_lock();
  const bool resting = !layer_;
  const OGRErr read = layer()->GetExtent(&e, TRUE);
  if (resting) rest();
  if (read != OGRERR_NONE || !e.IsInit() || e.MinX > e.MaxX || e.MinY > e.MaxY) return false;
  box[0] = e.MinX, box[1] = e.MinY, box[2] = e.MaxX, box[3] = e.MaxY;
  return true;
}

void FeatureClass::restrict_to(std::shared_ptr<const std::vector<LONG>> ids) {
  only_ = std::move(ids);
  only_sorted_.reset();
  if (!only_) return;
  auto sorted = std::make_shared<std::vector<LONG>>(*only_);
  std::sort(sorted->begin(), sorted->end());
  only_sorted_ = std::move(sorted);
}

bool FeatureClass::serves(GIntBig id) const {
  return !only_sorted_ || std::binary_search(only_sorted_->begin(), only_sorted_->end(), id);
}

HRESULT FeatureClass::FeatureCount(IQueryFilter* filter, LONG* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return win32::com_guard([&] {
    std::string where = where_clause(filter);
    if (only_ && where.empty()) {
      *count = static_cast<LONG>(only_->size());
      return S_OK;
    }
    if (only_) {
      // The features served that match: counted as a cursor reads them.
      win32::ComPtr<IFeatureCursor> cursor = open_cursor(win32::ComPtr<FeatureClass>(this), where);
      win32::ComPtr<IFeature> feature;
      LONG n = 0;
      HRESULT hr;
      while ((hr = cursor->NextFeature(feature.put())) == S_OK && feature) ++n;
      if (FAILED(hr)) return hr;
      *count = n;
      return S_OK;
    }
    if (where.empty() && known_count_ >= 0) {
      *count = static_cast<LONG>(known_count_);
      return S_OK;
    }
    finish_writes();
    // A filter restarts the layer's reading: a cursor that has the layer keeps it.
    DatasetPtr own;
    OGRLayer* counted = nullptr;
    bool resting = false;  // the class's handle is opened for the count only
    std::unique_lock<std::mutex> lock = handle_lock();
    if (lent_ && !where.empty()) {
      lock.unlock();
      counted = open_layer(&own);
    } else {
      resting = !layer_;
      counted = layer();
    }
    GdalErrorScope errors;
    const bool filtered = !where.empty() && counted->SetAttributeFilter(where_with(where).c_str()) == OGRERR_NONE;
    GIntBig n = where.empty() || filtered ? counted->GetFeatureCount(TRUE) : -1;
    if (filtered) counted->SetAttributeFilter(filter_.empty() ? nullptr : filter_.c_str());
    if (resting) rest();
    if (!where.empty() && !filtered) errors.fail(E_INVALIDARG, "bad where clause \"" + where + "\"");
    if (n < 0) errors.fail(E_FAIL, "cannot count the features of " + dataset_name());
    *count = static_cast<LONG>(n);
    return S_OK;
  });
}

HRESULT FeatureClass::Search(IQueryFilter* filter, VARIANT_BOOL, IFeatureCursor** cursor) {
  if (!cursor) return E_POINTER;
  *cursor = nullptr;
  return win32::com_guard([&] {
    *cursor = open_cursor(win32::ComPtr<FeatureClass>(this), where_clause(filter)).detach();
    return S_OK;
  });
}

HRESULT FeatureClass::get_Name(BSTR* name) {
  return win32::com_guard([&] { return out_text(dataset_name(), name); });
}

HRESULT FeatureClass::get_BrowseName(BSTR* name) { return get_Name(name); }

HRESULT FeatureClass::get_Category(BSTR* category) {
  return out_text(shapefile_ ? "Shapefile Feature Class" : "Feature Class", category);
}

HRESULT FeatureClass::get_Workspace(IWorkspace** workspace) {
  if (!workspace) return E_POINTER;
  *workspace = workspace_.copy();
  return workspace_ ? S_OK : E_NOTIMPL;
}

FeatureClass* feature_class_of(IUnknown* fc) {
  if (!fc) return nullptr;
  ICoreFeatureClass* core = nullptr;
  if (FAILED(fc->QueryInterface(IID_ICoreFeatureClass, reinterpret_cast<void**>(&core))) || !core) return nullptr;
  core->Release();  // the caller holds the object
  return &core->impl();
}

}  // namespace gis::core
