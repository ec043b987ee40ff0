// Map sheets for the host: the geographic system a sheet's degrees are taken on, the feature
// classes of a map, and a sheet's frame put into the open map as a polygon layer.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <gis/sheets.h>
#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"
#include "hosted_cut.h"

namespace host {

// The system the sheets' degrees are taken on: the geographic system of `sheet_crs` when it
// is given ("EPSG:n", WKT or .prj text), else that of the map's datum. Empty with *error set
// when there is none.
win32::ComPtr<ISpatialReference> sheet_degrees_system(IMap* map, const std::string& sheet_crs, std::string* error);

// The feature classes of the map's feature layers (in groups too) whose data could be opened.
std::vector<win32::ComPtr<IFeatureClass>> map_feature_classes(IMap* map);

// The sheets of the scale holding features of the map (gis::SheetsWithFeatures over its
// feature classes, degrees on `degrees`). Features that no sheet of the series holds are
// counted in a warning on standard error: no sheet's cut will hold them.
// With `routed`, also the features of each feature class (as map_feature_classes lists
// them) on each sheet (gis::FeaturesBySheet), in the same order as *sheets.
bool sheets_of_map(IMap* map, gis::SheetScale scale, ISpatialReference* degrees, std::vector<gis::MapSheet>* sheets,
                   std::string* error, std::vector<gis::SheetFeatures>* routed = nullptr);

// A folder of the process's for sheet frames, held in memory (nothing on disk, never beside
// the user's data), removed with this object: the frames of a series' sheets are written
// into one folder.
class FrameFolder {
 public:
  FrameFolder() = default;
  ~FrameFolder();
  FrameFolder(const FrameFolder&) = delete;
  FrameFolder& operator=(const FrameFolder&) = delete;
  // The folder's path, named on first use.
  const std::filesystem::path& path() const;

 private:
  mutable std::filesystem::path path_;
};

// One sheet's frame as a shapefile in a folder held in memory, removed with this object, and as
// a layer named by the sheet. A cut of the map then writes the frame into the result like
// any other layer.
class SheetFrameLayer {
 public:
  // warn_off_series: adding the frame also warns about the map's features that no sheet of
  // the series holds (a cut by one named sheet; a cut of all sheets warns once before).
  // shared: a folder to write the frame into (its files removed with this object, the
  // folder left); none: a folder of its own.
  SheetFrameLayer(gis::MapSheet sheet, std::string sheet_crs, bool warn_off_series = false,
                  const FrameFolder* shared = nullptr);
  ~SheetFrameLayer();
  SheetFrameLayer(const SheetFrameLayer&) = delete;
  SheetFrameLayer& operator=(const SheetFrameLayer&) = delete;

  // Writes the frame in the map's system and adds its layer at the bottom of the map.
  bool add_to(IMap* map, std::string* error);
  // The layer's name (the sheet's name); its one feature has object id 0.
  const std::string& layer_name() const { return sheet_.name; }
  // The layer add_to added (null before), for taking it out of the map again.
  ILayer* layer() const { return layer_.get(); }

 private:
  gis::MapSheet sheet_;
  std::string sheet_crs_;
  bool warn_off_series_;
  const FrameFolder* shared_;
  FrameFolder own_;
  std::filesystem::path file_;  // the frame's .shp, once written
  win32::ComPtr<ILayer> layer_;
};

// The cut by one sheet as `cut --sheet` makes it (the window's "Cut this sheet" too): the
// sheet's frame (`frame`, which must outlive the cut) added to the open map when the cut
// prepares it, its layer and its one feature chosen in the dialog, the result into folder.
CutRequest sheet_request(const std::string& document, const gis::MapSheet& sheet, const std::string& folder,
                         SheetFrameLayer* frame);

}  // namespace host
