#include <gtest/gtest.h>

#include <toolkit/scripted_agent.h>
#include <toolkit/terminal_agent.h>
#include <toolkit/vcl.h>
#include <windows.h>

#include <memory>
#include <sstream>

namespace {

// A form with two buttons and a combo, built in code.
struct TestForm {
  std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
  TButton* ok = new TButton(form.get());
  TButton* other = new TButton(form.get());
  TComboBox* combo = new TComboBox(form.get());

  TestForm() {
    form->Name = "test_form";
    ok->Name = "ok";
    ok->Caption = "OK";
    ok->Parent = form.get();
    other->Name = "other";
    other->Caption = "Other";
    other->Parent = form.get();
    combo->Name = "combo";
    combo->Parent = form.get();
    combo->Style = csDropDownList;
    combo->Items->Assign({"a", "b", "c"});
  }
};

TEST(Combo, OnChangeFiresOnlyOnTheUsersChoice) {
  TestForm t;
  int changes = 0;
  t.combo->OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, t.combo);
    ++changes;
  };
  t.combo->ItemIndex = 1;
  t.combo->Items->Add("d");
  t.combo->Text = "c";
  EXPECT_EQ(t.combo->ItemIndex, 2);
  t.combo->Items->Clear();
  EXPECT_EQ(t.combo->ItemIndex, -1);
  EXPECT_EQ(changes, 0);

  t.combo->Items->Assign({"x", "y"});
  t.form->Show();
  Application->PostChoose(t.combo, 1);
  EXPECT_EQ(changes, 0);  // nothing happens before messages are processed
  Application->ProcessMessages();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(t.combo->Text, "y");
}

TEST(Timer, FiresOnlyInsideMessageProcessing) {
  TManualClock clock;
  TScopedClock use(&clock);
  TestForm t;
  auto* timer = new TTimer(t.form.get());
  int ticks = 0;
  timer->Interval = 1000;
  timer->OnTimer = [&](TObject*) { ++ticks; };
  clock.Advance(5000);
  EXPECT_EQ(ticks, 0);
  Application->ProcessMessages();
  EXPECT_EQ(ticks, 1);  // missed ticks are not caught up
  Application->ProcessMessages();
  EXPECT_EQ(ticks, 1);
  clock.Advance(999);
  Application->ProcessMessages();
  EXPECT_EQ(ticks, 1);
  clock.Advance(1);
  Application->ProcessMessages();
  EXPECT_EQ(ticks, 2);
  timer->Enabled = false;
  clock.Advance(10000);
  Application->ProcessMessages();
  EXPECT_EQ(ticks, 2);
}

TEST(Modal, EndsOnCloseAndReturnsItsResult) {
  TestForm t;
  t.ok->ModalResult = mrOk;
  auto* owner_form = new TForm(t.form.get());
  owner_form->Show();
  TScriptedAgent user;
  user.Call([&](TForm& form) {
        EXPECT_EQ(&form, t.form.get());
        EXPECT_TRUE(form.Modal());
        EXPECT_FALSE(owner_form->Enabled);  // the other forms are disabled meanwhile
      })
      .Click("OK");
  TScopedUserAgent use(&user);
  EXPECT_EQ(t.form->ShowModal(), mrOk);
  EXPECT_FALSE(t.form->Visible);
  EXPECT_TRUE(owner_form->Enabled);

  user.Close();
  EXPECT_EQ(t.form->ShowModal(), mrCancel);
  EXPECT_EQ(user.PendingSteps(), 0);
}

TEST(Modal, CloseActionNoneKeepsTheFormOpen) {
  TestForm t;
  int asked = 0;
  t.form->OnClose = [&](TObject*, TCloseAction& action) { action = ++asked == 1 ? caNone : caHide; };
  TScriptedAgent user;
  user.Close().Close();
  TScopedUserAgent use(&user);
  EXPECT_EQ(t.form->ShowModal(), mrCancel);
  EXPECT_EQ(asked, 2);
}

TEST(Modal, CloseRequestDuringAHandlerTakesEffectAfterItReturns) {
  TestForm t;
  bool returned = false;
  t.ok->OnClick = [&](TObject*) {
    Application->PostCloseRequest(t.form.get());  // the user clicks the close box meanwhile
    Application->ProcessMessages();
    EXPECT_TRUE(t.form->Visible);
    EXPECT_EQ(t.form->ModalResult, mrNone);
    returned = true;
  };
  TScriptedAgent user;
  user.Click("ok");
  TScopedUserAgent use(&user);
  EXPECT_EQ(t.form->ShowModal(), mrCancel);
  EXPECT_TRUE(returned);
}

TEST(Modal, ResultDecidedByTheHandlerStandsOverADeferredClose) {
  TestForm t;
  t.ok->OnClick = [&](TObject*) {
    Application->PostCloseRequest(t.form.get());
    Application->ProcessMessages();
    t.form->ModalResult = mrYes;
  };
  TScriptedAgent user;
  user.Click("ok");
  TScopedUserAgent use(&user);
  EXPECT_EQ(t.form->ShowModal(), mrYes);
}

TEST(Modal, AnExceptionInAHandlerIsShownAndTheLoopGoesOn) {
  TestForm t;
  t.ok->OnClick = [](TObject*) { throw Exception("Something broke"); };
  TScriptedAgent user;
  user.Click("ok").Click("ok").Close();
  user.Answer(IDOK);
  TScopedUserAgent use(&user);
  EXPECT_EQ(t.form->ShowModal(), mrCancel);
  ASSERT_EQ(user.Boxes().size(), 2u);
  EXPECT_EQ(user.Boxes()[0].text, "Something broke.");
  EXPECT_EQ(user.Boxes()[0].caption, Application->Title);
  EXPECT_EQ(user.Boxes()[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(user.Boxes()[1].answer, IDOK);  // default button when the script has no answer
}

TEST(Modal, InputToDisabledOrHiddenControlsIsRefused) {
  TestForm t;
  t.other->Enabled = false;
  t.combo->Visible = false;
  int clicks = 0;
  t.other->OnClick = [&](TObject*) { ++clicks; };
  TScriptedAgent user;
  user.Click("Other");
  TScopedUserAgent use(&user);
  try {
    t.form->ShowModal();
    ADD_FAILURE() << "a disabled button was clicked";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message.find("disabled"), std::string::npos) << e.Message;
  }
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(t.form->Visible);

  // Posted before the button was disabled, dispatched after: dropped.
  t.other->Enabled = true;
  t.form->Show();
  Application->PostClick(t.other);
  t.other->Enabled = false;
  Application->ProcessMessages();
  EXPECT_EQ(clicks, 0);
}

TEST(Modal, ChoosingAMissingEntryListsTheEntries) {
  TestForm t;
  TScriptedAgent user;
  user.Choose("combo", "z");
  TScopedUserAgent use(&user);
  try {
    t.form->ShowModal();
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message.find("the entries are 'a', 'b', 'c'"), std::string::npos) << e.Message;
  }
}

TEST(Modal, WithoutAgentNorTerminalFailsInsteadOfWaiting) {
  if (isatty(0) && isatty(2)) GTEST_SKIP() << "runs with a terminal";
  TestForm t;
  try {
    t.form->ShowModal();
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message.find("no user agent is installed and there is no terminal"), std::string::npos) << e.Message;
  }
  EXPECT_FALSE(t.form->Visible);
  EXPECT_EQ(Application->ModalForm(), nullptr);
}

TEST(Modal, ScriptThatRunsOutFailsClearly) {
  TestForm t;
  TScriptedAgent user;
  TScopedUserAgent use(&user);
  EXPECT_THROW(t.form->ShowModal(), Exception);
}

TEST(Release, CaFreeDestroysTheFormOnceThroughTheQueue) {
  int destroyed = 0;
  struct Counted : TForm {
    int* n;
    explicit Counted(int* count) : TForm(nullptr), n(count) {}
    ~Counted() override { ++*n; }
  };
  auto* form = new Counted(&destroyed);
  form->OnClose = [](TObject*, TCloseAction& a) { a = caFree; };
  form->Show();
  form->Close();
  EXPECT_EQ(destroyed, 0);
  Application->ProcessMessages();
  EXPECT_EQ(destroyed, 1);

  // Destroyed by its creator first: the pending release is dropped.
  auto* second = new Counted(&destroyed);
  second->OnClose = [](TObject*, TCloseAction& a) { a = caFree; };
  second->Show();
  second->Close();
  delete second;
  Application->ProcessMessages();
  EXPECT_EQ(destroyed, 2);
}

TEST(MessageBoxes, GoToTheUserAgentWithTheirDetails) {
  TScriptedAgent user;
  user.Answer(IDNO);
  {
    TScopedUserAgent use(&user);
    EXPECT_EQ(MessageBoxA(nullptr, "\xC4\xE0?", "Title", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "second", "Title", MB_YESNO | MB_DEFBUTTON2), IDNO);
  }
  ASSERT_EQ(user.Boxes().size(), 2u);
  EXPECT_EQ(user.Boxes()[0].text_utf8, "Да?");
  EXPECT_EQ(user.Boxes()[0].caption, "Title");
}

TEST(TerminalAgent, ReadsCommandsAndAnswersBoxes) {
  TestForm t;
  std::istringstream in("bogus\nclick nothing\nchoose combo b\nclick \"OK\"\nn\n");
  std::ostringstream out;
  TTerminalAgent terminal(in, out);
  int choices = 0;
  t.combo->OnChange = [&](TObject*) { ++choices; };
  t.ok->OnClick = [&](TObject*) {
    EXPECT_EQ(MessageBoxA(nullptr, "Sure?", "Q", MB_YESNO), IDNO);
    t.form->ModalResult = mrOk;
  };
  TScopedUserAgent use(&terminal);
  EXPECT_EQ(t.form->ShowModal(), mrOk);
  EXPECT_EQ(choices, 1);
  EXPECT_EQ(t.combo->Text, "b");
  const std::string printed = out.str();
  EXPECT_NE(printed.find("TButton ok"), std::string::npos) << printed;
  EXPECT_NE(printed.find("commands:"), std::string::npos) << printed;
  EXPECT_NE(printed.find("there is no such control"), std::string::npos) << printed;
  EXPECT_NE(printed.find("[Q] Sure?"), std::string::npos) << printed;
}

TEST(Help, WithoutAHelpSystemTheRequestFails) {
  EXPECT_FALSE(Application->HelpContext(12));
  int asked = 0;
  Application->OnHelp = [&](int context) {
    asked = context;
    return true;
  };
  EXPECT_TRUE(Application->HelpContext(12));
  EXPECT_EQ(asked, 12);
  Application->OnHelp = nullptr;
}

}  // namespace
