#include "vot_vcl/vot_vcl_form.h"

#include <toolkit/application.h>

#include "vot_vcl/vot_vcl_text.h"

Tvo_vcl_form::Tvo_vcl_form(TComponent* AOwner) : TForm(AOwner) {
  OnClose = [this](TObject* Sender, TCloseAction& Action) { form_close(Sender, Action); };
}

void Tvo_vcl_form::build() {}

void Tvo_vcl_form::init_texts() {}

void Tvo_vcl_form::form_close(TObject*, TCloseAction& Action) { Action = caFree; }

Tvo_vcl_dialog_form::Tvo_vcl_dialog_form(TComponent* AOwner) : Tvo_vcl_form(AOwner) {
  BorderStyle = bsSizeToolWin;
  Position = poScreenCenter;
}

namespace {

Tvo_vcl_button* make_button(TComponent* owner, TWinControl* parent, const char* name, TNotifyEvent click) {
  auto* button = new Tvo_vcl_button(owner);
  button->Name = name;
  button->Parent = parent;
  button->Align = alRight;
  button->AlignWithMargins = true;
  button->OnClick = std::move(click);
  return button;
}

}  // namespace

void Tvo_vcl_dialog_form::build() {
  f_client_panel = new Tvo_vcl_panel(this);
  f_client_panel->Name = "f_client_panel";
  f_client_panel->Parent = this;
  f_client_panel->Align = alClient;
  f_client_panel->AlignWithMargins = true;

  f_bottom_panel = new Tvo_vcl_panel(this);
  f_bottom_panel->Name = "f_bottom_panel";
  f_bottom_panel->Parent = this;
  f_bottom_panel->Align = alBottom;
  f_bottom_panel->AlignWithMargins = true;
  f_bottom_panel->Height = 26;

  f_ok_button = make_button(this, f_bottom_panel, "f_ok_button", [this](TObject* s) { ok_click(s); });
  f_cancel_button = make_button(this, f_bottom_panel, "f_cancel_button", [this](TObject* s) { cancel_click(s); });
  f_help_button = make_button(this, f_bottom_panel, "f_help_button", [this](TObject* s) { help_click(s); });
}

void Tvo_vcl_dialog_form::init_texts() {
  f_ok_button->Caption = vcl_text(vcl_text_apply);
  f_cancel_button->Caption = vcl_text(vcl_text_cancel);
  f_help_button->Caption = vcl_text(vcl_text_help);
}

bool Tvo_vcl_dialog_form::on_ok() {
  f_done = true;
  return true;
}

bool Tvo_vcl_dialog_form::on_cancel() {
  f_done = false;
  return true;
}

bool Tvo_vcl_dialog_form::on_help() { return Application->HelpContext(HelpContext); }

bool Tvo_vcl_dialog_form::execute() {
  f_done = false;
  ShowModal();
  return f_done;
}

void Tvo_vcl_dialog_form::ok_click(TObject*) {
  if (on_ok()) Close();
}

void Tvo_vcl_dialog_form::cancel_click(TObject*) {
  if (on_cancel()) Close();
}

void Tvo_vcl_dialog_form::help_click(TObject*) { on_help(); }
