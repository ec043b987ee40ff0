// The user of the cut dialog, played from the command line: picks the layer and the feature
// in the dialog's pickers, chooses the folder through "..." and the folder dialog, presses
// "Применить", prints every message box and the run's progress on one updating line.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "arcobjects/arcobjects.h"

class TComboBox;

namespace host {

// What the user picks in the dialog: the polygon layer by name and its feature by label
// (the display field's value) or by object id.
struct CutChoice {
  std::string layer, feature;  // UTF-8
  long feature_id = -1;
  bool by_id = false;
};

// The entry of the cut dialog's layer picker that shows choice.layer; -1 with *error naming
// the entries the picker lists when it lists no such layer.
int chosen_layer_entry(TComboBox* layers, const CutChoice& choice, std::string* error);
// The entry of the feature picker, filled for the layer at `layer_entry` of the layer
// picker, that shows the choice's feature (by label, or by object id found the way the
// picker lists the map's features); -1 with *error when it lists none.
int chosen_feature_entry(TComboBox* features, const CutChoice& choice, int layer_entry, IMap* map,
                         std::string* error);

// Answers the cut dialog of one click of the command.
class CutDialogUser {
 public:
  // folder_ansi: the result folder in the ANSI code page; map: the open map (for finding a
  // feature by id the way the feature picker lists it).
  CutDialogUser(const CutChoice& choice, const std::string& folder_ansi, IMap* map);
  ~CutDialogUser();
  CutDialogUser(const CutDialogUser&) = delete;
  CutDialogUser& operator=(const CutDialogUser&) = delete;

  // Clicks the command with this user answering its dialogs; the command's result.
  HRESULT click(ICommand* command);

  // Why the pickers could not be answered (a layer or feature they do not list), or "".
  const std::string& error() const;
  // The folder dialog did not reach the folder.
  bool folder_failed() const;
  // The texts of the message boxes shown, each followed by the GIS's reason for a failed
  // call of the run when it gave one (UTF-8).
  const std::vector<std::string>& messages() const;
  // "Применить" was pressed and the dialog closed after it.
  bool applied() const;

 private:
  class User;
  std::unique_ptr<User> user_;
};

// The entries, one an indented line (at most 20, then how many more); "(none)" for none.
std::string listing(const std::vector<std::string>& entries);

}  // namespace host
