#include "renderers.h"

#include "com_out.h"
#include "symbols.h"

namespace gis::carto {

namespace {

// A value of the document as text: texts as they are, numbers and booleans in JSON form.
std::string value_text(const Json& v, const std::string& where) {
  if (v.is_string()) return v.get<std::string>();
  if (v.is_number() || v.is_boolean()) return v.dump();
  if (v.is_null()) return "";
  throw_document_error(where, "expected a text or a number");
}

Json symbol_member(const win32::ComPtr<ISymbol>& symbol) { return symbol_to_json(symbol.get()); }

}  // namespace

// --- simple ---

SimpleRenderer::SimpleRenderer(const Json& json, const std::string& where) {
  json_ = json;
  if (auto it = json.find("symbol"); it != json.end()) symbol = symbol_from_json(*it, where + ".symbol");
  label = member_string(json, "label", where);
}

HRESULT SimpleRenderer::get_Symbol(ISymbol** s) { return out_ref(s, symbol); }
HRESULT SimpleRenderer::putref_Symbol(ISymbol* s) {
  symbol = win32::ComPtr<ISymbol>(s);
  return S_OK;
}
HRESULT SimpleRenderer::get_Label(BSTR* l) {
  return win32::com_guard([&] { return out_text(l, label); });
}
HRESULT SimpleRenderer::put_Label(BSTR l) {
  return win32::com_guard([&] {
    label = in_text(l);
    return S_OK;
  });
}

Json SimpleRenderer::to_json() const {
  Json j = json_;
  j["type"] = "simple";
  j["symbol"] = symbol_member(symbol);
  if (!label.empty() || j.contains("label")) j["label"] = label;
  return j;
}

// --- unique values ---

UniqueValueRenderer::UniqueValueRenderer(const Json& json, const std::string& where) {
  json_ = json;
  const Json& f = member_array(json, "fields", where);
  for (size_t i = 0; i < f.size(); ++i) {
    if (!f[i].is_string()) throw_document_error(where + ".fields[" + std::to_string(i) + "]", "expected a field name");
    fields.push_back(f[i].get<std::string>());
  }
  delimiter = member_string(json, "field_delimiter", where, delimiter);
  if (auto it = json.find("default_symbol"); it != json.end())
    default_symbol = symbol_from_json(*it, where + ".default_symbol");
  const Json& v = member_array(json, "values", where);
  for (size_t i = 0; i < v.size(); ++i) {
    std::string at = where + ".values[" + std::to_string(i) + "]";
    const Json& e = require_object(v[i], at);
    Value entry;
    entry.json = e;
    entry.value = value_text(e.contains("value") ? e["value"] : Json(nullptr), at + ".value");
    entry.label = member_string(e, "label", at, entry.value);
    if (auto it = e.find("symbol"); it != e.end()) entry.symbol = symbol_from_json(*it, at + ".symbol");
    values.push_back(std::move(entry));
  }
}

HRESULT UniqueValueRenderer::get_FieldCount(LONG* n) { return out_value(n, static_cast<LONG>(fields.size())); }
HRESULT UniqueValueRenderer::put_FieldCount(LONG n) {
  if (n < 0 || n > 3) return E_INVALIDARG;
  return win32::com_guard([&] {
    fields.resize(static_cast<size_t>(n));
    return S_OK;
  });
}
HRESULT UniqueValueRenderer::get_Field(LONG i, BSTR* f) {
  if (!f) return E_POINTER;
  *f = nullptr;
  if (i < 0 || static_cast<size_t>(i) >= fields.size()) return E_INVALIDARG;
  return win32::com_guard([&] { return out_text(f, fields[static_cast<size_t>(i)]); });
}
HRESULT UniqueValueRenderer::put_Field(LONG i, BSTR f) {
  if (i < 0 || static_cast<size_t>(i) >= fields.size()) return E_INVALIDARG;
  return win32::com_guard([&] {
    fields[static_cast<size_t>(i)] = in_text(f);
    return S_OK;
  });
}
HRESULT UniqueValueRenderer::get_FieldDelimiter(BSTR* d) {
  return win32::com_guard([&] { return out_text(d, delimiter); });
}
HRESULT UniqueValueRenderer::put_FieldDelimiter(BSTR d) {
  return win32::com_guard([&] {
    delimiter = in_text(d);
    return S_OK;
  });
}
HRESULT UniqueValueRenderer::get_ValueCount(LONG* n) { return out_value(n, static_cast<LONG>(values.size())); }
HRESULT UniqueValueRenderer::get_Value(LONG i, BSTR* v) {
  if (!v) return E_POINTER;
  *v = nullptr;
  if (i < 0 || static_cast<size_t>(i) >= values.size()) return E_INVALIDARG;
  return win32::com_guard([&] { return out_text(v, values[static_cast<size_t>(i)].value); });
}
HRESULT UniqueValueRenderer::AddValue(BSTR value, BSTR, ISymbol* symbol) {
  return win32::com_guard([&] {
    std::string text = in_text(value);
    for (Value& e : values)
      if (e.value == text) {
        e.symbol = win32::ComPtr<ISymbol>(symbol);
        return S_OK;
      }
    Value e;
    e.value = text;
    e.label = text;
    e.symbol = win32::ComPtr<ISymbol>(symbol);
    values.push_back(std::move(e));
    return S_OK;
  });
}
HRESULT UniqueValueRenderer::get_Label(BSTR value, BSTR* label) {
  if (!label) return E_POINTER;
  *label = nullptr;
  return win32::com_guard([&] {
    const Value* e = find(in_text(value));
    return e ? out_text(label, e->label) : E_INVALIDARG;
  });
}
HRESULT UniqueValueRenderer::put_Label(BSTR value, BSTR label) {
  return win32::com_guard([&] {
    auto* e = const_cast<Value*>(find(in_text(value)));
    if (!e) return E_INVALIDARG;
    e->label = in_text(label);
    return S_OK;
  });
}
HRESULT UniqueValueRenderer::get_Symbol(BSTR value, ISymbol** symbol) {
  if (!symbol) return E_POINTER;
  *symbol = nullptr;
  return win32::com_guard([&] {
    const Value* e = find(in_text(value));
    return e ? out_ref(symbol, e->symbol) : E_INVALIDARG;
  });
}
HRESULT UniqueValueRenderer::get_DefaultSymbol(ISymbol** s) { return out_ref(s, default_symbol); }
HRESULT UniqueValueRenderer::putref_DefaultSymbol(ISymbol* s) {
  default_symbol = win32::ComPtr<ISymbol>(s);
  return S_OK;
}

const UniqueValueRenderer::Value* UniqueValueRenderer::find(const std::string& value) const {
  for (const Value& e : values)
    if (e.value == value) return &e;
  return nullptr;
}

Json UniqueValueRenderer::to_json() const {
  Json j = json_;
  j["type"] = "unique_value";
  j["fields"] = fields;
  j["field_delimiter"] = delimiter;
  j["default_symbol"] = symbol_member(default_symbol);
  Json list = Json::array();
  for (const Value& e : values) {
    Json v = e.json;
    // A value written as a number stays a number while its text is unchanged.
    bool keep = v.contains("value") && !v["value"].is_string() && !v["value"].is_null() && v["value"].dump() == e.value;
    if (!keep) v["value"] = e.value;
    v["label"] = e.label;
    v["symbol"] = symbol_member(e.symbol);
    list.push_back(std::move(v));
  }
  j["values"] = std::move(list);
  return j;
}

// --- class breaks ---

ClassBreaksRenderer::ClassBreaksRenderer(const Json& json, const std::string& where) {
  json_ = json;
  field = member_string(json, "field", where);
  const Json& b = member_array(json, "breaks", where);
  for (size_t i = 0; i < b.size(); ++i) {
    std::string at = where + ".breaks[" + std::to_string(i) + "]";
    const Json& e = require_object(b[i], at);
    Break entry;
    entry.json = e;
    if (!e.contains("max") || !e["max"].is_number()) throw_document_error(at + ".max", "expected a number");
    entry.max = e["max"].get<double>();
    entry.label = member_string(e, "label", at);
    if (auto it = e.find("symbol"); it != e.end()) entry.symbol = symbol_from_json(*it, at + ".symbol");
    breaks.push_back(std::move(entry));
  }
}

HRESULT ClassBreaksRenderer::get_Field(BSTR* f) {
  return win32::com_guard([&] { return out_text(f, field); });
}
HRESULT ClassBreaksRenderer::put_Field(BSTR f) {
  return win32::com_guard([&] {
    field = in_text(f);
    return S_OK;
  });
}
HRESULT ClassBreaksRenderer::get_BreakCount(LONG* n) { return out_value(n, static_cast<LONG>(breaks.size())); }
HRESULT ClassBreaksRenderer::get_Break(LONG i, double* upper) {
  if (!upper) return E_POINTER;
  if (i < 0 || static_cast<size_t>(i) >= breaks.size()) return E_INVALIDARG;
  *upper = breaks[static_cast<size_t>(i)].max;
  return S_OK;
}
HRESULT ClassBreaksRenderer::get_Symbol(LONG i, ISymbol** s) {
  if (!s) return E_POINTER;
  *s = nullptr;
  if (i < 0 || static_cast<size_t>(i) >= breaks.size()) return E_INVALIDARG;
  return out_ref(s, breaks[static_cast<size_t>(i)].symbol);
}
HRESULT ClassBreaksRenderer::get_Label(LONG i, BSTR* l) {
  if (!l) return E_POINTER;
  *l = nullptr;
  if (i < 0 || static_cast<size_t>(i) >= breaks.size()) return E_INVALIDARG;
  return win32::com_guard([&] { return out_text(l, breaks[static_cast<size_t>(i)].label); });
}

const ClassBreaksRenderer::Break* ClassBreaksRenderer::find(double value) const {
  for (const Break& b : breaks)
    if (value <= b.max) return &b;
  return nullptr;
}

Json ClassBreaksRenderer::to_json() const {
  Json j = json_;
  j["type"] = "class_breaks";
  j["field"] = field;
  Json list = Json::array();
  for (const Break& b : breaks) {
    Json v = b.json;
    v["max"] = b.max;
    v["label"] = b.label;
    v["symbol"] = symbol_member(b.symbol);
    list.push_back(std::move(v));
  }
  j["breaks"] = std::move(list);
  return j;
}

// --- JSON ---

win32::ComPtr<IFeatureRenderer> renderer_from_json(const Json& json, const std::string& where) {
  if (json.is_null()) return nullptr;
  require_object(json, where);
  std::string type = member_string(json, "type", where);
  if (type == "simple") return SimpleRenderer::make(json, where);
  if (type == "unique_value") return UniqueValueRenderer::make(json, where);
  if (type == "class_breaks") return ClassBreaksRenderer::make(json, where);
  if (type.empty()) throw_document_error(where, "a renderer needs a \"type\"");
  return OpaqueRenderer::make(json);
}

Json renderer_to_json(IUnknown* renderer) {
  auto* node = dynamic_cast<RendererNode*>(renderer);
  return node ? node->to_json() : Json(nullptr);
}

}  // namespace gis::carto
