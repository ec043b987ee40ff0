#include "extension/vot_arcmap_areaclip_module.h"

#include <objbase.h>

#include <optional>
#include <string>
#include <utility>

#include <toolkit/exception.h>
#include <toolkit/resources.h>

#include "extension/vot_arcmap_areaclip_form.h"

namespace {

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

}  // namespace

HINSTANCE vot_module_instance() { return g_instance; }
LONG vot_module_lock() { return InterlockedIncrement(&g_lock_count); }
LONG vot_module_unlock() { return InterlockedDecrement(&g_lock_count); }
LONG vot_module_lock_count() { return g_lock_count; }

CRITICAL_SECTION* vot_module_class_table_section() { return &g_class_table_section; }

void vot_module_start(HINSTANCE instance, void (*start_classes)()) {
  g_com_initialized = SUCCEEDED(CoInitialize(nullptr));
  g_instance = instance;
  InitializeCriticalSection(&g_class_table_section);
  InitializeCriticalSection(&g_module_section);
  InitializeCriticalSection(&g_object_section);
  start_classes();
  g_previous_resource_lookup = toolkit::SetResourceLookup(&find_module_resource);
  set_areaclip_form_loader(&load_form_resource);
  DisableThreadLibraryCalls(instance);
}

void vot_module_stop(void (*stop_classes)()) {
  stop_classes();
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
