#include "options.h"

#include <algorithm>
#include <cstring>

namespace host {

namespace {

const Option* find_option(const CommandSpec& command, const std::string& name) {
  for (const std::vector<Option>* list : {&command.options, &common_options()})
    for (const Option& o : *list)
      if (name == o.name || (o.alias && name == o.alias)) return &o;
  return nullptr;
}

// "-o, --output FILE" as the option's texts show it.
std::string option_form(const Option& o) {
  std::string s = o.alias ? std::string(o.alias) + ", " + o.name : o.name;
  if (o.value) s += std::string(" ") + o.value;
  return s;
}

// The text's lines, each indented.
std::string indented(const char* text, const char* indent) {
  std::string out;
  bool start = true;
  for (const char* p = text; *p; ++p) {
    if (start && *p != '\n') out += indent;
    out += *p;
    start = *p == '\n';
  }
  if (!out.empty() && out.back() != '\n') out += '\n';
  return out;
}

// Text for man(7): backslashes doubled, a line never starting with a control character.
std::string roff(const std::string& text) {
  std::string out;
  bool start = true;
  for (char c : text) {
    if (start && (c == '.' || c == '\'')) out += "\\&";
    if (c == '\\') out += "\\e";
    else if (c == '-') out += "\\-";
    else out += c;
    start = c == '\n';
  }
  return out;
}

// text, to be printed from column first, broken at spaces into lines of up to width
// columns (a UTF-8 letter is one), every line after the first starting with indent.
std::string wrapped(const std::string& text, size_t first, size_t width, const std::string& indent) {
  std::string out, line;
  size_t line_chars = first, start = 0;
  const auto chars = [](const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
  };
  while (start <= text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    if (!line.empty() && line_chars + 1 + chars(word) > width) {
      out += line + "\n" + indent;
      line.clear();
      line_chars = chars(indent);
    }
    if (!line.empty()) {
      line += ' ';
      ++line_chars;
    }
    line += word;
    line_chars += chars(word);
    start = end + 1;
  }
  return out + line;
}

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

}  // namespace

const std::vector<Option>& common_options() {
  static const std::vector<Option> options = {
      {"--quiet", "-q", nullptr, "print nothing but errors (and the JSON document that --json asks for)"},
      {"--help", "-h", nullptr, "print this help and exit"},
  };
  return options;
}

bool Arguments::has(const char* option) const {
  for (const Item& item : items)
    if (item.option == option) return true;
  return false;
}

std::string Arguments::value(const char* option) const {
  std::string value;
  for (const Item& item : items)
    if (item.option == option) value = item.value;
  return value;
}

std::vector<std::string> Arguments::positionals() const {
  std::vector<std::string> out;
  for (const Item& item : items)
    if (item.option.empty()) out.push_back(item.value);
  return out;
}

bool parse_arguments(const CommandSpec& command, int argc, char** argv, Arguments* out, std::string* error) {
  out->command = &command;
  out->items.clear();
  bool only_places = false;  // after "--" every argument is one given by its place
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!only_places && arg == "--") {
      only_places = true;
      continue;
    }
    if (only_places || arg.size() < 2 || arg[0] != '-') {
      out->items.push_back({"", arg});
      continue;
    }
    std::string name = arg, value;
    const size_t equals = arg.find('=');
    const bool joined = arg.rfind("--", 0) == 0 && equals != std::string::npos;
    if (joined) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    }
    const Option* option = find_option(command, name);
    if (!option) {
      *error = "unknown option '" + name + "'";
      return false;
    }
    if (!option->value) {
      if (joined) {
        *error = name + " takes no value";
        return false;
      }
    } else if (!joined) {
      if (i + 1 >= argc) {
        *error = name + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    out->items.push_back({option->name, value});
  }
  if (out->has("--help")) return true;
  const std::vector<std::string> given = out->positionals();
  size_t used = 0;
  for (const Positional& p : command.positionals) {
    const size_t take = p.many ? given.size() - std::min(used, given.size()) : (used < given.size() ? 1 : 0);
    if (take == 0 && p.missing) {
      *error = p.missing;
      return false;
    }
    used += take;
  }
  if (used < given.size()) {
    *error = "unexpected argument '" + given[used] + "'";
    return false;
  }
  return true;
}

std::string usage_text(const CommandSpec& command) {
  std::string out;
  for (size_t i = 0; i < command.synopsis.size(); ++i)
    out += std::string(i == 0 ? "usage: " : "       ") + "areaclip " + command.name + " " + command.synopsis[i] + "\n";
  return out;
}

std::string help_text(const CommandSpec& command) {
  std::string out = usage_text(command) + indented(command.description, "  ") + "\noptions:\n";
  for (const std::vector<Option>* list : {&command.options, &common_options()})
    for (const Option& o : *list) {
      std::string form = "  " + option_form(o);
      form += form.size() < 24 ? std::string(24 - form.size(), ' ') : "\n" + std::string(24, ' ');
      out += form + wrapped(o.help, 24, 95, std::string(24, ' ')) + "\n";
    }
  if (command.exit_status) out += "\nexit status:\n" + indented(command.exit_status, "  ");
  return out;
}

std::string program_usage(const std::vector<CommandSpec>& commands) {
  std::string out = "usage:\n";
  for (const CommandSpec& c : commands) {
    for (const char* form : c.synopsis) out += std::string("  areaclip ") + c.name + " " + form + "\n";
    out += std::string("      ") + c.summary + "\n";
  }
  return out;
}

std::string manual_page(const CommandSpec& command, const char* version) {
  const std::string page = std::string("areaclip-") + command.name;
  std::string out = ".TH " + upper(page) + " 1 \"\" \"" + version + "\" \"User Commands\"\n";
  out += ".SH NAME\n" + roff(page) + " \\- " + roff(command.summary) + "\n.SH SYNOPSIS\n";
  for (const char* form : command.synopsis) out += ".B areaclip " + roff(command.name) + "\n" + roff(form) + "\n.br\n";
  out += ".SH DESCRIPTION\n" + roff(command.description) + "\n.SH OPTIONS\n";
  for (const std::vector<Option>* list : {&command.options, &common_options()})
    for (const Option& o : *list) {
      out += ".TP\n.B " + roff(o.alias ? std::string(o.alias) + ", " + o.name : o.name);
      if (o.value) out += std::string(" \\fI") + roff(o.value) + "\\fR";
      out += "\n" + roff(o.help) + "\n";
    }
  if (command.exit_status) out += ".SH EXIT STATUS\n" + roff(command.exit_status) + "\n";
  out += ".SH SEE ALSO\n.BR areaclip (1)\n";
  return out;
}

std::string program_manual_page(const std::vector<CommandSpec>& commands, const char* version) {
  std::string out = std::string(".TH AREACLIP 1 \"\" \"") + version + "\" \"User Commands\"\n";
  out += ".SH NAME\nareaclip \\- cut a map document's layers to a polygon or to map sheets\n.SH SYNOPSIS\n";
  out += ".B areaclip\n\\fICOMMAND\\fR [\\fIARGUMENTS\\fR] [\\fIOPTIONS\\fR]\n.br\n.B areaclip\n\\-\\-help | \\-\\-version\n";
  out += ".SH DESCRIPTION\nThe host program of the areaclip extension: it opens map documents (the program's JSON "
         "form, .mxd, or QGIS projects, .qgs and .qgz) and runs the extension's cut as the desktop GIS would. "
         "Options take their value as \\-\\-name value or \\-\\-name=value; every command takes "
         "\\-\\-help and \\-\\-quiet.\n.SH COMMANDS\n";
  std::string see_also;
  for (const CommandSpec& c : commands) {
    out += ".TP\n.B areaclip " + roff(c.name) + "\n" + roff(c.summary) + "; see\n.BR areaclip\\-" + roff(c.name) + " (1).\n";
    see_also += std::string(see_also.empty() ? "" : ",\n") + ".BR areaclip\\-" + roff(c.name) + " (1)";
  }
  out += ".SH EXIT STATUS\n0 success, 1 the run failed or was refused, 2 bad usage, unreadable input or a module "
         "that cannot be loaded, 3 a cut wrote its result but some layers were not cut, 128 + the signal when a "
         "cut was cancelled.\n";
  out += ".SH SEE ALSO\n" + see_also + "\n";
  return out;
}

std::string bash_completion_script() {
  // Words are split by the shell as the user typed them; the program answers with the
  // candidates that start with the word being completed.
  return "# bash completion for areaclip; generated by areaclip __bash-completion\n"
         "_areaclip() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]} IFS=$'\\n' out c s\n"
         "  out=$(\"${COMP_WORDS[0]}\" __complete \"${COMP_WORDS[@]:1:COMP_CWORD}\" 2>/dev/null) || return 0\n"
         "  COMPREPLY=()\n"
         "  case $out in\n"
         "    @file) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- \"$cur\")) ;;\n"
         "    @folder) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -d -- \"$cur\")) ;;\n"
         "    *) for c in $out; do\n"
         "         c=${c//\\\\/\\\\\\\\}\n"
         "         for s in ' ' \"'\" '\"' '(' ')' '&' ';' '|' '<' '>' '$' '`' '*' '?' '['; do c=${c//\"$s\"/\\\\$s}; done\n"
         "         COMPREPLY+=(\"$c\")\n"
         "       done ;;\n"
         "  esac\n"
         "}\n"
         "complete -F _areaclip areaclip\n";
}

}  // namespace host
