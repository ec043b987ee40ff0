// MapCanvas: the focus map on screen. It draws the map as `areaclip render` draws it (the
// same drawing, painted straight onto images while the features of the view are read), in
// the background: a change of the view or of the map asks for a drawing, which starts once
// the window's thread is idle (changes made together draw once) from what the drawing takes
// from the document then (gis::MapViewDrawing), and runs on the drawer's threads (a layer a
// core) while the window goes on answering. A new drawing cancels the one under way;
// meanwhile the last picture is shown moved and scaled to the view, and the finished
// picture replaces it. Each layer's image is kept with what it drew (its key) for the view:
// a layer whose source and looks are unchanged is not drawn again while the view stays (a
// layer switched on or off lays the kept images over each other again). A rectangle asked
// for stays whole in the canvas when it is resized, until the view is moved. It pans with
// the left mouse button (the picture follows the mouse and the map is drawn again where the
// drag ends), zooms with the wheel about the cursor and to a box drawn with Shift and the
// left button, goes back to views before and forward again (previous_view, next_view),
// zooms and pans with the keys (+, -, the arrows; Home shows the whole map), shows a scale
// bar at its lower left when the map's units are known, and is the screen under the
// application's display: the display's drawing calls paint over the map picture with the
// symbol's colour and raster operation (XOR drawn twice leaves every pixel as it was). A change of the map's extent by
// anyone else (a bookmark's zoom) becomes the canvas's view.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include <QImage>
#include <QWidget>

#include <gis/core.h>
#include <gis/display.h>
#include <gis/render.h>
#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"
#include "map_drawer.h"

class QTimer;

namespace host {

class MapCanvas : public QWidget, public gis::DisplayPainter {
 public:
  explicit MapCanvas(QWidget* parent = nullptr);
  ~MapCanvas() override;

  // Shows the document's focus map at its extent (or the whole of its data).
  void set_document(IMxDocument* document);
  // Draws the map again (after layers were switched on or off), in the background.
  void redraw();
  // Forgets the layers' kept pictures and draws them all again (their data changed).
  void reload();
  // Whether a drawing is asked for or under way.
  bool drawing() const { return stale_ || job_ != 0; }
  // The layers' and graphics' pictures drawn to their end so far (tests count redrawing).
  long steps_drawn() const { return drawer_->StepsDrawn(); }
  // The whole of the map's data with a small margin around it.
  void whole_map();
  // A layer's data (a group's: all its layers') with a small margin around it; false when
  // it has none.
  bool show_layer(ILayer* layer);
  // The bounds with a small margin around them; a single point is shown at the scale.
  void show_bounds(const gis::MapView& bounds);
  // The bounds of shapes' points; false when they have none.
  static bool bounds_of(const std::vector<gis::ShapeParts>& shapes, gis::MapView* bounds);
  // Goes back to the view before the last change of the view (a pan, a zoom, a rectangle
  // shown); false when there is none. Up to kHistory views are remembered.
  bool previous_view();
  // Goes forward again to the view previous_view left; false when there is none (another
  // change of the view forgets the views ahead).
  bool next_view();
  // Zooms by factor (above 1 nearer) about the view's centre.
  void zoom(double factor);
  // Moves the view by a part of its width (dx) and height (dy), east and north positive.
  void pan(double dx, double dy);
  // Shows the map at 1:denominator about the view's centre; false when the map's units are
  // unknown or the denominator is not a positive number.
  bool set_scale_denominator(double denominator);
  // The denominator a person typed: "1:50 000", "1:50000", "50 000", "50,000"; 0 when the
  // text is none.
  static double parse_scale(const QString& text);
  // The scale bar for a view of metres_per_pixel: the longest round length (1, 2 or 5 times
  // a power of ten metres) of at most max_pixels, its pixels and its text ("500 m",
  // "2 km"). No bar (0 pixels) when metres_per_pixel is not positive.
  struct ScaleBar {
    double metres = 0;
    double pixels = 0;
    QString text;
  };
  static ScaleBar scale_bar(double metres_per_pixel, double max_pixels);
  // The map's scale as 1:N on a screen of 96 pixels an inch: N, or 0 when the map's
  // units are unknown (no coordinate system). Degrees count at the view's middle latitude.
  double scale_denominator() const;
  // The map units shown: xmin, ymin, xmax, ymax filling the canvas.
  gis::MapView view() const;
  // Shows the rectangle of map units, whole and centred.
  void show_extent(double xmin, double ymin, double xmax, double ymax);
  // The map point under a canvas pixel, and back.
  QPointF to_map(QPointF pixel) const;
  QPointF to_pixel(double x, double y) const;
  // The map of the view, display drawings included: a drawing asked for or under way is
  // finished first, the window's thread waiting for it (the display draws over the map as it
  // is now).
  const QImage& picture();
  // Adopts a change of the map's extent made by someone else; true when there was one.
  bool follow_map_extent();
  // Shapes (in map units) drawn over the map as selected (an attribute table's rows); none
  // clears them.
  void set_selection(std::vector<gis::ShapeParts> shapes);
  const std::vector<gis::ShapeParts>& selection() const { return selection_; }
  // Named frames (in map units) drawn over the map with their names: the sheet grid.
  struct Frame {
    QString name;
    std::vector<gis::ShapeParts> shapes;
  };
  void set_frames(std::vector<Frame> frames);
  const std::vector<Frame>& frames() const { return frames_; }

  // The view changed (or the map was asked to be drawn again).
  std::function<void()> on_view;
  // The cursor moved to map point (x, y).
  std::function<void(double x, double y)> on_cursor;
  // The left button was clicked (pressed and released without moving) at map point (x, y).
  std::function<void(double x, double y)> on_click;
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
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool map_extent(double e[4]) const;
  void fit(const double e[4]);
  void refresh();
  void adopt();
  // Remembers the view as it is before a change of it (and forgets the views ahead).
  void remember();
  struct ShownView;
  ShownView shown() const;
  void show(const ShownView& view);
  void compose(const gis::MapViewDrawing& drawing, const gis::MapView& view);

  struct Kept {
    StepPicture picture;
    uint64_t used = 0;  // the composition that last used it
  };

  win32::ComPtr<IMxDocument> document_;
  double center_x_ = 0, center_y_ = 0, scale_ = 1;  // scale: pixels a map unit
  double seen_extent_[4] = {0, 0, 0, 0};
  bool has_seen_extent_ = false;
  QImage picture_;
  gis::MapView picture_view_;  // the view picture_ shows
  bool stale_ = true;   // the map changed since the last drawing was asked for
  QTimer* refresh_ = nullptr;
  std::unique_ptr<MapDrawer> drawer_;
  uint64_t job_ = 0;  // the drawing under way, 0 when none
  std::shared_ptr<const gis::MapViewDrawing> drawing_;  // what it draws
  std::vector<size_t> drawing_steps_;                    // the steps it draws
  // Handed over from the drawer's thread.
  std::mutex finished_lock_;
  uint64_t finished_job_ = 0;
  std::vector<StepPicture> finished_;
  // The steps' pictures kept for kept_view_, by key.
  std::unordered_map<std::string, Kept> kept_;
  gis::MapView kept_view_;
  uint64_t compositions_ = 0;
  struct ShownView {
    double center_x, center_y, scale;
    bool fitted;
    double fit[4];
  };
  static constexpr size_t kHistory = 50;
  std::vector<ShownView> history_;
  std::vector<ShownView> ahead_;  // the views previous_view left, the last nearest
  double metres_per_unit_ = 0;  // of the map's system; 0 unknown
  bool degrees_ = false;        // the map's units are degrees
  bool boxing_ = false;         // a zoom box is being drawn (Shift and the left button)
  QPoint box_from_, box_to_;
  bool fitted_ = false;  // fit_ is kept whole until the view is moved
  double fit_[4] = {0, 0, 1, 1};
  QPoint drag_from_;
  QPoint drag_offset_;  // where the picture is shown while a drag goes on
  QPointF drag_center_;
  bool dragging_ = false;
  std::vector<gis::ShapeParts> selection_;
  std::vector<Frame> frames_;
};

}  // namespace host
