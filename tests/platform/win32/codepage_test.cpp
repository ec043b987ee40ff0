#include <gtest/gtest.h>

#include <string>

#include <windows.h>
#include <win32/paths.h>
#include <win32/text.h>

namespace {

std::u16string to_wide(UINT cp, const std::string& s) {
  int n = MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::u16string w(n, u'\0');
  EXPECT_EQ(MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), w.data(), n), n);
  return w;
}

std::string to_narrow(UINT cp, const std::u16string& w, BOOL* used_default = nullptr) {
  int n = WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, used_default);
  std::string s(n, '\0');
  EXPECT_EQ(WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, used_default), n);
  return s;
}

TEST(CodePage, AnsiIsWindows1251ByDefault) { EXPECT_EQ(GetACP(), 1251u); }

TEST(CodePage, CyrillicRoundTripsThroughAnsiAndUtf8) {
  const std::string cp1251 = "\xCF\xF0\xE8\xEC\xE5\xED\xE8\xF2\xFC";  // "Применить"
  std::u16string wide = to_wide(CP_ACP, cp1251);
  EXPECT_EQ(wide, u"Применить");
  EXPECT_EQ(to_narrow(CP_ACP, wide), cp1251);
  EXPECT_EQ(to_narrow(CP_UTF8, wide), "Применить");
  EXPECT_EQ(to_wide(CP_UTF8, "Применить"), wide);
}

TEST(CodePage, UnmappableCharactersBecomeQuestionMarks) {
  BOOL used_default = FALSE;
  // CJK and an emoji (a surrogate pair) have no place in Windows-1251.
  EXPECT_EQ(to_narrow(CP_ACP, u"a\u4E2Db\U0001F600c", &used_default), "a?b?c");
  EXPECT_TRUE(used_default);
  used_default = TRUE;
  EXPECT_EQ(to_narrow(CP_ACP, u"abc", &used_default), "abc");
  EXPECT_FALSE(used_default);
}

TEST(CodePage, MalformedUtf8DecodesToReplacementCharacter) {
  EXPECT_EQ(to_wide(CP_UTF8, "a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(to_wide(CP_UTF8, "ab\xD0"), u"ab\uFFFD");  // cut inside a character
}

TEST(CodePage, MinusOneLengthCountsTheTerminatingZero) {
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
  char16_t buf[8] = {};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, buf, 8), 4);
  EXPECT_EQ(std::u16string(buf), u"abc");
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u0416", -1, nullptr, 0, nullptr, nullptr), 2);
}

TEST(CodePage, TooSmallBufferAndBadArgumentsFail) {
  char16_t buf[2];
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcdef", 6, buf, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, 3, buf, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a", 0, buf, 2), 0);
  // UTF-8 takes no default character.
  char c = '#';
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, nullptr, 0, &c, nullptr), 0);
}

TEST(CodePage, CustomDefaultCharacter) {
  char out[8] = {};
  const char def = '#';
  BOOL used = FALSE;
  int n = WideCharToMultiByte(CP_ACP, 0, u"x\u4E2D", 2, out, 8, &def, &used);
  EXPECT_EQ(std::string(out, n), "x#");
  EXPECT_TRUE(used);
}

TEST(CodePage, EveryAnsiByteDecodes) {
  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  std::u16string wide = to_wide(CP_ACP, all);
  EXPECT_EQ(wide.size(), all.size());
}

TEST(Paths, BothSeparatorsAndDriveLetters) {
  EXPECT_EQ(win32::ansi_path_to_posix("/tmp/out\\cross.mxd"), "/tmp/out/cross.mxd");
  EXPECT_EQ(win32::ansi_path_to_posix("C:\\data\\roads.shp"), "/data/roads.shp");
  EXPECT_EQ(win32::ansi_path_to_posix("c:"), "/");
  EXPECT_EQ(win32::ansi_path_to_posix("rel\\a"), "rel/a");
  EXPECT_EQ(win32::ansi_path_to_posix("/tmp/\xCA\xE0\xF0\xF2\xE0"), "/tmp/Карта");
  EXPECT_EQ(win32::posix_path_to_ansi("/tmp/Карта"), "/tmp/\xCA\xE0\xF0\xF2\xE0");
}

}  // namespace

namespace {

// Text of plain ASCII takes a shorter way than text with other characters; both must
// agree with the converter at the border (0x7F, 0x80) and keep NULs and invalid bytes as
// the converter does.
TEST(CodePage, AsciiAndOtherTextConvertAlikeAtTheBorder) {
  const std::string samples[] = {std::string("plain \x7F end"), std::string("a\0b", 3), "caf\xC3\xA9",
                                 "\xC2\x80", "x\xFFy", ""};
  for (const std::string& s : samples) {
    SCOPED_TRACE(s);
    EXPECT_EQ(win32::utf8_to_utf16(s), to_wide(CP_UTF8, s));
    const std::u16string w = to_wide(CP_UTF8, s);
    EXPECT_EQ(win32::utf16_to_utf8(w), to_narrow(CP_UTF8, w));
  }
  EXPECT_EQ(win32::utf16_to_utf8(u"\u007F\u0080"), "\x7F\xC2\x80");
}

}  // namespace
