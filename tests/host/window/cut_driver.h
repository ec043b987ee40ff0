// A person cutting in the window, for the window's tests: the cut dialog and the folder
// dialog driven through their Qt widgets (test::QtDriver steps).
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <filesystem>
#include <string>

#include <toolkit/vcl.h>
#include <toolkit_qt/screen_agent.h>
#include <win32/text.h>

#include "support/qt_driver.h"

namespace test {

inline constexpr char kCutDialog[] = "vo_arcmap_areaclip_form";
inline constexpr char kSheetsLayer[] = "Листы карты";
inline constexpr char kSheet[] = "M-36-1-Б";

// The modal form named `name` (any modal form for null), or null.
inline TForm* modal(const char* name) {
  TForm* form = Application->ModalForm();
  return form && (name == nullptr || form->Name == name) ? form : nullptr;
}

inline TControl* control(TForm* form, const char* name) { return form ? toolkit::FindControl(form, name) : nullptr; }

// Presses the arrow keys on a combo box until it shows `text` (each step is the person's
// choice, as with the keyboard on a closed combo box).
inline void choose(QComboBox* box, const QString& text) {
  const int target = box->findText(text);
  ASSERT_GE(target, 0) << text.toStdString();
  box->setFocus();
  while (box->currentIndex() != target) QTest::keyClick(box, target > box->currentIndex() ? Qt::Key_Down : Qt::Key_Up);
}

inline void double_click(QListWidget* list, const QString& text) {
  auto items = list->findItems(text, Qt::MatchExactly);
  ASSERT_EQ(items.size(), 1) << text.toStdString();
  list->scrollToItem(items[0]);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items[0]).center());
}

// Chooses the root in the folder dialog's drive combo, by way of another drive when the
// combo shows the root already (the dialog may start anywhere on it).
inline void choose_root(QComboBox* drives) {
  if (drives->currentText() == "/" && drives->count() > 1) choose(drives, drives->itemText(1));
  choose(drives, "/");
}

// Steps down the folder dialog's list from the root to `folder`, one double click a folder.
inline void walk_to(QtDriver& driver, toolkit_qt::TScreenAgent& agent, const std::filesystem::path& folder) {
  std::filesystem::path walked = "/";
  for (const auto& part : std::filesystem::relative(folder, "/")) {
    const std::filesystem::path here = walked;
    driver.when("the list at " + here.string(),
                [&agent, here, part] {
                  auto* list = qobject_cast<QListWidget*>(agent.PeerOf(control(modal(nullptr), "f_directory_list")));
                  auto* dir = dynamic_cast<TDirectoryListBox*>(control(modal(nullptr), "f_directory_list"));
                  return list && dir && win32::ansi_to_utf8(dir->Directory()) == here.string() &&
                         list->findItems(QString::fromStdString(part.string()), Qt::MatchExactly).size() == 1;
                },
                [&agent, part] {
                  double_click(qobject_cast<QListWidget*>(agent.PeerOf(control(modal(nullptr), "f_directory_list"))),
                               QString::fromStdString(part.string()));
                });
    walked /= part;
  }
}

// The peer of the named control of the modal form on top.
inline QWidget* modal_peer(toolkit_qt::TScreenAgent* agent, const char* name) {
  return agent->PeerOf(control(modal(nullptr), name));
}

// Whether the named modal form is on screen.
inline bool form_shown(toolkit_qt::TScreenAgent* agent, const char* name) {
  TForm* form = modal(name);
  return form && agent->PeerOf(form) && agent->PeerOf(form)->isVisible();
}

// The steps after the polygon is chosen in the cut dialog: "..." pressed, the folder
// `result` (an existing folder) chosen in the folder dialog from the root down, Apply pressed.
inline void drive_folder_and_apply(QtDriver& driver, toolkit_qt::TScreenAgent& screen,
                                   const std::filesystem::path& result) {
  toolkit_qt::TScreenAgent* agent = &screen;
  auto widget = [agent](const char* name) { return modal_peer(agent, name); };
  auto shown = [agent](const char* name) { return form_shown(agent, name); };
  driver
      .then("the folder dialog asked for", [=] { QTest::mouseClick(widget("f_choose_button"), Qt::LeftButton); })
      .when("the folder dialog",
            [=] {
              return modal(nullptr) && modal(nullptr)->Name != kCutDialog && widget("f_directory_list") &&
                     agent->PeerOf(modal(nullptr))->isVisible();
            },
            [=] { choose_root(qobject_cast<QComboBox*>(widget("f_drive_combo"))); });
  walk_to(driver, screen, result);
  driver
      .when("the result folder opened",
            [=] {
              auto* dir = dynamic_cast<TDirectoryListBox*>(control(modal(nullptr), "f_directory_list"));
              return dir && win32::ansi_to_utf8(dir->Directory()) == result.string();
            },
            [=] { QTest::mouseClick(widget("f_ok_button"), Qt::LeftButton); })
      .when("the folder in the dialog",
            [=] {
              return shown(kCutDialog) &&
                     qobject_cast<QLineEdit*>(widget("f_path_edit"))->text().toStdString() == result.string();
            },
            [=] { QTest::mouseClick(widget("f_apply_button"), Qt::LeftButton); });
}

// The steps of a cut of the sample's sheet into `result` (an existing folder): the layer
// and the sheet chosen, the folder chosen in the folder dialog, Apply pressed.
inline void drive_cut(QtDriver& driver, toolkit_qt::TScreenAgent& screen, const std::filesystem::path& result) {
  toolkit_qt::TScreenAgent* agent = &screen;
  auto widget = [agent](const char* name) { return modal_peer(agent, name); };
  auto shown = [agent](const char* name) { return form_shown(agent, name); };
  driver
      .when("the cut dialog", [=] { return shown(kCutDialog) && widget("f_layers_combo"); },
            [=] { choose(qobject_cast<QComboBox*>(widget("f_layers_combo")), QString::fromUtf8(kSheetsLayer)); })
      .when("the sheets listed", [=] { return qobject_cast<QComboBox*>(widget("f_objects_combo"))->findText(kSheet) >= 0; },
            [=] { choose(qobject_cast<QComboBox*>(widget("f_objects_combo")), kSheet); });
  drive_folder_and_apply(driver, screen, result);
}

}  // namespace test
