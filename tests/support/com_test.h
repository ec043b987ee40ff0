// Helpers shared by the tests: COM conformance checks, a counted test object, scripted
// message-box answers and temporary folders.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include <objbase.h>
#include <windows.h>
#include <win32/com_object.h>
#include <win32/com_ptr.h>
#include <win32/com_runtime.h>
#include <win32/message_box.h>
#include <win32/text.h>

namespace testing_support {

// Reference count of an object, read by one AddRef/Release pair.
inline ULONG ref_count(IUnknown* p) {
  p->AddRef();
  return p->Release();
}

// QueryInterface rules: null out-pointer → E_POINTER; unknown IID → E_NOINTERFACE with the
// out-pointer nulled; IUnknown identity is stable; a successful query adds one reference.
void expect_query_interface_rules(IUnknown* object, const std::vector<IID>& supported);

// An object implementing only IUnknown that counts its references and its destruction.
class CountedUnknown : public win32::ComObject<CountedUnknown, IUnknown> {
 public:
  explicit CountedUnknown(int* destroyed = nullptr) : destroyed_(destroyed) {}
  ~CountedUnknown() override {
    if (destroyed_) ++*destroyed_;
  }

 private:
  int* destroyed_;
};

// A recorded message box: caption and text in UTF-8, the MB_ flags.
struct ShownBox {
  std::string caption;
  std::string text;
  UINT type;
  std::string ansi_caption;
  std::string ansi_text;
};

// Answers message boxes from a script while alive and records every box shown. A box shown
// when the script is empty fails the test and gets the default button.
class ScriptedBoxes {
 public:
  explicit ScriptedBoxes(std::deque<int> answers = {});
  ~ScriptedBoxes();
  void answer(int id) { answers_.push_back(id); }
  const std::vector<ShownBox>& shown() const { return shown_; }

 private:
  std::deque<int> answers_;
  std::vector<ShownBox> shown_;
  win32::MessageBoxHandler previous_;
};

// A fresh folder removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace testing_support
