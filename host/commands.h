// The commands of the host program. Each takes its parsed command line (options.h) and
// returns the exit code: 0 success, 1 the run failed, 2 bad usage or unreadable input.
// Results go to standard output, messages to standard error, both UTF-8.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"
#include "options.h"

namespace host {

int cmd_cut(const Arguments& arguments);
int cmd_sheets(const Arguments& arguments);
int cmd_info(const Arguments& arguments);
int cmd_new(const Arguments& arguments);
int cmd_add(const Arguments& arguments);
int cmd_convert(const Arguments& arguments);
int cmd_features(const Arguments& arguments);
int cmd_open(const Arguments& arguments);
int cmd_render(const Arguments& arguments);
int cmd_register(const Arguments& arguments);
int cmd_unregister(const Arguments& arguments);

// Every command, its arguments and options (command_table.cpp).
const std::vector<CommandSpec>& command_table();
extern const char kVersion[];
// What areaclip --help says after the commands.
extern const char kProgramNotes[];

// The program's own module: beside it in a build tree (build/bin/vot_arcmap_areaclip.so),
// in ../lib/areaclip when installed (extension.cpp).
std::string default_module_path();

// Prints "areaclip: <message>" to standard error and returns 2.
int usage_error(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Where a command's output goes, set once from its command line before it runs. With --json
// standard output holds only the JSON document (json_output()): what the command and the
// run print there otherwise goes to standard error. With --quiet the text results and the
// messages that are not errors (note()) are dropped.
void set_output(const Arguments& arguments);
std::FILE* json_output();
bool quiet();
// A message that is not an error ("areaclip: note: ...", progress), to standard error
// unless --quiet. The text as printf takes it, without the newline.
void note(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "areaclip: <message>" to standard error, always.
void error_message(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The map document at path (UTF-8), the classes registered first; null after saying why
// ("areaclip: <reason>" on standard error).
win32::ComPtr<IMxDocument> open_document(const std::string& path);
// The document's focus map as well; null after saying why (unreadable, or no map).
win32::ComPtr<IMap> open_focus_map(const std::string& path, win32::ComPtr<IMxDocument>* document);

}  // namespace host
