#include "vot_vcl/vot_vcl_path.h"

#include <memory>

#include <windows.h>

#include "vot_vcl/vot_vcl_text.h"

Tvo_vcl_path_form::Tvo_vcl_path_form(TComponent* AOwner) : Tvo_vcl_dialog_form(AOwner) {
  ClientWidth = 360;
  ClientHeight = 380;
}

void Tvo_vcl_path_form::build() {
  Tvo_vcl_dialog_form::build();
  f_help_button->Visible = false;

  f_top_panel = new Tvo_vcl_panel(this);
  f_top_panel->Name = "f_top_panel";
  f_top_panel->Parent = f_client_panel;
  f_top_panel->Align = alTop;
  f_top_panel->Height = 30;

  f_caption_column_panel = new Tvo_vcl_panel(this);
  f_caption_column_panel->Name = "f_caption_column_panel";
  f_caption_column_panel->Parent = f_top_panel;
  f_caption_column_panel->Width = 140;
  f_caption_column_panel->Align = alLeft;
  f_caption_column_panel->AlignWithMargins = true;

  f_directory_label_panel = new Tvo_vcl_panel(this);
  f_directory_label_panel->Name = "f_directory_label_panel";
  f_directory_label_panel->Parent = f_top_panel;
  f_directory_label_panel->BevelOuter = bvLowered;
  f_directory_label_panel->Align = alClient;
  f_directory_label_panel->AlignWithMargins = true;

  f_caption_label = new Tvo_vcl_label(this);
  f_caption_label->Name = "f_caption_label";
  f_caption_label->Parent = f_caption_column_panel;
  f_caption_label->Left = 4;
  f_caption_label->Top = 4;

  f_directory_label = new Tvo_vcl_label(this);
  f_directory_label->Name = "f_directory_label";
  f_directory_label->Parent = f_directory_label_panel;
  f_directory_label->Align = alClient;

  f_directory_list = new Tvo_vcl_directory_list_box(this);
  f_directory_list->Name = "f_directory_list";
  f_directory_list->Parent = f_client_panel;
  f_directory_list->Align = alClient;
  f_directory_list->AlignWithMargins = true;

  f_drive_combo = new Tvo_vcl_drive_combo_box(this);
  f_drive_combo->Name = "f_drive_combo";
  f_drive_combo->Parent = f_client_panel;
  f_drive_combo->Align = alBottom;
  f_drive_combo->AlignWithMargins = true;

  f_drive_combo->DirList = f_directory_list;
  f_directory_list->DirLabel = f_directory_label;
}

void Tvo_vcl_path_form::init_texts() {
  Tvo_vcl_dialog_form::init_texts();
  f_caption_label->Caption = vcl_text(vcl_text_folder);
}

void Tvo_vcl_path_form::set_caption(const std::string& text) { f_caption_label->Caption = text; }

std::string Tvo_vcl_path_form::get_directory() const { return f_directory_list->Directory; }

void Tvo_vcl_path_form::set_directory(const std::string& path) {
  const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
  const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  f_directory_list->Directory = folder ? path : std::string();
}

std::optional<std::string> choose_folder(const std::string& title, const std::string& caption,
                                         const std::string& initial_path) {
  std::unique_ptr<Tvo_vcl_path_form> form(new Tvo_vcl_path_form(nullptr));
  form->build();
  form->init_texts();
  form->Caption = title;
  form->set_caption(caption);
  form->set_directory(initial_path);
  if (!form->execute()) return std::nullopt;
  return form->get_directory();
}

Tvo_vcl_path_panel::Tvo_vcl_path_panel(TComponent* AOwner) : Tvo_vcl_caption_panel(AOwner) {}

void Tvo_vcl_path_panel::build() {
  Tvo_vcl_caption_panel::build();

  f_path_edit = new Tvo_vcl_edit(this);
  f_path_edit->Name = "f_path_edit";
  f_path_edit->Parent = f_client_panel;
  f_path_edit->ReadOnly = true;
  f_path_edit->Align = alClient;

  f_choose_button = new Tvo_vcl_button(this);
  f_choose_button->Name = "f_choose_button";
  f_choose_button->Parent = f_client_panel;
  f_choose_button->Caption = "...";
  f_choose_button->Width = 22;
  f_choose_button->Align = alRight;
  f_choose_button->OnClick = [this](TObject* Sender) { choose_click(Sender); };
}

void Tvo_vcl_path_panel::init_texts() {}

std::string Tvo_vcl_path_panel::get_path() const { return f_path; }

void Tvo_vcl_path_panel::choose_click(TObject*) {
  std::optional<std::string> chosen = choose_folder("", get_caption(), f_path);
  if (!chosen) return;
  f_path = *chosen;
  f_path_edit->Text = f_path;
  if (f_on_change) f_on_change(this);
}

void Tvo_vcl_path_panel::set_on_change(TNotifyEvent handler) { f_on_change = std::move(handler); }

TNotifyEvent Tvo_vcl_path_panel::get_on_change() const { return f_on_change; }
