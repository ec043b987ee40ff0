#include "sheet_series.h"

#include <signal.h>

#include <algorithm>

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

namespace host {

SheetSeries::SheetSeries(const QString& program, const QString& document, const QString& scale, const QString& folder,
                         QWidget* parent)
    : QDialog(parent), program_(program) {
  setObjectName("sheet_series");
  setWindowTitle("Cut every sheet of " + scale);
  arguments_ = {"cut", document, "--all-sheets", scale, "--folder", folder, "--json"};
  auto* layout = new QVBoxLayout(this);
  label_ = new QLabel("Finding the sheets that hold features of the map…", this);
  label_->setObjectName("progress_label");
  layout->addWidget(label_);
  bar_ = new QProgressBar(this);
  bar_->setObjectName("progress_bar");
  bar_->setRange(0, 0);  // busy until the sheets are known
  layout->addWidget(bar_);
  table_ = new QTableWidget(0, 4, this);
  table_->setObjectName("sheets_table");
  table_->setHorizontalHeaderLabels({"Sheet", "Result", "Features", "Folder or reason"});
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->hide();
  layout->addWidget(table_);
  auto* buttons = new QDialogButtonBox(this);
  button_ = buttons->addButton(QDialogButtonBox::Cancel);
  button_->setObjectName("cancel_button");
  connect(button_, &QPushButton::clicked, this, [this] {
    if (finished_) accept();
    else cancel();
  });
  layout->addWidget(buttons);
  resize(520, 160);

  process_.setProgram(program_);
  process_.setArguments(arguments_);
  // The program's numbers as the command line's users read them.
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("LC_NUMERIC", "C");
  process_.setProcessEnvironment(environment);
  connect(&process_, &QProcess::readyReadStandardError, this, [this] { read_progress(); });
  connect(&process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) { ended(code, status); });
  connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) {
      messages_ += "cannot start " + program_ + ": " + process_.errorString() + "\n";
      ended(-1, QProcess::CrashExit);
    }
  });
}

SheetSeries::~SheetSeries() {
  if (process_.state() != QProcess::NotRunning) {
    // The window goes: the run is cancelled as Cancel cancels it, and waited for, so what it
    // had under way is taken back.
    ::kill(static_cast<pid_t>(process_.processId()), SIGINT);
    if (!process_.waitForFinished(30000)) process_.kill();
  }
}

void SheetSeries::start() {
  show();
  process_.start();
}

void SheetSeries::cancel() {
  if (finished_ || cancelled_ || process_.state() != QProcess::Running) return;
  cancelled_ = true;
  // Once only: a second SIGINT ends the program at once, with the sheet under way half made.
  ::kill(static_cast<pid_t>(process_.processId()), SIGINT);
  button_->setEnabled(false);
  label_->setText("Cancelling: the sheet under way is taken back, the sheets cut before it stay…");
}

QString SheetSeries::progress_text() const {
  if (sheet_ == 0) return label_->text();
  return QString("Sheet %1 of %2: %3").arg(sheet_).arg(count_).arg(sheet_name_);
}

void SheetSeries::read_progress() {
  pending_ += QString::fromUtf8(process_.readAllStandardError());
  // The lines of the command's progress: "6 sheets: A, B, …" once, "[k/n] sheet NAME -> DIR"
  // as each sheet begins; everything else is kept for the table's messages.
  static const QRegularExpression count_line("^(\\d+) sheets: ");
  static const QRegularExpression sheet_line("^\\[(\\d+)/(\\d+)\\] sheet (.+) -> ");
  qsizetype end;
  while ((end = pending_.indexOf('\n')) >= 0) {
    const QString line = pending_.left(end).trimmed();
    pending_.remove(0, end + 1);
    if (const auto m = count_line.match(line); m.hasMatch()) {
      count_ = m.captured(1).toInt();
      bar_->setRange(0, count_);
      bar_->setValue(0);
    } else if (const auto s = sheet_line.match(line); s.hasMatch()) {
      sheet_ = s.captured(1).toInt();
      count_ = s.captured(2).toInt();
      sheet_name_ = s.captured(3);
      bar_->setRange(0, count_);
      // Several processes report their sheets as they finish, not in order.
      bar_->setValue(std::max(bar_->value(), sheet_ - 1));
      if (!cancelled_) label_->setText(progress_text());
    } else if (line.startsWith("areaclip: ")) {
      messages_ += line + "\n";
    }
  }
}

void SheetSeries::ended(int code, QProcess::ExitStatus status) {
  if (finished_) return;
  finished_ = true;
  read_progress();
  exit_status_ = status == QProcess::NormalExit ? code : -1;
  const QJsonDocument json = QJsonDocument::fromJson(process_.readAllStandardOutput());
  const QJsonObject run = json.object();
  for (const QJsonValue& value : run.value("sheets").toArray()) {
    const QJsonObject sheet = value.toObject();
    Row row;
    row.sheet = sheet.value("sheet").toString();
    row.folder = sheet.value("folder").toString();
    row.status = sheet.value("status").isNull() ? -1 : sheet.value("status").toInt();
    row.features = sheet.value("features_written").isNull() ? -1 : sheet.value("features_written").toInteger();
    const QJsonArray failure = sheet.value("cut").toObject().value("failure").toArray();
    if (!failure.isEmpty()) row.reason = failure.first().toString();
    if (row.status == 0) row.result = "cut now";
    else if (row.status == 3) row.result = "cut now, layers left out";
    else if (row.status > 128) row.result = "cancelled";
    else if (row.status < 0) row.result = "not cut";
    else row.result = "failed";
    if (row.status < 0 && cancelled_) row.reason = "not begun: the run was cancelled";
    rows_.push_back(row);
  }
  for (const QJsonValue& value : run.value("failure").toArray()) messages_ += value.toString() + "\n";
  if (run.isEmpty() && exit_status_ != 0 && messages_.isEmpty())
    messages_ = QString("%1 ended without a record (exit %2)\n").arg(program_).arg(exit_status_);
  show_table();
  if (on_finished) on_finished();
}

QString SheetSeries::headline() const {
  int now = 0, failed = 0, cancelled = 0, not_cut = 0;
  for (const Row& row : rows_) {
    if (row.status == 0 || row.status == 3) ++now;
    else if (row.status > 128) ++cancelled;
    else if (row.status < 0) ++not_cut;
    else ++failed;
  }
  QString text = QString("%1 sheet%2: %3 cut now").arg(rows_.size()).arg(rows_.size() == 1 ? "" : "s").arg(now);
  if (failed) text += QString(", %1 failed").arg(failed);
  if (cancelled) text += QString(", %1 cancelled").arg(cancelled);
  if (not_cut) text += QString(", %1 not cut").arg(not_cut);
  return text;
}

void SheetSeries::show_table() {
  bar_->hide();
  QString text = cancelled_ ? "Cancelled. " + headline() + "." : headline() + ".";
  if (!messages_.isEmpty()) text += "\n" + messages_.trimmed();
  label_->setText(text);
  label_->setWordWrap(true);
  table_->setRowCount(static_cast<int>(rows_.size()));
  for (size_t i = 0; i < rows_.size(); ++i) {
    const Row& row = rows_[i];
    const int r = static_cast<int>(i);
    table_->setItem(r, 0, new QTableWidgetItem(row.sheet));
    table_->setItem(r, 1, new QTableWidgetItem(row.result));
    auto* count = new QTableWidgetItem(row.features < 0 ? QString("–") : QString::number(row.features));
    count->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table_->setItem(r, 2, count);
    table_->setItem(r, 3, new QTableWidgetItem(row.reason.isEmpty() ? row.folder : row.reason));
  }
  table_->resizeColumnsToContents();
  table_->show();
  button_->setText("Close");
  button_->setEnabled(true);
  resize(std::max(width(), 760), 360);
}

void SheetSeries::reject() {
  if (finished_) QDialog::reject();
  else cancel();
}

void SheetSeries::closeEvent(QCloseEvent* event) {
  if (!finished_) {
    cancel();
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace host
