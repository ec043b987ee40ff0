// FeatureCursor: IFeatureCursor streaming the features of a core feature class one at a
// time, over a dataset handle of its own or the class's lent layer. A long read goes on
// ahead of its caller on a thread of the cursor's own (see feature_cursor.cpp); the cursor
// itself is used by one thread at a time, as before.
#pragma once

#include <string>

#include "feature_class.h"

namespace gis::core {

// A rectangle in a layer's coordinates.
struct SearchBox {
  double xmin, ymin, xmax, ymax;
};
// A cursor over the features of cls matching where (all when empty) and, when within is
// given, whose shapes' envelopes meet that rectangle (the source's spatial index decides, so
// a few more may come); throws ComError.
win32::ComPtr<IFeatureCursor> open_cursor(win32::ComPtr<FeatureClass> cls, const std::string& where,
                                          const SearchBox* within = nullptr);

}  // namespace gis::core
