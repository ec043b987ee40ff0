// The IDL reader: the module's library and malformed texts.
#include <gtest/gtest.h>

#include <random>

#include <win32/com_runtime.h>
#include <win32/idl.h>

#include "win32_test_env.h"

namespace {

using win32::idl::Parse;
using win32::idl::ParseError;

GUID guid(const char* text) {
  GUID g{};
  EXPECT_TRUE(win32::guid_from_string(text, &g)) << text;
  return g;
}

TEST(Idl, TheModulesLibrary) {
  auto lib = Parse(win32_test::read_text(WIN32_MODULE_IDL));
  EXPECT_EQ(lib.name, "vot_arcmap_areaclip");
  EXPECT_EQ(lib.guid, guid("{B1532AF0-85A1-491B-96F8-EEF899C3B9CC}"));
  EXPECT_EQ(lib.major, 1);
  EXPECT_EQ(lib.minor, 0);
  EXPECT_EQ(lib.lcid, 0x409u);
  EXPECT_EQ(lib.help, "vot_arcmap_areaclip Library");
  EXPECT_EQ(lib.imports, (std::vector<std::string>{"stdole2.tlb", "esriSystemUI.olb"}));
  ASSERT_EQ(lib.types.size(), 4u);
  EXPECT_EQ(lib.types[0].name, "Ivo_arcmap_tool_bar_areaclipEvents");
  EXPECT_EQ(lib.types[0].kind, TKIND_DISPATCH);
  EXPECT_EQ(lib.types[0].guid, guid("{6D19C0B6-4F5E-43DC-AB39-B4273BC3085F}"));
  EXPECT_EQ(lib.types[1].name, "vo_arcmap_tool_bar_areaclip");
  EXPECT_EQ(lib.types[1].kind, TKIND_COCLASS);
  ASSERT_EQ(lib.types[1].impl.size(), 2u);
  EXPECT_EQ(lib.types[1].impl[0].name, "IToolBarDef");
  EXPECT_EQ(lib.types[1].impl[0].flags, IMPLTYPEFLAG_FDEFAULT);
  EXPECT_EQ(lib.types[1].impl[1].flags, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
  EXPECT_EQ(lib.types[2].guid, guid("{BB292A6C-281C-41D6-828A-B757116FC450}"));
  EXPECT_EQ(lib.types[3].name, "vo_arcmap_command_areaclip");
  EXPECT_EQ(lib.types[3].help, "vo_arcmap_command_areaclip");
  EXPECT_EQ(lib.types[3].impl[0].name, "ICommand");
}

TEST(Idl, MembersCommentsAndForwardDeclarationsAreAccepted) {
  auto lib = Parse(R"(
    import "oaidl.idl";
    /* a comment
       over lines */
    [uuid(00000000-0000-0000-0000-000000000001), version(2.3)]
    library L {
      dispinterface Later;   // forward
      [uuid("00000000-0000-0000-0000-000000000002"), dual, oleautomation]
      interface IThing : IDispatch {
        [id(1), propget] HRESULT Name([out, retval] BSTR* value);
        HRESULT Run([in] long n, [in, defaultvalue("a;b")] BSTR s);
      };
      [uuid(00000000-0000-0000-0000-000000000003)]
      dispinterface Later { properties: [id(1)] long Count; methods: [id(2)] void Go(); };
    };
  )");
  EXPECT_EQ(lib.major, 2);
  EXPECT_EQ(lib.minor, 3);
  ASSERT_EQ(lib.types.size(), 2u);
  EXPECT_EQ(lib.types[0].kind, TKIND_DISPATCH);
  EXPECT_TRUE(lib.types[0].flags & TYPEFLAG_FDUAL);
  EXPECT_EQ(lib.types[0].functions, 2);
  EXPECT_EQ(lib.types[1].variables, 1);
  EXPECT_EQ(lib.types[1].functions, 1);
}

TEST(Idl, MalformedTextsNameTheLine) {
  const std::pair<const char*, int> cases[] = {
      {"", 1},
      {"library L {};", 1},
      {"[uuid(1234)] library L {};", 1},
      {"[uuid(00000000-0000-0000-0000-000000000001)]\nlibrary L {\n", 3},
      {"[uuid(00000000-0000-0000-0000-000000000001)] library L {\n\n  coclass C { interface I; };\n};", 3},
      {"[uuid(00000000-0000-0000-0000-000000000001)] library L {\n [uuid(00000000-0000-0000-0000-000000000002)]\n"
       " coclass C { widget I; };\n};",
       3},
      {"[uuid(00000000-0000-0000-0000-000000000001), version(1.x)]\nlibrary L {};", 1},
      {"[uuid(00000000-0000-0000-0000-000000000001), helpstring(\"open\n\")] library L {};", 1},
      {"[uuid(00000000-0000-0000-0000-000000000001)] library L {\n /* never closed\n", 2},
      {"[uuid(00000000-0000-0000-0000-000000000001)] library L {}; trailing", 1},
      {"[uuid(00000000-0000-0000-0000-000000000001)] library L {\n[uuid(00000000-0000-0000-0000-000000000002)]\n"
       "dispinterface D { methods: void f(; };\n};",
       3},
  };
  for (const auto& [text, line] : cases) {
    try {
      Parse(text);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const ParseError& e) {
      EXPECT_EQ(e.line(), line) << text << " → " << e.what();
      EXPECT_EQ(std::string(e.what()).rfind("line " + std::to_string(line) + ": ", 0), 0u) << e.what();
    }
  }
}

TEST(Idl, DeepNestingIsRefusedWithoutExhaustingTheStack) {
  std::string text = "[uuid(00000000-0000-0000-0000-000000000001)] library L {\n"
                     "[uuid(00000000-0000-0000-0000-000000000002)] interface I { void f" +
                     std::string(100000, '(') + "; };\n};";
  EXPECT_THROW(Parse(text), ParseError);
}

// Deterministic mutations of the module's IDL (bytes replaced, cut, doubled): every one
// parses or fails with a ParseError, never anything else.
TEST(Idl, MutatedTextsParseOrFailCleanly) {
  const std::string base = win32_test::read_text(WIN32_MODULE_IDL);
  std::mt19937 random(20240611);
  const char alphabet[] = "[](){};:,\"/*\\\n #x0-.aZ";
  for (int i = 0; i < 3000; ++i) {
    std::string text = base;
    for (int k = random() % 4; k >= 0; --k) {
      size_t at = random() % text.size();
      switch (random() % 3) {
        case 0: text[at] = alphabet[random() % (sizeof alphabet - 1)]; break;
        case 1: text.erase(at, random() % 40); break;
        default: text.insert(at, text.substr(at, random() % 60)); break;
      }
      if (text.empty()) text = "[";
    }
    try {
      Parse(text);
    } catch (const ParseError& e) {
      EXPECT_GE(e.line(), 1);
    }
  }
}

}  // namespace
