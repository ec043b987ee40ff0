#include "vot_arcgis_params.h"

namespace {

template <class Q, class T>
bool answers(const TComInterface<T>& object) {
  if (!object) return false;
  Q* p = nullptr;
  if (FAILED(object->QueryInterface(__uuidof(Q), reinterpret_cast<void**>(&p))) || !p) return false;
  p->Release();
  return true;
}

// Replaces every ":" by "." (joined tables name their fields "table:field").
std::string normalized_field_name(const std::string& name) {
  std::string normalized;
  normalized.reserve(name.size());
  for (char c : name) normalized.push_back(c == ':' ? '.' : c);
  return normalized;
}

// Writes a wide text through a setter taking a BSTR.
template <class Setter>
HRESULT put_wide(const Tvo_arcgis_text& text, Setter setter) {
  BSTR value = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (!value) return E_OUTOFMEMORY;
  HRESULT hr = setter(value);
  SysFreeString(value);
  return hr;
}

// Calls visit(i, j, target_field, name) for every field i of source_fields that
// target_fields finds by its name, as its field j.
template <class Visit>
void for_each_field_found(const TComInterface<IFields>& source_fields, const TComInterface<IFields>& target_fields,
                          Visit visit) {
  LONG count = 0;
  source_fields->get_FieldCount(&count);
  for (LONG i = 0; i < count; ++i) {
    TComInterface<IField> source_field;
    source_fields->get_Field(i, &source_field);
    if (!source_field) continue;
    Tvo_bstr name;
    source_field->get_Name(&name);
    LONG j = -1;
    target_fields->FindField(name.get(), &j);
    if (j < 0) continue;
    TComInterface<IField> target_field;
    target_fields->get_Field(j, &target_field);
    if (target_field) visit(i, j, target_field, name.get());
  }
}

}  // namespace

Tvo_arcgis_text wide_text(BSTR text) { return text ? Tvo_arcgis_text(text, SysStringLen(text)) : Tvo_arcgis_text(); }

// ---- Tvo_arcgis_ptr_layer ----

Tvo_arcgis_ptr_layer::Tvo_arcgis_ptr_layer() = default;
Tvo_arcgis_ptr_layer::~Tvo_arcgis_ptr_layer() = default;

void Tvo_arcgis_ptr_layer::set_layer(TComInterface<ILayer> layer) { f_layer = std::move(layer); }

TComInterface<ILayer> Tvo_arcgis_ptr_layer::get_layer() const { return f_layer; }

const std::string& Tvo_arcgis_ptr_layer::name() {
  f_name.clear();
  if (!f_layer) return f_name;
  Tvo_bstr text;
  f_layer->get_Name(&text);
  f_name = text.ansi();
  return f_name;
}

bool Tvo_arcgis_ptr_layer::is_feature_layer() const { return answers<IFeatureLayer>(f_layer); }
bool Tvo_arcgis_ptr_layer::is_composite_layer() const { return answers<ICompositeLayer>(f_layer); }
bool Tvo_arcgis_ptr_layer::is_graphics_container() const { return answers<IGraphicsContainer>(f_layer); }

// ---- Tvo_arcgis_ptr_layers ----

Tvo_arcgis_ptr_layers::Tvo_arcgis_ptr_layers() = default;
Tvo_arcgis_ptr_layers::~Tvo_arcgis_ptr_layers() { clear(); }

void Tvo_arcgis_ptr_layers::clear() {
  f_items.clear();
  f_items.shrink_to_fit();
}

int Tvo_arcgis_ptr_layers::count() const { return static_cast<int>(f_items.size()); }

Tvo_arcgis_ptr_layer* Tvo_arcgis_ptr_layers::get(int index) const { return f_items[static_cast<size_t>(index)].get(); }

Tvo_arcgis_ptr_layer* Tvo_arcgis_ptr_layers::add() {
  f_items.push_back(std::make_unique<Tvo_arcgis_ptr_layer>());
  return f_items.back().get();
}

// ---- Tvo_arcgis_ptr_feature_layer ----

Tvo_arcgis_ptr_feature_layer::Tvo_arcgis_ptr_feature_layer() = default;
Tvo_arcgis_ptr_feature_layer::~Tvo_arcgis_ptr_feature_layer() = default;

void Tvo_arcgis_ptr_feature_layer::set_layer(TComInterface<IFeatureLayer> layer) { f_layer = std::move(layer); }

std::optional<std::string> Tvo_arcgis_ptr_feature_layer::dataset_name() {
  if (!f_layer) return std::nullopt;
  TComInterface<IFeatureClass> feature_class;
  f_layer->get_FeatureClass(&feature_class);
  if (!feature_class) return std::nullopt;
  TComInterface<IDataset> dataset;
  dataset = feature_class;
  if (!dataset) return std::nullopt;
  Tvo_bstr text;
  dataset->get_Name(&text);
  f_name = text.ansi();
  return f_name;
}

// ---- Tvo_arcgis_ptr_feature_renderer ----

Tvo_arcgis_ptr_feature_renderer::Tvo_arcgis_ptr_feature_renderer() = default;
Tvo_arcgis_ptr_feature_renderer::~Tvo_arcgis_ptr_feature_renderer() = default;

void Tvo_arcgis_ptr_feature_renderer::set_renderer(TComInterface<IFeatureRenderer> renderer) {
  f_renderer = std::move(renderer);
}

bool Tvo_arcgis_ptr_feature_renderer::is_unique_value_renderer() const {
  return answers<IUniqueValueRenderer>(f_renderer);
}

void Tvo_arcgis_ptr_feature_renderer::normalize_field_names() {
  if (!is_unique_value_renderer()) return;
  TComInterface<IUniqueValueRenderer> unique;
  unique = f_renderer;
  if (!unique) return;
  LONG count = 0;
  if (FAILED(unique->get_FieldCount(&count))) return;
  for (LONG i = 0; i < count; ++i) {
    Tvo_bstr field;
    if (FAILED(unique->get_Field(i, &field))) continue;
    Tvo_bstr replacement(normalized_field_name(field.ansi()));
    unique->put_Field(i, replacement.get());
  }
}

void Tvo_arcgis_ptr_feature_renderer::adapt_field_names(TComInterface<IFields> source_fields,
                                                        const Tvo_arcgis_field_names& names) {
  if (!f_renderer) return;
  TComInterface<IUniqueValueRenderer> unique;
  if (answers<IUniqueValueRenderer>(f_renderer)) unique = f_renderer;
  if (unique) {
    LONG count = 0;
    if (FAILED(unique->get_FieldCount(&count))) count = 0;
    for (LONG i = 0; i < count; ++i) {
      Tvo_bstr field;
      if (FAILED(unique->get_Field(i, &field))) continue;
      if (std::optional<Tvo_arcgis_text> result = result_field_name(source_fields, names, field.get())) {
        put_wide(*result, [&](BSTR value) { return unique->put_Field(i, value); });
      } else {
        Tvo_bstr replacement(normalized_field_name(field.ansi()));
        unique->put_Field(i, replacement.get());
      }
    }
  }
  TComInterface<IClassBreaksRenderer> breaks;
  if (answers<IClassBreaksRenderer>(f_renderer)) breaks = f_renderer;
  if (breaks) {
    Tvo_bstr field;
    if (SUCCEEDED(breaks->get_Field(&field)))
      if (std::optional<Tvo_arcgis_text> result = result_field_name(source_fields, names, field.get()))
        put_wide(*result, [&](BSTR value) { return breaks->put_Field(value); });
  }
}

// ---- field names of copied classes ----

Tvo_arcgis_field_names result_field_names(TComInterface<IFeatureClass> source, TComInterface<IFeatureClass> target) {
  Tvo_arcgis_field_names names;
  if (!source || !target) return names;
  TComInterface<IFields> source_fields, target_fields;
  source->get_Fields(&source_fields);
  target->get_Fields(&target_fields);
  if (!source_fields || !target_fields) return names;
  for_each_field_found(source_fields, target_fields, [&](LONG, LONG, TComInterface<IField>& target_field, BSTR name) {
    Tvo_bstr target_name;
    if (SUCCEEDED(target_field->get_Name(&target_name))) names[wide_text(name)] = wide_text(target_name.get());
  });
  return names;
}

std::optional<Tvo_arcgis_text> result_field_name(TComInterface<IFields> source_fields,
                                                 const Tvo_arcgis_field_names& names, BSTR name) {
  if (!source_fields || !name) return std::nullopt;
  LONG i = -1;
  source_fields->FindField(name, &i);
  if (i < 0) return std::nullopt;
  TComInterface<IField> field;
  source_fields->get_Field(i, &field);
  Tvo_bstr source_name;
  if (!field || FAILED(field->get_Name(&source_name))) return std::nullopt;
  auto found = names.find(wide_text(source_name.get()));
  if (found == names.end()) return std::nullopt;
  return found->second;
}

void adapt_display_field(TComInterface<IFeatureLayer> layer, TComInterface<IFields> source_fields,
                         const Tvo_arcgis_field_names& names) {
  if (!layer) return;
  Tvo_bstr field;
  if (FAILED(layer->get_DisplayField(&field))) return;
  if (std::optional<Tvo_arcgis_text> result = result_field_name(source_fields, names, field.get()))
    put_wide(*result, [&](BSTR value) { return layer->put_DisplayField(value); });
}

// ---- shapefile feature classes ----

void split_file_path(const std::string& path, std::string& folder, std::string& name) {
  size_t cut = path.find_last_of("\\/:");
  if (cut == std::string::npos) {
    folder.clear();
    name = path;
  } else {
    folder = path.substr(0, cut + 1);
    name = path.substr(cut + 1);
  }
}

HRESULT create_com_object(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  IUnknown* unknown = nullptr;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&unknown));
  if (SUCCEEDED(hr)) hr = OleRun(unknown);
  if (SUCCEEDED(hr)) hr = unknown->QueryInterface(iid, out);
  if (unknown) unknown->Release();
  return hr;
}

namespace {

TComInterface<IField> make_field(const char* name, const char* alias, esriFieldType type, bool shape,
                                 const TComInterface<IGeometryDefEdit>& geometry_def) {
  TComInterface<IField> field;
  create_com_object(CLSID_Field, field);
  if (!field) return field;
  TComInterface<IFieldEdit> edit;
  edit = field;
  if (!edit) return nullptr;
  Tvo_bstr name_text(name);
  edit->put_Name(name_text.get());
  if (alias) {
    Tvo_bstr alias_text(alias);
    edit->put_AliasName(alias_text.get());
  }
  if (shape) edit->put_IsNullable(VARIANT_TRUE);
  edit->put_Type(type);
  if (shape) {
    TComInterface<IGeometryDef> def;
    def = geometry_def;
    if (!def) return nullptr;
    edit->putref_GeometryDef(def);
    edit->put_Required(VARIANT_TRUE);
  }
  return field;
}

}  // namespace

TComInterface<IFeatureClass> create_shapefile_feature_class(const std::string& path, LONG geometry_type, bool has_z,
                                                            bool has_m,
                                                            TComInterface<ISpatialReference> spatial_reference) {
  TComInterface<IFeatureClass> result;
  std::string folder, name;
  split_file_path(path, folder, name);
  Tvo_bstr folder_text(folder), name_text(name);

  TComInterface<IWorkspaceFactory> factory;
  create_com_object(CLSID_ShapefileWorkspaceFactory, factory);
  if (!factory) return result;
  TComInterface<IPropertySet> properties;
  create_com_object(CLSID_PropertySet, properties);
  if (!properties) return result;
  VARIANT database;
  VariantInit(&database);
  database.vt = VT_BSTR;
  database.bstrVal = folder_text.get();
  Tvo_bstr database_name("DATABASE");
  properties->SetProperty(database_name.get(), database);

  TComInterface<IWorkspace> workspace;
  HRESULT hr = factory->Open(properties, 0, &workspace);
  if (FAILED(hr) || !workspace) return result;

  TComInterface<IFields> fields;
  create_com_object(CLSID_Fields, fields);
  if (!fields) return result;
  TComInterface<IFieldsEdit> fields_edit;
  fields_edit = fields;
  if (!fields_edit) return result;

  TComInterface<IGeometryDefEdit> geometry_def;
  create_com_object(CLSID_GeometryDef, geometry_def);
  if (!geometry_def) return result;
  geometry_def->put_GeometryType(static_cast<esriGeometryType>(geometry_type));
  geometry_def->put_HasM(has_m ? VARIANT_TRUE : VARIANT_FALSE);
  geometry_def->put_HasZ(has_z ? VARIANT_TRUE : VARIANT_FALSE);
  geometry_def->putref_SpatialReference(spatial_reference);

  TComInterface<IField> oid_field = make_field("OBJECTID", "OBJECTID", esriFieldTypeOID, false, geometry_def);
  if (!oid_field) return result;
  fields_edit->AddField(oid_field);
  TComInterface<IField> shape_field = make_field("SHAPE", nullptr, esriFieldTypeGeometry, true, geometry_def);
  if (!shape_field) return result;
  fields_edit->AddField(shape_field);

  TComInterface<IFeatureWorkspace> feature_workspace;
  feature_workspace = workspace;
  if (!feature_workspace) return result;
  Tvo_bstr shape_field_name("Shape"), keyword("");
  feature_workspace->CreateFeatureClass(name_text.get(), fields, nullptr, nullptr, esriFTSimple,
                                        shape_field_name.get(), keyword.get(), &result);
  return result;
}

void copy_attribute_fields(TComInterface<IFeatureClass> source, TComInterface<IFeatureClass> target) {
  if (!source) return;
  TComInterface<IFields> fields;
  source->get_Fields(&fields);
  if (!fields) return;
  LONG count = 0;
  fields->get_FieldCount(&count);
  for (LONG i = 0; i < count; ++i) {
    TComInterface<IField> field;
    fields->get_Field(i, &field);
    if (!field) continue;
    VARIANT_BOOL editable = VARIANT_FALSE;
    esriFieldType type = esriFieldTypeGeometry;
    field->get_Editable(&editable);
    field->get_Type(&type);
    if (!editable || type == esriFieldTypeGeometry) continue;
    if (!target) throw Exception("no feature class to add the field to");
    target->AddField(field);
  }
}

void copy_attribute_values(TComInterface<IFeature> source, TComInterface<IFeature> target) {
  if (!source) return;
  if (!target) throw Exception("no feature to copy the values to");
  TComInterface<IFields> source_fields, target_fields;
  source->get_Fields(&source_fields);
  target->get_Fields(&target_fields);
  if (!source_fields || !target_fields) return;
  for_each_field_found(source_fields, target_fields, [&](LONG i, LONG j, TComInterface<IField>& target_field, BSTR) {
    VARIANT_BOOL editable = VARIANT_FALSE;
    esriFieldType type = esriFieldTypeGeometry;
    target_field->get_Editable(&editable);
    target_field->get_Type(&type);
    if (!editable || type == esriFieldTypeGeometry) return;
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(source->get_Value(i, &value))) target->put_Value(j, value);
    VariantClear(&value);
  });
}
