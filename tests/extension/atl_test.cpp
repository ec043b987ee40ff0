// The failed-call check, the counted interface reference and the ANSI and wide text conversion.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "extension/vot_arcmap_areaclip_atl.h"
#include "support/com_test.h"

namespace {

using testing_support::CountedUnknown;
using testing_support::ref_count;
using testing_support::ScriptedBoxes;

// An object with IDispatch beside IUnknown, to have a second interface to convert to.
class Dispatchable : public win32::ComObject<Dispatchable, IDispatch> {
 public:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
};

const char kPrompt[] = "\nPress [Y]es to terminate, [N]o to continue and [C]ancel to Debug";

TEST(CheckHresult, SuccessCodesPassSilently) {
  ScriptedBoxes boxes;
  EXPECT_EQ(check_hresult(S_OK, "x", "f.cpp", 1), S_OK);
  EXPECT_EQ(check_hresult(S_FALSE, "x", "f.cpp", 1), S_FALSE);
  EXPECT_TRUE(boxes.shown().empty());
}

TEST(CheckHresult, NoReturnsTheCodeWithSystemTextReport) {
  ScriptedBoxes boxes({IDNO});
  EXPECT_EQ(check_hresult(E_NOINTERFACE, "a->QueryInterface()", "src/x.cpp", 42), E_NOINTERFACE);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].ansi_caption, "HRCHECK: ");
  EXPECT_EQ(boxes.shown()[0].ansi_text,
            std::string("'a->QueryInterface()': No such interface supported @ src/x.cpp/42") + kPrompt);
  EXPECT_EQ(boxes.shown()[0].type, 0x2023u);
}

TEST(CheckHresult, CodeWithoutSystemTextUsesHexAndDecimal) {
  ScriptedBoxes boxes({IDNO});
  check_hresult(CLASS_E_CLASSNOTAVAILABLE, "expr", "f.cpp", 7);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].ansi_text, std::string("(expr) Error: 80040111 (-2147221231) @ f.cpp/7") + kPrompt);
}

TEST(CheckHresult, YesRaisesComCallErrorWithReportAndCode) {
  ScriptedBoxes boxes({IDYES});
  try {
    check_hresult(CLASS_E_CLASSNOTAVAILABLE, "expr", "f.cpp", 7);
    FAIL() << "no exception";
  } catch (const com_call_error& e) {
    EXPECT_EQ(e.Message, "(expr) Error: 80040111 (-2147221231) @ f.cpp/7");
    EXPECT_EQ(e.error_code, CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(e.source, "f.cpp");
    EXPECT_EQ(e.help_file, "");
    EXPECT_EQ(e.help_context, 0);
  }
}

TEST(CheckHresult, CancelWithoutDebuggerGoesOnAsNo) {
  ASSERT_FALSE(IsDebuggerPresent());
  ScriptedBoxes boxes({IDCANCEL});
  // A break asked for without a debugger is noted on standard error (on Windows it would
  // end the process): none may be asked for.
  testing::internal::CaptureStderr();
  EXPECT_EQ(check_hresult(E_FAIL, "e", nullptr, 3), E_FAIL);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].ansi_text, std::string("'e': Unspecified error @ /3") + kPrompt);
}

// Cancel under a debugger breaks into it and then goes on. The debugger is this process,
// tracing a child that runs the check; it counts the breakpoint traps and lets them pass.
TEST(CheckHresult, CancelUnderADebuggerBreaksThenGoesOn) {
  constexpr int kNoTracing = 77;
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(kNoTracing);
    raise(SIGSTOP);
    ScriptedBoxes boxes({IDCANCEL});
    const bool went_on = check_hresult(E_FAIL, "e", "f.cpp", 1) == E_FAIL && boxes.shown().size() == 1;
    _exit(went_on ? 0 : 1);
  }
  int traps = 0;
  int status = 0;
  while (waitpid(child, &status, 0) == child && WIFSTOPPED(status)) {
    const int signal = WSTOPSIG(status);
    if (signal == SIGTRAP) ++traps;
    // The trap and the child's own stop are the debugger's; anything else goes to the child.
    ptrace(PTRACE_CONT, child, nullptr, signal == SIGTRAP || signal == SIGSTOP ? 0 : signal);
  }
  ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
  if (WEXITSTATUS(status) == kNoTracing) GTEST_SKIP() << "tracing is not permitted here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the check did not go on after the break";
  EXPECT_EQ(traps, 1);
}

TEST(CheckHresult, LongTextsAreCutToTheBuffers) {
  ScriptedBoxes boxes({IDYES});
  std::string expression(2000, 'e');
  std::string file(1000, 'f');
  try {
    check_hresult(CLASS_E_CLASSNOTAVAILABLE, expression.c_str(), file.c_str(), 1);
    FAIL();
  } catch (const com_call_error& e) {
    EXPECT_EQ(e.Message.size(), 519u);
    EXPECT_EQ(e.Message, "(" + expression.substr(0, 518));
    EXPECT_EQ(e.source.size(), 519u);
  }
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].ansi_text.size(), 519u);
}

TEST(ShowCheckPrompt, FormatsTheBoxAndReturnsTheAnswer) {
  ScriptedBoxes boxes({IDCANCEL});
  EXPECT_EQ(show_check_prompt("cap", "report"), IDCANCEL);
  EXPECT_EQ(boxes.shown()[0].ansi_text, std::string("report") + kPrompt);
  EXPECT_EQ(boxes.shown()[0].ansi_caption, "cap");
}

TEST(ComCallError, BelongsToTheExceptionFamily) {
  com_call_error e("m", E_FAIL, "s", "", 0);
  const Exception& base = e;
  EXPECT_EQ(base.Message, "m");
  EXPECT_STREQ(base.what(), "m");
}

TEST(TComInterface, CopyAddsAndDestroyReleasesExactlyOnce) {
  int destroyed = 0;
  auto obj = CountedUnknown::make(&destroyed);
  IUnknown* raw = obj.get();
  {
    TComInterface<IUnknown> a(raw);
    EXPECT_EQ(ref_count(raw), 2u);
    TComInterface<IUnknown> b = a;
    EXPECT_EQ(ref_count(raw), 3u);
    TComInterface<IUnknown> c = std::move(b);
    EXPECT_EQ(ref_count(raw), 3u);
    EXPECT_FALSE(b.IsBound());
    TComInterface<IUnknown>& same = a;
    a = same;  // self-assignment keeps the one reference
    EXPECT_EQ(ref_count(raw), 3u);
    c = nullptr;
    EXPECT_EQ(ref_count(raw), 2u);
  }
  EXPECT_EQ(ref_count(raw), 1u);
  obj.reset();
  EXPECT_EQ(destroyed, 1);
}

TEST(TComInterface, SameObjectTwiceHoldsOneReference) {
  auto obj = CountedUnknown::make();
  TComInterface<IUnknown> a;
  a = obj.get();
  a = obj.get();
  EXPECT_EQ(ref_count(obj.get()), 2u);
}

TEST(TComInterface, OutParameterReleasesWhatWasHeld) {
  auto first = CountedUnknown::make();
  auto second = CountedUnknown::make();
  TComInterface<IUnknown> a(first.get());
  IUnknown** slot = &a;
  EXPECT_EQ(ref_count(first.get()), 1u);
  *slot = second.copy();
  EXPECT_EQ(a.get(), second.get());
  EXPECT_EQ(ref_count(second.get()), 2u);
}

TEST(TComInterface, ConversionQueriesTheOtherInterface) {
  ScriptedBoxes boxes;
  auto obj = Dispatchable::make();
  TComInterface<IDispatch> d(obj.get());
  TComInterface<IUnknown> u;
  u = d;
  ASSERT_TRUE(u.IsBound());
  EXPECT_EQ(ref_count(obj.get()), 3u);
  TComInterface<IDispatch> back;
  back = u.get();  // from a plain pointer of another interface
  EXPECT_EQ(back.get(), d.get());
  EXPECT_EQ(ref_count(obj.get()), 4u);
  EXPECT_TRUE(boxes.shown().empty());
}

TEST(TComInterface, NullSourceEmptiesTargetWithoutCheck) {
  ScriptedBoxes boxes;
  auto obj = Dispatchable::make();
  TComInterface<IDispatch> target(obj.get());
  TComInterface<IUnknown> empty;
  target = empty;
  EXPECT_FALSE(target.IsBound());
  EXPECT_EQ(ref_count(obj.get()), 1u);
  target = static_cast<IUnknown*>(nullptr);
  EXPECT_FALSE(target.IsBound());
  EXPECT_TRUE(boxes.shown().empty());
}

TEST(TComInterface, FailedConversionAnsweredNoLeavesTargetEmpty) {
  ScriptedBoxes boxes({IDNO, IDNO});
  auto obj = CountedUnknown::make();
  auto old = Dispatchable::make();
  TComInterface<IUnknown> src(obj.get());
  TComInterface<IDispatch> target(old.get());
  target = src;
  EXPECT_FALSE(target.IsBound());
  EXPECT_EQ(ref_count(old.get()), 1u);  // the previous reference was released
  EXPECT_EQ(ref_count(obj.get()), 2u);
  target = obj.get();
  EXPECT_FALSE(target.IsBound());
  ASSERT_EQ(boxes.shown().size(), 2u);
  const std::string& first = boxes.shown()[0].ansi_text;
  EXPECT_EQ(first.rfind("'src->QueryInterface(GetIID(), (LPVOID*)(&intf))': No such interface supported @ "
                        "extension/vot_arcmap_areaclip_atl.h/",
                        0),
            0u)
      << first;
  EXPECT_EQ(boxes.shown()[1].ansi_text.rfind("'p->QueryInterface(GetIID(), (LPVOID*)(&intf))'", 0), 0u);
}

TEST(TComInterface, FailedConversionAnsweredYesRaises) {
  ScriptedBoxes boxes({IDYES});
  auto obj = CountedUnknown::make();
  TComInterface<IUnknown> src(obj.get());
  TComInterface<IDispatch> target;
  EXPECT_THROW(target = src, com_call_error);
  EXPECT_FALSE(target.IsBound());
  EXPECT_EQ(ref_count(obj.get()), 2u);
}

// "Карта Ё" in Windows-1251 and in UTF-16.
const char kCyrillicAnsi[] = "\xCA\xE0\xF0\xF2\xE0 \xA8";
const OLECHAR kCyrillicWide[] = {0x041A, 0x0430, 0x0440, 0x0442, 0x0430, 0x0020, 0x0401, 0};

TEST(AnsiText, CyrillicRoundTripsThroughABstr) {
  BSTR wide = ansi_to_bstr(kCyrillicAnsi);
  ASSERT_NE(wide, nullptr);
  ASSERT_EQ(SysStringLen(wide), 7u);
  for (UINT i = 0; i < 7; ++i) EXPECT_EQ(wide[i], kCyrillicWide[i]) << "at " << i;
  EXPECT_EQ(bstr_to_ansi(wide), kCyrillicAnsi);
  SysFreeString(wide);
}

TEST(AnsiText, EmptyTextIsAnEmptyBstr) {
  BSTR wide = ansi_to_bstr("");
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(SysStringLen(wide), 0u);
  EXPECT_EQ(bstr_to_ansi(wide), "");
  SysFreeString(wide);
}

TEST(AnsiText, NullReadsAsEmpty) {
  EXPECT_EQ(bstr_to_ansi(nullptr), "");
  EXPECT_EQ(olestr_to_ansi(nullptr), "");
  Tvo_bstr empty;
  EXPECT_EQ(empty.get(), nullptr);
  EXPECT_EQ(empty.ansi(), "");
}

TEST(AnsiText, ZeroTerminatedWideTextThatIsNoBstr) {
  EXPECT_EQ(olestr_to_ansi(kCyrillicWide), kCyrillicAnsi);
  const OLECHAR guid[] = {'{', '0', '-', 'a', 'F', '}', 0};
  EXPECT_EQ(olestr_to_ansi(guid), "{0-aF}");
}

TEST(AnsiText, CharactersTheCodePageLacksBecomeTheDefault) {
  const OLECHAR wide[] = {0x041A, 0x4E2D, 'x', 0};
  EXPECT_EQ(olestr_to_ansi(wide), "\xCA?x");
}

TEST(AnsiText, HolderConvertsBothWays) {
  Tvo_bstr text{std::string(kCyrillicAnsi)};
  ASSERT_NE(text.get(), nullptr);
  EXPECT_EQ(SysStringLen(text.get()), 7u);
  EXPECT_EQ(text.ansi(), kCyrillicAnsi);
  // The out-parameter slot frees what was held.
  BSTR* slot = &text;
  EXPECT_EQ(*slot, nullptr);
  EXPECT_EQ(text.ansi(), "");
}

}  // namespace
