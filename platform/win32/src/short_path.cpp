// Short path names: the part of a path up to its last component holding white space is
// replaced by a symbolic link, in the stand-in's own folder, whose name has none.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../include/fileapi.h"
#include "../include/winbase.h"
#include "../include/win32/paths.h"
#include "../include/win32/text.h"
#include "posix_file.h"

namespace {

bool has_space(std::string_view s) {
  for (unsigned char c : s)
    if (std::isspace(c)) return true;
  return false;
}

std::string short_folder() {
  if (const char* p = std::getenv("AREACLIP_SHORT_PATHS"); p && *p) return p;
  std::string folder;
  if (const char* x = std::getenv("XDG_CACHE_HOME"); x && *x) folder = std::string(x) + "/areaclip/short";
  else if (const char* h = std::getenv("HOME"); h && *h) folder = std::string(h) + "/.cache/areaclip/short";
  if (folder.empty() || has_space(folder)) folder = "/tmp/areaclip-short-" + std::to_string(::getuid());
  return folder;
}

bool make_folders(const std::string& folder) {
  struct stat st;
  if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = folder.rfind('/');
  if (slash != std::string::npos && slash > 0 && !make_folders(folder.substr(0, slash))) return false;
  return ::mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST;
}

std::vector<std::string> split(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  return parts;
}

// Alias name: up to six letters or digits of the component, "~" and a hash of the target.
std::string alias_name(const std::string& component, const std::string& target, int attempt) {
  std::string stem;
  for (unsigned char c : component) {
    if (c == '.') break;
    if (std::isalnum(c) && stem.size() < 6) stem += static_cast<char>(std::toupper(c));
  }
  if (stem.empty()) stem = "PATH";
  uint32_t h = 2166136261u;  // FNV-1a
  for (unsigned char c : target) h = (h ^ c) * 16777619u;
  char buf[32];
  std::snprintf(buf, sizeof buf, "~%08X", h + static_cast<uint32_t>(attempt));
  std::string name = stem + buf;
  size_t dot = component.rfind('.');
  if (dot != std::string::npos && dot > 0 && !has_space(component.substr(dot))) name += component.substr(dot);
  return name;
}

// The link in the short folder that points at target (made when missing).
bool alias_for(const std::string& target, const std::string& component, std::string* alias, DWORD* error) {
  std::string folder = short_folder();
  if (!make_folders(folder)) {
    *error = ERROR_ACCESS_DENIED;
    return false;
  }
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string link = folder + "/" + alias_name(component, target, attempt);
    if (::symlink(target.c_str(), link.c_str()) == 0) {
      *alias = link;
      return true;
    }
    if (errno != EEXIST) {
      *error = win32::win32_error_from_errno(errno);
      return false;
    }
    char buf[PATH_MAX];
    ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
    if (n > 0 && std::string(buf, static_cast<size_t>(n)) == target) {
      *alias = link;
      return true;
    }
  }
  *error = ERROR_ALREADY_EXISTS;
  return false;
}

// The short form of a UTF-8 POSIX path; "" with *error on failure.
std::string short_form(const std::string& posix, DWORD* error) {
  struct stat st;
  if (::stat(posix.c_str(), &st) != 0) {
    *error = errno == ENOTDIR || (errno == ENOENT && posix.rfind('/') != std::string::npos &&
                                  ::stat(posix.substr(0, posix.rfind('/') + 1).c_str(), &st) != 0)
                 ? ERROR_PATH_NOT_FOUND
                 : ERROR_FILE_NOT_FOUND;
    return std::string();
  }
  std::string abs = posix;
  if (abs.empty() || abs[0] != '/') {
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) {
      *error = ERROR_PATH_NOT_FOUND;
      return std::string();
    }
    abs = std::string(cwd) + "/" + abs;
  }
  std::vector<std::string> parts = split(abs);
  size_t last = parts.size();
  for (size_t i = 0; i < parts.size(); ++i)
    if (has_space(parts[i])) last = i;
  if (last == parts.size()) return abs;
  std::string target;
  for (size_t i = 0; i <= last; ++i) target += "/" + parts[i];
  std::string alias;
  if (!alias_for(target, parts[last], &alias, error)) return std::string();
  for (size_t i = last + 1; i < parts.size(); ++i) alias += "/" + parts[i];
  return alias;
}

// The long form: a path inside the short folder is read through its link.
std::string long_form(const std::string& posix) {
  std::string folder = short_folder() + "/";
  if (posix.rfind(folder, 0) != 0) return posix;
  size_t end = posix.find('/', folder.size());
  std::string link = posix.substr(0, end);
  char buf[PATH_MAX];
  ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
  if (n <= 0) return posix;
  return std::string(buf, static_cast<size_t>(n)) + (end == std::string::npos ? "" : posix.substr(end));
}

template <class Char>
DWORD hand_out(const std::basic_string<Char>& s, Char* out, DWORD cch) {
  if (!out || cch < s.size() + 1) return static_cast<DWORD>(s.size() + 1);
  std::copy(s.begin(), s.end(), out);
  out[s.size()] = 0;
  return static_cast<DWORD>(s.size());
}

}  // namespace

DWORD GetShortPathNameA(LPCSTR long_path, LPSTR out, DWORD cch) {
  if (!long_path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string posix = win32::ansi_path_to_posix(long_path);
  DWORD error = ERROR_SUCCESS;
  std::string s = short_form(posix, &error);
  if (s.empty()) {
    SetLastError(error);
    return 0;
  }
  if (!has_space(long_path)) return hand_out(std::string(long_path), out, cch);
  return hand_out(win32::posix_path_to_ansi(s), out, cch);
}

DWORD GetShortPathNameW(LPCWSTR long_path, LPWSTR out, DWORD cch) {
  if (!long_path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string posix = win32::wide_path_to_posix(long_path);
  DWORD error = ERROR_SUCCESS;
  std::string s = short_form(posix, &error);
  if (s.empty()) {
    SetLastError(error);
    return 0;
  }
  if (!has_space(win32::utf16_to_utf8(long_path))) return hand_out(std::u16string(long_path), out, cch);
  return hand_out(win32::utf8_to_utf16(s), out, cch);
}

DWORD GetLongPathNameA(LPCSTR short_path, LPSTR out, DWORD cch) {
  if (!short_path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string posix = win32::ansi_path_to_posix(short_path);
  struct stat st;
  if (::stat(posix.c_str(), &st) != 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  std::string l = long_form(posix);
  return hand_out(l == posix ? std::string(short_path) : win32::posix_path_to_ansi(l), out, cch);
}

DWORD GetLongPathNameW(LPCWSTR short_path, LPWSTR out, DWORD cch) {
  if (!short_path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string posix = win32::wide_path_to_posix(short_path);
  struct stat st;
  if (::stat(posix.c_str(), &st) != 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  std::string l = long_form(posix);
  return hand_out(l == posix ? std::u16string(short_path) : win32::utf8_to_utf16(l), out, cch);
}
