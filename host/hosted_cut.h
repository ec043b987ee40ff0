// One cut as the host runs it: the document opened as the open document, the command found
// through the registry and clicked, its dialog answered (cut_dialog_user.h), and the result
// read back. Ctrl-C and SIGTERM cancel it.
#pragma once

#include <functional>
#include <signal.h>
#include <string>
#include <vector>

#include "arcobjects/arcobjects.h"
#include "cut_dialog_user.h"
#include "cut_summary.h"
#include "extension.h"

namespace host {

// What the cuts of a series made in one process share, as a user's cuts in one session of
// the host do: the application and the extension's command, made by the first cut that
// uses it and kept for the next. The command is let go with this object.
struct CutSession {
  CutSession() = default;
  ~CutSession();
  CutSession(const CutSession&) = delete;
  CutSession& operator=(const CutSession&) = delete;

  win32::ComPtr<IApplication> app;
  HostedCommand command;  // its command null until a cut loads it
};

struct CutRequest {
  std::string document;  // UTF-8 path
  CutChoice choice;
  std::string folder;  // the result folder, UTF-8; created when missing
  // Called with the open map before the command is clicked (it may add a layer to cut
  // with); false with *error set ends the cut with exit code 2.
  std::function<bool(IMap* map, std::string* error)> prepare;
  // Print the summary (cut_summary.h) of a cut that wrote its result.
  bool print_summary = true;
  // The session to cut in; none: an application and a command of the cut's own.
  CutSession* session = nullptr;
};

// Runs the cut. Returns its exit status (CutStatus, or 128 + the signal that cancelled it),
// which is also summary->status; the summary says what was written, what was not cut and,
// for a cut that did not succeed, why.
int run_cut(const CutRequest& request, CutSummary* summary = nullptr);

// While alive, SIGINT and SIGTERM cancel the work under way (the GIS fails its next call);
// a second signal ends the program at once. Instances may nest.
class CancelSignals {
 public:
  CancelSignals();
  ~CancelSignals();
  CancelSignals(const CancelSignals&) = delete;
  CancelSignals& operator=(const CancelSignals&) = delete;

  // The signal received since the program started, 0 for none.
  static int received();

 private:
  struct sigaction old_int_ = {}, old_term_ = {};
};

// "SIGINT" or "SIGTERM", for messages.
const char* signal_name(int signal_number);

}  // namespace host
