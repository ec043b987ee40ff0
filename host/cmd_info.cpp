// areaclip info DOC: what a map document holds — maps, the layer tree with sources and
// whether they open, the data's systems, fields and feature counts, renderers, graphics, and
// what the document holds but the program does not model or cannot use. Read through the object
// model's interfaces, as a command of the extension would see the document.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <win32/com_ptr.h>
#include <win32/text.h>

#include "commands.h"
#include "gis/core.h"
#include "gis/document.h"
#include "gis/gis.h"
#include "cli_json.h"

namespace host {

namespace {

using win32::ComPtr;

template <class I, class M>
std::string read_text(I* object, M method) {
  win32::Bstr b;
  if (!object || FAILED((object->*method)(b.put()))) return "";
  return b.utf8();
}

std::string color_text(IColor* color) {
  LONG rgb = 0;
  if (!color || FAILED(color->get_RGB(&rgb))) return "?";
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", unsigned(rgb & 0xFF), unsigned((rgb >> 8) & 0xFF),
                unsigned((rgb >> 16) & 0xFF));
  return buf;
}

std::string number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

std::string symbol_text(ISymbol* symbol) {
  if (!symbol) return "(none)";
  if (auto fill = win32::query<IFillSymbol>(symbol)) {
    ComPtr<IColor> c;
    fill->get_Color(c.put());
    std::string s = "fill " + color_text(c.get());
    esriSimpleFillStyle style = esriSFSSolid;
    if (auto simple = win32::query<ISimpleFillSymbol>(symbol); simple && SUCCEEDED(simple->get_Style(&style)) &&
                                                               style != esriSFSSolid)
      s += style == esriSFSHollow ? " hollow" : " hatched (style " + std::to_string(style) + ")";
    ComPtr<ILineSymbol> outline;
    if (SUCCEEDED(fill->get_Outline(outline.put())) && outline) {
      ComPtr<IColor> oc;
      double w = 0;
      outline->get_Color(oc.put());
      outline->get_Width(&w);
      s += ", outline " + color_text(oc.get()) + " " + number(w);
    }
    return s;
  }
  if (auto line = win32::query<ILineSymbol>(symbol)) {
    ComPtr<IColor> c;
    double w = 0;
    line->get_Color(c.put());
    line->get_Width(&w);
    return "line " + color_text(c.get()) + " width " + number(w);
  }
  if (auto marker = win32::query<IMarkerSymbol>(symbol)) {
    ComPtr<IColor> c;
    double size = 0;
    marker->get_Color(c.put());
    marker->get_Size(&size);
    return "marker " + color_text(c.get()) + " size " + number(size);
  }
  return "symbol of another kind";
}

// The renderer as info shows it: a line saying its kind, then a line per class.
std::vector<std::string> renderer_lines(IFeatureRenderer* renderer) {
  std::vector<std::string> lines;
  if (!renderer) {
    lines.push_back("none (default symbol)");
  } else if (auto simple = win32::query<ISimpleRenderer>(renderer)) {
    ComPtr<ISymbol> s;
    simple->get_Symbol(s.put());
    lines.push_back("simple, " + symbol_text(s.get()));
  } else if (auto unique = win32::query<IUniqueValueRenderer>(renderer)) {
    LONG fields = 0, values = 0;
    unique->get_FieldCount(&fields);
    unique->get_ValueCount(&values);
    std::string names;
    for (LONG i = 0; i < fields; ++i) {
      win32::Bstr f;
      unique->get_Field(i, f.put());
      names += (i ? ", " : "") + f.utf8();
    }
    lines.push_back("unique values by " + names + ", " + std::to_string(values) + " values");
    for (LONG i = 0; i < values; ++i) {
      win32::Bstr value, label;
      unique->get_Value(i, value.put());
      unique->get_Label(value.get(), label.put());
      ComPtr<ISymbol> s;
      unique->get_Symbol(value.get(), s.put());
      lines.push_back("\"" + value.utf8() + "\" (" + label.utf8() + "): " + symbol_text(s.get()));
    }
    ComPtr<ISymbol> d;
    if (SUCCEEDED(unique->get_DefaultSymbol(d.put())) && d) lines.push_back("other values: " + symbol_text(d.get()));
  } else if (auto breaks = win32::query<IClassBreaksRenderer>(renderer)) {
    LONG n = 0;
    breaks->get_BreakCount(&n);
    lines.push_back("class breaks on " + read_text(breaks.get(), &IClassBreaksRenderer::get_Field) + ", " +
                    std::to_string(n) + " classes");
    for (LONG i = 0; i < n; ++i) {
      double max = 0;
      win32::Bstr label;
      ComPtr<ISymbol> s;
      breaks->get_Break(i, &max);
      breaks->get_Label(i, label.put());
      breaks->get_Symbol(i, s.put());
      lines.push_back("up to " + number(max) + " \"" + label.utf8() + "\": " + symbol_text(s.get()));
    }
  } else {
    lines.push_back("of a kind this program does not draw");
  }
  return lines;
}

void print_renderer(IFeatureRenderer* renderer, const std::string& indent) {
  const std::vector<std::string> lines = renderer_lines(renderer);
  for (size_t i = 0; i < lines.size(); ++i)
    std::printf("%s%s%s\n", indent.c_str(), i == 0 ? "renderer: " : "  ", lines[i].c_str());
}

const char* shape_name(esriGeometryType t) {
  switch (t) {
    case esriGeometryPoint: return "points";
    case esriGeometryMultipoint: return "multipoints";
    case esriGeometryPolyline: return "lines";
    case esriGeometryPolygon: return "polygons";
    default: return "shapes";
  }
}

// A feature class's count of features (-1 when it cannot say) and the name of its shapes.
struct ClassData {
  long count;
  const char* shapes;
};
ClassData class_data(IFeatureClass* fc) {
  LONG count = -1;
  esriGeometryType shape = esriGeometryNull;
  fc->FeatureCount(nullptr, &count);
  fc->get_ShapeType(&shape);
  return {static_cast<long>(count), shape_name(shape)};
}

std::string shown_path(const std::string& path, const std::filesystem::path& folder) {
  auto rel = std::filesystem::path(path).lexically_relative(folder);
  if (!rel.empty() && *rel.begin() != "..") return rel.string();
  return path;
}

const char* field_type_name(esriFieldType type) {
  switch (type) {
    case esriFieldTypeSmallInteger:
    case esriFieldTypeInteger: return "integer";
    case esriFieldTypeSingle:
    case esriFieldTypeDouble: return "real";
    case esriFieldTypeString: return "text";
    case esriFieldTypeDate: return "date";
    case esriFieldTypeOID: return "object id";
    default: return "other";
  }
}

struct FieldInfo {
  std::string name, type;
  long width = 0;  // for text fields, 0 for the others
};

// The data's coordinate system ("none") and its fields other than the shape. False when the
// fields cannot be read.
bool read_fields(IFeatureClass* feature_class, std::string* system, std::vector<FieldInfo>* out) {
  ComPtr<IFields> fields;
  LONG n = 0;
  *system = "none";
  if (FAILED(feature_class->get_Fields(fields.put())) || !fields || FAILED(fields->get_FieldCount(&n))) return false;
  for (LONG i = 0; i < n; ++i) {
    ComPtr<IField> field;
    if (FAILED(fields->get_Field(i, field.put())) || !field) continue;
    esriFieldType type = esriFieldTypeString;
    LONG width = 0;
    field->get_Type(&type);
    field->get_Length(&width);
    if (type == esriFieldTypeGeometry) {
      ComPtr<IGeometryDef> def;
      ComPtr<ISpatialReference> sr;
      if (SUCCEEDED(field->get_GeometryDef(def.put())) && def && SUCCEEDED(def->get_SpatialReference(sr.put())) && sr)
        *system = gis::SpatialReferenceToText(sr.get());
      continue;
    }
    out->push_back({read_text(field.get(), &IField::get_Name), field_type_name(type),
                    type == esriFieldTypeString && width > 0 ? static_cast<long>(width) : 0});
  }
  return true;
}

// The data's coordinate system and its fields: name (type width).
void print_fields(IFeatureClass* feature_class, const std::string& in) {
  std::string system;
  std::vector<FieldInfo> fields;
  if (!read_fields(feature_class, &system, &fields)) return;
  if (system.size() > 60) system = system.substr(0, 57) + "...";
  std::string list;
  for (const FieldInfo& f : fields)
    list += (list.empty() ? "" : ", ") + f.name + " (" + f.type + (f.width > 0 ? " " + std::to_string(f.width) : "") + ")";
  std::printf("%ssystem: %s\n%sfields: %s\n", in.c_str(), system.c_str(), in.c_str(), list.empty() ? "none" : list.c_str());
}

void print_layer(ILayer* layer, const std::string& indent, const std::filesystem::path& folder) {
  std::string name = read_text(layer, &ILayer::get_Name);
  VARIANT_BOOL visible = VARIANT_TRUE;
  layer->get_Visible(&visible);
  std::string type = gis::LayerType(layer);
  std::printf("%s- %s \"%s\"%s\n", indent.c_str(), type.c_str(), name.c_str(), visible ? "" : " (hidden)");
  std::string in = indent + "    ";
  gis::LayerSource source;
  if (gis::GetLayerSource(layer, &source)) {
    std::string where = source.path.empty() ? "(none)" : shown_path(source.path, folder);
    if (!source.layer.empty()) where += " [" + source.layer + "]";
    if (!source.open_error.empty())
      std::printf("%ssource: %s — NOT AVAILABLE: %s\n", in.c_str(), where.c_str(), source.open_error.c_str());
    else
      std::printf("%ssource: %s\n", in.c_str(), where.c_str());
  }
  if (auto feature_layer = win32::query<IGeoFeatureLayer>(layer)) {
    ComPtr<IFeatureClass> fc;
    if (SUCCEEDED(feature_layer->get_FeatureClass(fc.put())) && fc) {
      const ClassData data = class_data(fc.get());
      std::printf("%sdata: %ld %s\n", in.c_str(), data.count, data.shapes);
      print_fields(fc.get(), in);
    }
    std::string field = read_text(feature_layer.get(), &IFeatureLayer::get_DisplayField);
    if (!field.empty()) std::printf("%sdisplay field: %s\n", in.c_str(), field.c_str());
    ComPtr<IFeatureRenderer> renderer;
    feature_layer->get_Renderer(renderer.put());
    print_renderer(renderer.get(), in);
  }
  if (auto composite = win32::query<ICompositeLayer>(layer)) {
    LONG n = 0;
    composite->get_Count(&n);
    for (LONG i = 0; i < n; ++i) {
      ComPtr<ILayer> child;
      if (SUCCEEDED(composite->get_Layer(i, child.put())) && child) print_layer(child.get(), in, folder);
    }
  }
}

std::string element_text(IElement* element) {
  std::string s = gis::ElementKind(element);
  if (auto text = win32::query<ITextElement>(element)) {
    win32::Bstr t;
    text->get_Text(t.put());
    s += " \"" + t.utf8() + "\"";
  }
  ComPtr<IGeometry> g;
  if (SUCCEEDED(element->get_Geometry(g.put())) && g) {
    ComPtr<IEnvelope> e;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    if (SUCCEEDED(g->get_Envelope(e.put())) && e && SUCCEEDED(e->get_XMin(&x0)) && SUCCEEDED(e->get_YMin(&y0)) &&
        SUCCEEDED(e->get_XMax(&x1)) && SUCCEEDED(e->get_YMax(&y1))) {
      if (x0 == x1 && y0 == y1)
        s += " at " + number(x0) + " " + number(y0);
      else
        s += " within " + number(x0) + " " + number(y0) + " – " + number(x1) + " " + number(y1);
    }
  } else {
    s += " without geometry";
  }
  return s;
}

// The graphic elements of a graphics container, as info shows them.
std::vector<std::string> container_elements(IUnknown* layer) {
  std::vector<std::string> out;
  auto container = win32::query<IGraphicsContainer>(layer);
  if (!container) return out;
  container->Reset();
  ComPtr<IElement> element;
  while (container->Next(element.put()) == S_OK && element) out.push_back(element_text(element.get()));
  return out;
}

void print_container(IUnknown* layer, const std::string& indent) {
  for (const std::string& element : container_elements(layer)) std::printf("%s- %s\n", indent.c_str(), element.c_str());
}

void print_map(IMap* map, long index, bool focus, const std::filesystem::path& folder) {
  std::printf("\nmap %ld \"%s\"%s\n", index, read_text(map, &IMap::get_Name).c_str(), focus ? " (focus map)" : "");
  ComPtr<ISpatialReference> sr;
  map->get_SpatialReference(sr.put());
  std::string sr_text = gis::SpatialReferenceToText(sr.get());
  std::printf("  spatial reference: %s\n", sr ? (sr_text.size() > 60 ? sr_text.substr(0, 57) + "..." : sr_text).c_str()
                                              : "none");
  if (auto view = win32::query<IActiveView>(map)) {
    ComPtr<IEnvelope> e;
    VARIANT_BOOL empty = VARIANT_TRUE;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    if (SUCCEEDED(view->get_Extent(e.put())) && e && SUCCEEDED(e->get_IsEmpty(&empty)) && !empty) {
      e->get_XMin(&x0), e->get_YMin(&y0), e->get_XMax(&x1), e->get_YMax(&y1);
      std::printf("  extent: %s %s %s %s\n", number(x0).c_str(), number(y0).c_str(), number(x1).c_str(),
                  number(y1).c_str());
    } else {
      std::printf("  extent: none (the data's)\n");
    }
  }
  LONG count = 0;
  map->get_LayerCount(&count);
  std::printf("  layers (%ld, the first drawn on top):\n", long(count));
  for (LONG i = 0; i < count; ++i) {
    ComPtr<ILayer> layer;
    if (SUCCEEDED(map->get_Layer(i, layer.put())) && layer) print_layer(layer.get(), "    ", folder);
  }
  ComPtr<IGraphicsLayer> graphics;
  if (SUCCEEDED(map->get_BasicGraphicsLayer(graphics.put())) && graphics) {
    std::printf("  graphics:\n");
    print_container(graphics.get(), "    ");
    if (auto composite = win32::query<ICompositeLayer>(graphics.get())) {
      LONG n = 0;
      composite->get_Count(&n);
      for (LONG i = 0; i < n; ++i) {
        ComPtr<ILayer> sub;
        if (FAILED(composite->get_Layer(i, sub.put())) || !sub) continue;
        std::printf("    graphics layer \"%s\":\n", read_text(sub.get(), &ILayer::get_Name).c_str());
        print_container(sub.get(), "      ");
      }
    }
  }
}

void json_layer(ILayer* layer, const std::filesystem::path& folder, JsonWriter* json) {
  VARIANT_BOOL visible = VARIANT_TRUE;
  layer->get_Visible(&visible);
  json->begin_object().key("name").string(read_text(layer, &ILayer::get_Name)).key("type").string(gis::LayerType(layer));
  json->key("visible").boolean(visible != VARIANT_FALSE);
  gis::LayerSource source;
  if (gis::GetLayerSource(layer, &source)) {
    json->key("source").string(source.path.empty() ? "" : shown_path(source.path, folder));
    if (!source.layer.empty()) json->key("source_layer").string(source.layer);
    if (!source.open_error.empty()) json->key("source_error").string(source.open_error);
  }
  if (auto feature_layer = win32::query<IGeoFeatureLayer>(layer)) {
    ComPtr<IFeatureClass> fc;
    if (SUCCEEDED(feature_layer->get_FeatureClass(fc.put())) && fc) {
      const ClassData data = class_data(fc.get());
      json->key("features").number(data.count).key("shapes").string(data.shapes);
      std::string system;
      std::vector<FieldInfo> fields;
      if (read_fields(fc.get(), &system, &fields)) {
        json->key("system");
        if (system == "none") json->null();
        else json->string(system);
        json->key("fields").begin_array();
        for (const FieldInfo& f : fields) {
          json->begin_object().key("name").string(f.name).key("type").string(f.type);
          if (f.width > 0) json->key("width").number(f.width);
          json->end_object();
        }
        json->end_array();
      }
    }
    const std::string field = read_text(feature_layer.get(), &IFeatureLayer::get_DisplayField);
    if (!field.empty()) json->key("display_field").string(field);
    ComPtr<IFeatureRenderer> renderer;
    feature_layer->get_Renderer(renderer.put());
    const std::vector<std::string> lines = renderer_lines(renderer.get());
    json->key("renderer").begin_object().key("kind").string(lines.front()).key("classes");
    json->strings(std::vector<std::string>(lines.begin() + 1, lines.end())).end_object();
  }
  if (auto composite = win32::query<ICompositeLayer>(layer)) {
    LONG n = 0;
    composite->get_Count(&n);
    json->key("layers").begin_array();
    for (LONG i = 0; i < n; ++i) {
      ComPtr<ILayer> child;
      if (SUCCEEDED(composite->get_Layer(i, child.put())) && child) json_layer(child.get(), folder, json);
    }
    json->end_array();
  }
  json->end_object();
}

// What the text shows of the document's maps and layers, as info's JSON form.
std::string info_json(IMxDocument* document, const std::string& given) {
  const std::string path = gis::DocumentPath(document);
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  auto doc = win32::query<IDocument>(document);
  JsonWriter json;
  json.begin_object().key("format").string("areaclip-info/1").key("document").string(given).key("path").string(path);
  json.key("title").string(read_text(doc.get(), &IDocument::get_Title)).key("maps").begin_array();
  ComPtr<IMaps> maps;
  LONG n = 0;
  if (FAILED(document->get_Maps(maps.put())) || !maps || FAILED(maps->get_Count(&n))) n = 0;
  ComPtr<IMap> focus;
  document->get_FocusMap(focus.put());
  for (LONG i = 0; i < n; ++i) {
    ComPtr<IMap> map;
    if (FAILED(maps->get_Item(i, map.put())) || !map) continue;
    ComPtr<ISpatialReference> sr;
    map->get_SpatialReference(sr.put());
    json.begin_object().key("name").string(read_text(map.get(), &IMap::get_Name)).key("focus").boolean(map == focus);
    json.key("spatial_reference");
    if (sr) json.string(gis::SpatialReferenceToText(sr.get()));
    else json.null();
    json.key("extent");
    ComPtr<IEnvelope> e;
    VARIANT_BOOL empty = VARIANT_TRUE;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    auto view = win32::query<IActiveView>(map.get());
    if (view && SUCCEEDED(view->get_Extent(e.put())) && e && SUCCEEDED(e->get_IsEmpty(&empty)) && !empty &&
        SUCCEEDED(e->get_XMin(&x0)) && SUCCEEDED(e->get_YMin(&y0)) && SUCCEEDED(e->get_XMax(&x1)) &&
        SUCCEEDED(e->get_YMax(&y1)))
      json.begin_array().real(x0).real(y0).real(x1).real(y1).end_array();
    else
      json.null();
    LONG count = 0;
    map->get_LayerCount(&count);
    json.key("layers").begin_array();
    for (LONG k = 0; k < count; ++k) {
      ComPtr<ILayer> layer;
      if (SUCCEEDED(map->get_Layer(k, layer.put())) && layer) json_layer(layer.get(), folder, &json);
    }
    json.end_array().key("graphics").begin_array();
    ComPtr<IGraphicsLayer> graphics;
    if (SUCCEEDED(map->get_BasicGraphicsLayer(graphics.put())) && graphics) {
      json.begin_object().key("layer").null().key("elements").strings(container_elements(graphics.get())).end_object();
      if (auto composite = win32::query<ICompositeLayer>(graphics.get())) {
        LONG layers = 0;
        composite->get_Count(&layers);
        for (LONG k = 0; k < layers; ++k) {
          ComPtr<ILayer> sub;
          if (FAILED(composite->get_Layer(k, sub.put())) || !sub) continue;
          json.begin_object().key("layer").string(read_text(sub.get(), &ILayer::get_Name));
          json.key("elements").strings(container_elements(sub.get())).end_object();
        }
      }
    }
    json.end_array().end_object();
  }
  json.end_array().key("not_modelled").strings(gis::DocumentNotes(document)).end_object();
  return json.text();
}

}  // namespace

int cmd_info(const Arguments& args) {
  ComPtr<IMxDocument> document = open_document(args.positionals().front());
  if (!document) return 2;
  if (args.json()) {
    std::fputs(info_json(document.get(), args.positionals().front()).c_str(), json_output());
    return 0;
  }
  std::string path = gis::DocumentPath(document.get());
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  auto doc = win32::query<IDocument>(document.get());
  std::printf("document: %s\ntitle: %s\n", path.c_str(), read_text(doc.get(), &IDocument::get_Title).c_str());
  ComPtr<IMaps> maps;
  LONG n = 0;
  if (FAILED(document->get_Maps(maps.put())) || !maps || FAILED(maps->get_Count(&n))) n = 0;
  ComPtr<IMap> focus;
  document->get_FocusMap(focus.put());
  std::printf("maps: %ld\n", long(n));
  for (LONG i = 0; i < n; ++i) {
    ComPtr<IMap> map;
    if (SUCCEEDED(maps->get_Item(i, map.put())) && map) print_map(map.get(), i, map == focus, folder);
  }
  std::vector<std::string> notes = gis::DocumentNotes(document.get());
  if (!notes.empty()) {
    std::printf("\nnot modelled or not usable (kept as read):\n");
    for (const std::string& note : notes) std::printf("  - %s\n", note.c_str());
  }
  return 0;
}

}  // namespace host
