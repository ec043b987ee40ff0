#include <gtest/gtest.h>

#include <toolkit/vcl.h>

#include <memory>
#include <string>

namespace {

// A dialog form text as the form designer writes it.
const char kDialogText[] = R"(object vo_arcmap_areaclip_form: Tvo_arcmap_areaclip_form
  Left = 0
  Top = 0
  BorderStyle = bsSizeToolWin
  ClientHeight = 262
  ClientWidth = 578
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'Tahoma'
  Font.Style = []
  OldCreateOrder = False
  Position = poScreenCenter
  OnClose = FormClose
  PixelsPerInch = 96
  TextHeight = 13
  object f_btm_panel: TPanel
    Left = 0
    Top = 216
    Width = 578
    Height = 46
    Align = alBottom
    BevelOuter = bvNone
    TabOrder = 0
    object f_btn_panel: TPanel
      Left = 400
      Top = 0
      Width = 178
      Height = 46
      Align = alRight
      BevelOuter = bvNone
      TabOrder = 0
      object f_close_button: TButton
        Left = 94
        Top = 14
        Width = 75
        Height = 25
        Anchors = [akTop, akRight]
        Caption = #1047#1072#1082#1088#1099#1090#1100
        TabOrder = 0
        OnClick = f_close_buttonClick
      end
      object f_apply_button: TButton
        Left = 13
        Top = 14
        Width = 75
        Height = 25
        Anchors = [akTop, akRight]
        Caption = #1055#1088#1080#1084#1077#1085#1080#1090#1100
        TabOrder = 1
        OnClick = f_apply_buttonClick
      end
    end
    object f_progress_panel: TPanel
      Left = 0
      Top = 0
      Width = 400
      Height = 46
      Align = alClient
      BevelOuter = bvNone
      TabOrder = 1
      Visible = False
      object f_progress_label: TLabel
        Left = 13
        Top = 7
        Width = 3
        Height = 13
        Caption = ''
      end
      object f_progress_bar: TProgressBar
        Left = 13
        Top = 26
        Width = 372
        Height = 14
        Anchors = [akLeft, akTop, akRight, akBottom]
        TabOrder = 0
      end
    end
  end
  object f_data_panel: TPanel
    Left = 0
    Top = 0
    Width = 578
    Height = 216
    Align = alClient
    BevelOuter = bvNone
    TabOrder = 1
    object f_group_box: TGroupBox
      Left = 0
      Top = 162
      Width = 578
      Height = 54
      Align = alBottom
      Caption = #1056#1077#1079#1091#1083#1100#1090#1072#1090
      TabOrder = 0
    end
  end
  object f_timer: TTimer
    Enabled = False
    OnTimer = f_timerTimer
    Left = 8
    Top = 8
  end
end
)";

// A form class binding its fields and handlers by name, as a dialog does.
class DialogForm : public TForm {
 public:
  explicit DialogForm(std::string_view text, bool bind_all = true) : TForm(nullptr) {
    BindField("f_btm_panel", f_btm_panel);
    BindField("f_btn_panel", f_btn_panel);
    BindField("f_close_button", f_close_button);
    BindField("f_apply_button", f_apply_button);
    BindField("f_progress_panel", f_progress_panel);
    BindField("f_progress_label", f_progress_label);
    BindField("f_progress_bar", f_progress_bar);
    BindField("f_data_panel", f_data_panel);
    BindField("f_group_box", f_group_box);
    BindField("f_timer", f_timer);
    BindHandler("f_close_buttonClick", [this](TObject*) { ++close_clicks; });
    if (bind_all) BindHandler("f_apply_buttonClick", [this](TObject*) { ++apply_clicks; });
    BindHandler("f_timerTimer", [](TObject*) {});
    BindHandler("FormClose", [](TObject*, TCloseAction& action) { action = caFree; });
    ReadFormText(text, "dialog.dfm");
  }

  TPanel* f_btm_panel = nullptr;
  TPanel* f_btn_panel = nullptr;
  TButton* f_close_button = nullptr;
  TButton* f_apply_button = nullptr;
  TPanel* f_progress_panel = nullptr;
  TLabel* f_progress_label = nullptr;
  TProgressBar* f_progress_bar = nullptr;
  TPanel* f_data_panel = nullptr;
  TGroupBox* f_group_box = nullptr;
  TTimer* f_timer = nullptr;
  int apply_clicks = 0;
  int close_clicks = 0;
};

TEST(FormReader, BuildsBindsAndLaysOutARealForm) {
  DialogForm form(kDialogText);
  EXPECT_EQ(form.Name, "vo_arcmap_areaclip_form");
  EXPECT_EQ(form.BorderStyle, bsSizeToolWin);
  EXPECT_EQ(form.Position, poScreenCenter);
  EXPECT_EQ(form.ClientWidth, 578);
  EXPECT_EQ(form.ClientHeight, 262);
  EXPECT_EQ(form.Font->Name, "Tahoma");
  EXPECT_EQ(form.Font->Height, -11);
  EXPECT_EQ(form.Caption, "");

  EXPECT_EQ(form.f_btm_panel->BoundsRect(), Rect(0, 216, 578, 262));
  EXPECT_EQ(form.f_btn_panel->BoundsRect(), Rect(400, 0, 578, 46));
  EXPECT_EQ(form.f_close_button->BoundsRect(), Bounds(94, 14, 75, 25));
  EXPECT_EQ(form.f_apply_button->BoundsRect(), Bounds(13, 14, 75, 25));
  EXPECT_EQ(form.f_data_panel->BoundsRect(), Rect(0, 0, 578, 216));
  EXPECT_EQ(form.f_group_box->BoundsRect(), Rect(0, 162, 578, 216));
  EXPECT_FALSE(form.f_progress_panel->Visible);
  EXPECT_EQ(form.f_progress_bar->BoundsRect(), Bounds(13, 26, 372, 14));
  EXPECT_EQ(form.f_progress_bar->Max, 100);
  EXPECT_FALSE(form.f_timer->Enabled);
  EXPECT_EQ(form.f_timer->Interval, 1000);
  EXPECT_EQ(form.f_timer->Owner(), &form);
  EXPECT_EQ(form.f_close_button->Parent, form.f_btn_panel);
  EXPECT_EQ(form.f_close_button->TabOrder, 0);
  EXPECT_EQ(form.f_apply_button->TabOrder, 1);

  // Character codes arrive as Windows-1251 text.
  EXPECT_EQ(form.f_close_button->Caption(), "\xC7\xE0\xEA\xF0\xFB\xF2\xFC");
  EXPECT_EQ(form.f_apply_button->Caption(), "\xCF\xF0\xE8\xEC\xE5\xED\xE8\xF2\xFC");
  EXPECT_EQ(form.f_group_box->Caption(), "\xD0\xE5\xE7\xF3\xEB\xFC\xF2\xE0\xF2");

  // Event bindings call the form's handlers.
  form.f_apply_button->Click();
  form.f_close_button->Click();
  EXPECT_EQ(form.apply_clicks, 1);
  EXPECT_EQ(form.close_clicks, 1);
  TCloseAction action = caHide;
  form.OnClose(&form, action);
  EXPECT_EQ(action, caFree);

  // Shown, the progress panel takes the rest of the bottom panel; the bar's anchors
  // stretch it with the form.
  form.f_progress_panel->Visible = true;
  EXPECT_EQ(form.f_progress_panel->BoundsRect(), Rect(0, 0, 400, 46));
  form.ClientWidth = 678;
  EXPECT_EQ(form.f_btn_panel->BoundsRect(), Rect(500, 0, 678, 46));
  EXPECT_EQ(form.f_progress_bar->BoundsRect(), Bounds(13, 26, 472, 14));
  EXPECT_EQ(form.f_close_button->BoundsRect(), Bounds(94, 14, 75, 25));
}

TEST(FormReader, ValuesOfEveryKind) {
  TForm form(nullptr, R"(object f: TForm
  Caption = 'It''s ' + 'a' +
    #13#10'test'
  object c: TComboBox
    Style = csDropDownList
    Items.Strings = (
      'one'
      #1044#1074#1072)
    ItemIndex = 1
    Color = $00FF8040
  end
  object e: TEdit
    Text = 'caf'#233
    ReadOnly = True
    Margins.Left = 7
  end
end)");
  EXPECT_EQ(form.Caption(), "It's a\r\ntest");
  auto* combo = dynamic_cast<TComboBox*>(form.FindComponent("c"));
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->Items->Count(), 2);
  EXPECT_EQ(combo->Text(), "\xC4\xE2\xE0");  // "Два" in Windows-1251
  EXPECT_EQ(combo->Color, 0x00FF8040);
  auto* edit = dynamic_cast<TEdit*>(form.FindComponent("e"));
  ASSERT_NE(edit, nullptr);
  EXPECT_TRUE(edit->ReadOnly);
  EXPECT_EQ(edit->Margins->Left, 7);
  EXPECT_EQ(edit->Text(), "caf?");  // no é in Windows-1251
}

struct ErrorCase {
  std::string text;
  std::string message;  // expected part of the message
  int line;
};

std::string with_child(const std::string& child) {
  return "object f: TForm\n  Caption = 'x'\n" + child + "end\n";
}

// Every text is refused with an EReadError naming the case's line and holding its message.
void expect_refused(const std::vector<ErrorCase>& cases) {
  for (const ErrorCase& c : cases) {
    try {
      TForm form(nullptr, c.text, "test.dfm");
      ADD_FAILURE() << "no error for:\n" << c.text.substr(0, 300);
    } catch (const EReadError& e) {
      EXPECT_NE(e.Message.find(c.message), std::string::npos) << e.Message;
      EXPECT_NE(e.Message.find("test.dfm, line " + std::to_string(c.line) + ":"), std::string::npos) << e.Message;
      EXPECT_EQ(e.Line, c.line) << e.Message;
    }
  }
}

TEST(FormReader, ErrorsNameTheLine) {
  const std::vector<ErrorCase> cases = {
      {with_child("  object p: TFancyPanel\n  end\n"), "unknown class 'TFancyPanel'", 3},
      {with_child("  object p: TPanel\n    Colour = clRed\n  end\n"), "unknown property 'Colour' of TPanel", 4},
      {with_child("  object b: TButton\n    OnClick = nobodyClick\n  end\n"), "unknown event handler 'nobodyClick'", 4},
      {with_child("  object p: TPanel\n    Align = alMiddle\n  end\n"), "one of", 4},
      {with_child("  object p: TPanel\n    Width = 'wide'\n  end\n"), "integer expected", 4},
      {with_child("  object p: TPanel\n    Caption = 'open\n  end\n"), "unterminated string", 4},
      {with_child("  object p: TPanel\n    Anchors = [akTop, akSide]\n  end\n"), "akSide", 4},
      {with_child("  object p: TPanel\n  end\n  object p: TPanel\n  end\n"), "duplicate object name 'p'", 5},
      {with_child("  object t: TTimer\n    object b: TButton\n    end\n  end\n"), "cannot hold controls", 4},
      {"object f: TForm\n  object p: TPanel\n", "'end' of object 'p' missing", 3},
      {"object f: TForm\nend\nend\n", "text after the end", 3},
      {with_child("  object c: TComboBox\n    Items.Strings = ('a' 'b'\n"), "')' expected", 6},
      {with_child("  object p: TPanel\n    Visible = Maybe\n  end\n"), "True or False expected", 4},
  };
  expect_refused(cases);
}

// Nesting deeper than any form's is refused naming the line, not read until the stack runs
// out (found by fuzzing); 200 levels still read.
TEST(FormReader, DeepNestingIsRefusedWithTheLine) {
  auto nested_panels = [](int levels) {
    std::string text = "object f: TForm\n";
    for (int i = 1; i < levels; ++i) text += "object p" + std::to_string(i) + ": TPanel\n";
    for (int i = 0; i < levels; ++i) text += "end\n";
    return text;
  };
  auto nested_lists = [](int levels) {
    return "object f: TForm\n  object c: TComboBox\n    ItemHeight = " + std::string(levels, '(') +
           std::string(levels, ')') + "\n  end\nend\n";
  };
  TForm panels(nullptr, nested_panels(200), "deep.dfm");
  auto* inner = dynamic_cast<TPanel*>(panels.FindComponent("p199"));
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->Parent, panels.FindComponent("p198"));
  TForm lists(nullptr, nested_lists(200), "deep.dfm");
  EXPECT_NE(lists.FindComponent("c"), nullptr);

  expect_refused({
      {nested_panels(201), "objects nested too deeply", 201},
      {nested_panels(100000), "objects nested too deeply", 201},
      {nested_lists(201), "lists nested too deeply", 3},
      {with_child("  object c: TComboBox\n    Items.Strings = " + std::string(100000, '(') + "\n"),
       "lists nested too deeply", 4},
  });
}

// Positions, sizes, margins and font heights beyond a screen's range are refused: the
// layout's sums over them would overflow (found by fuzzing).
TEST(FormReader, PositionsAndSizesStayInAScreensRange) {
  TForm form(nullptr, "object f: TForm\n  ClientHeight = 32767\n  object p: TPanel\n    Left = -32768\n"
                      "    Width = 32767\n    Margins.Left = 32767\n    Font.Height = -32768\n  end\nend\n");
  EXPECT_EQ(form.ClientHeight, 32767);
  auto* panel = dynamic_cast<TPanel*>(form.FindComponent("p"));
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->Left, -32768);
  EXPECT_EQ(panel->Width, 32767);

  expect_refused({
      {"object f: TForm\n  ClientHeight = 2147483647\nend\n", "out of range (-32768..32767)", 2},
      {"object f: TForm\n  BorderStyle = bsSingle\n  ClientWidth = 2147483647\nend\n", "out of range", 3},
      {with_child("  object p: TPanel\n    Width = 32768\n  end\n"), "out of range", 4},
      {with_child("  object p: TPanel\n    Top = -32769\n  end\n"), "out of range", 4},
      {with_child("  object p: TPanel\n    Margins.Bottom = 2147483647\n  end\n"), "out of range", 4},
      {with_child("  object p: TPanel\n    Font.Height = -2147483648\n  end\n"), "out of range", 4},
      {with_child("  object p: TPanel\n    Font.Size = 100000\n  end\n"), "out of range", 4},
      {with_child("  object p: TPanel\n    BorderWidth = 1000000\n  end\n"), "out of range", 4},
  });
}

TEST(FormReader, FieldsAndHandlersMustMatchTheText) {
  try {
    DialogForm form(kDialogText, false);
    ADD_FAILURE() << "unbound handler accepted";
  } catch (const EReadError& e) {
    EXPECT_NE(e.Message.find("line 52: unknown event handler 'f_apply_buttonClick'"), std::string::npos) << e.Message;
  }

  struct WrongField : TForm {
    TButton* f_panel = nullptr;
    WrongField() : TForm(nullptr) {
      BindField("f_panel", f_panel);
      ReadFormText("object f: TForm\n  object f_panel: TPanel\n  end\nend\n", "wrong.dfm");
    }
  };
  try {
    WrongField form;
    ADD_FAILURE() << "field of the wrong class accepted";
  } catch (const EReadError& e) {
    EXPECT_NE(e.Message.find("wrong.dfm, line 2: the object f_panel is a TPanel, but its field is a TButton"),
              std::string::npos)
        << e.Message;
  }

  struct MissingField : TForm {
    TButton* f_missing = nullptr;
    MissingField() : TForm(nullptr) {
      BindField("f_missing", f_missing);
      ReadFormText("object f: TForm\nend\n", "missing.dfm");
    }
  };
  EXPECT_THROW(MissingField form, EReadError);
}

TEST(FormReader, ObjectReferencesResolveAfterTheWholeText) {
  TForm form(nullptr, R"(object f: TForm
  object drives: TDriveComboBox
    DirList = folders
  end
  object folders: TDirectoryListBox
    DirLabel = folder_label
  end
  object folder_label: TLabel
  end
end)");
  auto* drives = dynamic_cast<TDriveComboBox*>(form.FindComponent("drives"));
  auto* folders = dynamic_cast<TDirectoryListBox*>(form.FindComponent("folders"));
  auto* label = dynamic_cast<TLabel*>(form.FindComponent("folder_label"));
  ASSERT_TRUE(drives && folders && label);
  EXPECT_EQ(drives->DirList, folders);
  EXPECT_EQ(folders->DirLabel, label);
  EXPECT_EQ(label->Caption(), folders->Directory());
}

}  // namespace
