// The command and the toolbar as the host sees them: getters, OnCreate, OnClick with a
// scripted user, the toolbar's item, and the error guard.
#include <filesystem>
#include <functional>
#include <utility>

#include <gis/application.h>
#include <gis/document.h>
#include <toolkit/application.h>
#include <toolkit/bitmap.h>
#include <toolkit/form.h>
#include <toolkit/scripted_agent.h>
#include <win32/text.h>

#include "tests/extension/module/module_fixture.h"

namespace {

using module_test::ModuleTest;
using testing_support::ref_count;
using win32::ComPtr;

const std::u16string kCaption = u"Вырезание карты";

std::u16string text(BSTR b) { return std::u16string(win32::bstr_view(b)); }

// An application that answers IDispatch and IApplication and nothing else.
class BareApplication : public win32::ComObject<BareApplication, IDispatch, IApplication> {
 public:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_Name(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Caption(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Document(IDocument** d) override {
    *d = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_Templates(ITemplates**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE NewDocument(VARIANT_BOOL, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OpenDocument(BSTR) override {
    ++opened;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SaveDocument(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RefreshWindow() override { return E_NOTIMPL; }
  int opened = 0;
};

// A hook that is no application.
class NotAnApplication : public win32::ComObject<NotAnApplication, IDispatch> {
 public:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
};

// Records what the toolbar sets; fails put_ID with fail_id.
class RecordingItem : public win32::ComObject<RecordingItem, IItemDef> {
 public:
  HRESULT STDMETHODCALLTYPE put_ID(BSTR id) override {
    ++calls;
    this->id = win32::bstr_to_utf8(id);
    return fail_id;
  }
  HRESULT STDMETHODCALLTYPE put_Group(VARIANT_BOOL group) override {
    ++calls;
    this->group = group;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_SubType(LONG) override {
    ++calls;
    return S_OK;
  }
  int calls = 0;
  std::string id;
  VARIANT_BOOL group = VARIANT_FALSE;
  HRESULT fail_id = S_OK;
};

TEST_F(ModuleTest, CommandGetters) {
  ComPtr<ICommand> command = create<ICommand>(CLSID_vo_arcmap_command_areaclip);
  ASSERT_TRUE(command);
  VARIANT_BOOL flag = 7;
  EXPECT_EQ(command->get_Enabled(&flag), S_OK);
  EXPECT_EQ(flag, VARIANT_TRUE);
  flag = 7;
  EXPECT_EQ(command->get_Checked(&flag), S_OK);
  EXPECT_EQ(flag, 7);

  BSTR unwritten = reinterpret_cast<BSTR>(0x1234);
  for (auto getter : {&ICommand::get_Name, &ICommand::get_Tooltip, &ICommand::get_Message, &ICommand::get_HelpFile}) {
    BSTR out = unwritten;
    EXPECT_EQ((command.get()->*getter)(&out), S_OK);
    EXPECT_EQ(out, unwritten);
  }
  LONG help = 42;
  EXPECT_EQ(command->get_HelpContextID(&help), S_OK);
  EXPECT_EQ(help, 42);

  for (auto getter : {&ICommand::get_Caption, &ICommand::get_Category}) {
    BSTR out = nullptr;
    ASSERT_EQ((command.get()->*getter)(&out), S_OK);
    EXPECT_EQ(text(out), kCaption);
    // Windows-1251 bytes of the text.
    EXPECT_EQ(win32::utf16_to_ansi(text(out)), "\xC2\xFB\xF0\xE5\xE7\xE0\xED\xE8\xE5 \xEA\xE0\xF0\xF2\xFB");
    SysFreeString(out);
  }

  OLE_HANDLE first = 0, second = 0;
  ASSERT_EQ(command->get_Bitmap(&first), S_OK);
  ASSERT_EQ(command->get_Bitmap(&second), S_OK);
  EXPECT_NE(first, 0u);
  EXPECT_EQ(first, second);
  const TBitmap* picture = TBitmap::FromHandle(reinterpret_cast<HBITMAP>(first));
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->Width(), 16);
  EXPECT_EQ(picture->Height(), 16);
  EXPECT_EQ(picture->BitsPerPixel(), 24);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      uint32_t p = picture->Pixel(x, y);
      EXPECT_TRUE(p == 0x000000u || p == 0xFFFF00u) << x << "," << y;
    }
}

TEST_F(ModuleTest, GettersRefuseANullOutPointer) {
  ComPtr<ICommand> command = create<ICommand>(CLSID_vo_arcmap_command_areaclip);
  ComPtr<IToolBarDef> tool_bar = create<IToolBarDef>(CLSID_vo_arcmap_tool_bar_areaclip);
  ASSERT_TRUE(command);
  ASSERT_TRUE(tool_bar);
  ICommand* c = command.get();
  IToolBarDef* t = tool_bar.get();
  const std::pair<const char*, std::function<HRESULT()>> getters[] = {
      {"Enabled", [c] { return c->get_Enabled(nullptr); }},
      {"Checked", [c] { return c->get_Checked(nullptr); }},
      {"Name", [c] { return c->get_Name(nullptr); }},
      {"Caption", [c] { return c->get_Caption(nullptr); }},
      {"Tooltip", [c] { return c->get_Tooltip(nullptr); }},
      {"Message", [c] { return c->get_Message(nullptr); }},
      {"HelpFile", [c] { return c->get_HelpFile(nullptr); }},
      {"HelpContextID", [c] { return c->get_HelpContextID(nullptr); }},
      {"Bitmap", [c] { return c->get_Bitmap(nullptr); }},
      {"Category", [c] { return c->get_Category(nullptr); }},
      {"tool bar ItemCount", [t] { return t->get_ItemCount(nullptr); }},
      {"tool bar Name", [t] { return t->get_Name(nullptr); }},
      {"tool bar Caption", [t] { return t->get_Caption(nullptr); }},
      {"tool bar GetItemInfo", [t] { return t->GetItemInfo(0, nullptr); }},
  };
  const LONG strings = SysStringsOutstanding();
  for (const auto& [name, getter] : getters) EXPECT_EQ(getter(), E_POINTER) << name;
  EXPECT_EQ(SysStringsOutstanding(), strings);
  // A refusal is no exception: no error object is left for the caller.
  ComPtr<IErrorInfo> error;
  EXPECT_EQ(GetErrorInfo(0, error.put()), S_FALSE);
}

TEST_F(ModuleTest, OnCreateKeepsTheApplicationAndReplacesIt) {
  ComPtr<ICommand> command = create<ICommand>(CLSID_vo_arcmap_command_areaclip);
  ASSERT_TRUE(command);
  auto first = BareApplication::make();
  auto second = BareApplication::make();
  ASSERT_EQ(command->OnCreate(static_cast<IDispatch*>(first.get())), S_OK);
  EXPECT_EQ(ref_count(static_cast<IApplication*>(first.get())), 2u);
  ASSERT_EQ(command->OnCreate(static_cast<IDispatch*>(second.get())), S_OK);
  EXPECT_EQ(ref_count(static_cast<IApplication*>(first.get())), 1u);  // released before the second is kept
  EXPECT_EQ(ref_count(static_cast<IApplication*>(second.get())), 2u);
  ASSERT_EQ(command->OnCreate(nullptr), S_OK);  // no report: the test main refuses boxes
  EXPECT_EQ(ref_count(static_cast<IApplication*>(second.get())), 1u);
  ASSERT_EQ(command->OnCreate(static_cast<IDispatch*>(second.get())), S_OK);
  command.reset();
  EXPECT_EQ(ref_count(static_cast<IApplication*>(second.get())), 1u);  // released with the command
}

TEST_F(ModuleTest, OnCreateWithAHookThatIsNoApplication) {
  ComPtr<ICommand> command = create<ICommand>(CLSID_vo_arcmap_command_areaclip);
  ASSERT_TRUE(command);
  auto hook = NotAnApplication::make();
  TScriptedAgent user;
  user.Answer(IDNO).Answer(IDYES).Answer(IDOK);
  TScopedUserAgent use(&user);
  EXPECT_EQ(command->OnCreate(hook.get()), S_OK);
  EXPECT_EQ(command->OnCreate(hook.get()), S_OK);  // "stop" ends inside OnCreate
  ASSERT_EQ(user.Boxes().size(), 2u);
  EXPECT_EQ(user.Boxes()[0].caption, "HRCHECK: ");
  EXPECT_NE(user.Boxes()[0].text.find("p->QueryInterface(GetIID(), (LPVOID*)(&intf))"), std::string::npos);
  // Without an application the click is refused with an error box.
  EXPECT_EQ(command->OnClick(), S_OK);
  ASSERT_EQ(user.Boxes().size(), 3u);
  EXPECT_EQ(user.Boxes()[2].caption_utf8, "Ошибка!");
  EXPECT_EQ(ref_count(hook.get()), 1u);
}

TEST_F(ModuleTest, OnClickShowsTheDialogAndClosingItOpensNothing) {
  ComPtr<IApplication> app = gis::CreateApplication();
  const std::string map = std::string(AREACLIP_SOURCE_DIR) + "/examples/map.mxd";
  win32::Bstr path = win32::Bstr::from_utf8(map);
  ASSERT_EQ(app->OpenDocument(path.get()), S_OK);
  ComPtr<ICommand> command = create<ICommand>(CLSID_vo_arcmap_command_areaclip);
  ASSERT_TRUE(command);
  ComPtr<IDispatch> hook = app.as<IDispatch>();
  ASSERT_TRUE(hook);
  ASSERT_EQ(command->OnCreate(hook.get()), S_OK);
  hook.reset();

  std::string form_name;
  TScriptedAgent user;
  user.Call([&](TForm& form) { form_name = form.Name; }).Click("f_close_button");
  {
    TScopedUserAgent use(&user);
    EXPECT_EQ(command->OnClick(), S_OK);
  }
  EXPECT_EQ(form_name, "vo_arcmap_areaclip_form");
  EXPECT_EQ(user.PendingSteps(), 0);
  EXPECT_TRUE(user.Boxes().empty());
  ComPtr<IDocument> document;
  app->get_Document(document.put());
  EXPECT_EQ(gis::DocumentPath(document.get()), std::filesystem::path(map).lexically_normal().string());
}

TEST_F(ModuleTest, AnExceptionInOnClickBecomesAnErrorObject) {
  ASSERT_EQ(dll_.register_server(), S_OK);  // the error source is the registered ProgID
  win32::EnableRegistryClasses();
  ComPtr<ICommand> command = create<ICommand>(CLSID_vo_arcmap_command_areaclip);
  ASSERT_TRUE(command);
  auto app = BareApplication::make();  // no IMxApplication: the dialog's query fails
  ASSERT_EQ(command->OnCreate(static_cast<IDispatch*>(app.get())), S_OK);
  TScriptedAgent user;
  user.Answer(IDYES);
  {
    TScopedUserAgent use(&user);
    EXPECT_EQ(command->OnClick(), DISP_E_EXCEPTION);
  }
  ASSERT_EQ(user.Boxes().size(), 1u);
  ComPtr<IErrorInfo> error;
  ASSERT_EQ(GetErrorInfo(0, error.put()), S_OK);
  GUID guid{};
  EXPECT_EQ(error->GetGUID(&guid), S_OK);
  EXPECT_EQ(guid, IID_ICommand);
  win32::Bstr source, description;
  EXPECT_EQ(error->GetSource(source.put()), S_OK);
  EXPECT_EQ(source.utf8(), vot_arcmap_areaclip_command_progid);
  EXPECT_EQ(error->GetDescription(description.put()), S_OK);
  // The description is the report of the failed query, without the prompt line.
  const std::string report = win32::ansi_to_utf8(user.Boxes()[0].text);
  EXPECT_EQ(report.rfind(description.utf8() + "\n", 0), 0u) << description.utf8();
  EXPECT_EQ(app->opened, 0);
  // The command stays usable.
  VARIANT_BOOL enabled = VARIANT_FALSE;
  EXPECT_EQ(command->get_Enabled(&enabled), S_OK);
  EXPECT_EQ(enabled, VARIANT_TRUE);
}

TEST_F(ModuleTest, ToolBarDescribesItsOneItem) {
  ComPtr<IToolBarDef> tool_bar = create<IToolBarDef>(CLSID_vo_arcmap_tool_bar_areaclip);
  ASSERT_TRUE(tool_bar);
  LONG count = 0;
  EXPECT_EQ(tool_bar->get_ItemCount(&count), S_OK);
  EXPECT_EQ(count, 1);
  for (auto getter : {&IToolBarDef::get_Name, &IToolBarDef::get_Caption}) {
    BSTR out = nullptr;
    ASSERT_EQ((tool_bar.get()->*getter)(&out), S_OK);
    EXPECT_EQ(text(out), kCaption);
    SysFreeString(out);
  }

  auto item = RecordingItem::make();
  for (LONG pos : {1, -1}) {
    EXPECT_EQ(tool_bar->GetItemInfo(pos, item.get()), E_INVALIDARG);
    EXPECT_EQ(item->calls, 0);
  }
  ASSERT_EQ(tool_bar->GetItemInfo(0, item.get()), S_OK);
  EXPECT_EQ(item->id, "vot_arcmap_areaclip.vo_arcmap_command_areaclip");
  EXPECT_EQ(item->group, VARIANT_TRUE);
  EXPECT_EQ(item->calls, 2);
  EXPECT_EQ(ref_count(item.get()), 1u);

  auto failing = RecordingItem::make();
  failing->fail_id = E_ACCESSDENIED;
  EXPECT_EQ(tool_bar->GetItemInfo(0, failing.get()), E_ACCESSDENIED);
  EXPECT_EQ(failing->calls, 1);  // the group flag is not set after a failed ID
  EXPECT_EQ(ref_count(failing.get()), 1u);
}

}  // namespace
