// Choosing a folder: the folder dialog (Tvo_vcl_path_form), the free operation
// choose_folder that runs it, and the path panel (caption, read-only path, "..." button).
#pragma once

#include <optional>
#include <string>

#include <toolkit/types.h>

#include "vot_vcl/vot_vcl_base.h"
#include "vot_vcl/vot_vcl_form.h"

// A dialog form showing a folder: a caption ("Папка") and the current folder on top, the
// directory list below, the drive combo at the bottom; no Help button. Children are owned
// by the form and named as their fields.
class Tvo_vcl_path_form : public Tvo_vcl_dialog_form {
 public:
  explicit Tvo_vcl_path_form(TComponent* AOwner);

  void build() override;
  void init_texts() override;

  void set_caption(const std::string& text);
  // The directory list's current folder (ANSI).
  std::string get_directory() const;
  // Moves the directory list to `path` when it names an existing folder; otherwise gives
  // the list an empty path (it then shows the user's home folder).
  void set_directory(const std::string& path);

 protected:
  Tvo_vcl_panel* f_top_panel = nullptr;
  Tvo_vcl_panel* f_caption_column_panel = nullptr;
  Tvo_vcl_panel* f_directory_label_panel = nullptr;
  Tvo_vcl_label* f_caption_label = nullptr;
  Tvo_vcl_label* f_directory_label = nullptr;
  Tvo_vcl_directory_list_box* f_directory_list = nullptr;
  Tvo_vcl_drive_combo_box* f_drive_combo = nullptr;
};

// Shows the folder dialog modally with this title and caption, starting at `initial_path`.
// Returns the folder shown when the user pressed OK, nothing after Cancel or closing.
std::optional<std::string> choose_folder(const std::string& title, const std::string& caption,
                                         const std::string& initial_path);

// A caption panel whose client area shows a path (read-only edit f_path_edit) and a "..."
// button (f_choose_button) that lets the user choose a folder. The stored path changes only
// through the button: after OK it takes the chosen folder, the edit shows it and the change
// notification (when set) is called once with the panel as sender.
class Tvo_vcl_path_panel : public Tvo_vcl_caption_panel {
 public:
  explicit Tvo_vcl_path_panel(TComponent* AOwner);

  void build() override;
  virtual void init_texts();

  // The stored path (not the edit's text); empty until a folder was chosen.
  std::string get_path() const;
  void choose_click(TObject* Sender);

  void set_on_change(TNotifyEvent handler);
  TNotifyEvent get_on_change() const;

 private:
  std::string f_path;
  Tvo_vcl_edit* f_path_edit = nullptr;
  Tvo_vcl_button* f_choose_button = nullptr;
  TNotifyEvent f_on_change;
};
