// Renderers and symbols between a QGIS layer's <renderer-v2> and the document's JSON
// renderers (renderers.h, symbols.h). Sizes and widths are millimetres in QGIS and points in
// the document; colours lose their alpha.
#pragma once

#include <string>
#include <vector>

#include <libxml/tree.h>

#include "document_json.h"

namespace gis::carto {

// The document renderer for a <renderer-v2> element; what it cannot hold is added to notes.
// A renderer of another type becomes {"type": "qgis:<type>"}, which the document keeps.
Json renderer_from_qgis(const xmlNode* renderer, std::vector<std::string>* notes);
// A new <renderer-v2> element under layer for a document renderer of a layer whose symbols are
// of kind "fill", "line" or "marker".
void add_qgis_renderer(xmlNode* layer, const Json& renderer);
// The field a display or renderer expression names when it is nothing but one field
// ("NAME", "\"NAME\"", COALESCE("NAME", '<NULL>')); "" otherwise.
std::string plain_field(const std::string& expression);
// The expression naming one field, as QGIS writes it.
std::string field_expression(const std::string& field);

}  // namespace gis::carto
