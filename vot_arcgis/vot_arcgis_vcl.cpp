#include "vot_arcgis_vcl.h"

#include <cstdio>

#include <windows.h>

void show_error(const char* text) { MessageBoxA(nullptr, text ? text : "", "Ошибка!", MB_OK); }

namespace {
Tvo_arcgis_sleep_function g_sleep = &Sleep;
}  // namespace

Tvo_arcgis_sleep_function set_arcgis_sleep_function(Tvo_arcgis_sleep_function sleep) {
  Tvo_arcgis_sleep_function previous = g_sleep;
  g_sleep = sleep ? sleep : &Sleep;
  return previous;
}

void vot_arcgis_sleep(DWORD milliseconds) { g_sleep(milliseconds); }

void Tvo_arcgis_layers_vector::clear() { f_items.clear(); }

void Tvo_arcgis_layers_vector::add(TComInterface<ILayer> layer) { f_items.push_back(std::move(layer)); }

TComInterface<ILayer> Tvo_arcgis_layers_vector::at(int index) const { return f_items.at(static_cast<size_t>(index)); }

int Tvo_arcgis_layers_vector::find(ILayer* layer) const {
  for (size_t i = 0; i < f_items.size(); ++i)
    if (f_items[i].get() == layer) return static_cast<int>(i);
  return -1;
}

int Tvo_arcgis_id_vector::find(LONG id) const {
  for (size_t i = 0; i < f_items.size(); ++i)
    if (f_items[i] == id) return static_cast<int>(i);
  return -1;
}

Tvo_arcgis_geometry_types::Tvo_arcgis_geometry_types(std::initializer_list<LONG> types) {
  for (LONG t : types) include(t);
}

void Tvo_arcgis_geometry_types::include(LONG type) {
  if (type >= 0 && type <= 22) f_bits |= 1u << type;
}

bool Tvo_arcgis_geometry_types::contains(LONG type) const {
  return type >= 0 && type <= 22 && (f_bits & (1u << type)) != 0;
}

std::string guid_registry_text(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
                g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}
