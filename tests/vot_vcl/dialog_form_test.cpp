#include <gtest/gtest.h>

#include <toolkit/application.h>
#include <toolkit/scripted_agent.h>

#include <memory>

#include "vot_vcl/vot_vcl_form.h"

namespace {

// Exposes the dialog's parts and counts destruction.
class TestDialog : public Tvo_vcl_dialog_form {
 public:
  explicit TestDialog(int* destroyed = nullptr) : Tvo_vcl_dialog_form(nullptr), destroyed_(destroyed) {}
  ~TestDialog() override {
    if (destroyed_) ++*destroyed_;
  }
  Tvo_vcl_button* ok() const { return f_ok_button; }
  Tvo_vcl_button* cancel() const { return f_cancel_button; }
  Tvo_vcl_button* help() const { return f_help_button; }
  Tvo_vcl_panel* client() const { return f_client_panel; }
  Tvo_vcl_panel* bottom() const { return f_bottom_panel; }
  bool done() const { return f_done; }

 private:
  int* destroyed_;
};

std::unique_ptr<TestDialog> make_dialog(int* destroyed = nullptr) {
  auto dialog = std::make_unique<TestDialog>(destroyed);
  dialog->build();
  dialog->init_texts();
  return dialog;
}

TEST(VclDialogForm, ShowsOkCancelAndHelpWithTheLibraryTexts) {
  auto dialog = make_dialog();
  EXPECT_EQ(dialog->BorderStyle, bsSizeToolWin);
  EXPECT_EQ(dialog->Position, poScreenCenter);
  EXPECT_EQ(dialog->ok()->Caption(), "\xCF\xF0\xE8\xEC\xE5\xED\xE8\xF2\xFC");  // Применить
  EXPECT_EQ(dialog->cancel()->Caption(), "\xCE\xF2\xEC\xE5\xED\xE8\xF2\xFC");  // Отменить
  EXPECT_EQ(dialog->help()->Caption(), "\xCF\xEE\xEC\xEE\xF9\xFC");            // Помощь
  for (TControl* button : {static_cast<TControl*>(dialog->ok()), static_cast<TControl*>(dialog->cancel()),
                           static_cast<TControl*>(dialog->help())}) {
    EXPECT_TRUE(button->Visible);
    EXPECT_EQ(button->Parent, dialog->bottom());
    EXPECT_EQ(button->Owner(), dialog.get());
    EXPECT_EQ(button->Align, alRight);
    EXPECT_TRUE(button->AlignWithMargins);
  }
  // Right-aligned in creation order: OK at the right edge, Help leftmost.
  EXPECT_GT(dialog->ok()->Left, dialog->cancel()->Left);
  EXPECT_GT(dialog->cancel()->Left, dialog->help()->Left);
  const int cw = dialog->ClientWidth, ch = dialog->ClientHeight;
  EXPECT_EQ(dialog->bottom()->BoundsRect(), Rect(3, ch - 29, cw - 3, ch - 3));
  EXPECT_EQ(dialog->client()->BoundsRect(), Rect(3, 3, cw - 3, ch - 35));
  EXPECT_EQ(dialog->ok()->BoundsRect(), Rect(cw - 6 - 3 - 75, 3, cw - 6 - 3, 23));
}

TEST(VclDialogForm, OkCancelAndCloseBoxDecideTheResult) {
  TScriptedAgent user;
  user.Click("Применить").Click("Отменить").Close();
  TScopedUserAgent use(&user);
  auto dialog = make_dialog();
  EXPECT_TRUE(dialog->execute());
  EXPECT_TRUE(dialog->done());
  dialog = make_dialog();
  EXPECT_FALSE(dialog->execute());
  dialog = make_dialog();
  EXPECT_FALSE(dialog->execute());
  EXPECT_FALSE(dialog->done());
  EXPECT_EQ(user.PendingSteps(), 0);
}

TEST(VclDialogForm, ShownAgainBeforeItsDisposalTheFormStays) {
  TScriptedAgent user;
  user.Click("Применить").Click("Отменить");
  TScopedUserAgent use(&user);
  auto dialog = make_dialog();
  EXPECT_TRUE(dialog->execute());
  EXPECT_FALSE(dialog->execute());  // the release of the first closing is dropped
}

TEST(VclDialogForm, HelpAsksTheApplicationForTheFormsTopic) {
  auto dialog = make_dialog();
  dialog->HelpContext = 42;
  int asked = 0;
  Application->OnHelp = [&](int context) {
    asked = context;
    return true;
  };
  TScriptedAgent user;
  user.Click("f_help_button").Click("f_ok_button");
  TScopedUserAgent use(&user);
  EXPECT_TRUE(dialog->execute());
  EXPECT_EQ(asked, 42);
  Application->OnHelp = nullptr;
  EXPECT_FALSE(dialog->on_help());
}

TEST(VclDialogForm, ClosingMarksForDisposalAndTheFormDiesOnce) {
  int destroyed = 0;
  auto dialog = make_dialog(&destroyed);
  TCloseAction action = caHide;
  dialog->form_close(dialog.get(), action);
  EXPECT_EQ(action, caFree);
  TScriptedAgent user;
  user.Click("f_ok_button");
  {
    TScopedUserAgent use(&user);
    EXPECT_TRUE(dialog->execute());
  }
  dialog.reset();  // the creator destroys it right after execute
  Application->ProcessMessages();  // the pending release finds nothing
  EXPECT_EQ(destroyed, 1);
}

}  // namespace
