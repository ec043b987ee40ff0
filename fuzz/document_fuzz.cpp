// The map-document reader under libFuzzer. Every text either loads or is refused with a
// message; a loaded document's maps and layers answer their interfaces; once released,
// no COM object and no BSTR is left behind. Anything else (an escaping exception, a
// crash, undefined behaviour, a leak) is a fault. Relative sources resolve against a copy
// of the sample map's data folder.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <win32/com_object.h>
#include <win32/com_ptr.h>
#include <win32/text.h>

#include "arcobjects/arcobjects.h"
#include "gis/document.h"
#include "gis/gis.h"

namespace {

[[noreturn]] void fault(const char* what, const std::string& detail = "") {
  std::fprintf(stderr, "document_fuzz: %s\n%s\n", what, detail.c_str());
  std::abort();
}

void walk(IMxDocument* document) {
  win32::Bstr title;
  win32::ComPtr<IDocument> doc = win32::query<IDocument>(document);
  if (!doc) fault("not an IDocument");
  if (doc->get_Title(title.put()) != S_OK) fault("no title");
  win32::ComPtr<IMaps> maps;
  if (document->get_Maps(maps.put()) != S_OK) fault("no maps");
  LONG count = 0;
  if (maps->get_Count(&count) != S_OK || count < 0) fault("no map count");
  for (LONG i = 0; i < count; ++i) {
    win32::ComPtr<IMap> map;
    if (maps->get_Item(i, map.put()) != S_OK || !map) fault("a map is missing");
    win32::ComPtr<IEnumLayer> layers;
    if (map->get_Layers(nullptr, VARIANT_TRUE, layers.put()) != S_OK) fault("no layers");
    for (;;) {
      win32::ComPtr<ILayer> layer;
      if (layers->Next(layer.put()) != S_OK) break;
      win32::Bstr name;
      if (layer->get_Name(name.put()) != S_OK) fault("a layer without a name");
      gis::LayerSource source;
      gis::GetLayerSource(layer.get(), &source);
      (void)gis::LayerType(layer.get());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gis::RegisterClasses();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const long objects = win32::ComObjectsAlive();
  const LONG strings = SysStringsOutstanding();
  {
    std::string error;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    win32::ComPtr<IMxDocument> document = gis::LoadDocumentText(text, AREACLIP_FUZZ_DOCUMENT_FOLDER, &error);
    if (document) {
      if (!error.empty()) fault("loaded with an error", error);
      walk(document.get());
    } else if (error.rfind("map document text ", 0) != 0) {
      fault("refused without naming the text", error);
    }
  }
  SetErrorInfo(0, nullptr);
  if (win32::ComObjectsAlive() != objects) fault("COM objects left alive");
  if (SysStringsOutstanding() != strings) fault("BSTRs left allocated");
  return 0;
}
