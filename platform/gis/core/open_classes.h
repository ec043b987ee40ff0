// Feature classes opened read-only are one object per source while someone holds them: a
// second opening of a source (the same file and layer, the same filter, no system assigned
// to it) whose files keep their sizes and times gets the class already open instead of a new
// dataset handle, the way a workspace hands out one object per feature class. The registry
// holds no reference: a class nobody holds closes as before, and one being let go on
// another thread is never handed out again.
#pragma once

#include <string>

#include <win32/com_ptr.h>

#include "extent_index.h"
#include "gdal_support.h"

namespace gis::core {

class FeatureClass;

class OpenClasses {
 public:
  // The key of an opening: "" when such an opening is not shared (a system assigned).
  static std::string key(const std::string& path, const std::string& layer, const std::string& filter,
                         bool assigned);
  // The class open under key whose source has not changed since, unrestricted; null for
  // none.
  static win32::ComPtr<FeatureClass> find(const std::string& key);
  // Notes cls as open under key, with its files as they were when it was opened (a class
  // may be noted under several keys: its layer named, and left to be the first).
  static void add(const std::string& key, FeatureClass* cls, SourceStamp stamp);
  // Forgets cls under every key (its destructor calls this).
  static void remove(FeatureClass* cls);
};

// Shapefiles this process has just written, their datasets kept open once their files are
// written out, for the opening that usually follows (a cut re-points the map's layers at the
// shapefiles it wrote; a sheet's frame is written, then opened). An opening takes a kept
// dataset only while its files are as they were left; at most kParked are kept, the oldest
// closed first.
class ParkedDatasets {
 public:
  static constexpr size_t kParked = 4;
  // Keeps dataset for an opening of the shapefile at path, with the stamp of its files.
  static void park(const std::string& path, DatasetPtr dataset, SourceStamp stamp);
  // The dataset kept for path when its files are unchanged since; null otherwise. Whatever
  // was kept for path is let go.
  static DatasetPtr take(const std::string& path);
  // Lets go of what is kept for path (a shapefile is being made there again).
  static void drop(const std::string& path);
  // Lets go of a dataset taken from here, whose files had `stamp` then: closed while they
  // still have it, otherwise never (closing would write its headers over the changes).
  static void release(DatasetPtr dataset, SourceStamp stamp);
};

}  // namespace gis::core
