// Simple symbols (CLSID_SimpleMarkerSymbol, CLSID_SimpleLineSymbol, CLSID_SimpleFillSymbol)
// and the JSON form they take in a map document:
//   {"type": "marker" | "line" | "fill", "color": "#RRGGBB", "size": 8, "width": 1,
//    "style": 0, "angle": 0, "outline": S}
// A marker's "outline" is a line symbol giving the outline's colour and width. A symbol
// of a type this stand-in does not draw is kept as an opaque symbol and written back as read.
#pragma once

#include <string>

#include <win32/com_object.h>

#include "arcobjects/arcobjects.h"
#include "document_json.h"

namespace gis::carto {

// The part every symbol of a document shares: its JSON object and its raster operation.
class SymbolNode {
 public:
  virtual ~SymbolNode() = default;
  virtual Json to_json() const = 0;

 protected:
  Json json_ = Json::object();
  esriRasterOpCode rop_ = esriROPCopyPen;
};

template <class Derived, class... Interfaces>
class SymbolObject : public win32::ComObject<Derived, ISymbol, Interfaces...>, public SymbolNode {
 public:
  HRESULT STDMETHODCALLTYPE get_ROP2(esriRasterOpCode* rop) override {
    if (!rop) return E_POINTER;
    *rop = rop_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_ROP2(esriRasterOpCode rop) override {
    if (rop < esriROPBlack || rop > esriROPWhite) return E_INVALIDARG;
    rop_ = rop;
    return S_OK;
  }
};

class SimpleMarkerSymbol : public SymbolObject<SimpleMarkerSymbol, ISimpleMarkerSymbol> {
 public:
  SimpleMarkerSymbol() = default;
  SimpleMarkerSymbol(const Json& json, const std::string& where);

  HRESULT STDMETHODCALLTYPE get_Color(IColor** color) override;
  HRESULT STDMETHODCALLTYPE put_Color(IColor* color) override;
  HRESULT STDMETHODCALLTYPE get_Size(double* size) override;
  HRESULT STDMETHODCALLTYPE put_Size(double size) override;
  HRESULT STDMETHODCALLTYPE get_Angle(double* angle) override;
  HRESULT STDMETHODCALLTYPE put_Angle(double angle) override;
  HRESULT STDMETHODCALLTYPE get_Style(esriSimpleMarkerStyle* style) override;
  HRESULT STDMETHODCALLTYPE put_Style(esriSimpleMarkerStyle style) override;
  HRESULT STDMETHODCALLTYPE get_Outline(VARIANT_BOOL* outline) override;
  HRESULT STDMETHODCALLTYPE put_Outline(VARIANT_BOOL outline) override;
  HRESULT STDMETHODCALLTYPE get_OutlineSize(double* size) override;
  HRESULT STDMETHODCALLTYPE put_OutlineSize(double size) override;
  HRESULT STDMETHODCALLTYPE get_OutlineColor(IColor** color) override;
  HRESULT STDMETHODCALLTYPE put_OutlineColor(IColor* color) override;

  Json to_json() const override;

  LONG color = 0;
  double size = 8;
  double angle = 0;
  esriSimpleMarkerStyle style = esriSMSCircle;
  bool outline = false;
  double outline_size = 1;
  LONG outline_color = 0;
};

class SimpleLineSymbol : public SymbolObject<SimpleLineSymbol, ISimpleLineSymbol> {
 public:
  SimpleLineSymbol() = default;
  SimpleLineSymbol(const Json& json, const std::string& where);

  HRESULT STDMETHODCALLTYPE get_Color(IColor** color) override;
  HRESULT STDMETHODCALLTYPE put_Color(IColor* color) override;
  HRESULT STDMETHODCALLTYPE get_Width(double* width) override;
  HRESULT STDMETHODCALLTYPE put_Width(double width) override;
  HRESULT STDMETHODCALLTYPE get_Style(esriSimpleLineStyle* style) override;
  HRESULT STDMETHODCALLTYPE put_Style(esriSimpleLineStyle style) override;

  Json to_json() const override;

  LONG color = 0;
  double width = 1;
  esriSimpleLineStyle style = esriSLSSolid;
};

class SimpleFillSymbol : public SymbolObject<SimpleFillSymbol, ISimpleFillSymbol> {
 public:
  SimpleFillSymbol();
  SimpleFillSymbol(const Json& json, const std::string& where);

  HRESULT STDMETHODCALLTYPE get_Color(IColor** color) override;
  HRESULT STDMETHODCALLTYPE put_Color(IColor* color) override;
  // The outline is held by reference: a change to the symbol handed in shows in the fill.
  HRESULT STDMETHODCALLTYPE get_Outline(ILineSymbol** outline) override;
  HRESULT STDMETHODCALLTYPE put_Outline(ILineSymbol* outline) override;
  HRESULT STDMETHODCALLTYPE get_Style(esriSimpleFillStyle* style) override;
  HRESULT STDMETHODCALLTYPE put_Style(esriSimpleFillStyle style) override;

  Json to_json() const override;

  LONG color = 0xC0C0C0;
  esriSimpleFillStyle style = esriSFSSolid;
  win32::ComPtr<ILineSymbol> outline;  // may be null: no outline
};

// A symbol kind the stand-in does not know: answers ISymbol only, written back as read.
class OpaqueSymbol : public SymbolObject<OpaqueSymbol> {
 public:
  explicit OpaqueSymbol(const Json& json) { json_ = json; }
  Json to_json() const override { return json_; }
};

// The symbol a document's JSON describes (null for JSON null).
win32::ComPtr<ISymbol> symbol_from_json(const Json& json, const std::string& where);
// The JSON of a symbol (null for null and for symbols of other origin).
Json symbol_to_json(IUnknown* symbol);

}  // namespace gis::carto
