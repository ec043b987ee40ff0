#include "vot_arcgis_vcl.h"

#include <windows.h>

void show_error(const char* text) { MessageBoxA(nullptr, text ? text : "", "Ошибка!", MB_OK); }
