// The maker's GIS control library: pickers and the error box.
#pragma once

// Error message box: no owner window, caption "Ошибка!", OK only, no icon; returns once
// the user has confirmed it.
void show_error(const char* text);
