// Test main: a message box that no test expected fails the test instead of being answered.
#include <gtest/gtest.h>

#include "support/com_test.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  win32::SetMessageBoxHandler([](const win32::MessageBoxRequest& box) {
    ADD_FAILURE() << "unexpected message box [" << win32::ansi_to_utf8(box.caption) << "] "
                  << win32::ansi_to_utf8(box.text);
    return win32::MessageBoxDefaultButton(box.type);
  });
  return RUN_ALL_TESTS();
}
