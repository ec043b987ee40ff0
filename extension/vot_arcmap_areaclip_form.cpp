#include "extension/vot_arcmap_areaclip_form.h"

#include <memory>

#include "vot_arcgis/vot_arcgis_vcl.h"
#include "vot_vcl/vot_vcl_path.h"

// The form text compiled into the library (generated from the .dfm file by the build).
extern const char vo_arcmap_areaclip_form_dfm[];
extern const unsigned long vo_arcmap_areaclip_form_dfm_size;

namespace {

Tvo_arcmap_areaclip_form_loader g_loader = nullptr;

constexpr size_t kProgressTextMax = 50;
constexpr size_t kProgressTextKept = 47;

// The volume and file index of an existing file, which name it whatever path reaches it
// (links, "..", letter case on a file system that folds it); false when it cannot be opened.
// The open handle's file identity; the handle is closed.
bool file_identity(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
  if (file == INVALID_HANDLE_VALUE) return false;
  BOOL known = GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  return known != FALSE;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool file_identity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  return file_identity(
      CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr), info);
}

// Paths the application hands out stay wide: the ANSI code page may not hold them.
bool file_identity(BSTR path, BY_HANDLE_FILE_INFORMATION& info) {
  return path && file_identity(CreateFileW(path, 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                           nullptr),
                               info);
}

bool same_identity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

// True when path is a file of the application's template list, which ends with the open
// document's own file: saving the result there would overwrite what the user has open.
// A path that names no existing file is none of them.
bool is_application_file(TComInterface<IApplication> app, const std::string& path) {
  BY_HANDLE_FILE_INFORMATION wanted, info;
  if (!file_identity(path, wanted)) return false;
  TComInterface<ITemplates> templates;
  if (!app || FAILED(app->get_Templates(&templates)) || !templates) return false;
  LONG count = 0;
  templates->get_Count(&count);
  for (LONG i = 0; i < count; ++i) {
    Tvo_bstr item;
    if (SUCCEEDED(templates->get_Item(i, &item)) && file_identity(item.get(), info) && same_identity(info, wanted))
      return true;
  }
  return false;
}

}  // namespace

// The result documents a cut may write, its map document first; the application saves a
// document read from a QGIS project with the project beside it, as .qgs or .qgz.
const char* const result_documents[3] = {"cross.mxd", "cross.qgs", "cross.qgz"};

Tvo_arcmap_areaclip_form_loader set_areaclip_form_loader(Tvo_arcmap_areaclip_form_loader loader) {
  Tvo_arcmap_areaclip_form_loader previous = g_loader;
  g_loader = loader;
  return previous;
}

std::string load_areaclip_form_text() {
  if (g_loader) return g_loader();
  return std::string(vo_arcmap_areaclip_form_dfm, vo_arcmap_areaclip_form_dfm_size);
}

Tvo_arcmap_areaclip_form::Tvo_arcmap_areaclip_form(TComponent* AOwner) : TForm(AOwner) {
  BindField("f_btm_panel", f_btm_panel);
  BindField("f_btn_panel", f_btn_panel);
  BindField("f_close_button", f_close_button);
  BindField("f_apply_button", f_apply_button);
  BindField("f_progress_panel", f_progress_panel);
  BindField("f_progress_label", f_progress_label);
  BindField("f_progress_bar", f_progress_bar);
  BindField("f_data_panel", f_data_panel);
  BindField("f_group_box", f_group_box);
  BindField("f_timer", f_timer);
  BindHandler("f_apply_buttonClick", [this](TObject* Sender) { f_apply_buttonClick(Sender); });
  BindHandler("f_close_buttonClick", [this](TObject* Sender) { f_close_buttonClick(Sender); });
  BindHandler("f_timerTimer", [this](TObject* Sender) { f_timerTimer(Sender); });
  BindHandler("FormClose", [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); });
  ReadFormText(load_areaclip_form_text(), "vo_arcmap_areaclip_form.dfm");

  f_done = false;
  f_application = nullptr;
  create_controls();
  init_captions();
  f_params = new Tvo_arcmap_areaclip_params();
}

Tvo_arcmap_areaclip_form::~Tvo_arcmap_areaclip_form() {
  delete f_params;
  f_params = nullptr;
  f_application = nullptr;
}

void Tvo_arcmap_areaclip_form::create_controls() {
  f_layer_object_panel = new Tvo_arcgis_layer_object_panel(this);
  f_layer_object_panel->Name = "f_layer_object_panel";
  f_layer_object_panel->Parent = f_data_panel;
  f_layer_object_panel->Align = alTop;
  f_layer_object_panel->AlignWithMargins = true;
  f_layer_object_panel->build();
  f_layer_object_panel->set_layer_filter(IID_IFeatureLayer);
  f_layer_object_panel->set_geometry_types({esriGeometryPolygon, esriGeometryLine});

  f_path_panel = new Tvo_vcl_path_panel(this);
  f_path_panel->Name = "f_path_panel";
  f_path_panel->Parent = f_group_box;
  f_path_panel->Align = alTop;
  f_path_panel->build();
}

void Tvo_arcmap_areaclip_form::init_captions() {
  f_layer_object_panel->set_caption("Вырезаемый полигон");
  f_layer_object_panel->set_layer_caption("Слой полигона");
  f_layer_object_panel->set_object_caption("Объект полигона");
  f_path_panel->set_caption("Папка результата");
}

void Tvo_arcmap_areaclip_form::set_application(TComInterface<IApplication> app) {
  f_done = false;
  f_application = app;
  if (!app) return;

  TComInterface<IMap> map;
  {
    TComInterface<IDocument> document;
    app->get_Document(&document);
    TComInterface<IMxDocument> mx_document;
    mx_document = document;
    if (mx_document) mx_document->get_FocusMap(&map);
  }
  f_layer_object_panel->set_map(map);

  TComInterface<IDisplay> display;
  {
    TComInterface<IMxApplication> mx_application;
    mx_application = app;
    TComInterface<IAppDisplay> app_display;
    if (mx_application) mx_application->get_Display(&app_display);
    display = app_display;
  }
  f_layer_object_panel->set_display(display);
}

bool Tvo_arcmap_areaclip_form::execute(TComInterface<IApplication> app) {
  set_application(app);
  ShowModal();
  return f_done;
}

int Tvo_arcmap_areaclip_form::check_params() {
  f_params->set_owner(this);
  f_params->set_application(f_application);
  TComInterface<IMxDocument> mx_document;
  if (f_application) {
    TComInterface<IDocument> document;
    f_application->get_Document(&document);
    mx_document = document;
  }
  f_params->set_document(mx_document);

  TComInterface<IFeature> feature = f_layer_object_panel->get_feature();
  if (!feature) {
    show_error("Не задан полигон для вырезания.");
    return 10;
  }
  f_params->get_pgnobj()->set_feature(feature);

  const std::string path = f_path_panel->get_path();
  if (path.size() < 4) {
    show_error("Не задана папка для сохранения результата.");
    return 10;
  }
  f_params->get_newmap()->set_folder(path);
  f_params->get_newmap()->set_map_path(path + "\\" + result_documents[0]);
  // The open document first: it must never be written over, whatever else the folder holds.
  for (const char* name : result_documents) {
    if (is_application_file(f_application, path + "\\" + name)) {
      show_error((std::string("Папка результата содержит открытый документ карты (") + name +
                  "): результат записался бы поверх него. Выберите другую папку.")
                     .c_str());
      return 10;
    }
  }
  // Callers find a cut's result as the folder's cross.mxd: an earlier result there is
  // neither replaced nor left beside a second one.
  for (const char* name : result_documents) {
    if (GetFileAttributesA((path + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES) {
      show_error((std::string("Папка результата уже содержит результат вырезания (") + name +
                  "). Выберите другую папку.")
                     .c_str());
      return 10;
    }
  }
  return 0;
}

void Tvo_arcmap_areaclip_form::set_busy(bool running) {
  f_layer_object_panel->Enabled = !running;
  f_path_panel->Enabled = !running;
  f_close_button->Enabled = !running;
  f_apply_button->Enabled = !running;
  f_progress_panel->Visible = running;
}

void Tvo_arcmap_areaclip_form::set_progress_text(const std::string& text) {
  std::string shown = text;
  if (shown.size() > kProgressTextMax) shown = shown.substr(0, kProgressTextKept) + "...";
  f_progress_label->Caption = shown;
  Application->ProcessMessages();
}

void Tvo_arcmap_areaclip_form::set_progress_position(int percent) {
  if (percent < 0 || percent > 100) return;
  f_progress_bar->Position = percent;
  Application->ProcessMessages();
}

std::string Tvo_arcmap_areaclip_form::get_map_path() const { return f_params->get_newmap()->get_map_path(); }

void Tvo_arcmap_areaclip_form::f_apply_buttonClick(TObject*) {
  f_done = false;
  set_progress_text("Apply!!!");
  if (check_params() != 0) {
    show_error("Ошибка при задании параметров.");
    return;
  }
  set_busy(true);
  f_timer->Enabled = true;
  int code = 1;
  try {
    code = execute_cut(f_params);
  } catch (...) {
    f_timer->Enabled = false;
    set_busy(false);
    throw;
  }
  f_timer->Enabled = false;
  set_busy(false);
  if (code != 0) {
    show_error("Ошибка при выполнении.");
    return;
  }
  f_done = true;
  Close();
}

void Tvo_arcmap_areaclip_form::f_close_buttonClick(TObject*) {
  f_done = false;
  Close();
}

void Tvo_arcmap_areaclip_form::f_timerTimer(TObject*) {
  Show();
  BringToFront();
}

void Tvo_arcmap_areaclip_form::FormClose(TObject*, TCloseAction& Action) { Action = caFree; }

void new_document_from_first_template(TComInterface<IApplication> app) {
  if (!app) return;
  TComInterface<ITemplates> templates;
  app->get_Templates(&templates);
  LONG count = 0;
  if (!templates || FAILED(templates->get_Count(&count)) || count < 1) return;
  Tvo_bstr template_path;
  templates->get_Item(0, &template_path);
  app->NewDocument(VARIANT_FALSE, template_path.get());
}

void show_cut_dialog(TComInterface<IApplication> app) {
  std::string path;
  bool done = false;
  {
    std::unique_ptr<Tvo_arcmap_areaclip_form> form(new Tvo_arcmap_areaclip_form(nullptr));
    done = form->execute(app);
    if (done) path = form->get_map_path();
  }
  if (done && app) {
    new_document_from_first_template(app);
    Tvo_bstr document_path(path);
    app->OpenDocument(document_path.get());
  }
}
