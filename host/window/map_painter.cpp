#include "map_painter.h"

#include <QFontMetricsF>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace host {

namespace {

Qt::BrushStyle brush_style(esriSimpleFillStyle style) {
  switch (style) {
    case esriSFSHorizontal: return Qt::HorPattern;
    case esriSFSVertical: return Qt::VerPattern;
    case esriSFSForwardDiagonal: return Qt::BDiagPattern;  // "/"
    case esriSFSBackwardDiagonal: return Qt::FDiagPattern;  // "\"
    case esriSFSCross: return Qt::CrossPattern;
    case esriSFSDiagonalCross: return Qt::DiagCrossPattern;
    default: return Qt::SolidPattern;
  }
}

// The dashes of a line style, in widths of the pen; empty for a solid line.
QList<qreal> dashes(esriSimpleLineStyle style) {
  switch (style) {
    case esriSLSDash: return {4, 2};
    case esriSLSDot: return {0.5, 2};
    case esriSLSDashDot: return {4, 2, 0.5, 2};
    case esriSLSDashDotDot: return {4, 2, 0.5, 2, 0.5, 2};
    default: return {};
  }
}

// A marker of the look centred on `at`, as the map picture draws it.
void draw_marker(QPainter& painter, const gis::Look& look, QPointF at) {
  const double r = std::max(look.marker_size * gis::kPixelsPerPoint / 2, 1.0);
  painter.setBrush(look.has_fill ? QBrush(MapColor(look.fill)) : QBrush(Qt::NoBrush));
  if (look.has_stroke)
    painter.setPen(QPen(MapColor(look.stroke), std::max(look.stroke_width * gis::kPixelsPerPoint, 0.5)));
  else
    painter.setPen(Qt::NoPen);
  switch (look.marker_style) {
    case esriSMSSquare:
      painter.drawRect(QRectF(at.x() - r, at.y() - r, 2 * r, 2 * r));
      break;
    case esriSMSDiamond: {
      const QPointF corners[] = {at + QPointF(0, -r), at + QPointF(r, 0), at + QPointF(0, r), at + QPointF(-r, 0)};
      painter.drawPolygon(corners, 4);
      break;
    }
    case esriSMSCross:
    case esriSMSX: {
      const double d = look.marker_style == esriSMSX ? r * 0.75 : r;
      painter.setPen(QPen(MapColor(look.has_fill ? look.fill : look.stroke), std::max(r / 3, 1.0)));
      if (look.marker_style == esriSMSCross) {
        painter.drawLine(at + QPointF(-d, 0), at + QPointF(d, 0));
        painter.drawLine(at + QPointF(0, -d), at + QPointF(0, d));
      } else {
        painter.drawLine(at + QPointF(-d, -d), at + QPointF(d, d));
        painter.drawLine(at + QPointF(-d, d), at + QPointF(d, -d));
      }
      break;
    }
    default:
      painter.drawEllipse(at, r, r);
  }
}

}  // namespace

QColor MapColor(LONG rgb) { return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF); }

QtMapPainter::QtMapPainter(QPainter& painter, bool antialiased) : painter_(painter), antialiased_(antialiased) {
  painter_.setRenderHint(QPainter::Antialiasing, antialiased);
}

const QtMapPainter::Stamp& QtMapPainter::stamp(const gis::Look& look) {
  if (last_stamp_ < stamps_.size() && stamps_[last_stamp_].look == look) return stamps_[last_stamp_];
  for (size_t i = 0; i < stamps_.size(); ++i)
    if (stamps_[i].look == look) return stamps_[last_stamp_ = i];
  // The marker with room for its outline, centred on a pixel's middle.
  const double r = std::max(look.marker_size * gis::kPixelsPerPoint / 2, 1.0) +
                   std::max(look.stroke_width * gis::kPixelsPerPoint, 1.0) + 1;
  const int side = 2 * static_cast<int>(std::ceil(r)) + 1;
  Stamp s{look, QImage(side, side, QImage::Format_ARGB32_Premultiplied), QPointF(-side / 2.0, -side / 2.0)};
  s.image.fill(Qt::transparent);
  {
    QPainter p(&s.image);
    p.setRenderHint(QPainter::Antialiasing);
    draw_marker(p, look, QPointF(side / 2.0, side / 2.0));
  }
  stamps_.push_back(std::move(s));
  last_stamp_ = stamps_.size() - 1;
  return stamps_.back();
}

void QtMapPainter::Marker(const gis::Look& look, double x, double y) {
  drew_ = true;
  if (!antialiased_) {
    draw_marker(painter_, look, QPointF(x, y));
    has_style_ = false;
    return;
  }
  const Stamp& s = stamp(look);
  // Stamped whole pixels apart: the image stays as drawn, no resampling.
  painter_.drawImage(QPointF(std::floor(x + s.offset.x() + 0.5), std::floor(y + s.offset.y() + 0.5)), s.image);
}

void QtMapPainter::use(const gis::Look& look, int dimension) {
  if (has_style_ && style_dimension_ == dimension && style_ == look) return;
  has_style_ = true;
  style_ = look;
  style_dimension_ = dimension;
  if (dimension == 2) {
    painter_.setBrush(look.has_fill ? QBrush(MapColor(look.fill), brush_style(look.fill_style)) : QBrush(Qt::NoBrush));
    if (look.has_stroke)
      painter_.setPen(QPen(MapColor(look.stroke), look.stroke_width * gis::kPixelsPerPoint, Qt::SolidLine, Qt::FlatCap,
                           look.stroke_width * gis::kPixelsPerPoint > 2 ? Qt::RoundJoin : Qt::BevelJoin));
    else
      painter_.setPen(Qt::NoPen);
    return;
  }
  painter_.setBrush(Qt::NoBrush);
  if (!look.has_stroke) {
    painter_.setPen(Qt::NoPen);
    return;
  }
  // Round joins and caps show on wide lines only; on thin ones they cost the stroker
  // trigonometry at every vertex and look the same as bevelled ones.
  const double width = std::max(look.stroke_width * gis::kPixelsPerPoint, 0.5);
  const bool wide = width > 2;
  QPen pen(MapColor(look.stroke), width, Qt::SolidLine, wide ? Qt::RoundCap : Qt::SquareCap,
           wide ? Qt::RoundJoin : Qt::BevelJoin);
  if (const QList<qreal> d = dashes(look.line_style); !d.isEmpty()) pen.setDashPattern(d);
  painter_.setPen(pen);
}

void QtMapPainter::Shape(const gis::Look& look, int dimension, const std::vector<double>& xy,
                         const std::vector<int>& part_ends) {
  if (dimension == 2 && !look.has_fill && !look.has_stroke) return;
  if (dimension == 1 && !look.has_stroke) return;
  use(look, dimension);
  drew_ = true;
  points_.resize(xy.size() / 2);
  for (size_t i = 0; i < points_.size(); ++i) points_[i] = QPointF(xy[2 * i], xy[2 * i + 1]);
  if (dimension == 2 && part_ends.size() > 1) {
    // Rings of one area fill together: holes stay holes.
    QPainterPath area;
    area.setFillRule(Qt::OddEvenFill);
    int begin = 0;
    for (int end : part_ends) {
      area.moveTo(points_[begin]);
      for (int i = begin + 1; i < end; ++i) area.lineTo(points_[i]);
      area.closeSubpath();
      begin = end;
    }
    painter_.drawPath(area);
    return;
  }
  int begin = 0;
  for (int end : part_ends) {
    if (dimension == 2)
      painter_.drawPolygon(points_.data() + begin, end - begin, Qt::OddEvenFill);
    else
      painter_.drawPolyline(points_.data() + begin, end - begin);
    begin = end;
  }
}

void QtMapPainter::Text(const gis::Look& look, double x, double y, const std::string& text) {
  QFont font("DejaVu Sans");
  font.setPixelSize(14);
  const QString s = QString::fromStdString(text);
  const QFontMetricsF metrics(font);
  // Centred on the point, with a white halo as the map picture draws it.
  QPainterPath path;
  path.addText(x - metrics.horizontalAdvance(s) / 2, y + (metrics.ascent() - metrics.descent()) / 2, font, s);
  painter_.strokePath(path, QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter_.fillPath(path, MapColor(look.fill));
  drew_ = true;
  has_style_ = false;
}

void QtMapPainter::Image(int x, int y, int width, int height, const std::vector<std::uint32_t>& argb) {
  if (width <= 0 || height <= 0 || argb.size() < static_cast<size_t>(width) * height) return;
  const QImage image(reinterpret_cast<const uchar*>(argb.data()), width, height, width * 4, QImage::Format_ARGB32);
  painter_.drawImage(QPoint(x, y), image);
  drew_ = true;
}

StepPicture DrawStep(const gis::MapViewDrawing& drawing, size_t step, QSize size, const std::atomic<bool>* cancel) {
  StepPicture out;
  out.image = QImage(size, QImage::Format_ARGB32_Premultiplied);
  out.image.fill(Qt::transparent);
  bool drew = false;
  {
    QPainter painter(&out.image);
    QtMapPainter map_painter(painter);
    drawing.Draw(step, map_painter, &out.warnings, cancel);
    drew = map_painter.drew();
  }
  if (!drew) out.image = QImage();
  return out;
}

void LayOver(QImage& picture, const StepPicture& step, std::vector<std::string>* warnings) {
  if (!step.image.isNull()) {
    QPainter painter(&picture);
    painter.drawImage(0, 0, step.image);
  }
  if (warnings) warnings->insert(warnings->end(), step.warnings.begin(), step.warnings.end());
}

void DrawMapView(IMxDocument* document, const gis::MapView& view, QImage& picture, std::vector<std::string>* warnings) {
  const gis::MapViewDrawing drawing(document, view);
  const size_t steps = drawing.steps();
  const size_t threads = std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), steps);
  const QSize picture_size = picture.size();
  if (threads <= 1) {
    QPainter painter(&picture);
    QtMapPainter map_painter(painter);
    for (size_t step = 0; step < steps; ++step) drawing.Draw(step, map_painter, warnings);
    return;
  }
  struct Step {
    StepPicture picture;
    bool done = false;
  };
  std::vector<Step> done(steps);
  std::mutex lock;
  std::condition_variable changed;
  size_t next = 0, laid = 0;
  // Pictures drawn ahead of the one to be laid on next, at most: memory stays bounded
  // however many layers the map has.
  const size_t ahead = 2 * threads;
  auto work = [&] {
    for (;;) {
      size_t step;
      {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [&] { return next >= steps || next < laid + ahead; });
        if (next >= steps) return;
        step = next++;
      }
      StepPicture picture = DrawStep(drawing, step, picture_size);
      {
        std::lock_guard<std::mutex> hold(lock);
        done[step] = {std::move(picture), true};
      }
      changed.notify_all();
    }
  };
  std::vector<std::thread> helpers;
  for (size_t i = 0; i < threads; ++i) helpers.emplace_back(work);
  // Each picture is laid on as soon as those under it are.
  for (size_t step = 0; step < steps; ++step) {
    Step s;
    {
      std::unique_lock<std::mutex> hold(lock);
      changed.wait(hold, [&] { return done[step].done; });
      s = std::move(done[step]);
      laid = step + 1;
    }
    changed.notify_all();
    LayOver(picture, s.picture, warnings);
  }
  for (std::thread& t : helpers) t.join();
}

}  // namespace host
