// A cut's summary in the JSON form of `areaclip cut --json` (docs/json/areaclip-cut.schema.json).
#pragma once

#include "cut_summary.h"
#include "cli_json.h"

namespace host {

// The format's name and version, the "format" member of every document of this form.
extern const char kCutJsonFormat[];

// The summary as the schema's "cut" object, written as the next value of json.
void write_cut_json(const CutSummary& summary, JsonWriter* json);

}  // namespace host
