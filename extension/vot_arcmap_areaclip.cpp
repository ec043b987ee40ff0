#include "extension/vot_arcmap_areaclip.h"

#include <new>
#include <optional>
#include <string>
#include <vector>

#include <olectl.h>
#include <toolkit/resources.h>

#include "extension/vot_arcmap_areaclip_atl.h"
#include "extension/vot_arcmap_areaclip_form.h"
#include "extension/vot_arcmap_areaclip_reg.h"
#include "extension/vot_arcmap_areaclip_tlb.h"
#include "extension/vot_arcmap_command_areaclip_impl.h"

namespace {

// ---- module state ----

HINSTANCE g_instance = nullptr;
LONG volatile g_lock_count = 0;
bool g_com_initialized = false;
// The toolkit's resource lookup that was installed before the module put in its own; given
// back at unload, so that the toolkit never keeps code of an unloaded module.
toolkit::ResourceLookup g_previous_resource_lookup;
// The class-table lock and two more, as the module keeps them.
CRITICAL_SECTION g_class_table_section;
CRITICAL_SECTION g_module_section;
CRITICAL_SECTION g_object_section;

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
    *ppEnum = new (std::nothrow) Tvo_enum_connections(m_items, m_position);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
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
    *ppEnum = new (std::nothrow) Tvo_enum_connection_points(m_point, m_position);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
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
  return vot_update_class_registry(vot_module_path_for_registry(g_instance), CLSID_vo_arcmap_tool_bar_areaclip,
                                   vot_arcmap_areaclip_tool_bar_progid, do_register);
}
HRESULT update_command_registry(bool do_register) {
  return vot_update_class_registry(vot_module_path_for_registry(g_instance), CLSID_vo_arcmap_command_areaclip,
                                   vot_arcmap_areaclip_command_progid, do_register);
}

Tvo_class_entry g_class_table[] = {
    {&CLSID_vo_arcmap_tool_bar_areaclip, vot_arcmap_areaclip_tool_bar_progid, update_tool_bar_registry,
     vot_create_class_factory, Tvo_arcmap_tool_bar_areaclipImpl::create_instance, nullptr, no_class_hook},
    {&CLSID_vo_arcmap_command_areaclip, vot_arcmap_areaclip_command_progid, update_command_registry,
     vot_create_class_factory, Tvo_arcmap_command_areaclipImpl::create_instance, nullptr, no_class_hook},
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

// ---- start-up and shut-down ----

// The bytes of a resource of the module, through FindResource, LoadResource and LockResource.
// type is "BITMAP", "RCDATA" (the predefined types) or a type name; name is a name or "#<id>".
std::optional<std::string> find_module_resource(HINSTANCE module, const std::string& type, const std::string& name) {
  LPCSTR type_id = type == "BITMAP" ? RT_BITMAP : type == "RCDATA" ? RT_RCDATA : type.c_str();
  HRSRC found = FindResourceA(module, name.c_str(), type_id);
  if (!found) return std::nullopt;
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return std::nullopt;
  return std::string(static_cast<const char*>(data), SizeofResource(module, found));
}

std::string load_form_resource() {
  std::optional<std::string> text = find_module_resource(g_instance, "RCDATA", "VO_ARCMAP_AREACLIP_FORM");
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
  g_previous_resource_lookup = toolkit::SetResourceLookup(&find_module_resource);
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
  // The module's own lookup comes back from this call and is destroyed here, while the code
  // that made it is still mapped.
  toolkit::SetResourceLookup(std::move(g_previous_resource_lookup));
  g_previous_resource_lookup = nullptr;
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
  Tvo_bstr description(message);
  create->SetDescription(description.get());
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
  return vot_register_module_type_library(vot_module_file_name(g_instance));
}

STDAPI DllUnregisterServer() {
  for (Tvo_class_entry* e = g_class_table; e->clsid; ++e) e->update_registry(false);
  return S_OK;
}
