// The shapefile workspace: ShapefileWorkspaceFactory (IWorkspaceFactory) opens a folder
// as a Workspace (IWorkspace, IFeatureWorkspace, IDataset) whose feature classes are the
// shapefiles in it.
#pragma once

#include <string>

#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"

namespace gis::core {

// The workspace of a folder (UTF-8 POSIX path); throws ComError when it is not a folder.
win32::ComPtr<IWorkspace> open_shapefile_workspace(const std::string& folder);

void register_workspace_classes();

}  // namespace gis::core
