// RenderDocumentSvg: the maps of a document drawn as one SVG picture.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

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

namespace gis::carto {

namespace {

using win32::ComPtr;

struct Point {
  double x, y;
};

// A geometry as drawable parts: points (dimension 0), paths (1) or rings (2).
struct Shape {
  int dimension = -1;
  std::vector<std::vector<Point>> parts;
};

struct Bounds {
  double xmin = std::numeric_limits<double>::infinity(), ymin = xmin;
  double xmax = -xmin, ymax = -xmin;
  bool empty() const { return !(xmin <= xmax && ymin <= ymax); }
  void add(const Point& p) {
    xmin = std::min(xmin, p.x), ymin = std::min(ymin, p.y);
    xmax = std::max(xmax, p.x), ymax = std::max(ymax, p.y);
  }
};

struct Item {
  Shape shape;
  Look look;
  bool is_text = false;
  std::string text;
};

struct LegendEntry {
  int depth = 0;
  std::string label;
  bool heading = false;
  int dimension = -1;
  Look look;
};

bool read_point(const Json& c, Point* p) {
  if (!c.is_array() || c.size() < 2 || !c[0].is_number() || !c[1].is_number()) return false;
  *p = {c[0].get<double>(), c[1].get<double>()};
  return true;
}

std::vector<Point> read_points(const Json& list) {
  std::vector<Point> out;
  if (!list.is_array()) return out;
  Point p;
  for (const Json& c : list)
    if (read_point(c, &p)) out.push_back(p);
  return out;
}

void read_geojson(const Json& g, std::vector<Shape>* out) {
  if (!g.is_object()) return;
  std::string type = g.value("type", "");
  const Json coords = g.contains("coordinates") ? g["coordinates"] : Json();
  Shape s;
  if (type == "Point") {
    Point p;
    if (read_point(coords, &p)) s.parts.push_back({p});
    s.dimension = 0;
  } else if (type == "MultiPoint") {
    s.parts.push_back(read_points(coords));
    s.dimension = 0;
  } else if (type == "LineString") {
    s.parts.push_back(read_points(coords));
    s.dimension = 1;
  } else if (type == "MultiLineString" || type == "Polygon") {
    if (coords.is_array())
      for (const Json& part : coords) s.parts.push_back(read_points(part));
    s.dimension = type == "Polygon" ? 2 : 1;
  } else if (type == "MultiPolygon") {
    if (coords.is_array())
      for (const Json& polygon : coords)
        if (polygon.is_array())
          for (const Json& ring : polygon) s.parts.push_back(read_points(ring));
    s.dimension = 2;
  } else if (type == "GeometryCollection" && g.contains("geometries") && g["geometries"].is_array()) {
    for (const Json& part : g["geometries"]) read_geojson(part, out);
    return;
  }
  if (s.dimension >= 0) out->push_back(std::move(s));
}

std::vector<Shape> shapes_of(IGeometry* geometry) {
  std::vector<Shape> shapes;
  if (!geometry) return shapes;
  Json g = Json::parse(GeometryToGeoJson(geometry), nullptr, false);
  if (!g.is_discarded()) read_geojson(g, &shapes);
  return shapes;
}

int dimension_of(esriGeometryType type) {
  switch (type) {
    case esriGeometryPoint:
    case esriGeometryMultipoint: return 0;
    case esriGeometryPolyline:
    case esriGeometryLine: return 1;
    default: return 2;
  }
}

std::string field_text(IFeature* feature, LONG index) {
  if (index < 0) return "";
  VARIANT v, s;
  VariantInit(&v);
  VariantInit(&s);
  std::string out;
  if (SUCCEEDED(feature->get_Value(index, &v))) {
    if (v.vt == VT_BSTR)
      out = win32::bstr_to_utf8(v.bstrVal);
    else if (SUCCEEDED(VariantChangeType(&s, &v, 0, VT_BSTR)))
      out = win32::bstr_to_utf8(s.bstrVal);
  }
  VariantClear(&v);
  VariantClear(&s);
  return out;
}

LONG find_field(IFeatureClass* fc, const std::string& name) {
  LONG index = -1;
  win32::Bstr b = win32::Bstr::from_utf8(name);
  if (FAILED(fc->FindField(b.get(), &index))) index = -1;
  return index;
}

// Chooses the symbol of each feature by the layer's renderer.
class SymbolChooser {
 public:
  SymbolChooser(IFeatureRenderer* renderer, IFeatureClass* fc) {
    if (auto* simple = dynamic_cast<SimpleRenderer*>(renderer)) {
      simple_ = simple->symbol.get();
    } else if ((unique_ = dynamic_cast<UniqueValueRenderer*>(renderer))) {
      for (const std::string& f : unique_->fields) fields_.push_back(find_field(fc, f));
    } else if ((breaks_ = dynamic_cast<ClassBreaksRenderer*>(renderer))) {
      fields_.push_back(find_field(fc, breaks_->field));
    }
  }
  // The symbol for a feature; *drawn false when the renderer leaves the feature out.
  ISymbol* choose(IFeature* feature, bool* drawn) const {
    *drawn = true;
    if (unique_) {
      std::string key;
      for (size_t i = 0; i < fields_.size(); ++i) key += (i ? unique_->delimiter : "") + field_text(feature, fields_[i]);
      const auto* entry = unique_->find(key);
      if (entry) return entry->symbol.get();
      *drawn = static_cast<bool>(unique_->default_symbol);
      return unique_->default_symbol.get();
    }
    if (breaks_) {
      std::string text = field_text(feature, fields_[0]);
      char* end = nullptr;
      double v = std::strtod(text.c_str(), &end);
      const auto* b = (end && end != text.c_str()) ? breaks_->find(v) : nullptr;
      *drawn = b != nullptr;
      return b ? b->symbol.get() : nullptr;
    }
    return simple_;
  }

 private:
  ISymbol* simple_ = nullptr;
  UniqueValueRenderer* unique_ = nullptr;
  ClassBreaksRenderer* breaks_ = nullptr;
  std::vector<LONG> fields_;
};

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

class MapDrawing {
 public:
  MapDrawing(Map& map, std::vector<std::string>* warnings) : map_(map), warnings_(warnings) {}

  // Reads only the features that may lie in this rectangle of the map (a view of it).
  void limit_to(const Bounds& within) {
    within_ = true;
    within_box_[0] = within.xmin, within_box_[1] = within.ymin;
    within_box_[2] = within.xmax, within_box_[3] = within.ymax;
  }

  void collect() {
    // The first layer of the list is drawn last, on top.
    for (auto it = map_.layers.rbegin(); it != map_.layers.rend(); ++it) draw_layer(it->get());
    draw_graphics(*map_.graphics, map_.graphics->elements.items());
    for (const auto& sub : map_.graphics->layers)
      if (sub->visible) draw_graphics(*sub, sub->elements.items());
    for (const auto& layer : map_.layers) legend_of(layer.get(), 0, true, legend);
  }

  std::vector<Item> items;
  std::vector<LegendEntry> legend;
  Bounds bounds;

 private:
  void warn(const std::string& text) {
    if (warnings_) warnings_->push_back("map \"" + map_.name + "\": " + text);
  }

  void add_item(Item item) {
    for (const auto& part : item.shape.parts)
      for (const Point& p : part) bounds.add(p);
    items.push_back(std::move(item));
  }

  void draw_layer(ILayer* layer) {
    LayerNode* node = layer_node(layer);
    if (!node || !node->visible) return;
    if (auto* group = dynamic_cast<GroupLayer*>(node)) {
      for (auto it = group->layers.rbegin(); it != group->layers.rend(); ++it) draw_layer(it->get());
      return;
    }
    auto* feature_layer = dynamic_cast<FeatureLayer*>(node);
    if (!feature_layer) return;
    if (!feature_layer->feature_class) {
      warn("layer \"" + node->name + "\" is not drawn: its source " + feature_layer->open_error);
      return;
    }
    IFeatureClass* fc = feature_layer->feature_class.get();
    SymbolChooser chooser(feature_layer->renderer.get(), fc);
    ComPtr<IFeatureCursor> cursor;
    const HRESULT searched =
        within_ ? SearchFeaturesWithin(fc, within_box_, map_.spatial_reference.get(), cursor.put())
                : fc->Search(nullptr, VARIANT_FALSE, cursor.put());
    if (FAILED(searched) || !cursor) {
      warn("layer \"" + node->name + "\" is not drawn: its features cannot be read");
      return;
    }
    long skipped = 0;
    ComPtr<IFeature> feature;
    while (cursor->NextFeature(feature.put()) == S_OK && feature) {
      ComPtr<IGeometry> shape;
      if (FAILED(feature->get_ShapeCopy(shape.put())) || !shape) continue;
      if (map_.spatial_reference && FAILED(shape->Project(map_.spatial_reference.get()))) {
        ++skipped;
        continue;
      }
      bool drawn = true;
      ISymbol* symbol = chooser.choose(feature.get(), &drawn);
      if (!drawn) continue;
      for (Shape& s : shapes_of(shape.get())) {
        Item item;
        item.look = look_of(symbol, s.dimension);
        item.shape = std::move(s);
        add_item(std::move(item));
      }
    }
    if (skipped) warn("layer \"" + node->name + "\": " + std::to_string(skipped) + " features could not be projected");
  }

  template <class Layer>
  void draw_graphics(Layer&, const std::vector<ComPtr<IElement>>& elements) {
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
      for (Shape& s : shapes_of(node->geometry.get())) {
        Item item;
        if (auto* text = dynamic_cast<TextElement*>(node)) {
          item.is_text = true;
          item.text = text->text;
        }
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
        item.look = look;
        item.shape = std::move(s);
        add_item(std::move(item));
      }
    }
  }

  Map& map_;
  std::vector<std::string>* warnings_;
  bool within_ = false;
  double within_box_[4] = {};
};

const char kFont[] = "font-family=\"DejaVu Sans, Arial, sans-serif\"";

}  // namespace

namespace {

// The drawing's items as SVG elements, the view's top-left corner at (fx, fy), `scale`
// pixels a map unit.
std::string draw_items(const MapDrawing& drawing, const Bounds& view, double fx, double fy, double scale,
                       SvgStyles& styles) {
  std::string body;
  auto px = [&](const Point& p) { return svg_number(fx + (p.x - view.xmin) * scale) + "," + svg_number(fy + (view.ymax - p.y) * scale); };
  for (const Item& item : drawing.items) {
    const Shape& s = item.shape;
    if (item.is_text) {
      Bounds b;
      for (const auto& part : s.parts)
        for (const Point& p : part) b.add(p);
      if (b.empty()) continue;
      Point c{(b.xmin + b.xmax) / 2, (b.ymin + b.ymax) / 2};
      std::string at = px(c);
      auto comma = at.find(',');
      body += "<text x=\"" + at.substr(0, comma) + "\" y=\"" + at.substr(comma + 1) + "\" " + kFont +
              " font-size=\"14\" text-anchor=\"middle\" dominant-baseline=\"central\" fill=\"" +
              svg_color(item.look.has_fill && item.look.fill != 0xC8C8C8 ? item.look.fill : 0) +
              "\" stroke=\"#ffffff\" stroke-width=\"3\" paint-order=\"stroke\">" + svg_escape(item.text) + "</text>\n";
      continue;
    }
    if (s.dimension == 0) {
      for (const auto& part : s.parts)
        for (const Point& p : part)
          body += styles.marker(item.look, fx + (p.x - view.xmin) * scale, fy + (view.ymax - p.y) * scale) + "\n";
      continue;
    }
    std::string d;
    for (const auto& part : s.parts) {
      if (part.empty()) continue;
      d += "M" + px(part[0]);
      for (size_t i = 1; i < part.size(); ++i) d += "L" + px(part[i]);
      if (s.dimension == 2) d += "Z";
    }
    if (d.empty()) continue;
    body += "<path d=\"" + d + "\" " + (s.dimension == 2 ? styles.area(item.look) : styles.line(item.look)) + "/>\n";
  }
  return body;
}

// The view of a map: its extent, else its data's bounds with a margin; never empty.
Bounds view_of(const Map& map, const MapDrawing& drawing) {
  Bounds view;
  if (map.extent) {
    const auto& e = *map.extent;
    view = {e[0], e[1], e[2], e[3]};
  } else {
    view = drawing.bounds;
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
    drawing.collect();
    const Bounds view = view_of(*map, drawing);
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
    body += draw_items(drawing, view, fx, fy, scale, styles);
    body += "</g>\n";
    body += "<rect x=\"" + svg_number(fx) + "\" y=\"" + svg_number(fy) + "\" width=\"" + svg_number(w) +
            "\" height=\"" + svg_number(h) + "\" fill=\"none\" stroke=\"#333333\" stroke-width=\"1\"/>\n";

    double ly = fy + 4;
    if (options.legend) {
      double lx = fx + w + 20;
      for (const LegendEntry& e : drawing.legend) {
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

std::string render_map_view_svg(Map& map, const MapView& view_in, std::vector<std::string>* warnings) {
  MapDrawing drawing(map, warnings);
  const double width = std::max(view_in.width, 1), height = std::max(view_in.height, 1);
  Bounds view{view_in.xmin, view_in.ymin, view_in.xmax, view_in.ymax};
  const bool given = !view.empty() && view.xmax - view.xmin > 0;
  if (given) {
    // What the view shows (its width's scale both ways, from the top left), with a margin
    // for symbols and texts reaching in from outside.
    const double s = width / (view.xmax - view.xmin);
    const double top = view.ymax, bottom = view.ymax - height / s;
    const double mx = (view.xmax - view.xmin) * 0.1, my = (top - bottom) * 0.1;
    drawing.limit_to({view.xmin - mx, bottom - my, view.xmax + mx, top + my});
  }
  drawing.collect();
  if (!given) view = view_of(map, drawing);
  SvgStyles styles;
  const double scale = width / std::max(view.xmax - view.xmin, 1e-12);
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                    svg_number(width) + "\" height=\"" + svg_number(height) + "\" viewBox=\"0 0 " + svg_number(width) +
                    " " + svg_number(height) + "\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  std::string body = draw_items(drawing, view, 0, 0, scale, styles);
  svg += styles.defs();
  svg += body;
  svg += "</svg>\n";
  return svg;
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

std::string RenderFocusMapSvg(IMxDocument* document, const MapView& view, std::vector<std::string>* warnings) {
  carto::Document* impl = carto::document_impl(document);
  if (!impl || impl->maps.empty()) {
    if (warnings) warnings->push_back(impl ? "the document has no maps" : "not a map document of this program");
    return "";
  }
  return carto::render_map_view_svg(*impl->maps[std::min(impl->focus, impl->maps.size() - 1)], view, warnings);
}

std::vector<DrawnPart> GeometryParts(IGeometry* geometry) {
  std::vector<DrawnPart> out;
  for (const carto::Shape& shape : carto::shapes_of(geometry))
    for (const auto& part : shape.parts) {
      DrawnPart drawn;
      drawn.dimension = shape.dimension;
      for (const carto::Point& p : part) drawn.points.emplace_back(p.x, p.y);
      out.push_back(std::move(drawn));
    }
  return out;
}

bool FocusMapBounds(IMxDocument* document, MapView* view) {
  carto::Document* impl = carto::document_impl(document);
  if (!impl || impl->maps.empty()) return false;
  carto::Map& map = *impl->maps[std::min(impl->focus, impl->maps.size() - 1)];
  carto::MapDrawing drawing(map, nullptr);
  drawing.collect();
  if (drawing.bounds.empty()) return false;
  view->xmin = drawing.bounds.xmin, view->ymin = drawing.bounds.ymin;
  view->xmax = drawing.bounds.xmax, view->ymax = drawing.bounds.ymax;
  return true;
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
