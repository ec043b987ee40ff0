// The GIS stand-in as a whole: call RegisterClasses once before creating any of its
// classes through CoCreateInstance.
#pragma once

#include "gis/core.h"

namespace gis {

// Registers every creatable class of the stand-in with the COM runtime (idempotent).
void RegisterClasses();

}  // namespace gis
