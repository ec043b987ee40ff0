// The stand-in's one channel for what it changes in the user's data on the way: a layer
// without a coordinate system taken in the map's, a feature whose shape is of another class
// than its layer's, a feature that cannot be projected, a field name shortened, a text cut
// to its field's width. A change belongs to the output file being written when it was made
// (the last shapefile created; a run writes one layer at a time) and is kept once per file and
// message with how many times it happened. See gis::TakeDataChanges.
#pragma once

#include <string>

namespace gis::core {

// The shapefile changes are written for from now on (absolute path), made anew: the field
// names it shortened before are forgotten.
void set_change_subject(const std::string& file);
// One more occurrence of a change.
void report_change(const std::string& message);
// A field of the current shapefile named `name` where `asked` was asked for (also reported
// as a change).
void report_field_renamed(const std::string& asked, const std::string& name);

}  // namespace gis::core
