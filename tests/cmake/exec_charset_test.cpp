// The system's narrow literals are Windows-1251 in the binary whichever compiler built it
// (g++ with -fexec-charset, clang through the cp1251_cc launcher), and only they: literals
// with an encoding prefix keep their own encoding, and no comment, number or macro around a
// literal is taken for one.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

// A literal inside a macro; 'an apostrophe' and "a quote" in a comment.
#define VOT_TEXT "Мак"
/* A block comment with ' and " and ещё. */

namespace {

std::string hex(const char* text, size_t size) {
  std::string out;
  char buf[4];
  for (size_t i = 0; i < size; ++i) {
    std::snprintf(buf, sizeof buf, "%s%02X", i ? " " : "", static_cast<unsigned char>(text[i]));
    out += buf;
  }
  return out;
}
std::string hex(const char* text) { return hex(text, std::char_traits<char>::length(text)); }

TEST(ExecutionCharacterSet, NarrowLiteralsAreWindows1251) {
  EXPECT_EQ(hex("Применить"), "CF F0 E8 EC E5 ED E8 F2 FC");
  EXPECT_EQ(hex(VOT_TEXT), "CC E0 EA");
  EXPECT_EQ(hex(R"x(Сырой "текст")x"), "D1 FB F0 EE E9 20 22 F2 E5 EA F1 F2 22");
  EXPECT_EQ(hex("a'b" "Ё"), "61 27 62 A8");
  const char letter = 'Я';
  EXPECT_EQ(hex(&letter, 1), "DF");
  EXPECT_EQ(hex("\xCF" "р"), "CF F0");  // an escape is a byte already
}

TEST(ExecutionCharacterSet, PrefixedLiteralsKeepTheirEncodings) {
  const char8_t* utf8 = u8"Юг";
  EXPECT_EQ(hex(reinterpret_cast<const char*>(utf8)), "D0 AE D0 B3");
  EXPECT_EQ(u"Широкий"[0], u'\u0428');
  EXPECT_EQ(U"Ж"[0], U'\u0416');
  EXPECT_EQ(static_cast<unsigned>(L"Ж"[0]), 0x416u);
  EXPECT_EQ(uR"(Ж)"[0], u'\u0416');
  // Digit separators open no character literal that would take in the wide one after them.
  const std::u16string after_number = (10'000 > 0 ? u"Ж" : u"");
  EXPECT_EQ(after_number, u"\u0416");
}

}  // namespace
