#include "svg_style.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace gis::carto {

std::string svg_color(LONG rgb) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", static_cast<unsigned>(rgb & 0xFF),
                static_cast<unsigned>((rgb >> 8) & 0xFF), static_cast<unsigned>((rgb >> 16) & 0xFF));
  return buf;
}

std::string svg_escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string svg_number(double v) {
  if (!std::isfinite(v)) return "0";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  std::string s = buf;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

std::string SvgStyles::area(const Look& look) {
  std::string fill = "none";
  if (look.has_fill) {
    if (look.fill_style == esriSFSSolid) {
      fill = svg_color(look.fill);
    } else {
      std::string id = "hatch" + std::to_string(look.fill_style) + "_" + svg_color(look.fill).substr(1);
      if (!patterns_.count(id)) {
        std::string lines;
        std::string stroke = " stroke=\"" + svg_color(look.fill) + "\" stroke-width=\"1\"";
        bool horizontal = look.fill_style == esriSFSHorizontal || look.fill_style == esriSFSCross;
        bool vertical = look.fill_style == esriSFSVertical || look.fill_style == esriSFSCross;
        bool forward = look.fill_style == esriSFSForwardDiagonal || look.fill_style == esriSFSDiagonalCross;
        bool backward = look.fill_style == esriSFSBackwardDiagonal || look.fill_style == esriSFSDiagonalCross;
        if (horizontal) lines += "<line x1=\"0\" y1=\"4\" x2=\"8\" y2=\"4\"" + stroke + "/>";
        if (vertical) lines += "<line x1=\"4\" y1=\"0\" x2=\"4\" y2=\"8\"" + stroke + "/>";
        if (forward) lines += "<line x1=\"0\" y1=\"8\" x2=\"8\" y2=\"0\"" + stroke + "/>";
        if (backward) lines += "<line x1=\"0\" y1=\"0\" x2=\"8\" y2=\"8\"" + stroke + "/>";
        patterns_[id] = "<pattern id=\"" + id + "\" width=\"8\" height=\"8\" patternUnits=\"userSpaceOnUse\">" +
                        lines + "</pattern>";
      }
      fill = "url(#" + id + ")";
    }
  }
  std::string attrs = "fill=\"" + fill + "\" fill-rule=\"evenodd\"";
  if (look.has_stroke)
    attrs += " stroke=\"" + svg_color(look.stroke) + "\" stroke-width=\"" +
             svg_number(look.stroke_width * kPixelsPerPoint) + "\" stroke-linejoin=\"round\"";
  else
    attrs += " stroke=\"none\"";
  return attrs;
}

std::string SvgStyles::line(const Look& look) const {
  if (!look.has_stroke) return "fill=\"none\" stroke=\"none\"";
  double w = std::max(look.stroke_width * kPixelsPerPoint, 0.5);
  std::string attrs = "fill=\"none\" stroke=\"" + svg_color(look.stroke) + "\" stroke-width=\"" + svg_number(w) +
                      "\" stroke-linejoin=\"round\" stroke-linecap=\"round\"";
  auto dash = [&](std::initializer_list<double> parts) {
    std::string d;
    for (double p : parts) d += (d.empty() ? "" : " ") + svg_number(p * w);
    return " stroke-dasharray=\"" + d + "\"";
  };
  switch (look.line_style) {
    case esriSLSDash: attrs += dash({4, 2}); break;
    case esriSLSDot: attrs += dash({0.5, 2}); break;
    case esriSLSDashDot: attrs += dash({4, 2, 0.5, 2}); break;
    case esriSLSDashDotDot: attrs += dash({4, 2, 0.5, 2, 0.5, 2}); break;
    default: break;
  }
  return attrs;
}

std::string SvgStyles::marker(const Look& look, double x, double y) const {
  double r = std::max(look.marker_size * kPixelsPerPoint / 2, 1.0);
  std::string paint = "fill=\"" + (look.has_fill ? svg_color(look.fill) : std::string("none")) + "\"";
  if (look.has_stroke)
    paint += " stroke=\"" + svg_color(look.stroke) + "\" stroke-width=\"" +
             svg_number(std::max(look.stroke_width * kPixelsPerPoint, 0.5)) + "\"";
  std::string cx = svg_number(x), cy = svg_number(y);
  auto at = [&](double dx, double dy) { return svg_number(x + dx) + "," + svg_number(y + dy); };
  switch (look.marker_style) {
    case esriSMSSquare:
      return "<rect x=\"" + svg_number(x - r) + "\" y=\"" + svg_number(y - r) + "\" width=\"" + svg_number(2 * r) +
             "\" height=\"" + svg_number(2 * r) + "\" " + paint + "/>";
    case esriSMSDiamond:
      return "<polygon points=\"" + at(0, -r) + " " + at(r, 0) + " " + at(0, r) + " " + at(-r, 0) + "\" " + paint + "/>";
    case esriSMSCross:
    case esriSMSX: {
      double d = look.marker_style == esriSMSX ? r * 0.75 : r;
      std::string stroke = "stroke=\"" + svg_color(look.has_fill ? look.fill : look.stroke) + "\" stroke-width=\"" +
                           svg_number(std::max(r / 3, 1.0)) + "\" fill=\"none\"";
      if (look.marker_style == esriSMSCross)
        return "<path d=\"M" + at(-d, 0) + "L" + at(d, 0) + "M" + at(0, -d) + "L" + at(0, d) + "\" " + stroke + "/>";
      return "<path d=\"M" + at(-d, -d) + "L" + at(d, d) + "M" + at(-d, d) + "L" + at(d, -d) + "\" " + stroke + "/>";
    }
    default:
      return "<circle cx=\"" + cx + "\" cy=\"" + cy + "\" r=\"" + svg_number(r) + "\" " + paint + "/>";
  }
}

std::string SvgStyles::defs() const {
  std::string out;
  for (const auto& [id, def] : patterns_) out += def;
  return out.empty() ? out : "<defs>" + out + "</defs>\n";
}

}  // namespace gis::carto
