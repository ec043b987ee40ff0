#include "allocator.h"

#include <dlfcn.h>
#include <sched.h>

#include <cstddef>
#include <cstdlib>
#include <string>
#include <thread>
#include <sys/types.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "gis/core.h"

namespace gis::core {

namespace {

using MallctlFn = int (*)(const char*, void*, size_t*, void*, size_t);

// jemalloc's control call when malloc is jemalloc's (the call found in the library malloc
// comes from), else null.
MallctlFn jemalloc_control() {
  static const MallctlFn control = []() -> MallctlFn {
    void* found = dlsym(RTLD_DEFAULT, "mallctl");
    Dl_info found_in, malloc_in;
    if (!found || !dladdr(found, &found_in) || !dladdr(reinterpret_cast<void*>(&malloc), &malloc_in) ||
        found_in.dli_fbase != malloc_in.dli_fbase)
      return nullptr;
    return reinterpret_cast<MallctlFn>(found);
  }();
  return control;
}

// jemalloc's call that purges every arena (4096 names them all).
constexpr const char* kPurgeAllArenas = "arena.4096.purge";

// jemalloc's own delay, for memory kept while a series runs.
constexpr ssize_t kKeptFreedMs = 10000;

// How long freed pages are kept now, in ms.
ssize_t free_memory_delay(MallctlFn control) {
  ssize_t d = 0;
  size_t size = sizeof d;
  return control("arenas.dirty_decay_ms", &d, &size, nullptr, 0) == 0 ? d : 0;
}

// The delay the program was started with (its malloc_conf), read before any change.
ssize_t configured_delay(MallctlFn control) {
  static const ssize_t delay = free_memory_delay(control);
  return delay;
}

void set_free_memory_delay(MallctlFn control, ssize_t delay) {
  configured_delay(control);
  control("arenas.dirty_decay_ms", nullptr, nullptr, &delay, sizeof delay);
  unsigned arenas = 0;
  size_t size = sizeof arenas;
  if (control("arenas.narenas", &arenas, &size, nullptr, 0) != 0) return;
  for (unsigned i = 0; i < arenas; ++i) {
    // Arenas not made yet refuse the call and take the new default when they are.
    const std::string name = "arena." + std::to_string(i) + ".dirty_decay_ms";
    control(name.c_str(), nullptr, nullptr, &delay, sizeof delay);
  }
}

}  // namespace

bool thread_caching_allocator() { return jemalloc_control() != nullptr; }

ImmediateRelease::ImmediateRelease() {
  MallctlFn control = jemalloc_control();
  if (!control) return;
  previous_ = free_memory_delay(control);
  if (previous_ != 0) set_free_memory_delay(control, 0);
}

ImmediateRelease::~ImmediateRelease() {
  MallctlFn control = jemalloc_control();
  if (control && previous_ != 0) set_free_memory_delay(control, previous_);
}

bool second_thread_pays(const char* switch_name) {
  if (const char* v = std::getenv(switch_name); v && *v) return std::string(v) == "1";
  static const bool by_default = [] {
    cpu_set_t cpus;
    const bool two = sched_getaffinity(0, sizeof cpus, &cpus) == 0 ? CPU_COUNT(&cpus) >= 2
                                                                    : std::thread::hardware_concurrency() >= 2;
    return two && thread_caching_allocator();
  }();
  return by_default;
}

void release_free_memory() {
  if (MallctlFn control = jemalloc_control()) {
    control(kPurgeAllArenas, nullptr, nullptr, nullptr, 0);
    return;
  }
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace gis::core

namespace gis {

void KeepFreedMemory(bool keep) {
  if (core::MallctlFn control = core::jemalloc_control())
    core::set_free_memory_delay(control, keep ? core::kKeptFreedMs : core::configured_delay(control));
}

}  // namespace gis
