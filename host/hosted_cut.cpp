// The cut as the host runs it: open the document, show the cut dialog and answer it as a
// user would, print every message box and the run's progress, and report.
#include "hosted_cut.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <objbase.h>
#include <windows.h>
#include <gis/application.h>
#include <gis/core.h>
#include <gis/document.h>
#include <win32/text.h>

#include "commands.h"
#include "cut_summary.h"
#include "extension.h"

namespace {

namespace fs = std::filesystem;
using win32::Bstr;
using win32::ComPtr;

// Ctrl-C and SIGTERM cancel the cut: the GIS fails its next call, the run ends through its
// ordinary failure path and takes back what it did. A second signal ends the program at
// once (the handler is reset when it runs).
volatile sig_atomic_t g_cancel_signal = 0;

void on_cancel_signal(int signal_number) {
  g_cancel_signal = signal_number;
  gis::RequestCancel();
}

// The folders made for the result folder, removed again (when empty) unless the cut keeps
// them: a failed or cancelled cut leaves nothing behind, whichever way it returns.
class MadeFolders {
 public:
  explicit MadeFolders(const fs::path& folder) {
    std::error_code ec;
    for (fs::path p = folder; !p.empty() && !fs::exists(fs::symlink_status(p, ec)); p = p.parent_path()) {
      made_.push_back(p);
      if (p == p.parent_path()) break;
    }
  }
  ~MadeFolders() {
    if (kept_) return;
    std::error_code ec;
    for (const fs::path& p : made_)
      if (!fs::is_directory(p, ec) || !fs::is_empty(p, ec) || !fs::remove(p, ec)) break;
  }
  MadeFolders(const MadeFolders&) = delete;
  MadeFolders& operator=(const MadeFolders&) = delete;
  // The cut succeeded: its folders stay.
  void keep() { kept_ = true; }

 private:
  std::vector<fs::path> made_;  // the deepest first
  bool kept_ = false;
};

// Says why the cut ends (standard error, and the summary); the exit code.
int fail(host::CutSummary* summary, int code, const std::string& message) {
  std::fprintf(stderr, "areaclip: %s\n", message.c_str());
  summary->failure.push_back(message);
  return code;
}

}  // namespace

namespace host {

const char* signal_name(int signal_number) { return signal_number == SIGTERM ? "SIGTERM" : "SIGINT"; }

CancelSignals::CancelSignals() {
  struct sigaction action = {};
  action.sa_handler = on_cancel_signal;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &old_int_);
  sigaction(SIGTERM, &action, &old_term_);
}

CancelSignals::~CancelSignals() {
  sigaction(SIGINT, &old_int_, nullptr);
  sigaction(SIGTERM, &old_term_, nullptr);
}

int CancelSignals::received() { return g_cancel_signal; }

namespace {

// The cut behind run_cut; its exit code, with the summary filled on the way.
int cut(const CutRequest& request, CutSummary* summary) {
  // From the start: a large document takes a while to open, and a signal then must not end
  // the program between a folder made and its removal.
  CancelSignals cancel_signals;
  std::string error;
  CutSession own_session;
  CutSession& session = request.session ? *request.session : own_session;
  if (!session.app) session.app = gis::CreateApplication();
  ComPtr<IApplication> app = session.app;
  Bstr path = Bstr::from_utf8(fs::absolute(request.document).string());
  if (FAILED(app->OpenDocument(path.get()))) {
    // Why, in the words of the document as it was named.
    if (gis::LoadDocument(request.document, &error)) error.clear();
    return fail(summary, kCutBadInput, error.empty() ? "cannot open " + request.document : error);
  }
  fs::path folder = fs::absolute(request.folder).lexically_normal();
  std::string folder_text = folder.string();
  while (folder_text.size() > 1 && folder_text.back() == '/') folder_text.pop_back();
  folder = folder_text;
  summary->folder = folder_text;
  std::string folder_ansi = win32::utf8_to_ansi(folder_text);
  if (win32::ansi_to_utf8(folder_ansi) != folder_text)
    return fail(summary, kCutBadInput,
                "the folder name " + folder_text + " has characters the ANSI code page (" +
                    std::to_string(GetACP()) + ") cannot hold");

  ComPtr<IDocument> document;
  app->get_Document(document.put());
  ComPtr<IMxDocument> mx = document.as<IMxDocument>();
  ComPtr<IMap> map;
  if (mx) mx->get_FocusMap(map.put());
  if (!map) return fail(summary, kCutBadInput, request.document + " has no map");

  if (request.prepare && !request.prepare(map.get(), &error)) return fail(summary, kCutBadInput, error);
  const CutWatch watch(map.get());
  summary->not_cut = watch.not_cut();
  for (const LayerNotCut& l : summary->not_cut)
    std::fprintf(stderr, "areaclip: layer \"%s\" is not cut: %s\n", l.name.c_str(), l.reason.c_str());
  const fs::path result_document = folder / kResultDocumentName;
  const std::string result_project = gis::ProjectSavedWith(app.get(), result_document.string());
  if (const int signal_number = CancelSignals::received())
    return fail(summary, 128 + signal_number,
                std::string("cancelled (") + signal_name(signal_number) + ") before the cut began");

  // The folder dialog shows existing folders only; the run would create the folder anyway.
  MadeFolders made_folders(folder);
  std::error_code ec;
  fs::create_directories(folder, ec);
  std::error_code status;  // a name the system refuses (too long, say) is no folder either
  if (!fs::is_directory(folder, status)) {
    if (!ec) ec = status;
    const int code = fail(summary, kCutFailed,
                          "cannot make the result folder " + folder_text + (ec ? ": " + ec.message() : ""));
    std::fprintf(stderr, "Ошибка при выполнении.\n");
    return code;
  }

  // The command as the host finds it: toolbar by ProgID, its item, the command, its hook
  // (once per session).
  host::HostedCommand& command = session.command;
  if (!command.command) {
    // A command not taken into use is not kept for the session's next cut.
    const auto refused = [&](const std::string& why) {
      command = {};
      return fail(summary, kCutBadInput, why);
    };
    if (!host::load_toolbar_command(host::kToolbarProgId, 0, host::default_module_path(), &command, &error))
      return refused(error);
    if (!command.enabled)
      return refused("the command " + command.caption + " (" + command.prog_id + ") is not enabled");
    ComPtr<IDispatch> hook = app.as<IDispatch>();
    if (const HRESULT created = command.command->OnCreate(hook.get()); FAILED(created)) {
      char code[16];
      std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(created));
      return refused("the command " + command.prog_id + " refused the application: " + code);
    }
  }

  gis::TakeDataChanges();  // what reading the document changed is not the cut's
  CutDialogUser user(request.choice, folder_ansi, map.get());
  HRESULT hr = user.click(command.command.get());
  if (!request.session) {
    command.command->OnCreate(nullptr);
    command.command.reset();
    CoFreeUnusedLibraries();
  }
  ComPtr<IDocument> result;
  app->get_Document(result.put());
  const bool succeeded = SUCCEEDED(hr) && user.error().empty() && !user.folder_failed() && user.applied() &&
                         gis::DocumentPath(result.get()) == result_document.string();
  // What the dialog said and why, for the summary (it printed them already).
  if (!succeeded) summary->failure = user.messages();
  if (!succeeded && CancelSignals::received()) {
    const int signal_number = CancelSignals::received();
    return fail(summary, 128 + signal_number,
                std::string("cancelled (") + signal_name(signal_number) +
                    "): the files and folders of this cut were removed");
  }
  if (FAILED(hr)) {
    std::string description = host::take_error_description();
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return fail(summary, kCutFailed,
                "the command " + command.prog_id + " failed: " + code + (description.empty() ? "" : ": " + description));
  }
  if (!user.error().empty()) return fail(summary, kCutBadInput, user.error());
  if (user.folder_failed()) return fail(summary, kCutFailed, "the folder dialog could not open " + folder_text);
  if (!succeeded) return kCutFailed;
  made_folders.keep();

  std::string unreadable;  // the saved result read back (the application opened it from disk)
  watch.finish(folder_text, result_document.string(), result_project, result.as<IMxDocument>().get(), summary,
               &unreadable);
  if (!unreadable.empty()) std::fprintf(stderr, "areaclip: %s\n", unreadable.c_str());
  return summary->status;
}

}  // namespace

CutSession::~CutSession() {
  if (command.command) {
    command.command->OnCreate(nullptr);
    command.command.reset();
  }
  app.reset();
  CoFreeUnusedLibraries();
}

int run_cut(const CutRequest& request, CutSummary* out) {
  CutSummary own;
  CutSummary& summary = out ? *out : own;
  summary = CutSummary{};
  summary.status = cut(request, &summary);
  if (request.print_summary && summary.written()) print_summary(summary, stdout);
  if (summary.status == kCutPartial)
    std::fprintf(stderr, "areaclip: %zu layer%s not cut (exit %d)\n", summary.not_cut.size(),
                 summary.not_cut.size() == 1 ? " was" : "s were", kCutPartial);
  return summary.status;
}

}  // namespace host
