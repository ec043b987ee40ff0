// Highlight and focus of the picked feature, read back from the display's record and the map.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <gis/display.h>
#include <gis/document.h>
#include <toolkit/vcl.h>
#include <win32/com_object.h>

#include "vot_arcgis/picker_map.h"
#include "vot_arcgis/vot_arcgis_vcl.h"

namespace {

using gis::DisplayCall;
using picker_test::PickerMap;
using win32::ComPtr;

// The number of display calls made when each wait began.
IUnknown* g_watched_display = nullptr;
std::vector<size_t> g_waits_at;
std::vector<DWORD> g_wait_ms;
void record_wait(DWORD ms) {
  g_wait_ms.push_back(ms);
  g_waits_at.push_back(gis::DisplayCalls(g_watched_display).size());
}

// A feature class whose every feature is one held feature (to meet shapes no data source
// yields, such as a multipatch).
class HeldFeatureClass : public win32::ComObject<HeldFeatureClass, IFeatureClass> {
 public:
  explicit HeldFeatureClass(ComPtr<IFeature> feature) : feature_(std::move(feature)) {}
  HRESULT STDMETHODCALLTYPE GetFeature(LONG, IFeature** feature) override {
    *feature = feature_.copy();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE FindField(BSTR, LONG* index) override {
    *index = -1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Fields(IFields**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddField(IField*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteField(IField*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_HasOID(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_OIDFieldName(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ObjectClassID(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_AliasName(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ShapeType(esriGeometryType*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_FeatureType(esriFeatureType*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ShapeFieldName(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_AreaField(IField**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_LengthField(IField**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_FeatureClassID(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateFeature(IFeature**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FeatureCount(IQueryFilter*, LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Search(IQueryFilter*, VARIANT_BOOL, IFeatureCursor**) override { return E_NOTIMPL; }

 private:
  ComPtr<IFeature> feature_;
};

class Flash : public testing::Test {
 protected:
  void SetUp() override {
    alive_ = win32::ComObjectsAlive();
    map_ = std::make_unique<PickerMap>();
    previous_sleep_ = set_arcgis_sleep_function(&record_wait);
    g_watched_display = map_->display.get();
    g_waits_at.clear();
    g_wait_ms.clear();
    panel_ = new Tvo_arcgis_object_flash_panel(&form_);
    panel_->Parent = &form_;
    panel_->set_display(map_->display.get());
    panel_->set_map(map_->map.get());
  }
  void TearDown() override {
    set_arcgis_sleep_function(previous_sleep_);
    g_watched_display = nullptr;
    delete panel_;
    map_.reset();
    SetErrorInfo(0, nullptr);  // the thread's last error object is not a leak
    EXPECT_EQ(win32::ComObjectsAlive(), alive_) << "COM objects left alive";
  }

  ComPtr<IFeatureClass> feature_class(const std::string& layer) {
    ComPtr<IFeatureClass> fc;
    map_->layer(layer).as<IFeatureLayer>()->get_FeatureClass(fc.put());
    return fc;
  }
  void pick(ComPtr<IFeatureClass> fc, LONG id) {
    panel_->set_feature_class(fc.get());
    panel_->set_object_id(id);
  }
  std::vector<DisplayCall> calls() { return gis::DisplayCalls(map_->display.get()); }

  // The six drawings of kind, each after a wait of 500 ms, framed by StartDrawing(0, -1),
  // SetSymbol and FinishDrawing; returns the symbol set.
  gis::DrawnSymbol expect_flash(DisplayCall::Kind kind) {
    std::vector<DisplayCall> c = calls();
    EXPECT_EQ(c.size(), 9u);
    if (c.size() != 9u) return {};
    EXPECT_EQ(c[0].kind, DisplayCall::StartDrawing);
    EXPECT_EQ(c[0].hdc, 0u);
    EXPECT_EQ(c[0].cache_id, -1);
    EXPECT_EQ(c[1].kind, DisplayCall::SetSymbol);
    for (int i = 2; i < 8; ++i) EXPECT_EQ(c[i].kind, kind) << i;
    EXPECT_EQ(c[8].kind, DisplayCall::FinishDrawing);
    EXPECT_EQ(g_wait_ms, std::vector<DWORD>(6, 500));
    EXPECT_EQ(g_waits_at, (std::vector<size_t>{2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(c[1].symbol.rop2, esriROPXOrPen);
    return c[1].symbol;
  }

  long alive_ = 0;
  std::unique_ptr<PickerMap> map_;
  TForm form_{nullptr};
  Tvo_arcgis_object_flash_panel* panel_ = nullptr;
  Tvo_arcgis_sleep_function previous_sleep_ = nullptr;
};

TEST_F(Flash, PointBlinksAsAWhiteCircleOfSizeFive) {
  pick(feature_class("wells"), 0);
  panel_->highlight_click(nullptr);
  gis::DrawnSymbol s = expect_flash(DisplayCall::DrawPoint);
  EXPECT_EQ(s.kind, "marker");
  EXPECT_EQ(s.rgb, 0xFFFFFF);
  EXPECT_EQ(s.style, esriSMSCircle);
  EXPECT_EQ(s.size, 5.0);
  EXPECT_FALSE(s.outline);
  std::vector<DisplayCall> c = calls();
  ASSERT_EQ(c.size(), 9u);
  EXPECT_EQ(c[2].xmin, 500500);
}

TEST_F(Flash, PolylineBlinksAsAWhiteLineOfWidthThree) {
  pick(feature_class("roads"), 0);
  panel_->highlight_click(nullptr);
  gis::DrawnSymbol s = expect_flash(DisplayCall::DrawPolyline);
  EXPECT_EQ(s.kind, "line");
  EXPECT_EQ(s.rgb, 0xFFFFFF);
  EXPECT_EQ(s.style, esriSLSSolid);
  EXPECT_EQ(s.width, 3.0);
}

TEST_F(Flash, PolygonBlinksAsAWhiteFillWithAWhiteOutline) {
  pick(feature_class("sheets"), 1);
  panel_->highlight_click(nullptr);
  gis::DrawnSymbol s = expect_flash(DisplayCall::DrawPolygon);
  EXPECT_EQ(s.kind, "fill");
  EXPECT_EQ(s.rgb, 0xFFFFFF);
  EXPECT_EQ(s.style, esriSFSSolid);
  EXPECT_TRUE(s.outline);
  EXPECT_EQ(s.outline_rgb, 0xFFFFFF);
  EXPECT_EQ(s.outline_style, esriSLSSolid);
  EXPECT_EQ(s.outline_width, 3.0);
  std::vector<DisplayCall> c = calls();
  ASSERT_EQ(c.size(), 9u);
  EXPECT_EQ(c[7].xmin, 505000);
  EXPECT_EQ(c[7].xmax, 506000);
}

// A feature of the sheets whose shape is replaced by a geometry of the given class.
ComPtr<IFeatureClass> held_shape(ComPtr<IFeatureClass> sheets, REFCLSID geometry_class) {
  ComPtr<IFeature> feature;
  sheets->GetFeature(0, feature.put());
  ComPtr<IGeometry> shape;
  EXPECT_EQ(CoCreateInstance(geometry_class, nullptr, CLSCTX_ALL, IID_IGeometry, shape.put_void()), S_OK);
  feature->putref_Shape(shape.get());
  return HeldFeatureClass::make(feature);
}

TEST_F(Flash, MultipointBlinksWithDrawMultipoint) {
  pick(held_shape(feature_class("sheets"), CLSID_Multipoint), 0);
  panel_->highlight_click(nullptr);
  EXPECT_EQ(expect_flash(DisplayCall::DrawMultipoint).kind, "marker");
}

TEST_F(Flash, MultipatchDrawsNothingAndStartsNoDrawing) {
  pick(held_shape(feature_class("sheets"), CLSID_MultiPatch), 0);
  panel_->highlight_click(nullptr);
  EXPECT_TRUE(calls().empty());
  EXPECT_TRUE(g_wait_ms.empty());
}

TEST_F(Flash, NothingHappensWithoutAPickedFeature) {
  pick(feature_class("sheets"), -1);
  EXPECT_FALSE(panel_->highlight_button()->Enabled);
  panel_->highlight_click(nullptr);
  panel_->focus_click(nullptr);
  pick(feature_class("sheets"), 99);  // no such feature
  panel_->highlight_click(nullptr);
  EXPECT_TRUE(calls().empty());
}

TEST_F(Flash, FocusZoomsTheMapToTheFeatureAndTheDocumentKeepsIt) {
  pick(feature_class("sheets"), 1);
  panel_->focus_click(nullptr);
  ComPtr<IEnvelope> extent;
  win32::query<IActiveView>(map_->map.get())->get_Extent(extent.put());
  double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
  extent->get_XMin(&xmin);
  extent->get_YMin(&ymin);
  extent->get_XMax(&xmax);
  extent->get_YMax(&ymax);
  EXPECT_EQ(xmin, 505000);
  EXPECT_EQ(ymin, 6000000);
  EXPECT_EQ(xmax, 506000);
  EXPECT_EQ(ymax, 6001000);

  const std::string saved = (map_->folder() / "zoomed.mxd").string();
  win32::Bstr path = win32::Bstr::from_utf8(saved);
  ASSERT_EQ(map_->app->SaveDocument(path.get()), S_OK);
  std::string error;
  ComPtr<IMxDocument> reread = gis::LoadDocument(saved, &error);
  ASSERT_TRUE(reread) << error;
  ComPtr<IMap> map;
  reread->get_FocusMap(map.put());
  extent.reset();
  win32::query<IActiveView>(map.get())->get_Extent(extent.put());
  extent->get_XMin(&xmin);
  EXPECT_EQ(xmin, 505000);
  EXPECT_TRUE(calls().empty());
}

TEST_F(Flash, FocusWithoutAMapDoesNothing) {
  panel_->set_map(nullptr);
  pick(feature_class("sheets"), 1);
  EXPECT_TRUE(panel_->focus_button()->Enabled);
  panel_->focus_click(nullptr);
  ComPtr<IEnvelope> extent;
  win32::query<IActiveView>(map_->map.get())->get_Extent(extent.put());
  double xmin = 0;
  extent->get_XMin(&xmin);
  EXPECT_EQ(xmin, 499000);
}

}  // namespace
