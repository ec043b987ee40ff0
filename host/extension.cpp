#include "extension.h"

#include <cstdio>
#include <filesystem>

#include <objbase.h>
#include <oaidl.h>
#include <windows.h>
#include <win32/com_object.h>
#include <win32/inproc_servers.h>
#include <win32/modules.h>
#include <win32/text.h>

#include "commands.h"

namespace host {

namespace {

using win32::Bstr;
using win32::ComPtr;

std::string hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

// What a toolbar tells about one of its items.
class ItemDef : public win32::ComObject<ItemDef, IItemDef> {
 public:
  HRESULT STDMETHODCALLTYPE put_ID(BSTR id) override {
    this->id = win32::bstr_to_utf8(id);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Group(VARIANT_BOOL value) override {
    group = value != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_SubType(LONG value) override {
    sub_type = value;
    return S_OK;
  }
  std::string id;
  bool group = false;
  LONG sub_type = 0;
};

// Creates the class registered under `prog_id`, answering I.
template <class I>
HRESULT create(const std::string& prog_id, ComPtr<I>* out) {
  CLSID clsid;
  std::u16string wide = win32::utf8_to_utf16(prog_id);
  HRESULT hr = CLSIDFromProgID(reinterpret_cast<LPCOLESTR>(wide.c_str()), &clsid);
  if (FAILED(hr)) return hr;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(I), out->put_void());
}

std::string text_of(ICommand* command, HRESULT (STDMETHODCALLTYPE ICommand::*get)(BSTR*)) {
  Bstr text;
  if (FAILED((command->*get)(text.put()))) return {};
  return text.utf8();
}

}  // namespace

// The program's own module: beside the program in a build tree (build/bin), else in the
// installed tree's library folder (PREFIX/bin/../lib/areaclip), so an installed tree runs
// wherever it is put.
std::string default_module_path() {
  namespace fs = std::filesystem;
  const char kModuleFile[] = "vot_arcmap_areaclip.so";
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  const fs::path folder = fs::path(program).parent_path();
  const fs::path beside = folder / kModuleFile;
  std::error_code ec;
  if (fs::exists(beside, ec)) return beside.string();
  return (folder.parent_path() / "lib" / "areaclip" / kModuleFile).lexically_normal().string();
}

std::string take_error_description() {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) != S_OK || !info) return {};
  Bstr description;
  info->GetDescription(description.put());
  return description.utf8();
}

int register_module(const std::string& path, bool do_register, std::string* error) {
  const char* entry = do_register ? "DllRegisterServer" : "DllUnregisterServer";
  HMODULE handle = LoadLibraryA(path.c_str());
  if (!handle) {
    *error = "cannot load the module " + path + ": " + win32::LastLoadError();
    return 2;
  }
  auto call = reinterpret_cast<HRESULT (*)()>(GetProcAddress(handle, entry));
  if (!call) {
    *error = path + " has no entry point " + entry;
    FreeLibrary(handle);
    return 2;
  }
  HRESULT hr = call();
  FreeLibrary(handle);
  if (FAILED(hr)) {
    *error = std::string(entry) + " in " + path + " failed: " + hex(hr);
    return 1;
  }
  return 0;
}

bool load_toolbar_command(const std::string& toolbar_prog_id, int item, const std::string& module_path,
                          HostedCommand* out, std::string* error) {
  win32::EnableRegistryClasses();
  // A class not registered (or registered in part: another program may be registering the
  // module right now) gets the module registered, as its installer would, once.
  bool registered = false;
  auto create_registered = [&](const std::string& prog_id, auto* object) {
    HRESULT hr = create(prog_id, object);
    if ((hr == CO_E_CLASSSTRING || hr == REGDB_E_CLASSNOTREG) && !registered) {
      registered = true;
      std::string why;
      if (register_module(module_path, true, &why) != 0) {
        *error = why;
        return hr;
      }
      hr = create(prog_id, object);
    }
    return hr;
  };
  ComPtr<IToolBarDef> toolbar;
  HRESULT hr = create_registered(toolbar_prog_id, &toolbar);
  if (!error->empty()) return false;
  if (FAILED(hr) || !toolbar) {
    *error = "cannot create the toolbar " + toolbar_prog_id + ": " + hex(hr) +
             " (areaclip register registers the program's own module, " + module_path + ")";
    return false;
  }
  LONG count = 0;
  if (FAILED(hr = toolbar->get_ItemCount(&count)) || item >= count) {
    *error = "the toolbar " + toolbar_prog_id + " has no item " + std::to_string(item);
    return false;
  }
  ComPtr<ItemDef> definition = ItemDef::make();
  if (FAILED(hr = toolbar->GetItemInfo(item, definition.get())) || definition->id.empty()) {
    *error = "the toolbar " + toolbar_prog_id + " does not describe item " + std::to_string(item) + ": " + hex(hr);
    return false;
  }
  out->prog_id = definition->id;
  if (FAILED(hr = create_registered(out->prog_id, &out->command)) || !out->command) {
    if (!error->empty()) return false;
    *error = "cannot create the command " + out->prog_id + ": " + hex(hr);
    return false;
  }
  out->caption = text_of(out->command.get(), &ICommand::get_Caption);
  out->category = text_of(out->command.get(), &ICommand::get_Category);
  out->command->get_Bitmap(&out->bitmap);
  VARIANT_BOOL enabled = VARIANT_FALSE;
  out->enabled = SUCCEEDED(out->command->get_Enabled(&enabled)) && enabled != VARIANT_FALSE;
  return true;
}

}  // namespace host
