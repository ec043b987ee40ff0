// `areaclip cut` as a user runs it: the program finds the toolbar through the registry,
// registers the module when it is not registered, and drives the command's dialog. Runs
// the sample map in a temporary folder with a registry of its own.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "fixture.h"
#include "support/com_test.h"

namespace {

namespace fs = std::filesystem;

const std::string kProgram = std::string(AREACLIP_BIN_DIR) + "/areaclip";
const std::string kModule = std::string(AREACLIP_BIN_DIR) + "/vot_arcmap_areaclip.so";

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

class HostCut : public testing::Test {
 protected:
  void SetUp() override {
    fs::copy(fs::path(AREACLIP_SOURCE_DIR) / "examples", dir_.path() / "examples", fs::copy_options::recursive);
    registry_ = dir_.path() / "registry.txt";
  }

  // Runs areaclip with the test's registry; returns the exit code, output in `output_`.
  int areaclip(const std::string& arguments) {
    std::string command = "AREACLIP_REGISTRY=" + quoted(registry_) + " " + kProgram + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    output_.clear();
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output_.append(buffer, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  int cut(const std::string& feature, const fs::path& folder) {
    return areaclip("cut " + quoted(dir_.path() / "examples/map.mxd") + " --layer 'Листы карты' " + feature + " --folder " +
                    quoted(folder));
  }
  std::string registry_text() const { return fixture::read_file(registry_); }

  testing_support::TempDir dir_;
  fs::path registry_;
  std::string output_;
};

TEST_F(HostCut, RegistersTheModuleWhenMissingThenCuts) {
  const fs::path out = dir_.path() / "out";
  ASSERT_EQ(cut("--feature M-36-1-Б", out), 0) << output_;
  EXPECT_NE(registry_text().find("@=\"vot_arcmap_areaclip.vo_arcmap_tool_bar_areaclip\""), std::string::npos);
  EXPECT_NE(registry_text().find("@=\"vot_arcmap_areaclip.vo_arcmap_command_areaclip\""), std::string::npos);
  EXPECT_TRUE(fs::exists(out / "cross.mxd"));
  EXPECT_EQ(fixture::read_layer(out / "sheets.shp").count, 1);

  // Registered now: a second run leaves the registry as it is.
  const std::string before = registry_text();
  ASSERT_EQ(cut("--feature M-36-1-Б", dir_.path() / "again"), 0) << output_;
  EXPECT_EQ(registry_text(), before);
}

TEST_F(HostCut, FeatureIdPicksTheSameFeatureAsItsLabel) {
  fixture::LayerContents sheets = fixture::read_layer(dir_.path() / "examples/data/sheets.shp");
  ASSERT_GT(sheets.count, 2);
  for (long fid : {0L, 2L, sheets.count - 1}) {
    SCOPED_TRACE(fid);
    const std::string label = sheets.rows.at(fid).at("NOMENCL");
    const fs::path by_label = dir_.path() / ("label" + std::to_string(fid));
    const fs::path by_id = dir_.path() / ("id" + std::to_string(fid));
    ASSERT_EQ(cut("--feature '" + label + "'", by_label), 0) << output_;
    ASSERT_EQ(cut("--feature-id " + std::to_string(fid), by_id), 0) << output_;
    fixture::LayerContents a = fixture::read_layer(by_label / "sheets.shp");
    fixture::LayerContents b = fixture::read_layer(by_id / "sheets.shp");
    ASSERT_EQ(a.count, 1);
    EXPECT_EQ(a.rows, b.rows);
    EXPECT_EQ(a.wkt, b.wkt);
    EXPECT_EQ(b.rows.at(0).at("NOMENCL"), label);
  }
  EXPECT_EQ(cut("--feature-id 999", dir_.path() / "none"), 2);
  EXPECT_NE(output_.find("has no feature 999"), std::string::npos) << output_;
}

TEST_F(HostCut, RegisteredModuleThatIsGoneIsReported) {
  const fs::path copy = dir_.path() / "gone" / "vot_arcmap_areaclip.so";
  fs::create_directories(copy.parent_path());
  fs::copy_file(kModule, copy);
  ASSERT_EQ(areaclip("register --module " + quoted(copy)), 0) << output_;
  fs::remove(copy);
  const fs::path out = dir_.path() / "out";
  EXPECT_EQ(cut("--feature M-36-1-Б", out), 2);
  EXPECT_NE(output_.find("cannot create the toolbar"), std::string::npos) << output_;
  EXPECT_FALSE(fs::exists(out / "cross.mxd"));
}

TEST_F(HostCut, ModuleInAFolderWithSpacesRunsFromItsShortPath) {
  const fs::path copy = dir_.path() / "Program Files" / "vot" / "vot_arcmap_areaclip.so";
  fs::create_directories(copy.parent_path());
  fs::copy_file(kModule, copy);
  ASSERT_EQ(areaclip("register --module " + quoted(copy)), 0) << output_;
  // Both classes' servers are registered in the short form, without white space.
  const std::string text = registry_text();
  const std::string key = "\\InprocServer32]\n@=\"";
  int servers = 0;
  for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
    const size_t begin = at + key.size();
    const std::string server = text.substr(begin, text.find('"', begin) - begin);
    EXPECT_EQ(server.find(' '), std::string::npos) << server;
    ++servers;
  }
  EXPECT_EQ(servers, 2);
  ASSERT_EQ(cut("--feature M-36-1-Б", dir_.path() / "out"), 0) << output_;
  EXPECT_TRUE(fs::exists(dir_.path() / "out" / "cross.mxd"));
}

TEST_F(HostCut, DamagedRegistryStopsTheRunAndIsKept) {
  const std::string damaged = "areaclip-registry 1\n[HKEY_CLASSES_ROOT\\CLSID\n@=\"unterminated\n";
  std::ofstream(registry_, std::ios::binary) << damaged;
  const fs::path out = dir_.path() / "out";
  EXPECT_EQ(cut("--feature M-36-1-Б", out), 2);
  EXPECT_EQ(registry_text(), damaged);
  EXPECT_FALSE(fs::exists(out / "cross.mxd"));
}

TEST_F(HostCut, AReadOnlyRegistryIsReadAndNeverWritten) {
  // Not registered and read-only: the module cannot be registered, and the file stays.
  std::ofstream(registry_) << "areaclip-registry 1\n";
  ASSERT_EQ(::chmod(registry_.c_str(), 0444), 0);
  const std::string empty = registry_text();
  EXPECT_EQ(cut("--feature M-36-1-Б", dir_.path() / "out1"), 2);
  EXPECT_NE(output_.find("DllRegisterServer"), std::string::npos) << output_;
  EXPECT_EQ(registry_text(), empty);
  EXPECT_FALSE(fs::exists(dir_.path() / "out1" / "cross.mxd"));

  // Registered, then read-only: the cut only reads it.
  ::chmod(registry_.c_str(), 0644);
  ASSERT_EQ(areaclip("register"), 0) << output_;
  ASSERT_EQ(::chmod(registry_.c_str(), 0444), 0);
  const std::string registered = registry_text();
  EXPECT_EQ(cut("--feature M-36-1-Б", dir_.path() / "out2"), 0) << output_;
  EXPECT_EQ(registry_text(), registered);
  ::chmod(registry_.c_str(), 0644);
}

TEST_F(HostCut, ProcessesRegisteringAtOnceLeaveOneWholeRegistry) {
  // Several programs registering and cutting at the same time, each with a fresh result.
  std::vector<std::thread> runs;
  std::vector<int> codes(6, -1);
  for (int i = 0; i < 6; ++i) {
    runs.emplace_back([&, i] {
      const std::string command = "AREACLIP_REGISTRY=" + quoted(registry_) + " " + kProgram +
                                  (i % 2 ? " register" : " cut " + quoted(dir_.path() / "examples/map.mxd") +
                                                             " --layer 'Листы карты' --feature M-36-1-Б --folder " +
                                                             quoted(dir_.path() / ("out" + std::to_string(i)))) +
                                  " >/dev/null 2>&1";
      const int status = std::system(command.c_str());
      codes[i] = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    });
  }
  for (std::thread& t : runs) t.join();
  EXPECT_EQ(codes, std::vector<int>(6, 0));
  EXPECT_EQ(areaclip("register"), 0) << output_;  // the file reads back whole
  EXPECT_TRUE(fs::exists(dir_.path() / "out0" / "cross.mxd"));
  EXPECT_TRUE(fs::exists(dir_.path() / "out2" / "cross.mxd"));
}

}  // namespace
