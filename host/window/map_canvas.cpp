#include "map_canvas.h"

#include "map_painter.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <win32/text.h>

namespace host {

namespace {

QPainter::CompositionMode mode_of(esriRasterOpCode rop) {
  return rop == esriROPXOrPen ? QPainter::RasterOp_SourceXorDestination : QPainter::CompositionMode_SourceOver;
}

bool same_view(const gis::MapView& a, const gis::MapView& b) {
  return a.xmin == b.xmin && a.ymin == b.ymin && a.xmax == b.xmax && a.ymax == b.ymax && a.width == b.width &&
         a.height == b.height;
}

}  // namespace

MapCanvas::MapCanvas(QWidget* parent) : QWidget(parent), drawer_(std::make_unique<MapDrawer>()) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);  // the keys zoom and pan
  setMinimumSize(200, 150);
  setAttribute(Qt::WA_OpaquePaintEvent);
  refresh_ = new QTimer(this);
  refresh_->setSingleShot(true);
  connect(refresh_, &QTimer::timeout, this, [this] { refresh(); });
}

// The drawer's threads end before the canvas's members go.
MapCanvas::~MapCanvas() { drawer_.reset(); }

bool MapCanvas::map_extent(double e[4]) const {
  if (!document_) return false;
  win32::ComPtr<IMap> map;
  document_->get_FocusMap(map.put());
  auto view = map ? map.as<IActiveView>() : win32::ComPtr<IActiveView>();
  win32::ComPtr<IEnvelope> envelope;
  if (!view || FAILED(view->get_Extent(envelope.put())) || !envelope) return false;
  VARIANT_BOOL empty = VARIANT_TRUE;
  envelope->get_IsEmpty(&empty);
  if (empty != VARIANT_FALSE) return false;
  envelope->get_XMin(&e[0]);
  envelope->get_YMin(&e[1]);
  envelope->get_XMax(&e[2]);
  envelope->get_YMax(&e[3]);
  return e[2] > e[0] || e[3] > e[1];
}

namespace {

// Metres a unit of the system is, from its well-known text; *degrees when its units are
// degrees (a geographic system). 0 when the text names no system.
double metres_per_unit(const std::string& wkt, bool* degrees) {
  *degrees = wkt.rfind("GEOGCS", 0) == 0 || wkt.rfind("GEOGCRS", 0) == 0;
  if (*degrees) return 111319.49;  // a degree of latitude, near enough for a scale
  if (wkt.rfind("PROJCS", 0) != 0 && wkt.rfind("PROJCRS", 0) != 0) return 0;
  // The projected system's own unit is its last one: UNIT["Meter",1.0]].
  const size_t unit = wkt.rfind("UNIT[");
  const size_t comma = unit == std::string::npos ? unit : wkt.find(',', unit);
  if (comma == std::string::npos) return 0;
  const double factor = std::strtod(wkt.c_str() + comma + 1, nullptr);
  return factor > 0 ? factor : 0;
}

}  // namespace

double MapCanvas::scale_denominator() const {
  if (metres_per_unit_ <= 0) return 0;
  double metres = metres_per_unit_;
  if (degrees_) metres *= std::cos(std::clamp(center_y_, -89.0, 89.0) * M_PI / 180);
  return metres / scale_ * 96 / 0.0254;
}

MapCanvas::ShownView MapCanvas::shown() const {
  return {center_x_, center_y_, scale_, fitted_, {fit_[0], fit_[1], fit_[2], fit_[3]}};
}

void MapCanvas::show(const ShownView& v) {
  center_x_ = v.center_x, center_y_ = v.center_y, scale_ = v.scale;
  fitted_ = v.fitted;
  std::copy(v.fit, v.fit + 4, fit_);
  if (fitted_) fit(fit_);
  redraw();
}

void MapCanvas::remember() {
  const ShownView now = shown();
  ahead_.clear();
  if (!history_.empty()) {
    const ShownView& last = history_.back();
    if (last.center_x == now.center_x && last.center_y == now.center_y && last.scale == now.scale) return;
  }
  history_.push_back(now);
  if (history_.size() > kHistory) history_.erase(history_.begin());
}

bool MapCanvas::previous_view() {
  if (history_.empty()) return false;
  ahead_.push_back(shown());
  show(history_.back());
  history_.pop_back();
  return true;
}

bool MapCanvas::next_view() {
  if (ahead_.empty()) return false;
  history_.push_back(shown());
  show(ahead_.back());
  ahead_.pop_back();
  return true;
}

void MapCanvas::zoom(double factor) {
  if (!(factor > 0)) return;
  remember();
  fitted_ = false;
  scale_ *= factor;
  redraw();
}

void MapCanvas::pan(double dx, double dy) {
  const gis::MapView v = view();
  remember();
  fitted_ = false;
  center_x_ += dx * (v.xmax - v.xmin);
  center_y_ += dy * (v.ymax - v.ymin);
  redraw();
}

bool MapCanvas::set_scale_denominator(double denominator) {
  const double now = scale_denominator();
  if (!(denominator > 0) || !std::isfinite(denominator) || now <= 0) return false;
  zoom(now / denominator);
  return true;
}

double MapCanvas::parse_scale(const QString& text) {
  QString digits = text.trimmed();
  if (digits.startsWith("1:")) digits = digits.mid(2);
  // Thousands apart by spaces (no-break ones too), commas or apostrophes.
  digits.remove(QRegularExpression("[\\s\\x{00A0}\\x{202F},']"));
  bool ok = false;
  const double n = digits.toDouble(&ok);
  return ok && n > 0 && std::isfinite(n) ? n : 0;
}

MapCanvas::ScaleBar MapCanvas::scale_bar(double metres_per_pixel, double max_pixels) {
  ScaleBar bar;
  if (!(metres_per_pixel > 0) || !(max_pixels > 0)) return bar;
  const double most = metres_per_pixel * max_pixels;
  double power = std::pow(10.0, std::floor(std::log10(most)));
  for (const double step : {5.0, 2.0, 1.0})
    if (step * power <= most) {
      bar.metres = step * power;
      break;
    }
  bar.pixels = bar.metres / metres_per_pixel;
  bar.text = bar.metres >= 1000 ? QString::number(bar.metres / 1000, 'g', 6) + " km"
             : bar.metres >= 1  ? QString::number(bar.metres, 'g', 6) + " m"
                                 : QString::number(bar.metres * 100, 'g', 6) + " cm";
  return bar;
}

void MapCanvas::set_document(IMxDocument* document) {
  const bool another = document != document_.get();
  if (another) {
    // Another document's layers may read other data under the same names; what is drawn
    // for the one before is of no use.
    kept_.clear();
    drawer_->Cancel();
    job_ = 0;
    drawing_.reset();
  }
  // The map's units, for its scale.
  metres_per_unit_ = 0;
  win32::ComPtr<IMap> map;
  win32::ComPtr<ISpatialReference> system;
  win32::Bstr wkt;
  if (document && SUCCEEDED(document->get_FocusMap(map.put())) && map &&
      SUCCEEDED(map->get_SpatialReference(system.put())) && system &&
      SUCCEEDED(system->ExportToESRISpatialReference(wkt.put(), nullptr)))
    metres_per_unit_ = metres_per_unit(wkt.utf8(), &degrees_);
  document_ = win32::ComPtr<IMxDocument>(document);
  has_seen_extent_ = map_extent(seen_extent_);
  if (has_seen_extent_)
    show_extent(seen_extent_[0], seen_extent_[1], seen_extent_[2], seen_extent_[3]);
  else
    whole_map();
  if (another) history_.clear();  // the views before were of another map
}

bool MapCanvas::follow_map_extent() {
  double e[4];
  const bool has = map_extent(e);
  if (has == has_seen_extent_ && (!has || std::equal(e, e + 4, seen_extent_))) return false;
  has_seen_extent_ = has;
  std::copy(e, e + 4, seen_extent_);
  if (has) show_extent(e[0], e[1], e[2], e[3]);
  return has;
}

void MapCanvas::whole_map() {
  gis::MapView bounds;
  if (!document_ || !gis::FocusMapBounds(document_.get(), &bounds)) {
    show_extent(0, 0, 1, 1);
    return;
  }
  show_bounds(bounds);
}

bool MapCanvas::show_layer(ILayer* layer) {
  gis::MapView bounds;
  if (!document_ || !gis::LayerBounds(document_.get(), layer, &bounds)) return false;
  show_bounds(bounds);
  return true;
}

bool MapCanvas::bounds_of(const std::vector<gis::ShapeParts>& shapes, gis::MapView* bounds) {
  bool any = false;
  for (const gis::ShapeParts& s : shapes)
    for (size_t i = 0; i + 1 < s.xy.size(); i += 2) {
      const double x = s.xy[i], y = s.xy[i + 1];
      if (!any) {
        bounds->xmin = bounds->xmax = x;
        bounds->ymin = bounds->ymax = y;
        any = true;
      }
      bounds->xmin = std::min(bounds->xmin, x), bounds->xmax = std::max(bounds->xmax, x);
      bounds->ymin = std::min(bounds->ymin, y), bounds->ymax = std::max(bounds->ymax, y);
    }
  return any;
}

void MapCanvas::show_bounds(const gis::MapView& bounds) {
  if (bounds.xmax - bounds.xmin <= 0 && bounds.ymax - bounds.ymin <= 0) {
    // One point: the view moves to it at its scale.
    remember();
    fitted_ = false;
    center_x_ = bounds.xmin, center_y_ = bounds.ymin;
    redraw();
    return;
  }
  const double dx = std::max(bounds.xmax - bounds.xmin, 1e-9) * 0.04;
  const double dy = std::max(bounds.ymax - bounds.ymin, 1e-9) * 0.04;
  show_extent(bounds.xmin - dx, bounds.ymin - dy, bounds.xmax + dx, bounds.ymax + dy);
}

void MapCanvas::show_extent(double xmin, double ymin, double xmax, double ymax) {
  remember();
  fit_[0] = xmin, fit_[1] = ymin, fit_[2] = xmax, fit_[3] = ymax;
  fitted_ = true;
  fit(fit_);
  redraw();
}

void MapCanvas::fit(const double e[4]) {
  center_x_ = (e[0] + e[2]) / 2;
  center_y_ = (e[1] + e[3]) / 2;
  const double w = std::max(e[2] - e[0], 1e-9), h = std::max(e[3] - e[1], 1e-9);
  scale_ = std::min(std::max(width(), 1) / w, std::max(height(), 1) / h);
}

gis::MapView MapCanvas::view() const {
  gis::MapView v;
  v.width = std::max(width(), 1);
  v.height = std::max(height(), 1);
  v.xmin = center_x_ - v.width / 2.0 / scale_;
  v.xmax = center_x_ + v.width / 2.0 / scale_;
  v.ymin = center_y_ - v.height / 2.0 / scale_;
  v.ymax = center_y_ + v.height / 2.0 / scale_;
  return v;
}

QPointF MapCanvas::to_map(QPointF pixel) const {
  const gis::MapView v = view();
  return {v.xmin + pixel.x() / scale_, v.ymax - pixel.y() / scale_};
}

QPointF MapCanvas::to_pixel(double x, double y) const {
  const gis::MapView v = view();
  return {(x - v.xmin) * scale_, (v.ymax - y) * scale_};
}

void MapCanvas::redraw() {
  stale_ = true;
  refresh_->start(0);
  if (on_view) on_view();
}

void MapCanvas::reload() {
  kept_.clear();
  redraw();
}

const QImage& MapCanvas::picture() {
  if (stale_) refresh();
  if (job_ != 0) {
    drawer_->Wait();
    adopt();
  }
  return picture_;
}

void MapCanvas::refresh() {
  stale_ = false;
  refresh_->stop();
  const gis::MapView v = view();
  auto drawing = std::make_shared<const gis::MapViewDrawing>(document_.get(), v);
  if (!same_view(v, kept_view_)) {
    kept_.clear();
    kept_view_ = v;
  }
  // The steps whose pictures are not kept, each key once.
  std::vector<size_t> missing;
  std::vector<std::string> asked;
  for (size_t step = 0; step < drawing->steps(); ++step) {
    const std::string& key = drawing->key(step);
    if (kept_.count(key) || std::find(asked.begin(), asked.end(), key) != asked.end()) continue;
    asked.push_back(key);
    missing.push_back(step);
  }
  if (missing.empty()) {
    drawer_->Cancel();
    job_ = 0;
    compose(*drawing, v);
    return;
  }
  drawing_ = drawing;
  drawing_steps_ = missing;
  job_ = drawer_->Start(drawing, missing, QSize(v.width, v.height), [this](uint64_t job, std::vector<StepPicture> pictures) {
    // On a drawer's thread: handed over, and adopted on the window's.
    {
      std::lock_guard<std::mutex> hold(finished_lock_);
      finished_job_ = job;
      finished_ = std::move(pictures);
    }
    QMetaObject::invokeMethod(this, [this] { adopt(); }, Qt::QueuedConnection);
  });
}

void MapCanvas::adopt() {
  std::vector<StepPicture> pictures;
  {
    std::lock_guard<std::mutex> hold(finished_lock_);
    if (finished_job_ != job_ || job_ == 0) return;
    pictures = std::move(finished_);
    finished_job_ = 0;
  }
  job_ = 0;
  for (size_t i = 0; i < drawing_steps_.size() && i < pictures.size(); ++i)
    kept_[drawing_->key(drawing_steps_[i])] = {std::move(pictures[i]), compositions_};
  compose(*drawing_, kept_view_);
  drawing_.reset();
}

void MapCanvas::compose(const gis::MapViewDrawing& drawing, const gis::MapView& v) {
  ++compositions_;
  picture_ = QImage(v.width, v.height, QImage::Format_RGB32);
  picture_.fill(Qt::white);
  std::vector<std::string> warnings;
  for (size_t step = 0; step < drawing.steps(); ++step) {
    Kept& kept = kept_.at(drawing.key(step));
    kept.used = compositions_;
    LayOver(picture_, kept.picture, &warnings);
  }
  // Pictures of layers switched off stay for one more composition (switched on again, they
  // are not drawn again); older ones go.
  std::erase_if(kept_, [&](const auto& entry) { return entry.second.used + 1 < compositions_; });
  picture_view_ = v;
  update();
  if (on_map_drawn) on_map_drawn(warnings);
}

void MapCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  if (!picture_.isNull()) {
    // The last picture, moved and scaled to the view shown (the same until the view changes).
    const gis::MapView& p = picture_view_;
    const gis::MapView v = view();
    QRectF target((p.xmin - v.xmin) * scale_, (v.ymax - p.ymax) * scale_, (p.xmax - p.xmin) * scale_,
                  (p.ymax - p.ymin) * scale_);
    target.translate(drag_offset_);
    if (same_view(p, v) && drag_offset_.isNull())
      painter.drawImage(0, 0, picture_);
    else
      painter.drawImage(target, picture_);
  }
  // The sheet grid: each frame's outline and its name in its middle.
  if (!frames_.empty()) {
    painter.save();
    painter.translate(drag_offset_);
    painter.setPen(QPen(QColor(160, 0, 160), 1));
    for (const Frame& frame : frames_) {
      QRectF box;
      for (const gis::ShapeParts& s : frame.shapes) {
        int begin = 0;
        for (int end : s.part_ends) {
          QPolygonF ring;
          for (int i = begin; i < end; ++i) ring << to_pixel(s.xy[2 * i], s.xy[2 * i + 1]);
          painter.drawPolygon(ring);
          box = box.isNull() ? ring.boundingRect() : box.united(ring.boundingRect());
          begin = end;
        }
      }
      if (box.width() > painter.fontMetrics().horizontalAdvance(frame.name))
        painter.drawText(box, Qt::AlignCenter, frame.name);
    }
    painter.restore();
  }
  // The selection over the map, in the view as it is shown (moved while dragged).
  if (!selection_.empty()) {
    painter.save();
    painter.translate(drag_offset_);
    painter.setPen(QPen(QColor(0, 200, 255), 2));
    painter.setBrush(QColor(0, 200, 255, 60));
    for (const gis::ShapeParts& s : selection_) {
      if (s.dimension == 0) {
        for (size_t i = 0; i + 1 < s.xy.size(); i += 2)
          painter.drawRect(QRectF(to_pixel(s.xy[i], s.xy[i + 1]) - QPointF(5, 5), QSizeF(10, 10)));
        continue;
      }
      QPainterPath path;
      int begin = 0;
      for (int end : s.part_ends) {
        QPolygonF line;
        for (int i = begin; i < end; ++i) line << to_pixel(s.xy[2 * i], s.xy[2 * i + 1]);
        if (s.dimension == 2) {
          path.addPolygon(line);
          path.closeSubpath();
        } else {
          painter.drawPolyline(line);
        }
        begin = end;
      }
      path.setFillRule(Qt::OddEvenFill);
      if (!path.isEmpty()) painter.drawPath(path);
    }
    painter.restore();
  }
  // The scale bar at the lower left, on a white ground.
  if (const double n = scale_denominator(); n > 0) {
    const ScaleBar bar = scale_bar(n * 0.0254 / 96, 120);
    const int x = 12, y = height() - 14, h = 6, w = static_cast<int>(std::lround(bar.pixels));
    const QRect label = painter.fontMetrics().boundingRect(bar.text);
    painter.fillRect(QRect(x - 4, y - h - label.height() - 4, std::max(w, label.width()) + 8, h + label.height() + 8),
                     QColor(255, 255, 255, 200));
    painter.setPen(Qt::black);
    painter.drawRect(x, y - h, w, h);
    painter.fillRect(x, y - h, w / 2, h, Qt::black);
    painter.drawText(x, y - h - 3, bar.text);
  }
  if (boxing_) {
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter.setBrush(QColor(0, 0, 0, 30));
    painter.drawRect(QRect(box_from_, box_to_).normalized());
  }
}

void MapCanvas::resizeEvent(QResizeEvent*) {
  if (fitted_) fit(fit_);
  redraw();
}

void MapCanvas::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (event->modifiers() & Qt::ShiftModifier) {
    boxing_ = true;
    box_from_ = box_to_ = event->position().toPoint();
    return;
  }
  dragging_ = true;
  drag_from_ = event->position().toPoint();
  drag_center_ = {center_x_, center_y_};
}

void MapCanvas::mouseMoveEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  if (boxing_) {
    box_to_ = at.toPoint();
    update();
  }
  if (dragging_) {
    // The picture follows the mouse; the map is drawn again where the drag ends.
    drag_offset_ = at.toPoint() - drag_from_;
    update();
  }
  if (on_cursor) {
    // During a drag the point under the cursor is where the shifted picture shows it.
    const QPointF p = to_map(at - QPointF(drag_offset_));
    on_cursor(p.x(), p.y());
  }
}

void MapCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (boxing_) {
    boxing_ = false;
    const QRect box = QRect(box_from_, event->position().toPoint()).normalized();
    update();
    // A box of a few pixels is a slip of the hand, not a view.
    if (box.width() < 4 || box.height() < 4) return;
    const QPointF top_left = to_map(box.topLeft()), bottom_right = to_map(box.bottomRight());
    show_extent(top_left.x(), bottom_right.y(), bottom_right.x(), top_left.y());
    return;
  }
  if (!dragging_) return;
  dragging_ = false;
  const QPointF moved = event->position() - QPointF(drag_from_);
  drag_offset_ = {};
  if (moved.isNull()) {
    update();
    if (on_click) {
      const QPointF at = to_map(event->position());
      on_click(at.x(), at.y());
    }
    return;
  }
  remember();
  fitted_ = false;
  center_x_ = drag_center_.x() - moved.x() / scale_;
  center_y_ = drag_center_.y() + moved.y() / scale_;
  redraw();
}

void MapCanvas::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  if (steps == 0) return;
  // The map point under the cursor stays under it.
  const QPointF at = event->position();
  const QPointF fixed = to_map(at);
  remember();
  fitted_ = false;
  scale_ *= std::pow(1.25, steps);
  const gis::MapView v = view();
  const QPointF now = {v.xmin + at.x() / scale_, v.ymax - at.y() / scale_};
  center_x_ += fixed.x() - now.x();
  center_y_ += fixed.y() - now.y();
  redraw();
}

void MapCanvas::set_selection(std::vector<gis::ShapeParts> shapes) {
  selection_ = std::move(shapes);
  update();
}

void MapCanvas::set_frames(std::vector<Frame> frames) {
  frames_ = std::move(frames);
  update();
}

void MapCanvas::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      zoom(1.25);
      break;
    case Qt::Key_Minus:
      zoom(1 / 1.25);
      break;
    case Qt::Key_Left:
      pan(-0.25, 0);
      break;
    case Qt::Key_Right:
      pan(0.25, 0);
      break;
    case Qt::Key_Up:
      pan(0, 0.25);
      break;
    case Qt::Key_Down:
      pan(0, -0.25);
      break;
    case Qt::Key_Home:
      whole_map();
      break;
    default:
      QWidget::keyPressEvent(event);
  }
}

void MapCanvas::StartDrawing() {}

void MapCanvas::Draw(const gis::DisplayCall& call, const gis::DrawnSymbol& symbol,
                     const std::vector<gis::DrawnPart>& parts) {
  picture();  // the display draws over the map as it is now
  QPainter painter(&picture_);
  painter.setCompositionMode(mode_of(symbol.rop2));
  // Drawn in the looks the map is drawn in, through the map's painter. A raster operation
  // (XOR) undoes itself only where each pixel is drawn whole: no antialiasing then.
  QtMapPainter map_painter(painter, symbol.rop2 == esriROPCopyPen);
  std::vector<double> xy;
  std::vector<int> ends;
  int dimension = -1;
  for (const gis::DrawnPart& part : parts) {
    if (part.points.empty()) continue;
    dimension = std::clamp(part.dimension, 0, 2);
    for (const auto& [x, y] : part.points) {
      const QPointF at = to_pixel(x, y);
      xy.push_back(at.x());
      xy.push_back(at.y());
    }
    ends.push_back(static_cast<int>(xy.size() / 2));
  }
  if (call.kind == gis::DisplayCall::DrawText && !xy.empty()) {
    // A text at the middle of its place.
    double box[4] = {xy[0], xy[1], xy[0], xy[1]};
    for (size_t i = 0; i + 1 < xy.size(); i += 2)
      box[0] = std::min(box[0], xy[i]), box[1] = std::min(box[1], xy[i + 1]), box[2] = std::max(box[2], xy[i]),
      box[3] = std::max(box[3], xy[i + 1]);
    map_painter.Text(gis::TextLook(gis::SymbolLook(symbol, 0)), (box[0] + box[2]) / 2, (box[1] + box[3]) / 2, call.text);
  } else if (dimension == 0) {
    const gis::Look look = gis::SymbolLook(symbol, 0);
    for (size_t i = 0; i + 1 < xy.size(); i += 2) map_painter.Marker(look, xy[i], xy[i + 1]);
  } else if (dimension > 0) {
    // Rings fill as one path (holes stay holes), so XOR touches each pixel once.
    map_painter.Shape(gis::SymbolLook(symbol, dimension), dimension, xy, ends);
  }
  painter.end();
  repaint();
  if (on_display_drawn) on_display_drawn();
}

void MapCanvas::FinishDrawing() {
  repaint();
  if (on_display_drawn) on_display_drawn();
}

}  // namespace host
