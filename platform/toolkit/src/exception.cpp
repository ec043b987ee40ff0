#include "toolkit/exception.h"

// Anchors the vtable and type information in the toolkit library, so that one Exception
// type is shared by the host, the platform libraries and the loaded module.
Exception::~Exception() = default;
