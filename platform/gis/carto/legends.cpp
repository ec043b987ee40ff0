#include "legends.h"

#include "feature_layer.h"
#include "gis/render.h"
#include "group_layer.h"
#include "other_layer.h"
#include "renderers.h"
#include "symbol_look.h"

namespace gis::carto {

namespace {

int dimension_of(esriGeometryType type) {
  switch (type) {
    case esriGeometryPoint:
    case esriGeometryMultipoint: return 0;
    case esriGeometryPolyline:
    case esriGeometryLine: return 1;
    default: return 2;
  }
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
    // A raster draws its own colours: its name alone.
    auto* other = dynamic_cast<OtherLayer*>(node);
    legend.push_back({depth, node->name + (other && other->type == "raster" ? "" : " (not drawn)"), true, -1, {}});
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

std::string swatch_svg(const LegendEntry& e, double x, double y, SvgStyles& styles) {
  if (e.dimension == 2)
    return "<rect x=\"" + svg_number(x) + "\" y=\"" + svg_number(y + 2) + "\" width=\"22\" height=\"12\" " +
           styles.area(e.look) + "/>\n";
  if (e.dimension == 1)
    return "<path d=\"M" + svg_number(x) + "," + svg_number(y + 8) + "L" + svg_number(x + 22) + "," + svg_number(y + 8) +
           "\" " + styles.line(e.look) + "/>\n";
  return styles.marker(e.look, x + 11, y + 8) + "\n";
}

}  // namespace gis::carto

namespace gis {

std::vector<LegendSwatch> LayerLegend(ILayer* layer) { return carto::layer_legend(layer); }

}  // namespace gis
