#include "support/com_test.h"

#include <unistd.h>

#include <random>

namespace testing_support {

void expect_query_interface_rules(IUnknown* object, const std::vector<IID>& supported) {
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

  const IID unknown_iid = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(object->QueryInterface(unknown_iid, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  IUnknown* id1 = nullptr;
  IUnknown* id2 = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&id1)), S_OK);
  ULONG before = ref_count(object);
  for (const IID& iid : supported) {
    IUnknown* p = nullptr;
    EXPECT_EQ(object->QueryInterface(iid, reinterpret_cast<void**>(&p)), S_OK) << win32::guid_to_string(iid);
    if (!p) continue;
    EXPECT_EQ(ref_count(object), before + 1) << win32::guid_to_string(iid);
    ASSERT_EQ(p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&id2)), S_OK);
    EXPECT_EQ(id1, id2) << "IUnknown identity differs through " << win32::guid_to_string(iid);
    id2->Release();
    p->Release();
  }
  EXPECT_EQ(ref_count(object), before);
  id1->Release();
}

ScriptedBoxes::ScriptedBoxes(std::deque<int> answers) : answers_(std::move(answers)) {
  previous_ = win32::SetMessageBoxHandler([this](const win32::MessageBoxRequest& box) {
    shown_.push_back({win32::ansi_to_utf8(box.caption), win32::ansi_to_utf8(box.text), box.type, box.caption,
                      box.text});
    if (answers_.empty()) {
      ADD_FAILURE() << "message box without a scripted answer: [" << shown_.back().caption << "] "
                    << shown_.back().text;
      return win32::MessageBoxDefaultButton(box.type);
    }
    int id = answers_.front();
    answers_.pop_front();
    return id;
  });
}

ScriptedBoxes::~ScriptedBoxes() {
  win32::SetMessageBoxHandler(std::move(previous_));
  EXPECT_TRUE(answers_.empty()) << answers_.size() << " scripted answers were not used";
}

TempDir::TempDir() {
  std::random_device rd;
  auto base = std::filesystem::temp_directory_path();
  for (;;) {
    path_ = base / ("areaclip-test-" + std::to_string(getpid()) + "-" + std::to_string(rd()));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace testing_support
