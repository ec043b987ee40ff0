// The library's plain building blocks: panel, label, button and edit with the library's
// defaults, the drive and directory lists, and the panel with a caption column.
#pragma once

#include <string>

#include <toolkit/button.h>
#include <toolkit/edit.h>
#include <toolkit/file_controls.h>
#include <toolkit/label.h>
#include <toolkit/panel.h>

// A panel without outer bevel or caption, 200 × 21.
class Tvo_vcl_panel : public TPanel {
 public:
  explicit Tvo_vcl_panel(TComponent* AOwner);
};

class Tvo_vcl_label : public TLabel {
 public:
  using TLabel::TLabel;
};

class Tvo_vcl_button : public TButton {
 public:
  using TButton::TButton;
};

class Tvo_vcl_edit : public TEdit {
 public:
  using TEdit::TEdit;
};

class Tvo_vcl_directory_list_box : public TDirectoryListBox {
 public:
  using TDirectoryListBox::TDirectoryListBox;
};

class Tvo_vcl_drive_combo_box : public TDriveComboBox {
 public:
  using TDriveComboBox::TDriveComboBox;
};

// A panel aligned with margins whose left column (100 wide) shows a caption and whose
// client sub-panel holds the content. `build` makes both sub-panels (owned by this panel,
// named f_caption_panel and f_client_panel); call it once after construction.
class Tvo_vcl_caption_panel : public Tvo_vcl_panel {
 public:
  explicit Tvo_vcl_caption_panel(TComponent* AOwner);

  virtual void build();

  void set_caption(const std::string& text);
  std::string get_caption() const;

 protected:
  Tvo_vcl_panel* f_caption_panel = nullptr;
  Tvo_vcl_panel* f_client_panel = nullptr;
};
