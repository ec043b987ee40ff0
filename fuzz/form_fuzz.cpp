// The form-text reader under libFuzzer: every text either builds the form or is refused
// with an EReadError; any other exception, a crash, undefined behaviour or a leak is a fault.
// The form binds the handlers and a few fields of the dialog's form text, as the dialog does,
// so that the seed reads to the end.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  FuzzForm form;
  try {
    form.ReadFormText(text, "fuzz.dfm");
  } catch (const EReadError&) {
  }
  return 0;
}
