#include "map_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>

#include <cmath>
#include <filesystem>

#include <gis/document.h>
#include <toolkit/application.h>
#include <win32/text.h>

#include "../extension.h"
#include "command_bar.h"
#include "layers_tree.h"
#include "map_canvas.h"

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
  layers_->on_zoom_to_layer = [this](ILayer* layer) {
    if (!canvas_->show_layer(layer)) statusBar()->showMessage("The layer has no data to zoom to.");
  };

  QMenu* file = menuBar()->addMenu("&File");
  file->addAction("&New", QKeySequence::New, [this] { new_document(); });
  file->addAction("&Open…", QKeySequence::Open, [this] {
    const QString path = QFileDialog::getOpenFileName(this, "Open a map document", {},
                                                      "Map documents (*.mxd *.qgs *.qgz);;All files (*)");
    if (!path.isEmpty()) open_document(path);
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

  auto* navigation = addToolBar("Navigation");
  navigation->setObjectName("navigation_toolbar");
  navigation->addAction(whole);

  commands_ = new CommandBar(application, module_path, this);
  addToolBar(commands_);
  commands_->on_command_done = [this] {
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
    if (!follow_->isActive()) follow_->start(0);
  });
  resize(1100, 750);
  follow_application();
  canvas_->setFocus();  // the keys zoom and pan the map
  if (!commands_->error().empty())
    statusBar()->showMessage(QString::fromStdString("The extension's toolbar is missing: " + commands_->error()));
}

MapWindow::~MapWindow() {
  if (Application) Application->RemoveChangeListener(toolkit_listener_);
  gis::SetDisplayPainter(display_.get(), nullptr);
  follow_->stop();
}

void MapWindow::follow_application() {
  win32::ComPtr<IDocument> document;
  application_->get_Document(document.put());
  if (document.get() != shown_.get()) {
    shown_ = document;
    show_document(document.as<IMxDocument>().get());
    return;
  }
  canvas_->follow_map_extent();
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
  if (may_discard())
    event->accept();
  else
    event->ignore();
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
