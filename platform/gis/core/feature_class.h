// FeatureClass: IFeatureClass (with IObjectClass, IClass) and IDataset over one layer of
// a GDAL vector source. Its fields are the object id presented as "FID" (not editable),
// the geometry as "Shape", then the source's attributes (see ogr_values.h).
//
// A class opened from a source is read-only; a class created in a shapefile workspace is
// writable: AddField, CreateFeature and Store write through GDAL's shapefile driver, and
// the file is flushed and closed when the last reference to the class goes. The class
// keeps one dataset handle of its own (for counts, GetFeature and writes); a cursor opens
// another or borrows the class's layer (lend_layer), so cursors never disturb each other.
// The handle of a large shapefile that is only read holds the file's whole record index (8
// bytes a record): it is closed while the class is not being read (once the class is open,
// and after each whole reading of it) and opened again when next needed, so that a map of
// many large layers holds the index of the one being read only.
//
// Threads: a read-only class may be read on several threads at once (make_feature, the
// shape reader, a cursor's reading ahead): what they share is fixed when the class is
// opened, and its dataset handle is used under handle_lock(). A writable class is used on
// one thread; its records may be written on a thread of its own (FeatureWriter), which
// every other use of its dataset waits for.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <win32/com_object.h>

#include "extent_index.h"
#include "feature_writer.h"
#include "gdal_support.h"
#include "ogr_values.h"

namespace gis::core {
class FeatureClass;
}

DECLARE_INTERFACE_IID(ICoreFeatureClass, 0x3D6B2F90, 0x71C4, 0x4A8E, 0x8F, 0x25, 0x5E, 0x11, 0xB7, 0x3C, 0x9D, 0x42)
// Private interface of the core's feature classes.
struct ICoreFeatureClass : IUnknown {
  virtual gis::core::FeatureClass& impl() = 0;
};

namespace gis::core {

// True when the shapefile's files on disk are whole: the lengths the .shp and .shx headers
// give are their sizes, the .shx indexes as many records as the .dbf holds, and the .dbf
// is its header and records (and the end mark). The driver writes some of this only when
// it closes a file (a .dbf without records gets its header then).
bool written_whole(const std::string& shp);
// Removes the files of the shapefile shp (its .shp), on disk or in GDAL's memory, letting go
// of a dataset kept for it.
void remove_shapefile(const std::string& shp);

class FeatureClass final : public win32::ComObject<FeatureClass, IFeatureClass, IDataset, ICoreFeatureClass> {
 public:
  // Opens a layer (empty name: the first) of a source read-only; throws ComError. With
  // `assigned`, the data is taken to be in that system whatever the source says (as
  // ogr2ogr -s_srs assigns one): for a source that names none. With `filter` (an OGR SQL
  // condition, as QGIS keeps a layer's subset), the class serves only the features that meet
  // it, in every read; a condition the source cannot evaluate is refused here.
  static win32::ComPtr<FeatureClass> open(const std::string& path, const std::string& layer, IWorkspace* workspace,
                                          ISpatialReference* assigned = nullptr, const std::string& filter = "");
  // Creates a shapefile folder/base.shp (UTF-8 text, .cpg, .prj when sr is set) with the
  // attribute fields given; throws ComError and leaves no file behind on failure.
  static win32::ComPtr<FeatureClass> create_shapefile(const std::string& folder, const std::string& base,
                                                      esriGeometryType type, bool has_z, bool has_m,
                                                      ISpatialReference* sr, const std::vector<FieldSpec>& attributes,
                                                      IWorkspace* workspace);
  // Keeps the dataset of a shapefile just written at path for its next opening
  // (ParkedDatasets), or closes it when that cannot be.
  static void park_written(const std::string& path, DatasetPtr dataset, OGRLayer* layer);

  FeatureClass(DatasetPtr dataset, OGRLayer* layer, std::string path, bool writable, IWorkspace* workspace,
               ISpatialReference* assigned = nullptr);
  ~FeatureClass() override;

  FeatureClass& impl() override { return *this; }

  const std::vector<Column>& columns() const { return columns_; }
  IFields* fields() const { return fields_.get(); }
  ISpatialReference* spatial_reference() const { return sr_.get(); }
  esriGeometryType shape_type() const { return shape_type_; }
  const std::string& path() const { return path_; }
  const std::string& layer_name() const { return layer_name_; }
  bool writable() const { return writable_; }

  // A feature object holding the values and shape of f. A change made on the way (a shape
  // of another class than the layer's, left out) is reported to the calling thread's
  // changes channel, or, given `change`, put there ("" for none) for the caller to report.
  win32::ComPtr<IFeature> make_feature(OGRFeature& f);
  win32::ComPtr<IFeature> make_feature(OGRFeature& f, std::string* change);
  // Writes a new feature with the given values (by column) and shape; returns its id.
  // A shapefile created without a coordinate system takes the first shape's (and writes
  // its .prj); shapes of another system are projected into the class's. Throws ComError
  // when a value cannot be stored whole or the write fails.
  LONG write(const std::vector<VARIANT>& values, IGeometry* shape);
  // Flushes pending writes so that another handle reads them.
  void flush();
  // The class's own layer of a shapefile it only reads, for one cursor at a time (a
  // second handle would hold another copy of the file's index, 8 bytes per record); null
  // when it is in use or cannot be lent. Handed back with return_layer().
  OGRLayer* lend_layer();
  // `read_whole`: the borrower read on to the end (the class may then close its handle).
  void return_layer(bool read_whole);
  // The class's layer on a dataset handle of its own, kept in *dataset (no condition set on
  // it); throws ComError when the source or its layer cannot be opened.
  OGRLayer* open_layer(DatasetPtr* dataset) const;
  // Held around every use of the class's dataset handle, from whichever thread: a cursor
  // reading ahead on the lent layer reads on a thread of its own.
  std::unique_lock<std::mutex> handle_lock() { return std::unique_lock<std::mutex>(handle_mutex_); }
  // The envelope of the data as the source records it (computed when it records none);
  // false when there is none.
  bool extent(double box[4]);
  // Serves only the features with these object ids (in the order given, the source's
  // reading order) through Search, FeatureCount and the shape reader; null serves all.
  // Fields, ids, system and GetFeature stay the source's.
  void restrict_to(std::shared_ptr<const std::vector<LONG>> ids);
  // where, and the class's own filter when it has one: the condition a read meets.
  std::string where_with(const std::string& where) const;
  // The ids served, null when unrestricted.
  const std::shared_ptr<const std::vector<LONG>>& restriction() const { return only_; }
  // Whether the feature with this id is served.
  bool serves(GIntBig id) const;
  // The ids served, sorted (null when unrestricted): what serves() looks up, for a reader
  // on another thread to keep while the class may be restricted anew.
  const std::shared_ptr<const std::vector<LONG>>& served_sorted() const { return only_sorted_; }
  // Where the features lie, as a full reading learnt it (see extent_index.h); shared by
  // the readings of the class on every thread.
  ExtentCache& extent_cache() { return extent_cache_; }

  // IClass
  HRESULT STDMETHODCALLTYPE FindField(BSTR name, LONG* index) override;
  HRESULT STDMETHODCALLTYPE get_Fields(IFields** fields) override;
  HRESULT STDMETHODCALLTYPE AddField(IField* field) override;
  HRESULT STDMETHODCALLTYPE DeleteField(IField* field) override;
  HRESULT STDMETHODCALLTYPE get_HasOID(VARIANT_BOOL* has_oid) override;
  HRESULT STDMETHODCALLTYPE get_OIDFieldName(BSTR* name) override;
  // IObjectClass
  HRESULT STDMETHODCALLTYPE get_ObjectClassID(LONG* id) override;
  HRESULT STDMETHODCALLTYPE get_AliasName(BSTR* name) override;
  // IFeatureClass
  HRESULT STDMETHODCALLTYPE get_ShapeType(esriGeometryType* type) override;
  HRESULT STDMETHODCALLTYPE get_FeatureType(esriFeatureType* type) override;
  HRESULT STDMETHODCALLTYPE get_ShapeFieldName(BSTR* name) override;
  HRESULT STDMETHODCALLTYPE get_AreaField(IField** field) override;
  HRESULT STDMETHODCALLTYPE get_LengthField(IField** field) override;
  HRESULT STDMETHODCALLTYPE get_FeatureClassID(LONG* id) override;
  HRESULT STDMETHODCALLTYPE CreateFeature(IFeature** feature) override;
  HRESULT STDMETHODCALLTYPE GetFeature(LONG id, IFeature** feature) override;
  HRESULT STDMETHODCALLTYPE FeatureCount(IQueryFilter* filter, LONG* count) override;
  HRESULT STDMETHODCALLTYPE Search(IQueryFilter* filter, VARIANT_BOOL recycling, IFeatureCursor** cursor) override;
  // IDataset
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override;
  HRESULT STDMETHODCALLTYPE get_BrowseName(BSTR* name) override;
  HRESULT STDMETHODCALLTYPE get_Category(BSTR* category) override;
  HRESULT STDMETHODCALLTYPE get_Workspace(IWorkspace** workspace) override;

 private:
  void build_schema();
  // The files whose stamps tell whether the source at path (opened as dataset) has changed.
  static std::vector<std::string> source_files(GDALDataset& dataset, const std::string& path);
  // Takes sr as the system of a shapefile created without one, writing its .prj.
  void adopt_system(ISpatialReference* sr);
  void add_attribute(const FieldSpec& desc);
  // Waits for the writes queued so far; throws ComError when one failed.
  void finish_writes() {
    if (writer_) writer_->finish();
  }
  std::string dataset_name() const;
  // The class's own layer, its dataset opened again if it was closed to rest; throws
  // ComError when that cannot be done or the source has changed since the class was opened.
  // Called under handle_lock().
  OGRLayer* layer();
  // Closes the dataset of a large source that is only read and not in use (under
  // handle_lock()).
  void rest();

  DatasetPtr dataset_;
  OGRLayer* layer_;  // owned by dataset_; both null while the class rests
  // The files of a class that may rest, as they were when it was opened: it is opened again
  // over these only.
  std::unique_ptr<SourceStamp> restable_;
  // What such a class without a filter of its own says without being read, learnt before
  // it first rests: its feature count and extent (count -1 when not known).
  GIntBig known_count_ = -1;
  bool known_extent_ = false;
  double extent_[4] = {};
  bool lent_ = false;
  std::string path_;
  std::string layer_name_;
  std::string filter_;  // the condition every read meets, "" for none
  bool writable_;
  // Writes the new features of a writable class (made by the first write): on a thread of
  // its own where that pays (AREACLIP_WRITE_BEHIND=1 or 0 decides either way). Every other
  // use of the dataset waits for its writes (finish_writes).
  std::unique_ptr<FeatureWriter> writer_;
  // A dataset taken over from ParkedDatasets (opened for writing): the stamp of its files
  // when it was taken, for closing it only over those files.
  std::unique_ptr<SourceStamp> adopted_;
  bool shapefile_;
  win32::ComPtr<IWorkspace> workspace_;
  win32::ComPtr<ISpatialReference> sr_;
  esriGeometryType shape_type_ = esriGeometryNull;
  std::vector<Column> columns_;
  win32::ComPtr<IFields> fields_;
  std::shared_ptr<const std::vector<LONG>> only_;
  std::shared_ptr<const std::vector<LONG>> only_sorted_;  // only_, sorted for lookups
  std::mutex handle_mutex_;  // see handle_lock()
  ExtentCache extent_cache_;
};

// The core feature class behind fc; null for null or foreign objects (no reference added).
FeatureClass* feature_class_of(IUnknown* fc);

}  // namespace gis::core
