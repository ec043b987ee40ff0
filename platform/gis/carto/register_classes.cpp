#include "gis/gis.h"

namespace gis {

void RegisterClasses() { RegisterCoreClasses(); }

}  // namespace gis
