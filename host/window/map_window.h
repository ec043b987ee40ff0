// MapWindow: the application's main window. The map canvas in the middle, the table of
// contents on the left, the extension's toolbar, the cursor's map coordinates in the status
// bar, and the File menu: New (from the first template), Open, Add data (data without a
// coordinate system is warned about in the status bar and a message box), Save, Save As.
// The status bar shows the map's scale (typed there, the map is shown at another) and the
// cursor's map coordinates; View → Previous view goes back to the view before and Next view
// forward again, Shift and the left button draw a box to zoom to, a layer's context menu in
// the table of contents zooms to it. With View → Identify on, a click lists the features
// under the cursor in the Identify dock; a feature layer's context menu opens its attribute
// table (attribute_table.h). View → Sheet grid draws the frames of a scale's sheets with
// their names over the map, and Go to sheet shows a sheet by its name (sheet_grid.h). With
// a grid shown, a sheet is cut from the map's context menu ("Cut this sheet…") or, with
// View → Pick a sheet to cut on, by a click on it, the way `areaclip cut --sheet` cuts it:
// its frame added to the map as a layer and the extension's dialog opened with the frame's
// feature chosen (the person chooses the folder and applies; the frame goes again when
// the dialog closes without a result). "Cut every sheet…" cuts every sheet of the grid's
// scale into a folder as `areaclip cut --all-sheets` does (sheet_series.h).
// The window keeps its size, its docks and the folders chosen last (window_settings.h); the
// extension's folder dialog opens in the result folder chosen last, else the map's folder.
// The window follows the application: when its document changes (a command opened another
// one) or the focus map's extent changes (a bookmark's zoom), the window shows it, looking
// after each command and each time the toolkit has dispatched messages (the extension's
// dialogs and timers), never on a clock. The
// canvas is the screen under the application's display while the window lives.
//
// The document is modified by what the window changes in it (Add data, a layer switched on
// or off); the title shows it ("*"), and closing the window, Quit, New and Open ask first
// whether to save it. A document another one replaces by a command (a cut's result) is
// shown unmodified; moving the view is no change of the document. Before the extension's
// command runs (the cut, which opens its result in place of the document) the same question
// is asked; Cancel leaves the command unclicked.
//
// After each cut from the toolbar (the dialog's run, whether it wrote its result, left
// layers out or failed) the window shows its summary (host::CutSummary, made as the command
// line makes it): a dialog with the layers and features written, each layer's warnings, the
// layers not cut and why, and for a failure what the dialog said and the GIS's reason; its
// first line in the status bar (until the map drawn next has something to say there).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <QMainWindow>
#include <QPointer>

#include <gis/sheets.h>
#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"
#include "../cut_summary.h"
#include "identify.h"

class QAction;
class QDialog;
class QDockWidget;
class QPlainTextEdit;
class QLabel;
class QLineEdit;
class QTimer;

namespace host {

class AttributeTable;
class CommandBar;
class SheetFrameLayer;
class SheetSeries;
struct CutChoice;
class LayersTree;
class MapCanvas;

class MapWindow : public QMainWindow {
 public:
  MapWindow(IApplication* application, const std::string& module_path);
  ~MapWindow() override;

  MapCanvas* canvas() const { return canvas_; }
  LayersTree* layers() const { return layers_; }
  CommandBar* commands() const { return commands_; }
  // Shows the application's document again when it is another one than shown.
  void follow_application();

  // The File menu's actions, for the keyboard and tests.
  void new_document();
  bool open_document(const QString& path);
  bool add_data(const QString& path);
  bool save_document(const QString& path);  // empty: where it was read from
  // Asks where to save the document (Save As); "" when the person cancels. A name without
  // one of the formats' extensions gets that of the format chosen in the dialog.
  QString ask_save_path();
  // Shows the map at the scale typed ("1:50 000", "50000") about the view's centre; false
  // (and the reason in the status bar) when the text is no scale or the map's units are
  // unknown.
  bool set_scale(const QString& text);
  // Whether the shown document may go: true when it is unmodified, or the person saved it
  // or chose to discard its changes; false when they cancelled or saving failed.
  bool may_discard();

  // Lists the features of the visible layers under map point (x, y) in the Identify dock (as
  // a click does with View → Identify on).
  std::vector<FoundLayer> identify_at(double x, double y);
  IdentifyPanel* identify_panel() const { return identify_; }
  // Shows the frames of the scale's sheets over the map, with their names (none: no grid),
  // kept up with the view (View → Sheet grid).
  void show_sheet_grid(std::optional<gis::SheetScale> scale);
  // Shows the named sheet's frame whole (View → Go to sheet); false, with the reason in a
  // message box, when the name is no sheet.
  bool go_to_sheet(const QString& name);

  // The name of the grid's sheet under map point (x, y), "" when no grid shows one there.
  QString sheet_at(double x, double y) const;
  // Cuts the named sheet through the extension's dialog, as `cut --sheet` does; false (and
  // the reason in a message box) when the name is no sheet, the frame cannot be added or
  // the person kept the document's changes (Cancel). Returns once the dialog has closed.
  bool cut_sheet(const QString& name);
  // Cuts every sheet of the grid's scale into folder in the background (SheetSeries, shown);
  // null (and the reason in a message box) when no grid is shown or the document is not
  // saved. The run goes on after this returns.
  SheetSeries* cut_every_sheet(const QString& folder);
  // The program run for "Cut every sheet…" (the running areaclip unless set).
  void set_program(const QString& program) { program_ = program; }

  // Opens the layer's attribute table (as its context menu in the table of contents does);
  // it closes when another document is shown.
  AttributeTable* open_attribute_table(ILayer* layer);

  // The summary of the last cut from the toolbar (null before one), and its text.
  QDialog* cut_summary() const { return summary_; }
  QString cut_summary_text() const;
  // The summary's first line: what was cut where, or that the cut failed.
  static QString cut_headline(const CutSummary& summary);

  // The path with the extension of the chosen filter ("… (*.qgs)") unless it already has
  // one of the map documents' extensions.
  static QString with_extension(const QString& path, const QString& filter);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void show_document(IMxDocument* document);
  void update_title();
  void show_scale();
  void update_sheet_grid();
  void failed(const QString& what, const std::string& why);
  void changed();
  // Around the extension's command: the question, then the watch of a cut's run.
  bool before_command();
  void after_command();
  // Notes when the cut dialog's run shows (its progress panel) and where it cuts into.
  void watch_cut_run();
  void show_summary(const CutSummary& summary);
  // Chooses the sheet's frame in the cut dialog's pickers, as the person would.
  void choose_sheet_in_dialog();
  void sheet_context_menu(const QPoint& pixel);
  QString folder_to_start_in() const;

  win32::ComPtr<IApplication> application_;
  win32::ComPtr<IUnknown> display_;
  win32::ComPtr<IDocument> shown_;
  MapCanvas* canvas_ = nullptr;
  LayersTree* layers_ = nullptr;
  CommandBar* commands_ = nullptr;
  QLabel* cursor_ = nullptr;
  QLineEdit* scale_ = nullptr;  // the map's scale, 1:N, shown and typed
  bool drawing_warned_ = false;  // the status bar tells what the map could not draw
  QTimer* follow_ = nullptr;  // follows the application once the toolkit has changed
  int toolkit_listener_ = 0;
  struct CutUnderWay;
  std::unique_ptr<CutUnderWay> cut_;  // while the extension's command runs
  QDialog* summary_ = nullptr;
  IdentifyPanel* identify_ = nullptr;
  std::optional<gis::SheetScale> grid_scale_;  // the sheet grid shown
  std::vector<QPointer<AttributeTable>> tables_;
  QDockWidget* identify_dock_ = nullptr;
  QPlainTextEdit* summary_text_ = nullptr;
  // The sheet being cut through the dialog: its frame, the map it was added to, and the
  // choice still to make in the dialog's pickers (the step: 0 the layer, 1 its feature).
  std::unique_ptr<SheetFrameLayer> sheet_frame_;
  win32::ComPtr<IMap> sheet_map_;
  std::unique_ptr<CutChoice> sheet_choice_;
  int sheet_step_ = 0, sheet_layer_entry_ = -1;
  QAction* pick_sheet_ = nullptr;
  QPointer<SheetSeries> series_;
  QString program_;
};

}  // namespace host
