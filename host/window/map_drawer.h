// MapDrawer: draws the steps of map drawings (gis::MapViewDrawing, which took what it draws
// from the document on the window's thread) on threads of its own, one a core, so the
// window's thread never waits for a map. One job at a time: starting one cancels the job
// under way, whose steps stop at their next feature and whose pictures are dropped. The
// threads live as long as the drawer (their coordinate transformations stay cached).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QSize>

#include <gis/render.h>

#include "map_painter.h"

namespace host {

class MapDrawer {
 public:
  // Called with the steps' pictures, in the order of the steps asked for, on the drawer's
  // thread that drew the last of them; never for a cancelled job.
  using Done = std::function<void(uint64_t job, std::vector<StepPicture> pictures)>;

  explicit MapDrawer(unsigned threads = 0);  // 0: one a core
  // Cancels the job under way and waits for the threads to end.
  ~MapDrawer();
  MapDrawer(const MapDrawer&) = delete;
  MapDrawer& operator=(const MapDrawer&) = delete;

  // Starts drawing `steps` of `drawing` at `size`; returns the job's number (from 1 up).
  uint64_t Start(std::shared_ptr<const gis::MapViewDrawing> drawing, std::vector<size_t> steps, QSize size, Done done);
  void Cancel();
  // Waits until the job under way is done (its Done returned) or, cancelled, has stopped.
  void Wait();
  // Steps drawn to their end since the drawer was made (cancelled ones are not counted).
  long StepsDrawn() const { return drawn_.load(); }

 private:
  struct Job;
  void work();
  void cancel_locked();

  std::mutex lock_;
  std::condition_variable changed_;
  std::shared_ptr<Job> job_;  // the latest job
  std::deque<std::pair<std::shared_ptr<Job>, size_t>> queue_;  // a job and the index of a step in it
  uint64_t jobs_ = 0;
  bool stopping_ = false;
  std::atomic<long> drawn_{0};
  std::vector<std::thread> threads_;
};

}  // namespace host
