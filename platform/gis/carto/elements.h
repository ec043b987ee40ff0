// Graphic elements of a map (CLSID_TextElement and the shape elements) and their JSON form:
//   {"type": "text" | "marker" | "line" | "polygon" | "rectangle", "text": "…",
//    "geometry": GeoJSON geometry}
// Geometries are in the map's coordinates and carry the map's spatial reference. An
// element of another type keeps its type and answers IElement only.
#pragma once

#include <string>

#include <win32/com_object.h>

#include "arcobjects/arcobjects.h"
#include "document_json.h"

namespace gis::carto {

class ElementNode {
 public:
  virtual ~ElementNode() = default;
  virtual Json to_json() const;

  // The object the element was read from (keys such as "symbol" a drawing may honour).
  const Json& json() const { return json_; }

  std::string kind;  // the JSON "type"
  win32::ComPtr<IGeometry> geometry;

 protected:
  void read_common(const Json& json, const std::string& where, ISpatialReference* sr);

  Json json_ = Json::object();
};

inline ElementNode* element_node(IUnknown* element) { return dynamic_cast<ElementNode*>(element); }

template <class Derived, class... Interfaces>
class ElementObject : public win32::ComObject<Derived, IElement, Interfaces...>, public ElementNode {
 public:
  HRESULT STDMETHODCALLTYPE get_Geometry(IGeometry** out) override {
    if (!out) return E_POINTER;
    *out = win32::ComPtr<IGeometry>(geometry).detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Geometry(IGeometry* value) override {
    geometry = win32::ComPtr<IGeometry>(value);
    return S_OK;
  }
};

class TextElement : public ElementObject<TextElement, ITextElement> {
 public:
  TextElement() { kind = "text"; }
  TextElement(const Json& json, const std::string& where, ISpatialReference* sr);

  HRESULT STDMETHODCALLTYPE get_Text(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_Text(BSTR text) override;

  Json to_json() const override;

  std::string text;
};

// Marker, line, polygon and rectangle elements, and kinds this stand-in does not know.
class ShapeElement : public ElementObject<ShapeElement> {
 public:
  ShapeElement(const Json& json, const std::string& where, ISpatialReference* sr);
};

win32::ComPtr<IElement> element_from_json(const Json& json, const std::string& where, ISpatialReference* sr);
// The JSON of an element (null for elements of other origin).
Json element_to_json(IUnknown* element);

}  // namespace gis::carto
