// Test main: a message box that no test expected fails the test instead of being answered,
// and every areaclip a test runs checks that it released every COM object and string it made
// (set here as well as by CTest: the per-test entries CTest discovers keep only the first
// variable of their environment).
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/com_test.h"

int main(int argc, char** argv) {
  setenv("AREACLIP_CHECK_RELEASES", "1", 0);
  testing::InitGoogleTest(&argc, argv);
  win32::SetMessageBoxHandler([](const win32::MessageBoxRequest& box) {
    ADD_FAILURE() << "unexpected message box [" << win32::ansi_to_utf8(box.caption) << "] "
                  << win32::ansi_to_utf8(box.text);
    return win32::MessageBoxDefaultButton(box.type);
  });
  return RUN_ALL_TESTS();
}
