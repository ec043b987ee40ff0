#include "map_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QInputDialog>
#include <QActionGroup>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <filesystem>

#include <gis/application.h>
#include <gis/core.h>
#include <gis/document.h>
#include <toolkit/application.h>
#include <toolkit/control.h>
#include <toolkit/file_controls.h>
#include <toolkit/form.h>
#include <toolkit_qt/screen_agent.h>
#include <win32/text.h>

#include "../cut_dialog_user.h"
#include "../extension.h"
#include "../sheet_frame.h"
#include "attribute_table.h"
#include "command_bar.h"
#include "identify.h"
#include "layers_tree.h"
#include "sheet_grid.h"
#include "sheet_series.h"
#include "map_canvas.h"
#include "window_settings.h"

namespace host {

namespace {

// A scale's denominator as people write it: whole, its thousands apart ("25 000"); two
// significant digits below ten.
QString scale_text(double n) {
  if (n < 10) return QString::number(n, 'g', 2);
  QString digits = QString::number(static_cast<qlonglong>(std::llround(n)));
  for (int at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, ' ');
  return digits;
}

// The first of several warnings, for the status bar, with how many more there are.
QString first_warning(const QStringList& warnings) {
  if (warnings.isEmpty()) return {};
  return warnings.front() + (warnings.size() > 1 ? QString("  (and %1 more)").arg(warnings.size() - 1) : QString());
}

}  // namespace

struct MapWindow::CutUnderWay {
  explicit CutUnderWay(IMap* map) : watch(map) {}
  CutWatch watch;
  win32::ComPtr<IDocument> before;  // the document the command was clicked on
  bool ran = false;                 // the dialog's run showed
  std::string folder, project;      // where it cut into, as the dialog named it
  std::vector<std::string> failure;  // the boxes raised since the run began, and the GIS's reasons
  toolkit_qt::TScreenAgent* agent = nullptr;
  toolkit_qt::TScreenAgent::BoxWatcher previous;
};

MapWindow::MapWindow(IApplication* application, const std::string& module_path)
    : application_(application) {
  setObjectName("map_window");
  canvas_ = new MapCanvas(this);
  setCentralWidget(canvas_);
  layers_ = new LayersTree(this);
  auto* dock = new QDockWidget("Layers", this);
  dock->setObjectName("layers_dock");
  dock->setWidget(layers_);
  dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
  addDockWidget(Qt::LeftDockWidgetArea, dock);
  layers_->on_visibility_changed = [this] {
    canvas_->redraw();
    changed();
  };
  layers_->on_attribute_table = [this](ILayer* layer) { open_attribute_table(layer); };
  layers_->on_zoom_to_layer = [this](ILayer* layer) {
    if (!canvas_->show_layer(layer)) statusBar()->showMessage("The layer has no data to zoom to.");
  };

  QMenu* file = menuBar()->addMenu("&File");
  file->addAction("&New", QKeySequence::New, [this] { new_document(); });
  file->addAction("&Open…", QKeySequence::Open, [this] {
    const QString path = QFileDialog::getOpenFileName(this, "Open a map document", last_folder(LastFolder::kDocument),
                                                      "Map documents (*.mxd *.qgs *.qgz);;All files (*)");
    if (path.isEmpty()) return;
    remember_folder(LastFolder::kDocument, QFileInfo(path).absolutePath());
    open_document(path);
  });
  file->addAction("&Add data…", [this] {
    const QString path = QFileDialog::getOpenFileName(this, "Add data", {},
                                                      "Vector data (*.shp *.gpkg *.geojson *.json *.kml *.gml);;All files (*)");
    if (!path.isEmpty()) add_data(path);
  });
  file->addSeparator();
  file->addAction("&Save", QKeySequence::Save, [this] { save_document({}); });
  file->addAction("Save &As…", QKeySequence::SaveAs, [this] {
    const QString path = ask_save_path();
    if (!path.isEmpty()) save_document(path);
  })->setObjectName("save_as");
  file->addSeparator();
  file->addAction("&Quit", QKeySequence::Quit, [this] { close(); })->setObjectName("quit");
  QMenu* view = menuBar()->addMenu("&View");
  QAction* whole = view->addAction("&Whole map", [this] { canvas_->whole_map(); });
  whole->setObjectName("whole_map");
  view->addAction("&Refresh", QKeySequence::Refresh, [this] { canvas_->reload(); })->setObjectName("refresh");
  view->addAction("&Previous view", QKeySequence::Back, [this] { canvas_->previous_view(); })->setObjectName("previous_view");
  view->addAction("&Next view", QKeySequence::Forward, [this] { canvas_->next_view(); })->setObjectName("next_view");

  // Map sheets: the grid of a scale over the map, and a sheet found by its name.
  QMenu* sheets = view->addMenu("&Sheet grid");
  sheets->setObjectName("sheet_grid_menu");
  auto* scales = new QActionGroup(this);
  QAction* none = sheets->addAction("&None");
  none->setCheckable(true);
  none->setChecked(true);
  scales->addAction(none);
  connect(none, &QAction::triggered, this, [this] { show_sheet_grid(std::nullopt); });
  for (const gis::SheetScale scale : {gis::SheetScale::k1000000, gis::SheetScale::k500000, gis::SheetScale::k200000,
                                      gis::SheetScale::k100000, gis::SheetScale::k50000, gis::SheetScale::k25000,
                                      gis::SheetScale::k10000, gis::SheetScale::k5000, gis::SheetScale::k2000}) {
    QAction* action = sheets->addAction(QString::fromStdString(gis::ScaleText(scale)));
    action->setCheckable(true);
    scales->addAction(action);
    connect(action, &QAction::triggered, this, [this, scale] { show_sheet_grid(scale); });
  }
  view->addAction("&Go to sheet…", [this] {
    const QString name = QInputDialog::getText(this, "Go to sheet", "The sheet's name (M-36-1-Б):");
    if (!name.isEmpty()) go_to_sheet(name);
  })->setObjectName("go_to_sheet");
  // Cutting by sheets of the grid shown: one picked on the map, or every sheet of its scale.
  pick_sheet_ = view->addAction("P&ick a sheet to cut");
  pick_sheet_->setObjectName("pick_sheet");
  pick_sheet_->setCheckable(true);
  pick_sheet_->setToolTip("A click on a sheet of the grid cuts it through the extension's dialog");
  view->addAction("Cut &every sheet…", [this] {
    if (!grid_scale_) {
      failed("No sheets to cut", "show a sheet grid first (View → Sheet grid), the sheets of its scale are cut");
      return;
    }
    const QString last = last_folder(LastFolder::kSheets);
    const QString folder = QFileDialog::getExistingDirectory(this, "The folder for the sheets' results",
                                                             last.isEmpty() ? folder_to_start_in() : last);
    if (!folder.isEmpty()) cut_every_sheet(folder);
  })->setObjectName("cut_every_sheet");

  auto* navigation = addToolBar("Navigation");
  navigation->setObjectName("navigation_toolbar");
  navigation->addAction(whole);

  // Identify: while on, a click on the map lists the features under it in a dock.
  identify_ = new IdentifyPanel(this);
  identify_dock_ = new QDockWidget("Identify", this);
  identify_dock_->setObjectName("identify_dock");
  identify_dock_->setWidget(identify_);
  addDockWidget(Qt::RightDockWidgetArea, identify_dock_);
  identify_dock_->hide();
  QAction* identify = view->addAction("&Identify");
  identify->setObjectName("identify_tool");
  identify->setCheckable(true);
  identify->setShortcut(QKeySequence("Ctrl+I"));
  navigation->addAction(identify);
  canvas_->on_click = [this, identify](double x, double y) {
    if (identify->isChecked()) {
      identify_at(x, y);
    } else if (pick_sheet_->isChecked()) {
      const QString sheet = sheet_at(x, y);
      if (sheet.isEmpty()) statusBar()->showMessage("No sheet of the grid there: show a grid (View → Sheet grid)");
      else cut_sheet(sheet);
    }
  };
  canvas_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(canvas_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pixel) { sheet_context_menu(pixel); });

  commands_ = new CommandBar(application, module_path, this);
  addToolBar(commands_);
  commands_->before_command = [this] { return before_command(); };
  // The extension's commands also in a menu named after their category, with their captions,
  // for the keyboard (Alt and the menu's letter).
  if (commands_->count() > 0) {
    QMenu* extension = menuBar()->addMenu(commands_->windowTitle());
    extension->setObjectName("extension_menu");
    for (int i = 0; i < commands_->count(); ++i) extension->addAction(commands_->action(i));
  }
  commands_->on_command_done = [this] {
    after_command();
    follow_application();
    commands_->update_states();
  };

  // The scale: shown as the view changes, and typed to show the map at another.
  scale_ = new QLineEdit(this);
  scale_->setObjectName("scale");
  scale_->setToolTip("The map's scale; type another (1:50 000) and press Enter");
  scale_->setMaximumWidth(130);
  statusBar()->addPermanentWidget(scale_);
  canvas_->on_view = [this] {
    if (!scale_->isModified()) show_scale();  // not over what the person is typing
    if (grid_scale_) update_sheet_grid();
  };
  connect(scale_, &QLineEdit::returnPressed, [this] { set_scale(scale_->text()); });
  connect(scale_, &QLineEdit::editingFinished, [this] { show_scale(); });
  cursor_ = new QLabel(this);
  statusBar()->addPermanentWidget(cursor_);
  canvas_->on_cursor = [this](double x, double y) {
    cursor_->setText(QString("X %1   Y %2").arg(x, 0, 'f', 2).arg(y, 0, 'f', 2));
  };
  canvas_->on_map_drawn = [this](const std::vector<std::string>& warnings) {
    if (!warnings.empty()) {
      QStringList texts;
      for (const std::string& warning : warnings) texts << QString::fromStdString(warning);
      statusBar()->showMessage(first_warning(texts));
      drawing_warned_ = true;
    } else if (drawing_warned_) {
      statusBar()->clearMessage();
      drawing_warned_ = false;
    }
  };

  win32::ComPtr<IMxApplication> mx = win32::query<IMxApplication>(application);
  win32::ComPtr<IAppDisplay> display;
  if (mx) mx->get_Display(display.put());
  display_ = display.as<IUnknown>();
  gis::SetDisplayPainter(display_.get(), canvas_);

  // The extension changes the document from the toolkit's messages (its dialog's buttons,
  // its timers): once the toolkit has dispatched some, the window follows.
  follow_ = new QTimer(this);
  follow_->setSingleShot(true);
  connect(follow_, &QTimer::timeout, [this] {
    follow_application();
    commands_->update_states();
  });
  toolkit_listener_ = Application->AddChangeListener([this] {
    if (cut_) watch_cut_run();
    if (sheet_choice_) choose_sheet_in_dialog();
    if (!follow_->isActive()) follow_->start(0);
  });
  resize(1100, 750);
  restore_window_settings(this);
  program_ = QCoreApplication::applicationFilePath();
  follow_application();
  canvas_->setFocus();  // the keys zoom and pan the map
  if (!commands_->error().empty())
    statusBar()->showMessage(QString::fromStdString("The extension's toolbar is missing: " + commands_->error()));
}

MapWindow::~MapWindow() {
  if (Application) Application->RemoveChangeListener(toolkit_listener_);
  if (cut_ && cut_->agent) cut_->agent->WatchBoxes(std::move(cut_->previous));
  gis::SetDisplayPainter(display_.get(), nullptr);
  follow_->stop();
}

void MapWindow::follow_application() {
  win32::ComPtr<IDocument> document;
  application_->get_Document(document.put());
  if (document.get() != shown_.get()) {
    // The tables of the document shown before go with it.
    for (const QPointer<AttributeTable>& table : tables_)
      if (table) table->close();
    tables_.clear();
    shown_ = document;
    show_document(document.as<IMxDocument>().get());
    return;
  }
  canvas_->follow_map_extent();
}

bool MapWindow::before_command() {
  // The cut opens its result in place of the document: its changes are asked about first.
  if (!may_discard()) return false;
  win32::ComPtr<IMap> map;
  if (auto mx = shown_.as<IMxDocument>()) mx->get_FocusMap(map.put());
  // The extension's folder dialog opens where the person is likely to want the result.
  toolkit::SetStartFolder(win32::utf8_to_ansi(folder_to_start_in().toStdString()));
  cut_ = std::make_unique<CutUnderWay>(map.get());
  application_->get_Document(cut_->before.put());
  gis::TakeDataChanges();    // what the window read before is not the cut's
  take_error_description();  // nor an error left from before
  cut_->agent = dynamic_cast<toolkit_qt::TScreenAgent*>(Application->UserAgent());
  if (cut_->agent)
    cut_->previous = cut_->agent->WatchBoxes([this](const TMessageBoxInfo& box) {
      if (!cut_) return;
      watch_cut_run();
      if (!cut_->ran) return;  // the dialog refusing its choices: no cut yet
      cut_->failure.push_back(box.TextUtf8());
      // A box after a failed call of the run: the GIS's own words say what the box cannot.
      if (std::string reason = take_error_description(); !reason.empty()) cut_->failure.push_back(reason);
    });
  return true;
}

void MapWindow::watch_cut_run() {
  if (!cut_ || cut_->ran) return;
  TForm* form = Application->ModalForm();
  if (!form || form->Name != kCutFormName) return;
  TControl* panel = toolkit::FindControl(form, kProgressPanelName);
  if (!panel || !panel->Visible) return;
  cut_->ran = true;
  if (TControl* edit = toolkit::FindControl(form, kResultFolderEditName)) {
    std::string folder = std::filesystem::path(win32::ansi_to_utf8(edit->Text())).lexically_normal().string();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    cut_->folder = folder;
    // Asked now, while the document cut is still the open one.
    if (!folder.empty())
      cut_->project = gis::ProjectSavedWith(application_.get(), (std::filesystem::path(folder) / kResultDocumentName).string());
  }
}

void MapWindow::after_command() {
  if (!cut_) return;
  const std::unique_ptr<CutUnderWay> cut = std::move(cut_);
  if (cut->agent) cut->agent->WatchBoxes(std::move(cut->previous));
  if (!cut->ran) return;  // the dialog closed without a run
  CutSummary summary;
  summary.folder = cut->folder;
  win32::ComPtr<IDocument> now;
  application_->get_Document(now.put());
  const std::string result = gis::DocumentPath(now.get());
  if (now.get() != cut->before.get() && !result.empty()) {
    // The run opened its result: the folder is the one it was saved in.
    summary.folder = std::filesystem::path(result).parent_path().lexically_normal().string();
    std::string unreadable;
    cut->watch.finish(summary.folder, result, cut->project, now.as<IMxDocument>().get(), &summary, &unreadable);
    if (!unreadable.empty()) summary.failure.push_back(unreadable);
    remember_folder(LastFolder::kResult, QString::fromStdString(summary.folder));
  } else {
    summary.status = kCutFailed;
    summary.not_cut = cut->watch.not_cut();
    summary.failure = cut->failure;
    if (summary.failure.empty()) summary.failure.push_back("the cut did not write its result");
  }
  show_summary(summary);
}

namespace {

QString counted(size_t n, const char* what) {
  return QString("%1 %2%3").arg(n).arg(what).arg(n == 1 ? "" : "s");
}

}  // namespace

QString MapWindow::cut_headline(const CutSummary& summary) {
  const QString folder = QString::fromStdString(summary.folder);
  if (!summary.written()) return folder.isEmpty() ? QString("The cut failed.") : QString("The cut into %1 failed.").arg(folder);
  size_t warnings = 0;
  for (const CutLayer& layer : summary.layers) warnings += layer.warnings.size();
  QString text = QString("Cut into %1: %2, %3 written")
                     .arg(folder, counted(summary.layers.size(), "layer"),
                          counted(static_cast<size_t>(summary.features()), "feature"));
  if (warnings) text += ", " + counted(warnings, "warning");
  if (!summary.not_cut.empty()) text += ", " + counted(summary.not_cut.size(), "layer") + " not cut";
  return text + ".";
}

void MapWindow::show_summary(const CutSummary& summary) {
  if (!summary_) {
    summary_ = new QDialog(this);
    summary_->setObjectName("cut_summary");
    summary_->setWindowTitle("The cut's summary");
    auto* layout = new QVBoxLayout(summary_);
    summary_text_ = new QPlainTextEdit(summary_);
    summary_text_->setReadOnly(true);
    summary_text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    summary_text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));  // the columns line up
    layout->addWidget(summary_text_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, summary_);
    connect(buttons, &QDialogButtonBox::rejected, summary_, &QDialog::hide);
    layout->addWidget(buttons);
    summary_->resize(760, 360);
  }
  // The lines the command line prints, under the headline; a failure's reasons after them.
  QString text = cut_headline(summary) + "\n\n" + QString::fromStdString(summary_lines(summary));
  for (const std::string& line : summary.failure) text += QString::fromStdString(line) + "\n";
  summary_text_->setPlainText(text);
  statusBar()->showMessage(cut_headline(summary));
  summary_->show();
  summary_->raise();
}

QString MapWindow::cut_summary_text() const { return summary_text_ ? summary_text_->toPlainText() : QString(); }

std::vector<FoundLayer> MapWindow::identify_at(double x, double y) {
  // A few pixels around the point, so a thin line or a marker is easy to hit.
  const gis::MapView v = canvas_->view();
  const double tolerance = 4 * (v.xmax - v.xmin) / std::max(v.width, 1);
  std::vector<FoundLayer> found = IdentifyFeatures(shown_.as<IMxDocument>().get(), x, y, tolerance);
  identify_->show_found(found);
  identify_dock_->show();
  size_t features = 0;
  for (const FoundLayer& layer : found) features += layer.features.size();
  statusBar()->showMessage(features ? QString("Identify: %1 under the cursor").arg(features == 1 ? QString("1 feature") : QString("%1 features").arg(features))
                                    : QString("Identify: no feature under the cursor"));
  return found;
}

void MapWindow::show_sheet_grid(std::optional<gis::SheetScale> scale) {
  grid_scale_ = scale;
  update_sheet_grid();
}

void MapWindow::update_sheet_grid() {
  std::vector<MapCanvas::Frame> frames;
  std::string why;
  win32::ComPtr<IMap> map;
  if (auto mx = shown_.as<IMxDocument>()) mx->get_FocusMap(map.put());
  if (grid_scale_ && !SheetFrames(map.get(), *grid_scale_, canvas_->view(), &frames, &why))
    statusBar()->showMessage(QString::fromStdString("No sheet grid: " + why));
  canvas_->set_frames(std::move(frames));
}

bool MapWindow::go_to_sheet(const QString& name) {
  win32::ComPtr<IMap> map;
  if (auto mx = shown_.as<IMxDocument>()) mx->get_FocusMap(map.put());
  gis::MapView bounds;
  std::string why;
  if (!SheetBounds(map.get(), name.trimmed().toStdString(), &bounds, &why)) {
    failed("No sheet " + name, why);
    return false;
  }
  canvas_->show_bounds(bounds);
  return true;
}

void MapWindow::show_scale() {
  const double n = canvas_->scale_denominator();
  scale_->setText(n > 0 ? "1:" + scale_text(n) : QString());
  scale_->setEnabled(n > 0);
}

bool MapWindow::set_scale(const QString& text) {
  const double n = MapCanvas::parse_scale(text);
  const bool shown = canvas_->set_scale_denominator(n);
  if (!shown) statusBar()->showMessage(QString("Not a scale: %1 (type 1:50 000 or 50000)").arg(text));
  show_scale();
  return shown;
}

AttributeTable* MapWindow::open_attribute_table(ILayer* layer) {
  win32::ComPtr<IMap> map;
  win32::ComPtr<ISpatialReference> system;
  if (auto mx = shown_.as<IMxDocument>(); mx && SUCCEEDED(mx->get_FocusMap(map.put())) && map)
    map->get_SpatialReference(system.put());
  auto* table = new AttributeTable(layer, system.get(), canvas_, this);
  tables_.emplace_back(table);
  table->show();
  return table;
}

void MapWindow::show_document(IMxDocument* document) {
  canvas_->set_document(document);
  layers_->set_document(document);
  setWindowModified(false);
  update_title();
}

void MapWindow::changed() {
  setWindowModified(true);
}

void MapWindow::update_title() {
  const std::string path = gis::DocumentPath(shown_.get());
  // "[*]" shows as "*" while the document is modified.
  setWindowTitle(QString::fromStdString(path.empty() ? std::string("Untitled") : std::filesystem::path(path).filename().string()) +
                 "[*] — areaclip");
}

bool MapWindow::may_discard() {
  if (!isWindowModified()) return true;
  const QString name = QString::fromStdString(gis::DocumentPath(shown_.get()));
  const auto answer = QMessageBox::question(
      this, "areaclip",
      QString("Save the changes to %1?").arg(name.isEmpty() ? QString("the new map") : QFileInfo(name).fileName()),
      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
  if (answer == QMessageBox::Discard) return true;
  if (answer == QMessageBox::Save) return save_document({});
  return false;
}

void MapWindow::closeEvent(QCloseEvent* event) {
  if (may_discard()) {
    save_window_settings(this);
    event->accept();
  } else {
    event->ignore();
  }
}

namespace {

// The formats a document is saved in, by the filter the save dialog shows.
const char* const kSaveFilters[][2] = {
    {"ArcMap documents (*.mxd)", ".mxd"},
    {"QGIS projects (*.qgs)", ".qgs"},
    {"QGIS projects, zipped (*.qgz)", ".qgz"},
};

}  // namespace

QString MapWindow::with_extension(const QString& path, const QString& filter) {
  for (const auto& [name, extension] : kSaveFilters)
    if (path.endsWith(extension, Qt::CaseInsensitive)) return path;
  for (const auto& [name, extension] : kSaveFilters)
    if (filter == name) return path + extension;
  return path + kSaveFilters[0][1];
}

QString MapWindow::ask_save_path() {
  QStringList filters;
  for (const auto& [name, extension] : kSaveFilters) filters << name;
  // A project read from QGIS is offered as one first.
  QString chosen = gis::ReadFromQgisProject(shown_.get()) ? filters[1] : filters[0];
  const QString path = QFileDialog::getSaveFileName(this, "Save the map document as", {}, filters.join(";;"), &chosen);
  return path.isEmpty() ? path : with_extension(path, chosen);
}

void MapWindow::failed(const QString& what, const std::string& why) {
  QMessageBox::warning(this, "areaclip", what + (why.empty() ? QString(".") : ": " + QString::fromStdString(why)));
}

void MapWindow::new_document() {
  if (!may_discard()) return;
  if (FAILED(application_->NewDocument(VARIANT_FALSE, nullptr))) failed("No new document", take_error_description());
  follow_application();
}

bool MapWindow::open_document(const QString& path) {
  if (!may_discard()) return false;
  win32::Bstr wide = win32::Bstr::from_utf8(QFileInfo(path).absoluteFilePath().toStdString());
  if (FAILED(application_->OpenDocument(wide.get()))) {
    failed("Cannot open " + path, take_error_description());
    return false;
  }
  follow_application();
  return true;
}

bool MapWindow::add_data(const QString& path) {
  std::vector<gis::DataLayer> found;
  std::string error;
  if (!gis::FindDataLayers(path.toStdString(), &found, &error) ||
      !gis::AddDataLayers(shown_.get(), found, "", &error)) {
    failed("Cannot add " + path, error);
    return false;
  }
  show_document(shown_.as<IMxDocument>().get());
  changed();
  // Data without a coordinate system is drawn in the map's: the person is told, as the
  // command line tells them.
  QStringList warnings;
  for (const gis::DataLayer& layer : found)
    if (std::string warning = gis::DataLayerWarning(layer); !warning.empty()) warnings << QString::fromStdString(warning);
  if (!warnings.isEmpty()) {
    statusBar()->showMessage(first_warning(warnings));
    QMessageBox::warning(this, "areaclip", warnings.join("\n"));
  }
  return true;
}

bool MapWindow::save_document(const QString& path) {
  win32::Bstr target;
  if (!path.isEmpty()) target = win32::Bstr::from_utf8(QFileInfo(path).absoluteFilePath().toStdString());
  if (path.isEmpty() && gis::DocumentPath(shown_.get()).empty()) {
    const QString chosen = ask_save_path();
    return !chosen.isEmpty() && save_document(chosen);
  }
  if (FAILED(application_->SaveDocument(target.get()))) {
    failed("Cannot save the document", take_error_description());
    return false;
  }
  setWindowModified(false);
  update_title();
  return true;
}

}  // namespace host
