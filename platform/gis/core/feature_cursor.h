// FeatureCursor: IFeatureCursor streaming the features of a core feature class one at a
// time over a dataset handle of its own.
#pragma once

#include <string>

#include "feature_class.h"

namespace gis::core {

// A cursor over the features of cls matching where (all when empty); throws ComError.
win32::ComPtr<IFeatureCursor> open_cursor(win32::ComPtr<FeatureClass> cls, const std::string& where);

}  // namespace gis::core
