#include "extent_index.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <system_error>

#include <sys/stat.h>

#include <ogr_api.h>

namespace gis::core {

namespace {

constexpr double kSteps = 65535.0;

}  // namespace

SourceStamp SourceStamp::of(const std::vector<std::string>& files) {
  SourceStamp s;
  s.files_ = files;
  for (const std::string& file : files) {
    // One call for both marks: a stamp is taken each time a source is opened.
    struct stat st;
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      s.marks_.emplace_back(-1, 0);
      continue;
    }
    s.marks_.emplace_back(static_cast<std::int64_t>(st.st_size),
                          static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec);
  }
  return s;
}

ExtentIndex::ExtentIndex(const OGREnvelope& extent, bool points) : extent_(extent), points_(points) {
  const double w = extent.MaxX - extent.MinX, h = extent.MaxY - extent.MinY;
  scale_x_ = w > 0 ? kSteps / w : 0;
  scale_y_ = h > 0 ? kSteps / h : 0;
}

std::uint16_t ExtentIndex::step_x(double x, bool up) const {
  const double s = (x - extent_.MinX) * scale_x_;
  const double r = up ? std::ceil(s) : std::floor(s);
  return static_cast<std::uint16_t>(std::clamp(r, 0.0, kSteps));
}

std::uint16_t ExtentIndex::step_y(double y, bool up) const {
  const double s = (y - extent_.MinY) * scale_y_;
  const double r = up ? std::ceil(s) : std::floor(s);
  return static_cast<std::uint16_t>(std::clamp(r, 0.0, kSteps));
}

ExtentIndex::Builder::Builder(const OGREnvelope& extent, bool points, size_t expected) {
  const bool usable = std::isfinite(extent.MinX) && std::isfinite(extent.MinY) && std::isfinite(extent.MaxX) &&
                      std::isfinite(extent.MaxY) && extent.MinX <= extent.MaxX && extent.MinY <= extent.MaxY;
  if (usable) {
    index_ = std::make_shared<ExtentIndex>(extent, points);
    index_->steps_.reserve(expected * (points ? 2 : 4));
  }
  spoilt_ = !usable;
}

bool ExtentIndex::Builder::add(GIntBig fid, const OGREnvelope& e) {
  if (spoilt_) return false;
  ExtentIndex& x = *index_;
  const size_t count = x.size();
  const GIntBig last = count == 0 ? -1 : x.fids_.empty() ? static_cast<GIntBig>(count) - 1 : x.fids_.back();
  // Outside the extent the steps would be clamped and the feature lost to views of it.
  const bool inside = e.MinX >= x.extent_.MinX && e.MaxX <= x.extent_.MaxX && e.MinY >= x.extent_.MinY &&
                      e.MaxY <= x.extent_.MaxY;
  if (!inside || fid <= last || fid > std::numeric_limits<std::uint32_t>::max() || (x.points_ && (e.MinX != e.MaxX || e.MinY != e.MaxY))) {
    spoilt_ = true;
    index_.reset();
    return false;
  }
  if (x.fids_.empty() && fid != static_cast<GIntBig>(count)) {
    // The first gap in the ids: from here on each entry's id is kept.
    x.fids_.reserve(count + 1);
    for (size_t i = 0; i < count; ++i) x.fids_.push_back(static_cast<std::uint32_t>(i));
  }
  if (!x.fids_.empty() || fid != static_cast<GIntBig>(count)) x.fids_.push_back(static_cast<std::uint32_t>(fid));
  if (x.points_) {
    x.steps_.insert(x.steps_.end(), {x.step_x(e.MinX, false), x.step_y(e.MinY, false)});
  } else {
    x.steps_.insert(x.steps_.end(),
                    {x.step_x(e.MinX, false), x.step_y(e.MinY, false), x.step_x(e.MaxX, true), x.step_y(e.MaxY, true)});
  }
  ++x.count_;
  return true;
}

std::shared_ptr<const ExtentIndex> ExtentIndex::Builder::finish(SourceStamp stamp) {
  if (spoilt_) return nullptr;
  // Much room left (a condition served few of the features): given back.
  if (index_->steps_.capacity() > 2 * index_->steps_.size()) index_->steps_.shrink_to_fit();
  index_->stamp_ = std::move(stamp);
  return std::move(index_);
}

bool ExtentIndex::candidates(const double box[4], size_t most, std::vector<GIntBig>* ids) const {
  std::vector<GIntBig>& out = *ids;
  out.clear();
  if (box[2] < extent_.MinX || box[0] > extent_.MaxX || box[3] < extent_.MinY || box[1] > extent_.MaxY ||
      box[0] > box[2] || box[1] > box[3])
    return true;
  const std::uint16_t x0 = step_x(box[0], false), y0 = step_y(box[1], false);
  const std::uint16_t x1 = step_x(box[2], true), y1 = step_y(box[3], true);
  const size_t stride = points_ ? 2 : 4;
  auto meets = [&](const std::uint16_t* s) {
    return points_ ? s[0] >= x0 && s[0] <= x1 && s[1] >= y0 && s[1] <= y1
                   : s[2] >= x0 && s[0] <= x1 && s[3] >= y0 && s[1] <= y1;
  };
  // Counted first: a view of most of the source gives up without holding its ids.
  size_t count = 0;
  const std::uint16_t* s = steps_.data();
  for (size_t i = 0; i < count_; ++i, s += stride)
    if (meets(s) && ++count > most) return false;
  out.reserve(count);
  s = steps_.data();
  for (size_t i = 0; i < count_; ++i, s += stride)
    if (meets(s)) out.push_back(fids_.empty() ? static_cast<GIntBig>(i) : static_cast<GIntBig>(fids_[i]));
  return true;
}

std::shared_ptr<const ExtentIndex> ExtentCache::current() {
  std::shared_ptr<const ExtentIndex> index;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    index = index_;
  }
  if (!index) return nullptr;
  // The files are looked at outside the lock; a stale index is dropped unless another
  // reading has already put a new one in its place.
  if (SourceStamp::of(index->stamp().files()) == index->stamp()) return index;
  std::lock_guard<std::mutex> lock(mutex_);
  if (index_ == index) index_.reset();
  return nullptr;
}

bool ExtentCache::begin_learning() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (index_ || learning_) return false;
  learning_ = true;
  return true;
}

void ExtentCache::learnt(std::shared_ptr<const ExtentIndex> index) {
  std::lock_guard<std::mutex> lock(mutex_);
  learning_ = false;
  if (index) index_ = std::move(index);
}

RectFilter::RectFilter(const double box[4]) {
  box_.MinX = box[0], box_.MinY = box[1], box_.MaxX = box[2], box_.MaxY = box[3];
  auto* ring = new OGRLinearRing;
  ring->addPoint(box[0], box[1]);
  ring->addPoint(box[0], box[3]);
  ring->addPoint(box[2], box[3]);
  ring->addPoint(box[2], box[1]);
  ring->addPoint(box[0], box[1]);
  rect_.addRingDirectly(ring);
}

RectFilter::~RectFilter() {
  if (prepared_) OGRDestroyPreparedGeometry(prepared_);
}

// The same decision as OGR's layer filter for a rectangle: envelopes first, then a vertex of
// a line or of a polygon without holes inside, then the exact intersection.
bool RectFilter::meets(const OGRGeometry& g) const {
  if (g.IsEmpty()) return false;
  OGREnvelope e;
  g.getEnvelope(&e);
  if (e.MaxX < box_.MinX || e.MaxY < box_.MinY || box_.MaxX < e.MinX || box_.MaxY < e.MinY) return false;
  if (e.MinX >= box_.MinX && e.MinY >= box_.MinY && e.MaxX <= box_.MaxX && e.MaxY <= box_.MaxY) return true;
  const OGRSimpleCurve* line = nullptr;
  switch (wkbFlatten(g.getGeometryType())) {
    case wkbPolygon:
      if (g.toPolygon()->getNumInteriorRings() == 0) line = g.toPolygon()->getExteriorRing();
      break;
    case wkbLineString: line = g.toLineString(); break;
    default: break;
  }
  if (line)
    for (int i = 0, n = line->getNumPoints(); i < n; ++i) {
      const double x = line->getX(i), y = line->getY(i);
      if (x >= box_.MinX && y >= box_.MinY && x <= box_.MaxX && y <= box_.MaxY) return true;
    }
  if (!prepared_) prepared_ = OGRCreatePreparedGeometry(OGRGeometry::ToHandle(const_cast<OGRPolygon*>(&rect_)));
  if (prepared_) return OGRPreparedGeometryIntersects(prepared_, OGRGeometry::ToHandle(const_cast<OGRGeometry*>(&g)));
  return rect_.Intersects(&g);
}

}  // namespace gis::core
