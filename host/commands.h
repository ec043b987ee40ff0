// The commands of the host program. Each takes the arguments after its name and returns
// the exit code: 0 success, 1 the run failed, 2 bad usage or unreadable input. Messages go
// to standard error in UTF-8.
#pragma once

#include <string>

namespace host {

int cmd_cut(int argc, char** argv);
int cmd_sheets(int argc, char** argv);
int cmd_info(int argc, char** argv);
int cmd_new(int argc, char** argv);
int cmd_add(int argc, char** argv);
int cmd_convert(int argc, char** argv);
int cmd_features(int argc, char** argv);
int cmd_open(int argc, char** argv);

// The usage texts of the commands that print them themselves.
extern const char kNewUsage[];
extern const char kAddUsage[];
extern const char kConvertUsage[];
extern const char kFeaturesUsage[];
int cmd_render(int argc, char** argv);
int cmd_register(int argc, char** argv);
int cmd_unregister(int argc, char** argv);

// The module's file beside the program (build/bin/vot_arcmap_areaclip.so).
std::string default_module_path();

// Prints "areaclip: <message>" to standard error and returns 2.
int usage_error(const char* format, ...);

}  // namespace host
