// What the window remembers from one run to the next, in the user's settings (QSettings, INI
// form, user scope, "areaclip/window"; Qt puts it under $XDG_CONFIG_HOME or ~/.config): the
// window's size and place, its docks' and their splitters' places, and the folders chosen
// last (a cut's result folder, the sheets' folder, a document's folder). Tests point Qt's
// user scope at a folder of their own (QSettings::setPath) before a window is made.
#pragma once

#include <QString>

class QMainWindow;

namespace host {

// The folders the window remembers, by what they were chosen for.
enum class LastFolder { kResult, kSheets, kDocument };

// The window's size and docks as they were left; nothing when none were kept.
void restore_window_settings(QMainWindow* window);
void save_window_settings(const QMainWindow* window);

// The folder chosen last for `what` while it still exists, else "".
QString last_folder(LastFolder what);
void remember_folder(LastFolder what, const QString& folder);

}  // namespace host
