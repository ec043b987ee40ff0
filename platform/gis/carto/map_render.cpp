// The maps of a document drawn: as one SVG picture (RenderDocumentSvg), and a view of the
// focus map onto any painter (DrawFocusMap) while its features are read.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <unordered_map>

#include <win32/text.h>

#include "document.h"
#include "elements.h"
#include "feature_layer.h"
#include "gis/core.h"
#include "gis/render.h"
#include "gis/display.h"
#include "group_layer.h"
#include "renderers.h"
#include "svg_style.h"
#include "symbols.h"

namespace gis {

MapPainter::~MapPainter() = default;

}  // namespace gis

namespace gis::carto {

namespace {

using win32::ComPtr;

struct Bounds {
  double xmin = std::numeric_limits<double>::infinity(), ymin = xmin;
  double xmax = -xmin, ymax = -xmin;
  bool empty() const { return !(xmin <= xmax && ymin <= ymax); }
  void add(double x, double y) {
    xmin = std::min(xmin, x), ymin = std::min(ymin, y);
    xmax = std::max(xmax, x), ymax = std::max(ymax, y);
  }
  void add(const Bounds& b) {
    if (!b.empty()) add(b.xmin, b.ymin), add(b.xmax, b.ymax);
  }
};

Bounds bounds_of(const ShapeParts& s) {
  Bounds b;
  for (size_t i = 0; i + 1 < s.xy.size(); i += 2) b.add(s.xy[i], s.xy[i + 1]);
  return b;
}

struct LegendEntry {
  int depth = 0;
  std::string label;
  bool heading = false;
  int dimension = -1;
  Look look;
};

int dimension_of(esriGeometryType type) {
  switch (type) {
    case esriGeometryPoint:
    case esriGeometryMultipoint: return 0;
    case esriGeometryPolyline:
    case esriGeometryLine: return 1;
    default: return 2;
  }
}

// -1 when there is no such field, or no class (a layer whose source could not be opened).
LONG find_field(IFeatureClass* fc, const std::string& name) {
  LONG index = -1;
  win32::Bstr b = win32::Bstr::from_utf8(name);
  if (!fc || FAILED(fc->FindField(b.get(), &index))) index = -1;
  return index;
}

// Appends a look to a key text: every member, exactly.
void add_key(std::string& key, const Look& l) {
  char text[200];
  std::snprintf(text, sizeof text, "%d %ld %d %d %ld %.17g %d %.17g %d;", l.has_fill, static_cast<long>(l.fill),
                static_cast<int>(l.fill_style), l.has_stroke, static_cast<long>(l.stroke), l.stroke_width,
                static_cast<int>(l.line_style), l.marker_size, static_cast<int>(l.marker_style));
  key += text;
}

// The looks a layer's renderer gives its features, copied from the renderer and its symbols
// when it is made (choosing reads neither, so it may run on any thread while the document
// changes): by the texts of the fields the renderer names (in the order of fields()).
class SymbolChooser {
 public:
  SymbolChooser(IFeatureRenderer* renderer, IFeatureClass* fc) {
    if (auto* unique = dynamic_cast<UniqueValueRenderer*>(renderer)) {
      kind_ = kUnique;
      delimiter_ = unique->delimiter;
      key_ = "unique " + delimiter_ + "\n";
      for (const std::string& f : unique->fields) {
        fields_.push_back(find_field(fc, f));
        key_ += f + "\n";
      }
      for (const auto& v : unique->values)
        if (unique_.emplace(v.value, looks_of(v.symbol.get())).second) {  // the first entry of a value counts
          key_ += v.value + "\n";
          add_keys(unique_.at(v.value));
        }
      has_default_ = static_cast<bool>(unique->default_symbol);
      if (has_default_) default_ = looks_of(unique->default_symbol.get());
      key_ += has_default_ ? "default " : "no default ";
      add_keys(default_);
    } else if (auto* breaks = dynamic_cast<ClassBreaksRenderer*>(renderer)) {
      kind_ = kBreaks;
      fields_.push_back(find_field(fc, breaks->field));
      key_ = "breaks " + breaks->field + "\n";
      for (const auto& b : breaks->breaks) {
        breaks_.emplace_back(b.max, looks_of(b.symbol.get()));
        add_keys(breaks_.back().second);
        key_ += svg_number(b.max) + "\n";
      }
    } else {
      auto* simple = dynamic_cast<SimpleRenderer*>(renderer);
      simple_ = looks_of(simple ? simple->symbol.get() : nullptr);
      key_ = "simple ";
      add_keys(simple_);
    }
  }
  // The fields whose values choose the symbol.
  const std::vector<LONG>& fields() const { return fields_; }
  // The look of a shape of dimension d (0 to 2) of a feature with these field texts; null
  // when the renderer leaves the feature out.
  const Look* choose(const std::vector<std::string>& values, int d) const {
    if (kind_ == kUnique) {
      std::string key;
      for (size_t i = 0; i < values.size(); ++i) key += (i ? delimiter_ : "") + values[i];
      if (auto it = unique_.find(key); it != unique_.end()) return &it->second.look[d];
      return has_default_ ? &default_.look[d] : nullptr;
    }
    if (kind_ == kBreaks) {
      const std::string& text = values[0];
      char* end = nullptr;
      const double v = std::strtod(text.c_str(), &end);
      if (!end || end == text.c_str()) return nullptr;
      for (const auto& [max, looks] : breaks_)
        if (v <= max) return &looks.look[d];
      return nullptr;
    }
    return &simple_.look[d];
  }
  // The renderer's rules and looks as text: choosers of equal keys choose alike.
  const std::string& key() const { return key_; }

 private:
  struct Looks {
    Look look[3];  // for points, lines and areas
  };
  static Looks looks_of(ISymbol* symbol) { return {{look_of(symbol, 0), look_of(symbol, 1), look_of(symbol, 2)}}; }
  void add_keys(const Looks& looks) {
    for (const Look& l : looks.look) add_key(key_, l);
    key_ += "\n";
  }

  enum { kSimple, kUnique, kBreaks } kind_ = kSimple;
  Looks simple_;
  std::unordered_map<std::string, Looks> unique_;
  std::string delimiter_;
  bool has_default_ = false;
  Looks default_;
  std::vector<std::pair<double, Looks>> breaks_;
  std::vector<LONG> fields_;
  std::string key_;
};

// What drawing a feature layer needs, taken from it on the document's thread: its source's
// class (read through handles of its own), the looks of its renderer. A drawing of it then
// reads no part of the document.
struct LayerSnapshot {
  std::string name;
  ComPtr<IFeatureClass> feature_class;  // null when the source could not be opened
  std::string open_error;
  std::shared_ptr<const SymbolChooser> chooser;
  std::string key;  // equal keys draw the same picture of the same view
};

LayerSnapshot snapshot_of(FeatureLayer* layer) {
  LayerSnapshot s;
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

// A graphic of a map as drawn: its look and shape, its text for a text element.
struct GraphicShape {
  Look look;
  ShapeParts shape;
  bool is_text = false;
  std::string text;
};

// The drawing of a layer or of graphics stops when its cancel flag is raised.
struct DrawingCancelled {};

// The legend entries of a layer (a group: a heading and its layers' entries), as the map
// picture lists them; layers switched off are left out when only_visible.
void legend_of(ILayer* layer, int depth, bool only_visible, std::vector<LegendEntry>& legend) {
  LayerNode* node = layer_node(layer);
  if (!node || (only_visible && !node->visible)) return;
  if (auto* group = dynamic_cast<GroupLayer*>(node)) {
    legend.push_back({depth, node->name, true, -1, {}});
    for (const auto& child : group->layers) legend_of(child.get(), depth + 1, only_visible, legend);
    return;
  }
  auto* f = dynamic_cast<FeatureLayer*>(node);
  if (!f) {
    legend.push_back({depth, node->name + " (not drawn)", true, -1, {}});
    return;
  }
  int dimension = 2;
  esriGeometryType type = esriGeometryPolygon;
  if (f->feature_class && SUCCEEDED(f->feature_class->get_ShapeType(&type))) dimension = dimension_of(type);
  IFeatureRenderer* r = f->renderer.get();
  if (auto* u = dynamic_cast<UniqueValueRenderer*>(r)) {
    legend.push_back({depth, node->name, true, -1, {}});
    for (const auto& v : u->values) legend.push_back({depth + 1, v.label, false, dimension, look_of(v.symbol.get(), dimension)});
    if (u->default_symbol)
      legend.push_back({depth + 1, "<other values>", false, dimension, look_of(u->default_symbol.get(), dimension)});
  } else if (auto* b = dynamic_cast<ClassBreaksRenderer*>(r)) {
    legend.push_back({depth, node->name + " (" + b->field + ")", true, -1, {}});
    for (const auto& c : b->breaks)
      legend.push_back({depth + 1, c.label.empty() ? "≤ " + svg_number(c.max) : c.label, false, dimension,
                        look_of(c.symbol.get(), dimension)});
  } else {
    auto* s = dynamic_cast<SimpleRenderer*>(r);
    legend.push_back({depth, node->name, false, dimension, look_of(s ? s->symbol.get() : nullptr, dimension)});
  }
}

// The symbol of a legend entry as SVG, in the 22 x 16 box whose top left is (x, y).
std::string swatch_svg(const LegendEntry& e, double x, double y, SvgStyles& styles) {
  if (e.dimension == 2)
    return "<rect x=\"" + svg_number(x) + "\" y=\"" + svg_number(y + 2) + "\" width=\"22\" height=\"12\" " +
           styles.area(e.look) + "/>\n";
  if (e.dimension == 1)
    return "<path d=\"M" + svg_number(x) + "," + svg_number(y + 8) + "L" + svg_number(x + 22) + "," + svg_number(y + 8) +
           "\" " + styles.line(e.look) + "/>\n";
  return styles.marker(e.look, x + 11, y + 8) + "\n";
}

// What a map's drawing hands on: its shapes in map units, in drawing order.
class ShapeSink {
 public:
  virtual ~ShapeSink() = default;
  virtual void shape(const Look& look, const ShapeParts& s) = 0;
  // A graphic text, placed at the middle of its shape.
  virtual void text(const Look& look, const ShapeParts& s, const std::string& text) = 0;
};

// Collects the bounds of the shapes handed to it.
class BoundsSink final : public ShapeSink {
 public:
  Bounds bounds;
  void shape(const Look&, const ShapeParts& s) override { bounds.add(bounds_of(s)); }
  void text(const Look&, const ShapeParts& s, const std::string&) override { bounds.add(bounds_of(s)); }
};

// Walks a map's visible layers (the first of the list drawn last, on top) and then its
// graphics, handing each shape to a sink as it is read.
class MapDrawing {
 public:
  MapDrawing(Map& map, std::vector<std::string>* warnings)
      : map_(&map), name_(map.name), system_(map.spatial_reference.get()), warnings_(warnings) {}
  // Without the map: for layers and graphics taken from it (draw_layer of a snapshot,
  // draw_graphics of a list), in a map of this name and system.
  MapDrawing(std::string name, ISpatialReference* system, std::vector<std::string>* warnings)
      : name_(std::move(name)), system_(system), warnings_(warnings) {}

  // Reads only the features that may lie in this rectangle of the map (a view of it).
  void limit_to(const Bounds& within) {
    within_ = true;
    within_box_[0] = within.xmin, within_box_[1] = within.ymin;
    within_box_[2] = within.xmax, within_box_[3] = within.ymax;
  }

  void draw(ShapeSink& sink) {
    for (FeatureLayer* layer : layers()) draw_layer(layer, sink);
    draw_graphics(sink);
  }

  // The visible feature layers in drawing order: the last of the list first.
  std::vector<FeatureLayer*> layers() const {
    std::vector<FeatureLayer*> out;
    for (auto it = map_->layers.rbegin(); it != map_->layers.rend(); ++it) visible_layers(it->get(), out);
    return out;
  }

  void draw_layer(FeatureLayer* layer, ShapeSink& sink) { draw_layer(snapshot_of(layer), sink); }

  // Draws a layer from what was taken from it; stops when *cancel is raised.
  void draw_layer(const LayerSnapshot& layer, ShapeSink& sink, const std::atomic<bool>* cancel = nullptr) {
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

  // The map's graphics and those of its visible graphics layers.
  void draw_graphics(ShapeSink& sink) { draw_graphics(graphics(), sink); }

  static void draw_graphics(const std::vector<GraphicShape>& graphics, ShapeSink& sink) {
    for (const GraphicShape& g : graphics)
      if (g.is_text)
        sink.text(g.look, g.shape, g.text);
      else
        sink.shape(g.look, g.shape);
  }

  // The graphics as drawn, in drawing order.
  std::vector<GraphicShape> graphics() const {
    std::vector<GraphicShape> out;
    graphics_of(map_->graphics->elements.items(), out);
    for (const auto& sub : map_->graphics->layers)
      if (sub->visible) graphics_of(sub->elements.items(), out);
    return out;
  }

  // The bounds of the map's data as its sources record them and of its graphics.
  Bounds bounds() {
    BoundsSink collect;
    for (FeatureLayer* layer : layers()) layer_bounds(layer, collect);
    draw_graphics(collect);
    return collect.bounds;
  }

  // The bounds of a layer's data (a group's: of all its layers), switched on or not.
  Bounds bounds(ILayer* layer) {
    BoundsSink collect;
    std::vector<FeatureLayer*> under;
    feature_layers(layer, under);
    for (FeatureLayer* feature_layer : under) layer_bounds(feature_layer, collect);
    return collect.bounds;
  }

 private:
  void warn(const std::string& text) {
    if (warnings_) warnings_->push_back("map \"" + name_ + "\": " + text);
  }

  void visible_layers(ILayer* layer, std::vector<FeatureLayer*>& out) const {
    LayerNode* node = layer_node(layer);
    if (!node || !node->visible) return;
    if (auto* group = dynamic_cast<GroupLayer*>(node)) {
      for (auto it = group->layers.rbegin(); it != group->layers.rend(); ++it) visible_layers(it->get(), out);
    } else if (auto* feature_layer = dynamic_cast<FeatureLayer*>(node)) {
      out.push_back(feature_layer);
    }
  }

  static void feature_layers(ILayer* layer, std::vector<FeatureLayer*>& out) {
    LayerNode* node = layer_node(layer);
    if (auto* group = dynamic_cast<GroupLayer*>(node)) {
      for (const auto& sub : group->layers) feature_layers(sub.get(), out);
    } else if (auto* feature_layer = dynamic_cast<FeatureLayer*>(node)) {
      out.push_back(feature_layer);
    }
  }

  void layer_bounds(FeatureLayer* layer, ShapeSink& collect) {
    if (!layer->feature_class) return;
    double e[4];
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

  static void graphics_of(const std::vector<ComPtr<IElement>>& elements, std::vector<GraphicShape>& out) {
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
      for (ShapeParts& s : GeometryShapes(node->geometry.get())) {
        Look look = look_of(symbol.get(), s.dimension);
        if (!symbol && s.dimension == 2) {
          look.has_fill = false;
          look.stroke = 0x0000C0;
          look.stroke_width = 1.5;
        } else if (!symbol && s.dimension == 1) {
          look.stroke = 0x0000C0;
          look.stroke_width = 1.5;
        } else if (!symbol && s.dimension == 0) {
          look.fill = 0x0000C0;
          look.marker_style = esriSMSDiamond;
          look.marker_size = 8;
        }
        out.push_back({look, std::move(s), text != nullptr, text ? text->text : std::string()});
      }
    }
  }

  Map* map_ = nullptr;  // null for a drawing of what was taken from a map
  std::string name_;
  ISpatialReference* system_;
  std::vector<std::string>* warnings_;
  bool within_ = false;
  double within_box_[4] = {};
};

// Pixels a symbol may reach into a view from outside it: markers and paths farther out are
// not drawn, and a view reads the features this far around it.
constexpr double kReachPixels = 32;

// Takes the shapes of a view into its pixels for a painter: `scale` pixels a map unit, the
// view's top left corner (xmin, ymax) at pixel (x0, y0). Vertices less than a pixel away
// from the one kept before them are dropped (the first and last of a part stay), and markers
// and stretches of paths beyond the view's reach are not drawn.
class ViewSink final : public ShapeSink {
 public:
  ViewSink(MapPainter& painter, const Bounds& view, double scale, double x0, double y0, double width, double height)
      : painter_(painter), view_(view), scale_(scale), x0_(x0), y0_(y0), width_(width), height_(height) {}

  void shape(const Look& look, const ShapeParts& s) override {
    if (s.dimension == 0) {
      for (size_t i = 0; i + 1 < s.xy.size(); i += 2) {
        const double x = px(s.xy[i]), y = py(s.xy[i + 1]);
        if (x > x0_ - kReach && y > y0_ - kReach && x < x0_ + width_ + kReach && y < y0_ + height_ + kReach)
          painter_.Marker(look, x, y);
      }
      return;
    }
    xy_.clear();
    ends_.clear();
    if (s.dimension == 1)
      add_paths(s);
    else
      add_rings(s);
    if (!ends_.empty()) painter_.Shape(look, s.dimension, xy_, ends_);
  }

  void text(const Look& look, const ShapeParts& s, const std::string& text) override {
    const Bounds b = bounds_of(s);
    if (b.empty()) return;
    // A text without a colour of its own (or the default area grey) is black.
    Look colour = look;
    if (!colour.has_fill || colour.fill == 0xC8C8C8) colour.fill = 0;
    colour.has_fill = true;
    painter_.Text(colour, px((b.xmin + b.xmax) / 2), py((b.ymin + b.ymax) / 2), text);
  }

 private:
  static constexpr double kReach = kReachPixels;
  double px(double x) const { return x0_ + (x - view_.xmin) * scale_; }
  double py(double y) const { return y0_ + (view_.ymax - y) * scale_; }

  // Where a pixel lies against the view with its reach: a bit for each side it is beyond.
  int outside(double x, double y) const {
    return (x < x0_ - kReach) | (x > x0_ + width_ + kReach) << 1 | (y < y0_ - kReach) << 2 |
           (y > y0_ + height_ + kReach) << 3;
  }

  // A vertex less than a pixel from the one kept before it is dropped.
  bool near_last(double x, double y, size_t first) const {
    const size_t n = xy_.size();
    return n > first && std::abs(x - xy_[n - 2]) < 1 && std::abs(y - xy_[n - 1]) < 1;
  }

  // Rings as they are (a ring cut at the view's edge would fill wrongly); the first and last
  // vertex of each stay.
  void add_rings(const ShapeParts& s) {
    int begin = 0;
    for (int end : s.part_ends) {
      const size_t first = xy_.size();
      for (int i = begin; i < end; ++i) {
        const double x = px(s.xy[2 * i]), y = py(s.xy[2 * i + 1]);
        if (i != end - 1 && near_last(x, y, first)) continue;
        xy_.push_back(x);
        xy_.push_back(y);
      }
      begin = end;
      if (xy_.size() > first) ends_.push_back(static_cast<int>(xy_.size() / 2));
    }
  }

  // Paths without the runs of segments that pass wholly beside the view (both ends beyond
  // one of its sides): each stretch that may show becomes a part of its own, from the vertex
  // before it comes into view to the one after it leaves.
  void add_paths(const ShapeParts& s) {
    int begin = 0;
    for (int end : s.part_ends) {
      size_t first = 0;
      bool open = false, last_kept = false;
      double last_x = 0, last_y = 0;
      int last_code = 0;
      auto close = [&] {
        if (!last_kept) xy_.insert(xy_.end(), {last_x, last_y});
        if (xy_.size() - first >= 4) ends_.push_back(static_cast<int>(xy_.size() / 2));
        else xy_.resize(first);
        open = false;
      };
      for (int i = begin; i < end; ++i) {
        const double x = px(s.xy[2 * i]), y = py(s.xy[2 * i + 1]);
        const int code = outside(x, y);
        if (i > begin && (code & last_code) == 0) {
          if (!open) {
            first = xy_.size();
            xy_.insert(xy_.end(), {last_x, last_y});
            open = true;
          }
          last_kept = !near_last(x, y, first);
          if (last_kept) xy_.insert(xy_.end(), {x, y});
        } else if (open) {
          close();
        }
        last_x = x, last_y = y, last_code = code;
      }
      if (open) close();
      begin = end;
    }
  }

  MapPainter& painter_;
  Bounds view_;
  double scale_, x0_, y0_, width_, height_;
  std::vector<double> xy_;
  std::vector<int> ends_;
};

const char kFont[] = "font-family=\"DejaVu Sans, Arial, sans-serif\"";

// Writes what it is given as SVG elements.
class SvgPainter final : public MapPainter {
 public:
  explicit SvgPainter(SvgStyles& styles) : styles_(styles) {}

  void Shape(const Look& look, int dimension, const std::vector<double>& xy, const std::vector<int>& part_ends) override {
    std::string d;
    int begin = 0;
    for (int end : part_ends) {
      for (int i = begin; i < end; ++i)
        d += (i == begin ? "M" : "L") + svg_number(xy[2 * i]) + "," + svg_number(xy[2 * i + 1]);
      if (dimension == 2 && end > begin) d += "Z";
      begin = end;
    }
    if (d.empty()) return;
    body += "<path d=\"" + d + "\" " + (dimension == 2 ? styles_.area(look) : styles_.line(look)) + "/>\n";
  }
  void Marker(const Look& look, double x, double y) override { body += styles_.marker(look, x, y) + "\n"; }
  void Text(const Look& look, double x, double y, const std::string& text) override {
    body += "<text x=\"" + svg_number(x) + "\" y=\"" + svg_number(y) + "\" " + kFont +
            " font-size=\"14\" text-anchor=\"middle\" dominant-baseline=\"central\" fill=\"" +
            svg_color(look.fill) +
            "\" stroke=\"#ffffff\" stroke-width=\"3\" paint-order=\"stroke\">" + svg_escape(text) + "</text>\n";
  }

  std::string body;

 private:
  SvgStyles& styles_;
};

// The view of a map: its extent, else its data's bounds with a margin; never empty.
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

}  // namespace

std::string render_document_svg(Document& document, const RenderOptions& options, std::vector<std::string>* warnings) {
  const double margin = 20, header = 30, legend_width = options.legend ? 300 : 0;
  const double width = std::max(options.map_width, 100);
  SvgStyles styles;
  std::string body;
  double y = margin;

  body += "<text x=\"" + svg_number(margin) + "\" y=\"" + svg_number(y + 18) + "\" " + kFont +
          " font-size=\"20\" font-weight=\"bold\">" + svg_escape(document.title_text()) + "</text>\n";
  y += 36;

  int index = 0;
  for (const auto& map : document.maps) {
    MapDrawing drawing(*map, warnings);
    const Bounds view = view_of(*map);
    double dx = std::max(view.xmax - view.xmin, 1e-9), dy = std::max(view.ymax - view.ymin, 1e-9);
    double scale = width / dx;
    if (dy * scale > width * 1.5) scale = width * 1.5 / dy;
    double w = dx * scale, h = dy * scale;

    std::string title = map->name;
    if (std::string sr = SpatialReferenceToText(map->spatial_reference.get()); !sr.empty() && sr.size() < 40)
      title += "  (" + sr + ")";
    if (index == static_cast<int>(document.focus)) title += "  \xE2\x80\x94 focus map";
    body += "<text x=\"" + svg_number(margin) + "\" y=\"" + svg_number(y + 18) + "\" " + kFont +
            " font-size=\"15\" font-weight=\"bold\">" + svg_escape(title) + "</text>\n";
    y += header;
    double fx = margin, fy = y;

    std::string clip = "clip" + std::to_string(index);
    body += "<clipPath id=\"" + clip + "\"><rect x=\"" + svg_number(fx) + "\" y=\"" + svg_number(fy) + "\" width=\"" +
            svg_number(w) + "\" height=\"" + svg_number(h) + "\"/></clipPath>\n";
    body += "<rect x=\"" + svg_number(fx) + "\" y=\"" + svg_number(fy) + "\" width=\"" + svg_number(w) +
            "\" height=\"" + svg_number(h) + "\" fill=\"#ffffff\"/>\n";
    body += "<g clip-path=\"url(#" + clip + ")\">\n";
    SvgPainter painter(styles);
    ViewSink sink(painter, view, scale, fx, fy, w, h);
    drawing.draw(sink);
    body += painter.body;
    body += "</g>\n";
    body += "<rect x=\"" + svg_number(fx) + "\" y=\"" + svg_number(fy) + "\" width=\"" + svg_number(w) +
            "\" height=\"" + svg_number(h) + "\" fill=\"none\" stroke=\"#333333\" stroke-width=\"1\"/>\n";

    double ly = fy + 4;
    if (options.legend) {
      double lx = fx + w + 20;
      std::vector<LegendEntry> legend;
      for (const auto& layer : map->layers) legend_of(layer.get(), 0, true, legend);
      for (const LegendEntry& e : legend) {
        double x = lx + e.depth * 16;
        if (e.dimension >= 0) {
          body += swatch_svg(e, x, ly, styles);
          x += 30;
        }
        body += "<text x=\"" + svg_number(x) + "\" y=\"" + svg_number(ly + 13) + "\" " + kFont + " font-size=\"12\"" +
                (e.heading ? " font-weight=\"bold\"" : "") + ">" + svg_escape(e.label) + "</text>\n";
        ly += 19;
      }
    }
    y = std::max(fy + h, ly) + margin;
    ++index;
  }
  if (document.maps.empty()) {
    body += "<text x=\"" + svg_number(margin) + "\" y=\"" + svg_number(y + 14) + "\" " + kFont +
            " font-size=\"13\">The document has no maps.</text>\n";
    y += 30;
  }

  double total_width = margin * 2 + width + legend_width;
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                    svg_number(total_width) + "\" height=\"" + svg_number(y) + "\" viewBox=\"0 0 " +
                    svg_number(total_width) + " " + svg_number(y) + "\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#f4f4f0\"/>\n";
  svg += styles.defs();
  svg += body;
  svg += "</svg>\n";
  return svg;
}

namespace {

// How a view of a map is drawn: the map units shown and their scale, and the rectangle
// whose features are read.
struct ViewSetup {
  Bounds view;
  double scale = 1, width = 1, height = 1;
  bool limited = false;
  Bounds limit;
};

ViewSetup setup_view(Map& map, const MapView& in) {
  ViewSetup v;
  v.width = std::max(in.width, 1), v.height = std::max(in.height, 1);
  v.view = {in.xmin, in.ymin, in.xmax, in.ymax};
  if (!v.view.empty() && v.view.xmax - v.view.xmin > 0) {
    // What the view shows (its width's scale both ways, from the top left), with a margin
    // for symbols reaching in from outside.
    const double s = v.width / (v.view.xmax - v.view.xmin);
    const double top = v.view.ymax, bottom = v.view.ymax - v.height / s, reach = kReachPixels / s;
    v.limited = true;
    v.limit = {v.view.xmin - reach, bottom - reach, v.view.xmin + v.width / s + reach, top + reach};
  } else {
    // The map's extent, whole and centred.
    const Bounds e = view_of(map);
    const double s = std::min(v.width / std::max(e.xmax - e.xmin, 1e-12), v.height / std::max(e.ymax - e.ymin, 1e-12));
    const double cx = (e.xmin + e.xmax) / 2, cy = (e.ymin + e.ymax) / 2;
    v.view = {cx - v.width / 2 / s, cy - v.height / 2 / s, cx + v.width / 2 / s, cy + v.height / 2 / s};
  }
  v.scale = v.width / std::max(v.view.xmax - v.view.xmin, 1e-12);
  return v;
}

// A layer's own legend for a table of contents: a group has none (its layers have theirs), a
// layer of one symbol one entry under its own name, a classified layer one per class.
std::vector<LegendSwatch> layer_legend(ILayer* layer) {
  std::vector<LegendEntry> entries;
  if (!dynamic_cast<GroupLayer*>(layer_node(layer))) legend_of(layer, 0, false, entries);
  std::vector<LegendSwatch> out;
  for (const LegendEntry& e : entries) {
    if (e.heading) continue;
    SvgStyles styles;
    std::string body = e.dimension >= 0 ? swatch_svg(e, 1, 0, styles) : std::string();
    out.push_back({e.label, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"24\" height=\"16\" viewBox=\"0 0 24 16\">\n" +
                                styles.defs() + body + "</svg>\n"});
  }
  return out;
}

}  // namespace

}  // namespace gis::carto

namespace gis {

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
  for (carto::FeatureLayer* layer : drawing.layers()) impl_->layers.push_back(carto::snapshot_of(layer));
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

std::vector<DrawnPart> GeometryParts(IGeometry* geometry) {
  std::vector<DrawnPart> out;
  for (const ShapeParts& shape : GeometryShapes(geometry)) {
    int begin = 0;
    for (int end : shape.part_ends) {
      DrawnPart drawn;
      drawn.dimension = shape.dimension;
      for (int i = begin; i < end; ++i) drawn.points.emplace_back(shape.xy[2 * i], shape.xy[2 * i + 1]);
      out.push_back(std::move(drawn));
      begin = end;
    }
  }
  return out;
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

std::string RenderDocumentSvg(IMxDocument* document, const RenderOptions& options, std::vector<std::string>* warnings) {
  carto::Document* impl = carto::document_impl(document);
  if (!impl) {
    if (warnings) warnings->push_back("not a map document of this program");
    return "";
  }
  return carto::render_document_svg(*impl, options, warnings);
}

std::vector<LegendSwatch> LayerLegend(ILayer* layer) { return carto::layer_legend(layer); }

}  // namespace gis
