// MapDrawing: the walk through a map's visible feature and raster layers (the first of the list drawn last, on
// top) and then its graphics, handing each shape, in map units, to a sink as it is read.
// What drawing a layer needs is taken from it first (a LayerSnapshot, on the document's
// thread), so the shapes may be read on other threads while the document changes.
#pragma once

#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"
#include "gis/core.h"
#include "symbol_look.h"

namespace gis::carto {

class FeatureLayer;
class LayerNode;
class Map;
class SymbolChooser;

struct Bounds {
  double xmin = std::numeric_limits<double>::infinity(), ymin = xmin;
  double xmax = -xmin, ymax = -xmin;
  bool empty() const { return !(xmin <= xmax && ymin <= ymax); }
  void add(double x, double y) {
    xmin = std::min(xmin, x), ymin = std::min(ymin, y);
    xmax = std::max(xmax, x), ymax = std::max(ymax, y);
  }
  void add(const Bounds& b) {
    if (!b.empty()) add(b.xmin, b.ymin), add(b.xmax, b.ymax);
  }
};

Bounds bounds_of(const ShapeParts& s);

// What a map's drawing hands on: its shapes in map units, in drawing order.
class ShapeSink {
 public:
  virtual ~ShapeSink() = default;
  virtual void shape(const Look& look, const ShapeParts& s) = 0;
  // A graphic text, placed at the middle of its shape.
  virtual void text(const Look& look, const ShapeParts& s, const std::string& text) = 0;
  // A raster layer's file, in a map of this system: "" when it is drawn (or the sink draws
  // no rasters), else why it is not.
  virtual std::string raster(const std::string& path, ISpatialReference* system) {
    (void)path, (void)system;
    return "";
  }
};

// What drawing a layer needs, taken from it on the document's thread: a feature layer's
// source's class (read through handles of its own) and the looks of its renderer, a raster
// layer's file. A drawing of it then reads no part of the document.
struct LayerSnapshot {
  std::string name;
  bool raster = false;
  std::string raster_path;  // a raster layer's file
  win32::ComPtr<IFeatureClass> feature_class;  // null when the source could not be opened
  std::string open_error;
  std::shared_ptr<const SymbolChooser> chooser;
  std::string key;  // equal keys draw the same picture of the same view
};

// A feature layer's or a raster layer's snapshot.
LayerSnapshot snapshot_of(LayerNode* layer);

// Whether a layer is drawn by a map's drawing: a feature layer or a raster layer.
bool drawn_layer(LayerNode* node);

// A graphic of a map as drawn: its look and shape, its text for a text element.
struct GraphicShape {
  Look look;
  ShapeParts shape;
  bool is_text = false;
  std::string text;
};

class MapDrawing {
 public:
  MapDrawing(Map& map, std::vector<std::string>* warnings);
  // Without the map: for layers and graphics taken from it (draw_layer of a snapshot,
  // draw_graphics of a list), in a map of this name and system.
  MapDrawing(std::string name, ISpatialReference* system, std::vector<std::string>* warnings)
      : name_(std::move(name)), system_(system), warnings_(warnings) {}

  // Reads only the features that may lie in this rectangle of the map (a view of it).
  void limit_to(const Bounds& within);

  void draw(ShapeSink& sink);

  // The visible feature and raster layers in drawing order: the last of the list first.
  std::vector<LayerNode*> layers() const;

  void draw_layer(LayerNode* layer, ShapeSink& sink);
  // Draws a layer from what was taken from it; stops when *cancel is raised.
  void draw_layer(const LayerSnapshot& layer, ShapeSink& sink, const std::atomic<bool>* cancel = nullptr);

  // The map's graphics and those of its visible graphics layers.
  void draw_graphics(ShapeSink& sink);
  static void draw_graphics(const std::vector<GraphicShape>& graphics, ShapeSink& sink);
  // The graphics as drawn, in drawing order.
  std::vector<GraphicShape> graphics() const;

  // The bounds of the map's data as its sources record them and of its graphics.
  Bounds bounds();
  // The bounds of a layer's data (a group's: of all its layers), switched on or not.
  Bounds bounds(ILayer* layer);

 private:
  void warn(const std::string& text);
  void layer_bounds(LayerNode* layer, ShapeSink& collect);

  Map* map_ = nullptr;  // null for a drawing of what was taken from a map
  std::string name_;
  ISpatialReference* system_;
  std::vector<std::string>* warnings_;
  bool within_ = false;
  double within_box_[4] = {};
};

// The view of a map: its extent, else its data's bounds with a margin; never empty.
Bounds view_of(Map& map);

}  // namespace gis::carto
