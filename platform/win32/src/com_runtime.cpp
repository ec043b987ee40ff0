// COM runtime: per-thread initialisation, the built-in class table, class lookup through an
// installable resolver, ProgIDs, GUID text forms and the task allocator.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "../include/objbase.h"
#include "../include/win32/com_object.h"
#include "../include/win32/com_runtime.h"
#include "../include/win32/text.h"
#include "live_counts.h"

namespace win32 {

namespace {

std::atomic<long> g_objects_alive{0};
thread_local int t_init_count = 0;

struct GuidLess {
  bool operator()(const GUID& a, const GUID& b) const { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
};

struct BuiltinClass {
  std::string progid;
  InstanceCreator create;
};

struct ClassTable {
  std::mutex lock;
  std::map<GUID, BuiltinClass, GuidLess> classes;
  ClassObjectResolver resolver;
  ProgIdResolver progid_to_clsid;
  ClsidResolver clsid_to_progid;
};

ClassTable& table() {
  static ClassTable* t = new ClassTable;  // outlives every static destructor that may use COM
  return *t;
}

// Class object of a built-in class: creates instances through the registered creator.
class BuiltinFactory : public ComObject<BuiltinFactory, IClassFactory> {
 public:
  explicit BuiltinFactory(InstanceCreator create) : create_(std::move(create)) {}
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    try {
      return create_(outer, riid, ppv);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_FAIL;
    }
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  InstanceCreator create_;
};

int hex_value(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool parse_guid(std::u16string_view s, GUID* g) {
  if (s.size() == 38 && s.front() == u'{' && s.back() == u'}') s = s.substr(1, 36);
  if (s.size() != 36 || s[8] != u'-' || s[13] != u'-' || s[18] != u'-' || s[23] != u'-') return false;
  uint8_t bytes[16];
  size_t pos = 0;
  for (int i = 0; i < 16; ++i) {
    if (pos == 8 || pos == 13 || pos == 18 || pos == 23) ++pos;
    int hi = hex_value(s[pos]), lo = hex_value(s[pos + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes[i] = static_cast<uint8_t>(hi * 16 + lo);
    pos += 2;
  }
  g->Data1 = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
  g->Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  g->Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  std::memcpy(g->Data4, bytes + 8, 8);
  return true;
}

LPOLESTR co_task_string(const std::u16string& s) {
  auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((s.size() + 1) * sizeof(OLECHAR)));
  if (!out) return nullptr;
  std::copy(s.begin(), s.end(), out);
  out[s.size()] = 0;
  return out;
}

}  // namespace

namespace detail {
bool g_count_live = true;
}  // namespace detail

void CountLiveObjects(bool on) { detail::g_count_live = on; }
long ComObjectsAlive() { return g_objects_alive.load(); }
void ComObjectCreated() {
  if (detail::g_count_live) ++g_objects_alive;
}
void ComObjectDestroyed() {
  if (detail::g_count_live) --g_objects_alive;
}

void RegisterBuiltinClass(REFCLSID clsid, const std::string& progid, InstanceCreator create) {
  auto& t = table();
  std::lock_guard<std::mutex> g(t.lock);
  t.classes[clsid] = BuiltinClass{progid, std::move(create)};
}

void UnregisterBuiltinClass(REFCLSID clsid) {
  auto& t = table();
  std::lock_guard<std::mutex> g(t.lock);
  t.classes.erase(clsid);
}

ClassObjectResolver SetClassObjectResolver(ClassObjectResolver resolver) {
  auto& t = table();
  std::lock_guard<std::mutex> g(t.lock);
  std::swap(t.resolver, resolver);
  return resolver;
}

void SetProgIdResolvers(ProgIdResolver to_clsid, ClsidResolver to_progid) {
  auto& t = table();
  std::lock_guard<std::mutex> g(t.lock);
  t.progid_to_clsid = std::move(to_clsid);
  t.clsid_to_progid = std::move(to_progid);
}

std::string guid_to_string(REFGUID g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

bool guid_from_string(const std::string& text, GUID* guid) {
  std::u16string w(text.begin(), text.end());
  return parse_guid(w, guid);
}

int CoInitializeCount() { return t_init_count; }

}  // namespace win32

using namespace win32;

HRESULT CoInitialize(LPVOID) { return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(LPVOID, DWORD) { return t_init_count++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (t_init_count > 0) --t_init_count;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD, LPVOID, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  auto& t = table();
  InstanceCreator create;
  ClassObjectResolver resolver;
  {
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.classes.find(clsid);
    if (it != t.classes.end()) create = it->second.create;
    else resolver = t.resolver;
  }
  if (create) return BuiltinFactory::create_instance(riid, ppv, std::move(create));
  if (resolver) return resolver(clsid, riid, ppv);
  return REGDB_E_CLASSNOTREG;
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD ctx, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ComPtr<IClassFactory> factory;
  HRESULT hr = CoGetClassObject(clsid, ctx, nullptr, IID_IClassFactory, factory.put_void());
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(outer, riid, ppv);
}

HRESULT OleRun(LPUNKNOWN unknown) {
  if (!unknown) return E_INVALIDARG;
  ComPtr<IRunnableObject> runnable = query<IRunnableObject>(unknown);
  if (!runnable) return S_OK;
  return runnable->Run(nullptr);
}

LPVOID CoTaskMemAlloc(size_t cb) { return std::malloc(cb ? cb : 1); }
void CoTaskMemFree(LPVOID pv) { std::free(pv); }

int StringFromGUID2(REFGUID g, LPOLESTR out, int cch) {
  std::string s = guid_to_string(g);
  if (!out || cch < static_cast<int>(s.size()) + 1) return 0;
  for (size_t i = 0; i < s.size(); ++i) out[i] = static_cast<OLECHAR>(s[i]);
  out[s.size()] = 0;
  return static_cast<int>(s.size()) + 1;
}

HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* out) {
  if (!out) return E_INVALIDARG;
  std::string s = guid_to_string(clsid);
  *out = co_task_string(std::u16string(s.begin(), s.end()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT StringFromIID(REFIID iid, LPOLESTR* out) { return StringFromCLSID(iid, out); }

HRESULT CLSIDFromString(LPCOLESTR s, LPCLSID clsid) {
  if (!clsid) return E_INVALIDARG;
  if (!s || !*s) {
    *clsid = GUID_NULL;
    return S_OK;
  }
  std::u16string_view v(s);
  if (v.empty() || v.front() != u'{' || !parse_guid(v, clsid)) {
    if (!v.empty() && v.front() != u'{') return CLSIDFromProgID(s, clsid);
    *clsid = GUID_NULL;
    return CO_E_CLASSSTRING;
  }
  return S_OK;
}

HRESULT IIDFromString(LPCOLESTR s, IID* iid) {
  if (!iid) return E_INVALIDARG;
  if (!s) {
    *iid = GUID_NULL;
    return S_OK;
  }
  return parse_guid(std::u16string_view(s), iid) ? S_OK : E_INVALIDARG;
}

HRESULT CLSIDFromProgID(LPCOLESTR progid, LPCLSID clsid) {
  if (!progid || !clsid) return E_INVALIDARG;
  std::string name = utf16_to_utf8(progid);
  auto& t = table();
  ProgIdResolver resolver;
  {
    std::lock_guard<std::mutex> g(t.lock);
    for (const auto& [id, cls] : t.classes) {
      if (!cls.progid.empty() && cls.progid == name) {
        *clsid = id;
        return S_OK;
      }
    }
    resolver = t.progid_to_clsid;
  }
  if (resolver && resolver(name, clsid)) return S_OK;
  *clsid = GUID_NULL;
  return CO_E_CLASSSTRING;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  auto& t = table();
  std::string progid;
  ClsidResolver resolver;
  {
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.classes.find(clsid);
    if (it != t.classes.end()) progid = it->second.progid;
    resolver = t.clsid_to_progid;
  }
  if (progid.empty() && !(resolver && resolver(clsid, &progid))) return REGDB_E_CLASSNOTREG;
  if (progid.empty()) return REGDB_E_CLASSNOTREG;
  *out = co_task_string(utf8_to_utf16(progid));
  return *out ? S_OK : E_OUTOFMEMORY;
}
