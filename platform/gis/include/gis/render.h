// Map pictures: a document's maps drawn as SVG, as the display would show them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "arcobjects/arcobjects.h"

namespace gis {

// How a shape is drawn, from its symbol: an area's fill and outline, a line, a marker.
struct Look {
  bool has_fill = false;
  LONG fill = 0;  // colours are 0x00BBGGRR
  esriSimpleFillStyle fill_style = esriSFSSolid;
  bool has_stroke = true;
  LONG stroke = 0;
  double stroke_width = 1;  // points
  esriSimpleLineStyle line_style = esriSLSSolid;
  double marker_size = 6;  // points
  esriSimpleMarkerStyle marker_style = esriSMSCircle;

  bool operator==(const Look&) const = default;
};

// Points to pixels.
inline constexpr double kPixelsPerPoint = 96.0 / 72.0;

struct RenderOptions {
  int map_width = 900;  // pixels of each map frame's width
  bool legend = true;   // a legend beside each map
};

// Every map of the document, one under the other: its visible layers drawn with their
// renderers and symbols, rasters as pictures of their bands (grey, colour table or RGB,
// embedded as PNG) (the first layer on top, as the table of contents lists them), then
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
// view shows the map's extent, whole and centred). "" when the document is not one of this
// program's.
std::string RenderFocusMapSvg(IMxDocument* document, const MapView& view,
                              std::vector<std::string>* warnings = nullptr);
// The bounds of everything the focus map draws (its data, as the sources record it, and its
// graphics); false when none.
bool FocusMapBounds(IMxDocument* document, MapView* view);
// The bounds of a layer's data in the focus map's system (a group layer's: of all its
// layers), whether it is switched on or not; false when it has none (a missing source).
bool LayerBounds(IMxDocument* document, ILayer* layer, MapView* view);

// A surface a view of a map is drawn on while the data is read: shapes come in drawing order
// (the lowest layer first, graphics last) in the view's pixels (origin at the top left, y
// down), and the drawing keeps none of them.
class MapPainter {
 public:
  virtual ~MapPainter();
  // Paths (dimension 1) or the rings of one area (2, filled even-odd): xy holds x, y pairs,
  // part_ends where each part ends, counted in points. Vertices less than a pixel away (in
  // x and in y) from the one kept before them are left out, as at that scale they show nothing.
  virtual void Shape(const Look& look, int dimension, const std::vector<double>& xy,
                     const std::vector<int>& part_ends) = 0;
  // A point's marker centred on (x, y).
  virtual void Marker(const Look& look, double x, double y) = 0;
  // A graphic text centred on (x, y); look.fill is its colour when look.has_fill.
  virtual void Text(const Look& look, double x, double y, const std::string& text) = 0;
  // A raster layer's picture of width × height pixels with its top left at pixel (x, y):
  // argb holds 0xAARRGGBB values (not premultiplied), row after row from the top.
  virtual void Image(int x, int y, int width, int height, const std::vector<std::uint32_t>& argb) = 0;
};
// Draws the view of the focus map onto painter as RenderFocusMapSvg draws it, reading the
// features that may lie in the view one at a time (no layer is held in memory). False when
// the document is not one of this program's or has no maps.
bool DrawFocusMap(IMxDocument* document, const MapView& view, MapPainter& painter,
                  std::vector<std::string>* warnings = nullptr);
// The drawing of a view of the focus map in steps that may run at the same time on different
// threads, each onto a painter of its own: one step for each visible feature or raster layer (the
// lowest first), then one for the graphics. The steps' pictures laid over each other in that
// order make DrawFocusMap's picture. What the steps draw is taken from the document when the
// drawing is made, on the document's thread: the view, the layers' sources, the looks of
// their renderers' symbols, the graphics; the steps then read only the layers' data, through
// handles of their own, so the document may change or go while they run.
class MapViewDrawing {
 public:
  MapViewDrawing(IMxDocument* document, const MapView& view);
  ~MapViewDrawing();
  MapViewDrawing(const MapViewDrawing&) = delete;
  MapViewDrawing& operator=(const MapViewDrawing&) = delete;
  // None when the document is not one of this program's or has no maps.
  size_t steps() const;
  // What a step draws, as text (the layer, its source, its looks; the graphics): steps of
  // equal keys in drawings of the same view draw the same picture.
  const std::string& key(size_t step) const;
  // Draws one step; what could not be drawn is described in *warnings. Once *cancel is
  // raised (from any thread) the step stops soon, its picture unfinished.
  void Draw(size_t step, MapPainter& painter, std::vector<std::string>* warnings = nullptr,
            const std::atomic<bool>* cancel = nullptr) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

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
