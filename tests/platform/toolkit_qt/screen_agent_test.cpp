// The toolkit on screen: the widgets stand where the toolkit's layout puts them and show the
// controls' state; a person's input reaches the toolkit's handlers through its messages.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <vector>

#include <toolkit/vcl.h>
#include <toolkit_qt/screen_agent.h>
#include <win32/paths.h>
#include <win32/text.h>
#include <windows.h>

#include "support/qt_driver.h"

namespace {

namespace fs = std::filesystem;
using toolkit_qt::TScreenAgent;

std::string ansi(const char* utf8) { return win32::utf8_to_ansi(utf8); }

// A small dialog like the system's: a group with a layer and a feature combo and an edit, a
// bottom panel with the progress bar and the buttons.
struct Dialog {
  TForm* form = new TForm(nullptr);
  TGroupBox* group = new TGroupBox(form);
  TComboBox* layers = new TComboBox(form);
  TComboBox* features = new TComboBox(form);
  TEdit* path = new TEdit(form);
  TLabel* note = new TLabel(form);
  TPanel* bottom = new TPanel(form);
  TProgressBar* bar = new TProgressBar(form);
  TButton* apply = new TButton(form);
  TButton* close = new TButton(form);

  Dialog() {
    form->Name = "dialog";
    form->Caption = ansi("Вырезание");
    form->BorderStyle = bsDialog;
    form->ClientWidth = 420;
    form->ClientHeight = 220;
    bottom->Parent = form;
    bottom->Align = alBottom;
    bottom->Height = 40;
    bottom->Caption = "";
    group->Parent = form;
    group->Align = alClient;
    group->Caption = ansi("Полигон");
    for (TControl* c : std::vector<TControl*>{layers, features, path}) {
      c->Parent = group;
      c->Align = alTop;
      c->AlignWithMargins = true;
    }
    layers->Style = csDropDownList;
    layers->Items->Assign({ansi("Листы"), ansi("Участки")});
    features->Style = csDropDownList;
    layers->OnChange = [this](TObject*) {
      features->Items->Clear();
      for (int i = 1; i <= (layers->ItemIndex == 0 ? 2 : 3); ++i)
        features->Items->Add(layers->Text() + " " + std::to_string(i));
    };
    note->Parent = group;
    note->Align = alBottom;
    note->Caption = ansi("Примечание");
    note->Visible = false;
    bar->Parent = bottom;
    bar->Align = alClient;
    bar->AlignWithMargins = true;
    close->Parent = bottom;
    close->Align = alRight;
    close->Caption = ansi("Закрыть");
    close->ModalResult = mrCancel;
    apply->Parent = bottom;
    apply->Align = alRight;
    apply->Caption = ansi("Применить");
  }
  ~Dialog() { delete form; }
};

// Types text as key presses (QTest::keyClicks takes only ASCII).
void type_text(QWidget* widget, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &release);
  }
}

template <class W>
W* peer(TScreenAgent& agent, const TControl* control) {
  return qobject_cast<W*>(agent.PeerOf(control));
}

class ScreenAgent : public testing::Test {
 protected:
  void SetUp() override { test::qt_application(); }
};

TEST_F(ScreenAgent, WidgetsStandAtTheLayoutsRectanglesAndShowTheControlsState) {
  Dialog d;
  test::QtDriver driver;
  TScreenAgent agent;
  driver
      .when("the dialog on screen", [&] { return agent.PeerOf(d.apply) && agent.PeerOf(d.form)->isVisible(); },
            [&] {
              QWidget* window = agent.PeerOf(d.form);
              EXPECT_EQ(window->windowTitle().toStdString(), "Вырезание");
              EXPECT_EQ(window->size(), QSize(420, 220));
              EXPECT_TRUE(window->isModal());
              for (const TControl* c : std::vector<const TControl*>{d.group, d.layers, d.features, d.path, d.bottom,
                                                                    d.bar, d.apply, d.close}) {
                const TRect r = c->BoundsRect();
                EXPECT_EQ(agent.PeerOf(c)->geometry(), QRect(r.Left, r.Top, r.Width(), r.Height()))
                    << c->Name << " " << r;
              }
              EXPECT_EQ(peer<QGroupBox>(agent, d.group)->title().toStdString(), "Полигон");
              EXPECT_EQ(peer<QPushButton>(agent, d.apply)->text().toStdString(), "Применить");
              EXPECT_FALSE(agent.PeerOf(d.note)->isVisible());
              EXPECT_EQ(peer<QComboBox>(agent, d.layers)->count(), 2);
              // State set by the program shows at the next update.
              d.note->Visible = true;
              d.note->Caption = ansi("Выберите слой");
              d.apply->Enabled = false;
              d.apply->Hint = ansi("Запустить");
            })
      .when("the changed state", [&] { return agent.PeerOf(d.note)->isVisible(); },
            [&] {
              EXPECT_EQ(peer<QLabel>(agent, d.note)->text().toStdString(), "Выберите слой");
              EXPECT_FALSE(agent.PeerOf(d.apply)->isEnabled());
              EXPECT_EQ(agent.PeerOf(d.apply)->toolTip().toStdString(), "Запустить");
              // A click on a disabled button does nothing; the close box closes.
              QTest::mouseClick(agent.PeerOf(d.apply), Qt::LeftButton);
              agent.PeerOf(d.form)->close();
            });
  EXPECT_EQ(d.form->ShowModal(), mrCancel);
  EXPECT_TRUE(driver.done()) << driver.pending();
  agent.Update();
  EXPECT_FALSE(agent.PeerOf(d.form)->isVisible());
}

TEST_F(ScreenAgent, ChoicesTypingAndClicksReachTheHandlers) {
  Dialog d;
  test::QtDriver driver;
  TScreenAgent agent;
  int answer = 0;
  d.apply->OnClick = [&](TObject*) {
    answer = Application->MessageBox(ansi("Продолжить вырезание?"), ansi("Вопрос"), MB_YESNO | MB_ICONQUESTION);
  };
  driver
      .when("the layer combo", [&] { return agent.PeerOf(d.layers) != nullptr; },
            [&] {
              QComboBox* layers = peer<QComboBox>(agent, d.layers);
              layers->setFocus();
              QTest::keyClick(layers, Qt::Key_Down);  // the first layer
              QTest::keyClick(layers, Qt::Key_Down);  // the second
            })
      .when("the features of the second layer", [&] { return peer<QComboBox>(agent, d.features)->count() == 3; },
            [&] {
              EXPECT_EQ(d.layers->ItemIndex, 1);
              EXPECT_EQ(peer<QComboBox>(agent, d.features)->itemText(2).toStdString(), "Участки 3");
              QComboBox* layers = peer<QComboBox>(agent, d.layers);
              QTest::keyClick(layers, Qt::Key_Up);
            })
      .when("the features of the first layer", [&] { return peer<QComboBox>(agent, d.features)->count() == 2; },
            [&] {
              EXPECT_EQ(peer<QComboBox>(agent, d.features)->itemText(0).toStdString(), "Листы 1");
              QLineEdit* path = peer<QLineEdit>(agent, d.path);
              path->setFocus();
              type_text(path, QString::fromUtf8("/tmp/Результат"));
            })
      .when("the typed path", [&] { return d.path->Text() == ansi("/tmp/Результат"); },
            [&] { QTest::mouseClick(agent.PeerOf(d.apply), Qt::LeftButton); })
      .when("the question", [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
            [&] {
              auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
              EXPECT_EQ(box->windowTitle().toStdString(), "Вопрос");
              EXPECT_EQ(box->text().toStdString(), "Продолжить вырезание?");
              ASSERT_NE(box->button(QMessageBox::Yes), nullptr);
              box->button(QMessageBox::No)->click();
            })
      .when("the answer", [&] { return answer != 0; },
            [&] { QTest::mouseClick(agent.PeerOf(d.close), Qt::LeftButton); });
  EXPECT_EQ(d.form->ShowModal(), mrCancel);
  EXPECT_TRUE(driver.done()) << driver.pending();
  EXPECT_EQ(answer, IDNO);
  ASSERT_EQ(agent.Boxes().size(), 1u);
  EXPECT_EQ(agent.Boxes()[0].answer, IDNO);
}

// A run that processes messages as it goes: the bar moves on screen, and the close box
// pressed meanwhile closes the dialog only once the run is over.
TEST_F(ScreenAgent, ARunMovesTheBarAndTheCloseBoxWaitsForIt) {
  Dialog d;
  test::QtDriver driver;
  TScreenAgent agent;
  bool running = false, run_over = false, closed_during_run = false;
  d.apply->OnClick = [&](TObject*) {
    running = true;
    d.apply->Enabled = false;
    for (int i = 0; i <= 100; i += 2) {
      d.bar->Position = i;
      Application->ProcessMessages();
      Sleep(10);
    }
    d.apply->Enabled = true;
    running = false;
    run_over = true;
  };
  d.form->OnClose = [&](TObject*, TCloseAction&) { closed_during_run = running; };
  std::vector<int> seen;
  driver.watch([&] {
    if (QProgressBar* bar = peer<QProgressBar>(agent, d.bar); bar && (seen.empty() || seen.back() != bar->value()))
      seen.push_back(bar->value());
  });
  driver.when("the apply button", [&] { return agent.PeerOf(d.apply) != nullptr; },
              [&] { QTest::mouseClick(agent.PeerOf(d.apply), Qt::LeftButton); })
      .when("the run under way", [&] { return running && peer<QProgressBar>(agent, d.bar)->value() >= 30; },
            [&] {
              EXPECT_FALSE(agent.PeerOf(d.apply)->isEnabled());
              agent.PeerOf(d.form)->close();
            });
  EXPECT_EQ(d.form->ShowModal(), mrCancel);
  EXPECT_TRUE(driver.done()) << driver.pending();
  EXPECT_TRUE(run_over);
  EXPECT_FALSE(closed_during_run);
  ASSERT_GE(seen.size(), 3u) << "the bar did not move on screen";
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]);
  EXPECT_EQ(d.bar->Position, 100);
}

// Outside the toolkit's loops the agent is told, not asking on a clock: a message posted
// by the program is handled and a control changed by it shows as soon as the Qt event loop
// is idle, with no time passing; a timer of the toolkit ticks when it is due.
TEST_F(ScreenAgent, TheToolkitTellsTheAgentWhatToDo) {
  Dialog d;
  TScreenAgent agent;
  d.form->Show();
  QApplication::processEvents();
  ASSERT_NE(agent.PeerOf(d.note), nullptr);
  EXPECT_TRUE(agent.PeerOf(d.form)->isVisible());

  bool handled = false;
  Application->Post(d.form, [&] { handled = true; });
  QApplication::processEvents();
  EXPECT_TRUE(handled);
  d.note->Visible = true;
  QApplication::processEvents();
  EXPECT_TRUE(agent.PeerOf(d.note)->isVisible());
  d.note->Caption = ansi("Готово");
  QApplication::processEvents();
  EXPECT_EQ(peer<QLabel>(agent, d.note)->text().toStdString(), "Готово");
  d.bar->Position = 40;
  QApplication::processEvents();
  EXPECT_EQ(peer<QProgressBar>(agent, d.bar)->value(), 40);

  int ticks = 0;
  auto* timer = new TTimer(d.form);
  timer->Interval = 5;
  timer->OnTimer = [&](TObject*) {
    if (++ticks == 3) timer->Enabled = false;
  };
  timer->Enabled = false;
  timer->Enabled = true;  // told: due in 5 ms
  EXPECT_TRUE(QTest::qWaitFor([&] { return ticks == 3; }));
  d.form->Hide();
  QApplication::processEvents();
  EXPECT_FALSE(agent.PeerOf(d.form)->isVisible());
}

TEST_F(ScreenAgent, OpeningAFolderInTheDirectoryList) {
  const fs::path root = fs::temp_directory_path() / ("areaclip-qt-" + std::to_string(getpid()));
  fs::create_directories(root / "alpha");
  fs::create_directories(root / "Бета");
  Dialog d;
  auto* list = new TDirectoryListBox(d.form);
  list->Parent = d.group;
  list->Align = alClient;
  list->Directory = win32::posix_path_to_ansi(root.string());
  test::QtDriver driver;
  TScreenAgent agent;
  auto open = [&](const char* shown) {
    auto* view = peer<QListWidget>(agent, list);
    auto items = view->findItems(shown, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << shown;
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualItemRect(items[0]).center());
  };
  driver.when("the folder's list", [&] { return peer<QListWidget>(agent, list) && peer<QListWidget>(agent, list)->count() == 3; },
              [&] {
                auto* view = peer<QListWidget>(agent, list);
                EXPECT_EQ(view->item(0)->text().toStdString(), "..");
                open("Бета");
              })
      .when("the subfolder", [&] { return list->Directory() != win32::posix_path_to_ansi(root.string()); },
            [&] {
              EXPECT_EQ(win32::ansi_to_utf8(list->Directory()), (root / "Бета").string());
              open("..");
            })
      .when("back up", [&] { return list->Directory() == win32::posix_path_to_ansi(root.string()); },
            [&] { agent.PeerOf(d.form)->close(); });
  EXPECT_EQ(d.form->ShowModal(), mrCancel);
  EXPECT_TRUE(driver.done()) << driver.pending();
  fs::remove_all(root);
}

}  // namespace

namespace {

// A form whose Tab order is not its controls' creation order: the combo, then the second
// edit, the first edit, and the buttons' panel (OK, then Cancel).
struct KeyedForm {
  TForm* form = new TForm(nullptr);
  TEdit* first = new TEdit(form);
  TEdit* second = new TEdit(form);
  TComboBox* combo = new TComboBox(form);
  TPanel* bottom = new TPanel(form);
  TButton* ok = new TButton(form);
  TButton* cancel = new TButton(form);

  explicit KeyedForm(bool declared) {
    form->Name = "keyed";
    form->ClientWidth = 300;
    form->ClientHeight = 160;
    for (TControl* c : std::vector<TControl*>{first, second, combo}) {
      c->Parent = form;
      c->Align = alTop;
    }
    combo->Items->Assign({"a", "b"});
    bottom->Parent = form;
    bottom->Align = alBottom;
    bottom->Height = 40;
    ok->Parent = bottom;
    ok->Align = alLeft;
    ok->Caption = "OK";
    ok->ModalResult = mrOk;
    cancel->Parent = bottom;
    cancel->Align = alRight;
    cancel->Caption = "Cancel";
    cancel->ModalResult = mrCancel;
    ok->Default = declared;
    cancel->Cancel = declared;
    combo->TabOrder = 0;
    second->TabOrder = 1;
    first->TabOrder = 2;
  }
  ~KeyedForm() { delete form; }
};

}  // namespace

TEST(ToolkitTabs, TabOrderedFollowsEachContainersTabOrderDepthFirst) {
  KeyedForm k(true);
  const std::vector<TWinControl*> expected{k.combo, k.second, k.first, k.bottom, k.ok, k.cancel};
  EXPECT_EQ(toolkit::TabOrdered(k.form), expected);
  EXPECT_EQ(toolkit::KeyButton(k.form, true), nullptr);  // not showing yet
}

// Tab moves through the controls in their TabOrder from the first, which has the focus;
// Enter presses the Default button and Escape the Cancel button where the form declares
// them, and nothing where it does not.
TEST_F(ScreenAgent, TabOrderFirstFocusEnterAndEscape) {
  const struct {
    bool declared;
    Qt::Key key;
    TModalResult result;
  } cases[] = {{true, Qt::Key_Return, mrOk}, {true, Qt::Key_Escape, mrCancel}, {false, Qt::Key_Return, mrNone},
               {false, Qt::Key_Escape, mrNone}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.declared) + " " + std::to_string(c.key));
    KeyedForm k(c.declared);
    test::QtDriver driver;
    TScreenAgent agent;
    std::vector<QWidget*> focused;
    bool pressed = false;
    driver
        .when("the form on screen", [&] { return agent.PeerOf(k.cancel) && agent.PeerOf(k.form)->isVisible(); },
              [&] {
                QWidget* window = agent.PeerOf(k.form);
                focused.push_back(window->focusWidget());
                for (int i = 0; i < 4; ++i) {
                  QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
                  focused.push_back(window->focusWidget());
                }
                // Back in the second edit, the key.
                QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
                QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
                QTest::keyClick(window->focusWidget(), c.key);
                pressed = true;
              });
    if (c.result == mrNone)
      driver.when("the key handled", [&] { return pressed && Application->PendingMessages() == 0; },
                  [&] {
                    EXPECT_TRUE(agent.PeerOf(k.form)->isVisible());  // nothing pressed
                    agent.PeerOf(k.form)->close();
                  });
    const TModalResult result = k.form->ShowModal();
    EXPECT_TRUE(driver.done()) << driver.pending();
    EXPECT_EQ(result, c.result == mrNone ? mrCancel : c.result);
    const std::vector<QWidget*> expected{agent.PeerOf(k.combo), agent.PeerOf(k.second), agent.PeerOf(k.first),
                                         agent.PeerOf(k.ok), agent.PeerOf(k.cancel)};
    EXPECT_EQ(focused, expected);
  }
}
