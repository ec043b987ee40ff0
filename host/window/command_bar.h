// CommandBar: the extension's toolbar as the application shows it. The toolbar is found in
// the registry by its ProgID exactly as `areaclip cut` finds it, each of its items' commands
// created and handed the application (OnCreate); each command is a button with the
// command's bitmap, caption and tooltip, enabled as the command says (asked again whenever
// the window updates), and a click calls OnClick. Commands are given back (OnCreate(null))
// when the bar goes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QToolBar>

#include "../extension.h"

class QAction;

namespace host {

class CommandBar : public QToolBar {
 public:
  CommandBar(IApplication* application, const std::string& module_path, QWidget* parent = nullptr);
  ~CommandBar() override;
  // Why the toolbar could not be loaded, or "".
  const std::string& error() const { return error_; }
  // Asks each command whether it is enabled.
  void update_states();
  // Called before a command's OnClick; false leaves the command unclicked.
  std::function<bool()> before_command;
  // Called after a command's OnClick returned.
  std::function<void()> on_command_done;
  QAction* action(int index) const { return actions_.at(static_cast<size_t>(index)); }
  int count() const { return static_cast<int>(commands_.size()); }

 private:
  std::vector<HostedCommand> commands_;
  std::vector<QAction*> actions_;
  std::string error_;
};

}  // namespace host
