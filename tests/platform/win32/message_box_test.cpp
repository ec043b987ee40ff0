#include <gtest/gtest.h>
#include <unistd.h>

#include <windows.h>
#include <win32/message_box.h>

#include "support/com_test.h"

namespace {

TEST(MessageBox, GoesToTheInstalledHandler) {
  testing_support::ScriptedBoxes boxes({IDNO});
  EXPECT_EQ(MessageBoxA(nullptr, "\xCE\xF8\xE8\xE1\xEA\xE0", "caption", MB_YESNO | MB_ICONQUESTION), IDNO);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, "Ошибка");
  EXPECT_EQ(boxes.shown()[0].ansi_text, "\xCE\xF8\xE8\xE1\xEA\xE0");
  EXPECT_EQ(boxes.shown()[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
}

TEST(MessageBox, ButtonsAndDefaults) {
  EXPECT_EQ(win32::MessageBoxButtons(MB_OK), std::vector<int>({IDOK}));
  EXPECT_EQ(win32::MessageBoxButtons(0x2023), std::vector<int>({IDYES, IDNO, IDCANCEL}));
  EXPECT_EQ(win32::MessageBoxDefaultButton(MB_YESNOCANCEL), IDYES);
  EXPECT_EQ(win32::MessageBoxDefaultButton(MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
  EXPECT_EQ(win32::MessageBoxDefaultButton(MB_OK | MB_DEFBUTTON3), IDOK);
}

TEST(MessageBox, WithoutHandlerNorTerminalTheDefaultButtonAnswers) {
  auto previous = win32::SetMessageBoxHandler(nullptr);
  testing::internal::CaptureStderr();
  // Tests never run with a terminal on standard input (ctest), so no prompt waits.
  int answer = isatty(0) ? IDNO : MessageBoxA(nullptr, "text", "cap", MB_YESNO | MB_DEFBUTTON2);
  std::string err = testing::internal::GetCapturedStderr();
  win32::SetMessageBoxHandler(previous);
  EXPECT_EQ(answer, IDNO);
  if (!isatty(0)) {
    EXPECT_NE(err.find("[cap] text"), std::string::npos);
  }
}

}  // namespace
