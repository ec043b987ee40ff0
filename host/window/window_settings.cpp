#include "window_settings.h"

#include <QDir>
#include <QMainWindow>
#include <QSettings>

namespace host {

namespace {

QSettings settings() { return QSettings(QSettings::IniFormat, QSettings::UserScope, "areaclip", "window"); }

QString key_of(LastFolder what) {
  switch (what) {
    case LastFolder::kResult: return "folders/result";
    case LastFolder::kSheets: return "folders/sheets";
    default: return "folders/document";
  }
}

}  // namespace

void restore_window_settings(QMainWindow* window) {
  QSettings s = settings();
  const QByteArray geometry = s.value("window/geometry").toByteArray();
  if (!geometry.isEmpty()) window->restoreGeometry(geometry);
  const QByteArray state = s.value("window/state").toByteArray();
  if (!state.isEmpty()) window->restoreState(state);
}

void save_window_settings(const QMainWindow* window) {
  QSettings s = settings();
  s.setValue("window/geometry", window->saveGeometry());
  s.setValue("window/state", window->saveState());
}

QString last_folder(LastFolder what) {
  const QString folder = settings().value(key_of(what)).toString();
  return !folder.isEmpty() && QDir(folder).exists() ? folder : QString();
}

void remember_folder(LastFolder what, const QString& folder) {
  if (folder.isEmpty()) return;
  QSettings s = settings();
  s.setValue(key_of(what), QDir(folder).absolutePath());
}

}  // namespace host
