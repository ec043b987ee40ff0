#include "symbols.h"

#include "com_out.h"
#include "rgb_color.h"

namespace gis::carto {

namespace {

LONG read_color(const Json& json, const std::string& where, LONG fallback) {
  std::string text = member_string(json, "color", where);
  if (text.empty()) return fallback;
  LONG rgb = 0;
  if (!parse_color(text, &rgb)) throw_document_error(where + ".color", "expected a colour \"#RRGGBB\", not \"" + text + "\"");
  return rgb;
}

// Sizes and widths are points: negative values are refused.
HRESULT put_positive(double* field, double value) {
  if (!(value >= 0)) return E_INVALIDARG;
  *field = value;
  return S_OK;
}

}  // namespace

// --- marker ---

SimpleMarkerSymbol::SimpleMarkerSymbol(const Json& json, const std::string& where) {
  json_ = json;
  color = read_color(json, where, color);
  size = member_number(json, "size", where, size);
  angle = member_number(json, "angle", where, angle);
  style = static_cast<esriSimpleMarkerStyle>(member_integer(json, "style", where, style));
  auto it = json.find("outline");
  if (it != json.end() && !it->is_null()) {
    const Json& o = require_object(*it, where + ".outline");
    outline = true;
    outline_color = read_color(o, where + ".outline", outline_color);
    outline_size = member_number(o, "width", where + ".outline", outline_size);
  }
}

HRESULT SimpleMarkerSymbol::get_Color(IColor** c) { return out_color(c, color); }
HRESULT SimpleMarkerSymbol::put_Color(IColor* c) {
  if (!c) return E_POINTER;
  color = color_value(c);
  return S_OK;
}
HRESULT SimpleMarkerSymbol::get_Size(double* v) { return out_value(v, size); }
HRESULT SimpleMarkerSymbol::put_Size(double v) { return put_positive(&size, v); }
HRESULT SimpleMarkerSymbol::get_Angle(double* v) { return out_value(v, angle); }
HRESULT SimpleMarkerSymbol::put_Angle(double v) {
  angle = v;
  return S_OK;
}
HRESULT SimpleMarkerSymbol::get_Style(esriSimpleMarkerStyle* v) { return out_value(v, style); }
HRESULT SimpleMarkerSymbol::put_Style(esriSimpleMarkerStyle v) {
  if (v < esriSMSCircle || v > esriSMSDiamond) return E_INVALIDARG;
  style = v;
  return S_OK;
}
HRESULT SimpleMarkerSymbol::get_Outline(VARIANT_BOOL* v) { return out_bool(v, outline); }
HRESULT SimpleMarkerSymbol::put_Outline(VARIANT_BOOL v) {
  outline = v != VARIANT_FALSE;
  return S_OK;
}
HRESULT SimpleMarkerSymbol::get_OutlineSize(double* v) { return out_value(v, outline_size); }
HRESULT SimpleMarkerSymbol::put_OutlineSize(double v) { return put_positive(&outline_size, v); }
HRESULT SimpleMarkerSymbol::get_OutlineColor(IColor** c) { return out_color(c, outline_color); }
HRESULT SimpleMarkerSymbol::put_OutlineColor(IColor* c) {
  if (!c) return E_POINTER;
  outline_color = color_value(c);
  return S_OK;
}

Json SimpleMarkerSymbol::to_json() const {
  Json j = json_;
  j["type"] = "marker";
  j["color"] = format_color(color);
  j["size"] = size;
  j["style"] = static_cast<long>(style);
  if (angle != 0 || j.contains("angle")) j["angle"] = angle;
  if (outline) {
    Json o = j.contains("outline") && j["outline"].is_object() ? j["outline"] : Json::object();
    o["type"] = "line";
    o["color"] = format_color(outline_color);
    o["width"] = outline_size;
    j["outline"] = o;
  } else {
    j.erase("outline");
  }
  return j;
}

// --- line ---

SimpleLineSymbol::SimpleLineSymbol(const Json& json, const std::string& where) {
  json_ = json;
  color = read_color(json, where, color);
  width = member_number(json, "width", where, width);
  style = static_cast<esriSimpleLineStyle>(member_integer(json, "style", where, style));
}

HRESULT SimpleLineSymbol::get_Color(IColor** c) { return out_color(c, color); }
HRESULT SimpleLineSymbol::put_Color(IColor* c) {
  if (!c) return E_POINTER;
  color = color_value(c);
  return S_OK;
}
HRESULT SimpleLineSymbol::get_Width(double* v) { return out_value(v, width); }
HRESULT SimpleLineSymbol::put_Width(double v) { return put_positive(&width, v); }
HRESULT SimpleLineSymbol::get_Style(esriSimpleLineStyle* v) { return out_value(v, style); }
HRESULT SimpleLineSymbol::put_Style(esriSimpleLineStyle v) {
  if (v < esriSLSSolid || v > esriSLSInsideFrame) return E_INVALIDARG;
  style = v;
  return S_OK;
}

Json SimpleLineSymbol::to_json() const {
  Json j = json_;
  j["type"] = "line";
  j["color"] = format_color(color);
  j["width"] = width;
  j["style"] = static_cast<long>(style);
  return j;
}

// --- fill ---

SimpleFillSymbol::SimpleFillSymbol() : outline(SimpleLineSymbol::make()) {}

SimpleFillSymbol::SimpleFillSymbol(const Json& json, const std::string& where) {
  json_ = json;
  color = read_color(json, where, color);
  style = static_cast<esriSimpleFillStyle>(member_integer(json, "style", where, style));
  auto it = json.find("outline");
  if (it != json.end() && !it->is_null()) {
    win32::ComPtr<SimpleLineSymbol> line = SimpleLineSymbol::make(require_object(*it, where + ".outline"), where + ".outline");
    outline = line;
  }
}

HRESULT SimpleFillSymbol::get_Color(IColor** c) { return out_color(c, color); }
HRESULT SimpleFillSymbol::put_Color(IColor* c) {
  if (!c) return E_POINTER;
  color = color_value(c);
  return S_OK;
}
HRESULT SimpleFillSymbol::get_Outline(ILineSymbol** v) { return out_ref(v, outline); }
HRESULT SimpleFillSymbol::put_Outline(ILineSymbol* v) {
  outline = win32::ComPtr<ILineSymbol>(v);
  return S_OK;
}
HRESULT SimpleFillSymbol::get_Style(esriSimpleFillStyle* v) { return out_value(v, style); }
HRESULT SimpleFillSymbol::put_Style(esriSimpleFillStyle v) {
  if (v < esriSFSSolid || v > esriSFSDiagonalCross) return E_INVALIDARG;
  style = v;
  return S_OK;
}

Json SimpleFillSymbol::to_json() const {
  Json j = json_;
  j["type"] = "fill";
  j["color"] = format_color(color);
  j["style"] = static_cast<long>(style);
  if (outline)
    j["outline"] = symbol_to_json(outline.get());
  else
    j["outline"] = nullptr;
  return j;
}

// --- JSON ---

win32::ComPtr<ISymbol> symbol_from_json(const Json& json, const std::string& where) {
  if (json.is_null()) return nullptr;
  require_object(json, where);
  std::string type = member_string(json, "type", where);
  if (type == "marker") return SimpleMarkerSymbol::make(json, where);
  if (type == "line") return SimpleLineSymbol::make(json, where);
  if (type == "fill") return SimpleFillSymbol::make(json, where);
  if (type.empty()) throw_document_error(where, "a symbol needs a \"type\"");
  return OpaqueSymbol::make(json);
}

Json symbol_to_json(IUnknown* symbol) {
  auto* node = dynamic_cast<SymbolNode*>(symbol);
  return node ? node->to_json() : Json(nullptr);
}

}  // namespace gis::carto
