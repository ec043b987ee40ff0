// What the application's display was asked to draw, for tests and the host program. The
// display (IMxApplication::Display) records every call; with a painter set (the host's map
// canvas) it also draws them on a screen.
#pragma once

#include <string>
#include <vector>

#include "arcobjects/arcobjects.h"
#include "gis/render.h"

namespace gis {

// A symbol as it stood when it was handed to SetSymbol.
struct DrawnSymbol {
  std::string kind;    // "marker", "line", "fill"; "" for none or a symbol of another kind
  LONG rgb = 0;        // the colour, 0x00BBGGRR
  LONG style = 0;      // esriSimpleMarkerStyle, esriSimpleLineStyle or esriSimpleFillStyle
  double size = 0;     // markers
  double width = 0;    // lines
  bool outline = false;        // markers: outline on; fills: a simple line symbol is its outline
  LONG outline_rgb = 0;        // markers and fills: the outline's colour
  LONG outline_style = 0;      // fills: the outline's style
  double outline_width = 0;    // markers and fills: the outline's width
  esriRasterOpCode rop2 = esriROPCopyPen;
};

// How the map pictures draw a symbol of these settings on shapes of dimension 0 (points), 1
// (lines) or 2 (areas): a painter of the display draws with these looks, so what the display
// shows and what the map shows cannot differ.
Look SymbolLook(const DrawnSymbol& symbol, int dimension);
// The look of a text drawn with `look`, as the map pictures draw graphic texts.
Look TextLook(const Look& look);

struct DisplayCall {
  enum Kind { StartDrawing, FinishDrawing, SetSymbol, DrawPoint, DrawMultipoint, DrawPolyline, DrawPolygon,
              DrawRectangle, DrawText };
  Kind kind = StartDrawing;
  OLE_HANDLE hdc = 0;                       // StartDrawing
  SHORT cache_id = 0;                       // StartDrawing
  DrawnSymbol symbol;                       // SetSymbol
  esriGeometryType geometry_type = esriGeometryNull;  // Draw*: the geometry handed in
  double xmin = 0, ymin = 0, xmax = 0, ymax = 0;      // Draw*: its envelope
  std::string text;                         // DrawText, UTF-8
};

// A screen under a display: Draw gets each drawing call between StartDrawing and
// FinishDrawing with the symbol set last and the geometry's parts in map units (points for
// dimension 0, paths for 1, rings for 2).
struct DrawnPart {
  int dimension = 0;
  std::vector<std::pair<double, double>> points;
};
class DisplayPainter {
 public:
  virtual ~DisplayPainter();
  virtual void StartDrawing() {}
  virtual void Draw(const DisplayCall& call, const DrawnSymbol& symbol, const std::vector<DrawnPart>& parts) = 0;
  virtual void FinishDrawing() {}
};
// Sets the painter of a display of this stand-in (null: none); the caller keeps it alive
// while it is set.
void SetDisplayPainter(IUnknown* display, DisplayPainter* painter);
// The parts of a geometry in its own units, as the painter gets them.
std::vector<DrawnPart> GeometryParts(IGeometry* geometry);

// The calls made on a display of this stand-in (an object from IMxApplication::Display),
// oldest first; empty for any other object.
std::vector<DisplayCall> DisplayCalls(IUnknown* display);
// Forgets the recorded calls.
void ClearDisplayCalls(IUnknown* display);
// A short name of a call kind ("DrawPolygon").
const char* DisplayCallName(DisplayCall::Kind kind);

}  // namespace gis
