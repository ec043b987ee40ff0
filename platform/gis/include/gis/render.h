// Map pictures: a document's maps drawn as SVG, as the display would show them.
#pragma once

#include <string>
#include <vector>

#include "arcobjects/arcobjects.h"

namespace gis {

struct RenderOptions {
  int map_width = 900;  // pixels of each map frame's width
  bool legend = true;   // a legend beside each map
};

// Every map of the document, one under the other: its visible layers drawn with their
// renderers and symbols (the first layer on top, as the table of contents lists them), then
// its graphics, within the map's extent (the data's when the map has none). Layers and
// features that cannot be drawn are skipped and described in *warnings.
std::string RenderDocumentSvg(IMxDocument* document, const RenderOptions& options = {},
                              std::vector<std::string>* warnings = nullptr);

}  // namespace gis
