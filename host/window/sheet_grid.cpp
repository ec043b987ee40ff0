#include "sheet_grid.h"

#include <gis/core.h>
#include <win32/com_ptr.h>

namespace host {

namespace {

// The map's system and the geographic one of its datum; false with *why.
bool systems_of(IMap* map, win32::ComPtr<ISpatialReference>* system, win32::ComPtr<ISpatialReference>* degrees,
                std::string* why) {
  if (!map || FAILED(map->get_SpatialReference(system->put())) || !*system) {
    *why = "the map has no coordinate system";
    return false;
  }
  *degrees = gis::GeographicSystemOf(system->get(), why);
  return *degrees != nullptr;
}

// The frame's shapes in the map's system.
std::vector<gis::ShapeParts> frame_of(const gis::MapSheet& sheet, ISpatialReference* degrees, ISpatialReference* system,
                                      std::string* why) {
  win32::ComPtr<IGeometry> polygon = gis::SheetPolygon(sheet, degrees, system, why);
  return polygon ? gis::GeometryShapes(polygon.get()) : std::vector<gis::ShapeParts>();
}

}  // namespace

bool SheetFrames(IMap* map, gis::SheetScale scale, const gis::MapView& view, std::vector<MapCanvas::Frame>* frames,
                 std::string* why) {
  frames->clear();
  win32::ComPtr<ISpatialReference> system, degrees;
  if (!systems_of(map, &system, &degrees, why)) return false;
  // The view in degrees: its rectangle taken into the geographic system, its edges with
  // points between the corners (a straight edge of a projected map bends in degrees).
  constexpr int kSteps = 8;
  std::string wkt = "POLYGON((";
  const double xs[] = {view.xmin, view.xmax, view.xmax, view.xmin, view.xmin};
  const double ys[] = {view.ymin, view.ymin, view.ymax, view.ymax, view.ymin};
  for (int side = 0; side < 4; ++side)
    for (int step = 0; step < kSteps; ++step) {
      const double t = static_cast<double>(step) / kSteps;
      wkt += std::to_string(xs[side] + (xs[side + 1] - xs[side]) * t) + " " +
             std::to_string(ys[side] + (ys[side + 1] - ys[side]) * t) + ",";
    }
  wkt += std::to_string(view.xmin) + " " + std::to_string(view.ymin) + "))";
  win32::ComPtr<IGeometry> area = gis::GeometryFromWkt(wkt, system.get(), why);
  win32::ComPtr<IEnvelope> envelope;
  if (!area || FAILED(area->Project(degrees.get())) || FAILED(area->get_Envelope(envelope.put())) || !envelope) {
    if (why->empty()) *why = "the view cannot be taken into degrees";
    return false;
  }
  gis::SheetCorners corners;
  envelope->get_XMin(&corners.west);
  envelope->get_YMin(&corners.south);
  envelope->get_XMax(&corners.east);
  envelope->get_YMax(&corners.north);
  const std::vector<gis::MapSheet> sheets = gis::SheetsCovering(scale, corners);
  if (sheets.size() > kMostSheetsShown) {
    *why = std::to_string(sheets.size()) + " sheets of " + gis::ScaleText(scale) + " cover the view: zoom in to see them";
    return false;
  }
  // The degrees' rectangle reaches beyond the view's corners: frames wholly outside go.
  for (const gis::MapSheet& sheet : sheets) {
    std::vector<gis::ShapeParts> shapes = frame_of(sheet, degrees.get(), system.get(), why);
    gis::MapView b;
    if (MapCanvas::bounds_of(shapes, &b) && b.xmax > view.xmin && b.xmin < view.xmax && b.ymax > view.ymin &&
        b.ymin < view.ymax)
      frames->push_back({QString::fromStdString(sheet.name), std::move(shapes)});
  }
  return true;
}

bool SheetBounds(IMap* map, const std::string& name, gis::MapView* bounds, std::string* why) {
  gis::MapSheet sheet;
  if (!gis::ParseSheetName(name, &sheet, why)) return false;
  win32::ComPtr<ISpatialReference> system, degrees;
  if (!systems_of(map, &system, &degrees, why)) return false;
  return MapCanvas::bounds_of(frame_of(sheet, degrees.get(), system.get(), why), bounds);
}

}  // namespace host
