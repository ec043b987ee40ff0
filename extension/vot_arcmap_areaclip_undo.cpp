#include "extension/vot_arcmap_areaclip_undo.h"

#include <windows.h>

namespace {

bool same_object(IUnknown* a, IUnknown* b) {
  if (!a || !b) return a == b;
  IUnknown* ia = nullptr;
  IUnknown* ib = nullptr;
  a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ia));
  b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ib));
  bool same = ia && ia == ib;
  if (ia) ia->Release();
  if (ib) ib->Release();
  return same;
}

// Queries without the failed-call check: a missing interface only means nothing to keep.
template <class Q, class T>
TComInterface<Q> query(const TComInterface<T>& object) {
  TComInterface<Q> result;
  if (!object) return result;
  Q* p = nullptr;
  if (SUCCEEDED(object->QueryInterface(__uuidof(Q), reinterpret_cast<void**>(&p))) && p) result.Attach(p);
  return result;
}

}  // namespace

struct Tvo_arcmap_areaclip_undo::Layer_state {
  TComInterface<IFeatureLayer> layer;
  TComInterface<IFeatureClass> feature_class;
  Tvo_bstr display_field;
  TComInterface<IFeatureRenderer> renderer;
  std::vector<std::unique_ptr<Tvo_bstr>> unique_fields;
  Tvo_bstr breaks_field;
  bool has_breaks_field = false;

  void restore() {
    layer->putref_FeatureClass(feature_class);
    layer->put_DisplayField(display_field.get());
    TComInterface<IGeoFeatureLayer> geo_layer = query<IGeoFeatureLayer>(layer);
    if (geo_layer) geo_layer->putref_Renderer(renderer);
    if (TComInterface<IUniqueValueRenderer> unique = query<IUniqueValueRenderer>(renderer)) {
      for (size_t i = 0; i < unique_fields.size(); ++i)
        unique->put_Field(static_cast<LONG>(i), unique_fields[i]->get());
    }
    if (TComInterface<IClassBreaksRenderer> breaks = query<IClassBreaksRenderer>(renderer)) {
      if (has_breaks_field) breaks->put_Field(breaks_field.get());
    }
  }
};

struct Tvo_arcmap_areaclip_undo::Graphics_state {
  TComInterface<IGraphicsContainer> container;
  std::vector<TComInterface<IElement>> elements;

  void restore() {
    container->DeleteAllElements();
    for (const TComInterface<IElement>& element : elements) container->AddElement(element, 0);
    container->Reset();
  }
};

Tvo_arcmap_areaclip_undo::Tvo_arcmap_areaclip_undo() = default;
Tvo_arcmap_areaclip_undo::~Tvo_arcmap_areaclip_undo() { clear(); }

void Tvo_arcmap_areaclip_undo::folder_created(const std::string& path) { folders.push_back(path); }

void Tvo_arcmap_areaclip_undo::files_to_create(const std::vector<std::string>& paths) {
  for (const std::string& path : paths)
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
        (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND))
      files.push_back(path);
}

void Tvo_arcmap_areaclip_undo::layer_changing(TComInterface<IFeatureLayer> layer) {
  if (!layer) return;
  for (const auto& kept : layers)
    if (same_object(kept->layer, layer)) return;
  Layer_state* state = layers.emplace_back(std::make_unique<Layer_state>()).get();
  state->layer = layer;
  layer->get_FeatureClass(&state->feature_class);
  layer->get_DisplayField(&state->display_field);
  if (TComInterface<IGeoFeatureLayer> geo_layer = query<IGeoFeatureLayer>(layer)) geo_layer->get_Renderer(&state->renderer);
  if (TComInterface<IUniqueValueRenderer> unique = query<IUniqueValueRenderer>(state->renderer)) {
    LONG count = 0;
    if (FAILED(unique->get_FieldCount(&count))) count = 0;
    for (LONG i = 0; i < count; ++i) {
      Tvo_bstr& field = *state->unique_fields.emplace_back(std::make_unique<Tvo_bstr>());
      unique->get_Field(i, &field);
    }
  }
  if (TComInterface<IClassBreaksRenderer> breaks = query<IClassBreaksRenderer>(state->renderer))
    state->has_breaks_field = SUCCEEDED(breaks->get_Field(&state->breaks_field));
}

void Tvo_arcmap_areaclip_undo::graphics_changing(TComInterface<IGraphicsContainer> container) {
  if (!container) return;
  for (const auto& kept : graphics)
    if (same_object(kept->container, container)) return;
  Graphics_state* state = graphics.emplace_back(std::make_unique<Graphics_state>()).get();
  state->container = container;
  container->Reset();
  TComInterface<IElement> element;
  while (container->Next(&element) == S_OK && element) state->elements.push_back(element);
  container->Reset();
}

void Tvo_arcmap_areaclip_undo::undo() {
  try {
    for (auto it = graphics.rbegin(); it != graphics.rend(); ++it) (*it)->restore();
    for (auto it = layers.rbegin(); it != layers.rend(); ++it) (*it)->restore();
  } catch (...) {
    // A change that cannot be taken back stays; the files below still go.
  }
  // The layers no longer hold the run's files once they are restored and released.
  graphics.clear();
  layers.clear();
  for (auto it = files.rbegin(); it != files.rend(); ++it) DeleteFileA(it->c_str());
  files.clear();
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) RemoveDirectoryA(it->c_str());
  folders.clear();
}

void Tvo_arcmap_areaclip_undo::clear() {
  graphics.clear();
  layers.clear();
  files.clear();
  folders.clear();
}
