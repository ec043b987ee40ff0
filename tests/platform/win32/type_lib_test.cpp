// Type libraries loaded from a module's TYPELIB resource or an IDL file, and registered.
#include <gtest/gtest.h>

#include <objbase.h>
#include <windows.h>
#include <win32/com_runtime.h>
#include <win32/reg_key.h>
#include <win32/text.h>

#include "win32_test_env.h"

namespace {

using win32::Bstr;
using win32::ComPtr;

const GUID kLibId = {0xB1532AF0, 0x85A1, 0x491B, {0x96, 0xF8, 0xEE, 0xF8, 0x99, 0xC3, 0xB9, 0xCC}};
const CLSID kToolbar = {0x3A43C927, 0x85BD, 0x4CD2, {0xAD, 0x96, 0x3A, 0xF6, 0xC4, 0x45, 0xFA, 0xC6}};
const CLSID kCommand = {0x5E1406A0, 0xAA3A, 0x45CB, {0x9A, 0xA4, 0x4D, 0x9C, 0x50, 0x09, 0xB2, 0x5C}};

class TypeLibrary : public testing::Test {
 protected:
  // The thread's error object (left by failed loads) is cleared around each test.
  void SetUp() override {
    SetErrorInfo(0, nullptr);
    alive_ = win32::ComObjectsAlive();
  }
  void TearDown() override {
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(win32::ComObjectsAlive(), alive_);
  }
  ComPtr<ITypeLib> load(const std::string& path) {
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadTypeLib(win32::utf8_to_utf16(path).c_str(), lib.put()), S_OK) << path;
    return lib;
  }
  win32_test::TempRegistry registry_;
  long alive_ = 0;
};

TEST_F(TypeLibrary, FromTheModulesResource) {
  ComPtr<ITypeLib> lib = load(WIN32_TEST_SERVER);
  ASSERT_TRUE(lib);
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, kLibId);
  EXPECT_EQ(attr->lcid, 0x409u);
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  lib->ReleaseTLibAttr(attr);
  Bstr name, doc;
  ASSERT_EQ(lib->GetDocumentation(MEMBERID_NIL, name.put(), doc.put(), nullptr, nullptr), S_OK);
  EXPECT_EQ(name.utf8(), "vot_arcmap_areaclip");
  EXPECT_EQ(doc.utf8(), "vot_arcmap_areaclip Library");
  EXPECT_EQ(lib->GetTypeInfoCount(), 4u);

  for (const auto& [clsid, help] : {std::pair{kToolbar, "vo_arcmap_tool_bar_areaclip"},
                                    std::pair{kCommand, "vo_arcmap_command_areaclip"}}) {
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(clsid, info.put()), S_OK);
    TYPEATTR* ta = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&ta), S_OK);
    EXPECT_EQ(ta->guid, clsid);
    EXPECT_EQ(ta->typekind, TKIND_COCLASS);
    EXPECT_EQ(ta->cImplTypes, 2);
    EXPECT_TRUE(ta->wTypeFlags & TYPEFLAG_FCANCREATE);
    info->ReleaseTypeAttr(ta);
    Bstr type_doc;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, nullptr, type_doc.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(type_doc.utf8(), help);
    INT flags = 0;
    ASSERT_EQ(info->GetImplTypeFlags(1, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
    HREFTYPE ref = 0;
    ASSERT_EQ(info->GetRefTypeOfImplType(1, &ref), S_OK);
    ComPtr<ITypeInfo> events;
    ASSERT_EQ(info->GetRefTypeInfo(ref, events.put()), S_OK);
    ASSERT_EQ(events->GetTypeAttr(&ta), S_OK);
    EXPECT_EQ(ta->typekind, TKIND_DISPATCH);
    events->ReleaseTypeAttr(ta);
    ASSERT_EQ(info->GetRefTypeOfImplType(0, &ref), S_OK);
    EXPECT_NE(info->GetRefTypeInfo(ref, events.put()), S_OK);  // ICommand lives in an imported library
    ComPtr<ITypeLib> container;
    UINT index = 99;
    ASSERT_EQ(info->GetContainingTypeLib(container.put(), &index), S_OK);
    EXPECT_EQ(container, lib);
  }
  ComPtr<ITypeInfo> none;
  EXPECT_EQ(lib->GetTypeInfoOfGuid(kLibId, none.put()), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(lib->GetTypeInfo(4, none.put()), TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(TypeLibrary, FromAnIdlFileAndByResourceNumber) {
  EXPECT_TRUE(load(WIN32_MODULE_IDL));
  EXPECT_TRUE(load(std::string(WIN32_TEST_SERVER) + "\\1"));
  ComPtr<ITypeLib> lib;
  EXPECT_EQ(LoadTypeLib(win32::utf8_to_utf16(std::string(WIN32_TEST_SERVER) + "\\2").c_str(), lib.put()),
            TYPE_E_CANTLOADLIBRARY);
  EXPECT_EQ(LoadTypeLib(u"/no/such/file.tlb", lib.put()), TYPE_E_CANTLOADLIBRARY);
}

TEST_F(TypeLibrary, MalformedTextFailsWithTheLineInTheErrorObject) {
  std::string tlb = registry_.dir().str() + "/bad.tlb";
  win32_test::write_text(tlb, "[uuid(00000000-0000-0000-0000-000000000001)]\nlibrary L {\n  coclass;\n};\n");
  ComPtr<ITypeLib> lib;
  EXPECT_EQ(LoadTypeLib(win32::utf8_to_utf16(tlb).c_str(), lib.put()), TYPE_E_INVDATAREAD);
  ComPtr<IErrorInfo> error;
  ASSERT_EQ(GetErrorInfo(0, error.put()), S_OK);
  Bstr description;
  error->GetDescription(description.put());
  EXPECT_NE(description.utf8().find("bad.tlb: line 3:"), std::string::npos) << description.utf8();
}

TEST_F(TypeLibrary, RegisterWritesTheTypeLibAndInterfaceKeys) {
  ComPtr<ITypeLib> lib = load(WIN32_TEST_SERVER);
  ASSERT_EQ(RegisterTypeLib(lib.get(), u"C:\\mods\\vot_arcmap_areaclip.dll", u"C:\\mods\\"), S_OK);
  const std::string key = "TypeLib\\{B1532AF0-85A1-491B-96F8-EEF899C3B9CC}\\1.0";
  using win32::ReadClassesRootString;
  EXPECT_EQ(ReadClassesRootString(key), std::optional<std::string>("vot_arcmap_areaclip Library"));
  EXPECT_EQ(ReadClassesRootString(key + "\\409\\win64"), std::optional<std::string>("C:\\mods\\vot_arcmap_areaclip.dll"));
  EXPECT_EQ(ReadClassesRootString(key + "\\FLAGS"), std::optional<std::string>("0"));
  EXPECT_EQ(ReadClassesRootString(key + "\\HELPDIR"), std::optional<std::string>("C:\\mods\\"));
  const std::string events = "Interface\\{BB292A6C-281C-41D6-828A-B757116FC450}";
  EXPECT_EQ(ReadClassesRootString(events), std::optional<std::string>("Ivo_arcmap_command_areaclipEvents"));
  EXPECT_EQ(ReadClassesRootString(events + "\\ProxyStubClsid32"),
            std::optional<std::string>("{00020420-0000-0000-C000-000000000046}"));
  EXPECT_EQ(ReadClassesRootString(events + "\\TypeLib"),
            std::optional<std::string>("{B1532AF0-85A1-491B-96F8-EEF899C3B9CC}"));
  EXPECT_EQ(ReadClassesRootString(events + "\\TypeLib", "Version"), std::optional<std::string>("1.0"));
  EXPECT_TRUE(ReadClassesRootString("Interface\\{6D19C0B6-4F5E-43DC-AB39-B4273BC3085F}"));
  EXPECT_FALSE(ReadClassesRootString("Interface\\{5E1406A0-AA3A-45CB-9AA4-4D9C5009B25C}"));  // coclasses are not
}

TEST_F(TypeLibrary, UnregisterRemovesWhatRegisterWrote) {
  ComPtr<ITypeLib> lib = load(WIN32_TEST_SERVER);
  ASSERT_EQ(RegisterTypeLib(lib.get(), win32::utf8_to_utf16(WIN32_TEST_SERVER).c_str(), nullptr), S_OK);
  ASSERT_EQ(UnRegisterTypeLib(kLibId, 1, 0, 0x409, SYS_WIN64), S_OK);
  EXPECT_FALSE(win32::ReadClassesRootString("TypeLib\\{B1532AF0-85A1-491B-96F8-EEF899C3B9CC}"));
  EXPECT_FALSE(win32::ReadClassesRootString("Interface\\{BB292A6C-281C-41D6-828A-B757116FC450}"));
  EXPECT_EQ(UnRegisterTypeLib(kLibId, 1, 0, 0x409, SYS_WIN64), TYPE_E_REGISTRYACCESS);
}

}  // namespace
