// Atomic replacement of a file: the content goes to a temporary file in the same folder,
// is flushed to disk, and is renamed over the target. A failure leaves the target as it was
// and removes the temporary file. A path that names a symbolic link replaces the file the link
// names (the link stays a link).
#pragma once

#include <string>

namespace gis::carto {

// Throws std::runtime_error naming the path and the system's reason.
void write_file_atomically(const std::string& path, const std::string& content);

// While on, files written by write_file_atomically in this process (and in processes it
// forks afterwards) are still renamed into place whole, but are not flushed to disk one by
// one: a run that writes many ends with sync_file_system instead.
void defer_sync(bool defer);
// Flushes to disk everything written so far on the file system holding folder; throws
// std::runtime_error naming the folder and the reason.
void sync_file_system(const std::string& folder);

}  // namespace gis::carto
