// The GIS application object of the stand-in, for the host program and tests. It keeps the
// open document and the template list and implements New/Open/Save of documents; it can be
// handed to a command as its hook (it answers IDispatch).
#pragma once

#include <string>

#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"

namespace gis {

struct ApplicationOptions {
  // Folder of the templates. The normal template (Normal.mxt, a blank document with one
  // empty map) is written there when missing or unreadable. Empty: $AREACLIP_TEMPLATES, else
  // the installed PREFIX/share/areaclip/templates of an installed program (only read), else
  // "templates" beside the program, else a per-user folder, else one in the temporary folder
  // (the first that can hold it).
  std::string templates_folder;
};

// A new application with a new document made from the normal template. Registers the
// stand-in's classes. Never null.
win32::ComPtr<IApplication> CreateApplication(const ApplicationOptions& options = {});

// The QGIS project the application writes beside the open document when it saves it as
// path (UTF-8): for a document read from a project saved under a name that is no project,
// that name with the project's extension (.qgs or .qgz); "" for none.
std::string ProjectSavedWith(IApplication* application, const std::string& path);

}  // namespace gis
