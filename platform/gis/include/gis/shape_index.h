// What gis::ReadShapes keeps of a feature class between readings. A shapefile without a
// spatial index of its own (.qix, .sbn) is read whole once (a reading with no box or any
// box), which notes where each of its features lies; later readings of the class with a box
// then read only the records that may show, by id, in the file's order, until the source's
// files change on disk. Sources with a spatial index (a GeoPackage's R-tree, a .qix) are
// left to it.
#pragma once

#include <cstddef>

#include "arcobjects/arcobjects.h"

namespace gis {

// How many features the class's extent index holds; 0 when it has none (not learnt yet,
// dropped for a change on disk, or a source with a spatial index of its own).
size_t ExtentIndexSize(IFeatureClass* feature_class);

}  // namespace gis
