#include "extension/vot_arcmap_command_areaclip_impl.h"

#include "extension/vot_arcmap_areaclip_form.h"
#include "extension/vot_arcmap_areaclip_module.h"
#include "vot_arcgis/vot_arcgis_vcl.h"

namespace {

const char kCaption[] = "Вырезание карты";
const char kNoApplication[] = "Команда не связана с приложением ArcMap.";
const int kBitmapId = 70;

}  // namespace

// ---- the command ----

Tvo_arcmap_command_areaclipImpl::Tvo_arcmap_command_areaclipImpl()
    : m_events(IID_Ivo_arcmap_command_areaclipEvents, this) {
  f_application = nullptr;
  f_bitmap = std::make_unique<TBitmap>();
  f_bitmap->LoadFromResourceID(vot_module_instance(), kBitmapId);
  vot_module_lock();
}

Tvo_arcmap_command_areaclipImpl::~Tvo_arcmap_command_areaclipImpl() {
  vot_module_unlock();
  f_bitmap.reset();
  f_application = nullptr;
  // m_events releases the sinks still held.
}

void* Tvo_arcmap_command_areaclipImpl::query_interface_map(REFIID riid) {
  if (riid == IID_ICommand) return static_cast<ICommand*>(this);
  if (riid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
  return nullptr;
}

HRESULT Tvo_arcmap_command_areaclipImpl::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
  return m_events.enumerate(ppEnum);
}

HRESULT Tvo_arcmap_command_areaclipImpl::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
  return m_events.find(riid, ppCP);
}

HRESULT Tvo_arcmap_command_areaclipImpl::get_Enabled(VARIANT_BOOL* enabled) {
  if (!enabled) return E_POINTER;
  return guarded([&] {
    *enabled = VARIANT_TRUE;
    return S_OK;
  });
}

HRESULT Tvo_arcmap_command_areaclipImpl::get_Checked(VARIANT_BOOL* checked) {
  if (!checked) return E_POINTER;
  return guarded([] { return S_OK; });
}

HRESULT Tvo_arcmap_command_areaclipImpl::get_Name(BSTR* name) {
  if (!name) return E_POINTER;
  return guarded([] { return S_OK; });
}

HRESULT Tvo_arcmap_command_areaclipImpl::get_Caption(BSTR* caption) {
  if (!caption) return E_POINTER;
  return guarded([&] {
    *caption = ansi_to_bstr(kCaption);
    return S_OK;
  });
}

HRESULT Tvo_arcmap_command_areaclipImpl::get_Tooltip(BSTR* tooltip) {
  if (!tooltip) return E_POINTER;
  return guarded([] { return S_OK; });
}

HRESULT Tvo_arcmap_command_areaclipImpl::get_Message(BSTR* message) {
  if (!message) return E_POINTER;
  return guarded([] { return S_OK; });
}

HRESULT Tvo_arcmap_command_areaclipImpl::get_HelpFile(BSTR* helpFile) {
  if (!helpFile) return E_POINTER;
  return guarded([] { return S_OK; });
}

HRESULT Tvo_arcmap_command_areaclipImpl::get_HelpContextID(LONG* helpID) {
  if (!helpID) return E_POINTER;
  return guarded([] { return S_OK; });
}

HRESULT Tvo_arcmap_command_areaclipImpl::get_Bitmap(OLE_HANDLE* bitmap) {
  if (!bitmap) return E_POINTER;
  return guarded([&] {
    // OLE_HANDLE is 32 bits wide on Windows; GDI handles fit in it.
    *bitmap = static_cast<OLE_HANDLE>(reinterpret_cast<UINT_PTR>(f_bitmap->Handle()));
    return S_OK;
  });
}

HRESULT Tvo_arcmap_command_areaclipImpl::get_Category(BSTR* category) {
  if (!category) return E_POINTER;
  return guarded([&] {
    *category = ansi_to_bstr(kCaption);
    return S_OK;
  });
}

HRESULT Tvo_arcmap_command_areaclipImpl::OnCreate(IDispatch* hook) {
  f_application = nullptr;
  if (!hook) return S_OK;
  // A failed query is reported by check_hresult; when the user chooses to stop there, the
  // exception ends here: it must not reach the host.
  try {
    f_application = hook;
  } catch (...) {
    f_application = nullptr;
  }
  return S_OK;
}

HRESULT Tvo_arcmap_command_areaclipImpl::OnClick() {
  return guarded([&] {
    if (!f_application) {
      // Without the application the dialog has nothing to work on.
      show_error(kNoApplication);
      return S_OK;
    }
    show_cut_dialog(TComInterface<IApplication>(f_application));
    return S_OK;
  });
}

// ---- the toolbar ----

Tvo_arcmap_tool_bar_areaclipImpl::Tvo_arcmap_tool_bar_areaclipImpl()
    : m_events(IID_Ivo_arcmap_tool_bar_areaclipEvents, this) {
  vot_module_lock();
}

Tvo_arcmap_tool_bar_areaclipImpl::~Tvo_arcmap_tool_bar_areaclipImpl() { vot_module_unlock(); }

void* Tvo_arcmap_tool_bar_areaclipImpl::query_interface_map(REFIID riid) {
  if (riid == IID_IToolBarDef) return static_cast<IToolBarDef*>(this);
  if (riid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
  return nullptr;
}

HRESULT Tvo_arcmap_tool_bar_areaclipImpl::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
  return m_events.enumerate(ppEnum);
}

HRESULT Tvo_arcmap_tool_bar_areaclipImpl::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
  return m_events.find(riid, ppCP);
}

HRESULT Tvo_arcmap_tool_bar_areaclipImpl::get_ItemCount(LONG* count) {
  if (!count) return E_POINTER;
  return guarded([&] {
    *count = 1;
    return S_OK;
  });
}

HRESULT Tvo_arcmap_tool_bar_areaclipImpl::GetItemInfo(LONG pos, IItemDef* itemDef) {
  if (!itemDef) return E_POINTER;
  TComInterface<IItemDef> item(itemDef);
  if (pos != 0) return E_INVALIDARG;
  Tvo_bstr id(vot_arcmap_areaclip_command_progid);
  HRESULT hr = item->put_ID(id.get());
  if (FAILED(hr)) return hr;
  hr = item->put_Group(VARIANT_TRUE);
  if (FAILED(hr)) return hr;
  return S_OK;
}

HRESULT Tvo_arcmap_tool_bar_areaclipImpl::get_Name(BSTR* name) {
  if (!name) return E_POINTER;
  return guarded([&] {
    *name = ansi_to_bstr(kCaption);
    return S_OK;
  });
}

HRESULT Tvo_arcmap_tool_bar_areaclipImpl::get_Caption(BSTR* caption) {
  if (!caption) return E_POINTER;
  return guarded([&] {
    *caption = ansi_to_bstr(kCaption);
    return S_OK;
  });
}
