// Cuts by map sheet: one sheet named on the command line, or every sheet of a scale that
// holds features of the map, each into a folder of its own.
#pragma once

#include <cstddef>
#include <string>

namespace host {

// `areaclip cut DOC --sheet NAME --folder DIR`: the sheet's frame is added to the open map
// as a polygon layer named by the sheet and the cut runs with it as any cut does. Returns
// the exit code.
// With json, the run's record goes to json_output() (commands.h) as the cut's JSON form.
int cut_by_sheet(const std::string& document, const std::string& sheet, const std::string& folder,
                 const std::string& sheet_crs, bool json = false);

// `areaclip cut DOC --all-sheets SCALE --folder DIR [--resume] [--jobs N]`: one cut per
// sheet holding features, into DIR/<sheet name>/. The map's layers are read once, each
// feature routed to the sheets it touches; each sheet's cut then reads only those (its
// result is what `--sheet NAME` writes). The sheets are cut `jobs` at a time (0: as many as
// there are processors, up to 8), each in a process forked from this one after the reading, their
// lines printed sheet by sheet as they are done. A failed sheet is reported and the next one
// cut; a signal cancels the sheets under way and keeps those cut before. With `resume`, sheets
// whose folder holds a whole result (a document, written last by a cut, that reads, and
// whole shapefiles) are left as they are; those whose result is not whole are failed. What
// the sheets' cuts wrote is flushed to disk once, at the end. Ends with a table of the
// sheets. Returns 0 when every sheet was cut whole (or was there), 1 when one failed (or was
// refused: its folder holds an earlier result), 3 when every sheet was cut but some with
// layers not cut, 2 for bad input, 128 + the signal.
// With json, every sheet's status and cut go to json_output() as the JSON form of the run.
int cut_all_sheets(const std::string& document, const std::string& scale, const std::string& folder,
                   const std::string& sheet_crs, bool json = false, bool resume = false, size_t jobs = 0);

// "51°57'30\" N" and the like for a sheet's corners.
std::string degrees_text(double value, bool latitude);

}  // namespace host
