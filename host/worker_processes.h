// Work spread over processes forked from this one: each worker takes the next item when it
// is done with one, so a long item does not hold the others back. What a worker prints is
// captured and handed over with its item's result, so that the output of one item stays
// together whatever the others print meanwhile.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace host {

// One item done by a worker: its result (as the work returned it) and what the worker
// printed on standard output and standard error while doing it.
struct WorkerOutput {
  std::string result;
  std::string out;
  std::string err;
};

struct WorkerCallbacks {
  // In the worker: does item i and returns its result as bytes.
  std::function<std::string(size_t i)> work;
  // In this process, as items finish: item i's result and output.
  std::function<void(size_t i, WorkerOutput output)> done;
  // In this process: item i was under way in a worker that ended without finishing it;
  // `why` says how the worker ended.
  std::function<void(size_t i, const std::string& why)> lost;
  // In this process, between items: a signal number to pass on to the workers (they then
  // finish the item under way as that signal has them do, and take no other), 0 for none.
  std::function<int()> cancelled;
};

// Does the items `items` (in that order of starting) in up to `jobs` worker processes. The
// workers run in a process group of their own (a terminal's Ctrl-C reaches this process,
// which passes it on once) and receive SIGTERM should this process die. Items not started
// (after a cancel, or when every worker ended) are left out: `started` lists those that
// were. False with *error set when not even one worker could be started (nothing was
// done); call it with no other thread running.
bool run_in_workers(size_t jobs, const std::vector<size_t>& items, const WorkerCallbacks& callbacks,
                    std::vector<size_t>* started, std::string* error);

// The processors this process may run on (at least 1).
size_t available_processors();

}  // namespace host
