#include "feature_cursor.h"


#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include <win32/com_error.h>

#include "allocator.h"
#include "diagnostics.h"
#include "gis/core.h"

namespace gis::core {

namespace {

// Reading ahead: after kReadAheadAfter features handed out one by one, a long read goes on
// on a thread of the cursor's own, which reads the next records from GDAL and makes their
// feature objects (values and shapes) while the caller works on the features before them.
// The reads go over in batches of kBatch; the thread stops when kBatchesQueued batches wait
// to be taken and goes on when half of them are taken, so that the threads wake each other
// once in several batches rather than once a feature (which cost more than the reading
// saved). A cursor holds at most (kBatchesQueued + 2) * kBatch = 256 features besides those
// handed out (the batch being handed out, those queued, the one being filled), whatever the
// size of the source. A short read (a picker, a sheet's frames, a small layer) never starts
// a thread. It is on where the process's allocator takes back a block freed on another
// thread without a lock (jemalloc, which the areaclip program links) and two processors
// are there to be had: with glibc's allocator, on two cores of a virtual machine, the two
// threads took 2.6 times the processor time of one (the features made on one core and
// freed on the other: the arenas' locks) and the cut took longer, so there one thread is
// the default. AREACLIP_READ_AHEAD=1 or 0 decides either way.
//
// Cursors on the class's lent layer read ahead too (the cut's are such: a shapefile read
// whole; a handle of their own would cost another copy of the file's index): their thread
// reads under the class's handle lock, which every other use of that handle takes too
// (GetFeature, FeatureCount, extent, lending), so a call on the class waits for at most one
// record's read. Writable classes' cursors never read ahead (their columns and system change).
constexpr size_t kReadAheadAfter = 64;
constexpr size_t kBatch = 32;
constexpr size_t kBatchesQueued = 6;

bool read_ahead_enabled() { return second_thread_pays("AREACLIP_READ_AHEAD"); }

// What one read gives: a feature, the end (no feature, no error) or the failure of that read.
struct Read {
  win32::ComPtr<IFeature> feature;
  std::string change;  // a change to the data to report when the feature is handed out
  std::exception_ptr error;
  bool last() const { return !feature; }
};

// Recycling is not used (every feature is a new object). Every read, on whichever thread,
// runs the same read_one(), so a feature, a change report and a failure come out the same
// and in the same order with or without reading ahead. A read that fails stops the reading
// ahead there: the caller sees the failure after the features before it, and a later call
// reads on from the record after it in the caller's thread, as without reading ahead.
class FeatureCursor final : public win32::ComObject<FeatureCursor, IFeatureCursor> {
 public:
  // Reads `layer` of `dataset`, or the class's own layer when `dataset` is null (each read
  // under the class's handle lock then): in turn, or by id the features `ids` names (in its
  // order).
  FeatureCursor(win32::ComPtr<FeatureClass> cls, DatasetPtr dataset, OGRLayer* layer,
                std::shared_ptr<const std::vector<LONG>> ids, bool read_ahead)
      : class_(std::move(cls)),
        dataset_(std::move(dataset)),
        layer_(layer),
        lent_(!dataset_),
        ids_(std::move(ids)),
        served_(class_->served_sorted()),
        read_ahead_(read_ahead) {}
  ~FeatureCursor() override { finish(); }

  HRESULT STDMETHODCALLTYPE NextFeature(IFeature** feature) override {
    if (!feature) return E_POINTER;
    *feature = nullptr;
    return win32::com_guard([&] {
      if (!layer_) return S_FALSE;
      ThrowIfCancelled();
      Read read = reader_.joinable() ? take() : read_one();
      if (read.error) {
        stop_reading_ahead();
        std::rethrow_exception(read.error);
      }
      if (read.last()) {
        finish(true);  // done: let go of the file early
        return S_FALSE;
      }
      if (!read.change.empty()) report_change(read.change);
      if (read_ahead_ && !reader_.joinable() && ++handed_out_ == kReadAheadAfter) start_reading_ahead();
      *feature = read.feature.detach();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_Fields(IFields** fields) override { return class_->get_Fields(fields); }
  HRESULT STDMETHODCALLTYPE FindField(BSTR name, LONG* index) override { return class_->FindField(name, index); }
  HRESULT STDMETHODCALLTYPE Flush() override { return S_OK; }

 private:
  // The next record of the source, null at the end; throws ComError when it cannot be read.
  OGRFeatureUniquePtr fetch() {
    GdalErrorScope errors;
    std::unique_lock<std::mutex> handle;
    if (lent_) handle = class_->handle_lock();
    // The shapefile driver's first read of a layer reads its .prj for the system of the
    // geometries it makes, looking that system up in PROJ's database, which costs more
    // than reading a small layer whole. The features made here take their class's system
    // instead, known when the class was opened: the look-up is left out.
    std::optional<CPLConfigOptionSetter> system_as_written;
    if (first_fetch_) {
      first_fetch_ = false;
      system_as_written.emplace("USE_OSR_FIND_MATCHES", "NO", false);
    }
    OGRFeatureUniquePtr f;
    if (ids_) {
      if (next_ < ids_->size()) {
        const LONG id = (*ids_)[next_++];
        f.reset(layer_->GetFeature(id));
        if (!f) errors.fail(E_FAIL, "cannot read feature " + std::to_string(id) + " of " + class_->path());
      }
    } else {
      // A restricted class's features that it does not serve are passed over.
      do f.reset(layer_->GetNextFeature());
      while (f && errors.failure().empty() && !serves(f->GetFID()));
    }
    // A record the driver could read only in part (its shape or its values lost) fails
    // too: handing it out would lose what is missing unseen.
    if (!errors.failure().empty()) errors.fail(E_FAIL, "cannot read " + class_->path());
    return f;
  }

  bool serves(GIntBig id) const {
    return !served_ || std::binary_search(served_->begin(), served_->end(), id);
  }

  Read read_one() {
    Read read;
    try {
      ThrowIfCancelled();
      if (OGRFeatureUniquePtr f = fetch()) read.feature = class_->make_feature(*f, &read.change);
    } catch (...) {
      read.error = std::current_exception();
    }
    return read;
  }

  void start_reading_ahead() {
    stop_ = false;
    try {
      reader_ = std::thread([this] { read_ahead(); });
    } catch (const std::system_error&) {
      read_ahead_ = false;  // no thread to be had: read on in the caller's
    }
  }

  // The reading thread: reads until the end, a failure or stop_.
  void read_ahead() {
    std::vector<Read> batch;
    for (bool last = false; !last;) {
      batch.reserve(kBatch);
      while (batch.size() < kBatch && !last && !stop_.load(std::memory_order_relaxed)) {
        batch.push_back(read_one());
        last = batch.back().last();
      }
      std::unique_lock<std::mutex> lock(mutex_);
      if (!stop_ && queue_.size() >= kBatchesQueued) {
        reader_waits_ = true;
        room_.wait(lock, [&] { return stop_ || queue_.size() <= kBatchesQueued / 2; });
        reader_waits_ = false;
      }
      if (stop_) break;
      queue_.push_back(std::move(batch));
      batch.clear();
      if (taker_waits_) ready_.notify_one();
    }
  }

  // The next read from the reading thread, in order.
  Read take() {
    if (taken_ == batch_.size()) {
      batch_.clear();
      taken_ = 0;
      std::unique_lock<std::mutex> lock(mutex_);
      if (queue_.empty()) {
        taker_waits_ = true;
        ready_.wait(lock, [&] { return !queue_.empty(); });
        taker_waits_ = false;
      }
      batch_ = std::move(queue_.front());
      queue_.pop_front();
      const bool wake = reader_waits_ && queue_.size() <= kBatchesQueued / 2;
      lock.unlock();
      if (wake) room_.notify_one();
    }
    Read read = std::move(batch_[taken_++]);
    if (read.last()) stop_reading_ahead();  // the thread has ended: join it
    return read;
  }

  // Stops and joins the reading thread; the features it read and nobody took are dropped.
  void stop_reading_ahead() {
    if (!reader_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    room_.notify_one();
    reader_.join();
    queue_.clear();
    batch_.clear();
    taken_ = 0;
    read_ahead_ = false;  // a read after a failure goes on in the caller's thread
  }

  void finish(bool read_whole = false) {
    stop_reading_ahead();
    if (lent_ && layer_) class_->return_layer(read_whole);
    layer_ = nullptr;
    dataset_.reset();
  }

  win32::ComPtr<FeatureClass> class_;
  DatasetPtr dataset_;
  OGRLayer* layer_;  // owned by dataset_, or the class's when lent
  bool first_fetch_ = true;
  bool lent_;
  std::shared_ptr<const std::vector<LONG>> ids_;  // read by id when set
  std::shared_ptr<const std::vector<LONG>> served_;  // the class's served ids when opened, sorted
  size_t next_ = 0;  // of ids_

  bool read_ahead_;
  size_t handed_out_ = 0;  // before reading ahead
  std::thread reader_;     // reads ahead while joinable; layer_, dataset_ and next_ are its then
  std::vector<Read> batch_;  // being handed out, from taken_ on
  size_t taken_ = 0;
  std::mutex mutex_;       // guards the members below
  std::condition_variable ready_;  // a batch was queued
  std::condition_variable room_;   // a batch was taken, or stop_
  std::deque<std::vector<Read>> queue_;
  bool taker_waits_ = false;
  bool reader_waits_ = false;
  std::atomic<bool> stop_{false};  // set under mutex_, also looked at between reads
};

}  // namespace

win32::ComPtr<IFeatureCursor> open_cursor(win32::ComPtr<FeatureClass> cls, const std::string& where,
                                          const SearchBox* within) {
  if (cls->writable()) cls->flush();
  // A writable class's columns and system change with AddField and its first shape: its
  // features are made in the caller's thread.
  const bool read_ahead = !cls->writable() && read_ahead_enabled();
  // A restricted class read whole fetches its features by id where the source can, so
  // that a few features of a large source cost a few reads.
  std::shared_ptr<const std::vector<LONG>> ids;
  if (cls->restriction() && where.empty() && !within) ids = cls->restriction();
  if (where.empty() && !within) {
    if (OGRLayer* layer = cls->lend_layer()) {
      if (ids && !layer->TestCapability(OLCRandomRead)) ids.reset();
      return FeatureCursor::make(std::move(cls), nullptr, layer, std::move(ids), read_ahead);
    }
  }
  DatasetPtr dataset;
  OGRLayer* layer = cls->open_layer(&dataset);
  GdalErrorScope errors;
  if (const std::string all = cls->where_with(where); !all.empty() && layer->SetAttributeFilter(all.c_str()) != OGRERR_NONE)
    errors.fail(E_INVALIDARG, "bad where clause \"" + where + "\"");
  if (within) layer->SetSpatialFilterRect(within->xmin, within->ymin, within->xmax, within->ymax);
  layer->ResetReading();
  if (ids && !layer->TestCapability(OLCRandomRead)) ids.reset();
  return FeatureCursor::make(std::move(cls), std::move(dataset), layer, std::move(ids), read_ahead);
}

}  // namespace gis::core
