// A view of the focus map drawn onto any painter while its features are read, in steps that
// may run on threads of their own (MapViewDrawing); the focus map's and its layers' bounds.
#include <algorithm>

#include "document.h"
#include "feature_layer.h"
#include "gis/render.h"
#include "map.h"
#include "map_drawing.h"
#include "svg_painter.h"
#include "view_sink.h"

namespace gis {

MapPainter::~MapPainter() = default;

namespace {

carto::Map* focus_map(IMxDocument* document, std::vector<std::string>* warnings) {
  carto::Document* impl = carto::document_impl(document);
  if (!impl || impl->maps.empty()) {
    if (warnings) warnings->push_back(impl ? "the document has no maps" : "not a map document of this program");
    return nullptr;
  }
  return impl->maps[std::min(impl->focus, impl->maps.size() - 1)].get();
}

}  // namespace

struct MapViewDrawing::Impl {
  bool has_map = false;
  std::string map_name;
  win32::ComPtr<ISpatialReference> system;
  carto::ViewSetup setup;
  std::vector<carto::LayerSnapshot> layers;
  std::vector<carto::GraphicShape> graphics;
  std::string graphics_key;
};

MapViewDrawing::MapViewDrawing(IMxDocument* document, const MapView& view) : impl_(std::make_unique<Impl>()) {
  carto::Map* map = focus_map(document, nullptr);
  if (!map) return;
  impl_->has_map = true;
  impl_->map_name = map->name;
  impl_->system = map->spatial_reference;
  impl_->setup = carto::setup_view(*map, view);
  carto::MapDrawing drawing(*map, nullptr);
  for (carto::LayerNode* layer : drawing.layers()) impl_->layers.push_back(carto::snapshot_of(layer));
  impl_->graphics = drawing.graphics();
  std::string& key = impl_->graphics_key;
  key = "graphics\n";
  for (const carto::GraphicShape& g : impl_->graphics) {
    carto::add_key(key, g.look);
    key += std::to_string(g.shape.dimension) + (g.is_text ? " text " + g.text : std::string()) + "\n";
    for (double v : g.shape.xy) key += carto::svg_number(v) + " ";
    for (int end : g.shape.part_ends) key += std::to_string(end) + " ";
    key += "\n";
  }
}

MapViewDrawing::~MapViewDrawing() = default;

size_t MapViewDrawing::steps() const { return impl_->has_map ? impl_->layers.size() + 1 : 0; }

const std::string& MapViewDrawing::key(size_t step) const {
  static const std::string none;
  if (step >= steps()) return none;
  return step < impl_->layers.size() ? impl_->layers[step].key : impl_->graphics_key;
}

void MapViewDrawing::Draw(size_t step, MapPainter& painter, std::vector<std::string>* warnings,
                          const std::atomic<bool>* cancel) const {
  if (step >= steps()) return;
  const carto::ViewSetup& v = impl_->setup;
  carto::MapDrawing drawing(impl_->map_name, impl_->system.get(), warnings);
  if (v.limited) drawing.limit_to(v.limit);
  carto::ViewSink sink(painter, v.view, v.scale, 0, 0, v.width, v.height);
  if (step < impl_->layers.size())
    drawing.draw_layer(impl_->layers[step], sink, cancel);
  else
    carto::MapDrawing::draw_graphics(impl_->graphics, sink);
}

bool DrawFocusMap(IMxDocument* document, const MapView& view, MapPainter& painter, std::vector<std::string>* warnings) {
  if (!focus_map(document, warnings)) return false;
  const MapViewDrawing drawing(document, view);
  for (size_t step = 0; step < drawing.steps(); ++step) drawing.Draw(step, painter, warnings);
  return true;
}

std::string RenderFocusMapSvg(IMxDocument* document, const MapView& view, std::vector<std::string>* warnings) {
  carto::SvgStyles styles;
  carto::SvgPainter painter(styles);
  if (!DrawFocusMap(document, view, painter, warnings)) return "";
  const double width = std::max(view.width, 1), height = std::max(view.height, 1);
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
         carto::svg_number(width) + "\" height=\"" + carto::svg_number(height) + "\" viewBox=\"0 0 " +
         carto::svg_number(width) + " " + carto::svg_number(height) +
         "\">\n<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n" + styles.defs() + painter.body + "</svg>\n";
}

namespace {

// The focus map's bounds of one layer, or of everything when layer is null.
bool focus_map_bounds(IMxDocument* document, ILayer* layer, MapView* view) {
  carto::Map* map = focus_map(document, nullptr);
  if (!map) return false;
  carto::MapDrawing drawing(*map, nullptr);
  const carto::Bounds bounds = layer ? drawing.bounds(layer) : drawing.bounds();
  if (bounds.empty()) return false;
  view->xmin = bounds.xmin, view->ymin = bounds.ymin;
  view->xmax = bounds.xmax, view->ymax = bounds.ymax;
  return true;
}

}  // namespace

bool FocusMapBounds(IMxDocument* document, MapView* view) { return focus_map_bounds(document, nullptr, view); }

bool LayerBounds(IMxDocument* document, ILayer* layer, MapView* view) {
  return layer && focus_map_bounds(document, layer, view);
}

}  // namespace gis
