#include "feature_writer.h"

#include <system_error>
#include <utility>
#include <vector>

#include <win32/com_error.h>

namespace gis::core {

namespace {

// Features handed to the thread at a time, and batches queued at most: the cutting thread
// waits for room beyond them, so that memory stays bounded when the disk is slower than
// the cut.
constexpr size_t kBatch = 64;
// Records written in the caller's thread before the thread starts: a layer of a few
// features (a sheet of a series holds many such) is not worth one.
constexpr long long kBehindAfter = 256;
constexpr size_t kBatchesQueued = 8;

}  // namespace

FeatureWriter::FeatureWriter(OGRLayer* layer, std::string path, bool behind)
    : layer_(layer), path_(std::move(path)), behind_(behind) {}

void FeatureWriter::start() {
  behind_ = false;  // once
  next_id_ = layer_->GetFeatureCount(TRUE);
  try {
    thread_ = std::thread([this] { run(); });
    threaded_ = true;
  } catch (const std::system_error&) {
    threaded_ = false;  // written on in the caller's thread
  }
}

FeatureWriter::~FeatureWriter() {
  if (!threaded_) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  thread_.join();
}

long long FeatureWriter::write(OGRFeatureUniquePtr f) {
  if (!threaded_ && behind_ && written_ >= kBehindAfter) start();
  if (!threaded_) {
    const std::string failure = write_now(*f, -1);
    if (!failure.empty()) win32::throw_hr(E_FAIL, failure);
    ++written_;
    return f->GetFID();
  }
  const long long id = next_id_;
  gathered_.emplace_back(std::move(f), id);
  ++next_id_;
  if (gathered_.size() >= kBatch) hand_over();
  return id;
}

void FeatureWriter::hand_over() {
  bool wake = false;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (failure_.empty() && queue_.size() >= kBatchesQueued) {
      caller_waits_ = true;
      room_.wait(lock, [this] { return queue_.size() < kBatchesQueued || !failure_.empty(); });
      caller_waits_ = false;
    }
    if (!failure_.empty()) {
      gathered_.clear();
      fail();
    }
    if (!gathered_.empty()) {
      queue_.push_back(std::move(gathered_));
      gathered_ = Batch();
      gathered_.reserve(kBatch);
      wake = writer_waits_;
    }
  }
  if (wake) work_.notify_one();
}

void FeatureWriter::finish() {
  if (!threaded_) return;
  hand_over();
  std::unique_lock<std::mutex> lock(mutex_);
  caller_waits_ = true;
  room_.wait(lock, [this] { return (queue_.empty() && !writing_) || !failure_.empty(); });
  caller_waits_ = false;
  if (!failure_.empty()) fail();
}

void FeatureWriter::fail() const { win32::throw_hr(E_FAIL, failure_); }

void FeatureWriter::run() {
  for (;;) {
    Batch batch;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      writing_ = false;
      if (caller_waits_) room_.notify_all();
      while (queue_.empty() && !stop_) {
        writer_waits_ = true;
        work_.wait(lock);
        writer_waits_ = false;
      }
      if (queue_.empty()) return;  // stopped with nothing left
      batch = std::move(queue_.front());
      queue_.pop_front();
      writing_ = true;
      if (caller_waits_) room_.notify_all();
    }
    std::string failure;
    for (auto& [f, id] : batch) {
      if (failure.empty()) failure = write_now(*f, id);
    }
    batch.clear();  // the features are freed here, off the caller's thread
    if (!failure.empty()) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (failure_.empty()) failure_ = std::move(failure);
      queue_.clear();  // nothing after a failed write is written
    }
  }
}

std::string FeatureWriter::write_now(OGRFeature& f, long long id) {
  try {
    GdalErrorScope errors;
    if (layer_->CreateFeature(&f) != OGRERR_NONE || !errors.failure().empty())
      errors.fail(E_FAIL, "cannot write a feature to " + path_);
    // The driver reports a value it had to cut only as a warning; nothing may be cut.
    const std::string& w = errors.warning();
    if (w.find("not successfully written") != std::string::npos || w.find("truncated") != std::string::npos)
      return "a value was not written whole to " + path_ + ": " + w;
    if (id != -1 && f.GetFID() != id)
      return "a feature was written to " + path_ + " as record " + std::to_string(f.GetFID()) + ", not " +
             std::to_string(id);
    return "";
  } catch (const std::exception& e) {
    return e.what();
  }
}

}  // namespace gis::core
