// TForm: a top-level window. Forms start hidden; Show displays one, ShowModal displays it
// and runs a message loop until it closes (see TApplication), returning its ModalResult.
//
// A form is built either in code (TForm(owner), VCL's CreateNew) or from a form text (the
// text form description: `object Name: TClass ... end`). To read a form text into a form
// class, bind its fields and event handlers by name first, then read:
//
//   BindField("f_apply_button", f_apply_button);              // TButton*& field
//   BindHandler("f_apply_buttonClick", [this](TObject* s) { f_apply_buttonClick(s); });
//   BindHandler("FormClose", [this](TObject* s, TCloseAction& a) { FormClose(s, a); });
//   ReadFormText(text, "vo_arcmap_areaclip_form.dfm");
//
// The text's root object is the form itself. Every object it names is created owned by
// the form and parented by its enclosing object; an unknown class, property or handler, a
// field bound with the wrong class or missing from the text is an EReadError naming the
// line. Closing: Close() on a modal form sets ModalResult (mrCancel) and the loop ends
// after the current handler returns; otherwise OnClose decides: caHide hides, caFree
// releases (the form is destroyed by message processing, or earlier by its creator: either
// way exactly once; such a form must have been created with new), caNone keeps it open.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include <windef.h>

#include "toolkit/control.h"
#include "toolkit/exception.h"

// An error in a form text; Line is its 1-based line (0 when not tied to a line).
class EReadError : public Exception {
 public:
  EReadError(std::string message, int line) : Exception(std::move(message)), Line(line) {}
  ~EReadError() override;
  int Line;
};

// Fields and handlers of a form class, by the names a form text uses.
struct TFormBindings {
  struct Field {
    std::string class_name;
    std::function<bool(TComponent*)> assign;  // false: the object is of another class
  };
  std::map<std::string, Field> fields;
  std::map<std::string, TNotifyEvent> notify_handlers;
  std::map<std::string, TCloseEvent> close_handlers;
};

class TForm : public TWinControl {
 public:
  // A form without a form text (VCL's CreateNew): 320 × 240, sizeable, hidden.
  explicit TForm(TComponent* AOwner);
  // A form read from a form text with no fields nor handlers bound.
  TForm(TComponent* AOwner, std::string_view form_text, const std::string& source_name = "form text");
  ~TForm() override;

  toolkit::Property<TForm, TFormBorderStyle> BorderStyle{this, &TForm::GetBorderStyle, &TForm::SetBorderStyle};
  toolkit::Property<TForm, TPosition> Position{this, &TForm::GetPosition, &TForm::SetPosition};
  toolkit::Property<TForm, TModalResult> ModalResult{this, &TForm::GetModalResult, &TForm::SetModalResult};
  TCloseEvent OnClose;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;

  void Show();
  void Hide();
  int ShowModal();
  void Close();
  // Destroys the form once the messages posted before are processed (unless it is shown
  // again before that).
  void Release();
  void BringToFront();
  // The form is shown by ShowModal right now.
  bool Modal() const { return modal_; }

  template <class T>
  void BindField(const std::string& name, T*& field) {
    bindings_.fields[name] = {typeid(T).name(), [&field](TComponent* c) {
                                T* typed = dynamic_cast<T*>(c);
                                if (!typed) return false;
                                field = typed;
                                return true;
                              }};
  }
  void BindHandler(const std::string& name, TNotifyEvent handler);
  void BindHandler(const std::string& name, TCloseEvent handler);
  // Builds the form from a form text (see above). `source_name` names it in errors.
  void ReadFormText(std::string_view text, const std::string& source_name);
  // Reads the form text from the module's RCDATA resource `name` (see toolkit/resources.h).
  void ReadFormResource(HINSTANCE module, const std::string& name);

  // The frame around the client area for the border style: side width, caption height.
  int FrameWidth() const;
  int CaptionHeight() const;

 protected:
  int GetClientWidth() const override;
  int GetClientHeight() const override;
  void SetClientWidth(int value) override;
  void SetClientHeight(int value) override;
  void SetVisible(bool value) override;

 private:
  friend class TApplication;
  TFormBorderStyle GetBorderStyle() const { return border_style_; }
  void SetBorderStyle(TFormBorderStyle v);
  TPosition GetPosition() const { return position_; }
  void SetPosition(TPosition v) { position_ = v; }
  TModalResult GetModalResult() const { return modal_result_; }
  void SetModalResult(TModalResult v);
  void close_modal();
  void place_on_screen();

  TFormBorderStyle border_style_ = bsSizeable;
  TPosition position_ = poDesigned;
  TModalResult modal_result_ = mrNone;
  bool modal_ = false;
  bool placed_ = false;
  int handler_depth_ = 0;       // event handlers of this form running now
  bool deferred_close_ = false;  // a close request waits for them to return
  TFormBindings bindings_;
};
