#include "map_drawing.h"

#include <cstdio>

#include "elements.h"
#include "feature_layer.h"
#include "graphics_layers.h"
#include "group_layer.h"
#include "map.h"
#include "other_layer.h"
#include "raster_view.h"
#include "symbol_chooser.h"
#include "symbols.h"

namespace gis::carto {

namespace {

using win32::ComPtr;

// The drawing of a layer stops when its cancel flag is raised.
struct DrawingCancelled {};

// Collects the bounds of the shapes handed to it.
class BoundsSink final : public ShapeSink {
 public:
  Bounds bounds;
  void shape(const Look&, const ShapeParts& s) override { bounds.add(bounds_of(s)); }
  void text(const Look&, const ShapeParts& s, const std::string&) override { bounds.add(bounds_of(s)); }
};

void visible_layers(ILayer* layer, std::vector<LayerNode*>& out) {
  LayerNode* node = layer_node(layer);
  if (!node || !node->visible) return;
  if (auto* group = dynamic_cast<GroupLayer*>(node)) {
    for (auto it = group->layers.rbegin(); it != group->layers.rend(); ++it) visible_layers(it->get(), out);
  } else if (drawn_layer(node)) {
    out.push_back(node);
  }
}

void layers_under(ILayer* layer, std::vector<LayerNode*>& out) {
  LayerNode* node = layer_node(layer);
  if (auto* group = dynamic_cast<GroupLayer*>(node)) {
    for (const auto& sub : group->layers) layers_under(sub.get(), out);
  } else if (drawn_layer(node)) {
    out.push_back(node);
  }
}

void graphics_of(const std::vector<ComPtr<IElement>>& elements, std::vector<GraphicShape>& out) {
  for (const auto& element : elements) {
    ElementNode* node = element_node(element.get());
    if (!node || !node->geometry) continue;
    ComPtr<ISymbol> symbol;
    if (auto it = node->json().find("symbol"); it != node->json().end()) {
      try {
        symbol = symbol_from_json(*it, "symbol");
      } catch (const std::exception&) {
      }
    }
    auto* text = dynamic_cast<TextElement*>(node);
    for (ShapeParts& s : GeometryShapes(node->geometry.get()))
      out.push_back({graphic_look(symbol.get(), s.dimension), std::move(s), text != nullptr,
                     text ? text->text : std::string()});
  }
}

}  // namespace

Bounds bounds_of(const ShapeParts& s) {
  Bounds b;
  for (size_t i = 0; i + 1 < s.xy.size(); i += 2) b.add(s.xy[i], s.xy[i + 1]);
  return b;
}

bool drawn_layer(LayerNode* node) {
  if (dynamic_cast<FeatureLayer*>(node)) return true;
  auto* other = dynamic_cast<OtherLayer*>(node);
  return other && other->type == "raster";
}

LayerSnapshot snapshot_of(LayerNode* node) {
  LayerSnapshot s;
  if (auto* raster = dynamic_cast<OtherLayer*>(node)) {
    s.name = raster->name;
    s.raster = true;
    s.raster_path = raster->source_path;
    s.key = "raster " + raster->name + "\n" + raster_key(raster->source_path);
    return s;
  }
  auto* layer = dynamic_cast<FeatureLayer*>(node);
  s.name = layer->name;
  s.feature_class = layer->feature_class;
  s.open_error = layer->open_error;
  s.chooser = std::make_shared<SymbolChooser>(layer->renderer.get(), layer->feature_class.get());
  // The class itself too: another class put in the layer reads other data from the same source name.
  char id[32];
  std::snprintf(id, sizeof id, "%p", static_cast<void*>(s.feature_class.get()));
  s.key = "layer " + layer->name + "\n" + layer->source_path + "\n" + layer->source_layer + "\n" + id + "\n" +
          layer->open_error + "\n" + s.chooser->key();
  return s;
}

MapDrawing::MapDrawing(Map& map, std::vector<std::string>* warnings)
    : map_(&map), name_(map.name), system_(map.spatial_reference.get()), warnings_(warnings) {}

void MapDrawing::limit_to(const Bounds& within) {
  within_ = true;
  within_box_[0] = within.xmin, within_box_[1] = within.ymin;
  within_box_[2] = within.xmax, within_box_[3] = within.ymax;
}

void MapDrawing::draw(ShapeSink& sink) {
  for (LayerNode* layer : layers()) draw_layer(layer, sink);
  draw_graphics(sink);
}

std::vector<LayerNode*> MapDrawing::layers() const {
  std::vector<LayerNode*> out;
  for (auto it = map_->layers.rbegin(); it != map_->layers.rend(); ++it) visible_layers(it->get(), out);
  return out;
}

void MapDrawing::draw_layer(LayerNode* layer, ShapeSink& sink) { draw_layer(snapshot_of(layer), sink); }

void MapDrawing::draw_layer(const LayerSnapshot& layer, ShapeSink& sink, const std::atomic<bool>* cancel) {
  if (layer.raster) {
    if (cancel && cancel->load(std::memory_order_relaxed)) return;
    if (std::string problem = sink.raster(layer.raster_path, system_); !problem.empty())
      warn("layer \"" + layer.name + "\" is not drawn: " + problem);
    return;
  }
  if (!layer.feature_class) {
    warn("layer \"" + layer.name + "\" is not drawn: its source " + layer.open_error);
    return;
  }
  const SymbolChooser& chooser = *layer.chooser;
  long left_out = 0;
  HRESULT read = S_OK;
  try {
    read = ReadShapes(
        layer.feature_class.get(), within_ ? within_box_ : nullptr, system_, chooser.fields(),
        [&](const std::vector<ShapeParts>& shapes, const std::vector<std::string>& values) {
          if (cancel && cancel->load(std::memory_order_relaxed)) throw DrawingCancelled{};
          for (const ShapeParts& s : shapes)
            if (const Look* look = chooser.choose(values, std::clamp(s.dimension, 0, 2))) sink.shape(*look, s);
        },
        &left_out);
  } catch (const DrawingCancelled&) {
    return;
  }
  if (cancel && cancel->load(std::memory_order_relaxed)) return;
  if (FAILED(read)) warn("layer \"" + layer.name + "\" is not drawn whole: its features cannot be read");
  if (left_out) warn("layer \"" + layer.name + "\": " + std::to_string(left_out) + " features could not be drawn");
}

void MapDrawing::draw_graphics(ShapeSink& sink) { draw_graphics(graphics(), sink); }

void MapDrawing::draw_graphics(const std::vector<GraphicShape>& graphics, ShapeSink& sink) {
  for (const GraphicShape& g : graphics)
    if (g.is_text)
      sink.text(g.look, g.shape, g.text);
    else
      sink.shape(g.look, g.shape);
}

std::vector<GraphicShape> MapDrawing::graphics() const {
  std::vector<GraphicShape> out;
  graphics_of(map_->graphics->elements.items(), out);
  for (const auto& sub : map_->graphics->layers)
    if (sub->visible) graphics_of(sub->elements.items(), out);
  return out;
}

Bounds MapDrawing::bounds() {
  BoundsSink collect;
  for (LayerNode* layer : layers()) layer_bounds(layer, collect);
  draw_graphics(collect);
  return collect.bounds;
}

Bounds MapDrawing::bounds(ILayer* layer) {
  BoundsSink collect;
  std::vector<LayerNode*> under;
  layers_under(layer, under);
  for (LayerNode* node : under) layer_bounds(node, collect);
  return collect.bounds;
}

void MapDrawing::warn(const std::string& text) {
  if (warnings_) warnings_->push_back("map \"" + name_ + "\": " + text);
}

void MapDrawing::layer_bounds(LayerNode* node, ShapeSink& collect) {
  double e[4];
  auto* layer = dynamic_cast<FeatureLayer*>(node);
  if (!layer) {
    if (auto* raster = dynamic_cast<OtherLayer*>(node)) {
      const Bounds b = raster_bounds(raster->source_path, system_);
      if (!b.empty()) {
        ShapeParts corners;
        corners.dimension = 0;
        corners.xy = {b.xmin, b.ymin, b.xmax, b.ymax};
        corners.part_ends = {2};
        collect.shape(Look(), corners);
      }
    }
    return;
  }
  if (!layer->feature_class) return;
  if (FeatureClassBounds(layer->feature_class.get(), system_, e)) {
    ShapeParts corners;
    corners.dimension = 0;
    corners.xy = {e[0], e[1], e[2], e[3]};
    corners.part_ends = {2};
    collect.shape(Look(), corners);
  } else {
    draw_layer(layer, collect);  // a source that records no extent is read
  }
}

Bounds view_of(Map& map) {
  Bounds view;
  if (map.extent) {
    const auto& e = *map.extent;
    view = {e[0], e[1], e[2], e[3]};
  } else {
    view = MapDrawing(map, nullptr).bounds();
    if (!view.empty()) {
      double dx = std::max(view.xmax - view.xmin, 1e-9) * 0.04, dy = std::max(view.ymax - view.ymin, 1e-9) * 0.04;
      view = {view.xmin - dx, view.ymin - dy, view.xmax + dx, view.ymax + dy};
    }
  }
  if (view.empty()) view = {0, 0, 1, 1};
  return view;
}

}  // namespace gis::carto
