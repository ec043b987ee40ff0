// The toolkit's classes as form texts name them, with their properties.
#include <map>

#include "toolkit/button.h"
#include "toolkit/combo_box.h"
#include "toolkit/edit.h"
#include "toolkit/exception.h"
#include "toolkit/file_controls.h"
#include "toolkit/form.h"
#include "toolkit/form_reader.h"
#include "toolkit/label.h"
#include "toolkit/panel.h"
#include "toolkit/progress_bar.h"
#include "toolkit/timer.h"

namespace toolkit {

void RegisterBuiltinFormClass(const std::string& name, const std::string& base,
                              std::function<TComponent*(TComponent* owner)> create,
                              std::vector<std::pair<std::string, PropertyWriter>> properties);

namespace {

using Properties = std::vector<std::pair<std::string, PropertyWriter>>;

int as_int(const FormValue& v) {
  if (v.kind != FormValue::Integer) throw Exception("integer expected");
  if (v.integer < INT32_MIN || v.integer > INT32_MAX) throw Exception("integer out of range");
  return static_cast<int>(v.integer);
}

// Positions, sizes, margins and font heights: within a 16-bit screen's range, so that the
// layout's sums over a parent's aligned children and their margins stay within an int.
int as_extent(const FormValue& v) {
  const int i = as_int(v);
  if (i < -32768 || i > 32767) throw Exception("position or size out of range (-32768..32767)");
  return i;
}

bool as_bool(const FormValue& v) {
  if (v.kind == FormValue::Identifier && v.text == "True") return true;
  if (v.kind == FormValue::Identifier && v.text == "False") return false;
  throw Exception("True or False expected");
}

std::string as_string(const FormValue& v) {
  if (v.kind != FormValue::String) throw Exception("string expected");
  return v.text;
}

template <class E>
E as_enum(const FormValue& v, const std::map<std::string, E>& names) {
  if (v.kind == FormValue::Identifier) {
    auto it = names.find(v.text);
    if (it != names.end()) return it->second;
  }
  std::string all;
  for (const auto& [name, value] : names) all += (all.empty() ? "" : ", ") + name;
  throw Exception("one of " + all + " expected");
}

template <class E>
TSet<E> as_set(const FormValue& v, const std::map<std::string, E>& names) {
  if (v.kind != FormValue::Set) throw Exception("set expected");
  TSet<E> set;
  for (const std::string& n : v.names) {
    auto it = names.find(n);
    if (it == names.end()) throw Exception("unknown set element '" + n + "'");
    set << it->second;
  }
  return set;
}

TColor as_color(const FormValue& v) {
  static const std::map<std::string, TColor> names{
      {"clBlack", clBlack},         {"clMaroon", clMaroon},         {"clGreen", clGreen},
      {"clNavy", clNavy},           {"clGray", clGray},             {"clSilver", clSilver},
      {"clRed", clRed},             {"clLime", clLime},             {"clBlue", clBlue},
      {"clWhite", clWhite},         {"clNone", clNone},             {"clDefault", clDefault},
      {"clWindow", clWindow},       {"clWindowText", clWindowText}, {"clBtnFace", clBtnFace},
      {"clBtnShadow", clBtnShadow}, {"clGrayText", clGrayText},     {"clBtnText", clBtnText},
      {"clHighlight", clHighlight}, {"clHighlightText", clHighlightText},
      {"clBtnHighlight", clBtnHighlight}, {"clActiveCaption", clActiveCaption},
      {"clCaptionText", clCaptionText}};
  if (v.kind == FormValue::Integer) return static_cast<TColor>(v.integer);
  return as_enum(v, names);
}

TFontCharset as_charset(const FormValue& v) {
  static const std::map<std::string, TFontCharset> names{
      {"ANSI_CHARSET", 0}, {"DEFAULT_CHARSET", 1}, {"SYMBOL_CHARSET", 2}, {"RUSSIAN_CHARSET", 204},
      {"EASTEUROPE_CHARSET", 238}, {"OEM_CHARSET", 255}};
  if (v.kind == FormValue::Integer) return static_cast<TFontCharset>(v.integer);
  return as_enum(v, names);
}

std::vector<std::string> as_strings(const FormValue& v) {
  if (v.kind != FormValue::List) throw Exception("list of strings expected");
  std::vector<std::string> r;
  for (const FormValue& item : v.items) r.push_back(as_string(item));
  return r;
}

template <class T>
T& as(TComponent& c) {
  return dynamic_cast<T&>(c);
}

// Properties the form designer writes that do not change anything here.
void ignore(Properties& p, std::initializer_list<const char*> names) {
  for (const char* n : names) p.emplace_back(n, [](TComponent&, const FormValue&, FormContext&) {});
}

Properties control_properties() {
  Properties p{
      {"Left", [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Left = as_extent(v); }},
      {"Top", [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Top = as_extent(v); }},
      {"Width", [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Width = as_extent(v); }},
      {"Height", [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Height = as_extent(v); }},
      {"ClientWidth",
       [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).ClientWidth = as_extent(v); }},
      {"ClientHeight",
       [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).ClientHeight = as_extent(v); }},
      {"Align",
       [](TComponent& c, const FormValue& v, FormContext&) {
         as<TControl>(c).Align = as_enum<TAlign>(v, {{"alNone", alNone}, {"alTop", alTop}, {"alBottom", alBottom},
                                                     {"alLeft", alLeft}, {"alRight", alRight},
                                                     {"alClient", alClient}, {"alCustom", alCustom}});
       }},
      {"AlignWithMargins",
       [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).AlignWithMargins = as_bool(v); }},
      {"Margins.Left",
       [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Margins->Left = as_extent(v); }},
      {"Margins.Top",
       [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Margins->Top = as_extent(v); }},
      {"Margins.Right",
       [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Margins->Right = as_extent(v); }},
      {"Margins.Bottom",
       [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Margins->Bottom = as_extent(v); }},
      {"Anchors",
       [](TComponent& c, const FormValue& v, FormContext&) {
         as<TControl>(c).Anchors =
             as_set<TAnchorKind>(v, {{"akLeft", akLeft}, {"akTop", akTop}, {"akRight", akRight}, {"akBottom", akBottom}});
       }},
      {"Caption", [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Caption = as_string(v); }},
      {"Visible", [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Visible = as_bool(v); }},
      {"Enabled", [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Enabled = as_bool(v); }},
      {"Color", [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Color = as_color(v); }},
      {"ParentFont",
       [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).ParentFont = as_bool(v); }},
      {"Font.Name", [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Font->Name = as_string(v); }},
      {"Font.Height",
       [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Font->Height = as_extent(v); }},
      {"Font.Size", [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Font->Size = as_extent(v); }},
      {"Font.Charset",
       [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Font->Charset = as_charset(v); }},
      {"Font.Color",
       [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Font->Color = as_color(v); }},
      {"Font.Style",
       [](TComponent& c, const FormValue& v, FormContext&) {
         as<TControl>(c).Font->Style = as_set<TFontStyle>(
             v, {{"fsBold", fsBold}, {"fsItalic", fsItalic}, {"fsUnderline", fsUnderline}, {"fsStrikeOut", fsStrikeOut}});
       }},
      {"HelpContext",
       [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).HelpContext = as_int(v); }},
      {"Hint", [](TComponent& c, const FormValue& v, FormContext&) { as<TControl>(c).Hint = as_string(v); }},
      {"Tag", [](TComponent& c, const FormValue& v, FormContext&) { c.Tag = as_int(v); }},
  };
  ignore(p, {"ExplicitLeft", "ExplicitTop", "ExplicitWidth", "ExplicitHeight", "ShowHint", "ParentShowHint",
             "ParentColor", "Ctl3D", "ParentCtl3D", "DragKind", "DragMode", "Cursor", "ParentBiDiMode"});
  return p;
}

Properties wincontrol_properties() {
  Properties p{
      {"TabOrder", [](TComponent& c, const FormValue& v, FormContext&) { as<TWinControl>(c).TabOrder = as_int(v); }},
      {"TabStop", [](TComponent& c, const FormValue& v, FormContext&) { as<TWinControl>(c).TabStop = as_bool(v); }},
  };
  ignore(p, {"DesignSize", "ParentBackground", "DoubleBuffered", "ParentDoubleBuffered"});
  return p;
}

TAlignment as_alignment(const FormValue& v) {
  return as_enum<TAlignment>(v, {{"taLeftJustify", taLeftJustify}, {"taRightJustify", taRightJustify},
                                 {"taCenter", taCenter}});
}

TBevelCut as_bevel(const FormValue& v) {
  return as_enum<TBevelCut>(v, {{"bvNone", bvNone}, {"bvLowered", bvLowered}, {"bvRaised", bvRaised},
                                {"bvSpace", bvSpace}});
}

}  // namespace

void RegisterToolkitFormClasses() {
  RegisterBuiltinFormClass("TControl", "", nullptr, control_properties());
  RegisterBuiltinFormClass("TWinControl", "TControl", nullptr, wincontrol_properties());

  RegisterBuiltinFormClass(
      "TForm", "TWinControl", nullptr,
      {{"BorderStyle",
        [](TComponent& c, const FormValue& v, FormContext&) {
          as<TForm>(c).BorderStyle = as_enum<TFormBorderStyle>(
              v, {{"bsNone", bsNone}, {"bsSingle", bsSingle}, {"bsSizeable", bsSizeable}, {"bsDialog", bsDialog},
                  {"bsToolWindow", bsToolWindow}, {"bsSizeToolWin", bsSizeToolWin}});
        }},
       {"Position",
        [](TComponent& c, const FormValue& v, FormContext&) {
          as<TForm>(c).Position = as_enum<TPosition>(
              v, {{"poDesigned", poDesigned}, {"poDefault", poDefault}, {"poDefaultPosOnly", poDefaultPosOnly},
                  {"poDefaultSizeOnly", poDefaultSizeOnly}, {"poScreenCenter", poScreenCenter},
                  {"poDesktopCenter", poDesktopCenter}, {"poMainFormCenter", poMainFormCenter},
                  {"poOwnerFormCenter", poOwnerFormCenter}});
        }},
       {"OnClose",
        [](TComponent& c, const FormValue& v, FormContext& ctx) { as<TForm>(c).OnClose = ctx.CloseHandler(v); }},
       {"OnShow", [](TComponent& c, const FormValue& v, FormContext& ctx) { as<TForm>(c).OnShow = ctx.NotifyHandler(v); }},
       {"OnHide", [](TComponent& c, const FormValue& v, FormContext& ctx) { as<TForm>(c).OnHide = ctx.NotifyHandler(v); }},
       {"OldCreateOrder", [](TComponent&, const FormValue&, FormContext&) {}},
       {"PixelsPerInch", [](TComponent&, const FormValue&, FormContext&) {}},
       {"TextHeight", [](TComponent&, const FormValue&, FormContext&) {}},
       {"Scaled", [](TComponent&, const FormValue&, FormContext&) {}},
       {"KeyPreview", [](TComponent&, const FormValue&, FormContext&) {}},
       {"FormStyle", [](TComponent&, const FormValue&, FormContext&) {}},
       {"WindowState", [](TComponent&, const FormValue&, FormContext&) {}}});

  RegisterBuiltinFormClass(
      "TPanel", "TWinControl", [](TComponent* o) { return new TPanel(o); },
      {{"BevelOuter", [](TComponent& c, const FormValue& v, FormContext&) { as<TPanel>(c).BevelOuter = as_bevel(v); }},
       {"BevelInner", [](TComponent& c, const FormValue& v, FormContext&) { as<TPanel>(c).BevelInner = as_bevel(v); }},
       {"BevelWidth", [](TComponent& c, const FormValue& v, FormContext&) { as<TPanel>(c).BevelWidth = as_extent(v); }},
       {"BorderWidth", [](TComponent& c, const FormValue& v, FormContext&) { as<TPanel>(c).BorderWidth = as_extent(v); }},
       {"Alignment", [](TComponent& c, const FormValue& v, FormContext&) { as<TPanel>(c).Alignment = as_alignment(v); }},
       {"OnClick", [](TComponent& c, const FormValue& v, FormContext& ctx) { as<TPanel>(c).OnClick = ctx.NotifyHandler(v); }}});

  RegisterBuiltinFormClass("TGroupBox", "TWinControl", [](TComponent* o) { return new TGroupBox(o); }, {});

  RegisterBuiltinFormClass(
      "TLabel", "TControl", [](TComponent* o) { return new TLabel(o); },
      {{"AutoSize", [](TComponent& c, const FormValue& v, FormContext&) { as<TLabel>(c).AutoSize = as_bool(v); }},
       {"WordWrap", [](TComponent& c, const FormValue& v, FormContext&) { as<TLabel>(c).WordWrap = as_bool(v); }},
       {"Transparent", [](TComponent& c, const FormValue& v, FormContext&) { as<TLabel>(c).Transparent = as_bool(v); }},
       {"Alignment", [](TComponent& c, const FormValue& v, FormContext&) { as<TLabel>(c).Alignment = as_alignment(v); }},
       {"Layout", [](TComponent&, const FormValue&, FormContext&) {}},
       {"OnClick", [](TComponent& c, const FormValue& v, FormContext& ctx) { as<TLabel>(c).OnClick = ctx.NotifyHandler(v); }}});

  RegisterBuiltinFormClass(
      "TButton", "TWinControl", [](TComponent* o) { return new TButton(o); },
      {{"ModalResult", [](TComponent& c, const FormValue& v, FormContext&) { as<TButton>(c).ModalResult = as_int(v); }},
       {"Default", [](TComponent& c, const FormValue& v, FormContext&) { as<TButton>(c).Default = as_bool(v); }},
       {"Cancel", [](TComponent& c, const FormValue& v, FormContext&) { as<TButton>(c).Cancel = as_bool(v); }},
       {"OnClick",
        [](TComponent& c, const FormValue& v, FormContext& ctx) { as<TButton>(c).OnClick = ctx.NotifyHandler(v); }}});

  RegisterBuiltinFormClass(
      "TEdit", "TWinControl", [](TComponent* o) { return new TEdit(o); },
      {{"Text", [](TComponent& c, const FormValue& v, FormContext&) { as<TEdit>(c).Text = as_string(v); }},
       {"ReadOnly", [](TComponent& c, const FormValue& v, FormContext&) { as<TEdit>(c).ReadOnly = as_bool(v); }},
       {"MaxLength", [](TComponent& c, const FormValue& v, FormContext&) { as<TEdit>(c).MaxLength = as_int(v); }},
       {"OnChange",
        [](TComponent& c, const FormValue& v, FormContext& ctx) { as<TEdit>(c).OnChange = ctx.NotifyHandler(v); }}});

  auto combo_items = [](TComponent& c, const FormValue& v, FormContext&) {
    as<TComboBox>(c).Items->Assign(as_strings(v));
  };
  RegisterBuiltinFormClass(
      "TComboBox", "TWinControl", [](TComponent* o) { return new TComboBox(o); },
      {{"Style",
        [](TComponent& c, const FormValue& v, FormContext&) {
          as<TComboBox>(c).Style = as_enum<TComboBoxStyle>(
              v, {{"csDropDown", csDropDown}, {"csSimple", csSimple}, {"csDropDownList", csDropDownList},
                  {"csOwnerDrawFixed", csOwnerDrawFixed}, {"csOwnerDrawVariable", csOwnerDrawVariable}});
        }},
       {"Items.Strings", combo_items},
       {"Items", combo_items},
       {"ItemIndex", [](TComponent& c, const FormValue& v, FormContext&) { as<TComboBox>(c).ItemIndex = as_int(v); }},
       {"Text", [](TComponent& c, const FormValue& v, FormContext&) { as<TComboBox>(c).Text = as_string(v); }},
       {"Sorted", [](TComponent& c, const FormValue& v, FormContext&) { as<TComboBox>(c).Sorted = as_bool(v); }},
       {"DropDownCount",
        [](TComponent& c, const FormValue& v, FormContext&) { as<TComboBox>(c).DropDownCount = as_int(v); }},
       {"ItemHeight", [](TComponent&, const FormValue&, FormContext&) {}},
       {"OnChange",
        [](TComponent& c, const FormValue& v, FormContext& ctx) { as<TComboBox>(c).OnChange = ctx.NotifyHandler(v); }}});

  RegisterBuiltinFormClass(
      "TProgressBar", "TWinControl", [](TComponent* o) { return new TProgressBar(o); },
      {{"Min", [](TComponent& c, const FormValue& v, FormContext&) { as<TProgressBar>(c).Min = as_int(v); }},
       {"Max", [](TComponent& c, const FormValue& v, FormContext&) { as<TProgressBar>(c).Max = as_int(v); }},
       {"Position", [](TComponent& c, const FormValue& v, FormContext&) { as<TProgressBar>(c).Position = as_int(v); }},
       {"Step", [](TComponent& c, const FormValue& v, FormContext&) { as<TProgressBar>(c).Step = as_int(v); }},
       {"Smooth", [](TComponent& c, const FormValue& v, FormContext&) { as<TProgressBar>(c).Smooth = as_bool(v); }}});

  RegisterBuiltinFormClass(
      "TTimer", "", [](TComponent* o) { return new TTimer(o); },
      {{"Enabled", [](TComponent& c, const FormValue& v, FormContext&) { as<TTimer>(c).Enabled = as_bool(v); }},
       {"Interval", [](TComponent& c, const FormValue& v, FormContext&) { as<TTimer>(c).Interval = as_int(v); }},
       {"OnTimer",
        [](TComponent& c, const FormValue& v, FormContext& ctx) { as<TTimer>(c).OnTimer = ctx.NotifyHandler(v); }},
       {"Left", [](TComponent&, const FormValue&, FormContext&) {}},
       {"Top", [](TComponent&, const FormValue&, FormContext&) {}},
       {"Tag", [](TComponent& c, const FormValue& v, FormContext&) { c.Tag = as_int(v); }}});

  RegisterBuiltinFormClass(
      "TDirectoryListBox", "TWinControl", [](TComponent* o) { return new TDirectoryListBox(o); },
      {{"DirLabel",
        [](TComponent& c, const FormValue& v, FormContext& ctx) {
          if (v.kind != FormValue::Identifier) throw Exception("object name expected");
          ctx.Later([&c, &ctx, name = v.text] {
            auto* label = dynamic_cast<TLabel*>(ctx.Find(name));
            if (!label) throw Exception("'" + name + "' is not a label");
            as<TDirectoryListBox>(c).DirLabel = label;
          });
        }},
       {"ItemHeight", [](TComponent&, const FormValue&, FormContext&) {}},
       {"OnChange", [](TComponent& c, const FormValue& v, FormContext& ctx) {
          as<TDirectoryListBox>(c).OnChange = ctx.NotifyHandler(v);
        }}});

  RegisterBuiltinFormClass(
      "TDriveComboBox", "TComboBox", [](TComponent* o) { return new TDriveComboBox(o); },
      {{"DirList", [](TComponent& c, const FormValue& v, FormContext& ctx) {
          if (v.kind != FormValue::Identifier) throw Exception("object name expected");
          ctx.Later([&c, &ctx, name = v.text] {
            auto* list = dynamic_cast<TDirectoryListBox*>(ctx.Find(name));
            if (!list) throw Exception("'" + name + "' is not a directory list");
            as<TDriveComboBox>(c).DirList = list;
          });
        }}});
}

}  // namespace toolkit
