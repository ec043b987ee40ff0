#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include <objbase.h>
#include <win32/com_error.h>
#include <win32/com_runtime.h>
#include <win32/text.h>

#include "support/com_test.h"

namespace {

using testing_support::CountedUnknown;
using testing_support::ref_count;
using win32::ComPtr;

const CLSID kTestClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

class BuiltinClass : public testing::Test {
 protected:
  void SetUp() override {
    win32::RegisterBuiltinClass(kTestClass, "Test.Counted", [this](IUnknown*, REFIID riid, void** ppv) {
      ++created_;
      return CountedUnknown::create_instance(riid, ppv, &destroyed_);
    });
  }
  void TearDown() override { win32::UnregisterBuiltinClass(kTestClass); }
  int created_ = 0;
  int destroyed_ = 0;
};

TEST_F(BuiltinClass, CreateInstanceHandsOutOneReference) {
  long alive = win32::ComObjectsAlive();
  IUnknown* p = nullptr;
  ASSERT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&p)), S_OK);
  EXPECT_EQ(created_, 1);
  EXPECT_EQ(ref_count(p), 1u);
  EXPECT_EQ(OleRun(p), S_OK);
  EXPECT_EQ(p->Release(), 0u);
  EXPECT_EQ(destroyed_, 1);
  EXPECT_EQ(win32::ComObjectsAlive(), alive);
}

// The counts of live objects and strings (the leak check of every run) hold while
// threads make them and other threads let go of them, threads end and new threads take
// their place: a reading thread makes features that the caller's thread destroys.
TEST(LiveCounts, HoldWhileOtherThreadsLetGoOfWhatThreadsMade) {
  const long objects = win32::ComObjectsAlive();
  const LONG strings = SysStringsOutstanding();
  constexpr int kThreads = 4, kEach = 2000;
  for (int round = 0; round < 3; ++round) {
    std::vector<std::vector<ComPtr<IUnknown>>> made(kThreads);
    std::vector<std::vector<BSTR>> texts(kThreads);
    std::vector<std::thread> makers;
    for (int t = 0; t < kThreads; ++t)
      makers.emplace_back([&, t] {
        for (int i = 0; i < kEach; ++i) {
          made[t].push_back(CountedUnknown::make().as<IUnknown>());
          texts[t].push_back(SysAllocString(u"текст"));
        }
      });
    for (std::thread& t : makers) t.join();
    EXPECT_EQ(win32::ComObjectsAlive(), objects + kThreads * kEach);
    EXPECT_EQ(SysStringsOutstanding(), strings + kThreads * kEach);
    std::vector<std::thread> takers;
    for (int t = 0; t < kThreads; ++t)
      takers.emplace_back([&, t] {
        made[(t + 1) % kThreads].clear();
        for (BSTR b : texts[(t + 1) % kThreads]) SysFreeString(b);
      });
    for (std::thread& t : takers) t.join();
    EXPECT_EQ(win32::ComObjectsAlive(), objects);
    EXPECT_EQ(SysStringsOutstanding(), strings);
  }
}

// A program that does not check for leaks turns the counting off first thing: objects and
// strings made and let go of after that change nothing (in a child process: the setting
// is the process's).
TEST(LiveCounts, TurnedOffFirstThingCountNothing) {
  EXPECT_EXIT(
      {
        win32::CountLiveObjects(false);
        const long objects = win32::ComObjectsAlive();
        const LONG strings = SysStringsOutstanding();
        ComPtr<IUnknown> kept = CountedUnknown::make().as<IUnknown>();
        BSTR text = SysAllocString(u"текст");
        const bool unchanged = win32::ComObjectsAlive() == objects && SysStringsOutstanding() == strings;
        SysFreeString(text);
        kept.reset();
        std::exit(unchanged && win32::ComObjectsAlive() == objects && SysStringsOutstanding() == strings ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST_F(BuiltinClass, UnsupportedInterfaceAndAggregation) {
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IDispatch, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(destroyed_, created_);
  auto outer = CountedUnknown::make();
  EXPECT_EQ(CoCreateInstance(kTestClass, outer.get(), CLSCTX_ALL, IID_IDispatch, &p), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(BuiltinClass, ProgIdBothWays) {
  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(u"Test.Counted", &clsid), S_OK);
  EXPECT_EQ(clsid, kTestClass);
  LPOLESTR progid = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(kTestClass, &progid), S_OK);
  EXPECT_EQ(std::u16string(progid), u"Test.Counted");
  CoTaskMemFree(progid);
  EXPECT_EQ(CLSIDFromProgID(u"No.Such", &clsid), CO_E_CLASSSTRING);
}

TEST(ClassLookup, UnknownClassIsNotRegistered) {
  const CLSID other = {0x99999999, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
  void* p = nullptr;
  EXPECT_EQ(CoCreateInstance(other, nullptr, CLSCTX_ALL, IID_IUnknown, &p), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(p, nullptr);
}

TEST(ClassLookup, ResolverServesClassesThatAreNotBuiltIn) {
  const CLSID served = {0x77777777, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};
  int asked = 0;
  auto previous = win32::SetClassObjectResolver([&](REFCLSID clsid, REFIID, void**) {
    ++asked;
    return clsid == served ? E_OUTOFMEMORY : REGDB_E_CLASSNOTREG;
  });
  void* p = nullptr;
  EXPECT_EQ(CoGetClassObject(served, CLSCTX_ALL, nullptr, IID_IClassFactory, &p), E_OUTOFMEMORY);
  EXPECT_EQ(asked, 1);
  win32::SetClassObjectResolver(previous);
}

TEST(GuidText, RegistryFormRoundTrip) {
  const GUID g = {0x3A43C927, 0x85BD, 0x4CD2, {0xAD, 0x96, 0x3A, 0xF6, 0xC4, 0x45, 0xFA, 0xC6}};
  LPOLESTR text = nullptr;
  ASSERT_EQ(StringFromCLSID(g, &text), S_OK);
  EXPECT_EQ(win32::utf16_to_utf8(text), "{3A43C927-85BD-4CD2-AD96-3AF6C445FAC6}");
  GUID back;
  EXPECT_EQ(CLSIDFromString(text, &back), S_OK);
  EXPECT_EQ(back, g);
  CoTaskMemFree(text);

  OLECHAR buf[39];
  EXPECT_EQ(StringFromGUID2(g, buf, 39), 39);
  EXPECT_EQ(StringFromGUID2(g, buf, 38), 0);
  EXPECT_EQ(IIDFromString(u"{3a43c927-85bd-4cd2-ad96-3af6c445fac6}", &back), S_OK);
  EXPECT_EQ(back, g);
  EXPECT_EQ(CLSIDFromString(u"{3A43C927-85BD-4CD2-AD96-3AF6C445FAC}", &back), CO_E_CLASSSTRING);
  EXPECT_EQ(IIDFromString(u"{3A43C927-85BD-4CD2-AD96=3AF6C445FAC6}", &back), E_INVALIDARG);
  EXPECT_FALSE(win32::guid_from_string("{zzzzzzzz-85BD-4CD2-AD96-3AF6C445FAC6}", &back));
}

TEST(ErrorInfo, PerThreadObjectIsTakenOnce) {
  ComPtr<ICreateErrorInfo> create;
  ASSERT_EQ(CreateErrorInfo(create.put()), S_OK);
  create->SetGUID(IID_IDispatch);
  create->SetSource(const_cast<LPOLESTR>(u"source"));
  create->SetDescription(const_cast<LPOLESTR>(u"Описание"));
  ComPtr<IErrorInfo> info = create.as<IErrorInfo>();
  ASSERT_TRUE(info);
  EXPECT_EQ(SetErrorInfo(0, info.get()), S_OK);

  ComPtr<IErrorInfo> got;
  ASSERT_EQ(GetErrorInfo(0, got.put()), S_OK);
  EXPECT_EQ(got.get(), info.get());
  GUID g;
  got->GetGUID(&g);
  EXPECT_EQ(g, IID_IDispatch);
  win32::Bstr description;
  got->GetDescription(description.put());
  EXPECT_EQ(description.utf8(), "Описание");
  // Taking the error object clears it.
  ComPtr<IErrorInfo> again;
  EXPECT_EQ(GetErrorInfo(0, again.put()), S_FALSE);
  EXPECT_FALSE(again);
}

TEST(ComGuard, ExceptionsBecomeHresultsWithErrorInfo) {
  EXPECT_EQ(win32::com_guard([]() -> HRESULT { throw win32::ComError(E_INVALIDARG, "bad value"); }), E_INVALIDARG);
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  win32::Bstr d;
  info->GetDescription(d.put());
  EXPECT_EQ(d.utf8(), "bad value");
  EXPECT_EQ(win32::com_guard([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
  EXPECT_EQ(win32::com_guard([]() -> HRESULT { throw 5; }), E_UNEXPECTED);
  EXPECT_EQ(win32::com_guard([] { return S_FALSE; }), S_FALSE);
  SetErrorInfo(0, nullptr);
}

TEST(ComObject, QueryInterfaceRules) {
  auto obj = CountedUnknown::make();
  testing_support::expect_query_interface_rules(obj.get(), {IID_IUnknown});
}

TEST(ComInit, CountsPerThread) {
  int before = win32::CoInitializeCount();
  EXPECT_EQ(CoInitialize(nullptr), before == 0 ? S_OK : S_FALSE);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(win32::CoInitializeCount(), before);
}

}  // namespace
