// Cuts by map sheet. The frame of each sheet goes into the open map as a layer of its own
// (sheet_frame.h), and the cut runs through the extension's dialog exactly as a cut by a
// polygon the user picked (hosted_cut.h).
#include "sheet_cut.h"

#include <signal.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include <gis/core.h>
#include <gis/document.h>
#include <gis/sheets.h>

#include "commands.h"
#include "cut_json.h"
#include "hosted_cut.h"
#include "sheet_frame.h"
#include "worker_processes.h"

namespace host {

namespace fs = std::filesystem;
using win32::ComPtr;

namespace {

// AREACLIP_SHEET_BY_SHEET=1 (for comparing in benchmarks): each sheet's cut reads every
// feature of the map again, as a cut of one named sheet does.
bool every_feature_per_sheet() {
  const char* value = std::getenv("AREACLIP_SHEET_BY_SHEET");
  return value && *value && std::string(value) != "0";
}

struct SheetRow {
  std::string sheet;
  long features = -1;  // written, without the frame; -1 when the sheet was not cut
  std::string result;
  std::string folder;
  int status = -1;  // the sheet's cut's exit status; -1 when it was not tried
  CutSummary summary;
  bool already_there = false;  // left as it was (--resume)
};

// The run of one cut by a sheet in the JSON form of the cut command.
void print_sheet_json(const std::string& document, const std::string& sheet, const CutSummary& summary) {
  JsonWriter json;
  json.begin_object().key("format").string(kCutJsonFormat).key("kind").string("cut");
  json.key("document").string(document).key("by").begin_object().key("sheet").string(sheet).end_object();
  json.key("cut");
  write_cut_json(summary, &json);
  json.key("status").number(summary.status).end_object();
  std::fputs(json.text().c_str(), json_output());
}

// The run by every sheet of a scale in the JSON form of the cut command; failure says why
// it ended before any sheet was cut.
void print_sheets_json(const std::string& document, const std::string& scale, const std::string& folder,
                       const std::vector<SheetRow>& rows, const std::vector<std::string>& failure, int status) {
  JsonWriter json;
  json.begin_object().key("format").string(kCutJsonFormat).key("kind").string("sheets");
  json.key("document").string(document).key("scale").string(scale).key("folder").string(folder);
  json.key("sheets").begin_array();
  for (const SheetRow& r : rows) {
    json.begin_object().key("sheet").string(r.sheet).key("folder").string(r.folder).key("status");
    if (r.status < 0) json.null();
    else json.number(r.status);
    json.key("features_written");
    if (r.features < 0) json.null();
    else json.number(r.features);
    json.key("cut");
    if (r.status < 0) json.null();
    else write_cut_json(r.summary, &json);
    json.end_object();
  }
  json.end_array().key("failure").strings(failure).key("status").number(status).end_object();
  std::fputs(json.text().c_str(), json_output());
}

// Characters, not bytes: sheet names hold Cyrillic letters.
size_t chars(const std::string& utf8) {
  size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

void print_table(const std::vector<SheetRow>& rows) {
  size_t width = 5;
  for (const SheetRow& r : rows) width = std::max(width, chars(r.sheet));
  std::printf("\n%-*s  %10s  %s\n", static_cast<int>(width), "sheet", "features", "result");
  for (const SheetRow& r : rows) {
    const std::string count = r.features < 0 ? "-" : std::to_string(r.features);
    std::printf("%s%*s  %10s  %s\n", r.sheet.c_str(), static_cast<int>(width - chars(r.sheet)), "", count.c_str(),
                r.result.c_str());
  }
}

}  // namespace

std::string degrees_text(double value, bool latitude) {
  const char hemisphere = latitude ? (value < 0 ? 'S' : 'N') : (value < 0 ? 'W' : 'E');
  long seconds = std::lround(std::fabs(value) * 3600.0);
  char text[48];
  if (seconds % 60)
    std::snprintf(text, sizeof text, "%ld°%02ld'%02ld\" %c", seconds / 3600, seconds / 60 % 60, seconds % 60, hemisphere);
  else
    std::snprintf(text, sizeof text, "%ld°%02ld' %c", seconds / 3600, seconds / 60 % 60, hemisphere);
  return text;
}

int cut_by_sheet(const std::string& document, const std::string& name, const std::string& folder,
                 const std::string& sheet_crs, bool json) {
  gis::MapSheet sheet;
  std::string reason;
  if (!gis::ParseSheetName(name, &sheet, &reason)) {
    const std::string message = "'" + name + "' is no map sheet: " + reason;
    std::fprintf(stderr, "areaclip: %s\n", message.c_str());
    if (json) {
      CutSummary summary;
      summary.folder = fs::absolute(folder).lexically_normal().string();
      summary.failure.push_back(message);
      summary.status = kCutBadInput;
      print_sheet_json(document, name, summary);
    }
    return 2;
  }
  std::printf("sheet %s (%s): %s – %s, %s – %s\n", sheet.name.c_str(), gis::ScaleText(sheet.scale).c_str(),
              degrees_text(sheet.corners.south, true).c_str(), degrees_text(sheet.corners.north, true).c_str(),
              degrees_text(sheet.corners.west, false).c_str(), degrees_text(sheet.corners.east, false).c_str());
  SheetFrameLayer frame(sheet, sheet_crs, true);
  CutRequest request = sheet_request(document, sheet, folder, &frame);
  if (!json) return run_cut(request);
  request.print_summary = false;
  CutSummary summary;
  const int code = run_cut(request, &summary);
  print_sheet_json(document, sheet.name, summary);
  return code;
}

namespace {

// A sheet's row as bytes, for handing it from the process that cut it to this one.
class RowWriter {
 public:
  void number(long value) { bytes_.append(reinterpret_cast<const char*>(&value), sizeof value); }
  void text(const std::string& value) {
    number(static_cast<long>(value.size()));
    bytes_ += value;
  }
  void texts(const std::vector<std::string>& values) {
    number(static_cast<long>(values.size()));
    for (const std::string& v : values) text(v);
  }
  std::string row(const SheetRow& r) {
    text(r.sheet), number(r.features), text(r.result), text(r.folder), number(r.status);
    number(r.already_there);
    const CutSummary& s = r.summary;
    text(s.folder), number(s.status), texts(s.documents), texts(s.failure);
    number(static_cast<long>(s.layers.size()));
    for (const CutLayer& l : s.layers) {
      text(l.file), text(l.name), number(l.features), number(l.features_read);
      number(static_cast<long>(l.warnings.size()));
      for (const CutWarning& w : l.warnings) text(w.message), number(w.count);
    }
    number(static_cast<long>(s.not_cut.size()));
    for (const LayerNotCut& l : s.not_cut) text(l.name), text(l.reason);
    return bytes_;
  }

 private:
  std::string bytes_;
};

// Reads what RowWriter wrote; false for bytes it did not write.
class RowReader {
 public:
  explicit RowReader(const std::string& bytes) : bytes_(bytes) {}
  bool row(SheetRow* r) {
    text(&r->sheet), number(&r->features), text(&r->result), text(&r->folder), integer(&r->status);
    long there = 0;
    number(&there);
    r->already_there = there != 0;
    CutSummary& s = r->summary;
    text(&s.folder), integer(&s.status), texts(&s.documents), texts(&s.failure);
    long n = 0;
    number(&n);
    for (long i = 0; ok_ && i < n; ++i) {
      CutLayer l;
      text(&l.file), text(&l.name), number(&l.features), number(&l.features_read);
      long warnings = 0;
      number(&warnings);
      for (long k = 0; ok_ && k < warnings; ++k) {
        CutWarning w;
        text(&w.message), number(&w.count);
        l.warnings.push_back(w);
      }
      s.layers.push_back(l);
    }
    number(&n);
    for (long i = 0; ok_ && i < n; ++i) {
      LayerNotCut l;
      text(&l.name), text(&l.reason);
      s.not_cut.push_back(l);
    }
    return ok_ && at_ == bytes_.size();
  }

 private:
  void number(long* value) {
    ok_ = ok_ && bytes_.size() - at_ >= sizeof *value;
    if (!ok_) return;
    std::memcpy(value, bytes_.data() + at_, sizeof *value);
    at_ += sizeof *value;
  }
  void integer(int* value) {
    long v = 0;
    number(&v);
    *value = static_cast<int>(v);
  }
  void text(std::string* value) {
    long n = 0;
    number(&n);
    ok_ = ok_ && n >= 0 && bytes_.size() - at_ >= static_cast<size_t>(n);
    if (!ok_) return;
    value->assign(bytes_, at_, static_cast<size_t>(n));
    at_ += static_cast<size_t>(n);
  }
  void texts(std::vector<std::string>* values) {
    long n = 0;
    number(&n);
    for (long i = 0; ok_ && i < n; ++i) {
      values->emplace_back();
      text(&values->back());
    }
  }

  const std::string& bytes_;
  size_t at_ = 0;
  bool ok_ = true;
};

// A series found: its sheets, the features routed to each, and where they go.
struct Series {
  std::string document, sheet_crs;
  fs::path root;
  std::vector<gis::MapSheet> sheets;
  std::vector<gis::SheetFeatures> routed;  // by sheet, as `sheets`
  bool routing = true;
  // The document held open while this process cuts sheets: its feature classes stay open,
  // and every sheet's cut, opening the same sources, is handed them (gis::OpenFeatureClass
  // hands out one object per source while it is open) instead of opening the files anew.
  // Made in the process that cuts: a dataset opened before a fork would share its files'
  // positions with the other processes.
  ComPtr<IMxDocument> sources;
  // Where every sheet's frame is written (made before the processes that cut are started,
  // removed by the process that made it).
  FrameFolder frames;
  // The application and command this process cuts its sheets with (made by its first cut).
  CutSession session;
};

// The row of sheet i when it was not cut (status -1) or failed before its cut could say
// why.
SheetRow row_of(const Series& series, size_t i, const std::string& result, int status = -1) {
  return SheetRow{series.sheets[i].name, -1, result, (series.root / series.sheets[i].name).string(), status, {}};
}

// While a series runs, the documents of its sheets are not flushed to disk one by one: the
// series flushes everything it wrote once, at its end. Memory its sheets free is kept for
// the next sheets instead of being given back after a moment.
class SeriesSync {
 public:
  SeriesSync() {
    gis::DeferDocumentSync(true);
    gis::KeepFreedMemory(true);
  }
  ~SeriesSync() {
    gis::KeepFreedMemory(false);
    gis::DeferDocumentSync(false);
  }
  SeriesSync(const SeriesSync&) = delete;
  SeriesSync& operator=(const SeriesSync&) = delete;
};

// Cuts sheet i of the series into its folder; its row.
SheetRow cut_sheet(Series& series, size_t i) {
  if (!series.sources) series.sources = gis::LoadDocument(series.document);
  const gis::MapSheet& sheet = series.sheets[i];
  const fs::path into = series.root / sheet.name;
  SheetFrameLayer frame(sheet, series.sheet_crs, false, &series.frames);
  CutRequest request = sheet_request(series.document, sheet, into.string(), &frame);
  request.print_summary = false;
  request.session = &series.session;
  // The open document's feature classes serve only the sheet's features while it is cut.
  std::vector<ComPtr<IFeatureClass>> restricted;
  if (series.routing) {
    request.prepare = [&](IMap* map, std::string* error) {
      restricted = map_feature_classes(map);
      if (restricted.size() != series.routed[i].ids.size()) {
        *error = "the layers of " + series.document + " changed while its sheets were cut";
        return false;
      }
      for (size_t c = 0; c < restricted.size(); ++c)
        gis::RestrictFeatures(restricted[c].get(), series.routed[i].ids[c]);
      return frame.add_to(map, error);
    };
  }
  CutSummary summary;
  const int code = run_cut(request, &summary);
  for (const ComPtr<IFeatureClass>& c : restricted) gis::RestrictFeatures(c.get(), nullptr);
  restricted.clear();
  series.routed[i].ids.clear();
  SheetRow row{sheet.name, -1, "", into.string(), code, summary};
  if (summary.written()) {
    row.features = summary.features(sheet.name);
    row.result = "ok: " + summary.documents.front();
    if (code == kCutPartial) {
      row.result = "partial: " + summary.documents.front() + "; not cut:";
      for (const LayerNotCut& l : summary.not_cut) row.result += " " + l.name + ",";
      row.result.pop_back();
    }
  } else if (code > 128) {
    row.result = std::string("cancelled (") + signal_name(code - 128) + "), nothing kept";
  } else {
    row.result = "failed (exit " + std::to_string(code) + ")";
    if (!summary.failure.empty()) row.result += ": " + summary.failure.front();
  }
  return row;
}

void print_started(const Series& series, size_t i) {
  std::printf("\n[%zu/%zu] sheet %s -> %s\n", i + 1, series.sheets.size(), series.sheets[i].name.c_str(),
              (series.root / series.sheets[i].name).string().c_str());
}

void print_finished(const Series& series, size_t i, const SheetRow& row) {
  if (row.summary.written())
    std::printf("[%zu/%zu] %s: %ld features written\n", i + 1, series.sheets.size(), row.sheet.c_str(), row.features);
  else if (row.status >= 0 && row.status <= 128)
    std::fprintf(stderr, "areaclip: sheet %s failed; going on with the next one\n", row.sheet.c_str());
}

// Cuts the sheets `todo` (indexes into series.sheets) in `jobs` processes at a time, each
// sheet's lines printed together as it is done; their rows into rows. False when no
// process could be started (nothing was cut).
bool cut_in_workers(Series& series, const std::vector<size_t>& todo, size_t jobs, std::vector<SheetRow>* rows) {
  WorkerCallbacks callbacks;
  callbacks.work = [&series](size_t i) { return RowWriter().row(cut_sheet(series, i)); };
  callbacks.done = [&](size_t i, WorkerOutput output) {
    SheetRow row;
    if (!RowReader(output.result).row(&row)) {
      row = row_of(series, i, "failed: its process answered in a way not understood", kCutFailed);
    }
    print_started(series, i);
    std::fputs(output.out.c_str(), stdout);
    std::fputs(output.err.c_str(), stderr);
    print_finished(series, i, row);
    std::fflush(stdout);
    (*rows)[i] = row;
  };
  callbacks.lost = [&](size_t i, const std::string& why) {
    print_started(series, i);
    const SheetRow row = row_of(series, i, "failed: " + why, kCutFailed);
    print_finished(series, i, row);
    std::fflush(stdout);
    (*rows)[i] = row;
  };
  callbacks.cancelled = [] { return CancelSignals::received(); };
  std::vector<size_t> started;
  std::string error;
  if (!run_in_workers(jobs, todo, callbacks, &started, &error)) {
    std::fprintf(stderr, "areaclip: %s: cutting one sheet at a time\n", error.c_str());
    return false;
  }
  // Sheets no process took: the run was cancelled, or every process ended.
  std::vector<bool> taken(series.sheets.size(), false);
  for (size_t i : started) taken[i] = true;
  for (size_t i : todo)
    if (!taken[i])
      (*rows)[i] = row_of(series, i,
                          CancelSignals::received() ? "not cut (cancelled)" : "not cut (no process left to cut it)");
  return true;
}

// The cut by every sheet behind cut_all_sheets: its exit code, with a row per sheet and
// the reasons the run ended before any sheet was cut.
int cut_sheets(const std::string& document, const std::string& scale_text, const std::string& folder,
               const std::string& sheet_crs, bool resume, size_t jobs, std::vector<SheetRow>* rows_out,
               std::vector<std::string>* failure) {
  std::vector<SheetRow>& rows = *rows_out;
  const auto fail = [failure](int code, const std::string& message) {
    std::fprintf(stderr, "areaclip: %s\n", message.c_str());
    failure->push_back(message);
    return code;
  };
  gis::SheetScale scale;
  if (!gis::ParseSheetScale(scale_text, &scale))
    return fail(2, "--all-sheets takes a scale of the series (1:1000000, 1:500000, 1:200000, 1:100000, 1:50000, "
                   "1:25000, 1:10000, 1:5000, 1:2000), not '" + scale_text + "'");
  CancelSignals cancel_signals;
  Series series{document, sheet_crs, fs::absolute(folder).lexically_normal(), {}, {}, !every_feature_per_sheet(), {},
                {}, {}};
  {
    std::string error;
    ComPtr<IMxDocument> doc = gis::LoadDocument(document, &error);
    ComPtr<IMap> map;
    if (doc) doc->get_FocusMap(map.put());
    if (!map) return fail(2, doc ? document + " has no map" : error);
    ComPtr<ISpatialReference> degrees = sheet_degrees_system(map.get(), sheet_crs, &error);
    std::printf("finding the %s sheets that hold features of %s\n", gis::ScaleText(scale).c_str(), document.c_str());
    std::fflush(stdout);
    if (!degrees || !sheets_of_map(map.get(), scale, degrees.get(), &series.sheets, &error, &series.routed)) {
      if (const int signal_number = CancelSignals::received())
        return fail(128 + signal_number,
                    std::string("cancelled (") + signal_name(signal_number) + ") before any sheet was cut");
      return fail(2, error);
    }
  }
  const std::vector<gis::MapSheet>& sheets = series.sheets;
  if (sheets.empty()) {
    std::printf("no feature of the map lies on a %s sheet: nothing to cut\n", gis::ScaleText(scale).c_str());
    return 0;
  }
  std::printf("%zu sheets: %s", sheets.size(), sheets.front().name.c_str());
  for (size_t i = 1; i < sheets.size(); ++i) std::printf(", %s", sheets[i].name.c_str());
  std::printf("\n");

  // The sheets already there are left as they are; the others are cut.
  rows.assign(sheets.size(), SheetRow{});
  std::vector<size_t> todo;
  int held = 0;
  for (size_t i = 0; i < sheets.size(); ++i) {
    const fs::path into = series.root / sheets[i].name;
    std::error_code ec;
    const bool there = fs::is_regular_file(into / "cross.mxd", ec);
    if (resume && there) {
      series.routed[i].ids.clear();
      if (const std::string why = result_not_whole(into.string(), (into / "cross.mxd").string()); !why.empty()) {
        const std::string message =
            "the result in its folder is not whole (" + why + "): remove the folder and resume to cut it again";
        rows[i] = row_of(series, i, "failed: " + message, kCutFailed);
        rows[i].summary.failure.push_back(message);  // for the JSON form too
        continue;
      }
      rows[i] = row_of(series, i, "already there: " + (into / "cross.mxd").string());
      rows[i].already_there = true;
      continue;
    }
    held += there;  // refused by the cut, as it says
    todo.push_back(i);
  }
  jobs = std::min(jobs, todo.size());
  SeriesSync sync;
  if (jobs <= 1 || !cut_in_workers(series, todo, jobs, &rows)) {
    for (size_t i : todo) {
      if (CancelSignals::received()) {
        rows[i] = row_of(series, i, "not cut (cancelled)");
        continue;
      }
      print_started(series, i);
      std::fflush(stdout);
      rows[i] = cut_sheet(series, i);
      print_finished(series, i, rows[i]);
      std::fflush(stdout);
    }
  }

  // What the sheets' cuts wrote goes to disk before the run reports it (a cancelled run too).
  std::string unflushed;
  std::error_code ec;
  if (!todo.empty() && fs::is_directory(series.root, ec) && !gis::SyncFileSystem(series.root.string(), &unflushed))
    failure->push_back(unflushed);

  int failed = 0, partial = 0, there = 0;
  for (const SheetRow& r : rows) {
    there += r.already_there;
    partial += r.status == kCutPartial;
    // A sheet cancelled while the run was not: its process alone was signalled.
    failed += r.status >= 0 && !r.summary.written() && (r.status <= 128 || !CancelSignals::received());
  }
  print_table(rows);
  if (!unflushed.empty()) {
    std::fprintf(stderr, "areaclip: %s\n", unflushed.c_str());
    return kCutFailed;
  }
  if (there)
    std::printf("%d of %zu sheets were there already and were left as they are\n", there, sheets.size());
  if (const int signal_number = CancelSignals::received()) {
    std::fprintf(stderr, "areaclip: cancelled (%s): the sheets cut before it are kept\n",
                 signal_name(signal_number));
    return 128 + signal_number;
  }
  if (failed) {
    std::fprintf(stderr, "areaclip: %d of %zu sheets failed\n", failed, sheets.size());
    if (held)
      std::fprintf(stderr,
                   "areaclip: the folders of %d sheets already held a result: --resume leaves them as they are "
                   "and cuts the rest\n",
                   held);
    return kCutFailed;
  }
  if (partial) {
    std::fprintf(stderr, "areaclip: %d of %zu sheets were cut with layers left out\n", partial, sheets.size());
    return kCutPartial;
  }
  return kCutDone;
}

}  // namespace

int cut_all_sheets(const std::string& document, const std::string& scale_text, const std::string& folder,
                   const std::string& sheet_crs, bool json, bool resume, size_t jobs) {
  std::vector<SheetRow> rows;
  std::vector<std::string> failure;
  // By default one process per processor, up to 8: the sheets' files go to one disk, and
  // each process holds the map's sources open.
  if (jobs == 0) jobs = std::min<size_t>(available_processors(), 8);
  const int code = cut_sheets(document, scale_text, folder, sheet_crs, resume, jobs, &rows, &failure);
  if (json) {
    gis::SheetScale scale;
    const std::string scale_name =
        gis::ParseSheetScale(scale_text, &scale) ? "1:" + std::to_string(gis::ScaleDenominator(scale)) : scale_text;
    print_sheets_json(document, scale_name, fs::absolute(folder).lexically_normal().string(), rows, failure, code);
  }
  return code;
}

}  // namespace host
