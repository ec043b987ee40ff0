// Atomic replacement of a file: the content goes to a temporary file in the same folder,
// is flushed to disk, and is renamed over the target. A failure leaves the target as it was
// and removes the temporary file. A path that names a symbolic link replaces the file the link
// names (the link stays a link).
#pragma once

#include <string>

namespace gis::carto {

// Throws std::runtime_error naming the path and the system's reason.
void write_file_atomically(const std::string& path, const std::string& content);

}  // namespace gis::carto
