#include "extension/vot_arcmap_areaclip.h"

#include <cctype>
#include <new>
#include <optional>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <win32/resources.h>
#include <toolkit/resources.h>

#include "extension/vot_arcmap_areaclip_form.h"
#include "extension/vot_arcmap_areaclip_tlb.h"
#include "extension/vot_arcmap_command_areaclip_impl.h"

namespace {

// ---- module state ----

HINSTANCE g_instance = nullptr;
LONG volatile g_lock_count = 0;
bool g_com_initialized = false;
// The class-table lock and two more, as the module keeps them.
CRITICAL_SECTION g_class_table_section;
CRITICAL_SECTION g_module_section;
CRITICAL_SECTION g_object_section;


std::u16string ansi_to_wide(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string wide(static_cast<size_t>(n), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string wide_to_ansi(const char16_t* text) {
  if (!text || !*text) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(n > 0 ? n : 1), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, ansi.data(), n, nullptr, nullptr);
  ansi.resize(std::strlen(ansi.c_str()));
  return ansi;
}

// IUnknown of the module's helper objects (enumerators, class factories): one interface
// besides IUnknown, an atomic reference count, deletion by the last Release.
template <class Derived, class I>
class Tvo_single_interface_object : public I {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != __uuidof(I)) return E_NOINTERFACE;
    *ppv = static_cast<I*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG n = InterlockedDecrement(&m_refs);
    if (n == 0) delete static_cast<Derived*>(this);
    return static_cast<ULONG>(n);
  }

 protected:
  ~Tvo_single_interface_object() = default;

 private:
  LONG volatile m_refs = 1;
};

// ---- enumerators (each counts in the lock count while it lives) ----

class Tvo_enum_connections final : public Tvo_single_interface_object<Tvo_enum_connections, IEnumConnections> {
 public:
  explicit Tvo_enum_connections(std::vector<CONNECTDATA> items, size_t position = 0)
      : m_items(std::move(items)), m_position(position) {
    for (CONNECTDATA& d : m_items) d.pUnk->AddRef();
    vot_module_lock();
  }
  ~Tvo_enum_connections() {
    for (CONNECTDATA& d : m_items) d.pUnk->Release();
    vot_module_unlock();
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, CONNECTDATA* out, ULONG* fetched) override {
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    while (n < count && m_position < m_items.size()) {
      out[n] = m_items[m_position++];
      out[n].pUnk->AddRef();
      ++n;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    size_t left = m_items.size() - m_position;
    m_position += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    m_position = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumConnections** ppEnum) override {
    if (!ppEnum) return E_POINTER;
    *ppEnum = new Tvo_enum_connections(m_items, m_position);
    return S_OK;
  }

 private:
  std::vector<CONNECTDATA> m_items;
  size_t m_position;
};

class Tvo_enum_connection_points final
    : public Tvo_single_interface_object<Tvo_enum_connection_points, IEnumConnectionPoints> {
 public:
  explicit Tvo_enum_connection_points(IConnectionPoint* point, size_t position = 0)
      : m_point(point), m_position(position) {
    m_point->AddRef();
    vot_module_lock();
  }
  ~Tvo_enum_connection_points() {
    m_point->Release();
    vot_module_unlock();
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** out, ULONG* fetched) override {
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    if (count > 0 && m_position == 0) {
      out[n++] = m_point;
      m_point->AddRef();
      m_position = 1;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    if (count == 0) return S_OK;
    bool had = m_position == 0;
    m_position = 1;
    return had && count == 1 ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    m_position = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** ppEnum) override {
    if (!ppEnum) return E_POINTER;
    *ppEnum = new Tvo_enum_connection_points(m_point, m_position);
    return S_OK;
  }

 private:
  IConnectionPoint* m_point;
  size_t m_position;
};

// ---- class factory ----

class Tvo_class_factory final : public Tvo_single_interface_object<Tvo_class_factory, IClassFactory> {
 public:
  explicit Tvo_class_factory(Tvo_instance_creator creator) : m_creator(creator) {}
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    return m_creator(outer, riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) vot_module_lock();
    else vot_module_unlock();
    return S_OK;
  }

 private:
  Tvo_instance_creator m_creator;
};

// ---- class table ----

HRESULT register_class(const CLSID& clsid, const char* progid, bool do_register);

struct Tvo_class_entry {
  const CLSID* clsid;
  const char* progid;
  HRESULT (*update_registry)(bool do_register);
  HRESULT (*create_factory)(Tvo_instance_creator creator, IUnknown** factory);
  Tvo_instance_creator create_instance;
  IUnknown* factory;
  void (*class_hook)(bool starting);
};

void no_class_hook(bool) {}

HRESULT update_tool_bar_registry(bool do_register) {
  return register_class(CLSID_vo_arcmap_tool_bar_areaclip, vot_arcmap_areaclip_tool_bar_progid, do_register);
}
HRESULT update_command_registry(bool do_register) {
  return register_class(CLSID_vo_arcmap_command_areaclip, vot_arcmap_areaclip_command_progid, do_register);
}

Tvo_class_entry g_class_table[] = {
    {&CLSID_vo_arcmap_tool_bar_areaclip, vot_arcmap_areaclip_tool_bar_progid, update_tool_bar_registry,
     vot_create_class_factory, Tvo_arcmap_tool_bar_areaclipImpl::create_instance, nullptr, no_class_hook},
    {&CLSID_vo_arcmap_command_areaclip, vot_arcmap_areaclip_command_progid, update_command_registry,
     vot_create_class_factory, Tvo_arcmap_command_areaclipImpl::create_instance, nullptr, no_class_hook},
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

// ---- registration ----

std::string module_file_name() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(g_instance, path, MAX_PATH);
  return path;
}

// The module path as registered: its short form when the full path holds white space.
std::string module_path_for_registry() {
  std::string path = module_file_name();
  for (char c : path) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      char short_path[MAX_PATH] = {};
      if (GetShortPathNameA(path.c_str(), short_path, MAX_PATH) > 0) return short_path;
      break;
    }
  }
  return path;
}

std::string guid_text(const GUID& guid) {
  LPOLESTR text = nullptr;
  if (FAILED(StringFromCLSID(guid, &text))) return {};
  std::string ansi = wide_to_ansi(text);
  CoTaskMemFree(text);
  return ansi;
}

void set_key_value(const std::string& key, const char* name, const std::string* value) {
  HKEY h = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                      nullptr, &h, nullptr) != ERROR_SUCCESS)
    return;
  if (value)
    RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                   static_cast<DWORD>(value->size() + 1));
  RegCloseKey(h);
}

// Deletes parent\name with everything below it, depth first.
void delete_key_tree(HKEY parent, const char* name) {
  HKEY h = nullptr;
  if (RegOpenKeyExA(parent, name, 0, KEY_READ | KEY_WRITE, &h) != ERROR_SUCCESS) return;
  char sub[256];
  while (RegEnumKeyA(h, 0, sub, sizeof sub) == ERROR_SUCCESS) {
    HKEY probe = nullptr;
    delete_key_tree(h, sub);
    if (RegOpenKeyExA(h, sub, 0, KEY_READ, &probe) == ERROR_SUCCESS) {
      // The subkey could not be deleted: stop rather than loop on it.
      RegCloseKey(probe);
      break;
    }
  }
  RegCloseKey(h);
  RegDeleteKeyA(parent, name);
}

struct Tvo_class_type_info {
  std::string description;
  bool has_description = false;
  TLIBATTR lib{};
};

// Loads the type library from path and reads what the registration needs of one class.
HRESULT read_class_type_info(const std::string& path, const CLSID& clsid, ITypeLib** lib, Tvo_class_type_info* info) {
  std::u16string wide = ansi_to_wide(path);
  HRESULT hr = LoadTypeLib(wide.c_str(), lib);
  if (FAILED(hr)) return hr;
  ITypeInfo* type = nullptr;
  hr = (*lib)->GetTypeInfoOfGuid(clsid, &type);
  if (FAILED(hr)) return hr;
  BSTR doc = nullptr;
  if (SUCCEEDED(type->GetDocumentation(MEMBERID_NIL, nullptr, &doc, nullptr, nullptr)) && doc) {
    info->description = wide_to_ansi(doc);
    info->has_description = true;
  }
  SysFreeString(doc);
  type->Release();
  TLIBATTR* attr = nullptr;
  hr = (*lib)->GetLibAttr(&attr);
  if (FAILED(hr)) return hr;
  info->lib = *attr;
  (*lib)->ReleaseTLibAttr(attr);
  return S_OK;
}

HRESULT register_class(const CLSID& clsid, const char* progid, bool do_register) {
  const std::string path = module_path_for_registry();
  ITypeLib* lib = nullptr;
  Tvo_class_type_info info;
  HRESULT hr = read_class_type_info(path, clsid, &lib, &info);
  if (FAILED(hr)) {
    if (lib) lib->Release();
    return hr;
  }
  const std::string clsid_text = guid_text(clsid);
  const std::string clsid_key = "CLSID\\" + clsid_text;
  const std::string prog = progid ? progid : "";
  if (!do_register) {
    lib->Release();
    delete_key_tree(HKEY_CLASSES_ROOT, clsid_key.c_str());
    if (!prog.empty()) delete_key_tree(HKEY_CLASSES_ROOT, prog.c_str());
    return S_OK;
  }
  const std::string* description = info.has_description ? &info.description : nullptr;
  set_key_value(clsid_key, nullptr, description);
  set_key_value(clsid_key + "\\InprocServer32", nullptr, &path);
  const std::string apartment = "Apartment";
  set_key_value(clsid_key + "\\InprocServer32", "ThreadingModel", &apartment);
  if (!prog.empty()) {
    set_key_value(prog, nullptr, description);
    set_key_value(prog + "\\CLSID", nullptr, &clsid_text);
    set_key_value(clsid_key + "\\ProgID", nullptr, &prog);
  }
  char version[32];
  std::snprintf(version, sizeof version, "%d.%d", info.lib.wMajorVerNum, info.lib.wMinorVerNum);
  const std::string version_text = version;
  set_key_value(clsid_key + "\\Version", nullptr, &version_text);
  const std::string libid = guid_text(info.lib.guid);
  set_key_value(clsid_key + "\\Typelib", nullptr, &libid);
  std::u16string wide = ansi_to_wide(path);
  hr = RegisterTypeLib(lib, wide.c_str(), nullptr);
  lib->Release();
  return hr;
}

// The type library once more, for the module as a whole, with its folder as help directory.
HRESULT register_module_type_library() {
  std::string path = module_file_name();
  ITypeLib* lib = nullptr;
  std::u16string wide = ansi_to_wide(path);
  HRESULT hr = LoadTypeLib(wide.c_str(), &lib);
  if (FAILED(hr)) {
    size_t dot = path.rfind('.');
    path = dot == std::string::npos ? path + ".tlb" : path.substr(0, dot) + ".tlb";
    wide = ansi_to_wide(path);
    hr = LoadTypeLib(wide.c_str(), &lib);
    if (FAILED(hr)) return hr;
  }
  size_t cut = path.find_last_of("\\/:");
  std::u16string help_dir = ansi_to_wide(cut == std::string::npos ? std::string() : path.substr(0, cut + 1));
  hr = RegisterTypeLib(lib, wide.c_str(), help_dir.c_str());
  lib->Release();
  return hr;
}

// ---- start-up and shut-down ----

std::string load_form_resource() {
  std::optional<std::string> text = win32::FindResourceBytes(g_instance, "RCDATA", "VO_ARCMAP_AREACLIP_FORM");
  if (!text) throw Exception("Нет ресурса формы диалога.");
  return *text;
}

void module_start(HINSTANCE instance) {
  g_com_initialized = SUCCEEDED(CoInitialize(nullptr));
  g_instance = instance;
  InitializeCriticalSection(&g_class_table_section);
  InitializeCriticalSection(&g_module_section);
  InitializeCriticalSection(&g_object_section);
  for (Tvo_class_entry* e = g_class_table; e->clsid; ++e) e->class_hook(true);
  toolkit::SetResourceLookup(&win32::FindResourceBytes);
  set_areaclip_form_loader(&load_form_resource);
  DisableThreadLibraryCalls(instance);
}

void module_stop() {
  for (Tvo_class_entry* e = g_class_table; e->clsid; ++e) {
    if (IUnknown* factory = e->factory) {
      e->factory = nullptr;
      factory->Release();
    }
    e->class_hook(false);
  }
  set_areaclip_form_loader(nullptr);
  DeleteCriticalSection(&g_object_section);
  DeleteCriticalSection(&g_module_section);
  DeleteCriticalSection(&g_class_table_section);
  if (g_com_initialized) {
    g_com_initialized = false;
    CoUninitialize();
  }
}

}  // namespace

// ---- module state ----

HINSTANCE vot_module_instance() { return g_instance; }
LONG vot_module_lock() { return InterlockedIncrement(&g_lock_count); }
LONG vot_module_unlock() { return InterlockedDecrement(&g_lock_count); }
LONG vot_module_lock_count() { return g_lock_count; }

void vot_set_error_info(REFIID iid, REFCLSID clsid, const std::string& message) {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return;
  create->SetGUID(iid);
  LPOLESTR progid = nullptr;
  if (SUCCEEDED(ProgIDFromCLSID(clsid, &progid))) {
    create->SetSource(progid);
    CoTaskMemFree(progid);
  }
  std::u16string description = ansi_to_wide(message);
  create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
}

HRESULT vot_create_class_factory(Tvo_instance_creator creator, IUnknown** factory) {
  if (!factory) return E_POINTER;
  *factory = nullptr;
  Tvo_class_factory* f = new (std::nothrow) Tvo_class_factory(creator);
  if (!f) return E_OUTOFMEMORY;
  *factory = static_cast<IClassFactory*>(f);
  return S_OK;
}

// ---- connection point ----

Tvo_connection_point::~Tvo_connection_point() {
  for (IUnknown*& sink : m_sinks)
    if (IUnknown* s = std::exchange(sink, nullptr)) s->Release();
}

HRESULT Tvo_connection_point::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_IConnectionPoint) return E_NOINTERFACE;
  *ppv = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

HRESULT Tvo_connection_point::GetConnectionInterface(IID* pIID) {
  if (!pIID) return E_POINTER;
  *pIID = m_diid;
  return S_OK;
}

HRESULT Tvo_connection_point::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
  if (!ppCPC) return E_POINTER;
  m_container->AddRef();
  *ppCPC = m_container;
  return S_OK;
}

HRESULT Tvo_connection_point::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
  if (!pdwCookie) return E_POINTER;
  *pdwCookie = 0;
  if (!pUnkSink) return E_POINTER;
  IUnknown* sink = nullptr;
  HRESULT hr = pUnkSink->QueryInterface(m_diid, reinterpret_cast<void**>(&sink));
  if (hr == E_NOINTERFACE) return CONNECT_E_CANNOTCONNECT;
  if (FAILED(hr)) return hr;
  for (int i = 0; i < max_sinks; ++i) {
    if (!m_sinks[i]) {
      m_sinks[i] = sink;
      *pdwCookie = static_cast<DWORD>(i + 1);
      return S_OK;
    }
  }
  sink->Release();
  return CONNECT_E_ADVISELIMIT;
}

HRESULT Tvo_connection_point::Unadvise(DWORD dwCookie) {
  if (dwCookie < 1 || dwCookie > static_cast<DWORD>(max_sinks) || !m_sinks[dwCookie - 1])
    return CONNECT_E_NOCONNECTION;
  std::exchange(m_sinks[dwCookie - 1], nullptr)->Release();
  return S_OK;
}

HRESULT Tvo_connection_point::EnumConnections(IEnumConnections** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = nullptr;
  std::vector<CONNECTDATA> items;
  for (int i = 0; i < max_sinks; ++i)
    if (m_sinks[i]) items.push_back(CONNECTDATA{m_sinks[i], static_cast<DWORD>(i + 1)});
  *ppEnum = new (std::nothrow) Tvo_enum_connections(std::move(items));
  return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

HRESULT Tvo_connection_point::find(REFIID riid, IConnectionPoint** ppCP) {
  if (!ppCP) return E_POINTER;
  *ppCP = nullptr;
  if (riid != m_diid) return CONNECT_E_NOCONNECTION;
  AddRef();
  *ppCP = this;
  return S_OK;
}

HRESULT Tvo_connection_point::enumerate(IEnumConnectionPoints** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = new (std::nothrow) Tvo_enum_connection_points(this);
  return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

// ---- exports ----

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) module_start(instance);
  else if (reason == DLL_PROCESS_DETACH) module_stop();
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (Tvo_class_entry* e = g_class_table; e->clsid; ++e) {
    if (!e->create_factory || *e->clsid != rclsid) continue;
    HRESULT hr = S_OK;
    if (!e->factory) {
      EnterCriticalSection(&g_class_table_section);
      if (!e->factory) hr = e->create_factory(e->create_instance, &e->factory);
      LeaveCriticalSection(&g_class_table_section);
    }
    if (e->factory) return e->factory->QueryInterface(riid, ppv);
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return g_lock_count == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  for (Tvo_class_entry* e = g_class_table; e->clsid; ++e) {
    HRESULT hr = e->update_registry(true);
    if (FAILED(hr)) return hr;
  }
  return register_module_type_library();
}

STDAPI DllUnregisterServer() {
  for (Tvo_class_entry* e = g_class_table; e->clsid; ++e) e->update_registry(false);
  return S_OK;
}
