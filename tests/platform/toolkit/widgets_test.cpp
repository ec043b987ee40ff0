#include <gtest/gtest.h>

#include <windows.h>

#include <toolkit/resources.h>
#include <toolkit/vcl.h>
#include <win32/paths.h>

#include <filesystem>
#include <fstream>

#include "support/com_test.h"

namespace {

namespace fs = std::filesystem;

TEST(DirectoryList, ShowsSortedSubfoldersAndMovesOnUserChoice) {
  testing_support::TempDir dir;
  for (const char* name : {"beta", "Alpha", "gamma", ".hidden", "\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0"})
    fs::create_directory(dir.path() / name);
  std::ofstream(dir.path() / "file.txt") << "x";
  TForm form(nullptr);
  auto* list = new TDirectoryListBox(&form);
  auto* label = new TLabel(&form);
  list->Parent = &form;
  list->DirLabel = label;
  int changes = 0;
  list->OnChange = [&](TObject*) { ++changes; };
  const std::string root = win32::posix_path_to_ansi(dir.str());
  list->Directory = root + "/";
  EXPECT_EQ(list->Directory, root);
  EXPECT_EQ(label->Caption, root);
  const std::vector<std::string> expected{"Alpha", "beta", "gamma", "\xCF\xE0\xEF\xEA\xE0"};  // "Папка" in CP1251
  EXPECT_EQ(list->Items()->List(), expected);

  list->UserOpen("\xCF\xE0\xEF\xEA\xE0");
  EXPECT_EQ(list->Directory, root + "/\xCF\xE0\xEF\xEA\xE0");
  EXPECT_TRUE(fs::is_directory(win32::ansi_path_to_posix(list->Directory())));
  list->UserOpen("..");
  EXPECT_EQ(list->Directory, root);
  EXPECT_EQ(changes, 3);
  EXPECT_THROW(list->UserOpen("missing"), Exception);
  EXPECT_THROW(list->Directory = root + "/missing", Exception);
  EXPECT_EQ(list->Directory, root);
}

TEST(DirectoryList, EmptyPathStartsAtTheHomeFolder) {
  TForm form(nullptr);
  auto* list = new TDirectoryListBox(&form);
  list->Directory = "";
  const char* home = std::getenv("HOME");
  if (home && fs::is_directory(home) && fs::path(home).lexically_normal() != "/")
    EXPECT_EQ(list->Directory, win32::posix_path_to_ansi(fs::path(home).lexically_normal().string()));
  else
    EXPECT_EQ(list->Directory, "/");
}

TEST(DriveCombo, ShowsTheDriveOfTheListsFolder) {
  testing_support::TempDir home;
  fs::create_directory(home.path() / "sub");
  const char* old = std::getenv("HOME");
  const std::string saved = old ? old : "";
  setenv("HOME", home.str().c_str(), 1);
  {
    TForm form(nullptr);
    auto* list = new TDirectoryListBox(&form);
    auto* drives = new TDriveComboBox(&form);
    drives->DirList = list;
    const std::string home_drive = win32::posix_path_to_ansi(home.str());
    EXPECT_EQ(drives->Items->List(), std::vector<std::string>({"/", home_drive}));
    list->Directory = home_drive + "/sub";
    EXPECT_EQ(drives->Drive, home_drive);
    list->Directory = "/";
    EXPECT_EQ(drives->Drive, "/");
    list->Directory = "";
    EXPECT_EQ(list->Directory, home_drive);
  }
  if (old) setenv("HOME", saved.c_str(), 1);
  else unsetenv("HOME");
}

TEST(DriveCombo, ChoosingADriveMovesTheBoundList) {
  testing_support::TempDir dir;
  TForm form(nullptr);
  auto* list = new TDirectoryListBox(&form);
  auto* drives = new TDriveComboBox(&form);
  list->Parent = &form;
  drives->Parent = &form;
  drives->DirList = list;
  ASSERT_GE(drives->Items->Count(), 1);
  EXPECT_EQ(drives->Items->Strings(0), "/");
  EXPECT_EQ(drives->Style, csDropDownList);
  list->Directory = win32::posix_path_to_ansi(dir.str());
  int changes = 0;
  drives->OnChange = [&](TObject*) { ++changes; };
  form.Show();
  Application->PostChoose(drives, 0);
  Application->ProcessMessages();
  EXPECT_EQ(list->Directory, "/");
  EXPECT_EQ(list->Drive(), "/");
  EXPECT_EQ(changes, 1);
}

// A 2 × 2 24-bit BMP file: bottom-up rows padded to 4 bytes.
std::string bmp24() {
  std::string d = "BM";
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) d += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto u16 = [&](uint16_t v) {
    d += static_cast<char>(v & 0xFF);
    d += static_cast<char>(v >> 8);
  };
  u32(14 + 40 + 16);
  u32(0);
  u32(54);
  u32(40);
  u32(2);
  u32(2);
  u16(1);
  u16(24);
  u32(0);
  u32(16);
  u32(0);
  u32(0);
  u32(0);
  u32(0);
  // bottom row: blue, green; top row: red, white (bytes are B, G, R)
  d += std::string("\xFF\x00\x00\x00\xFF\x00\x00\x00", 8);
  d += std::string("\x00\x00\xFF\xFF\xFF\xFF\x00\x00", 8);
  return d;
}

TEST(Bitmap, LoadsBmpFilesAndPackedDibs) {
  TBitmap file;
  file.LoadFromBytes(bmp24());
  ASSERT_EQ(file.Width(), 2);
  ASSERT_EQ(file.Height(), 2);
  EXPECT_EQ(file.BitsPerPixel(), 24);
  EXPECT_EQ(file.Pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(file.Pixel(1, 0), 0xFFFFFFu);
  EXPECT_EQ(file.Pixel(0, 1), 0x0000FFu);
  EXPECT_EQ(file.Pixel(1, 1), 0x00FF00u);
  EXPECT_EQ(TBitmap::FromHandle(file.Handle()), &file);
  EXPECT_EQ(file.Handle(), file.Handle());
  BITMAP gdi = {};
  ASSERT_EQ(GetObjectA(file.Handle(), sizeof gdi, &gdi), static_cast<int>(sizeof gdi));
  EXPECT_EQ(gdi.bmWidth, 2);
  EXPECT_EQ(gdi.bmHeight, 2);
  // Another picture: the old handle is given back, a new one names the new picture.
  HBITMAP before = file.Handle();
  file.LoadFromBytes(bmp24());
  EXPECT_EQ(GetObjectA(before, sizeof gdi, &gdi), 0);
  EXPECT_EQ(TBitmap::FromHandle(file.Handle()), &file);
  HBITMAP last = nullptr;
  {
    TBitmap gone;
    gone.LoadFromBytes(bmp24());
    last = gone.Handle();
  }
  EXPECT_EQ(GetObjectA(last, sizeof gdi, &gdi), 0);  // given back with the bitmap
  EXPECT_EQ(TBitmap::FromHandle(last), nullptr);
  EXPECT_EQ(TBitmap().Handle(), nullptr);  // no picture, no handle

  TBitmap dib;
  dib.LoadFromBytes(bmp24().substr(14));
  EXPECT_EQ(dib.Pixel(0, 0), 0xFF0000u);

  EXPECT_THROW(dib.LoadFromBytes(bmp24().substr(0, 60)), Exception);
  EXPECT_EQ(dib.Width(), 2);  // unchanged after a failed load
}

TEST(Bitmap, ResourceLoadingAsksTheLookupAndFailsClearlyWithoutOne) {
  auto previous = toolkit::SetResourceLookup(nullptr);
  TBitmap bitmap;
  try {
    bitmap.LoadFromResourceID(nullptr, 101);
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message.find("no resource lookup is installed"), std::string::npos) << e.Message;
  }
  toolkit::SetResourceLookup([](HINSTANCE, const std::string& type, const std::string& name)
                                 -> std::optional<std::string> {
    if (type == "BITMAP" && name == "#101") return bmp24().substr(14);
    return std::nullopt;
  });
  bitmap.LoadFromResourceID(nullptr, 101);
  EXPECT_EQ(bitmap.Width(), 2);
  EXPECT_THROW(bitmap.LoadFromResourceID(nullptr, 102), Exception);
  toolkit::SetResourceLookup(previous);
}

TEST(Widgets, EditProgressAndLabelBehaveAsTheirToolkitCounterparts) {
  TForm form(nullptr);
  auto* edit = new TEdit(&form);
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  edit->Text = "a";
  EXPECT_EQ(changes, 1);
  edit->ReadOnly = true;
  EXPECT_THROW(edit->UserType("b"), Exception);
  EXPECT_EQ(edit->Text, "a");

  auto* bar = new TProgressBar(&form);
  bar->Position = 150;
  EXPECT_EQ(bar->Position, 100);
  bar->Position = -5;
  EXPECT_EQ(bar->Position, 0);

  auto* label = new TLabel(&form);
  const unsigned long before = label->TextChanges();
  label->Caption = "Twelve chars";
  EXPECT_EQ(label->Width, label->Font->TextWidth("Twelve chars"));
  EXPECT_EQ(label->Height, label->Font->TextHeight());
  // A watcher reads the caption again only when it changed: the same caption again is no
  // change, another one is.
  EXPECT_EQ(label->TextChanges(), before + 1);
  label->Caption = "Twelve chars";
  EXPECT_EQ(label->TextChanges(), before + 1);
  label->Caption = "Other";
  EXPECT_EQ(label->TextChanges(), before + 2);
}

}  // namespace
