// MapCanvas: the focus map on screen. It draws the map as `areaclip render` draws it (the
// same drawing, painted straight onto the canvas's picture while the features of the view
// are read), when it is shown and only then; a rectangle asked for stays whole in the
// canvas when it is resized, until the view is moved. It pans with the left mouse button (the
// picture follows the mouse and the map is drawn again where the drag ends), zooms
// with the wheel about the cursor, and is the screen under the application's display: the
// display's drawing calls paint over the map picture with the symbol's colour and raster
// operation (XOR drawn twice leaves every pixel as it was). A change of the map's extent by
// anyone else (a bookmark's zoom) becomes the canvas's view.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QImage>
#include <QWidget>

#include <gis/display.h>
#include <gis/render.h>
#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"

namespace host {

class MapCanvas : public QWidget, public gis::DisplayPainter {
 public:
  explicit MapCanvas(QWidget* parent = nullptr);
  ~MapCanvas() override;

  // Shows the document's focus map at its extent (or the whole of its data).
  void set_document(IMxDocument* document);
  // Draws the map again (after layers were switched on or off).
  void redraw();
  // The whole of the map's data with a small margin around it.
  void whole_map();
  // The map units shown: xmin, ymin, xmax, ymax filling the canvas.
  gis::MapView view() const;
  // Shows the rectangle of map units, whole and centred.
  void show_extent(double xmin, double ymin, double xmax, double ymax);
  // The map point under a canvas pixel, and back.
  QPointF to_map(QPointF pixel) const;
  QPointF to_pixel(double x, double y) const;
  // What the canvas shows now, display drawings included (drawn first when the map was
  // changed since).
  const QImage& picture();
  // Adopts a change of the map's extent made by someone else; true when there was one.
  bool follow_map_extent();

  // The cursor moved to map point (x, y).
  std::function<void(double x, double y)> on_cursor;
  // The display drew on the canvas (after each drawing call and at its end).
  std::function<void()> on_display_drawn;
  // The map was drawn; warnings name what could not be drawn (a layer whose source is
  // missing or unreadable, features that cannot be projected).
  std::function<void(const std::vector<std::string>& warnings)> on_map_drawn;

  // gis::DisplayPainter
  void StartDrawing() override;
  void Draw(const gis::DisplayCall& call, const gis::DrawnSymbol& symbol,
            const std::vector<gis::DrawnPart>& parts) override;
  void FinishDrawing() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  bool map_extent(double e[4]) const;
  void fit(const double e[4]);
  void render();

  win32::ComPtr<IMxDocument> document_;
  double center_x_ = 0, center_y_ = 0, scale_ = 1;  // scale: pixels a map unit
  double seen_extent_[4] = {0, 0, 0, 0};
  bool has_seen_extent_ = false;
  QImage picture_;
  bool stale_ = true;   // the map changed since picture_ was drawn
  bool fitted_ = false;  // fit_ is kept whole until the view is moved
  double fit_[4] = {0, 0, 1, 1};
  QPoint drag_from_;
  QPoint drag_offset_;  // where the picture is shown while a drag goes on
  QPointF drag_center_;
  bool dragging_ = false;
};

}  // namespace host
