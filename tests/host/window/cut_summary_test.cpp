// The cut's summary in the window, after a cut that left a layer out (the lines the command
// line prints for the same cut) and after one that failed (what the dialog said and the
// GIS's reason); and the question about a modified document before the cut begins.
#include <QAction>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

#include <cstdio>
#include <sstream>

#include <gis/core.h>
#include <gis/document.h>

#include "cut_driver.h"
#include "window/command_bar.h"
#include "window_fixture.h"

namespace {

namespace fs = std::filesystem;

QMessageBox* message_box() { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }

// The sample map and its data copied into folder, without the wells' files: that layer
// cannot be cut.
fs::path sample_without_wells(const fs::path& folder) {
  const fs::path examples = fs::path(AREACLIP_SOURCE_DIR) / "examples";
  fs::copy_file(examples / "map.mxd", folder / "map.mxd");
  fs::copy(examples / "data", folder / "data", fs::copy_options::recursive);
  for (const char* ext : {".shp", ".shx", ".dbf", ".prj", ".cpg"}) fs::remove(folder / "data" / ("wells" + std::string(ext)));
  return folder / "map.mxd";
}

// The lines of a text that begin with two spaces (a summary's layers, warnings, layers not cut).
std::vector<std::string> indented(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("  ", 0) == 0) out.push_back(line);
  return out;
}

std::string command_output(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

TEST(CutSummary, ACutThatLeftALayerOutShowsWhatTheCommandLinePrints) {
  const fs::path source = test::temp_folder("summary-source");
  const fs::path document = sample_without_wells(source);
  test::WindowFixture f("summary", document.string());
  const fs::path result = f.folder / "результат";
  fs::create_directories(result);
  test::QtDriver driver;
  test::drive_cut(driver, *f.agent, result);
  f.window->commands()->action(0)->trigger();
  EXPECT_TRUE(driver.done()) << driver.pending();
  ASSERT_TRUE(fs::exists(result / "cross.mxd"));

  ASSERT_NE(f.window->cut_summary(), nullptr);
  EXPECT_TRUE(f.window->cut_summary()->isVisible());
  const QString text = f.window->cut_summary_text();
  const QString headline = text.section('\n', 0, 0);
  EXPECT_EQ(headline.toStdString(), "Cut into " + result.string() + ": 6 layers, 12 features written, 1 layer not cut.");
  EXPECT_EQ(f.window->statusBar()->currentMessage(), headline);
  EXPECT_TRUE(text.contains(QString::fromStdString("result document: " + (result / "cross.mxd").string())));
  QApplication::processEvents();
  test::window_picture("window_cut_summary", f.window.get(), f.window->cut_summary());

  // The same lines as `areaclip cut` prints for the same cut.
  const fs::path by_command = f.folder / "by_command";
  const std::string printed = command_output(std::string(AREACLIP_BIN_DIR) + "/areaclip cut '" + document.string() +
                                             "' --layer '" + test::kSheetsLayer + "' --feature '" + test::kSheet +
                                             "' --folder '" + by_command.string() + "' 2>/dev/null");
  const std::vector<std::string> expected = indented(printed);
  ASSERT_EQ(expected.size(), 7u) << printed;  // six layers and the one not cut
  EXPECT_EQ(indented(text.toStdString()), expected) << text.toStdString();
  EXPECT_NE(expected.back().find("not cut: "), std::string::npos);
  EXPECT_NE(expected.back().find("wells.shp"), std::string::npos);
  fs::remove_all(source);
}

// A run that fails (cancelled here as the GIS cancels it) leaves the document shown and
// tells why: the dialog's boxes and the GIS's reason.
TEST(CutSummary, ACutThatFailedSaysWhy) {
  test::WindowFixture f("summary_failed");
  const QString title = f.window->windowTitle();
  const fs::path result = f.folder / "результат";
  fs::create_directories(result);
  test::QtDriver driver;
  std::vector<std::string> boxes;
  driver.watch([&] {
    if (QMessageBox* box = message_box()) {
      boxes.push_back(box->text().toStdString());
      box->accept();
    }
  });
  test::drive_cut(driver, *f.agent, result);
  auto widget = [&](const char* name) { return f.agent->PeerOf(test::control(test::modal(nullptr), name)); };
  driver
      .when("the run under way", [&] { return widget("f_progress_panel") && widget("f_progress_panel")->isVisible(); },
            [] { gis::RequestCancel(); })
      .when("the dialog after the failure",
            [&] { return !boxes.empty() && !message_box() && widget("f_apply_button") && widget("f_apply_button")->isEnabled(); },
            [&] {
              gis::ResetCancel();
              QTest::mouseClick(widget("f_close_button"), Qt::LeftButton);
            });
  f.window->commands()->action(0)->trigger();
  gis::ResetCancel();
  EXPECT_TRUE(driver.done()) << driver.pending();
  EXPECT_FALSE(fs::exists(result / "cross.mxd"));
  EXPECT_EQ(f.window->windowTitle(), title);  // the map cut is still shown

  ASSERT_NE(f.window->cut_summary(), nullptr);
  const QString text = f.window->cut_summary_text();
  EXPECT_EQ(text.section('\n', 0, 0).toStdString(), "The cut into " + result.string() + " failed.");
  ASSERT_FALSE(boxes.empty());
  for (const std::string& box : boxes) EXPECT_TRUE(text.contains(QString::fromStdString(box))) << box;
  EXPECT_TRUE(text.contains("cancel", Qt::CaseInsensitive)) << text.toStdString();  // the GIS's reason
  EXPECT_FALSE(text.contains("result document"));
}

// A modified document: the question comes before the cut dialog; Cancel clicks nothing,
// Save saves it first, Discard goes on without saving. A dialog closed without a run shows
// no summary.
TEST(CutSummary, AModifiedDocumentIsAskedAboutBeforeTheCut) {
  for (const QMessageBox::StandardButton answer : {QMessageBox::Cancel, QMessageBox::Save, QMessageBox::Discard}) {
    SCOPED_TRACE(answer);
    test::WindowFixture f("cut_question_" + std::to_string(answer));
    const fs::path saved = f.folder / "mine.mxd";
    ASSERT_TRUE(f.window->save_document(QString::fromStdString(saved.string())));
    ASSERT_TRUE(f.window->add_data(QString::fromStdString(std::string(AREACLIP_SOURCE_DIR) + "/examples/data/rivers.shp")));
    const auto layers = [&] {
      auto document = gis::LoadDocument(saved.string());
      win32::ComPtr<IMap> map;
      LONG count = -1;
      if (document && SUCCEEDED(document->get_FocusMap(map.put())) && map) map->get_LayerCount(&count);
      return count;
    };
    const LONG layers_before = layers();
    test::QtDriver driver;
    QString question;
    bool dialog_shown = false;
    driver.when("the question", [] { return message_box() && message_box()->button(QMessageBox::Discard); },
                [&] {
                  question = message_box()->text();
                  message_box()->button(answer)->click();
                });
    if (answer != QMessageBox::Cancel)
      driver.when("the cut dialog", [] { return test::modal(test::kCutDialog) != nullptr; },
                  [&] {
                    dialog_shown = true;
                    QTest::mouseClick(f.agent->PeerOf(test::control(test::modal(nullptr), "f_close_button")), Qt::LeftButton);
                  });
    f.window->commands()->action(0)->trigger();
    EXPECT_TRUE(driver.done()) << driver.pending();
    EXPECT_TRUE(question.contains("mine.mxd")) << question.toStdString();
    EXPECT_EQ(dialog_shown, answer != QMessageBox::Cancel);
    EXPECT_EQ(f.window->isWindowModified(), answer != QMessageBox::Save);
    EXPECT_EQ(layers(), answer == QMessageBox::Save ? layers_before + 1 : layers_before);
    EXPECT_EQ(f.window->cut_summary(), nullptr);  // no run, no summary
    EXPECT_EQ(Application->ModalForm(), nullptr);
  }
}

}  // namespace
