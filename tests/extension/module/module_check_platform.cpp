// The stand-in's COM runtime looks up classes in the registry once told to; Windows always does.
#include <win32/inproc_servers.h>

void module_check_platform_start() { win32::EnableRegistryClasses(); }
