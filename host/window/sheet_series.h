// SheetSeries: the window's "Cut every sheet…". It runs `areaclip cut DOC --all-sheets SCALE
// --folder DIR --json`, the command line's own cut of a series, as a program of its own, so
// the window goes on answering while it works and every sheet is cut exactly as the command
// cuts it. A dialog shows the run's progress as the program reports it (sheet k of n, its
// name); Cancel sends the program SIGINT, the command's own way of being cancelled: the sheet
// under way is taken back, the sheets cut before it stay whole, the rest are not cut. At the
// end the dialog shows a row per sheet (cut now, failed, cancelled, not cut) read from the
// program's JSON record (docs/json/areaclip-cut.schema.json).
#pragma once

#include <functional>
#include <vector>

#include <QDialog>
#include <QProcess>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace host {

class SheetSeries : public QDialog {
 public:
  // program: the areaclip program; document: the saved map document; scale: "1:50000".
  SheetSeries(const QString& program, const QString& document, const QString& scale, const QString& folder,
              QWidget* parent = nullptr);
  ~SheetSeries() override;

  // Starts the program and shows the dialog.
  void start();
  // Cancels the run (once): the program is sent SIGINT.
  void cancel();
  bool finished() const { return finished_; }
  bool cancelled() const { return cancelled_; }

  // The run's progress: the sheet under way (1-based, 0 before the first) of how many.
  int sheet_number() const { return sheet_; }
  int sheet_count() const { return count_; }
  QString progress_text() const;

  // After the run: a row per sheet, the program's exit status and what it said on the way
  // out when it ended before any sheet (its messages).
  struct Row {
    QString sheet, folder;
    QString result;  // "cut now", "cut now, layers left out", "failed", "cancelled", "not cut"
    long features = -1;  // written, -1 when not cut
    int status = -1;     // the sheet's cut's exit status, -1 when it was not tried
    QString reason;      // why a sheet failed
  };
  const std::vector<Row>& rows() const { return rows_; }
  int exit_status() const { return exit_status_; }
  QString messages() const { return messages_; }
  // "6 sheets: 2 cut now, 1 failed, 3 cancelled"
  QString headline() const;

  // Called once the run has ended and its table shows.
  std::function<void()> on_finished;

 protected:
  // The close box and Escape while the run goes on are Cancel; the dialog stays to show the
  // table.
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void read_progress();
  void ended(int code, QProcess::ExitStatus status);
  void show_table();

  QProcess process_;
  QStringList arguments_;
  QString program_;
  QString pending_;  // standard error not yet a whole line
  QString messages_;
  QLabel* label_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QTableWidget* table_ = nullptr;
  QPushButton* button_ = nullptr;
  int sheet_ = 0, count_ = 0;
  QString sheet_name_;
  bool finished_ = false, cancelled_ = false;
  int exit_status_ = -1;
  std::vector<Row> rows_;
};

}  // namespace host
