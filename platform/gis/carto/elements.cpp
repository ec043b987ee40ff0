#include "elements.h"

#include "com_out.h"
#include "gis/core.h"

namespace gis::carto {

void ElementNode::read_common(const Json& json, const std::string& where, ISpatialReference* sr) {
  json_ = json;
  kind = member_string(json, "type", where);
  if (kind.empty()) throw_document_error(where, "an element needs a \"type\"");
  auto it = json.find("geometry");
  if (it == json.end() || it->is_null()) return;
  std::string error;
  geometry = GeometryFromGeoJson(it->dump(), sr, &error);
  if (!geometry) throw_document_error(where + ".geometry", error.empty() ? "not a GeoJSON geometry" : error);
}

Json ElementNode::to_json() const {
  Json j = json_;
  j["type"] = kind;
  if (geometry) {
    // The original geometry stays when the current one has no GeoJSON form.
    std::string text = GeometryToGeoJson(geometry.get());
    Json g = Json::parse(text, nullptr, false);
    if (!text.empty() && !g.is_discarded()) j["geometry"] = std::move(g);
  } else {
    j["geometry"] = nullptr;
  }
  return j;
}

TextElement::TextElement(const Json& json, const std::string& where, ISpatialReference* sr) {
  read_common(json, where, sr);
  text = member_string(json, "text", where);
}

HRESULT TextElement::get_Text(BSTR* out) {
  return win32::com_guard([&] { return out_text(out, text); });
}

HRESULT TextElement::put_Text(BSTR value) {
  return win32::com_guard([&] {
    text = in_text(value);
    return S_OK;
  });
}

Json TextElement::to_json() const {
  Json j = ElementNode::to_json();
  j["text"] = text;
  return j;
}

ShapeElement::ShapeElement(const Json& json, const std::string& where, ISpatialReference* sr) {
  read_common(json, where, sr);
}

win32::ComPtr<IElement> element_from_json(const Json& json, const std::string& where, ISpatialReference* sr) {
  require_object(json, where);
  if (member_string(json, "type", where) == "text") return TextElement::make(json, where, sr);
  return ShapeElement::make(json, where, sr);
}

Json element_to_json(IUnknown* element) {
  ElementNode* node = element_node(element);
  return node ? node->to_json() : Json(nullptr);
}

}  // namespace gis::carto
