#include <gtest/gtest.h>

#include <string>

#include "vot_vcl/vot_vcl_text.h"

namespace {

TEST(VclText, ButtonAndCaptionTextsAreWindows1251) {
  EXPECT_EQ(std::string(vcl_text(vcl_text_apply)), "\xCF\xF0\xE8\xEC\xE5\xED\xE8\xF2\xFC");  // Применить
  EXPECT_EQ(std::string(vcl_text(vcl_text_cancel)), "\xCE\xF2\xEC\xE5\xED\xE8\xF2\xFC");     // Отменить
  EXPECT_EQ(std::string(vcl_text(vcl_text_help)), "\xCF\xEE\xEC\xEE\xF9\xFC");               // Помощь
  EXPECT_EQ(std::string(vcl_text(vcl_text_folder)), "\xCF\xE0\xEF\xEA\xE0");                  // Папка
  // This test is compiled like the system's code: its own literals are Windows-1251 too.
  EXPECT_STREQ(vcl_text(5), "Применить");
}

TEST(VclText, IndicesAreFixed) {
  EXPECT_EQ(vcl_text_cancel, 4);
  EXPECT_EQ(vcl_text_apply, 5);
  EXPECT_EQ(vcl_text_help, 6);
  EXPECT_EQ(vcl_text_folder, 7);
  EXPECT_EQ(vcl_text(5), vcl_text(5));  // the table's own constant, not a copy
}

}  // namespace
