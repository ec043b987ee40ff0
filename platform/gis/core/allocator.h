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

}  // namespace gis::core
