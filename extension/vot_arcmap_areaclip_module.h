// The module's state: its instance handle, the lock count, its critical sections and its COM
// initialisation, and its start-up and shut-down at process attach and detach. Start-up also
// puts in the module's resource lookup (the toolkit's previous lookup is kept and given back
// at shut-down) and the loader of the cut dialog's form text.
#pragma once

#include <windows.h>

// The module's own instance (recorded at process attach).
HINSTANCE vot_module_instance();
// The lock count: objects, enumerators and LockServer hold the module loaded.
LONG vot_module_lock();
LONG vot_module_unlock();
LONG vot_module_lock_count();

// The lock of the class table's cached class factories; valid between start and stop.
CRITICAL_SECTION* vot_module_class_table_section();

// Start-up at process attach: COM, the instance, the critical sections, then start_classes
// (the class table's own start), the resource lookup and the form loader.
void vot_module_start(HINSTANCE instance, void (*start_classes)());
// Shut-down at process detach, in the reverse order: stop_classes first (releasing the cached
// class factories), COM last.
void vot_module_stop(void (*stop_classes)());
