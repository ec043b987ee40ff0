// The application framework: application, documents, templates, commands and toolbars.
#pragma once

#include "esri_carto.h"

struct IApplication;

struct IDocument : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Title(BSTR* title) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Parent(IApplication** application) = 0;
};

struct IMxDocument : IUnknown {
  // S_OK with the focus map; S_FALSE and null when the document has no map.
  virtual HRESULT STDMETHODCALLTYPE get_FocusMap(IMap** map) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Maps(IMaps** maps) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ActiveView(IActiveView** view) = 0;
};

struct ITemplates : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* count) = 0;
  // Full path of the template at index; the last item is the open document's own file
  // when it has one.
  virtual HRESULT STDMETHODCALLTYPE get_Item(LONG index, BSTR* path) = 0;
};

struct IApplication : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Caption(BSTR* caption) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Document(IDocument** document) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Templates(ITemplates** templates) = 0;
  virtual HRESULT STDMETHODCALLTYPE NewDocument(VARIANT_BOOL selectTemplate, BSTR templatePath) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenDocument(BSTR path) = 0;
  // Saves the open document under saveAsPath (under its own path when empty).
  virtual HRESULT STDMETHODCALLTYPE SaveDocument(BSTR saveAsPath) = 0;
  virtual HRESULT STDMETHODCALLTYPE RefreshWindow() = 0;
};

struct IMxApplication : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Display(IAppDisplay** display) = 0;
};

// A command that appears as a button; implemented by extensions.
struct ICommand : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Checked(VARIANT_BOOL* checked) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Caption(BSTR* caption) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Tooltip(BSTR* tooltip) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Message(BSTR* message) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HelpFile(BSTR* helpFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HelpContextID(LONG* helpID) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Bitmap(OLE_HANDLE* bitmap) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Category(BSTR* category) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnCreate(IDispatch* hook) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnClick() = 0;
};

// One item of a toolbar, filled by the toolbar definition.
struct IItemDef : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE put_ID(BSTR id) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Group(VARIANT_BOOL group) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_SubType(LONG subType) = 0;
};

// A toolbar definition; implemented by extensions.
struct IToolBarDef : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_ItemCount(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetItemInfo(LONG pos, IItemDef* itemDef) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Caption(BSTR* caption) = 0;
};
