// Graphics layers nested in the map's basic graphics layer two and three levels deep: a cut
// deletes, at every level, the elements lying wholly outside the cutting polygon and keeps
// those inside it and those crossing its edge, whole. A map document holds graphics layers
// one level deep only, so the focus map the run sees is the opened document's map with a
// graphics tree built here in place of its basic graphics layer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gis/core.h>
#include <win32/com_object.h>
#include <win32/text.h>

#include "cut_session.h"
#include "fixture.h"
#include "support/com_test.h"

namespace {

namespace fs = std::filesystem;
using win32::ComPtr;

// An element: a geometry and a label to know it by.
class Element : public win32::ComObject<Element, IElement> {
 public:
  Element(ComPtr<IGeometry> geometry, std::string label) : label(std::move(label)), geometry_(std::move(geometry)) {}
  HRESULT STDMETHODCALLTYPE get_Geometry(IGeometry** geometry) override {
    if (!geometry) return E_POINTER;
    *geometry = geometry_.copy();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Geometry(IGeometry* geometry) override {
    geometry_ = ComPtr<IGeometry>(geometry);
    return S_OK;
  }

  const std::string label;

 private:
  ComPtr<IGeometry> geometry_;
};

// A graphics layer holding elements and graphics layers, walked the way the stand-in's are:
// deleting an element during the walk lets the walk go on with the element after it.
class GraphicsLayer
    : public win32::ComObject<GraphicsLayer, ILayer, IGraphicsLayer, IGraphicsContainer, ICompositeLayer> {
 public:
  explicit GraphicsLayer(std::string name) : name(std::move(name)) {}

  HRESULT STDMETHODCALLTYPE get_Name(BSTR* out) override {
    if (!out) return E_POINTER;
    *out = win32::bstr_from_utf8(name);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Name(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* visible) override {
    if (!visible) return E_POINTER;
    *visible = VARIANT_TRUE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Valid(VARIANT_BOOL* valid) override { return get_Visible(valid); }
  HRESULT STDMETHODCALLTYPE get_AreaOfInterest(IEnvelope**) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE get_AssociatedLayer(ILayer** layer) override {
    if (!layer) return E_POINTER;
    *layer = nullptr;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE AddElement(IElement* element, LONG) override {
    if (!element) return E_POINTER;
    elements.emplace_back(element);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DeleteElement(IElement* element) override {
    ComPtr<IUnknown> id = win32::query<IUnknown>(element);
    for (size_t i = 0; i < elements.size(); ++i) {
      if (win32::query<IUnknown>(elements[i].get()) != id) continue;
      elements.erase(elements.begin() + static_cast<std::ptrdiff_t>(i));
      if (i < next_) --next_;
      return S_OK;
    }
    return E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE DeleteAllElements() override {
    elements.clear();
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Next(IElement** element) override {
    if (!element) return E_POINTER;
    *element = nullptr;
    if (next_ >= elements.size()) return S_FALSE;
    *element = elements[next_++].copy();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(layers.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Layer(LONG index, ILayer** layer) override {
    if (!layer) return E_POINTER;
    *layer = nullptr;
    if (index < 0 || static_cast<size_t>(index) >= layers.size()) return E_INVALIDARG;
    *layer = static_cast<ILayer*>(layers[static_cast<size_t>(index)].copy());
    return S_OK;
  }

  // The labels of the elements held, in their order.
  std::vector<std::string> labels() const {
    std::vector<std::string> out;
    for (const ComPtr<IElement>& e : elements) out.push_back(static_cast<Element*>(e.get())->label);
    return out;
  }

  const std::string name;
  std::vector<ComPtr<IElement>> elements;
  std::vector<ComPtr<GraphicsLayer>> layers;

 private:
  size_t next_ = 0;
};

// The opened document's focus map, with the graphics tree as its basic graphics layer.
class MapWithGraphics : public win32::ComObject<MapWithGraphics, IMap> {
 public:
  MapWithGraphics(ComPtr<IMap> map, ComPtr<GraphicsLayer> graphics)
      : map_(std::move(map)), graphics_(std::move(graphics)) {}
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override { return map_->get_Name(name); }
  HRESULT STDMETHODCALLTYPE put_Name(BSTR name) override { return map_->put_Name(name); }
  HRESULT STDMETHODCALLTYPE get_LayerCount(LONG* count) override { return map_->get_LayerCount(count); }
  HRESULT STDMETHODCALLTYPE get_Layer(LONG index, ILayer** layer) override { return map_->get_Layer(index, layer); }
  HRESULT STDMETHODCALLTYPE get_Layers(IUID* uid, VARIANT_BOOL recursive, IEnumLayer** layers) override {
    return map_->get_Layers(uid, recursive, layers);
  }
  HRESULT STDMETHODCALLTYPE AddLayer(ILayer* layer) override { return map_->AddLayer(layer); }
  HRESULT STDMETHODCALLTYPE get_SpatialReference(ISpatialReference** sr) override {
    return map_->get_SpatialReference(sr);
  }
  HRESULT STDMETHODCALLTYPE putref_SpatialReference(ISpatialReference* sr) override {
    return map_->putref_SpatialReference(sr);
  }
  HRESULT STDMETHODCALLTYPE get_BasicGraphicsLayer(IGraphicsLayer** layer) override {
    if (!layer) return E_POINTER;
    *layer = static_cast<IGraphicsLayer*>(graphics_.copy());
    return S_OK;
  }

 private:
  ComPtr<IMap> map_;
  ComPtr<GraphicsLayer> graphics_;
};

class DocumentWithMap : public win32::ComObject<DocumentWithMap, IMxDocument> {
 public:
  DocumentWithMap(ComPtr<IMxDocument> document, ComPtr<IMap> focus_map)
      : document_(std::move(document)), focus_map_(std::move(focus_map)) {}
  HRESULT STDMETHODCALLTYPE get_FocusMap(IMap** map) override {
    if (!map) return E_POINTER;
    *map = focus_map_.copy();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Maps(IMaps** maps) override { return document_->get_Maps(maps); }
  HRESULT STDMETHODCALLTYPE get_ActiveView(IActiveView** view) override { return document_->get_ActiveView(view); }

 private:
  ComPtr<IMxDocument> document_;
  ComPtr<IMap> focus_map_;
};

// Map coordinates: EPSG:32636 around (500000, 6000000); the cutting square is 0..1000.
std::string at(double x, double y) { return std::to_string(500000 + x) + " " + std::to_string(6000000 + y); }
std::string square(double x0, double y0, double x1, double y1) {
  return "POLYGON ((" + at(x0, y0) + "," + at(x0, y1) + "," + at(x1, y1) + "," + at(x1, y0) + "," + at(x0, y0) +
         "))";
}

// What every graphics layer holds: kind, geometry, whether the cut keeps it.
struct Placed {
  const char* what;
  std::string wkt;
  bool kept;
};
const std::vector<Placed>& placements() {
  static const std::vector<Placed> all = {
      {"point inside", "POINT (" + at(500, 500) + ")", true},
      {"point outside", "POINT (" + at(1500, 500) + ")", false},
      {"line crossing", "LINESTRING (" + at(500, 500) + "," + at(2000, 500) + ")", true},
      {"line outside", "LINESTRING (" + at(-900, -900) + "," + at(-100, -900) + ")", false},
      {"polygon crossing", square(900, 900, 1100, 1100), true},
      {"polygon around", square(-100, -100, 1100, 1100), true},
      {"polygon outside", square(3000, 3000, 3100, 3100), false},
      {"points inside and out", "MULTIPOINT ((" + at(100, 100) + "),(" + at(5000, 5000) + "))", true},
  };
  return all;
}

class CutGraphics : public testing::Test {
 protected:
  void SetUp() override {
    alive_ = win32::ComObjectsAlive();
    fixture::write_layer(dir_.path() / "data" / "sheets.shp", wkbPolygon, 32636, {{"NOMENCL", OFTString, 20}},
                         {{square(0, 0, 1000, 1000), {"N-36-1"}}});
    std::ofstream(document()) << R"({"format": "areaclip-map", "version": 1, "title": "graphics", "focus_map": 0,
  "maps": [{"name": "Layers", "spatial_reference": "EPSG:32636", "extent": [499000, 5999000, 502000, 6002000],
    "layers": [{"type": "feature", "name": "sheets", "visible": true,
                "source": {"path": "data/sheets.shp", "layer": null}}],
    "graphics": {"elements": []}}],
  "page_layout": {}})";
    map_sr_ = gis::SpatialReferenceFromText("EPSG:32636");
  }
  void TearDown() override {
    map_sr_.reset();
    SetErrorInfo(0, nullptr);  // the thread's last error object is not a leak
    EXPECT_EQ(win32::ComObjectsAlive(), alive_) << "COM objects left alive";
  }

  fs::path document() const { return dir_.path() / "map.mxd"; }

  // A graphics layer holding one element of every placement, labelled "<layer>: <what>".
  ComPtr<GraphicsLayer> graphics_layer(const std::string& name) {
    ComPtr<GraphicsLayer> layer = GraphicsLayer::make(name);
    for (const Placed& p : placements()) {
      std::string error;
      ComPtr<IGeometry> geometry = gis::GeometryFromWkt(p.wkt, map_sr_.get(), &error);
      EXPECT_TRUE(geometry) << p.wkt << ": " << error;
      layer->AddElement(Element::make(geometry, name + ": " + p.what).get(), 0);
    }
    return layer;
  }

  // Cuts the opened document, its focus map showing the given graphics tree, to the sheet.
  int cut(const ComPtr<GraphicsLayer>& graphics) {
    cut_session::OpenDocument open = cut_session::open(document(), dir_.path() / "templates");
    ComPtr<IFeature> cutter = cut_session::feature_of(open.focus_map.get(), "sheets", 0);
    ComPtr<MapWithGraphics> map = MapWithGraphics::make(open.focus_map, graphics);
    ComPtr<DocumentWithMap> shown = DocumentWithMap::make(open.document, ComPtr<IMap>(static_cast<IMap*>(map.get())));
    return cut_session::run_cut(open.app.get(), shown.get(), cutter.get(), dir_.path() / "out", nullptr);
  }

  testing_support::TempDir dir_;
  ComPtr<ISpatialReference> map_sr_;
  long alive_ = 0;
};

// The labels a layer of this name keeps.
std::vector<std::string> kept(const std::string& name) {
  std::vector<std::string> labels;
  for (const Placed& p : placements())
    if (p.kept) labels.push_back(name + ": " + p.what);
  return labels;
}

TEST_F(CutGraphics, EveryLevelLosesOnlyItsElementsOutside) {
  // <Default>
  //   notes            notes 2          notes 3
  //   marks            marks 2
  //   empty            (no elements)    bottom
  ComPtr<GraphicsLayer> basic = graphics_layer("<Default>");
  ComPtr<GraphicsLayer> notes = graphics_layer("notes"), notes2 = graphics_layer("notes 2"),
                        notes3 = graphics_layer("notes 3");
  ComPtr<GraphicsLayer> marks = graphics_layer("marks"), marks2 = graphics_layer("marks 2");
  ComPtr<GraphicsLayer> empty = GraphicsLayer::make("empty"), bare = GraphicsLayer::make("bare"),
                        bottom = graphics_layer("bottom");
  notes2->layers.push_back(notes3);
  notes->layers.push_back(notes2);
  marks->layers.push_back(marks2);
  bare->layers.push_back(bottom);
  empty->layers.push_back(bare);
  basic->layers = {notes, marks, empty};

  ASSERT_EQ(cut(basic), 0);

  const std::vector<ComPtr<GraphicsLayer>> all = {basic, notes, notes2, notes3, marks, marks2, bottom};
  for (const ComPtr<GraphicsLayer>& layer : all) EXPECT_EQ(layer->labels(), kept(layer->name)) << layer->name;
  EXPECT_EQ(empty->labels(), std::vector<std::string>());
  EXPECT_EQ(bare->labels(), std::vector<std::string>());
  EXPECT_TRUE(fs::exists(dir_.path() / "out" / "cross.mxd"));
}

}  // namespace
