// The form-text reader under libFuzzer: every text either builds the form or is refused
// with an EReadError; any other exception, a crash, undefined behaviour or a leak is a fault.
// A form that was built is laid out again at the smallest and the largest client size a form
// text can give it; after every layout each control's rectangle must be well formed (no far
// edge before its near one): the layout's sums saturate at the limits of int, an overflow is
// undefined behaviour that UBSan reports. The form binds the handlers and a few fields of the
// dialog's form text, as the dialog does, so that the seed reads to the end.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include <toolkit/vcl.h>

namespace {

class FuzzForm : public TForm {
 public:
  FuzzForm() : TForm(nullptr) {
    BindField("f_btm_panel", f_btm_panel);
    BindField("f_apply_button", f_apply_button);
    BindField("f_timer", f_timer);
    BindHandler("f_close_buttonClick", [](TObject*) {});
    BindHandler("f_apply_buttonClick", [](TObject*) {});
    BindHandler("f_timerTimer", [](TObject*) {});
    BindHandler("FormClose", [](TObject*, TCloseAction& action) { action = caFree; });
  }

  TPanel* f_btm_panel = nullptr;
  TButton* f_apply_button = nullptr;
  TTimer* f_timer = nullptr;
};

bool well_formed(const TRect& r) { return r.Left <= r.Right && r.Top <= r.Bottom; }

void check_layout(const TWinControl& parent) {
  for (int i = 0; i < parent.ControlCount(); ++i) {
    const TControl* c = parent.Controls(i);
    if (!well_formed(c->BoundsRect()) || !well_formed(c->FormRect()) || c->Width < 0 || c->Height < 0)
      __builtin_trap();
    if (auto* w = dynamic_cast<const TWinControl*>(c)) check_layout(*w);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  FuzzForm form;
  try {
    form.ReadFormText(text, "fuzz.dfm");
  } catch (const EReadError&) {
    return 0;
  }
  check_layout(form);
  for (int extent : {0, 32767}) {
    form.ClientWidth = extent;
    form.ClientHeight = extent;
    check_layout(form);
  }
  return 0;
}
