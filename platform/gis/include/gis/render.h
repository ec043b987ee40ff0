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

// A view of a map on a screen: the map units shown and the pixels they fill (the width's
// scale is used for both directions).
struct MapView {
  double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
  int width = 0, height = 0;
};

// The focus map alone, as the display shows it: its visible layers and graphics drawn as
// RenderDocumentSvg draws them, `view` filling view.width × view.height pixels (an empty
// view shows the map's extent). "" when the document is not one of this program's.
std::string RenderFocusMapSvg(IMxDocument* document, const MapView& view,
                              std::vector<std::string>* warnings = nullptr);
// The bounds of everything the focus map draws (its data and graphics); false when none.
bool FocusMapBounds(IMxDocument* document, MapView* view);

// One entry of a layer's legend: its label and its symbol as a 24 x 16 SVG picture.
struct LegendSwatch {
  std::string label;
  std::string svg;
};
// The legend of one layer of a document of this program, drawn as the map picture draws it:
// none for a group layer (its layers have theirs) or a layer of another program; one entry
// named after the layer for a layer drawn with one symbol; one per class for a classified
// layer (unique values with "<other values>", class breaks). Whether the layer is switched
// on does not matter.
std::vector<LegendSwatch> LayerLegend(ILayer* layer);

}  // namespace gis
