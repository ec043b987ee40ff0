#include "toolkit/terminal_agent.h"

#include <cctype>
#include <string>
#include <vector>

#include <windows.h>
#include <win32/message_box.h>
#include <win32/text_conversions.h>

#include "toolkit/exception.h"
#include "toolkit/form.h"
#include "toolkit/snapshot.h"

namespace {

// Splits off the first word (or "quoted words") of `line`.
std::string take_word(std::string& line) {
  size_t i = 0;
  while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
  std::string word;
  if (i < line.size() && line[i] == '"') {
    size_t end = line.find('"', i + 1);
    if (end == std::string::npos) end = line.size();
    word = line.substr(i + 1, end - i - 1);
    i = end + 1;
  } else {
    size_t end = i;
    while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end]))) ++end;
    word = line.substr(i, end - i);
    i = end;
  }
  while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
  line.erase(0, std::min(i, line.size()));
  return word;
}

}  // namespace

int TTerminalAgent::AnswerMessageBox(const TMessageBoxInfo& box) {
  for (;;) {
    out_ << "[" << box.CaptionUtf8() << "] " << box.TextUtf8() << "\n";
    std::string prompt;
    for (int id : box.buttons) {
      if (!prompt.empty()) prompt += " / ";
      prompt += win32::MessageBoxButtonName(id);
      if (id == box.default_button) prompt += " (Enter)";
    }
    out_ << prompt << "? " << std::flush;
    std::string line;
    if (!std::getline(in_, line) || line.empty()) return box.default_button;
    for (int id : box.buttons)
      if (std::tolower(static_cast<unsigned char>(line[0])) ==
          std::tolower(static_cast<unsigned char>(win32::MessageBoxButtonName(id)[0])))
        return id;
  }
}

void TTerminalAgent::Refused(const TUserAction&, const Exception& error) {
  out_ << win32::ansi_to_utf8(error.Message) << "\n";
}

TUserAction TTerminalAgent::NextAction(TForm& form) {
  bool show = true;
  for (;;) {
    if (show) out_ << toolkit::DescribeControls(form);
    show = false;
    out_ << "> " << std::flush;
    std::string line;
    if (!std::getline(in_, line))
      throw Exception("The terminal input ended while form '" + form.Name + "' waits for the user");
    line = win32::utf8_to_ansi(line);
    std::string command = take_word(line);
    TUserAction action;
    if (command.empty()) continue;
    if (command == "show") {
      show = true;
      continue;
    }
    if (command == "close") {
      action.kind = TUserAction::Close;
      return action;
    }
    if (command == "wait") {
      action.kind = TUserAction::Wait;
      action.wait_ms = std::atoll(line.c_str());
      return action;
    }
    action.target = take_word(line);
    action.value = line;
    if (command == "click") action.kind = TUserAction::Click;
    else if (command == "choose") action.kind = TUserAction::Choose;
    else if (command == "type") action.kind = TUserAction::Type;
    else if (command == "open") action.kind = TUserAction::OpenFolder;
    else {
      out_ << "commands: click TARGET | choose TARGET ENTRY | type TARGET TEXT | open TARGET FOLDER | close | "
              "wait MS | show\n";
      continue;
    }
    if (action.target.empty()) {
      out_ << command << ": which control?\n";
      continue;
    }
    return action;
  }
}
