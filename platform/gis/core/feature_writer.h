// FeatureWriter: the writing of a shapefile's new records on a thread of its own. The
// driver's formatting and writing of a record (its attributes printed into the .dbf, its
// shape into the .shp) is about a fifth of the time of the thread that cuts; handed to a
// second thread, it runs while the next features are cut. Records are written in the order
// given, each with the id the driver gives the next record of the file, known beforehand.
//
// A write that fails is reported by the next call (write or finish), with the message the
// write itself would have given; the features after it are not written. The layer is the
// writer's from the first write until finish() returns: nothing else may use it meanwhile.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "gdal_support.h"

namespace gis::core {

class FeatureWriter {
 public:
  // Writes into `layer` (of the source at `path`, named in messages): with `behind`, on a
  // thread of its own once a few hundred records are written (a shapefile's layer only: its
  // next record's id is its record count); before, and without `behind`, in the caller's
  // thread, each write reporting its own failure.
  FeatureWriter(OGRLayer* layer, std::string path, bool behind);
  ~FeatureWriter();
  FeatureWriter(const FeatureWriter&) = delete;
  FeatureWriter& operator=(const FeatureWriter&) = delete;

  // Queues f to be written; its id. Throws ComError for an earlier write that failed.
  long long write(OGRFeatureUniquePtr f);
  // Returns once every queued feature is written; throws ComError for a write that failed.
  void finish();

 private:
  using Batch = std::vector<std::pair<OGRFeatureUniquePtr, long long>>;
  void start();
  void run();
  // Queues the features gathered so far for the thread; throws for a failed write.
  void hand_over();
  // Writes f (as the record `id` when it is not -1); "" or why it failed.
  std::string write_now(OGRFeature& f, long long id);
  [[noreturn]] void fail() const;

  OGRLayer* layer_;
  std::string path_;
  long long next_id_ = -1;
  bool behind_;               // a thread is still to be started
  long long written_ = 0;     // in the caller's thread
  bool threaded_ = false;     // the thread writes
  Batch gathered_;         // the caller's, not yet queued
  std::mutex mutex_;       // guards the members below
  std::condition_variable work_;  // a batch was queued, or stop_
  std::condition_variable room_;  // a batch was taken, or the thread is idle
  std::deque<Batch> queue_;
  bool writing_ = false;  // the thread holds a batch taken from the queue
  bool writer_waits_ = false;
  bool caller_waits_ = false;
  bool stop_ = false;
  std::string failure_;
  std::thread thread_;
};

}  // namespace gis::core
