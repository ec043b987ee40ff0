// Reading form texts (the text form description):
//
//   object f_btm_panel: TPanel
//     Align = alBottom
//     Caption = #1047#1072'x'          strings: quoted parts and #nnn character codes
//     Anchors = [akTop, akRight]        sets
//     Font.Name = 'Tahoma'              nested properties
//     Items.Strings = ( 'a' 'b' )       lists
//     OnClick = f_apply_buttonClick     event bindings by handler name
//     object f_close_button: TButton    children
//     end
//   end
//
// Character codes are UTF-16 code units and quoted text is UTF-8; strings are converted
// to the ANSI code page. Objects and lists nest at most 200 levels deep; positions, sizes,
// margins and font heights lie within -32768..32767. The classes a form text may name are
// registered here; the toolkit's own classes are registered from the start.
#pragma once

#include <functional>
#include <string>

#include "toolkit/types.h"
#include <string_view>
#include <vector>

class TComponent;
class TForm;
struct TFormBindings;

namespace toolkit {

// A property value as written in a form text.
struct FormValue {
  enum Kind { Integer, Float, String, Identifier, Set, List, Binary };
  Kind kind = Integer;
  long long integer = 0;
  double real = 0;
  std::string text;                // String (ANSI), Identifier, Binary (bytes)
  std::vector<std::string> names;  // Set
  std::vector<FormValue> items;    // List
  int line = 0;
};

// What a property writer may ask of the reader.
struct FormContext {
  TForm& form;
  const TFormBindings& bindings;
  std::vector<std::pair<int, std::function<void()>>> fixups;
  int line = 0;

  // The bound handler named by an identifier value; Exception when none is bound.
  TNotifyEvent NotifyHandler(const FormValue& value) const;
  TCloseEvent CloseHandler(const FormValue& value) const;
  // Runs `fixup` once every object of the text exists (references between objects).
  void Later(std::function<void()> fixup) { fixups.emplace_back(line, std::move(fixup)); }
  // The object of the text with this name; Exception when there is none.
  TComponent* Find(const std::string& name) const;
};

// Sets one property of a component; throws Exception (the reader adds the line) for a
// value of the wrong kind.
using PropertyWriter = std::function<void(TComponent&, const FormValue&, FormContext&)>;

// Registers a class a form text may create (`base` is a registered class whose properties
// it inherits, empty for none) with its own properties.
void RegisterFormClass(const std::string& name, const std::string& base,
                       std::function<TComponent*(TComponent* owner)> create,
                       std::vector<std::pair<std::string, PropertyWriter>> properties);
bool IsFormClassRegistered(const std::string& name);

// Reads `text` into `form` (see TForm::ReadFormText).
void ReadForm(TForm& form, std::string_view text, const TFormBindings& bindings, const std::string& source_name);

}  // namespace toolkit
