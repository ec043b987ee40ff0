#include "svg_painter.h"

#include <algorithm>

#include "raster_view.h"

namespace gis::carto {

namespace {

std::string base64(const std::string& bytes) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t n = std::min<size_t>(3, bytes.size() - i);
    std::uint32_t v = 0;
    for (size_t k = 0; k < 3; ++k) v = v << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0);
    for (size_t k = 0; k < 4; ++k) out += k <= n ? digits[(v >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

}  // namespace

const char kSvgFont[] = "font-family=\"DejaVu Sans, Arial, sans-serif\"";

void SvgPainter::Shape(const Look& look, int dimension, const std::vector<double>& xy, const std::vector<int>& part_ends) {
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

void SvgPainter::Marker(const Look& look, double x, double y) { body += styles_.marker(look, x, y) + "\n"; }

void SvgPainter::Text(const Look& look, double x, double y, const std::string& text) {
  body += "<text x=\"" + svg_number(x) + "\" y=\"" + svg_number(y) + "\" " + kSvgFont +
          " font-size=\"14\" text-anchor=\"middle\" dominant-baseline=\"central\" fill=\"" + svg_color(look.fill) +
          "\" stroke=\"#ffffff\" stroke-width=\"3\" paint-order=\"stroke\">" + svg_escape(text) + "</text>\n";
}

void SvgPainter::Image(int x, int y, int width, int height, const std::vector<std::uint32_t>& argb) {
  const std::string png = png_of({x, y, width, height, argb});
  if (png.empty()) return;
  body += "<image x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" width=\"" + std::to_string(width) +
          "\" height=\"" + std::to_string(height) + "\" preserveAspectRatio=\"none\" href=\"data:image/png;base64," +
          base64(png) + "\"/>\n";
}

}  // namespace gis::carto
