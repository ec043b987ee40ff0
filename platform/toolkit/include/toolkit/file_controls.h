// The folder-choosing controls: TDriveComboBox lists the drives, TDirectoryListBox shows a
// folder and its subfolders. A drive combo bound to a directory list (DirList) moves the
// list to the drive the user chooses, and shows the drive of whatever folder the list moves
// to; a directory list bound to a label (DirLabel) keeps the label showing its folder. Bindings are cleared when the bound control is destroyed.
//
// Paths are ANSI texts (the process code page) as the system sees them; the file system is
// reached through their UTF-8 POSIX form. On this platform the drives are the roots a user
// keeps folders under: the file-system root "/" and the user's home folder ($HOME, when it
// is a folder other than "/"). The drive of a folder is the longest drive that contains it.
#pragma once

#include <string>
#include <vector>

#include "toolkit/combo_box.h"
#include "toolkit/label.h"
#include "toolkit/strings.h"

class TDirectoryListBox;
class TDriveComboBox;

namespace toolkit {
// The drives, ANSI: "/" first, then the home folder when there is one.
std::vector<std::string> Drives();
// The drive that holds `ansi_path` (an absolute path).
std::string DriveOf(const std::string& ansi_path);
// The folder (ANSI, absolute) directory lists start at and the empty Directory moves them
// to, as an application sets it (its open document's folder, the one chosen last); "" puts
// back the default (the working folder when a list is made, the home folder for the empty
// text). A start folder that no longer exists is not used.
void SetStartFolder(const std::string& ansi_path);
std::string StartFolder();
}  // namespace toolkit

class TDirectoryListBox : public TWinControl {
 public:
  // Starts at SetStartFolder's folder, else the process's current folder.
  explicit TDirectoryListBox(TComponent* AOwner);

  // The folder shown (absolute, without a trailing separator except for "/"). Setting an
  // existing folder moves the list there; the empty text moves it to the start folder
  // (SetStartFolder's, else the user's home folder, else "/"); a folder that does not exist
  // is an Exception.
  toolkit::Property<TDirectoryListBox, std::string> Directory{this, &TDirectoryListBox::GetDirectory,
                                                               &TDirectoryListBox::SetDirectory};
  toolkit::Property<TDirectoryListBox, TLabel*> DirLabel{this, &TDirectoryListBox::GetDirLabel,
                                                          &TDirectoryListBox::SetDirLabel};
  // The subfolders of Directory (hidden "." folders left out), sorted by name ignoring case.
  const TStrings* Items() const { return &items_; }
  std::string Drive() const { return toolkit::DriveOf(directory_); }
  // Called after every change of Directory.
  TNotifyEvent OnChange;

  // The user opens a subfolder by name, ".." (the parent) or a full path.
  void UserOpen(const std::string& folder);
  // Reads the subfolders again.
  void Update();

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  std::string GetDirectory() const { return directory_; }
  void SetDirectory(std::string value);
  TLabel* GetDirLabel() const { return dir_label_; }
  void SetDirLabel(TLabel* value);

  friend class TDriveComboBox;
  std::string directory_;
  TDriveComboBox* drive_combo_ = nullptr;  // the combo bound to this list, if any
  std::vector<std::string> posix_names_;  // the subfolders' own (UTF-8) names, as Items
  TStrings items_;
  TLabel* dir_label_ = nullptr;
};

class TDriveComboBox : public TComboBox {
 public:
  // Lists the drives and shows the one holding the process's current folder.
  explicit TDriveComboBox(TComponent* AOwner);

  // The drive shown; setting it also moves the bound directory list (no OnChange).
  toolkit::Property<TDriveComboBox, std::string> Drive{this, &TDriveComboBox::GetDrive, &TDriveComboBox::SetDrive};
  toolkit::Property<TDriveComboBox, TDirectoryListBox*> DirList{this, &TDriveComboBox::GetDirList,
                                                                 &TDriveComboBox::SetDirList};

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Moves the bound directory list to the chosen drive, then fires OnChange.
  void Change() override;

 private:
  friend class TDirectoryListBox;
  std::string GetDrive() const { return Text; }
  void SetDrive(std::string value);
  TDirectoryListBox* GetDirList() const { return dir_list_; }
  void SetDirList(TDirectoryListBox* value);
  void drive_chosen();
  // Shows the drive of the list's folder (no OnChange).
  void follow_list();

  TDirectoryListBox* dir_list_ = nullptr;
};
