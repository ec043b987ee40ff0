#include "shapefile_workspace.h"

#include <filesystem>

#include <win32/com_error.h>
#include <win32/com_object.h>
#include <win32/paths.h>
#include <win32/text.h>

#include "feature_class.h"
#include "registration.h"

namespace gis::core {

namespace {

namespace fs = std::filesystem;

// The shapefile base name a class name asks for: the name without a ".shp" ending.
std::string base_name(const std::string& name) {
  if (name.size() > 4 && EQUAL(name.substr(name.size() - 4).c_str(), ".shp")) return name.substr(0, name.size() - 4);
  return name;
}

class Workspace final : public win32::ComObject<Workspace, IWorkspace, IFeatureWorkspace, IDataset> {
 public:
  explicit Workspace(std::string folder) : folder_(std::move(folder)) {}

  HRESULT STDMETHODCALLTYPE get_PathName(BSTR* path) override { return out_text(folder_, path); }

  // The exact file name first; then, as on a case-insensitive file system, any shapefile
  // whose name differs only in letter case.
  HRESULT STDMETHODCALLTYPE OpenFeatureClass(BSTR name, IFeatureClass** feature_class) override {
    if (!feature_class) return E_POINTER;
    *feature_class = nullptr;
    return win32::com_guard([&] {
      std::string base = base_name(win32::bstr_to_utf8(name));
      if (base.empty() || base.find('/') != std::string::npos || base.find('\\') != std::string::npos)
        win32::throw_hr(E_INVALIDARG, "not a feature class name: " + win32::bstr_to_utf8(name));
      fs::path path = fs::path(folder_) / (base + ".shp");
      std::error_code ec;
      if (!fs::is_regular_file(path, ec)) {
        path.clear();
        for (const auto& entry : fs::directory_iterator(folder_, ec)) {
          if (entry.is_regular_file(ec) && EQUAL(entry.path().filename().string().c_str(), (base + ".shp").c_str())) {
            path = entry.path();
            break;
          }
        }
        if (path.empty()) win32::throw_hr(STG_E_FILENOTFOUND, "no shapefile " + base + " in " + folder_);
      }
      win32::ComPtr<FeatureClass> cls = FeatureClass::open(path.string(), "", static_cast<IWorkspace*>(this));
      *feature_class = static_cast<IFeatureClass*>(cls.detach());
      return S_OK;
    });
  }

  // fields: one object-id field (optional) and one geometry field with its GeometryDef;
  // any other field becomes an attribute. clsid, extclsid, shape field name and
  // configuration keyword are not used.
  HRESULT STDMETHODCALLTYPE CreateFeatureClass(BSTR name, IFields* fields, IUID*, IUID*, esriFeatureType feature_type,
                                               BSTR, BSTR, IFeatureClass** feature_class) override {
    if (!feature_class) return E_POINTER;
    *feature_class = nullptr;
    if (!fields) return E_POINTER;
    return win32::com_guard([&] {
      if (feature_type != esriFTSimple) win32::throw_hr(E_INVALIDARG, "a shapefile holds simple features only");
      std::string base = base_name(win32::bstr_to_utf8(name));
      if (base.empty() || base.find('/') != std::string::npos || base.find('\\') != std::string::npos)
        win32::throw_hr(E_INVALIDARG, "not a shapefile name: " + win32::bstr_to_utf8(name));
      LONG count = 0;
      fields->get_FieldCount(&count);
      bool has_shape = false;
      esriGeometryType type = esriGeometryNull;
      VARIANT_BOOL has_z = VARIANT_FALSE, has_m = VARIANT_FALSE;
      win32::ComPtr<ISpatialReference> sr;
      std::vector<FieldSpec> attributes;
      for (LONG i = 0; i < count; ++i) {
        win32::ComPtr<IField> field;
        if (FAILED(fields->get_Field(i, field.put())) || !field) continue;
        FieldSpec desc = read_field(field.get());
        if (desc.type == esriFieldTypeOID) continue;
        if (desc.type != esriFieldTypeGeometry) {
          attributes.push_back(desc);
          continue;
        }
        if (has_shape) win32::throw_hr(E_INVALIDARG, "a shapefile has one geometry field");
        if (!desc.geometry_def) win32::throw_hr(E_INVALIDARG, "the geometry field has no geometry definition");
        has_shape = true;
        desc.geometry_def->get_GeometryType(&type);
        desc.geometry_def->get_HasZ(&has_z);
        desc.geometry_def->get_HasM(&has_m);
        desc.geometry_def->get_SpatialReference(sr.put());
      }
      if (!has_shape) win32::throw_hr(E_INVALIDARG, "the fields have no geometry field");
      win32::ComPtr<FeatureClass> cls =
          FeatureClass::create_shapefile(folder_, base, type, has_z != VARIANT_FALSE, has_m != VARIANT_FALSE, sr.get(),
                                         attributes, static_cast<IWorkspace*>(this));
      *feature_class = static_cast<IFeatureClass*>(cls.detach());
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
    return out_text(fs::path(folder_).filename().string(), name);
  }
  HRESULT STDMETHODCALLTYPE get_BrowseName(BSTR* name) override { return get_Name(name); }
  HRESULT STDMETHODCALLTYPE get_Category(BSTR* category) override { return out_text("Shapefiles", category); }
  HRESULT STDMETHODCALLTYPE get_Workspace(IWorkspace** workspace) override {
    if (!workspace) return E_POINTER;
    *workspace = static_cast<IWorkspace*>(this);
    AddRef();
    return S_OK;
  }

 private:
  static HRESULT out_text(const std::string& s, BSTR* out) {
    if (!out) return E_POINTER;
    *out = win32::bstr_from_utf8(s);
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  std::string folder_;
};

std::string folder_of(BSTR wide) {
  std::string folder = win32::wide_path_to_posix(win32::bstr_view(wide));
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

class ShapefileWorkspaceFactory final : public win32::ComObject<ShapefileWorkspaceFactory, IWorkspaceFactory> {
 public:
  // The folder is the "DATABASE" property (text), with or without a trailing separator.
  HRESULT STDMETHODCALLTYPE Open(IPropertySet* properties, OLE_HANDLE, IWorkspace** workspace) override {
    if (!workspace) return E_POINTER;
    *workspace = nullptr;
    if (!properties) return E_POINTER;
    return win32::com_guard([&] {
      VARIANT v;
      VariantInit(&v);
      win32::Bstr key = win32::Bstr::from_utf8("DATABASE");
      HRESULT hr = properties->GetProperty(key.get(), &v);
      if (FAILED(hr) || v.vt != VT_BSTR) {
        VariantClear(&v);
        win32::throw_hr(E_INVALIDARG, "the connection properties name no DATABASE folder");
      }
      std::string folder = folder_of(v.bstrVal);
      VariantClear(&v);
      *workspace = open_shapefile_workspace(folder).detach();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE OpenFromFile(BSTR file_name, OLE_HANDLE, IWorkspace** workspace) override {
    if (!workspace) return E_POINTER;
    *workspace = nullptr;
    return win32::com_guard([&] {
      *workspace = open_shapefile_workspace(folder_of(file_name)).detach();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE IsWorkspace(BSTR file_name, VARIANT_BOOL* is_workspace) override {
    if (!is_workspace) return E_POINTER;
    return win32::com_guard([&] {
      std::error_code ec;
      *is_workspace = fs::is_directory(folder_of(file_name), ec) ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }
};

}  // namespace

win32::ComPtr<IWorkspace> open_shapefile_workspace(const std::string& folder) {
  std::error_code ec;
  if (folder.empty() || !fs::is_directory(folder, ec))
    win32::throw_hr(STG_E_FILENOTFOUND, "not a folder: " + (folder.empty() ? std::string("(none)") : folder));
  return Workspace::make(folder);
}

void register_workspace_classes() {
  register_class<ShapefileWorkspaceFactory>(CLSID_ShapefileWorkspaceFactory, "esriDataSourcesFile.ShapefileWorkspaceFactory");
}

}  // namespace gis::core
