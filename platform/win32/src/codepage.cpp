// Code-page conversions over iconv, with one cached converter per direction and thread.
#include <errno.h>
#include <iconv.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

#include "../include/windows.h"
#include "../include/win32/paths.h"
#include "../include/win32/text.h"

namespace {

std::atomic<UINT> g_acp{0};

UINT configured_acp() {
  if (const char* env = std::getenv("AREACLIP_ACP")) {
    char* end = nullptr;
    long v = std::strtol(env, &end, 10);
    if (end != env && *end == '\0' && v > 0 && v < 65536) return static_cast<UINT>(v);
  }
  return 1251;
}

UINT resolve(UINT cp) {
  if (cp == CP_ACP || cp == CP_OEMCP) return GetACP();
  return cp;
}

std::string iconv_name(UINT cp) {
  if (cp == CP_UTF8) return "UTF-8";
  return "CP" + std::to_string(cp);
}

// Converters between a code page and UTF-16LE, opened once per thread and direction.
class ConverterCache {
 public:
  ~ConverterCache() {
    for (auto& [key, cd] : converters_) iconv_close(cd);
  }
  // Null when iconv knows no such code page.
  iconv_t get(UINT cp, bool to_utf16) {
    auto key = std::make_pair(cp, to_utf16);
    auto it = converters_.find(key);
    if (it != converters_.end()) {
      iconv(it->second, nullptr, nullptr, nullptr, nullptr);
      return it->second;
    }
    const std::string name = iconv_name(cp);
    iconv_t cd = to_utf16 ? iconv_open("UTF-16LE", name.c_str()) : iconv_open(name.c_str(), "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
    converters_.emplace(key, cd);
    return cd;
  }

 private:
  std::map<std::pair<UINT, bool>, iconv_t> converters_;
};

thread_local ConverterCache t_cache;

// Code pages whose first 128 bytes are ASCII: text that is all ASCII converts byte for unit
// without iconv (most attribute values and names are).
bool ascii_compatible(UINT cp) {
  return cp == CP_UTF8 || (cp >= 1250 && cp <= 1258) || cp == 866 || cp == 437 || cp == 850 ||
         (cp >= 28591 && cp <= 28605) || cp == 20866 || cp == 21866;
}

bool all_ascii(const char* s, size_t len) {
  for (size_t i = 0; i < len; ++i)
    if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
  return true;
}

bool all_ascii(const char16_t* s, size_t len) {
  for (size_t i = 0; i < len; ++i)
    if (s[i] >= 0x80) return false;
  return true;
}

// Length of the well-formed UTF-8 sequence at s (at most `left` bytes) and its code point;
// 0 when the bytes there are not one: a stray continuation byte, an overlong form, a
// surrogate, a value above U+10FFFF or a sequence cut short.
size_t utf8_sequence(const unsigned char* s, size_t left, char32_t* cp) {
  const unsigned char b = s[0];
  size_t n;
  char32_t c;
  unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
  if (b < 0x80) {
    *cp = b;
    return 1;
  } else if (b >= 0xC2 && b <= 0xDF) {
    n = 2, c = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3, c = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4, c = b & 0x07;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (left < n || s[1] < lo || s[1] > hi) return 0;
  for (size_t i = 1; i < n; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    c = (c << 6) | (s[i] & 0x3F);
  }
  *cp = c;
  return n;
}

// UTF-8 to UTF-16 without iconv (attribute values are read by the million); each byte that
// does not start a well-formed sequence becomes U+FFFD, as iconv's resynchronising does.
void decode_utf8(const char* src, size_t len, std::u16string& out) {
  out.resize(len);  // never more units than bytes
  const auto* s = reinterpret_cast<const unsigned char*>(src);
  size_t used = 0;
  for (size_t i = 0; i < len;) {
    char32_t c;
    size_t n = utf8_sequence(s + i, len - i, &c);
    if (n == 0) {
      out[used++] = u'\uFFFD';
      ++i;
      continue;
    }
    i += n;
    if (c < 0x10000) {
      out[used++] = static_cast<char16_t>(c);
    } else {
      c -= 0x10000;
      out[used++] = static_cast<char16_t>(0xD800 + (c >> 10));
      out[used++] = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
  }
  out.resize(used);
}

// Decodes bytes of a code page; undecodable bytes become U+FFFD (UTF-8) or "?".
bool decode(UINT cp, const char* src, size_t len, std::u16string& out) {
  out.clear();
  if (ascii_compatible(cp) && all_ascii(src, len)) {
    out.assign(src, src + len);
    return true;
  }
  if (cp == CP_UTF8) {
    decode_utf8(src, len, out);
    return true;
  }
  iconv_t cd = t_cache.get(cp, true);
  if (!cd) return false;
  const char16_t replacement = cp == CP_UTF8 ? u'\uFFFD' : u'?';
  out.resize(len + 4);
  char* in = const_cast<char*>(src);
  size_t in_left = len;
  size_t used = 0;
  while (in_left > 0) {
    char* o = reinterpret_cast<char*>(out.data() + used);
    size_t o_left = (out.size() - used) * sizeof(char16_t);
    size_t r = iconv(cd, &in, &in_left, &o, &o_left);
    used = out.size() - o_left / sizeof(char16_t);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2 + 8);
      continue;
    }
    // EILSEQ or EINVAL: replace one byte and resynchronise.
    if (used + 1 > out.size()) out.resize(out.size() * 2 + 8);
    out[used++] = replacement;
    ++in;
    --in_left;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(used);
  return true;
}

// Encodes UTF-16 into a code page; characters it cannot hold become the default character
// ("?", or U+FFFD for UTF-8 when the input holds a lone surrogate).
bool encode(UINT cp, const char16_t* src, size_t len, std::string& out, const char* default_char,
            bool* used_default) {
  out.clear();
  if (ascii_compatible(cp) && all_ascii(src, len)) {
    out.assign(src, src + len);
    return true;
  }
  iconv_t cd = t_cache.get(cp, false);
  if (!cd) return false;
  const std::string replacement = cp == CP_UTF8 ? "\xEF\xBF\xBD" : (default_char ? std::string(1, *default_char) : "?");
  out.resize(len * 3 + 8);
  char* in = reinterpret_cast<char*>(const_cast<char16_t*>(src));
  size_t in_left = len * sizeof(char16_t);
  size_t used = 0;
  while (in_left > 0) {
    char* o = out.data() + used;
    size_t o_left = out.size() - used;
    size_t r = iconv(cd, &in, &in_left, &o, &o_left);
    used = out.size() - o_left;
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2 + 8);
      continue;
    }
    if (used + replacement.size() > out.size()) out.resize(out.size() * 2 + 8);
    out.replace(used, replacement.size(), replacement);
    used += replacement.size();
    if (used_default) *used_default = true;
    // Skip the whole character: a surrogate pair is two code units.
    char16_t c = *reinterpret_cast<char16_t*>(in);
    size_t skip = sizeof(char16_t);
    if (c >= 0xD800 && c < 0xDC00 && in_left >= 2 * sizeof(char16_t)) {
      char16_t d = *reinterpret_cast<char16_t*>(in + sizeof(char16_t));
      if (d >= 0xDC00 && d < 0xE000) skip = 2 * sizeof(char16_t);
    }
    in += skip;
    in_left -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(used);
  return true;
}

}  // namespace

UINT GetACP() {
  UINT cp = g_acp.load();
  if (cp == 0) {
    cp = configured_acp();
    g_acp.store(cp);
  }
  return cp;
}

int MultiByteToWideChar(UINT CodePage, DWORD, LPCCH src, int cb, LPWSTR dst, int cch) {
  if (!src || cb == 0 || cb < -1 || cch < 0 || (cch > 0 && !dst)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t len = cb == -1 ? std::strlen(src) + 1 : static_cast<size_t>(cb);
  std::u16string wide;
  if (!decode(resolve(CodePage), src, len, wide)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (cch == 0) return static_cast<int>(wide.size());
  if (wide.size() > static_cast<size_t>(cch)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(wide.begin(), wide.end(), dst);
  return static_cast<int>(wide.size());
}

int WideCharToMultiByte(UINT CodePage, DWORD, LPCWCH src, int cch, LPSTR dst, int cb, LPCCH default_char,
                        LPBOOL used_default) {
  if (!src || cch == 0 || cch < -1 || cb < 0 || (cb > 0 && !dst)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  UINT cp = resolve(CodePage);
  if (cp == CP_UTF8 && (default_char || used_default)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t len = cch;
  if (cch == -1) {
    len = 0;
    while (src[len]) ++len;
    ++len;
  }
  std::string narrow;
  bool defaulted = false;
  if (!encode(cp, src, len, narrow, default_char, &defaulted)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (used_default) *used_default = defaulted ? TRUE : FALSE;
  if (cb == 0) return static_cast<int>(narrow.size());
  if (narrow.size() > static_cast<size_t>(cb)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(narrow.begin(), narrow.end(), dst);
  return static_cast<int>(narrow.size());
}

namespace win32 {

namespace {
std::u16string to_utf16(UINT cp, std::string_view s) {
  std::u16string out;
  if (!s.empty()) decode(resolve(cp), s.data(), s.size(), out);
  return out;
}
std::string from_utf16(UINT cp, std::u16string_view s) {
  std::string out;
  if (!s.empty()) encode(resolve(cp), s.data(), s.size(), out, nullptr, nullptr);
  return out;
}
}  // namespace

std::u16string utf8_to_utf16(std::string_view s) { return to_utf16(CP_UTF8, s); }
std::string utf16_to_utf8(std::u16string_view s) { return from_utf16(CP_UTF8, s); }
std::u16string ansi_to_utf16(std::string_view s) { return to_utf16(CP_ACP, s); }
std::string utf16_to_ansi(std::u16string_view s) { return from_utf16(CP_ACP, s); }
std::string ansi_to_utf8(std::string_view s) { return utf16_to_utf8(ansi_to_utf16(s)); }
std::string utf8_to_ansi(std::string_view s) { return utf16_to_ansi(utf8_to_utf16(s)); }

std::u16string_view bstr_view(BSTR b) { return b ? std::u16string_view(b, SysStringLen(b)) : std::u16string_view(); }
BSTR bstr_from_utf8(std::string_view s) {
  // Attribute values come through here one by one: the decoding reuses its room.
  thread_local std::u16string w;
  decode(CP_UTF8, s.data(), s.size(), w);
  BSTR b = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
  if (w.capacity() > 4096) std::u16string().swap(w);
  return b;
}
std::string bstr_to_utf8(BSTR b) { return utf16_to_utf8(bstr_view(b)); }

std::string ansi_path_to_posix(std::string_view ansi_path) { return wide_path_to_posix(ansi_to_utf16(ansi_path)); }

std::string wide_path_to_posix(std::u16string_view wide_path) {
  std::string p = utf16_to_utf8(wide_path);
  if (p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'))) {
    p.erase(0, 2);
    if (p.empty() || (p[0] != '\\' && p[0] != '/')) p.insert(0, "/");
  }
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

std::string posix_path_to_ansi(std::string_view posix_path) { return utf8_to_ansi(posix_path); }

}  // namespace win32
