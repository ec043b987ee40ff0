#include "toolkit/file_controls.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <win32/paths.h>
#include <win32/text_conversions.h>

#include "toolkit/exception.h"

namespace fs = std::filesystem;

namespace {

std::string lower_ascii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The absolute, normalised POSIX form of a folder path, without a trailing "/".
std::string normal_posix(const std::string& posix) {
  std::error_code ec;
  fs::path p = fs::absolute(fs::path(posix), ec);
  if (ec) p = fs::path(posix);
  std::string s = p.lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

// The ANSI form of a POSIX path, "" when the code page cannot hold it (it would name
// another folder, or none).
std::string ansi_or_empty(const std::string& posix) {
  std::string ansi = win32::posix_path_to_ansi(posix);
  return win32::ansi_path_to_posix(ansi) == posix ? ansi : std::string();
}

// The home folder, when the ANSI code page can hold its name.
std::string home_folder() {
  const char* home = std::getenv("HOME");
  if (!home || !*home) return std::string();
  std::error_code ec;
  if (!fs::is_directory(home, ec)) return std::string();
  std::string h = normal_posix(home);
  return h == "/" || ansi_or_empty(h).empty() ? std::string() : h;
}

// The start folder the application set, "" for none.
std::string& set_start_folder() {
  static std::string folder;
  return folder;
}

// The application's start folder while it is a folder, else "".
std::string chosen_start_folder() {
  const std::string& folder = set_start_folder();
  std::error_code ec;
  return !folder.empty() && fs::is_directory(win32::ansi_path_to_posix(folder), ec) ? folder : std::string();
}

// Where the folder list starts: the application's start folder, else the working folder,
// else the nearest folder above it whose name the code page can hold; "" when there is none
// (the list then starts at home).
std::string start_folder() {
  if (std::string chosen = chosen_start_folder(); !chosen.empty()) return chosen;
  std::error_code ec;
  fs::path cwd = fs::current_path(ec);
  if (ec) return {};
  for (fs::path p = cwd; !p.empty(); p = p.parent_path()) {
    if (std::string ansi = ansi_or_empty(p.string()); !ansi.empty()) return ansi;
    if (p == p.parent_path()) break;
  }
  return {};
}

bool contains(const std::string& folder, const std::string& path) {
  if (folder == "/") return !path.empty() && path[0] == '/';
  return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                            path[folder.size()] == '/');
}

}  // namespace

namespace toolkit {

std::vector<std::string> Drives() {
  std::vector<std::string> drives{"/"};
  std::string home = home_folder();
  if (!home.empty()) drives.push_back(win32::posix_path_to_ansi(home));
  return drives;
}

void SetStartFolder(const std::string& ansi_path) { set_start_folder() = ansi_path; }
std::string StartFolder() { return set_start_folder(); }

std::string DriveOf(const std::string& ansi_path) {
  std::string best = "/";
  for (const std::string& drive : Drives())
    if (contains(drive, ansi_path) && drive.size() > best.size()) best = drive;
  return best;
}

}  // namespace toolkit

TDirectoryListBox::TDirectoryListBox(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 145, 97);
  Color = clWindow;
  SetDirectory(start_folder());
}

void TDirectoryListBox::SetDirectory(std::string value) {
  std::string posix;
  if (value.empty()) {
    const std::string chosen = chosen_start_folder();
    const std::string home = home_folder();
    posix = !chosen.empty() ? normal_posix(win32::ansi_path_to_posix(chosen)) : home.empty() ? std::string(1, '/') : home;
  } else {
    posix = normal_posix(win32::ansi_path_to_posix(value));
  }
  std::error_code ec;
  if (!fs::is_directory(posix, ec)) throw Exception("The folder '" + value + "' does not exist");
  directory_ = win32::posix_path_to_ansi(posix);
  Update();
  if (dir_label_) dir_label_->Caption = directory_;
  if (drive_combo_) drive_combo_->follow_list();
  if (OnChange && !Destroying()) OnChange(this);
}

void TDirectoryListBox::Update() {
  const std::string posix = win32::ansi_path_to_posix(directory_);
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(posix, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (!it->is_directory(type_ec)) continue;
    std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    std::string la = lower_ascii(a), lb = lower_ascii(b);
    return la != lb ? la < lb : a < b;
  });
  posix_names_ = names;
  std::vector<std::string> items;
  for (const std::string& n : names) items.push_back(win32::posix_path_to_ansi(n));
  items_.Assign(std::move(items));
}

void TDirectoryListBox::UserOpen(const std::string& folder) {
  const std::string posix = win32::ansi_path_to_posix(directory_);
  if (folder == "..") {
    fs::path parent = fs::path(posix).parent_path();
    SetDirectory(win32::posix_path_to_ansi(parent.empty() ? "/" : parent.string()));
    return;
  }
  if (!folder.empty() && (folder[0] == '/' || folder[0] == '\\' || (folder.size() > 1 && folder[1] == ':'))) {
    SetDirectory(folder);
    return;
  }
  int index = items_.IndexOf(folder);
  if (index < 0) throw Exception("The folder '" + directory_ + "' has no subfolder '" + folder + "'");
  fs::path next = fs::path(posix) / posix_names_[static_cast<size_t>(index)];
  SetDirectory(win32::posix_path_to_ansi(next.string()));
}

void TDirectoryListBox::SetDirLabel(TLabel* value) {
  if (dir_label_) dir_label_->RemoveFreeNotification(this);
  dir_label_ = value;
  if (value) {
    value->FreeNotification(this);
    value->Caption = directory_;
  }
}

void TDirectoryListBox::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == dir_label_) dir_label_ = nullptr;
  if (Operation == opRemove && AComponent == drive_combo_) drive_combo_ = nullptr;
}

TDriveComboBox::TDriveComboBox(TComponent* AOwner) : TComboBox(AOwner) {
  Style = csDropDownList;
  Items->Assign(toolkit::Drives());
  const std::string start = start_folder();
  ItemIndex = Items->IndexOf(toolkit::DriveOf(start.empty() ? std::string("/") : start));
}

void TDriveComboBox::SetDrive(std::string value) {
  int index = Items->IndexOf(value);
  if (index < 0) throw Exception("There is no drive '" + value + "'");
  ItemIndex = index;
  drive_chosen();
}

void TDriveComboBox::drive_chosen() {
  if (dir_list_ && ItemIndex >= 0) dir_list_->Directory = Text();
}

void TDriveComboBox::Change() {
  drive_chosen();
  TComboBox::Change();
}

void TDriveComboBox::SetDirList(TDirectoryListBox* value) {
  if (dir_list_) {
    dir_list_->RemoveFreeNotification(this);
    dir_list_->drive_combo_ = nullptr;
  }
  dir_list_ = value;
  if (value) {
    value->FreeNotification(this);
    value->drive_combo_ = this;
    follow_list();
  }
}

void TDriveComboBox::follow_list() {
  if (dir_list_) ItemIndex = Items->IndexOf(dir_list_->Drive());
}

void TDriveComboBox::Notification(TComponent* AComponent, TOperation Operation) {
  TComboBox::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == dir_list_) dir_list_ = nullptr;
}
