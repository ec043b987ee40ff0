#include "extension/vot_arcmap_areaclip.h"

#include <olectl.h>

#include "extension/vot_arcmap_areaclip_class_factory.h"
#include "extension/vot_arcmap_areaclip_module.h"
#include "extension/vot_arcmap_areaclip_reg.h"
#include "extension/vot_arcmap_areaclip_tlb.h"
#include "extension/vot_arcmap_command_areaclip_impl.h"

namespace {

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
  return vot_update_class_registry(vot_module_path_for_registry(vot_module_instance()),
                                   CLSID_vo_arcmap_tool_bar_areaclip, vot_arcmap_areaclip_tool_bar_progid,
                                   do_register);
}
HRESULT update_command_registry(bool do_register) {
  return vot_update_class_registry(vot_module_path_for_registry(vot_module_instance()),
                                   CLSID_vo_arcmap_command_areaclip, vot_arcmap_areaclip_command_progid, do_register);
}

Tvo_class_entry g_class_table[] = {
    {&CLSID_vo_arcmap_tool_bar_areaclip, vot_arcmap_areaclip_tool_bar_progid, update_tool_bar_registry,
     vot_create_class_factory, Tvo_arcmap_tool_bar_areaclipImpl::create_instance, nullptr, no_class_hook},
    {&CLSID_vo_arcmap_command_areaclip, vot_arcmap_areaclip_command_progid, update_command_registry,
     vot_create_class_factory, Tvo_arcmap_command_areaclipImpl::create_instance, nullptr, no_class_hook},
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

void start_classes() {
  for (Tvo_class_entry* e = g_class_table; e->clsid; ++e) e->class_hook(true);
}

// Releases the cached class factories.
void stop_classes() {
  for (Tvo_class_entry* e = g_class_table; e->clsid; ++e) {
    if (IUnknown* factory = e->factory) {
      e->factory = nullptr;
      factory->Release();
    }
    e->class_hook(false);
  }
}

}  // namespace

// ---- exports ----

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) vot_module_start(instance, start_classes);
  else if (reason == DLL_PROCESS_DETACH) vot_module_stop(stop_classes);
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (Tvo_class_entry* e = g_class_table; e->clsid; ++e) {
    if (!e->create_factory || *e->clsid != rclsid) continue;
    HRESULT hr = S_OK;
    if (!e->factory) {
      EnterCriticalSection(vot_module_class_table_section());
      if (!e->factory) hr = e->create_factory(e->create_instance, &e->factory);
      LeaveCriticalSection(vot_module_class_table_section());
    }
    if (e->factory) return e->factory->QueryInterface(riid, ppv);
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return vot_module_lock_count() == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  for (Tvo_class_entry* e = g_class_table; e->clsid; ++e) {
    HRESULT hr = e->update_registry(true);
    if (FAILED(hr)) return hr;
  }
  return vot_register_module_type_library(vot_module_file_name(vot_module_instance()));
}

STDAPI DllUnregisterServer() {
  for (Tvo_class_entry* e = g_class_table; e->clsid; ++e) e->update_registry(false);
  return S_OK;
}
