// `areaclip cut` stopped by SIGINT (Ctrl-C) or SIGTERM in the middle of a large layer: the
// run ends through its failure path, removes what it wrote and the program exits with
// 128 + the signal, leaving every file that was there before as it was.
#include <gtest/gtest.h>

#include <signal.h>

#include "bad_input_sandbox.h"

namespace {

using namespace bad_input;

// The cutting layer, then "Скважины": `count` points, most of them inside feature A.
void large_map(Sandbox& s, int count) {
  s.write_sheets();
  LayerSchema wells;
  wells.type = wkbPoint;
  wells.fields = {{"NO", OFTInteger, 9}, {"NAME", OFTString, 16}};
  write_features(s.data() / "wells.shp", wells, count, [](int i, OGRFeatureH f) {
    OGR_F_SetFieldInteger(f, 0, i);
    OGR_F_SetFieldString(f, 1, ("well " + std::to_string(i)).c_str());
    OGRGeometryH g = OGR_G_CreateGeometry(wkbPoint);
    OGR_G_SetPoint_2D(g, 0, 500000 + (i % 1100), 6000000 + (i / 1100) % 1000);
    OGR_F_SetGeometryDirectly(f, g);
  });
  s.write_document({feature_layer("Скважины", "data/wells.shp", "NAME")});
}

struct CancelCase {
  std::string name;
  int signal_number;
  bool earlier_result;  // the folder holds the shapefiles of an earlier cut (its document moved away)
};

TEST(CancelledCut, StopsMidwayAndLeavesEverythingAsItWas) {
  const std::vector<CancelCase> cases = {
      {"Ctrl-C into a new folder", SIGINT, false},
      {"SIGTERM into a new folder", SIGTERM, false},
      {"Ctrl-C into a folder holding an earlier cut's shapefiles", SIGINT, true},
  };
  for (const CancelCase& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox s;
    large_map(s, 50000);
    const fs::path folder = s.root() / "result" / "sheet A";
    if (c.earlier_result) {
      const CutResult first = s.cut("--layer 'Листы' --feature A", folder);
      ASSERT_EQ(first.code, 0) << first.err;
      // A folder holding a result document is refused before the run begins.
      fs::rename(folder / "cross.mxd", s.root() / "earlier.mxd");
    }
    const auto before = files_under(s.root());

    // The first layer's line appears when the run moves on to the large one.
    const CutResult run = s.cut_interrupted({"--layer", "Листы", "--feature", "A"}, folder, c.signal_number,
                                            "Обрабатывается: Листы");
    EXPECT_EQ(run.code, 128 + c.signal_number) << run.err << run.out;
    EXPECT_NE(run.err.find(c.signal_number == SIGINT ? "cancelled (SIGINT)" : "cancelled (SIGTERM)"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.out.find("result document:"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Скважины 100%"), std::string::npos) << "not stopped midway: " << run.out;

    const auto after = files_under(s.root());
    EXPECT_EQ(after.size(), before.size());
    for (const auto& [name, content] : after) {
      ASSERT_TRUE(before.count(name)) << name << " was left behind";
      EXPECT_TRUE(before.at(name) == content) << name << " changed";
    }
    std::error_code ec;
    EXPECT_EQ(fs::exists(s.root() / "result", ec), c.earlier_result) << "the folders of a cancelled first cut stay";
  }
}

}  // namespace
