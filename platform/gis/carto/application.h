// Application: the GIS application object (IApplication, IMxApplication, IDispatch) with the
// open document and the templates; Templates is the list it hands out: the templates, then
// the open document's file when it has one.
//
// The application writes a document file only when SaveDocument names it (or names no path
// and the document already has one); opening or making documents never writes anything.
// A document read from a QGIS project, saved under a name that is no project (the cut's
// cross.mxd), is saved with its project beside it: the same name with the extension of the
// project it was read from (cross.qgs, cross.qgz), in one save that is whole or fails
// leaving both files as they were.
#pragma once

#include <string>
#include <vector>

#include <win32/com_object.h>

#include "arcobjects/arcobjects.h"
#include "document.h"

namespace gis::carto {

class Application : public win32::ComObject<Application, IApplication, IMxApplication, IDispatch> {
 public:
  explicit Application(std::vector<std::string> templates);
  ~Application() override;

  // IApplication
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override;
  HRESULT STDMETHODCALLTYPE get_Caption(BSTR* caption) override;
  HRESULT STDMETHODCALLTYPE get_Document(IDocument** document) override;
  HRESULT STDMETHODCALLTYPE get_Templates(ITemplates** templates) override;
  // A new document from templatePath (the first template when empty); selectTemplate has
  // no dialog to show here and is ignored.
  HRESULT STDMETHODCALLTYPE NewDocument(VARIANT_BOOL selectTemplate, BSTR templatePath) override;
  HRESULT STDMETHODCALLTYPE OpenDocument(BSTR path) override;
  HRESULT STDMETHODCALLTYPE SaveDocument(BSTR saveAsPath) override;
  HRESULT STDMETHODCALLTYPE RefreshWindow() override { return S_OK; }
  // IMxApplication: the application's one display, which records what it is asked to draw.
  HRESULT STDMETHODCALLTYPE get_Display(IAppDisplay** display) override;
  // IDispatch: no type information, no late-bound calls.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // The project SaveDocument writes beside the open document saved as path; "" for none.
  std::string project_saved_with(const std::string& path) const;

 private:
  void set_document(win32::ComPtr<Document> document);

  std::vector<std::string> templates_;
  win32::ComPtr<Document> document_;
  // The document a new one from a template replaced, let go once the next document is
  // read: a new document is most often followed by the opening of another, whose sources
  // are then handed the feature classes still open instead of opening their files again.
  win32::ComPtr<Document> replaced_;
  win32::ComPtr<IAppDisplay> display_;
  // ".qgs" or ".qgz" for a document read from a QGIS project; "" for any other.
  std::string project_extension_;
};

class Templates : public win32::ComObject<Templates, ITemplates> {
 public:
  explicit Templates(std::vector<std::string> paths) : paths_(std::move(paths)) {}
  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override;
  HRESULT STDMETHODCALLTYPE get_Item(LONG index, BSTR* path) override;

 private:
  std::vector<std::string> paths_;
};

// The normal template in the first usable folder (see gis::ApplicationOptions); written
// there when missing or unreadable. Empty when no folder can hold it.
std::string ensure_normal_template(const std::string& preferred_folder);

}  // namespace gis::carto
