// ViewSink: a map's shapes taken into the pixels of a view for a painter; ViewSetup: what a
// view of a map shows and which part of the map it reads.
#pragma once

#include <string>
#include <vector>

#include "gis/render.h"
#include "map_drawing.h"

namespace gis::carto {

// Pixels a symbol may reach into a view from outside it: markers and paths farther out are
// not drawn, and a view reads the features this far around it.
constexpr double kReachPixels = 32;

// Takes the shapes of a view into its pixels for a painter: `scale` pixels a map unit, the
// view's top left corner (xmin, ymax) at pixel (x0, y0). Vertices less than a pixel away
// from the one kept before them are dropped (the first and last of a part stay), and markers
// and stretches of paths beyond the view's reach are not drawn.
class ViewSink final : public ShapeSink {
 public:
  ViewSink(MapPainter& painter, const Bounds& view, double scale, double x0, double y0, double width, double height);

  void shape(const Look& look, const ShapeParts& s) override;
  void text(const Look& look, const ShapeParts& s, const std::string& text) override;
  // The part of the raster the view shows, read at the view's resolution.
  std::string raster(const std::string& path, ISpatialReference* system) override;

 private:
  static constexpr double kReach = kReachPixels;
  double px(double x) const { return x0_ + (x - view_.xmin) * scale_; }
  double py(double y) const { return y0_ + (view_.ymax - y) * scale_; }

  // Where a pixel lies against the view with its reach: a bit for each side it is beyond.
  int outside(double x, double y) const;
  // A vertex less than a pixel from the one kept before it is dropped.
  bool near_last(double x, double y, size_t first) const;
  // Rings as they are (a ring cut at the view's edge would fill wrongly); the first and last
  // vertex of each stay.
  void add_rings(const ShapeParts& s);
  // Paths without the runs of segments that pass wholly beside the view (both ends beyond
  // one of its sides): each stretch that may show becomes a part of its own, from the vertex
  // before it comes into view to the one after it leaves.
  void add_paths(const ShapeParts& s);

  MapPainter& painter_;
  Bounds view_;
  double scale_, x0_, y0_, width_, height_;
  std::vector<double> xy_;
  std::vector<int> ends_;
};

// How a view of a map is drawn: the map units shown and their scale, and the rectangle
// whose features are read.
struct ViewSetup {
  Bounds view;
  double scale = 1, width = 1, height = 1;
  bool limited = false;
  Bounds limit;
};

// The setup of a view of a map; an empty view shows the map's extent, whole and centred.
ViewSetup setup_view(Map& map, const MapView& in);

}  // namespace gis::carto
