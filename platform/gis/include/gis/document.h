// Map documents outside COM: loading and saving for the host program and tests, and what
// a document knows of its layers beyond the interfaces (where a layer's data lives).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"

namespace gis {

// Reads the map document at path (UTF-8): a QGIS project (.qgs, .qgz) or the JSON form. On failure: empty result and *error set to one
// line naming the file and the reason (missing, not JSON, another format, a newer version,
// cut short, or the place in the document that is wrong).
win32::ComPtr<IMxDocument> LoadDocument(const std::string& path, std::string* error = nullptr);
// Reads a map document from text as LoadDocument reads a file: relative sources resolve
// against `folder`; the document has no file (DocumentPath gives ""). Errors name "map
// document text".
win32::ComPtr<IMxDocument> LoadDocumentText(std::string_view text, const std::string& folder,
                                            std::string* error = nullptr);

// Writes a document of this stand-in under path, atomically, as a QGIS project when path
// ends in .qgs or .qgz: on failure an existing file
// stays whole and *error says why. Sources inside the file's folder are written relative.
bool SaveDocument(IUnknown* document, const std::string& path, std::string* error = nullptr);

// What a document read from a QGIS project does not model (kept in the project and written
// back), one line each; empty for other documents.
std::vector<std::string> DocumentNotes(IUnknown* document);

// The file a document was read from or last saved to (absolute, UTF-8); "" for a new one.
std::string DocumentPath(IUnknown* document);

// Where a layer takes its data. For a feature layer whose source could not be opened,
// open_error says why (the layer then has no feature class).
struct LayerSource {
  std::string path;  // absolute, UTF-8; "" when the layer names none
  std::string layer;
  std::string open_error;
};
// False for layers without a source (groups, graphics) and layers of other origin.
bool GetLayerSource(ILayer* layer, LayerSource* source);

// The document's name for a layer's kind: "feature", "group", "raster", …
std::string LayerType(ILayer* layer);
// The document's name for an element's kind: "text", "marker", "line", "polygon", "rectangle", …
std::string ElementKind(IElement* element);

}  // namespace gis
