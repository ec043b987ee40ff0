#include <mutex>

#include <win32/com_runtime.h>

#include "elements.h"
#include "feature_bookmark.h"
#include "feature_layer.h"
#include "gis/gis.h"
#include "group_layer.h"
#include "renderers.h"
#include "rgb_color.h"
#include "symbols.h"

namespace gis {

namespace {

template <class T>
void register_class(REFCLSID clsid, const char* progid) {
  win32::RegisterBuiltinClass(clsid, progid, [](IUnknown*, REFIID riid, void** ppv) {
    return T::create_instance(riid, ppv);
  });
}

}  // namespace

void RegisterClasses() {
  RegisterCoreClasses();
  static std::once_flag once;
  std::call_once(once, [] {
  register_class<carto::RgbColor>(CLSID_RgbColor, "esriDisplay.RgbColor");
  register_class<carto::SimpleMarkerSymbol>(CLSID_SimpleMarkerSymbol, "esriDisplay.SimpleMarkerSymbol");
  register_class<carto::SimpleLineSymbol>(CLSID_SimpleLineSymbol, "esriDisplay.SimpleLineSymbol");
  register_class<carto::SimpleFillSymbol>(CLSID_SimpleFillSymbol, "esriDisplay.SimpleFillSymbol");
  register_class<carto::SimpleRenderer>(CLSID_SimpleRenderer, "esriCarto.SimpleRenderer");
  register_class<carto::UniqueValueRenderer>(CLSID_UniqueValueRenderer, "esriCarto.UniqueValueRenderer");
  register_class<carto::TextElement>(CLSID_TextElement, "esriCarto.TextElement");
  register_class<carto::FeatureLayer>(CLSID_FeatureLayer, "esriCarto.FeatureLayer");
  register_class<carto::GroupLayer>(CLSID_GroupLayer, "esriCarto.GroupLayer");
  register_class<carto::FeatureBookmark>(CLSID_FeatureBookmark, "esriCarto.FeatureBookmark");
  });
}

}  // namespace gis
