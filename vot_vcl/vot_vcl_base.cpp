#include "vot_vcl/vot_vcl_base.h"

Tvo_vcl_panel::Tvo_vcl_panel(TComponent* AOwner) : TPanel(AOwner) {
  BevelOuter = bvNone;
  Caption = "";
  Height = 21;
  Width = 200;
}

Tvo_vcl_caption_panel::Tvo_vcl_caption_panel(TComponent* AOwner) : Tvo_vcl_panel(AOwner) { AlignWithMargins = true; }

void Tvo_vcl_caption_panel::build() {
  f_caption_panel = new Tvo_vcl_panel(this);
  f_caption_panel->Name = "f_caption_panel";
  f_caption_panel->Parent = this;
  f_caption_panel->Width = 100;
  f_caption_panel->Align = alLeft;
  f_caption_panel->Alignment = taLeftJustify;

  f_client_panel = new Tvo_vcl_panel(this);
  f_client_panel->Name = "f_client_panel";
  f_client_panel->Parent = this;
  f_client_panel->Align = alClient;
}

void Tvo_vcl_caption_panel::set_caption(const std::string& text) { f_caption_panel->Caption = text; }

std::string Tvo_vcl_caption_panel::get_caption() const { return f_caption_panel->Caption; }
