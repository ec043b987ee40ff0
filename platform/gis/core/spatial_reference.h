// SpatialReference: ISpatialReference over an OGRSpatialReference (axis order x =
// easting/longitude). Each distinct system gets a process-wide id at creation, so that
// "same system" and the per-thread cache of coordinate transformations are keyed cheaply.
#pragma once

#include <ogr_spatialref.h>

#include <map>
#include <mutex>
#include <string>

#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"

DECLARE_INTERFACE_IID(ICoreSpatialReference, 0x8E1F4C22, 0x5A0B, 0x4D6E, 0xB1, 0x7C, 0x3D, 0x90, 0x2A, 0x64, 0xE5, 0x08)
// Private interface of the core's spatial references.
struct ICoreSpatialReference : IUnknown {
  virtual const OGRSpatialReference& ogr() const = 0;
  // Equal ids mean equal definitions.
  virtual int system_id() const = 0;
};

namespace gis::core {

// A spatial reference from "EPSG:n", WKT (any flavour) or .prj text; throws ComError
// E_INVALIDARG with GDAL's message when the text names no system.
win32::ComPtr<ISpatialReference> make_spatial_reference(const std::string& text);
// A spatial reference holding a copy of srs (which may come from a data source).
win32::ComPtr<ISpatialReference> make_spatial_reference(const OGRSpatialReference& srs);
// The same for a system whose id is known: the ogr() and system_id() of an object made
// before (the definition is not exported again to find it).
win32::ComPtr<ISpatialReference> make_spatial_reference(const OGRSpatialReference& srs, int system_id);
// Systems kept by a text that names them (a document's, a .prj's), at most `limit` (all
// forgotten when full): the next object of a text met before is a copy of its system, which
// costs less than parsing the text and looking the system up in PROJ's database. Each
// object made is one of its own. Safe on any thread.
class SystemsByText {
 public:
  explicit SystemsByText(size_t limit) : limit_(limit) {}
  // A new object of the system kept for text; null when none is.
  win32::ComPtr<ISpatialReference> find(const std::string& text);
  bool has(const std::string& text);
  // Keeps the system of sr (one made here; others are not kept) for text.
  void keep(const std::string& text, ISpatialReference* sr);

 private:
  struct System {
    OGRSpatialReference srs;
    int id;
  };
  size_t limit_;
  std::mutex lock_;
  std::map<std::string, System> systems_;
};
// The core face of sr; null for null or foreign objects (no reference added).
ICoreSpatialReference* core_sr(ISpatialReference* sr);
// "EPSG:n" or WKT.
std::string spatial_reference_text(ISpatialReference* sr);
// The ESRI WKT of a system as the shapefile driver writes it into a .prj, made once per
// distinct system in the process; "" when it has none.
std::string prj_text(ICoreSpatialReference* sr);
// Writes the .prj beside the shapefile `shp` with prj_text(sr); nothing when the system has
// no such text. Throws ComError when it cannot be written.
void write_prj(const std::string& shp, ICoreSpatialReference* sr);
// The transformation between two systems from a per-thread cache (owned by it); null when
// the systems are the same in substance. Throws ComError when there is none
// (projection.cpp).
OGRCoordinateTransformation* transformation(ICoreSpatialReference* from, ICoreSpatialReference* to);

}  // namespace gis::core
