#include <gtest/gtest.h>
#include <errno.h>
#include <iconv.h>

#include <random>
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

// glibc's own UTF-8 decoder, each byte it refuses replaced by U+FFFD and passed over.
std::u16string iconv_utf8(const std::string& s) {
  iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  std::u16string out(s.size() + 4, u'\0');
  char* in = const_cast<char*>(s.data());
  size_t in_left = s.size();
  size_t used = 0;
  while (in_left > 0) {
    char* o = reinterpret_cast<char*>(out.data() + used);
    size_t o_left = (out.size() - used) * sizeof(char16_t);
    size_t r = iconv(cd, &in, &in_left, &o, &o_left);
    used = out.size() - o_left / sizeof(char16_t);
    if (r != static_cast<size_t>(-1)) break;
    out[used++] = u'\uFFFD';
    ++in;
    --in_left;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  out.resize(used);
  return out;
}

TEST(CodePage, Utf8DecodesAsIconvDoesWhateverTheBytes) {
  // The borders of each sequence length, overlong forms, surrogates, values above U+10FFFF,
  // stray continuation bytes and sequences cut short.
  const std::string cases[] = {
      "\x7F",         "\xC2\x80",     "\xDF\xBF",         "\xE0\xA0\x80",     "\xEF\xBF\xBF",
      "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xC0\x80",      "\xC1\xBF",
      "\xE0\x9F\xBF",   "\xF0\x8F\xBF\xBF", "\xED\x9F\xBF",     "\xED\xA0\x80",     "\xED\xBF\xBF",
      "\xF5\x80\x80\x80", "\xF8\x88\x80\x80\x80", "\xFC\x84\x80\x80\x80\x80", "\xFE", "\xFF",
      "\x80",         "\xBF\x41",     "\xE2\x82",         "\xE2\x82\x41",     "\xF0\x9F\x98",
      "\xD0\x9F\xD1",   "a\xF0\x9F\x98\x80" "b", "\xEF\xBB\xBF\xD0\x90"};
  for (const std::string& c : cases) EXPECT_EQ(to_wide(CP_UTF8, c), iconv_utf8(c)) << testing::PrintToString(c);
  // Random bytes, weighted towards UTF-8's lead and continuation bytes.
  std::mt19937 random(20261210);
  const unsigned char alphabet[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC2, 0xD0,
                                    0xDF, 0xE0, 0xE2, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xF8, 0xFF};
  for (int round = 0; round < 20000; ++round) {
    std::string s(1 + random() % 12, '\0');
    for (char& b : s)
      b = static_cast<char>(random() % 3 ? alphabet[random() % sizeof alphabet] : random() % 256);
    ASSERT_EQ(to_wide(CP_UTF8, s), iconv_utf8(s)) << testing::PrintToString(s);
  }
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
