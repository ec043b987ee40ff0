#include "map_drawer.h"

#include <algorithm>

namespace host {

struct MapDrawer::Job {
  uint64_t number = 0;
  std::shared_ptr<const gis::MapViewDrawing> drawing;
  std::vector<size_t> steps;
  QSize size;
  Done done;
  std::atomic<bool> cancel{false};
  std::vector<StepPicture> pictures;
  size_t remaining = 0;  // steps queued or being drawn
  bool finished = false;  // every step is drawn and Done has returned, or it stopped cancelled
};

MapDrawer::MapDrawer(unsigned threads) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
}

MapDrawer::~MapDrawer() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
    cancel_locked();
  }
  changed_.notify_all();
  for (std::thread& t : threads_) t.join();
}

uint64_t MapDrawer::Start(std::shared_ptr<const gis::MapViewDrawing> drawing, std::vector<size_t> steps, QSize size,
                          Done done) {
  auto job = std::make_shared<Job>();
  job->drawing = std::move(drawing);
  job->steps = std::move(steps);
  job->size = size;
  job->done = std::move(done);
  job->pictures.resize(job->steps.size());
  job->remaining = job->steps.size();
  {
    std::lock_guard<std::mutex> hold(lock_);
    cancel_locked();
    job->number = ++jobs_;
    job_ = job;
    for (size_t i = 0; i < job->steps.size(); ++i) queue_.emplace_back(job, i);
    if (job->remaining == 0) job->finished = true;
  }
  changed_.notify_all();
  if (job->steps.empty() && job->done) job->done(job->number, {});
  return job->number;
}

void MapDrawer::Cancel() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    cancel_locked();
  }
  changed_.notify_all();
}

void MapDrawer::cancel_locked() {
  if (!job_) return;
  job_->cancel = true;
  // Steps not begun are dropped; those being drawn stop at their next feature.
  const size_t before = queue_.size();
  std::erase_if(queue_, [&](const auto& entry) { return entry.first == job_; });
  job_->remaining -= before - queue_.size();
  if (job_->remaining == 0) job_->finished = true;
}

void MapDrawer::Wait() {
  std::unique_lock<std::mutex> hold(lock_);
  changed_.wait(hold, [&] { return !job_ || job_->finished; });
}

void MapDrawer::work() {
  for (;;) {
    std::shared_ptr<Job> job;
    size_t index = 0;
    {
      std::unique_lock<std::mutex> hold(lock_);
      changed_.wait(hold, [&] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      std::tie(job, index) = std::move(queue_.front());
      queue_.pop_front();
    }
    StepPicture picture = DrawStep(*job->drawing, job->steps[index], job->size, &job->cancel);
    bool last = false;
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (!job->cancel) {
        job->pictures[index] = std::move(picture);
        ++drawn_;
      }
      last = --job->remaining == 0;
      if (last && job->cancel) job->finished = true;
    }
    if (!last) continue;
    if (!job->cancel && job->done) job->done(job->number, std::move(job->pictures));
    {
      std::lock_guard<std::mutex> hold(lock_);
      job->finished = true;
    }
    changed_.notify_all();
  }
}

}  // namespace host
