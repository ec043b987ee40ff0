// The picture of a whole document: each map one under the other, framed, with its title and
// a legend beside it.
#include <algorithm>

#include "document.h"
#include "gis/render.h"
#include "legends.h"
#include "map.h"
#include "map_drawing.h"
#include "svg_painter.h"
#include "view_sink.h"

namespace gis::carto {

namespace {

std::string render_document_svg(Document& document, const RenderOptions& options, std::vector<std::string>* warnings) {
  const double margin = 20, header = 30, legend_width = options.legend ? 300 : 0;
  const double width = std::max(options.map_width, 100);
  SvgStyles styles;
  std::string body;
  double y = margin;

  body += "<text x=\"" + svg_number(margin) + "\" y=\"" + svg_number(y + 18) + "\" " + kSvgFont +
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
    body += "<text x=\"" + svg_number(margin) + "\" y=\"" + svg_number(y + 18) + "\" " + kSvgFont +
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
        body += "<text x=\"" + svg_number(x) + "\" y=\"" + svg_number(ly + 13) + "\" " + kSvgFont + " font-size=\"12\"" +
                (e.heading ? " font-weight=\"bold\"" : "") + ">" + svg_escape(e.label) + "</text>\n";
        ly += 19;
      }
    }
    y = std::max(fy + h, ly) + margin;
    ++index;
  }
  if (document.maps.empty()) {
    body += "<text x=\"" + svg_number(margin) + "\" y=\"" + svg_number(y + 14) + "\" " + kSvgFont +
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

}  // namespace

}  // namespace gis::carto

namespace gis {

std::string RenderDocumentSvg(IMxDocument* document, const RenderOptions& options, std::vector<std::string>* warnings) {
  carto::Document* impl = carto::document_impl(document);
  if (!impl) {
    if (warnings) warnings->push_back("not a map document of this program");
    return "";
  }
  return carto::render_document_svg(*impl, options, warnings);
}

}  // namespace gis
