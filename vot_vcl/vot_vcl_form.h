// The library's forms: a base form built in code, and a dialog form with OK ("Применить"),
// Cancel ("Отменить") and Help ("Помощь") buttons under a client panel.
//
// Use: create (no owner), build, init_texts, set up, execute (modal), read the results,
// destroy. Closing marks the window for disposal; the creator still destroys the form
// right after execute returns, and the form is destroyed exactly once.
#pragma once

#include <toolkit/form.h>

#include "vot_vcl/vot_vcl_base.h"

// A form made without a form text; its close handler is form_close.
class Tvo_vcl_form : public TForm {
 public:
  explicit Tvo_vcl_form(TComponent* AOwner);

  virtual void build();
  virtual void init_texts();
  // Sets the close action to caFree.
  virtual void form_close(TObject* Sender, TCloseAction& Action);
};

// A sizeable tool window in the centre of the screen. `build` makes f_client_panel (fills
// the form) and f_bottom_panel (bottom, 26 high) and, right-aligned on the bottom panel,
// f_ok_button, f_cancel_button and f_help_button; all owned by the form, named as their
// fields. OK calls on_ok and closes the form when it returns true; Cancel likewise with
// on_cancel; Help calls on_help.
class Tvo_vcl_dialog_form : public Tvo_vcl_form {
 public:
  explicit Tvo_vcl_dialog_form(TComponent* AOwner);

  void build() override;
  void init_texts() override;
  // done := true; true.
  virtual bool on_ok();
  // done := false; true.
  virtual bool on_cancel();
  // Asks the application for the help topic HelpContext; returns its answer.
  virtual bool on_help();
  // done := false; shows the form modally; returns done (true only after OK).
  virtual bool execute();

 protected:
  bool f_done = false;
  Tvo_vcl_panel* f_client_panel = nullptr;
  Tvo_vcl_panel* f_bottom_panel = nullptr;
  Tvo_vcl_button* f_ok_button = nullptr;
  Tvo_vcl_button* f_cancel_button = nullptr;
  Tvo_vcl_button* f_help_button = nullptr;

 private:
  void ok_click(TObject* Sender);
  void cancel_click(TObject* Sender);
  void help_click(TObject* Sender);
};
