// Small creatable helper objects: PropertySet (named VARIANT values), UID (a class id
// held as its registry text or ProgID) and QueryFilter (a where clause).
#pragma once

#include <string>

#include "arcobjects/arcobjects.h"

namespace gis::core {

// The where clause of a query filter in UTF-8 ("" for null or no clause).
std::string where_clause(IQueryFilter* filter);

void register_system_classes();

}  // namespace gis::core
