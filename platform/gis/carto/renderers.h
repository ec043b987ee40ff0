// Feature renderers (CLSID_SimpleRenderer, CLSID_UniqueValueRenderer and the class-breaks
// renderer) and their JSON form in a map document:
//   {"type": "simple", "symbol": S, "label": "…"}
//   {"type": "unique_value", "fields": ["KIND"], "field_delimiter": ",", "default_symbol": S,
//    "values": [{"value": "a", "label": "…", "symbol": S}]}
//   {"type": "class_breaks", "field": "F", "breaks": [{"max": 10, "label": "…", "symbol": S}]}
// Symbols are held by reference. A renderer of another type is kept as an opaque renderer
// (IFeatureRenderer only) and written back as read.
#pragma once

#include <string>
#include <vector>

#include <win32/com_object.h>

#include "arcobjects/arcobjects.h"
#include "document_json.h"

namespace gis::carto {

class RendererNode {
 public:
  virtual ~RendererNode() = default;
  virtual Json to_json() const = 0;

 protected:
  Json json_ = Json::object();
};

template <class Derived, class... Interfaces>
class RendererObject : public win32::ComObject<Derived, IFeatureRenderer, Interfaces...>, public RendererNode {
 public:
  HRESULT STDMETHODCALLTYPE CanRender(IFeatureClass* featureClass, IDisplay*, VARIANT_BOOL* canRender) override {
    if (!canRender) return E_POINTER;
    *canRender = featureClass ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
};

class SimpleRenderer : public RendererObject<SimpleRenderer, ISimpleRenderer> {
 public:
  SimpleRenderer() = default;
  SimpleRenderer(const Json& json, const std::string& where);

  HRESULT STDMETHODCALLTYPE get_Symbol(ISymbol** symbol) override;
  HRESULT STDMETHODCALLTYPE putref_Symbol(ISymbol* symbol) override;
  HRESULT STDMETHODCALLTYPE get_Label(BSTR* label) override;
  HRESULT STDMETHODCALLTYPE put_Label(BSTR label) override;

  Json to_json() const override;

  win32::ComPtr<ISymbol> symbol;
  std::string label;
};

class UniqueValueRenderer : public RendererObject<UniqueValueRenderer, IUniqueValueRenderer> {
 public:
  struct Value {
    std::string value;
    std::string label;
    win32::ComPtr<ISymbol> symbol;
    Json json = Json::object();
  };

  UniqueValueRenderer() = default;
  UniqueValueRenderer(const Json& json, const std::string& where);

  HRESULT STDMETHODCALLTYPE get_FieldCount(LONG* count) override;
  HRESULT STDMETHODCALLTYPE put_FieldCount(LONG count) override;
  HRESULT STDMETHODCALLTYPE get_Field(LONG index, BSTR* field) override;
  HRESULT STDMETHODCALLTYPE put_Field(LONG index, BSTR field) override;
  HRESULT STDMETHODCALLTYPE get_FieldDelimiter(BSTR* delimiter) override;
  HRESULT STDMETHODCALLTYPE put_FieldDelimiter(BSTR delimiter) override;
  HRESULT STDMETHODCALLTYPE get_ValueCount(LONG* count) override;
  HRESULT STDMETHODCALLTYPE get_Value(LONG index, BSTR* value) override;
  HRESULT STDMETHODCALLTYPE AddValue(BSTR value, BSTR heading, ISymbol* symbol) override;
  HRESULT STDMETHODCALLTYPE get_Label(BSTR value, BSTR* label) override;
  HRESULT STDMETHODCALLTYPE put_Label(BSTR value, BSTR label) override;
  HRESULT STDMETHODCALLTYPE get_Symbol(BSTR value, ISymbol** symbol) override;
  HRESULT STDMETHODCALLTYPE get_DefaultSymbol(ISymbol** symbol) override;
  HRESULT STDMETHODCALLTYPE putref_DefaultSymbol(ISymbol* symbol) override;

  Json to_json() const override;
  // The entry for a value (the field values joined by the delimiter), null when none.
  const Value* find(const std::string& value) const;

  std::vector<std::string> fields;
  std::string delimiter = ",";
  win32::ComPtr<ISymbol> default_symbol;
  std::vector<Value> values;
};

class ClassBreaksRenderer : public RendererObject<ClassBreaksRenderer, IClassBreaksRenderer> {
 public:
  struct Break {
    double max = 0;
    std::string label;
    win32::ComPtr<ISymbol> symbol;
    Json json = Json::object();
  };

  ClassBreaksRenderer() = default;
  ClassBreaksRenderer(const Json& json, const std::string& where);

  HRESULT STDMETHODCALLTYPE get_Field(BSTR* field) override;
  HRESULT STDMETHODCALLTYPE put_Field(BSTR field) override;
  HRESULT STDMETHODCALLTYPE get_BreakCount(LONG* count) override;
  HRESULT STDMETHODCALLTYPE get_Break(LONG index, double* upper) override;
  HRESULT STDMETHODCALLTYPE get_Symbol(LONG index, ISymbol** symbol) override;
  HRESULT STDMETHODCALLTYPE get_Label(LONG index, BSTR* label) override;

  Json to_json() const override;
  // The class of a value: the first break whose upper bound is not below it; null above all.
  const Break* find(double value) const;

  std::string field;
  std::vector<Break> breaks;
};

class OpaqueRenderer : public RendererObject<OpaqueRenderer> {
 public:
  explicit OpaqueRenderer(const Json& json) { json_ = json; }
  Json to_json() const override { return json_; }
};

// The renderer a document's JSON describes (null for JSON null).
win32::ComPtr<IFeatureRenderer> renderer_from_json(const Json& json, const std::string& where);
// The JSON of a renderer (null for null and for renderers of other origin).
Json renderer_to_json(IUnknown* renderer);

}  // namespace gis::carto
