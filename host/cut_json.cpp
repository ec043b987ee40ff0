#include "cut_json.h"

namespace host {

const char kCutJsonFormat[] = "areaclip-cut/1";

void write_cut_json(const CutSummary& summary, JsonWriter* json) {
  json->begin_object().key("folder").string(summary.folder).key("status").number(summary.status);
  json->key("layers").begin_array();
  for (const CutLayer& l : summary.layers) {
    json->begin_object().key("name").string(l.name).key("file").string(l.file).key("features_read");
    if (l.features_read < 0) json->null();
    else json->number(l.features_read);
    json->key("features_written").number(l.features).key("warnings").begin_array();
    for (const CutWarning& w : l.warnings)
      json->begin_object().key("message").string(w.message).key("count").number(w.count).end_object();
    json->end_array().end_object();
  }
  json->end_array().key("not_cut").begin_array();
  for (const LayerNotCut& l : summary.not_cut)
    json->begin_object().key("name").string(l.name).key("reason").string(l.reason).end_object();
  json->end_array().key("documents").strings(summary.documents);
  json->key("failure").strings(summary.failure).end_object();
}

}  // namespace host
