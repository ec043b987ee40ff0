#include "view_sink.h"

#include <algorithm>
#include <cmath>

#include "raster_view.h"

namespace gis::carto {

ViewSink::ViewSink(MapPainter& painter, const Bounds& view, double scale, double x0, double y0, double width,
                   double height)
    : painter_(painter), view_(view), scale_(scale), x0_(x0), y0_(y0), width_(width), height_(height) {}

void ViewSink::shape(const Look& look, const ShapeParts& s) {
  if (s.dimension == 0) {
    for (size_t i = 0; i + 1 < s.xy.size(); i += 2) {
      const double x = px(s.xy[i]), y = py(s.xy[i + 1]);
      if (x > x0_ - kReach && y > y0_ - kReach && x < x0_ + width_ + kReach && y < y0_ + height_ + kReach)
        painter_.Marker(look, x, y);
    }
    return;
  }
  xy_.clear();
  ends_.clear();
  if (s.dimension == 1)
    add_paths(s);
  else
    add_rings(s);
  if (!ends_.empty()) painter_.Shape(look, s.dimension, xy_, ends_);
}

void ViewSink::text(const Look& look, const ShapeParts& s, const std::string& text) {
  const Bounds b = bounds_of(s);
  if (b.empty()) return;
  painter_.Text(text_look(look), px((b.xmin + b.xmax) / 2), py((b.ymin + b.ymax) / 2), text);
}

std::string ViewSink::raster(const std::string& path, ISpatialReference* system) {
  RasterPicture picture;
  const std::string problem = read_raster_view(path, system, {view_, scale_, x0_, y0_, width_, height_}, &picture);
  if (problem.empty() && !picture.argb.empty())
    painter_.Image(picture.x, picture.y, picture.width, picture.height, picture.argb);
  return problem;
}

int ViewSink::outside(double x, double y) const {
  return (x < x0_ - kReach) | (x > x0_ + width_ + kReach) << 1 | (y < y0_ - kReach) << 2 |
         (y > y0_ + height_ + kReach) << 3;
}

bool ViewSink::near_last(double x, double y, size_t first) const {
  const size_t n = xy_.size();
  return n > first && std::abs(x - xy_[n - 2]) < 1 && std::abs(y - xy_[n - 1]) < 1;
}

void ViewSink::add_rings(const ShapeParts& s) {
  int begin = 0;
  for (int end : s.part_ends) {
    const size_t first = xy_.size();
    for (int i = begin; i < end; ++i) {
      const double x = px(s.xy[2 * i]), y = py(s.xy[2 * i + 1]);
      if (i != end - 1 && near_last(x, y, first)) continue;
      xy_.push_back(x);
      xy_.push_back(y);
    }
    begin = end;
    if (xy_.size() > first) ends_.push_back(static_cast<int>(xy_.size() / 2));
  }
}

void ViewSink::add_paths(const ShapeParts& s) {
  int begin = 0;
  for (int end : s.part_ends) {
    size_t first = 0;
    bool open = false, last_kept = false;
    double last_x = 0, last_y = 0;
    int last_code = 0;
    auto close = [&] {
      if (!last_kept) xy_.insert(xy_.end(), {last_x, last_y});
      if (xy_.size() - first >= 4) ends_.push_back(static_cast<int>(xy_.size() / 2));
      else xy_.resize(first);
      open = false;
    };
    for (int i = begin; i < end; ++i) {
      const double x = px(s.xy[2 * i]), y = py(s.xy[2 * i + 1]);
      const int code = outside(x, y);
      if (i > begin && (code & last_code) == 0) {
        if (!open) {
          first = xy_.size();
          xy_.insert(xy_.end(), {last_x, last_y});
          open = true;
        }
        last_kept = !near_last(x, y, first);
        if (last_kept) xy_.insert(xy_.end(), {x, y});
      } else if (open) {
        close();
      }
      last_x = x, last_y = y, last_code = code;
    }
    if (open) close();
    begin = end;
  }
}

ViewSetup setup_view(Map& map, const MapView& in) {
  ViewSetup v;
  v.width = std::max(in.width, 1), v.height = std::max(in.height, 1);
  v.view = {in.xmin, in.ymin, in.xmax, in.ymax};
  if (!v.view.empty() && v.view.xmax - v.view.xmin > 0) {
    // What the view shows (its width's scale both ways, from the top left), with a margin
    // for symbols reaching in from outside.
    const double s = v.width / (v.view.xmax - v.view.xmin);
    const double top = v.view.ymax, bottom = v.view.ymax - v.height / s, reach = kReachPixels / s;
    v.limited = true;
    v.limit = {v.view.xmin - reach, bottom - reach, v.view.xmin + v.width / s + reach, top + reach};
  } else {
    // The map's extent, whole and centred.
    const Bounds e = view_of(map);
    const double s = std::min(v.width / std::max(e.xmax - e.xmin, 1e-12), v.height / std::max(e.ymax - e.ymin, 1e-12));
    const double cx = (e.xmin + e.xmax) / 2, cy = (e.ymin + e.ymax) / 2;
    v.view = {cx - v.width / 2 / s, cy - v.height / 2 / s, cx + v.width / 2 / s, cy + v.height / 2 / s};
  }
  v.scale = v.width / std::max(v.view.xmax - v.view.xmin, 1e-12);
  return v;
}

}  // namespace gis::carto
