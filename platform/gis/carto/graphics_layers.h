// The graphics of a map: the basic graphics layer (IMap::BasicGraphicsLayer), a composite
// of graphics layers holding elements itself, and its sub-layers. Both are graphics
// containers. JSON form, the map's "graphics":
//   {"elements": [E…], "layers": [{"name": "…", "elements": [E…]}]}
//
// The element walk (Reset/Next) survives deletions: deleting the element just returned,
// or any other, lets the walk go on with the element after it.
#pragma once

#include <string>
#include <vector>

#include "layer_object.h"

namespace gis::carto {

// Element storage and the walk over it.
class ElementList {
 public:
  HRESULT add(IElement* element);
  HRESULT remove(IElement* element);
  void clear();
  void reset() { next_ = 0; }
  HRESULT next(IElement** element);

  void read(const Json& list, const std::string& where, ISpatialReference* sr);
  Json to_json() const;
  const std::vector<win32::ComPtr<IElement>>& items() const { return items_; }

 private:
  std::vector<win32::ComPtr<IElement>> items_;
  size_t next_ = 0;
};

template <class Derived, class... Interfaces>
class GraphicsLayerObject : public LayerObject<Derived, ILayer, IGraphicsLayer, IGraphicsContainer, Interfaces...> {
 public:
  HRESULT STDMETHODCALLTYPE get_AssociatedLayer(ILayer** layer) override {
    if (!layer) return E_POINTER;
    *layer = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE AddElement(IElement* element, LONG) override { return elements.add(element); }
  HRESULT STDMETHODCALLTYPE DeleteElement(IElement* element) override { return elements.remove(element); }
  HRESULT STDMETHODCALLTYPE DeleteAllElements() override {
    elements.clear();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    elements.reset();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Next(IElement** element) override { return elements.next(element); }

  ElementList elements;
};

class GraphicsSubLayer : public GraphicsLayerObject<GraphicsSubLayer> {
 public:
  GraphicsSubLayer(const Json& json, const std::string& where, ISpatialReference* sr);
  Json to_json(const DocumentPlace& place) const override;
};

class BasicGraphicsLayer : public GraphicsLayerObject<BasicGraphicsLayer, ICompositeLayer> {
 public:
  BasicGraphicsLayer();
  BasicGraphicsLayer(const Json& json, const std::string& where, ISpatialReference* sr);

  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override;
  HRESULT STDMETHODCALLTYPE get_Layer(LONG index, ILayer** layer) override;

  Json to_json(const DocumentPlace& place) const override;

  std::vector<win32::ComPtr<GraphicsSubLayer>> layers;
};

}  // namespace gis::carto
