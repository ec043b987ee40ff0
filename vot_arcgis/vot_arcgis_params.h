// The maker's GIS library, data half: holders of layer and renderer references for the
// cutting engine, and the creation of shapefile feature classes with attribute copying.
// Interface arguments are the callee's own counted references (passed by value).
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "arcobjects/arcobjects.h"
#include "extension/vot_arcmap_areaclip_atl.h"

// Holds one layer of any kind and tells what kind it is.
class Tvo_arcgis_ptr_layer {
 public:
  Tvo_arcgis_ptr_layer();
  ~Tvo_arcgis_ptr_layer();
  Tvo_arcgis_ptr_layer(const Tvo_arcgis_ptr_layer&) = delete;
  Tvo_arcgis_ptr_layer& operator=(const Tvo_arcgis_ptr_layer&) = delete;

  void set_layer(TComInterface<ILayer> layer);
  TComInterface<ILayer> get_layer() const;
  // Reads the layer's name afresh (ANSI); the text stays valid until the next call.
  const std::string& name();
  bool is_feature_layer() const;
  bool is_composite_layer() const;
  bool is_graphics_container() const;

 private:
  std::string f_name;
  TComInterface<ILayer> f_layer;
};

// An ordered list that owns its handles; a handle keeps its address while the list grows.
class Tvo_arcgis_ptr_layers {
 public:
  Tvo_arcgis_ptr_layers();
  virtual ~Tvo_arcgis_ptr_layers();

  void clear();
  int count() const;
  // index in 0 .. count() - 1.
  Tvo_arcgis_ptr_layer* get(int index) const;
  // Appends a new empty handle and returns it; the list keeps ownership.
  Tvo_arcgis_ptr_layer* add();

 private:
  std::vector<std::unique_ptr<Tvo_arcgis_ptr_layer>> f_items;
};

// Holds one feature layer and yields the name of the dataset behind it.
class Tvo_arcgis_ptr_feature_layer {
 public:
  Tvo_arcgis_ptr_feature_layer();
  ~Tvo_arcgis_ptr_feature_layer();
  Tvo_arcgis_ptr_feature_layer(const Tvo_arcgis_ptr_feature_layer&) = delete;
  Tvo_arcgis_ptr_feature_layer& operator=(const Tvo_arcgis_ptr_feature_layer&) = delete;

  void set_layer(TComInterface<IFeatureLayer> layer);
  // The dataset name (ANSI); none when no layer, no feature class or no dataset.
  std::optional<std::string> dataset_name();

 private:
  std::string f_name;
  TComInterface<IFeatureLayer> f_layer;
};

// Wide text as the object model holds it (field names keep every character this way).
using Tvo_arcgis_text = std::basic_string<OLECHAR>;
Tvo_arcgis_text wide_text(BSTR text);

// The name each attribute field of a source class has in the class it was copied into
// (a shapefile shortens names to ten characters and numbers names that would collide):
// source field name -> result field name, both as the classes spell them.
using Tvo_arcgis_field_names = std::map<Tvo_arcgis_text, Tvo_arcgis_text>;
Tvo_arcgis_field_names result_field_names(TComInterface<IFeatureClass> source, TComInterface<IFeatureClass> target);
// The result name of the source field that `name` finds in source_fields (found as the
// class finds fields: case aside); none when no such field was copied.
std::optional<Tvo_arcgis_text> result_field_name(TComInterface<IFields> source_fields,
                                                 const Tvo_arcgis_field_names& names, BSTR name);

// Points the layer's display field at the result's name of the field it names, when that
// field was copied.
void adapt_display_field(TComInterface<IFeatureLayer> layer, TComInterface<IFields> source_fields,
                         const Tvo_arcgis_field_names& names);

// Holds a feature layer's renderer and adapts a unique-value renderer to a shapefile.
class Tvo_arcgis_ptr_feature_renderer {
 public:
  Tvo_arcgis_ptr_feature_renderer();
  ~Tvo_arcgis_ptr_feature_renderer();
  Tvo_arcgis_ptr_feature_renderer(const Tvo_arcgis_ptr_feature_renderer&) = delete;
  Tvo_arcgis_ptr_feature_renderer& operator=(const Tvo_arcgis_ptr_feature_renderer&) = delete;

  void set_renderer(TComInterface<IFeatureRenderer> renderer);
  bool is_unique_value_renderer() const;
  // Replaces every ":" by "." in the names of the fields a unique-value renderer classifies
  // by; any other renderer is left alone.
  void normalize_field_names();
  // Points every field the renderer reads (the fields of a unique-value renderer, the
  // field of a class-breaks renderer) at the field of the same source as the result
  // holds it: source_fields are the fields of the class the renderer was drawing, names
  // the result's names of them. A unique-value field without a result name is normalized
  // as above.
  void adapt_field_names(TComInterface<IFields> source_fields, const Tvo_arcgis_field_names& names);

 private:
  TComInterface<IFeatureRenderer> f_renderer;
};

// Splits a path after its last "\", "/" or ":" into the folder part (with that character)
// and the name part; the folder part is empty when there is no such character.
void split_file_path(const std::string& path, std::string& folder, std::string& name);

// Creates a class by id and answers the requested interface into out (cleared first).
// Returns the HRESULT of the last step made.
HRESULT create_com_object(REFCLSID clsid, REFIID iid, void** out);
template <class T>
HRESULT create_com_object(REFCLSID clsid, TComInterface<T>& out) {
  out.Reset();
  return create_com_object(clsid, TComInterface<T>::GetIID(), reinterpret_cast<void**>(&out));
}

// Creates an empty shapefile feature class with the fields OBJECTID and SHAPE at path
// (ANSI: folder, name with ".shp"); empty when nothing was created.
TComInterface<IFeatureClass> create_shapefile_feature_class(const std::string& path, LONG geometry_type, bool has_z,
                                                            bool has_m,
                                                            TComInterface<ISpatialReference> spatial_reference);

// Adds every editable, non-geometry field of source to target. Raises an Exception when a
// field must be added and there is no target.
void copy_attribute_fields(TComInterface<IFeatureClass> source, TComInterface<IFeatureClass> target);

// Copies the values of source into the fields of the same name of target that are editable
// and not geometry. The target is not stored.
void copy_attribute_values(TComInterface<IFeature> source, TComInterface<IFeature> target);
