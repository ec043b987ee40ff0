#include "geos_support.h"

#include <vector>

#include <win32/com_error.h>

namespace gis::core {
namespace {

void store_message(const char* message, void* userdata) { *static_cast<std::string*>(userdata) = message; }

// Owns the thread's context and its reusable readers and writers.
struct ThreadGeos {
  GEOSContextHandle_t handle;
  std::string last_error;
  GEOSWKTReader* wkt_reader = nullptr;
  GEOSWKTWriter* wkt_writer = nullptr;
  GEOSWKBReader* wkb_reader = nullptr;
  GEOSWKBWriter* wkb_writer = nullptr;
  std::vector<unsigned char> wkb;

  ThreadGeos() : handle(GEOS_init_r()) {
    GEOSContext_setErrorMessageHandler_r(handle, store_message, &last_error);
    // Notices (for example "Self-intersection at ...") are expected on invalid input and
    // are not errors; they are dropped.
    GEOSContext_setNoticeMessageHandler_r(handle, nullptr, nullptr);
  }
  ~ThreadGeos() {
    if (wkt_reader) GEOSWKTReader_destroy_r(handle, wkt_reader);
    if (wkt_writer) GEOSWKTWriter_destroy_r(handle, wkt_writer);
    if (wkb_reader) GEOSWKBReader_destroy_r(handle, wkb_reader);
    if (wkb_writer) GEOSWKBWriter_destroy_r(handle, wkb_writer);
    GEOS_finish_r(handle);
  }
};

ThreadGeos& thread_geos() {
  thread_local ThreadGeos t;
  return t;
}

}  // namespace

GEOSContextHandle_t geos() { return thread_geos().handle; }

const std::string& geos_last_error() { return thread_geos().last_error; }

GeomPtr geos_checked(GEOSGeometry* g, const char* what) {
  if (!g) {
    const std::string& msg = geos_last_error();
    win32::throw_hr(E_FAIL, std::string(what) + (msg.empty() ? std::string(" failed") : ": " + msg));
  }
  return GeomPtr(g);
}

GeomPtr geos_clone(const GEOSGeometry* g) { return geos_checked(GEOSGeom_clone_r(geos(), g), "GEOS clone"); }

GeomPtr geos_from_wkt(std::string_view wkt) {
  ThreadGeos& t = thread_geos();
  if (!t.wkt_reader) t.wkt_reader = GEOSWKTReader_create_r(t.handle);
  std::string text(wkt);
  t.last_error.clear();
  return geos_checked(GEOSWKTReader_read_r(t.handle, t.wkt_reader, text.c_str()), "WKT");
}

std::string geos_to_wkt(const GEOSGeometry* g) {
  ThreadGeos& t = thread_geos();
  if (!t.wkt_writer) {
    t.wkt_writer = GEOSWKTWriter_create_r(t.handle);
    GEOSWKTWriter_setTrim_r(t.handle, t.wkt_writer, 1);
    GEOSWKTWriter_setRoundingPrecision_r(t.handle, t.wkt_writer, 17);
  }
  char* s = GEOSWKTWriter_write_r(t.handle, t.wkt_writer, g);
  if (!s) win32::throw_hr(E_FAIL, "WKT: " + t.last_error);
  std::string out(s);
  GEOSFree_r(t.handle, s);
  return out;
}

GeomPtr geos_from_wkb(const unsigned char* wkb, size_t size) {
  ThreadGeos& t = thread_geos();
  if (!t.wkb_reader) t.wkb_reader = GEOSWKBReader_create_r(t.handle);
  t.last_error.clear();
  return geos_checked(GEOSWKBReader_read_r(t.handle, t.wkb_reader, wkb, size), "WKB");
}

std::basic_string_view<unsigned char> geos_to_wkb(const GEOSGeometry* g) {
  ThreadGeos& t = thread_geos();
  if (!t.wkb_writer) t.wkb_writer = GEOSWKBWriter_create_r(t.handle);
  size_t size = 0;
  unsigned char* buf = GEOSWKBWriter_write_r(t.handle, t.wkb_writer, g, &size);
  if (!buf) win32::throw_hr(E_FAIL, "WKB: " + t.last_error);
  t.wkb.assign(buf, buf + size);
  GEOSFree_r(t.handle, buf);
  return {t.wkb.data(), t.wkb.size()};
}

GeomPtr geos_empty(int type_id) {
  GEOSContextHandle_t h = geos();
  switch (type_id) {
    case GEOS_POINT: return geos_checked(GEOSGeom_createEmptyPoint_r(h), "empty point");
    case GEOS_LINESTRING: return geos_checked(GEOSGeom_createEmptyLineString_r(h), "empty line");
    case GEOS_POLYGON: return geos_checked(GEOSGeom_createEmptyPolygon_r(h), "empty polygon");
    default: return geos_checked(GEOSGeom_createEmptyCollection_r(h, type_id), "empty collection");
  }
}

bool geos_bounds(const GEOSGeometry* g, Bounds* b) {
  GEOSContextHandle_t h = geos();
  if (!g || GEOSisEmpty_r(h, g)) return false;
  return GEOSGeom_getXMin_r(h, g, &b->xmin) && GEOSGeom_getYMin_r(h, g, &b->ymin) &&
         GEOSGeom_getXMax_r(h, g, &b->xmax) && GEOSGeom_getYMax_r(h, g, &b->ymax);
}

}  // namespace gis::core
