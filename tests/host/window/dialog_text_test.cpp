// The extension's dialogs as a person sees them in the window: every caption of the cut
// dialog (during a run too) and of the folder dialog fits its control in the font it is
// shown in; the folder dialog opens in the map's folder, then in the result folder chosen
// last, and makes a new folder.
#include <QAction>
#include <QComboBox>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <toolkit/vcl.h>
#include <toolkit_qt/fonts.h>

#include "window/command_bar.h"
#include "window/window_settings.h"
#include "cut_driver.h"
#include "window_fixture.h"

namespace {

namespace fs = std::filesystem;
using test::control;
using test::modal;

// The captions under root that do not fit their widgets: "name: text (width of room)".
void misfits(TControl* root, toolkit_qt::TScreenAgent& agent, std::vector<std::string>* out, int* checked) {
  QWidget* w = agent.PeerOf(root);
  const QString text = QString::fromStdString(win32::ansi_to_utf8(root->Caption()));
  if (w && w->isVisible() && !text.isEmpty()) {
    int room = -1;
    if (auto* label = qobject_cast<QLabel*>(w); label && !label->wordWrap()) room = w->width();
    else if (qobject_cast<QPushButton*>(w)) room = w->width() - 6;
    else if (qobject_cast<QGroupBox*>(w)) room = w->width() - 16;
    else if (auto* frame = qobject_cast<QFrame*>(w); frame && !qobject_cast<QLabel*>(w)) room = frame->contentsRect().width() - 8;
    if (room >= 0) {
      ++*checked;
      const double width = QFontMetricsF(w->font()).horizontalAdvance(text);
      if (width > room || w->font().pixelSize() < toolkit_qt::kSmallestPixels)
        out->push_back(root->Name + ": \"" + text.toStdString() + "\" " + std::to_string(width) + " px in " +
                       std::to_string(room) + " px at " + std::to_string(w->font().pixelSize()) + " px");
    }
  }
  if (auto* parent = dynamic_cast<TWinControl*>(root))
    for (int i = 0; i < parent->ControlCount(); ++i) misfits(parent->Controls(i), agent, out, checked);
}

void expect_captions_fit(TForm* form, toolkit_qt::TScreenAgent& agent, int at_least) {
  ASSERT_NE(form, nullptr);
  agent.Update();
  std::vector<std::string> out;
  int checked = 0;
  misfits(form, agent, &out, &checked);
  EXPECT_GE(checked, at_least) << form->Name;
  EXPECT_TRUE(out.empty()) << form->Name << ":\n" << ::testing::PrintToString(out);
}

// The form's window as shown, for looking at (AREACLIP_WINDOW_PICTURES).
void form_picture(const char* name, QWidget* form) {
  const char* folder = std::getenv("AREACLIP_WINDOW_PICTURES");
  if (folder && *folder && form) form->grab().save(QString::fromUtf8(folder) + "/" + name + ".png");
}

TEST(DialogText, TheFormsCaptionsFitTheirControls) {
  test::WindowFixture f("dialog_text");
  toolkit_qt::TScreenAgent& agent = *f.agent;
  auto widget = [&](const char* name) { return agent.PeerOf(control(modal(nullptr), name)); };
  auto folder_dialog = [&] {
    return modal(nullptr) && modal(nullptr)->Name != test::kCutDialog && widget("f_directory_list") &&
           agent.PeerOf(modal(nullptr))->isVisible();
  };
  const std::string map_folder = fs::path(test::sample_map()).parent_path().lexically_normal().string();
  test::QtDriver driver;
  driver
      .when("the cut dialog", [&] { return modal(test::kCutDialog) && widget("f_layers_combo"); },
            [&] { test::choose(qobject_cast<QComboBox*>(widget("f_layers_combo")), QString::fromUtf8(test::kSheetsLayer)); })
      .when("the sheets listed",
            [&] { return qobject_cast<QComboBox*>(widget("f_objects_combo"))->findText(test::kSheet) >= 0; },
            [&] {
              test::choose(qobject_cast<QComboBox*>(widget("f_objects_combo")), test::kSheet);
              expect_captions_fit(modal(test::kCutDialog), agent, 8);
              form_picture("dialog_cut", agent.PeerOf(modal(test::kCutDialog)));
              // The run's progress line as the run shows it, the longest layer's name in it.
              TForm* form = modal(test::kCutDialog);
              control(form, "f_progress_panel")->Visible = true;
              control(form, "f_progress_label")->Caption =
                  win32::utf8_to_ansi("Обрабатывается: Населённые пункты (WGS 84)");
              expect_captions_fit(form, agent, 9);
              form_picture("dialog_cut_run", agent.PeerOf(form));
              control(form, "f_progress_panel")->Visible = false;
              QTest::mouseClick(widget("f_choose_button"), Qt::LeftButton);
            })
      .when("the folder dialog", folder_dialog,
            [&] {
              // It opens in the map's folder: no result folder was chosen before.
              auto* list = dynamic_cast<TDirectoryListBox*>(control(modal(nullptr), "f_directory_list"));
              EXPECT_EQ(win32::ansi_to_utf8(list->Directory()), map_folder);
              expect_captions_fit(modal(nullptr), agent, 3);
              form_picture("dialog_folder", agent.PeerOf(modal(nullptr)));
              QTest::mouseClick(widget("f_cancel_button"), Qt::LeftButton);
            })
      .when("back in the cut dialog", [&] { return modal(test::kCutDialog) && Application->PendingMessages() == 0; },
            [&] { QTest::mouseClick(widget("f_close_button"), Qt::LeftButton); });
  f.window->commands()->action(0)->trigger();
  EXPECT_TRUE(driver.done()) << driver.pending();
  EXPECT_EQ(Application->ModalForm(), nullptr);
}

TEST(DialogText, TheFolderDialogStartsAtTheLastResultFolderAndMakesANewFolder) {
  test::WindowFixture f("folder_dialog");
  toolkit_qt::TScreenAgent& agent = *f.agent;
  const fs::path last = f.folder / "прошлый результат";
  fs::create_directories(last);
  host::remember_folder(host::LastFolder::kResult, QString::fromStdString(last.string()));
  const fs::path made = last / "новая папка";
  auto widget = [&](const char* name) { return agent.PeerOf(control(modal(nullptr), name)); };
  auto directory = [&] {
    auto* list = dynamic_cast<TDirectoryListBox*>(control(modal(nullptr), "f_directory_list"));
    return list ? win32::ansi_to_utf8(list->Directory()) : std::string();
  };
  std::vector<std::string> refused;
  test::QtDriver driver;
  driver
      .when("the cut dialog", [&] { return modal(test::kCutDialog) && widget("f_choose_button"); },
            [&] { QTest::mouseClick(widget("f_choose_button"), Qt::LeftButton); })
      .when("the folder dialog at the last result folder", [&] { return directory() == last.string(); },
            [&] {
              auto* list = qobject_cast<QListWidget*>(widget("f_directory_list"));
              QAction* make = list->findChild<QAction*>("new_folder");
              ASSERT_NE(make, nullptr);
              EXPECT_TRUE(list->actions().contains(make));  // in its context menu
              QTimer::singleShot(0, make, &QAction::trigger);  // its question waits in a loop of its own
            })
      .when("the name asked for", [] { return qobject_cast<QInputDialog*>(QApplication::activeModalWidget()) != nullptr; },
            [&] {
              auto* ask = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
              ask->setTextValue(QString::fromUtf8("новая папка"));
              ask->accept();
            })
      .when("the new folder opened", [&] { return directory() == made.string(); },
            [&] {
              EXPECT_TRUE(fs::is_directory(made));
              // Making it again is refused with the reason; the list stays.
              QTimer::singleShot(0, qobject_cast<QListWidget*>(widget("f_directory_list"))->findChild<QAction*>("new_folder"),
                                 &QAction::trigger);
            })
      .when("the name asked for again", [] { return qobject_cast<QInputDialog*>(QApplication::activeModalWidget()) != nullptr; },
            [&] {
              auto* ask = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
              ask->setTextValue("..");
              ask->accept();
            })
      .when("the refusal", [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
            [&] {
              auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
              refused.push_back(box->text().toStdString());
              box->accept();
            })
      .when("the folder dialog again", [&] { return QApplication::activeModalWidget() == agent.PeerOf(modal(nullptr)) || !qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); },
            [&] {
              EXPECT_EQ(directory(), made.string());
              QTest::mouseClick(widget("f_ok_button"), Qt::LeftButton);
            })
      .when("the new folder in the cut dialog",
            [&] {
              return modal(test::kCutDialog) &&
                     qobject_cast<QLineEdit*>(widget("f_path_edit"))->text().toStdString() == made.string();
            },
            [&] { QTest::mouseClick(widget("f_close_button"), Qt::LeftButton); });
  f.window->commands()->action(0)->trigger();
  EXPECT_TRUE(driver.done()) << driver.pending();
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_NE(refused[0].find("is not . or .."), std::string::npos) << refused[0];
  EXPECT_EQ(Application->ModalForm(), nullptr);
}

}  // namespace
