// Finding a map's layer by name, for tests that work on maps.
#pragma once

#include <string>

#include <win32/com_ptr.h>
#include <win32/text.h>

#include "arcobjects/arcobjects.h"

namespace testing_support {

// The first layer of `map` (group contents included) named `name` (UTF-8); null if none.
inline win32::ComPtr<ILayer> layer_named(IMap* map, const std::string& name) {
  win32::ComPtr<IEnumLayer> layers;
  map->get_Layers(nullptr, VARIANT_TRUE, layers.put());
  win32::ComPtr<ILayer> layer;
  layers->Reset();
  while (layers->Next(layer.put()) == S_OK) {
    win32::Bstr n;
    layer->get_Name(n.put());
    if (n.utf8() == name) return layer;
  }
  return nullptr;
}

}  // namespace testing_support
