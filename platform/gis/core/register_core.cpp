#include "gis/core.h"

namespace gis {

void RegisterCoreClasses() {}

}  // namespace gis
