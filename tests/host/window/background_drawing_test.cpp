// The canvas draws in the background: the window answers while a layer draws, a new view
// cancels the drawing under way and the picture is then that of the new view, and layers
// whose looks and view are unchanged are not drawn again. A layer whose reading waits at a
// gate the test opens stands for a slow one.
#include <QAction>
#include <QTest>
#include <QTreeWidget>

#include <condition_variable>
#include <mutex>

#include <win32/com_object.h>

#include "window/layers_tree.h"
#include "window/map_canvas.h"
#include "window/map_painter.h"
#include "window_fixture.h"

namespace {

using win32::ComPtr;

// Where a slow layer's reading waits: while closed, every feature waits for it to open.
class Gate {
 public:
  void open() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      open_ = true;
    }
    changed_.notify_all();
  }
  void pass() {
    std::unique_lock<std::mutex> hold(lock_);
    ++waiting_;
    changed_.wait(hold, [&] { return open_; });
    --waiting_;
  }
  int waiting() {
    std::lock_guard<std::mutex> hold(lock_);
    return waiting_;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool open_ = false;
  int waiting_ = 0;
};

class GatedCursor : public win32::ComObject<GatedCursor, IFeatureCursor> {
 public:
  GatedCursor(ComPtr<IFeatureCursor> inner, std::shared_ptr<Gate> gate) : inner_(std::move(inner)), gate_(std::move(gate)) {}
  HRESULT STDMETHODCALLTYPE NextFeature(IFeature** feature) override {
    gate_->pass();
    return inner_->NextFeature(feature);
  }
  HRESULT STDMETHODCALLTYPE get_Fields(IFields** fields) override { return inner_->get_Fields(fields); }
  HRESULT STDMETHODCALLTYPE FindField(BSTR name, LONG* index) override { return inner_->FindField(name, index); }
  HRESULT STDMETHODCALLTYPE Flush() override { return inner_->Flush(); }

 private:
  ComPtr<IFeatureCursor> inner_;
  std::shared_ptr<Gate> gate_;
};

// The features of a real class, read through a cursor that waits at the gate: a layer of
// other origin, drawn as slowly as the test wants.
class GatedFeatureClass : public win32::ComObject<GatedFeatureClass, IFeatureClass> {
 public:
  GatedFeatureClass(ComPtr<IFeatureClass> inner, std::shared_ptr<Gate> gate) : inner_(std::move(inner)), gate_(std::move(gate)) {}
  HRESULT STDMETHODCALLTYPE Search(IQueryFilter* filter, VARIANT_BOOL recycling, IFeatureCursor** cursor) override {
    ComPtr<IFeatureCursor> inner;
    HRESULT hr = inner_->Search(filter, recycling, inner.put());
    if (FAILED(hr)) return hr;
    *cursor = ComPtr<IFeatureCursor>::adopt(new GatedCursor(inner, gate_)).detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE FindField(BSTR name, LONG* index) override { return inner_->FindField(name, index); }
  HRESULT STDMETHODCALLTYPE get_Fields(IFields** fields) override { return inner_->get_Fields(fields); }
  HRESULT STDMETHODCALLTYPE AddField(IField* field) override { return inner_->AddField(field); }
  HRESULT STDMETHODCALLTYPE DeleteField(IField* field) override { return inner_->DeleteField(field); }
  HRESULT STDMETHODCALLTYPE get_HasOID(VARIANT_BOOL* has) override { return inner_->get_HasOID(has); }
  HRESULT STDMETHODCALLTYPE get_OIDFieldName(BSTR* name) override { return inner_->get_OIDFieldName(name); }
  HRESULT STDMETHODCALLTYPE get_ObjectClassID(LONG* id) override { return inner_->get_ObjectClassID(id); }
  HRESULT STDMETHODCALLTYPE get_AliasName(BSTR* name) override { return inner_->get_AliasName(name); }
  HRESULT STDMETHODCALLTYPE get_ShapeType(esriGeometryType* type) override { return inner_->get_ShapeType(type); }
  HRESULT STDMETHODCALLTYPE get_FeatureType(esriFeatureType* type) override { return inner_->get_FeatureType(type); }
  HRESULT STDMETHODCALLTYPE get_ShapeFieldName(BSTR* name) override { return inner_->get_ShapeFieldName(name); }
  HRESULT STDMETHODCALLTYPE get_AreaField(IField** field) override { return inner_->get_AreaField(field); }
  HRESULT STDMETHODCALLTYPE get_LengthField(IField** field) override { return inner_->get_LengthField(field); }
  HRESULT STDMETHODCALLTYPE get_FeatureClassID(LONG* id) override { return inner_->get_FeatureClassID(id); }
  HRESULT STDMETHODCALLTYPE CreateFeature(IFeature** feature) override { return inner_->CreateFeature(feature); }
  HRESULT STDMETHODCALLTYPE GetFeature(LONG id, IFeature** feature) override { return inner_->GetFeature(id, feature); }
  HRESULT STDMETHODCALLTYPE FeatureCount(IQueryFilter* filter, LONG* count) override {
    return inner_->FeatureCount(filter, count);
  }

 private:
  ComPtr<IFeatureClass> inner_;
  std::shared_ptr<Gate> gate_;
};

IMxDocument* document_of(test::WindowFixture& f) {
  ComPtr<IDocument> document;
  f.application->get_Document(document.put());
  return document.as<IMxDocument>().get();  // the application keeps it
}

// The layer of the focus map named `name` (groups searched).
ComPtr<ILayer> layer_named(IMxDocument* document, const char* name) {
  ComPtr<IMap> map;
  document->get_FocusMap(map.put());
  ComPtr<IEnumLayer> layers;
  map->get_Layers(nullptr, VARIANT_TRUE, layers.put());
  for (ComPtr<ILayer> layer; layers->Next(layer.put()) == S_OK && layer;) {
    win32::Bstr text;
    layer->get_Name(text.put());
    if (text.utf8() == name) return layer;
  }
  return {};
}

// The rivers' layer made slow: its features wait at the gate.
void make_rivers_slow(test::WindowFixture& f, std::shared_ptr<Gate> gate) {
  auto rivers = layer_named(document_of(f), "Реки").as<IFeatureLayer>();
  ASSERT_TRUE(rivers);
  ComPtr<IFeatureClass> real;
  ASSERT_EQ(rivers->get_FeatureClass(real.put()), S_OK);
  auto gated = ComPtr<IFeatureClass>::adopt(new GatedFeatureClass(real, std::move(gate)));
  ASSERT_EQ(rivers->putref_FeatureClass(gated.get()), S_OK);
}

// Opens the gate when the test ends however it ends: the canvas's threads end only then.
struct OpenAtEnd {
  std::shared_ptr<Gate> gate;
  ~OpenAtEnd() { gate->open(); }
};

// Runs the window's events until the gate has a reader waiting.
void until_waiting(Gate& gate) {
  for (int i = 0; i < 100000 && gate.waiting() == 0; ++i) QTest::qWait(1);
  ASSERT_GT(gate.waiting(), 0) << "the slow layer never began to draw";
}

// The view drawn at once, as the canvas's picture must be once its drawing is done.
QImage drawn_at_once(test::WindowFixture& f) {
  const gis::MapView view = f.window->canvas()->view();
  QImage picture(view.width, view.height, QImage::Format_RGB32);
  picture.fill(Qt::white);
  host::DrawMapView(document_of(f), view, picture);
  return picture;
}

void wheel(host::MapCanvas* canvas, int delta) {
  const QPoint at(canvas->width() / 3, canvas->height() / 2);
  QWheelEvent event(at, canvas->mapToGlobal(at), {}, QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(canvas, &event);
}

// While the slow layer draws the window answers: a posted event is handled, the wheel and a
// drag move the view (shown at once from the last picture), a layer is switched off; once
// the layer may go on, the picture is that of the view drawn at once.
TEST(BackgroundDrawing, TheWindowAnswersWhileALayerDraws) {
  test::WindowFixture f("answers");
  host::MapCanvas* canvas = f.window->canvas();
  canvas->picture();
  auto gate = std::make_shared<Gate>();
  OpenAtEnd open_at_end{gate};
  make_rivers_slow(f, gate);
  canvas->redraw();
  until_waiting(*gate);
  EXPECT_TRUE(canvas->drawing());

  bool handled = false;
  QMetaObject::invokeMethod(qApp, [&] { handled = true; }, Qt::QueuedConnection);
  QApplication::processEvents();
  EXPECT_TRUE(handled);

  const gis::MapView before = canvas->view();
  wheel(canvas, 120);
  EXPECT_LT(canvas->view().xmax - canvas->view().xmin, before.xmax - before.xmin);
  const QPoint at(canvas->width() / 2, canvas->height() / 2);
  QTest::mousePress(canvas, Qt::LeftButton, {}, at);
  QTest::mouseMove(canvas, at + QPoint(40, 10));
  QTest::mouseRelease(canvas, Qt::LeftButton, {}, at + QPoint(40, 10));
  QTreeWidgetItem* wells =
      f.window->layers()->findItems(QString::fromUtf8("Скважины"), Qt::MatchExactly | Qt::MatchRecursive).value(0);
  ASSERT_NE(wells, nullptr);
  wells->setCheckState(0, Qt::Unchecked);
  QApplication::processEvents();
  // Shown meanwhile: the last picture moved to the view, not a blank canvas.
  const QImage shown = canvas->grab().toImage();
  int coloured = 0;
  for (int y = 0; y < shown.height(); y += 4)
    for (int x = 0; x < shown.width(); x += 4) coloured += QColor(shown.pixel(x, y)) != QColor(Qt::white);
  EXPECT_GT(coloured, 50);
  EXPECT_TRUE(canvas->drawing());

  gate->open();
  const QImage done = canvas->picture();
  EXPECT_FALSE(canvas->drawing());
  EXPECT_TRUE(done == drawn_at_once(f));
}

// A new view cancels the drawing under way: the slow layer's step of the old view stops and
// is never counted; the new view's steps are all drawn, and the picture is that of the new
// view drawn at once.
TEST(BackgroundDrawing, ANewViewCancelsTheDrawingUnderWay) {
  test::WindowFixture f("cancels");
  host::MapCanvas* canvas = f.window->canvas();
  canvas->picture();
  auto gate = std::make_shared<Gate>();
  OpenAtEnd open_at_end{gate};
  make_rivers_slow(f, gate);
  canvas->redraw();
  until_waiting(*gate);  // the old view's drawing: the slow layer alone, the others kept
  const long before = canvas->steps_drawn();

  wheel(canvas, -120);
  QApplication::processEvents();  // the new view's drawing starts
  const size_t steps = gis::MapViewDrawing(document_of(f), canvas->view()).steps();
  gate->open();
  const QImage done = canvas->picture();
  EXPECT_EQ(canvas->steps_drawn(), before + static_cast<long>(steps));
  EXPECT_TRUE(done == drawn_at_once(f));
}

// Layers are drawn again only when what they draw changed: switching a layer off or on
// lays the kept pictures over each other again, an added layer is the only one drawn, a
// new view draws every layer.
TEST(BackgroundDrawing, UnchangedLayersAreNotDrawnAgain) {
  test::WindowFixture f("kept");
  host::MapCanvas* canvas = f.window->canvas();
  const QImage first = canvas->picture();
  const long drawn = canvas->steps_drawn();
  EXPECT_EQ(static_cast<size_t>(drawn), gis::MapViewDrawing(document_of(f), canvas->view()).steps());

  QTreeWidgetItem* rivers =
      f.window->layers()->findItems(QString::fromUtf8("Реки"), Qt::MatchExactly | Qt::MatchRecursive).value(0);
  ASSERT_NE(rivers, nullptr);
  rivers->setCheckState(0, Qt::Unchecked);
  EXPECT_FALSE(canvas->picture() == first);
  EXPECT_EQ(canvas->steps_drawn(), drawn);
  rivers->setCheckState(0, Qt::Checked);
  EXPECT_TRUE(canvas->picture() == first);
  EXPECT_EQ(canvas->steps_drawn(), drawn);

  ASSERT_TRUE(f.window->add_data(QString::fromStdString(std::string(AREACLIP_SOURCE_DIR) + "/examples/data/rivers.shp")));
  canvas->picture();
  EXPECT_EQ(canvas->steps_drawn(), drawn + 1);

  wheel(canvas, 120);
  canvas->picture();
  EXPECT_EQ(canvas->steps_drawn(), drawn + 1 + static_cast<long>(gis::MapViewDrawing(document_of(f), canvas->view()).steps()));
}

}  // namespace
