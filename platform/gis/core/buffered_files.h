// Buffered file access for GDAL. The shapefile driver reads and writes one
// record at a time, seeking before each (for a .dbf it seeks, reads, seeks back
// and writes for every record appended), which through stdio costs several
// system calls per feature. Files opened by the name buffered_path() gives go
// through a handler that keeps a window of the file in memory: records inside
// the window are copied, and the window is written back with one call when the
// access moves past it.
//
// A write the system refuses (disk full, file too large) fails the GDAL call
// that caused it, or a later one on the same file; once a file has failed,
// every further write to it fails, and write_failed() reports it by its real
// path, also after it was closed.
#pragma once

#include <string>

namespace gis::core {

// The name under which GDAL opens `path` (absolute or relative to the current
// folder) through the buffered handler. The handler is installed on first use.
std::string buffered_path(const std::string &path);

// The real path of a name buffered_path() made; other names come back
// unchanged.
std::string unbuffered_path(const std::string &name);

// True when a write to the file at `path` through the handler has failed, in
// this process.
bool write_failed(const std::string &path);

}  // namespace gis::core
