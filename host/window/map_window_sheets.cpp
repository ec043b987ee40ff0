// The window's cuts by map sheet: one sheet of the grid through the extension's dialog, as
// `areaclip cut --sheet` runs it (the same request: sheet_request in sheet_frame.h), and
// every sheet of the grid's scale through `areaclip cut --all-sheets` (sheet_series.h).
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPolygonF>
#include <QStatusBar>

#include <gis/document.h>
#include <toolkit/application.h>
#include <toolkit/combo_box.h>
#include <toolkit/control.h>
#include <toolkit/form.h>

#include "../cut_dialog_user.h"
#include "../extension.h"
#include "../sheet_frame.h"
#include "command_bar.h"
#include "layers_tree.h"
#include "map_canvas.h"
#include "map_window.h"
#include "sheet_series.h"
#include "window_settings.h"

namespace host {

namespace {

// Whether the polygon shapes hold the point (holes and islands by the even-odd rule).
bool holds(const std::vector<gis::ShapeParts>& shapes, const QPointF& point) {
  for (const gis::ShapeParts& shape : shapes) {
    if (shape.dimension != 2) continue;
    bool inside = false;
    int begin = 0;
    for (const int end : shape.part_ends) {
      QPolygonF ring;
      for (int k = begin; k < end; ++k) ring << QPointF(shape.xy[2 * k], shape.xy[2 * k + 1]);
      if (ring.containsPoint(point, Qt::OddEvenFill)) inside = !inside;
      begin = end;
    }
    if (inside) return true;
  }
  return false;
}

template <class T>
T* control_of(TForm* form, const char* name) {
  return dynamic_cast<T*>(toolkit::FindControl(form, name));
}

}  // namespace

QString MapWindow::sheet_at(double x, double y) const {
  if (!grid_scale_) return {};
  for (const MapCanvas::Frame& frame : canvas_->frames())
    if (holds(frame.shapes, QPointF(x, y))) return frame.name;
  return {};
}

QString MapWindow::folder_to_start_in() const {
  if (QString last = last_folder(LastFolder::kResult); !last.isEmpty()) return last;
  const std::string path = gis::DocumentPath(shown_.get());
  return path.empty() ? QString() : QFileInfo(QString::fromStdString(path)).absolutePath();
}

void MapWindow::sheet_context_menu(const QPoint& pixel) {
  const QPointF at = canvas_->to_map(pixel);
  const QString sheet = sheet_at(at.x(), at.y());
  QMenu menu(this);
  QAction* cut = menu.addAction(sheet.isEmpty() ? QString("Cut this sheet…") : QString("Cut this sheet (%1)…").arg(sheet));
  cut->setEnabled(!sheet.isEmpty() && commands_->count() > 0);
  menu.addAction(findChild<QAction*>("cut_every_sheet"));
  if (menu.exec(canvas_->mapToGlobal(pixel)) == cut) cut_sheet(sheet);
}

bool MapWindow::cut_sheet(const QString& name) {
  gis::MapSheet sheet;
  std::string why;
  if (!gis::ParseSheetName(name.trimmed().toStdString(), &sheet, &why)) {
    failed("No sheet " + name, why);
    return false;
  }
  if (commands_->count() == 0) {
    failed("No cut of " + name, "the extension's toolbar is missing: " + commands_->error());
    return false;
  }
  // The frame is added to the map shown, whose changes are asked about first (the cut
  // opens its result in place of it).
  if (!may_discard()) return false;
  win32::ComPtr<IMap> map;
  if (auto mx = shown_.as<IMxDocument>()) mx->get_FocusMap(map.put());
  auto frame = std::make_unique<SheetFrameLayer>(sheet, std::string(), true);
  const CutRequest request = sheet_request(gis::DocumentPath(shown_.get()), sheet, std::string(), frame.get());
  if (!map || !request.prepare(map.get(), &why)) {
    failed("Cannot cut the sheet " + name, map ? why : std::string("the document has no map"));
    return false;
  }
  sheet_frame_ = std::move(frame);
  sheet_map_ = map;
  sheet_choice_ = std::make_unique<CutChoice>(request.choice);
  sheet_step_ = 0;
  sheet_layer_entry_ = -1;
  layers_->set_document(shown_.as<IMxDocument>().get());  // the frame shows among the layers
  canvas_->redraw();
  statusBar()->showMessage(QString("Cutting the sheet %1: choose the result folder and apply").arg(name));

  win32::ComPtr<IDocument> before = shown_;
  commands_->action(0)->trigger();  // returns once the dialog has closed

  sheet_choice_.reset();
  win32::ComPtr<IDocument> now;
  application_->get_Document(now.put());
  if (now.get() == before.get()) {
    // No result replaced the document: the frame goes again, as it came.
    gis::RemoveLayer(sheet_map_.get(), sheet_frame_->layer());
    layers_->set_document(shown_.as<IMxDocument>().get());
    canvas_->redraw();
  }
  sheet_map_.reset();
  sheet_frame_.reset();
  return true;
}

void MapWindow::choose_sheet_in_dialog() {
  TForm* form = Application->ModalForm();
  // One choice at a time, each once the one before has been taken.
  if (!form || form->Name != kCutFormName || Application->PendingMessages() > 0) return;
  std::string why;
  if (sheet_step_ == 0) {
    auto* layers = control_of<TComboBox>(form, "f_layers_combo");
    if (!layers || layers->Items->Count() < 2) return;  // not filled yet
    sheet_layer_entry_ = chosen_layer_entry(layers, *sheet_choice_, &why);
    if (sheet_layer_entry_ < 1) {
      sheet_choice_.reset();
      statusBar()->showMessage(QString::fromStdString("The sheet's frame is not in the dialog: " + why));
      return;
    }
    sheet_step_ = 1;
    Application->PostChoose(layers, sheet_layer_entry_);
    return;
  }
  auto* features = control_of<TComboBox>(form, "f_objects_combo");
  const int entry = chosen_feature_entry(features, *sheet_choice_, sheet_layer_entry_, sheet_map_.get(), &why);
  if (entry < 1) return;  // listed once the layer's choice has been taken
  sheet_choice_.reset();
  Application->PostChoose(features, entry);
}

SheetSeries* MapWindow::cut_every_sheet(const QString& folder) {
  if (!grid_scale_) {
    failed("No sheets to cut", "show a sheet grid first (View → Sheet grid), the sheets of its scale are cut");
    return nullptr;
  }
  if (series_ && !series_->finished()) {
    series_->raise();
    return series_;
  }
  // The program reads the document as saved.
  if (isWindowModified() || gis::DocumentPath(shown_.get()).empty()) {
    const auto answer = QMessageBox::question(
        this, "areaclip", "The sheets are cut from the document as it is saved. Save it first?",
        QMessageBox::Save | QMessageBox::Cancel, QMessageBox::Save);
    if (answer != QMessageBox::Save || !save_document({})) return nullptr;
  }
  remember_folder(LastFolder::kSheets, folder);
  const QString scale = QString::fromStdString("1:" + std::to_string(gis::ScaleDenominator(*grid_scale_)));
  series_ = new SheetSeries(program_, QString::fromStdString(gis::DocumentPath(shown_.get())), scale, folder, this);
  series_->setAttribute(Qt::WA_DeleteOnClose);
  SheetSeries* series = series_;
  series->on_finished = [this, series] { statusBar()->showMessage("Cut every sheet: " + series->headline()); };
  series->start();
  return series;
}

}  // namespace host
