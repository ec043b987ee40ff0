// The IDL subset that describes a module's type library:
//   [uuid(...), version(1.0), helpstring("..."), lcid(0x409)] library name {
//     importlib("stdole2.tlb");
//     [uuid(...), helpstring("...")] dispinterface X { properties: methods: };
//     [uuid(...), version(1.0), helpstring("...")] coclass Y {
//       [default] interface IToolBarDef; [default, source] dispinterface X; };
//     [uuid(...), dual, oleautomation] interface I : IDispatch { ... };
//   };
// plus comments, import statements, forward declarations, typedefs and interface members
// (accepted and skipped). Nesting is bounded; errors name the line. Text is UTF-8.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "../oaidl.h"

namespace win32::idl {

struct ImplType {
  std::string name;
  bool dispinterface = false;
  INT flags = 0;  // IMPLTYPEFLAG_*
};

struct Type {
  TYPEKIND kind = TKIND_DISPATCH;
  std::string name;
  GUID guid = GUID_NULL;
  WORD major = 0, minor = 0;
  std::string help;
  WORD flags = 0;  // TYPEFLAG_*
  std::string base;  // base interface of an interface
  std::vector<ImplType> impl;  // coclass members
  WORD functions = 0, variables = 0;  // members counted, not described
  int line = 0;
};

struct Library {
  std::string name;
  GUID guid = GUID_NULL;
  WORD major = 0, minor = 0;
  LCID lcid = 0;
  std::string help;
  WORD flags = 0;  // LIBFLAG_*
  std::vector<std::string> imports;
  std::vector<Type> types;
};

class ParseError : public std::runtime_error {
 public:
  ParseError(int line, const std::string& what)
      : std::runtime_error("line " + std::to_string(line) + ": " + what), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

// Parses the library; ParseError on malformed text.
Library Parse(std::string_view text);

}  // namespace win32::idl
