// Documents made from data files: the layers a command-line data argument names and the
// feature layers made for them (areaclip new / add). See gis/document.h.
#pragma once

#include <string>
#include <vector>

#include "document.h"
#include "gis/document.h"

namespace gis::carto {

// Throws DocumentError naming the argument and the reason.
std::vector<DataLayer> find_data_layers(const std::string& argument);
// The JSON of a new feature layer for data (simple renderer by geometry; colour by index).
Json data_layer_json(const DataLayer& data, size_t index);
// Adds layers for data to the document's focus map (into the top-level group named group,
// made when missing, unless group is empty). A map without a system takes the first layer's.
void add_data_layers(Document& document, const std::vector<DataLayer>& data, const std::string& group);

}  // namespace gis::carto
