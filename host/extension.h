// The extension as the host meets it: the module registered as an in-process server, its
// toolbar created by ProgID, the toolbar's item asked for the command's ProgID, the command
// created by that and connected to the application.
#pragma once

#include <string>

#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"

namespace host {

// The toolbar the extension registers.
inline constexpr char kToolbarProgId[] = "vot_arcmap_areaclip.vo_arcmap_tool_bar_areaclip";
// The command's cut dialog (the form's name) and the controls of it the host watches: the
// progress panel shows while a run goes on, the path edit holds the result folder (ANSI).
inline constexpr char kCutFormName[] = "vo_arcmap_areaclip_form";
inline constexpr char kProgressPanelName[] = "f_progress_panel";
inline constexpr char kResultFolderEditName[] = "f_path_edit";
// The document a cut saves into its result folder (and opens).
inline constexpr char kResultDocumentName[] = "cross.mxd";

// Loads the module at `path` and calls DllRegisterServer (or DllUnregisterServer). Returns
// 0, or 2 when the module cannot be loaded or lacks the entry point, or 1 when the call
// fails; `error` then says what happened.
int register_module(const std::string& path, bool do_register, std::string* error);

// One command of a toolbar, as the host shows it.
struct HostedCommand {
  win32::ComPtr<ICommand> command;
  std::string prog_id, caption, category;  // UTF-8
  OLE_HANDLE bitmap = 0;
  bool enabled = false;
};

// Creates the toolbar `toolbar_prog_id` through the registry (registering `module_path`
// first when the ProgID is unknown), asks it for item `item`, creates that command and reads
// its caption, category, bitmap and state. Returns false with `error` set when any step
// fails.
bool load_toolbar_command(const std::string& toolbar_prog_id, int item, const std::string& module_path,
                          HostedCommand* out, std::string* error);

// The description of the thread's error object (UTF-8), or "" when there is none; the
// error object is taken.
std::string take_error_description();

}  // namespace host
