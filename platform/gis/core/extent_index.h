// What a full reading of a source learnt of where its features lie, kept in memory so that
// later views of it read only the records that may show.
//
// A shapefile without a spatial index (.qix, .sbn) has every record read for a view of any
// size. The first reading of such a source that sees all its features notes the envelope of
// each (ExtentIndex::Builder); later readings take the ids of the features whose envelopes
// meet their box (ExtentIndex::candidates) and fetch only those, by id, in file order.
// The envelopes are kept as 16-bit steps of the source's extent, rounded outwards (8 bytes
// a feature, 4 for a point): a candidate may lie just outside the box, never a feature in
// it be missed; the reader tests each fetched shape against the box exactly (RectFilter).
//
// ExtentCache holds the index of one feature class for all the readings of it, which run
// on several threads. An index stays valid while the source's files keep their sizes and
// times; a source changed on disk drops it and the next full reading learns anew. Nothing
// is written beside the source.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <ogr_geometry.h>

namespace gis::core {

// The sizes and modification times of a source's files, to tell when it has changed.
class SourceStamp {
 public:
  // The stamp of these files now; a missing file counts as size -1.
  static SourceStamp of(const std::vector<std::string>& files);
  bool operator==(const SourceStamp& other) const { return files_ == other.files_ && marks_ == other.marks_; }
  bool operator!=(const SourceStamp& other) const { return !(*this == other); }
  const std::vector<std::string>& files() const { return files_; }

 private:
  std::vector<std::string> files_;
  std::vector<std::pair<std::int64_t, std::int64_t>> marks_;  // size, time of each file
};

class ExtentIndex {
 public:
  ExtentIndex(const OGREnvelope& extent, bool points);

  // Collects the envelopes of a reading, in reading order; the extent is the source's own
  // (the steps are taken within it).
  class Builder {
   public:
    // `expected`: how many features the reading will probably see (room is made for them at
    // once: a vector grown step by step frees blocks big enough to make glibc keep later
    // large blocks, such as the layers' pictures, in its heaps instead of giving them back).
    Builder(const OGREnvelope& extent, bool points, size_t expected);
    // Notes the feature's envelope; false (and the builder is spoilt) when it leaves the
    // extent, the ids do not ascend or do not fit.
    bool add(GIntBig fid, const OGREnvelope& envelope);
    bool spoilt() const { return spoilt_; }
    // The index; null when spoilt.
    std::shared_ptr<const ExtentIndex> finish(SourceStamp stamp);

   private:
    // Made whole at the start: what is allocated at the end of a reading and kept would pin
    // the top of the reading thread's heap, and with it everything the reading freed.
    std::shared_ptr<ExtentIndex> index_;
    bool spoilt_ = false;
  };

  // The ids, ascending, of the features whose envelopes may meet the box (xmin, ymin, xmax,
  // ymax; edges included); false (and *ids cleared) when there are more than `most`.
  bool candidates(const double box[4], size_t most, std::vector<GIntBig>* ids) const;
  size_t size() const { return fids_.empty() ? count_ : fids_.size(); }
  const SourceStamp& stamp() const { return stamp_; }
  // Bytes held.
  size_t bytes() const { return steps_.capacity() * sizeof(std::uint16_t) + fids_.capacity() * sizeof(std::uint32_t); }

 private:
  // The step of x (or y) within the extent, rounded down or up.
  std::uint16_t step_x(double x, bool up) const;
  std::uint16_t step_y(double y, bool up) const;

  OGREnvelope extent_;
  double scale_x_ = 0, scale_y_ = 0;
  bool points_;  // 2 steps a feature (x, y) instead of 4
  std::vector<std::uint16_t> steps_;
  // The id of each entry, when the ids are not simply 0, 1, 2, ... (then empty).
  std::vector<std::uint32_t> fids_;
  size_t count_ = 0;
  SourceStamp stamp_;
};

// The index of one feature class, shared by its readings on any thread.
class ExtentCache {
 public:
  // The index, when there is one and the files are as it found them; a stale one is
  // dropped.
  std::shared_ptr<const ExtentIndex> current();
  // Whether this reading should learn: no index and no other reading learning. A true
  // answer must be followed by learnt() (with null when the reading did not finish).
  bool begin_learning();
  void learnt(std::shared_ptr<const ExtentIndex> index);

 private:
  std::mutex mutex_;
  std::shared_ptr<const ExtentIndex> index_;
  bool learning_ = false;
};

// Whether a shape meets a rectangle as OGR's spatial filter decides (a shape touching its
// edge meets it; a shape whose envelope only crosses it does not).
class RectFilter {
 public:
  explicit RectFilter(const double box[4]);
  ~RectFilter();
  RectFilter(const RectFilter&) = delete;
  RectFilter& operator=(const RectFilter&) = delete;
  bool meets(const OGRGeometry& g) const;

 private:
  OGREnvelope box_;
  OGRPolygon rect_;
  mutable OGRPreparedGeometry* prepared_ = nullptr;  // made at the first shape that needs it
};

}  // namespace gis::core
