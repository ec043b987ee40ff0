// A sandbox for running `areaclip cut` on bad input: a temporary folder holding a small map
// (a document over shapefiles written with GDAL), the program run as a subprocess with a
// registry of its own, and readers of what the run left on disk.
//
// Map coordinates are EPSG:32636 around (500000, 6000000). The cutting layer "Листы"
// (data/sheets.shp) holds feature "A", the square 0..1000, and "B", far away.
#pragma once

#include <gdal.h>
#include <ogr_api.h>

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fixture.h"
#include "support/com_test.h"

namespace bad_input {

namespace fs = std::filesystem;

// WKT in map coordinates, relative to (500000, 6000000).
std::string at(double x, double y);
std::string square(double x0, double y0, double x1, double y1);
std::string line(const std::vector<std::pair<double, double>>& points);

// How a layer is written: shape type, spatial reference (0: no .prj) and fields.
// encoding is the shapefile's ENCODING creation option: "UTF-8" writes a .cpg; "" stores
// text bytes as given, with neither a .cpg nor a language driver id.
struct LayerSchema {
  OGRwkbGeometryType type = wkbPolygon;
  int epsg = 32636;
  std::vector<fixture::Field> fields;
  std::string encoding = "UTF-8";
};

// Writes count features; fill sets each one's geometry and values (any driver by extension).
void write_features(const fs::path& path, const LayerSchema& schema, int count,
                    const std::function<void(int index, OGRFeatureH feature)>& fill);
// Writes features given as WKT ("" for no shape) and values as text ("" for null).
void write_wkt(const fs::path& path, const LayerSchema& schema, const std::vector<fixture::Feature>& features);

// A feature layer of a document, as JSON text.
std::string feature_layer(const std::string& name, const std::string& source, const std::string& display_field = "");

// Byte edits of files.
void truncate_file(const fs::path& path, uintmax_t size);
void set_byte(const fs::path& path, size_t offset, unsigned char value);
// Replaces every stored (little-endian) double `from` with `to`; returns how many.
int replace_double(const fs::path& path, double from, double to);
// Appends or drops dBASE records so that the .dbf's header counts `records`.
void set_dbf_record_count(const fs::path& dbf, int records);

// Every regular file under a folder: relative path → content.
std::map<std::string, std::string> files_under(const fs::path& folder);

struct CutResult {
  int code = -1;
  std::string out;  // standard output
  std::string err;  // standard error: the messages a person reads
};

class Sandbox {
 public:
  Sandbox();
  const fs::path& root() const { return dir_.path(); }
  fs::path data() const { return root() / "data"; }
  fs::path out() const { return root() / "out"; }
  fs::path document() const { return root() / "map.mxd"; }

  // data/sheets.shp, the cutting layer (no .prj when epsg is 0).
  void write_sheets(int epsg = 32636);
  // A document of one map with these layers (JSON texts) after the cutting layer.
  void write_document(const std::vector<std::string>& layers, const fs::path& path = {},
                      const std::string& spatial_reference = "\"EPSG:32636\"", const std::string& extra_keys = "");

  // `areaclip cut DOC OPTIONS --folder FOLDER` in the sandbox folder, after shell_prefix
  // (shell commands such as limits). Killed after a minute: a hang shows as a failed code.
  CutResult cut(const std::string& options = "--layer 'Листы' --feature A", const fs::path& folder = {},
          const fs::path& document = {}, const std::string& shell_prefix = "") const;
  // `areaclip ARGUMENTS` (shell words) in the sandbox folder; killed after a minute.
  CutResult run(const std::string& arguments) const;
  // `areaclip cut DOC ARGS... --folder FOLDER` run directly (no shell), sent `signal_number`
  // once its standard output holds `after_output`. code is minus the signal's number when
  // the program died of a signal rather than exiting; killed after a minute.
  CutResult cut_interrupted(const std::vector<std::string>& args, const fs::path& folder, int signal_number,
                            const std::string& after_output) const;
  // `areaclip cut DOC ARGS... --folder FOLDER` run directly, `watch` called with its process
  // id and the standard output so far after each piece of output and at least every 200 ms
  // while it runs; killed after `minutes`.
  CutResult cut_watched(const std::vector<std::string>& args, const fs::path& folder,
                        const std::function<void(pid_t pid, const std::string& out)>& watch, int minutes = 1) const;

 private:
  testing_support::TempDir dir_;
};

// Single-quoted for the shell.
std::string quoted(const std::string& text);

// The sample map (examples/) and its data copied into the sandbox: its document is the
// sandbox's.
void copy_sample(const Sandbox& box);
// The lines of a program's output, without their ends.
std::vector<std::string> lines_of(const std::string& text);

}  // namespace bad_input
