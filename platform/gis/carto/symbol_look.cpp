#include "symbol_look.h"

#include <cstdio>

#include <win32/com_ptr.h>

namespace gis::carto {

namespace {

LONG rgb_of(IColor* color) {
  LONG rgb = 0;
  if (color && FAILED(color->get_RGB(&rgb))) rgb = 0;
  return rgb;
}

// The default grey of an area drawn without a symbol of its own.
constexpr LONG kAreaGrey = 0xC8C8C8;

}  // namespace

DrawnSymbol describe_symbol(ISymbol* symbol) {
  DrawnSymbol d;
  if (!symbol) return d;
  symbol->get_ROP2(&d.rop2);
  if (auto marker = win32::query<ISimpleMarkerSymbol>(symbol)) {
    d.kind = "marker";
    win32::ComPtr<IColor> color, outline_color;
    marker->get_Color(color.put());
    d.rgb = rgb_of(color.get());
    esriSimpleMarkerStyle style{};
    marker->get_Style(&style);
    d.style = style;
    marker->get_Size(&d.size);
    VARIANT_BOOL outline = VARIANT_FALSE;
    marker->get_Outline(&outline);
    d.outline = outline != VARIANT_FALSE;
    marker->get_OutlineColor(outline_color.put());
    d.outline_rgb = rgb_of(outline_color.get());
    marker->get_OutlineSize(&d.outline_width);
  } else if (auto line = win32::query<ISimpleLineSymbol>(symbol)) {
    d.kind = "line";
    win32::ComPtr<IColor> color;
    line->get_Color(color.put());
    d.rgb = rgb_of(color.get());
    esriSimpleLineStyle style{};
    line->get_Style(&style);
    d.style = style;
    line->get_Width(&d.width);
  } else if (auto fill = win32::query<ISimpleFillSymbol>(symbol)) {
    d.kind = "fill";
    win32::ComPtr<IColor> color;
    fill->get_Color(color.put());
    d.rgb = rgb_of(color.get());
    esriSimpleFillStyle style{};
    fill->get_Style(&style);
    d.style = style;
    win32::ComPtr<ILineSymbol> outline;
    fill->get_Outline(outline.put());
    if (outline) {
      // Only a simple line symbol's outline is drawn; any other kind draws none.
      if (auto simple = outline.as<ISimpleLineSymbol>()) {
        d.outline = true;
        win32::ComPtr<IColor> outline_color;
        simple->get_Color(outline_color.put());
        d.outline_rgb = rgb_of(outline_color.get());
        simple->get_Width(&d.outline_width);
        esriSimpleLineStyle line_style{};
        simple->get_Style(&line_style);
        d.outline_style = line_style;
      }
    }
  }
  return d;
}

Look look_of(const DrawnSymbol& s, int dimension) {
  Look look;
  if (dimension == 2) {
    look.has_fill = true;
    look.fill = kAreaGrey;
    look.stroke_width = 0.7;
  }
  if (s.kind == "fill") {
    look.has_fill = s.style != esriSFSHollow;
    look.fill = s.rgb;
    look.fill_style = static_cast<esriSimpleFillStyle>(s.style);
    if (s.outline) {
      look.has_stroke = s.outline_style != esriSLSNull && s.outline_width > 0;
      look.stroke = s.outline_rgb;
      look.stroke_width = s.outline_width;
      look.line_style = static_cast<esriSimpleLineStyle>(s.outline_style);
    } else {
      look.has_stroke = false;
    }
    if (dimension == 1 && !look.has_stroke) {
      look.has_stroke = true;
      look.stroke = s.rgb;
    }
    if (dimension == 0) look.marker_size = 6;
  } else if (s.kind == "line") {
    look.has_fill = false;
    look.has_stroke = s.style != esriSLSNull;
    look.stroke = s.rgb;
    look.stroke_width = s.width;
    look.line_style = static_cast<esriSimpleLineStyle>(s.style);
    if (dimension == 0) {
      look.has_fill = true;
      look.fill = s.rgb;
    }
  } else if (s.kind == "marker") {
    look.has_fill = true;
    look.fill = s.rgb;
    look.marker_size = s.size;
    look.marker_style = static_cast<esriSimpleMarkerStyle>(s.style);
    look.has_stroke = s.outline || dimension == 1;
    look.stroke = s.outline ? s.outline_rgb : s.rgb;
    look.stroke_width = s.outline ? s.outline_width : 1;
  }
  return look;
}

Look look_of(ISymbol* symbol, int dimension) { return look_of(describe_symbol(symbol), dimension); }

Look graphic_look(ISymbol* symbol, int dimension) {
  Look look = look_of(symbol, dimension);
  if (symbol) return look;
  constexpr LONG kGraphicBlue = 0x0000C0;
  if (dimension == 2) {
    look.has_fill = false;
    look.stroke = kGraphicBlue;
    look.stroke_width = 1.5;
  } else if (dimension == 1) {
    look.stroke = kGraphicBlue;
    look.stroke_width = 1.5;
  } else if (dimension == 0) {
    look.fill = kGraphicBlue;
    look.marker_style = esriSMSDiamond;
    look.marker_size = 8;
  }
  return look;
}

Look text_look(const Look& look) {
  Look colour = look;
  if (!colour.has_fill || colour.fill == kAreaGrey) colour.fill = 0;
  colour.has_fill = true;
  return colour;
}

void add_key(std::string& key, const Look& l) {
  char text[200];
  std::snprintf(text, sizeof text, "%d %ld %d %d %ld %.17g %d %.17g %d;", l.has_fill, static_cast<long>(l.fill),
                static_cast<int>(l.fill_style), l.has_stroke, static_cast<long>(l.stroke), l.stroke_width,
                static_cast<int>(l.line_style), l.marker_size, static_cast<int>(l.marker_style));
  key += text;
}

}  // namespace gis::carto

namespace gis {

Look SymbolLook(const DrawnSymbol& symbol, int dimension) { return carto::look_of(symbol, dimension); }

Look TextLook(const Look& look) { return carto::text_look(look); }

}  // namespace gis
