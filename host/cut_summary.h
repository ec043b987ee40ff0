// What one cut did, in one place for whoever reports it: the command line prints it, the
// window shows it. Built by a CutWatch around the command's click (run_cut in hosted_cut.h,
// the window's toolbar) from the run's result document, the layers the run could not cut
// and the changes the GIS made to the data on the way.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "arcobjects/arcobjects.h"

namespace host {

// Exit status of a cut: 0 every layer cut, 1 the run failed or was refused, 2 bad usage or
// input, 3 the result was written but some layers were not cut, 128 + the signal that
// cancelled it.
enum CutStatus { kCutDone = 0, kCutFailed = 1, kCutBadInput = 2, kCutPartial = 3 };

// A change the GIS made to a layer's data while writing it, and how many times.
struct CutWarning {
  std::string message;
  long count = 0;
};

// A layer of the result whose data the run wrote into the result folder.
struct CutLayer {
  std::string file;  // relative to the result folder
  std::string name;  // the layer's name
  long features = 0;
  std::vector<CutWarning> warnings;
  long features_read = -1;  // the features of the layer's source the run read; -1 unknown
};

// A feature layer the run left naming its source: it had nothing to cut.
struct LayerNotCut {
  std::string name;
  std::string reason;
};

struct CutSummary {
  std::string folder;                   // the result folder, absolute
  std::vector<CutLayer> layers;         // in the map's order
  std::vector<LayerNotCut> not_cut;     // in the map's order
  std::vector<std::string> documents;   // the result documents written, absolute
  // Why the cut did not succeed, one line each (the messages shown and the GIS's reasons);
  // empty after a success.
  std::vector<std::string> failure;
  int status = kCutFailed;

  // Features written over every layer, leaving out layers named `except`.
  long features(const std::string& except = "") const;
  // True when the result was written: every layer cut, or some left out.
  bool written() const { return status == kCutDone || status == kCutPartial; }
};

// The summary as the command prints it: each layer's file, count and name with its
// warnings, the layers not cut, the result documents; a line each, UTF-8.
std::string summary_lines(const CutSummary& summary);
void print_summary(const CutSummary& summary, std::FILE* out);

// Why the result saved as document in folder (absolute, normalised) is not whole, "" when it
// is: the document must read, and each layer it takes from the folder must open, a shapefile
// as long as its headers say. (Files not yet flushed to disk when the system stopped, as by
// a power cut, may be missing or short while the document written after them is there.)
std::string result_not_whole(const std::string& folder, const std::string& document);

// What a cut's summary is made from, taken around the command's click on the thread that
// runs it: the open map before the run, then the result the run saved and the changes the
// GIS reported on the way (gis::TakeDataChanges: the caller takes what came before the run
// first).
class CutWatch {
 public:
  // Before the click: the focus map the run cuts.
  explicit CutWatch(IMap* map);
  // The feature layers whose source cannot be opened: the run leaves them naming it.
  const std::vector<LayerNotCut>& not_cut() const { return not_cut_; }
  // After a run that saved its result document (and project, "" for none) into folder
  // (absolute, normalised): the summary's layers, each with its changes and the features
  // the run read for it, the layers not cut, the documents and the status (done, or partial
  // with layers not cut). *unreadable says why the saved result could not be read back.
  // opened: the result document as the application opened it from disk after the run, or
  // null to read it here.
  void finish(const std::string& folder, const std::string& document, const std::string& project,
              IMxDocument* opened, CutSummary* summary, std::string* unreadable) const;

 private:
  std::vector<std::string> sources_before_;  // each layer's source, in the run's order
  std::vector<std::pair<std::string, long>> read_before_;  // each readable layer's features
  std::vector<LayerNotCut> not_cut_;
};

}  // namespace host
