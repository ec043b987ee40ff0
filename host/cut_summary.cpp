#include "cut_summary.h"

namespace host {

long CutSummary::features(const std::string& except) const {
  long total = 0;
  for (const CutLayer& l : layers)
    if (except.empty() || l.name != except) total += l.features;
  return total;
}

void print_summary(const CutSummary& summary, std::FILE* out) {
  for (const CutLayer& l : summary.layers) {
    std::fprintf(out, "  %-40s %8ld features  (%s)\n", l.file.c_str(), l.features, l.name.c_str());
    for (const CutWarning& w : l.warnings) std::fprintf(out, "      warning: %s (%ld)\n", w.message.c_str(), w.count);
  }
  for (const LayerNotCut& l : summary.not_cut) std::fprintf(out, "  not cut: %s: %s\n", l.name.c_str(), l.reason.c_str());
  for (size_t i = 0; i < summary.documents.size(); ++i)
    std::fprintf(out, "%s: %s\n", i == 0 ? "result document" : "result project", summary.documents[i].c_str());
}

}  // namespace host
