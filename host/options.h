// The command line of the host program, declared once: each command's arguments and options
// in a table (command_table.cpp), from which the parsing, the --help texts, the usage
// errors, the manual pages and the shell completion are all made.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace host {

// What a shell offers for an option's value or an argument.
enum class Values { kNone, kFile, kFolder, kDocument, kLayer, kSheet, kScale };

struct Option {
  const char* name;   // "--layer"
  const char* alias;  // "-o", or nullptr
  const char* value;  // the value's name in texts ("NAME"); nullptr for a switch
  const char* help;
  Values values = Values::kNone;
};

// An argument given by its place. Only the last of a command's may take many values.
struct Positional {
  const char* name;     // "DOC"
  const char* missing;  // the usage error when it is not given; nullptr when it may be left out
  bool many = false;    // DATA...: one or more
  Values values = Values::kDocument;
};

struct Arguments;

struct CommandSpec {
  const char* name;
  const char* summary;                // one line: areaclip --help, the manual page's NAME
  std::vector<const char*> synopsis;  // each a form of the command line after "areaclip NAME "
  const char* description;            // paragraphs, lines of up to 95 characters
  std::vector<Positional> positionals;
  std::vector<Option> options;  // besides --help and --quiet, which every command takes
  int (*run)(const Arguments& arguments);
  const char* exit_status = nullptr;  // the command's own exit codes, when it has any
};

// The command line after the command's name, parsed.
struct Arguments {
  struct Item {
    std::string option;  // "--layer"; "" for an argument given by its place
    std::string value;   // "" for a switch
  };
  const CommandSpec* command = nullptr;
  std::vector<Item> items;  // in the order given: --layer-crs applies to the data after it

  bool has(const char* option) const;
  // The value of the option given last, "" when not given.
  std::string value(const char* option) const;
  // The arguments given by place, in order.
  std::vector<std::string> positionals() const;
  bool quiet() const { return has("--quiet"); }
  bool json() const { return has("--json"); }
};

// The options every command takes.
const std::vector<Option>& common_options();

// Parses argv (the arguments after the command's name) by the command's table: "--name
// value", "--name=value", a switch alone, the arguments by place. False with *error set
// ("unknown option '--x'", "--layer needs a value", "the map document is missing", ...).
bool parse_arguments(const CommandSpec& command, int argc, char** argv, Arguments* out, std::string* error);

// "usage: areaclip cut DOC ...", a line per form.
std::string usage_text(const CommandSpec& command);
// The usage, the description and the options, for COMMAND --help.
std::string help_text(const CommandSpec& command);
// The program's own usage (areaclip --help): every command's forms and summary.
std::string program_usage(const std::vector<CommandSpec>& commands);

// The manual page (man(7) markup) of a command, and of the program.
std::string manual_page(const CommandSpec& command, const char* version);
std::string program_manual_page(const std::vector<CommandSpec>& commands, const char* version);

// The bash completion script: it asks the program (areaclip __complete WORDS...) what to
// offer.
std::string bash_completion_script();

// What to offer for the last of words (the words after "areaclip", the one being completed
// last, possibly empty): commands, options, or the values the option before it takes. The
// candidates one a line; "@file" or "@folder" alone asks the shell for file names.
std::string complete(const std::vector<CommandSpec>& commands, const std::vector<std::string>& words);

}  // namespace host
