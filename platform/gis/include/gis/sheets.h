// Map sheets of the topographic series built on the 1:1,000,000 international map: names,
// corners, the sheets that cover a place, and sheet frames as polygons and layers.
//
// The series: 1:1,000,000 sheets are 4° rows lettered A–V from the equator toward either
// pole and 6° columns numbered 1–60 eastward from 180°; a 1:1,000,000 sheet holds four
// 1:500,000 sheets А–Г, 36 1:200,000 sheets I–XXXVI or 144 1:100,000 sheets 1–144; a
// 1:100,000 sheet holds four 1:50,000 sheets А–Г, each four 1:25,000 sheets а–г, each four
// 1:10,000 sheets 1–4; the plans: a 1:100,000 sheet holds 256 (16 × 16) 1:5,000 sheets,
// numbered in parentheses ("N-37-144-(256)"), each nine (3 × 3) 1:2,000 sheets а–и, lettered
// inside the same parentheses ("N-37-144-(256-и)"), issued one by one at every latitude.
// Every division is counted row by row from the north-west corner.
// Between 60° and 76° of latitude (north or south) sheets are issued joined in pairs along
// the parallel, between 76° and 88° in fours (1:200,000 in threes); a joined sheet is named
// by its first sheet followed by the differing tail of each next one ("P-35,36",
// "T-45-А,Б,46-А,Б", "T-47-133-А,Б,134-А,Б"). Sheets of the southern hemisphere carry
// " (Ю.П.)". Names are UTF-8; Latin letters that look like the Cyrillic ones are read as
// them, and Cyrillic look-alikes of the row letter as the row letter.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"

namespace gis {

enum class SheetScale { k1000000, k500000, k200000, k100000, k50000, k25000, k10000, k5000, k2000 };

// 1000000 for k1000000, …
long ScaleDenominator(SheetScale scale);
// "1:50,000".
std::string ScaleText(SheetScale scale);
// Reads "1:50000", "1:50 000", "1:50,000" or "50000"; false for scales outside the series.
bool ParseSheetScale(std::string_view text, SheetScale* scale);

// A sheet's frame in degrees of latitude and longitude (west < east, south < north).
struct SheetCorners {
  double west = 0, south = 0, east = 0, north = 0;
};

struct MapSheet {
  std::string name;  // as the series writes it
  SheetScale scale = SheetScale::k1000000;
  SheetCorners corners;
};

// The sheet a name denotes. False with *reason set (one line saying what is wrong, such as
// "row letter 'W' is not one of A–V") when the name is no sheet of the series.
bool ParseSheetName(std::string_view name, MapSheet* sheet, std::string* reason);

// The sheet of the scale that holds the point (degrees). A point on a sheet's edge belongs
// to the sheet north-east of it (on the equator: the northern one; on 180°, the edge that
// columns 60 and 1 share: column 1), and one on the edge of the series, 88° N or S, to row V.
// Longitudes beyond ±180° are taken round the earth. False beyond 88° of latitude, where
// the series has no sheets.
bool SheetAt(SheetScale scale, double longitude, double latitude, MapSheet* sheet);

// The sheets of the scale that cover the extent (degrees), west to east within rows from
// north to south. An extent whose west is greater than its east crosses 180°; longitudes
// beyond ±180° are taken round the earth. Edges belong as in SheetAt. Parts beyond 88° of
// latitude are left out.
std::vector<MapSheet> SheetsCovering(SheetScale scale, const SheetCorners& extent);

// --- frames in coordinate systems ---

// The geographic system of a system's datum (sr itself when it is geographic); empty with
// *error set for a null or unknown system.
win32::ComPtr<ISpatialReference> GeographicSystemOf(ISpatialReference* sr, std::string* error = nullptr);

// The sheet's frame as a polygon in `target`: its corners taken as degrees on `geographic`,
// its edges (parallels and meridians) densified to at most one minute of arc between
// vertices before projecting, so that the frame follows the graticule in a projected map.
// In a geographic target a sheet on 180° (columns 1 and 60) has a second part, its copy a
// turn round the earth, as 180° is written both as -180 and as 180.
// Empty with *error set when the frame cannot be projected.
win32::ComPtr<IGeometry> SheetPolygon(const MapSheet& sheet, ISpatialReference* geographic, ISpatialReference* target,
                                      std::string* error = nullptr);

// The sheets of the scale that at least one feature of the classes touches, from north to
// south and west to east. A feature's shape is tested against the frame projected into the
// shape's own system (`fallback`, the map's, when the shape has none), as a cut by the
// frame would hold it. *off_series (when given) counts the features that no sheet's frame
// holds: wholly beyond 88° of latitude, in geographic degrees wholly beyond ±180° (where
// no frame is drawn), or whose place has no degrees. False with
// *error set when a feature cannot be read or projected, or when a cancel was requested.
bool SheetsWithFeatures(const std::vector<IFeatureClass*>& classes, SheetScale scale, ISpatialReference* geographic,
                        ISpatialReference* fallback, std::vector<MapSheet>* sheets, std::string* error = nullptr,
                        long* off_series = nullptr);

// A sheet and the features of each class that touch it, as SheetsWithFeatures tests them.
struct SheetFeatures {
  MapSheet sheet;
  // By class, in the order of the classes: the object ids of the features on the sheet in
  // the class's reading order; null when the class's features have no ids to name them by
  // (the whole class then goes to every sheet).
  std::vector<std::shared_ptr<const std::vector<LONG>>> ids;
};

// SheetsWithFeatures, with the features each sheet's cut may hold: every class read once.
// A feature goes to every sheet whose frame, in `fallback` (the map's system, into which a
// cut takes the shape first), its shape touches there, of the sheets its extent in degrees
// reaches, widened a little so that a shape on an edge meets the sheets either side.
bool FeaturesBySheet(const std::vector<IFeatureClass*>& classes, SheetScale scale, ISpatialReference* geographic,
                     ISpatialReference* fallback, std::vector<SheetFeatures>* sheets, std::string* error = nullptr,
                     long* off_series = nullptr);

// A new folder for data files held in this process's memory (nothing on disk, gone with the
// process): a path the functions here and OpenFeatureClass take like any other.
// RemoveMemoryFolder removes it with its files.
std::string MakeMemoryFolder();
void RemoveMemoryFolder(const std::string& folder);
// Removes the files of the shapefile at path (its .shp and every file beside it of its
// name), on disk or in memory.
void RemoveShapefile(const std::string& path);

// Writes the sheets' frames in `target` as a new polygon layer with the fields NAME (the
// sheet's name) and SCALE (the denominator). The format follows the extension: .shp
// (UTF-8 text, with .cpg and .prj), .gpkg, .geojson or .json. Never replaces a file: an
// existing path is an error. False with *error set on failure, leaving no file behind.
bool WriteSheetLayer(const std::string& path, const std::vector<MapSheet>& sheets, ISpatialReference* geographic,
                     ISpatialReference* target, std::string* error = nullptr);

}  // namespace gis
