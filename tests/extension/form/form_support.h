// Shared by the dialog's tests: an application that records what the dialog asks of it
// (delegating to the stand-in's application), and the dialog's fixed texts in Windows-1251.
#pragma once

#include <string>
#include <vector>

#include <win32/com_object.h>
#include <win32/text.h>

#include "arcobjects/arcobjects.h"

namespace form_test {

const std::string kNoPolygon = "\xCD\xE5 \xE7\xE0\xE4\xE0\xED \xEF\xEE\xEB\xE8\xE3\xEE\xED \xE4\xEB\xFF "
                               "\xE2\xFB\xF0\xE5\xE7\xE0\xED\xE8\xFF.";  // Не задан полигон для вырезания.
const std::string kNoFolder = "Не задана папка для сохранения результата.";
const std::string kBadParams = "Ошибка при задании параметров.";
const std::string kRunFailed = "Ошибка при выполнении.";
const std::string kEarlierResult = "Папка результата уже содержит результат вырезания (cross.mxd). Выберите другую папку.";
const std::string kErrorCaption = "\xCE\xF8\xE8\xE1\xEA\xE0!";  // Ошибка!

class EmptyTemplates : public win32::ComObject<EmptyTemplates, ITemplates> {
 public:
  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Item(LONG, BSTR* path) override {
    *path = nullptr;
    return E_INVALIDARG;
  }
};

// A document that is no map document (its IMxDocument query fails).
class PlainDocument : public win32::ComObject<PlainDocument, IDocument> {
 public:
  HRESULT STDMETHODCALLTYPE get_Title(BSTR* title) override {
    *title = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_Parent(IApplication** app) override {
    *app = nullptr;
    return E_NOTIMPL;
  }
};

// Passes every call to the stand-in's application and logs NewDocument and OpenDocument
// ("new <template path>", "open <path>", UTF-8).
class RecordingApp : public win32::ComObject<RecordingApp, IApplication, IMxApplication> {
 public:
  explicit RecordingApp(win32::ComPtr<IApplication> real) : real_(std::move(real)) {}

  bool no_templates = false;
  bool plain_document = false;
  std::vector<std::string> log;
  bool fail_save = false;

  HRESULT STDMETHODCALLTYPE get_Name(BSTR* v) override { return real_->get_Name(v); }
  HRESULT STDMETHODCALLTYPE get_Caption(BSTR* v) override { return real_->get_Caption(v); }
  HRESULT STDMETHODCALLTYPE get_Document(IDocument** document) override {
    if (plain_document) {
      *document = PlainDocument::make().detach();
      return S_OK;
    }
    return real_->get_Document(document);
  }
  HRESULT STDMETHODCALLTYPE get_Templates(ITemplates** templates) override {
    if (no_templates) {
      *templates = EmptyTemplates::make().detach();
      return S_OK;
    }
    return real_->get_Templates(templates);
  }
  HRESULT STDMETHODCALLTYPE NewDocument(VARIANT_BOOL select, BSTR path) override {
    log.push_back("new " + win32::bstr_to_utf8(path));
    return real_->NewDocument(select, path);
  }
  HRESULT STDMETHODCALLTYPE OpenDocument(BSTR path) override {
    log.push_back("open " + win32::bstr_to_utf8(path));
    return real_->OpenDocument(path);
  }
  // With fail_save set, every save fails (a disk that refuses the result document).
  HRESULT STDMETHODCALLTYPE SaveDocument(BSTR path) override { return fail_save ? E_FAIL : real_->SaveDocument(path); }
  HRESULT STDMETHODCALLTYPE RefreshWindow() override { return real_->RefreshWindow(); }
  HRESULT STDMETHODCALLTYPE get_Display(IAppDisplay** display) override {
    return win32::query<IMxApplication>(real_.get())->get_Display(display);
  }

 private:
  win32::ComPtr<IApplication> real_;
};

}  // namespace form_test
