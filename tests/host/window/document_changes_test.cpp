// The window keeps the person's changes: a modified document shows in the title, and
// closing the window, Quit, New and Open ask whether to save it first (Save, Discard,
// Cancel); Save As adds the extension of the format chosen.
#include <QAction>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>

#include <fstream>
#include <sstream>

#include <gis/document.h>

#include "window/layers_tree.h"
#include "window_fixture.h"

namespace {

namespace fs = std::filesystem;

using test::bytes_of;

QString rivers() { return QString::fromStdString(std::string(AREACLIP_SOURCE_DIR) + "/examples/data/rivers.shp"); }

// The layers of the focus map of the document saved at path; -1 when it cannot be read.
LONG saved_layers(const fs::path& path) {
  auto document = gis::LoadDocument(path.string());
  win32::ComPtr<IMap> map;
  if (!document || FAILED(document->get_FocusMap(map.put())) || !map) return -1;
  LONG count = 0;
  map->get_LayerCount(&count);
  return count;
}

QMessageBox* message_box() { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }
QFileDialog* file_dialog() { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); }

// The sample, saved as mine.mxd in the test's folder (the sample itself is never written),
// with a layer added since.
struct ModifiedWindow : test::WindowFixture {
  fs::path saved;
  std::string saved_bytes;
  LONG layers_saved = 0;
  explicit ModifiedWindow(const std::string& name) : WindowFixture(name) {
    saved = folder / "mine.mxd";
    EXPECT_TRUE(window->save_document(QString::fromStdString(saved.string())));
    EXPECT_FALSE(window->isWindowModified());
    saved_bytes = bytes_of(saved);
    layers_saved = saved_layers(saved);
    EXPECT_TRUE(window->add_data(rivers()));
    EXPECT_TRUE(window->isWindowModified());
  }
};

TEST(DocumentChanges, TheTitleShowsAModifiedDocument) {
  test::WindowFixture f("title");
  EXPECT_FALSE(f.window->isWindowModified());
  EXPECT_TRUE(f.window->windowTitle().startsWith("map.mxd[*]")) << f.window->windowTitle().toStdString();
  // A layer switched off is a change of the document (its visibility is saved).
  QTreeWidgetItem* item =
      f.window->layers()->findItems(QString::fromUtf8("Реки"), Qt::MatchExactly | Qt::MatchRecursive).value(0);
  ASSERT_NE(item, nullptr);
  item->setCheckState(0, Qt::Unchecked);
  EXPECT_TRUE(f.window->isWindowModified());
  // Moving the view is not.
  const fs::path saved = f.folder / "saved.mxd";
  ASSERT_TRUE(f.window->save_document(QString::fromStdString(saved.string())));
  EXPECT_FALSE(f.window->isWindowModified());
  f.window->canvas()->show_extent(0, 0, 10, 10);
  EXPECT_FALSE(f.window->isWindowModified());
  // An unmodified document goes without a question (the driver fails on any box).
  test::QtDriver driver;
  EXPECT_TRUE(f.window->close());
}

// Every way the document goes, with every answer to the question.
TEST(DocumentChanges, ClosingQuitNewAndOpenAskFirst) {
  const char* const actions[] = {"close", "quit", "new", "open"};
  const QMessageBox::StandardButton answers[] = {QMessageBox::Save, QMessageBox::Discard, QMessageBox::Cancel};
  for (const char* action : actions)
    for (QMessageBox::StandardButton answer : answers) {
      const std::string name = std::string(action) + "_" + std::to_string(answer);
      SCOPED_TRACE(name);
      ModifiedWindow f(name);
      test::QtDriver driver;
      QString question;
      driver.when("the question", [] { return message_box() && message_box()->button(QMessageBox::Discard); },
                  [&] {
                    question = message_box()->text();
                    message_box()->button(answer)->click();
                  });
      const std::string what = action;
      bool went = false;
      if (what == "close") {
        went = f.window->close();
      } else if (what == "quit") {
        f.window->findChild<QAction*>("quit")->trigger();
        went = !f.window->isVisible();
      } else if (what == "new") {
        f.window->new_document();
        went = f.window->windowTitle().startsWith("Untitled");
      } else {
        went = f.window->open_document(QString::fromStdString(test::sample_map()));
      }
      EXPECT_TRUE(driver.done()) << driver.pending();
      EXPECT_TRUE(question.contains("mine.mxd")) << question.toStdString();
      if (answer == QMessageBox::Cancel) {
        // Everything stays as it was.
        EXPECT_FALSE(went);
        EXPECT_TRUE(f.window->isVisible());
        EXPECT_TRUE(f.window->isWindowModified());
        EXPECT_TRUE(f.window->windowTitle().startsWith("mine.mxd"));
        EXPECT_EQ(bytes_of(f.saved), f.saved_bytes);
        continue;
      }
      EXPECT_TRUE(went);
      if (what == "new" || what == "open") {
        EXPECT_FALSE(f.window->isWindowModified());
      }
      if (answer == QMessageBox::Discard) {
        EXPECT_EQ(bytes_of(f.saved), f.saved_bytes);
      } else {
        EXPECT_EQ(saved_layers(f.saved), f.layers_saved + 1);  // the added layer was saved
      }
    }
}

// Save that fails keeps the window open, modified, with the reason shown.
TEST(DocumentChanges, ASaveThatFailsKeepsTheWindowOpen) {
  test::WindowFixture f("save_fails");
  const fs::path gone = f.folder / "gone";
  fs::create_directories(gone);
  ASSERT_TRUE(f.window->save_document(QString::fromStdString((gone / "mine.mxd").string())));
  ASSERT_TRUE(f.window->add_data(rivers()));
  fs::remove_all(gone);
  test::QtDriver driver;
  QString reason;
  driver
      .when("the question", [] { return message_box() && message_box()->button(QMessageBox::Discard); },
            [] { message_box()->button(QMessageBox::Save)->click(); })
      .when("the failure", [] { return message_box() && !message_box()->button(QMessageBox::Discard); },
            [&] {
              reason = message_box()->text();
              message_box()->accept();
            });
  EXPECT_FALSE(f.window->close());
  EXPECT_TRUE(driver.done()) << driver.pending();
  EXPECT_TRUE(reason.startsWith("Cannot save")) << reason.toStdString();
  EXPECT_TRUE(f.window->isVisible());
  EXPECT_TRUE(f.window->isWindowModified());
  EXPECT_FALSE(fs::exists(gone));
}

// A new map saved when the window closes: the save dialog asks where; the name typed
// without an extension gets that of the format chosen, so the Open dialog shows the file.
TEST(DocumentChanges, SavingANewMapAddsTheChosenFormatsExtension) {
  test::WindowFixture f("save_new");
  f.window->new_document();
  ASSERT_TRUE(f.window->add_data(rivers()));
  test::QtDriver driver;
  driver
      .when("the question", [] { return message_box() && message_box()->button(QMessageBox::Discard); },
            [] { message_box()->button(QMessageBox::Save)->click(); })
      .when("the save dialog", [] { return file_dialog() != nullptr; },
            [&] {
              QFileDialog* dialog = file_dialog();
              EXPECT_EQ(dialog->nameFilters().size(), 3);
              dialog->selectNameFilter(dialog->nameFilters().value(1));  // QGIS projects (*.qgs)
              dialog->selectFile(QString::fromStdString((f.folder / "mymap").string()));
              static_cast<QDialog*>(dialog)->accept();  // the file dialog's own accept: as its Save button
            });
  EXPECT_TRUE(f.window->close());
  EXPECT_TRUE(driver.done()) << driver.pending();
  EXPECT_FALSE(fs::exists(f.folder / "mymap"));
  ASSERT_TRUE(fs::exists(f.folder / "mymap.qgs"));
  EXPECT_EQ(saved_layers(f.folder / "mymap.qgs"), 1);
  EXPECT_TRUE(gis::ReadFromQgisProject(gis::LoadDocument((f.folder / "mymap.qgs").string()).get()));
}

TEST(DocumentChanges, SaveAsAddsTheExtensionOfTheFilterChosen) {
  struct Case {
    const char* path;
    const char* filter;
    const char* saved;
  };
  const Case cases[] = {
      {"/d/mymap", "ArcMap documents (*.mxd)", "/d/mymap.mxd"},
      {"/d/mymap", "QGIS projects (*.qgs)", "/d/mymap.qgs"},
      {"/d/mymap", "QGIS projects, zipped (*.qgz)", "/d/mymap.qgz"},
      {"/d/mymap.qgz", "ArcMap documents (*.mxd)", "/d/mymap.qgz"},  // an extension typed stands
      {"/d/mymap.MXD", "QGIS projects (*.qgs)", "/d/mymap.MXD"},
      {"/d/my.map", "QGIS projects (*.qgs)", "/d/my.map.qgs"},  // a dot is no extension of ours
      {"/d/mymap", "", "/d/mymap.mxd"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(host::MapWindow::with_extension(c.path, c.filter).toStdString(), c.saved) << c.path << " " << c.filter;
}

// Add data tells about data that names no coordinate system (a shapefile without .prj), in
// the status bar and a message box; data with one is added without a word.
TEST(DocumentChanges, AddDataWarnsAboutAShapefileWithoutPrj) {
  for (const bool with_prj : {false, true}) {
    SCOPED_TRACE(with_prj ? "with .prj" : "without .prj");
    test::WindowFixture f(with_prj ? "add_prj" : "add_no_prj");
    const fs::path source = fs::path(AREACLIP_SOURCE_DIR) / "examples/data";
    for (const char* ext : {".shp", ".shx", ".dbf", ".cpg", ".prj"})
      if (with_prj || std::string(ext) != ".prj") fs::copy_file(source / ("rivers" + std::string(ext)), f.folder / ("мои реки" + std::string(ext)));
    const QString path = QString::fromStdString((f.folder / "мои реки.shp").string());
    test::QtDriver driver;
    QString told;
    if (!with_prj)
      driver.when("the warning", [] { return message_box() != nullptr; },
                  [&] {
                    told = message_box()->text();
                    message_box()->accept();
                  });
    EXPECT_TRUE(f.window->add_data(path));
    EXPECT_TRUE(driver.done()) << driver.pending();
    const QString status = f.window->statusBar()->currentMessage();
    if (with_prj) {
      EXPECT_TRUE(told.isEmpty());
      EXPECT_FALSE(status.contains(".prj")) << status.toStdString();
      continue;
    }
    EXPECT_TRUE(told.contains(path + " has no .prj")) << told.toStdString();
    EXPECT_TRUE(status.startsWith(path + " has no .prj")) << status.toStdString();
    EXPECT_TRUE(f.window->isWindowModified());  // the layer is added all the same
  }
}

}  // namespace
