// The process's allocator, as far as the core's policies depend on it: glibc's, or
// jemalloc's where the program links it (the areaclip program does).
#pragma once

namespace gis::core {

// Whether malloc is jemalloc's, whose thread caches take back a block freed on another
// thread without a lock (glibc's arenas take one).
bool thread_caching_allocator();
// Gives the pages of freed memory back to the system now (after a large transient, such as
// the overlay of a shape of many vertices).
void release_free_memory();
// While alive, memory freed is given back to the system at once, whatever the program's
// delay otherwise: around a large transient (the overlay of a shape of many vertices), whose
// pages freed and kept would add to the peak.
class ImmediateRelease {
 public:
  ImmediateRelease();
  ~ImmediateRelease();
  ImmediateRelease(const ImmediateRelease&) = delete;
  ImmediateRelease& operator=(const ImmediateRelease&) = delete;

 private:
  long previous_ = 0;  // the delay to restore, in ms
};
// Whether a stream of work is worth sharing with a second thread (a cursor reading ahead, a
// class writing behind): where the allocator takes blocks back across threads without a
// lock and the process may use two processors. The environment variable `switch_name` set
// to 1 or 0 decides either way.
bool second_thread_pays(const char* switch_name);

}  // namespace gis::core
