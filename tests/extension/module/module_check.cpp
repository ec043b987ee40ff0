// The module as a COM client meets it, through nothing but the platform's COM runtime and
// registry API: built for Windows against the real headers (run under Wine after regsvr32)
// and for Linux against the stand-in, so that both runtimes go through one scenario.
//
//   module_check registered MODULE_PATH    after registration: keys, classes, objects
//   module_check unregistered              after unregistration: every key gone
//
// Prints one line per observation ("name = value") and one per failed expectation
// ("FAIL name: ..."); the observations of two runtimes can be compared line by line.
// Exit status: 0 when every expectation held, 1 otherwise, 2 on a usage error.
#include <initguid.h>

#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "arcobjects/arcobjects.h"
#include "extension/vot_arcmap_areaclip_tlb.h"

// What the platform needs before the scenario (module_check_platform.cpp).
void module_check_platform_start();

namespace {

int g_failures = 0;

void observe(const std::string& name, const std::string& value) { std::printf("%s = %s\n", name.c_str(), value.c_str()); }

void expect(bool held, const std::string& name, const std::string& detail = "") {
  if (held) return;
  ++g_failures;
  std::printf("FAIL %s%s%s\n", name.c_str(), detail.empty() ? "" : ": ", detail.c_str());
}

std::string hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

std::string hr_name(HRESULT hr) {
  switch (hr) {
    case S_OK: return "S_OK";
    case S_FALSE: return "S_FALSE";
    case E_POINTER: return "E_POINTER";
    case E_INVALIDARG: return "E_INVALIDARG";
    case E_NOINTERFACE: return "E_NOINTERFACE";
    case CLASS_E_NOAGGREGATION: return "CLASS_E_NOAGGREGATION";
    case REGDB_E_CLASSNOTREG: return "REGDB_E_CLASSNOTREG";
    case CO_E_CLASSSTRING: return "CO_E_CLASSSTRING";
    case CONNECT_E_ADVISELIMIT: return "CONNECT_E_ADVISELIMIT";
    case CONNECT_E_NOCONNECTION: return "CONNECT_E_NOCONNECTION";
    case CONNECT_E_CANNOTCONNECT: return "CONNECT_E_CANNOTCONNECT";
    default: return hex(hr);
  }
}

// Observes a call's result and expects `wanted`.
void result(const std::string& name, HRESULT hr, HRESULT wanted) {
  observe(name, hr_name(hr));
  expect(hr == wanted, name, "wanted " + hr_name(wanted));
}

std::vector<OLECHAR> wide(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::vector<OLECHAR> out(static_cast<size_t>(n > 0 ? n : 1), 0);
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, out.data(), n);
  return out;
}

std::string utf8(const OLECHAR* text, int length = -1) {
  if (!text) return "(null)";
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
  if (length < 0 && !out.empty()) out.pop_back();
  return out;
}

std::string guid_text(REFGUID guid) {
  OLECHAR text[40] = {};
  StringFromGUID2(guid, text, 40);
  return utf8(text);
}

// ---- the registry, read back through the registry API ----

// The value of HKEY_CLASSES_ROOT\key (its default value when name is empty), or "(no key)",
// "(no value)".
std::string registry_value(const std::string& key, const std::string& name = "") {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return "(no key)";
  char data[1024] = {};
  DWORD size = sizeof data - 1, type = 0;
  LONG status = RegQueryValueExA(handle, name.empty() ? nullptr : name.c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS) return "(no value)";
  if (type != REG_SZ) return "(type " + std::to_string(type) + ")";
  return std::string(data, size && data[size - 1] == '\0' ? size - 1 : size);
}

bool same_path(std::string a, std::string b) {
  for (std::string* s : {&a, &b})
    for (char& c : *s) c = c == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return a == b;
}

std::string folder_of(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

const char kToolBar[] = "{3A43C927-85BD-4CD2-AD96-3AF6C445FAC6}";
const char kCommand[] = "{5E1406A0-AA3A-45CB-9AA4-4D9C5009B25C}";
const char kLibId[] = "{B1532AF0-85A1-491B-96F8-EEF899C3B9CC}";

struct ClassKeys {
  const char* clsid;
  const char* description;
  const char* progid;
};
const ClassKeys kClasses[] = {
    {kToolBar, "vo_arcmap_tool_bar_areaclip", vot_arcmap_areaclip_tool_bar_progid},
    {kCommand, "vo_arcmap_command_areaclip", vot_arcmap_areaclip_command_progid},
};

// Observes a value, expecting `wanted`.
void registry_expect(const std::string& key, const std::string& name, const std::string& wanted) {
  const std::string value = registry_value(key, name);
  observe("HKCR\\" + key + (name.empty() ? "" : " [" + name + "]"), value);
  expect(value == wanted, "HKCR\\" + key + " " + name, "wanted '" + wanted + "'");
}

void check_registered_keys(const std::string& module_path) {
  for (const ClassKeys& c : kClasses) {
    const std::string key = std::string("CLSID\\") + c.clsid;
    registry_expect(key, "", c.description);
    const std::string server = registry_value(key + "\\InprocServer32");
    observe("HKCR\\" + key + "\\InprocServer32", same_path(server, module_path) ? "(the module)" : server);
    expect(same_path(server, module_path), key + "\\InprocServer32", "wanted the module's path " + module_path);
    registry_expect(key + "\\InprocServer32", "ThreadingModel", "Apartment");
    registry_expect(key + "\\ProgID", "", c.progid);
    registry_expect(key + "\\Version", "", "1.0");
    registry_expect(key + "\\Typelib", "", kLibId);
    registry_expect(key + "\\VersionIndependentProgID", "", "(no key)");
    registry_expect(c.progid, "", c.description);
    registry_expect(std::string(c.progid) + "\\CLSID", "", c.clsid);
  }
  const std::string lib = std::string("TypeLib\\") + kLibId + "\\1.0";
  registry_expect(lib, "", "vot_arcmap_areaclip Library");
  // A 64-bit module's type library is registered for win64.
  const std::string win64 = registry_value(lib + "\\409\\win64");
  observe("HKCR\\" + lib + "\\409\\win64", same_path(win64, module_path) ? "(the module)" : win64);
  expect(same_path(win64, module_path), lib + "\\409\\win64", "wanted the module's path");
  registry_expect(lib + "\\409\\win32", "", "(no key)");
  // FLAGS: the library's flags; whether the disk-image flag (8) shows differs between runtimes.
  const std::string flags = registry_value(lib + "\\FLAGS");
  observe("HKCR\\" + lib + "\\FLAGS without the disk-image flag",
          flags.empty() || flags[0] == '(' ? flags : std::to_string(std::stoul(flags) & ~8ul));
  const std::string help = registry_value(lib + "\\HELPDIR");
  observe("HKCR\\" + lib + "\\HELPDIR", same_path(help, folder_of(module_path)) ? "(the module's folder)" : help);
  for (const char* events : {"{6D19C0B6-4F5E-43DC-AB39-B4273BC3085F}", "{BB292A6C-281C-41D6-828A-B757116FC450}"}) {
    registry_expect(std::string("Interface\\") + events + "\\TypeLib", "", kLibId);
    registry_expect(std::string("Interface\\") + events + "\\ProxyStubClsid32", "",
                    "{00020420-0000-0000-C000-000000000046}");
  }
}

// ---- objects of the program's own ----

// An item definition that records what the toolbar sets.
class RecordingItem : public IItemDef {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualGUID(riid, IID_IUnknown) && !IsEqualGUID(riid, IID_IItemDef)) return E_NOINTERFACE;
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE put_ID(BSTR value) override {
    id = utf8(value, static_cast<int>(SysStringLen(value)));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Group(VARIANT_BOOL value) override {
    group = value;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_SubType(LONG value) override {
    sub_type = value;
    return S_OK;
  }
  ULONG refs = 1;
  std::string id = "(not set)";
  VARIANT_BOOL group = 7;
  LONG sub_type = -1;
};

// An event sink answering IUnknown, IDispatch and the events interface `events`.
class Sink : public IDispatch {
 public:
  explicit Sink(REFIID events) : events_(events) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualGUID(riid, IID_IUnknown) && !IsEqualGUID(riid, IID_IDispatch) && !IsEqualGUID(riid, events_))
      return E_NOINTERFACE;
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  ULONG refs = 1;

 private:
  IID events_;
};

// ---- the module's own answers ----

using PlainFn = HRESULT(STDAPICALLTYPE*)();

// DllCanUnloadNow of the module as the runtime loaded it.
HRESULT can_unload_now(const std::string& module_path) {
  HMODULE module = GetModuleHandleA(module_path.c_str());
  if (!module) return E_FAIL;
  auto fn = reinterpret_cast<PlainFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  return fn ? fn() : E_FAIL;
}

void unload_check(const std::string& module_path, const std::string& after, HRESULT wanted) {
  result("DllCanUnloadNow after " + after, can_unload_now(module_path), wanted);
}

template <class I>
ULONG release(I*& object) {
  ULONG n = object ? object->Release() : 0;
  object = nullptr;
  return n;
}

std::string bstr_text(BSTR text) { return text ? "'" + utf8(text, static_cast<int>(SysStringLen(text))) + "'" : "(null)"; }

// A BSTR getter: its result and what it wrote (a sentinel shows "unwritten").
template <class I>
void text_getter(I* object, HRESULT (STDMETHODCALLTYPE I::*getter)(BSTR*), const std::string& name,
                 const std::string& wanted) {
  BSTR sentinel = reinterpret_cast<BSTR>(static_cast<UINT_PTR>(0x1234));
  BSTR out = sentinel;
  HRESULT hr = (object->*getter)(&out);
  const std::string text = out == sentinel ? "(unwritten)" : bstr_text(out);
  observe(name, hr_name(hr) + " " + text);
  expect(hr == S_OK && text == wanted, name, "wanted S_OK " + wanted);
  if (out != sentinel) SysFreeString(out);
  result(name + "(null)", (object->*getter)(nullptr), E_POINTER);
}

void check_command(ICommand* command) {
  VARIANT_BOOL flag = 7;
  HRESULT hr = command->get_Enabled(&flag);
  observe("command.Enabled", hr_name(hr) + " " + std::to_string(flag));
  expect(hr == S_OK && flag == VARIANT_TRUE, "command.Enabled");
  flag = 7;
  hr = command->get_Checked(&flag);
  observe("command.Checked", hr_name(hr) + " " + (flag == 7 ? "(unwritten)" : std::to_string(flag)));
  expect(hr == S_OK, "command.Checked");
  const std::string caption = "'Вырезание карты'";
  text_getter(command, &ICommand::get_Caption, "command.Caption", caption);
  text_getter(command, &ICommand::get_Category, "command.Category", caption);
  text_getter(command, &ICommand::get_Name, "command.Name", "(unwritten)");
  text_getter(command, &ICommand::get_Message, "command.Message", "(unwritten)");
  text_getter(command, &ICommand::get_Tooltip, "command.Tooltip", "(unwritten)");
  text_getter(command, &ICommand::get_HelpFile, "command.HelpFile", "(unwritten)");
  LONG help = 42;
  hr = command->get_HelpContextID(&help);
  observe("command.HelpContextID", hr_name(hr) + " " + (help == 42 ? "(unwritten)" : std::to_string(help)));
  expect(hr == S_OK, "command.HelpContextID");

  OLE_HANDLE first = 0, second = 0;
  hr = command->get_Bitmap(&first);
  command->get_Bitmap(&second);
  observe("command.Bitmap", hr_name(hr) + (first ? " (a handle)" : " 0") + (first == second ? ", the same twice" : ""));
  expect(hr == S_OK && first != 0 && first == second, "command.Bitmap");
  BITMAP picture = {};
  const int size = first ? GetObjectA(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(first)), sizeof picture, &picture) : 0;
  observe("command.Bitmap GetObject",
          size ? std::to_string(picture.bmWidth) + "x" + std::to_string(picture.bmHeight) : std::string("(none)"));
  expect(size != 0 && picture.bmWidth == 16 && picture.bmHeight == 16, "command.Bitmap is a 16x16 bitmap");

  result("command.OnCreate(nullptr)", command->OnCreate(nullptr), S_OK);
  flag = 7;
  command->get_Enabled(&flag);
  observe("command.Enabled after OnCreate(nullptr)", std::to_string(flag));
}

// Advise up to the limit, the cookies, Unadvise, the sinks' references.
void check_connection_point(IUnknown* object, REFIID events, const std::string& name) {
  IConnectionPointContainer* container = nullptr;
  result(name + " QueryInterface(IConnectionPointContainer)",
         object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)), S_OK);
  if (!container) return;
  IConnectionPoint* point = nullptr;
  result(name + " FindConnectionPoint(events)", container->FindConnectionPoint(events, &point), S_OK);
  IConnectionPoint* none = nullptr;
  result(name + " FindConnectionPoint(IUnknown)", container->FindConnectionPoint(IID_IUnknown, &none),
         CONNECT_E_NOCONNECTION);
  release(none);
  if (point) {
    IID iid = {};
    point->GetConnectionInterface(&iid);
    observe(name + " GetConnectionInterface", guid_text(iid));
    expect(IsEqualGUID(iid, events), name + " GetConnectionInterface");
    Sink sinks[6] = {Sink(events), Sink(events), Sink(events), Sink(events), Sink(events), Sink(events)};
    std::string cookies;
    HRESULT last = S_OK;
    for (Sink& sink : sinks) {
      DWORD cookie = 0;
      last = point->Advise(&sink, &cookie);
      cookies += (cookies.empty() ? "" : " ") + std::to_string(cookie);
    }
    observe(name + " Advise x6 cookies", cookies);
    expect(cookies == "1 2 3 4 5 0", name + " cookies");
    result(name + " Advise beyond the limit", last, CONNECT_E_ADVISELIMIT);
    observe(name + " sink references while advised", std::to_string(sinks[0].refs));
    expect(sinks[0].refs == 2 && sinks[5].refs == 1, name + " sink references");
    result(name + " Unadvise(3)", point->Unadvise(3), S_OK);
    DWORD cookie = 0;
    point->Advise(&sinks[5], &cookie);
    observe(name + " Advise after Unadvise(3)", std::to_string(cookie));
    expect(cookie == 3, name + " freed cookie reused");
    result(name + " Unadvise(99)", point->Unadvise(99), CONNECT_E_NOCONNECTION);
    result(name + " Unadvise(0)", point->Unadvise(0), CONNECT_E_NOCONNECTION);
    IEnumConnections* connections = nullptr;
    result(name + " EnumConnections", point->EnumConnections(&connections), S_OK);
    int count = 0;
    CONNECTDATA data = {};
    ULONG fetched = 0;
    while (connections && connections->Next(1, &data, &fetched) == S_OK) {
      ++count;
      release(data.pUnk);
    }
    release(connections);
    observe(name + " connections enumerated", std::to_string(count));
    expect(count == 5, name + " connections enumerated");
    for (DWORD c = 1; c <= 5; ++c) point->Unadvise(c);
    ULONG left = 0;
    for (Sink& sink : sinks) left += sink.refs - 1;
    observe(name + " sink references after Unadvise", std::to_string(left));
    expect(left == 0, name + " every sink released");
    Sink plain(IID_IUnknown);
    result(name + " Advise(sink without the events interface)", point->Advise(&plain, &cookie),
           CONNECT_E_CANNOTCONNECT);
  }
  release(point);
  release(container);
}

int check_registered(const std::string& module_path) {
  check_registered_keys(module_path);

  CLSID clsid = {};
  auto progid = wide(vot_arcmap_areaclip_tool_bar_progid);
  result("CLSIDFromProgID(tool bar)", CLSIDFromProgID(progid.data(), &clsid), S_OK);
  observe("tool bar CLSID", guid_text(clsid));
  expect(IsEqualGUID(clsid, CLSID_vo_arcmap_tool_bar_areaclip), "tool bar CLSID");

  IToolBarDef* tool_bar = nullptr;
  result("CoCreateInstance(tool bar)",
         CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IToolBarDef, reinterpret_cast<void**>(&tool_bar)),
         S_OK);
  if (!tool_bar) return 1;
  unload_check(module_path, "creating the tool bar", S_FALSE);
  LONG count = -1;
  result("tool bar.ItemCount", tool_bar->get_ItemCount(&count), S_OK);
  observe("tool bar items", std::to_string(count));
  expect(count == 1, "tool bar items");
  text_getter(tool_bar, &IToolBarDef::get_Name, "tool bar.Name", "'Вырезание карты'");
  text_getter(tool_bar, &IToolBarDef::get_Caption, "tool bar.Caption", "'Вырезание карты'");
  RecordingItem item;
  result("tool bar.GetItemInfo(0)", tool_bar->GetItemInfo(0, &item), S_OK);
  observe("item ID", item.id);
  observe("item Group", std::to_string(item.group));
  observe("item SubType", std::to_string(item.sub_type));
  observe("item references after GetItemInfo", std::to_string(item.refs));
  expect(item.id == vot_arcmap_areaclip_command_progid && item.group == VARIANT_TRUE && item.refs == 1, "item");
  RecordingItem other;
  result("tool bar.GetItemInfo(1)", tool_bar->GetItemInfo(1, &other), E_INVALIDARG);
  result("tool bar.GetItemInfo(0, nullptr)", tool_bar->GetItemInfo(0, nullptr), E_POINTER);
  check_connection_point(tool_bar, IID_Ivo_arcmap_tool_bar_areaclipEvents, "tool bar");

  CLSID command_clsid = {};
  auto item_progid = wide(item.id);
  result("CLSIDFromProgID(item ID)", CLSIDFromProgID(item_progid.data(), &command_clsid), S_OK);
  expect(IsEqualGUID(command_clsid, CLSID_vo_arcmap_command_areaclip), "command CLSID");
  ICommand* command = nullptr;
  result("CoCreateInstance(command)",
         CoCreateInstance(command_clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICommand,
                          reinterpret_cast<void**>(&command)),
         S_OK);
  if (command) {
    check_command(command);
    check_connection_point(command, IID_Ivo_arcmap_command_areaclipEvents, "command");
  }
  observe("tool bar Release", std::to_string(release(tool_bar)));
  unload_check(module_path, "releasing the tool bar (the command lives)", S_FALSE);
  observe("command Release", std::to_string(release(command)));
  unload_check(module_path, "releasing the command", S_OK);

  // The class factory: kept by the module, the same object on every request.
  IClassFactory* factory = nullptr;
  IClassFactory* again = nullptr;
  result("CoGetClassObject(command)",
         CoGetClassObject(CLSID_vo_arcmap_command_areaclip, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                          reinterpret_cast<void**>(&factory)),
         S_OK);
  CoGetClassObject(CLSID_vo_arcmap_command_areaclip, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                   reinterpret_cast<void**>(&again));
  observe("class factory the same on a second request", factory && factory == again ? "yes" : "no");
  expect(factory && factory == again, "class factory cached");
  release(again);
  if (factory) {
    IUnknown* aggregated = nullptr;
    IUnknown* outer = reinterpret_cast<IUnknown*>(&item);
    result("CreateInstance(outer, ICommand)", factory->CreateInstance(outer, IID_ICommand, reinterpret_cast<void**>(&aggregated)),
           CLASS_E_NOAGGREGATION);
    release(aggregated);
    unload_check(module_path, "taking the class factory", S_OK);
    result("LockServer(TRUE)", factory->LockServer(TRUE), S_OK);
    release(factory);
    unload_check(module_path, "LockServer(TRUE) and releasing the factory", S_FALSE);
    CoGetClassObject(CLSID_vo_arcmap_command_areaclip, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                     reinterpret_cast<void**>(&factory));
    if (factory) result("LockServer(FALSE)", factory->LockServer(FALSE), S_OK);
    release(factory);
    unload_check(module_path, "LockServer(FALSE)", S_OK);
  }
  return 0;
}

int check_unregistered() {
  for (const ClassKeys& c : kClasses) {
    registry_expect(std::string("CLSID\\") + c.clsid, "", "(no key)");
    registry_expect(c.progid, "", "(no key)");
  }
  const std::string lib = std::string("TypeLib\\") + kLibId;
  observe("HKCR\\" + lib, registry_value(lib) == "(no key)" ? "(no key)" : "(kept)");
  for (const char* events : {"{6D19C0B6-4F5E-43DC-AB39-B4273BC3085F}", "{BB292A6C-281C-41D6-828A-B757116FC450}"})
    observe(std::string("HKCR\\Interface\\") + events,
            registry_value(std::string("Interface\\") + events) == "(no key)" ? "(no key)" : "(kept)");
  CLSID clsid = {};
  auto progid = wide(vot_arcmap_areaclip_tool_bar_progid);
  observe("CLSIDFromProgID(tool bar)", hr_name(CLSIDFromProgID(progid.data(), &clsid)));
  IUnknown* object = nullptr;
  result("CoCreateInstance(tool bar)",
         CoCreateInstance(CLSID_vo_arcmap_tool_bar_areaclip, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                          reinterpret_cast<void**>(&object)),
         REGDB_E_CLASSNOTREG);
  release(object);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string phase = argc > 1 ? argv[1] : "";
  if (!(phase == "registered" && argc == 3) && !(phase == "unregistered" && argc == 2)) {
    std::fprintf(stderr, "usage: module_check registered MODULE_PATH | module_check unregistered\n");
    return 2;
  }
  module_check_platform_start();
  result("CoInitialize", CoInitialize(nullptr), S_OK);
  if (phase == "registered") check_registered(argv[2]);
  else check_unregistered();
  CoFreeUnusedLibraries();
  CoUninitialize();
  std::printf("%s: %d expectation(s) failed\n", phase.c_str(), g_failures);
  return g_failures ? 1 : 0;
}
