// The ArcMap command (a button that opens the cut dialog) and the ArcMap toolbar that
// carries it. Both are created by the module's class factories, count in the module's lock
// count while they live and hold one connection point for their events dispinterface.
#pragma once

#include <memory>
#include <utility>

#include <toolkit/bitmap.h>

#include "arcobjects/arcobjects.h"
#include "extension/vot_arcmap_areaclip_atl.h"
#include "extension/vot_arcmap_areaclip_connection_point.h"
#include "extension/vot_arcmap_areaclip_error_info.h"
#include "extension/vot_arcmap_areaclip_object_root.h"
#include "extension/vot_arcmap_areaclip_tlb.h"

// The command's connection point, for Ivo_arcmap_command_areaclipEvents.
using TEvents_vo_arcmap_command_areaclip = Tvo_connection_point;
// The toolbar's connection point, for Ivo_arcmap_tool_bar_areaclipEvents.
using TEvents_vo_arcmap_tool_bar_areaclip = Tvo_connection_point;

// The command. It owns its picture (resource 70 of the module, loaded at construction) and
// one counted application reference, set by OnCreate. OnClick lends that reference to
// show_cut_dialog. Answers IUnknown, ICommand and IConnectionPointContainer. Every getter
// answers E_POINTER for a null out-pointer, also those that write nothing.
class Tvo_arcmap_command_areaclipImpl : public Tvo_com_object_root<Tvo_arcmap_command_areaclipImpl>,
                                        public IConnectionPointContainer,
                                        public ICommand {
 public:
  static const CLSID& class_id() { return CLSID_vo_arcmap_command_areaclip; }

  Tvo_arcmap_command_areaclipImpl();
  ~Tvo_arcmap_command_areaclipImpl() override;

  VOT_COM_UNKNOWN()
  void* query_interface_map(REFIID riid);

  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

  HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* enabled) override;
  HRESULT STDMETHODCALLTYPE get_Checked(VARIANT_BOOL* checked) override;
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override;
  HRESULT STDMETHODCALLTYPE get_Caption(BSTR* caption) override;
  HRESULT STDMETHODCALLTYPE get_Tooltip(BSTR* tooltip) override;
  HRESULT STDMETHODCALLTYPE get_Message(BSTR* message) override;
  HRESULT STDMETHODCALLTYPE get_HelpFile(BSTR* helpFile) override;
  HRESULT STDMETHODCALLTYPE get_HelpContextID(LONG* helpID) override;
  HRESULT STDMETHODCALLTYPE get_Bitmap(OLE_HANDLE* bitmap) override;
  HRESULT STDMETHODCALLTYPE get_Category(BSTR* category) override;
  HRESULT STDMETHODCALLTYPE OnCreate(IDispatch* hook) override;
  HRESULT STDMETHODCALLTYPE OnClick() override;

 private:
  template <class Body>
  HRESULT guarded(Body&& body) {
    return vot_error_guard(IID_ICommand, class_id(), std::forward<Body>(body));
  }

  TEvents_vo_arcmap_command_areaclip m_events;
  std::unique_ptr<TBitmap> f_bitmap;
  TComInterface<IApplication> f_application;
};

// The toolbar: one item, the command, named by its ProgID. No state of its own. Answers
// IUnknown, IToolBarDef and IConnectionPointContainer; a null out-pointer gets E_POINTER.
class Tvo_arcmap_tool_bar_areaclipImpl : public Tvo_com_object_root<Tvo_arcmap_tool_bar_areaclipImpl>,
                                         public IConnectionPointContainer,
                                         public IToolBarDef {
 public:
  static const CLSID& class_id() { return CLSID_vo_arcmap_tool_bar_areaclip; }

  Tvo_arcmap_tool_bar_areaclipImpl();
  ~Tvo_arcmap_tool_bar_areaclipImpl() override;

  VOT_COM_UNKNOWN()
  void* query_interface_map(REFIID riid);

  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

  HRESULT STDMETHODCALLTYPE get_ItemCount(LONG* count) override;
  // pos 0: the command's ProgID as ID and the group flag; other positions E_INVALIDARG;
  // a null itemDef E_POINTER.
  HRESULT STDMETHODCALLTYPE GetItemInfo(LONG pos, IItemDef* itemDef) override;
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override;
  HRESULT STDMETHODCALLTYPE get_Caption(BSTR* caption) override;

 private:
  template <class Body>
  HRESULT guarded(Body&& body) {
    return vot_error_guard(IID_IToolBarDef, class_id(), std::forward<Body>(body));
  }

  TEvents_vo_arcmap_tool_bar_areaclip m_events;
};

