// The buffered file handler GDAL reads and writes shapefiles through: every
// sequence of seeks, reads, writes and truncations gives the bytes a plain file
// gives, and a write the system refuses is never lost silently.
#include <cpl_string.h>
#include <cpl_vsi.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/gis/core/buffered_files.h"
#include "core_test.h"
#include "support/com_test.h"

namespace {

namespace fs = std::filesystem;
using gis::core::buffered_path;

std::string contents(const fs::path &path) {
  std::string out;
  VSILFILE *f = VSIFOpenL(path.c_str(), "rb");
  if (!f) return "<missing>";
  char buffer[8192];
  size_t n;
  while ((n = VSIFReadL(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  VSIFCloseL(f);
  return out;
}

TEST(BufferedFiles, NamesMapBothWays) {
  const std::string name = buffered_path("/tmp/a b/c.shp");
  EXPECT_NE(name, "/tmp/a b/c.shp");
  EXPECT_EQ(gis::core::unbuffered_path(name), "/tmp/a b/c.shp");
  EXPECT_EQ(gis::core::unbuffered_path("/tmp/x.shp"), "/tmp/x.shp");
  EXPECT_EQ(gis::core::unbuffered_path(buffered_path("relative.shp")), (fs::current_path() / "relative.shp").string());
}

// The same random operations on a plain file and on a buffered one, in modes a
// driver uses: the bytes read back along the way and the files at the end must
// be equal.
TEST(BufferedFiles, RandomOperationsMatchAPlainFile) {
  testing_support::TempDir dir;
  std::mt19937 random(20261208);
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    const fs::path plain_path = dir.path() / ("plain" + std::to_string(round));
    const fs::path buffered_file = dir.path() / ("buffered" + std::to_string(round));
    const char *mode = round % 3 == 0 ? "wb+" : round % 3 == 1 ? "w+" : "r+b";
    if (round % 3 == 2) {  // an existing file, opened for update
      std::string start(100000, '\0');
      for (char &c : start) c = static_cast<char>('A' + random() % 26);
      for (const fs::path &p : {plain_path, buffered_file}) {
        VSILFILE *f = VSIFOpenL(p.c_str(), "wb");
        VSIFWriteL(start.data(), 1, start.size(), f);
        VSIFCloseL(f);
      }
    }
    VSILFILE *plain = VSIFOpenL(plain_path.c_str(), mode);
    VSILFILE *buffered = VSIFOpenL(buffered_path(buffered_file).c_str(), mode);
    ASSERT_TRUE(plain && buffered);
    vsi_l_offset size = 0;
    for (int step = 0; step < 400; ++step) {
      const int op = static_cast<int>(random() % 10);
      if (op < 3) {  // seek somewhere, at times past the end
        vsi_l_offset to = size ? random() % (size + 5000) : random() % 100;
        ASSERT_EQ(VSIFSeekL(plain, to, SEEK_SET), VSIFSeekL(buffered, to, SEEK_SET));
      } else if (op < 4) {
        ASSERT_EQ(VSIFSeekL(plain, 0, SEEK_END), VSIFSeekL(buffered, 0, SEEK_END));
      } else if (op < 7) {  // write: mostly records, now and then more than a window
        size_t n = random() % 7 == 0 ? 70000 + random() % 100000 : 1 + random() % 300;
        std::string data(n, '\0');
        for (char &c : data) c = static_cast<char>('a' + random() % 26);
        ASSERT_EQ(VSIFWriteL(data.data(), 1, n, plain), VSIFWriteL(data.data(), 1, n, buffered));
      } else if (op < 9) {  // read
        size_t n = random() % 5 == 0 ? 80000 : 1 + random() % 500;
        std::string a(n, '\0'), b(n, '\0');
        size_t got = VSIFReadL(a.data(), 1, n, plain);
        ASSERT_EQ(got, VSIFReadL(b.data(), 1, n, buffered));
        ASSERT_TRUE(a.substr(0, got) == b.substr(0, got)) << "step " << step << ": different bytes read";
        ASSERT_EQ(VSIFEofL(plain) != 0, VSIFEofL(buffered) != 0);
      } else {
        vsi_l_offset to = size ? random() % (size + 1) : 0;
        ASSERT_EQ(VSIFTruncateL(plain, to), VSIFTruncateL(buffered, to));
      }
      ASSERT_EQ(VSIFTellL(plain), VSIFTellL(buffered)) << "step " << step;
      VSIFSeekL(plain, 0, SEEK_CUR);
      vsi_l_offset here = VSIFTellL(plain);
      VSIFSeekL(plain, 0, SEEK_END);
      size = VSIFTellL(plain);
      VSIFSeekL(plain, here, SEEK_SET);
    }
    EXPECT_EQ(VSIFCloseL(plain), 0);
    EXPECT_EQ(VSIFCloseL(buffered), 0);
    EXPECT_TRUE(contents(plain_path) == contents(buffered_file)) << "the files differ";
    EXPECT_FALSE(gis::core::write_failed(buffered_file.string()));
  }
}

TEST(BufferedFiles, FoldersAndNamesAreTheRealOnes) {
  testing_support::TempDir dir;
  const fs::path folder = dir.path() / "sub folder";
  ASSERT_EQ(VSIMkdir(buffered_path(folder).c_str(), 0777), 0);
  EXPECT_TRUE(fs::is_directory(folder));
  VSILFILE *f = VSIFOpenL(buffered_path(folder / "a.txt").c_str(), "wb");
  ASSERT_TRUE(f);
  VSIFWriteL("hello", 1, 5, f);
  EXPECT_EQ(VSIFCloseL(f), 0);
  VSIStatBufL st;
  ASSERT_EQ(VSIStatL(buffered_path(folder / "a.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 5);
  char **names = VSIReadDir(buffered_path(folder).c_str());
  ASSERT_TRUE(names);
  EXPECT_STREQ(names[0], "a.txt");
  EXPECT_EQ(names[1], nullptr);
  CSLDestroy(names);
  EXPECT_EQ(VSIRename(buffered_path(folder / "a.txt").c_str(), buffered_path(folder / "b.txt").c_str()), 0);
  EXPECT_EQ(contents(folder / "b.txt"), "hello");
  EXPECT_EQ(VSIFOpenL(buffered_path(dir.path() / "missing" / "x").c_str(), "rb"), nullptr);
}

TEST(BufferedFiles, ARefusedWriteFailsLaterWritesAndIsRemembered) {
  testing_support::TempDir dir;
  const fs::path path = dir.path() / "full.dbf";
  VSILFILE *f = VSIFOpenL(buffered_path(path).c_str(), "wb+");
  ASSERT_TRUE(f);
  bool refused = false;
  {
    core_test::FileSizeLimit limit(100000);
    const std::string record(89, 'x');
    for (int i = 0; i < 3000 && !refused; ++i)
      refused = VSIFWriteL(record.data(), 1, record.size(), f) != record.size();
    if (refused) {
      EXPECT_EQ(VSIFWriteL("y", 1, 1, f), 0u) << "a write after a refused one succeeded";
    }
    EXPECT_NE(VSIFCloseL(f), 0);
  }
  EXPECT_TRUE(refused) << "no write reported the refusal";
  EXPECT_TRUE(gis::core::write_failed(path.string()));
  EXPECT_LE(fs::file_size(path), 100000u);
}

TEST(BufferedFiles, ARefusalAtCloseIsReportedAndRemembered) {
  testing_support::TempDir dir;
  const fs::path path = dir.path() / "tail.shp";
  VSILFILE *f = VSIFOpenL(buffered_path(path).c_str(), "wb");
  ASSERT_TRUE(f);
  const std::string data(2000, 'z');
  ASSERT_EQ(VSIFWriteL(data.data(), 1, data.size(), f),
            data.size());  // still in memory
  core_test::FileSizeLimit limit(1000);
  EXPECT_NE(VSIFCloseL(f), 0);
  EXPECT_TRUE(gis::core::write_failed(path.string()));
}

}  // namespace
