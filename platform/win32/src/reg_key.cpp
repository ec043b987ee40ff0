// RegKey over the Reg*W calls.
#include "../include/win32/reg_key.h"

#include <vector>

#include "../include/win32/text.h"

namespace win32 {

LONG RegKey::Create(HKEY parent, const std::string& sub, RegKey* out) {
  HKEY h = nullptr;
  LONG rc = RegCreateKeyExW(parent, utf8_to_utf16(sub).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_READ | KEY_WRITE, nullptr, &h, nullptr);
  if (rc == ERROR_SUCCESS) *out = RegKey(h);
  return rc;
}

LONG RegKey::Open(HKEY parent, const std::string& sub, RegKey* out) {
  HKEY h = nullptr;
  LONG rc = RegOpenKeyExW(parent, utf8_to_utf16(sub).c_str(), 0, KEY_READ, &h);
  if (rc == ERROR_SUCCESS) *out = RegKey(h);
  return rc;
}

void RegKey::close() {
  if (h_) RegCloseKey(h_);
  h_ = nullptr;
}

LONG RegKey::SetString(const std::string& name, const std::string& value) const {
  std::u16string w = utf8_to_utf16(value);
  return RegSetValueExW(h_, utf8_to_utf16(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(w.c_str()),
                        static_cast<DWORD>((w.size() + 1) * sizeof(char16_t)));
}

std::optional<std::string> RegKey::GetString(const std::string& name) const {
  std::u16string wname = utf8_to_utf16(name);
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(h_, wname.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  std::vector<char16_t> buf(size / 2 + 1, u'\0');
  size = static_cast<DWORD>(buf.size() * 2);
  if (RegQueryValueExW(h_, wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return utf16_to_utf8(buf.data());
}

std::optional<std::string> ReadClassesRootString(const std::string& path, const std::string& name) {
  RegKey key;
  if (RegKey::Open(HKEY_CLASSES_ROOT, path, &key) != ERROR_SUCCESS) return std::nullopt;
  return key.GetString(name);
}

}  // namespace win32
