// QtMapPainter: a map view drawn with a QPainter as the map's shapes are read. Markers are
// drawn once per look into a small image and stamped; pens and brushes follow the look of
// the shape before only when it changes.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include <QImage>
#include <QPainter>
#include <QPointF>

#include <gis/render.h>

#include "arcobjects/arcobjects.h"

namespace host {

class QtMapPainter final : public gis::MapPainter {
 public:
  // Antialiased unless told otherwise (a raster operation, XOR, wants each pixel drawn whole:
  // markers are then drawn one by one instead of stamped).
  explicit QtMapPainter(QPainter& painter, bool antialiased = true);

  void Shape(const gis::Look& look, int dimension, const std::vector<double>& xy,
             const std::vector<int>& part_ends) override;
  void Marker(const gis::Look& look, double x, double y) override;
  void Text(const gis::Look& look, double x, double y, const std::string& text) override;
  void Image(int x, int y, int width, int height, const std::vector<std::uint32_t>& argb) override;

  // Whether anything was drawn.
  bool drew() const { return drew_; }

 private:
  struct Stamp {
    gis::Look look;
    QImage image;
    QPointF offset;  // from the marker's centre to the image's top left
  };
  const Stamp& stamp(const gis::Look& look);
  void use(const gis::Look& look, int dimension);

  QPainter& painter_;
  bool antialiased_;
  std::vector<Stamp> stamps_;
  size_t last_stamp_ = 0;
  bool drew_ = false;
  bool has_style_ = false;
  gis::Look style_;
  int style_dimension_ = -1;
  std::vector<QPointF> points_;
};

// The colour of the object model's 0x00BBGGRR value.
QColor MapColor(LONG rgb);

// One step of a map's drawing drawn alone: a transparent image of the view's size (null
// when the step drew nothing) and what it could not draw.
struct StepPicture {
  QImage image;
  std::vector<std::string> warnings;
};
// Draws a step onto an image of its own; stops soon once *cancel is raised.
StepPicture DrawStep(const gis::MapViewDrawing& drawing, size_t step, QSize size,
                     const std::atomic<bool>* cancel = nullptr);
// Lays a step's picture over picture (the map's steps in their order make the map) and adds
// its warnings to *warnings.
void LayOver(QImage& picture, const StepPicture& step, std::vector<std::string>* warnings);

// Draws the view of the document's focus map over picture (the view's size): its layers at
// the same time on the machine's cores, each onto a transparent image of its own, laid over
// each other in their order as they are done (no more than two a core drawn ahead of the
// next to lay on). What could not be drawn is described in *warnings, in the layers' order.
void DrawMapView(IMxDocument* document, const gis::MapView& view, QImage& picture,
                 std::vector<std::string>* warnings = nullptr);

}  // namespace host
