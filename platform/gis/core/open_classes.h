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

}  // namespace gis::core
