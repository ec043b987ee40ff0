// Sheet names of the 1:1,000,000 series and its divisions: corners at every scale, joined
// sheets of high latitudes, the southern hemisphere and 180°, refused names with their
// reasons, the sheets covering a place, and frames in a Gauss-Kruger system that follow
// the graticule.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core_test.h"
#include "gis/sheets.h"

namespace {

using core_test::CoreTest;
using gis::MapSheet;
using gis::SheetScale;

// Degrees from degrees, minutes and seconds.
constexpr double dms(double d, double m = 0, double s = 0) { return d + m / 60 + s / 3600; }

struct CornerCase {
  const char* name;
  SheetScale scale;
  double south, north, west, east;
  const char* written;  // the name as the series writes it
};

void expect_corners(const CornerCase& c) {
  MapSheet sheet;
  std::string reason;
  ASSERT_TRUE(gis::ParseSheetName(c.name, &sheet, &reason)) << c.name << ": " << reason;
  EXPECT_EQ(sheet.name, c.written) << c.name;
  EXPECT_EQ(sheet.scale, c.scale) << c.name;
  EXPECT_NEAR(sheet.corners.south, c.south, 1e-9) << c.name;
  EXPECT_NEAR(sheet.corners.north, c.north, 1e-9) << c.name;
  EXPECT_NEAR(sheet.corners.west, c.west, 1e-9) << c.name;
  EXPECT_NEAR(sheet.corners.east, c.east, 1e-9) << c.name;
}

std::vector<std::string> names(const std::vector<MapSheet>& sheets) {
  std::vector<std::string> out;
  for (const MapSheet& s : sheets) out.push_back(s.name);
  return out;
}

TEST(MapSheetsTest, CornersOfOrdinarySheetsAtEveryScale) {
  const CornerCase cases[] = {
      // The worked examples.
      {"M-36", SheetScale::k1000000, 48, 52, 30, 36, "M-36"},
      {"M-36-1", SheetScale::k100000, dms(51, 40), 52, 30, dms(30, 30), "M-36-1"},
      {"M-36-1-Б", SheetScale::k50000, dms(51, 50), 52, dms(30, 15), dms(30, 30), "M-36-1-Б"},
      // Computed by hand from the division rules.
      {"N-37", SheetScale::k1000000, 52, 56, 36, 42, "N-37"},
      {"A-31", SheetScale::k1000000, 0, 4, 0, 6, "A-31"},
      {"M-36-Б", SheetScale::k500000, 50, 52, 33, 36, "M-36-Б"},
      {"M-36-В", SheetScale::k500000, 48, 50, 30, 33, "M-36-В"},
      {"M-36-I", SheetScale::k200000, dms(51, 20), 52, 30, 31, "M-36-I"},
      {"N-37-IV", SheetScale::k200000, dms(55, 20), 56, 39, 40, "N-37-IV"},
      {"M-36-XXXVI", SheetScale::k200000, 48, dms(48, 40), 35, 36, "M-36-XXXVI"},
      {"N-37-12", SheetScale::k100000, dms(55, 40), 56, dms(41, 30), 42, "N-37-12"},
      {"M-36-144", SheetScale::k100000, 48, dms(48, 20), dms(35, 30), 36, "M-36-144"},
      {"F-36-144", SheetScale::k100000, 20, dms(20, 20), dms(35, 30), 36, "F-36-144"},
      {"M-36-1-А", SheetScale::k50000, dms(51, 50), 52, 30, dms(30, 15), "M-36-1-А"},
      {"M-36-1-Г", SheetScale::k50000, dms(51, 40), dms(51, 50), dms(30, 15), dms(30, 30), "M-36-1-Г"},
      {"N-36-41-В", SheetScale::k50000, dms(54, 40), dms(54, 50), 32, dms(32, 15), "N-36-41-В"},
      {"M-36-1-Б-а", SheetScale::k25000, dms(51, 55), 52, dms(30, 15), dms(30, 22, 30), "M-36-1-Б-а"},
      {"M-36-1-Б-г", SheetScale::k25000, dms(51, 50), dms(51, 55), dms(30, 22, 30), dms(30, 30), "M-36-1-Б-г"},
      {"M-36-1-Б-а-1", SheetScale::k10000, dms(51, 57, 30), 52, dms(30, 15), dms(30, 18, 45), "M-36-1-Б-а-1"},
      {"M-36-1-Б-а-4", SheetScale::k10000, dms(51, 55), dms(51, 57, 30), dms(30, 18, 45), dms(30, 22, 30),
       "M-36-1-Б-а-4"},
      {"F-36-144-А-а-4", SheetScale::k10000, dms(20, 15), dms(20, 17, 30), dms(35, 33, 45), dms(35, 37, 30),
       "F-36-144-А-а-4"},
  };
  for (const CornerCase& c : cases) expect_corners(c);
}

TEST(MapSheetsTest, JoinedSheetsOfEachHighLatitudeBand) {
  const CornerCase cases[] = {
      // 60°–76°: pairs at every scale.
      {"P-35,36", SheetScale::k1000000, 60, 64, 24, 36, "P-35,36"},
      {"P-47-А,Б", SheetScale::k500000, 62, 64, 96, 102, "P-47-А,Б"},
      {"P-52-V,VI", SheetScale::k200000, dms(63, 20), 64, 130, 132, "P-52-V,VI"},
      {"P-47-9,10", SheetScale::k100000, dms(63, 40), 64, 100, 101, "P-47-9,10"},
      {"P-47-9-А,Б", SheetScale::k50000, dms(63, 50), 64, 100, dms(100, 30), "P-47-9-А,Б"},
      {"P-47-9-А-а,б", SheetScale::k25000, dms(63, 55), 64, 100, dms(100, 15), "P-47-9-А-а,б"},
      {"P-47-9-А-а-1,2", SheetScale::k10000, dms(63, 57, 30), 64, 100, dms(100, 7, 30), "P-47-9-А-а-1,2"},
      {"S-1,2", SheetScale::k1000000, 72, 76, -180, -168, "S-1,2"},
      // 76°–88°: fours, the 1:200,000 in threes.
      {"T-45,46,47,48", SheetScale::k1000000, 76, 80, 84, 108, "T-45,46,47,48"},
      {"T-45-А,Б,46-А,Б", SheetScale::k500000, 78, 80, 84, 96, "T-45-А,Б,46-А,Б"},
      {"T-47-I,II,III", SheetScale::k200000, dms(79, 20), 80, 96, 99, "T-47-I,II,III"},
      {"T-47-133,134,135,136", SheetScale::k100000, 76, dms(76, 20), 96, 98, "T-47-133,134,135,136"},
      {"T-47-133-А,Б,134-А,Б", SheetScale::k50000, dms(76, 10), dms(76, 20), 96, 97, "T-47-133-А,Б,134-А,Б"},
      {"T-47-12-А-а,б,Б-а,б", SheetScale::k25000, dms(79, 55), 80, dms(101, 30), 102, "T-47-12-А-а,б,Б-а,б"},
      {"T-47-12-А-а-1,2,б-1,2", SheetScale::k10000, dms(79, 57, 30), 80, dms(101, 30), dms(101, 45),
       "T-47-12-А-а-1,2,б-1,2"},
      {"V-1,2,3,4", SheetScale::k1000000, 84, 88, -180, -156, "V-1,2,3,4"},
  };
  for (const CornerCase& c : cases) expect_corners(c);
}

TEST(MapSheetsTest, SouthernHemisphereAndTheAntimeridian) {
  const CornerCase cases[] = {
      {"M-36 (Ю.П.)", SheetScale::k1000000, -52, -48, 30, 36, "M-36 (Ю.П.)"},
      {"M-36(ЮП)", SheetScale::k1000000, -52, -48, 30, 36, "M-36 (Ю.П.)"},
      {"SM-36", SheetScale::k1000000, -52, -48, 30, 36, "M-36 (Ю.П.)"},
      {"NM-36", SheetScale::k1000000, 48, 52, 30, 36, "M-36"},
      // Divisions are counted from the north-west corner: in the south that is the side
      // toward the equator.
      {"M-36-1 (Ю.П.)", SheetScale::k100000, dms(-48, -20), -48, 30, dms(30, 30), "M-36-1 (Ю.П.)"},
      {"M-36-144 (Ю.П.)", SheetScale::k100000, dms(-52, 0), dms(-51, -40), dms(35, 30), 36, "M-36-144 (Ю.П.)"},
      {"M-36-1-Б (Ю.П.)", SheetScale::k50000, dms(-48, -10), -48, dms(30, 15), dms(30, 30), "M-36-1-Б (Ю.П.)"},
      {"A-1 (Ю.П.)", SheetScale::k1000000, -4, 0, -180, -174, "A-1 (Ю.П.)"},
      {"P-35,36 (Ю.П.)", SheetScale::k1000000, -64, -60, 24, 36, "P-35,36 (Ю.П.)"},
      // Both sides of 180°.
      {"A-60", SheetScale::k1000000, 0, 4, 174, 180, "A-60"},
      {"A-1", SheetScale::k1000000, 0, 4, -180, -174, "A-1"},
      {"U-57,58,59,60", SheetScale::k1000000, 80, 84, 156, 180, "U-57,58,59,60"},
      {"T-1,2,3,4", SheetScale::k1000000, 76, 80, -180, -156, "T-1,2,3,4"},
  };
  for (const CornerCase& c : cases) expect_corners(c);
}

// The plans of 1:5,000 (a 1:100,000 sheet in 16 × 16, numbered 1–256 in parentheses) and
// 1:2,000 (a 1:5,000 sheet in 3 × 3, lettered а–и inside the same parentheses), each counted
// row by row from the north-west corner. The rules and the examples F-36-34-(234) and
// F-36-34-(234-б): http://3-net.ru/sign/sign-100335.php ("Номенклатура карт крупных
// масштабов"); the sizes 1/48° × 1/32° and 1/144° × 1/96° and the letters "абвгдежзи":
// github.com/AlSergachev/QtMapNomenclature, qtsecondwidget.cpp. The corners are computed
// from them by hand.
TEST(MapSheetsTest, CornersOfThePlansOf5000And2000) {
  const CornerCase cases[] = {
      {"N-37-144-(256)", SheetScale::k5000, 52, dms(52, 1, 15), dms(41, 58, 7.5), 42, "N-37-144-(256)"},
      {"N-37-144-(256-и)", SheetScale::k2000, 52, dms(52, 0, 25), dms(41, 59, 22.5), 42, "N-37-144-(256-и)"},
      {"F-36-34-(234)", SheetScale::k5000, dms(23, 1, 15), dms(23, 2, 30), dms(34, 46, 52.5), dms(34, 48, 45),
       "F-36-34-(234)"},
      {"F-36-34-(234-б)", SheetScale::k2000, dms(23, 2, 5), dms(23, 2, 30), dms(34, 47, 30), dms(34, 48, 7.5),
       "F-36-34-(234-б)"},
      {"M-36-1-(1)", SheetScale::k5000, dms(51, 58, 45), 52, 30, dms(30, 1, 52.5), "M-36-1-(1)"},
      {"M-36-1-(1-а)", SheetScale::k2000, dms(51, 59, 35), 52, 30, dms(30, 0, 37.5), "M-36-1-(1-а)"},
      {"M-36-1-(16)", SheetScale::k5000, dms(51, 58, 45), 52, dms(30, 28, 7.5), dms(30, 30), "M-36-1-(16)"},
      {"M-36-1-(17)", SheetScale::k5000, dms(51, 57, 30), dms(51, 58, 45), 30, dms(30, 1, 52.5), "M-36-1-(17)"},
      // Latin look-alikes, capitals, leading zeros and en dashes.
      {"M-36-1-(1-a)", SheetScale::k2000, dms(51, 59, 35), 52, 30, dms(30, 0, 37.5), "M-36-1-(1-а)"},
      {"M-36-1-(1-e)", SheetScale::k2000, dms(51, 59, 10), dms(51, 59, 35), dms(30, 1, 15), dms(30, 1, 52.5),
       "M-36-1-(1-е)"},
      {"n-37-144-(256-И)", SheetScale::k2000, 52, dms(52, 0, 25), dms(41, 59, 22.5), 42, "N-37-144-(256-и)"},
      {"M-36-1-(064)", SheetScale::k5000, dms(51, 55), dms(51, 56, 15), dms(30, 28, 7.5), dms(30, 30), "M-36-1-(64)"},
      {"M–36–1–(1–а)", SheetScale::k2000, dms(51, 59, 35), 52, 30, dms(30, 0, 37.5), "M-36-1-(1-а)"},
      // The southern hemisphere: the first row is the one nearest the equator.
      {"M-36-1-(1) (Ю.П.)", SheetScale::k5000, dms(-48, -1, -15), -48, 30, dms(30, 1, 52.5), "M-36-1-(1) (Ю.П.)"},
      // Beyond 60° plans are issued one by one.
      {"P-47-9-(1)", SheetScale::k5000, dms(63, 58, 45), 64, 100, dms(100, 1, 52.5), "P-47-9-(1)"},
  };
  for (const CornerCase& c : cases) expect_corners(c);
  using V = std::vector<std::string>;
  EXPECT_EQ(names(gis::SheetsCovering(SheetScale::k5000, {dms(30, 1, 50), dms(51, 58, 40), dms(30, 2), dms(51, 58, 50)})),
            (V{"M-36-1-(1)", "M-36-1-(2)", "M-36-1-(17)", "M-36-1-(18)"}));
  EXPECT_EQ(names(gis::SheetsCovering(SheetScale::k2000, {30.001, 51.999, 30.001, 51.999})), V{"M-36-1-(1-а)"});
}

TEST(MapSheetsTest, LookAlikeLettersAreReadAsTheSeriesLetters) {
  const CornerCase cases[] = {
      {"M-36-1-B", SheetScale::k50000, dms(51, 40), dms(51, 50), 30, dms(30, 15), "M-36-1-В"},          // Latin B
      {"M-36-1-A-a-1", SheetScale::k10000, dms(51, 57, 30), 52, 30, dms(30, 3, 45), "M-36-1-А-а-1"},    // Latin A, a
      {"М-36-1-Б", SheetScale::k50000, dms(51, 50), 52, dms(30, 15), dms(30, 30), "M-36-1-Б"},          // Cyrillic М
      {"m-36-1-б", SheetScale::k50000, dms(51, 50), 52, dms(30, 15), dms(30, 30), "M-36-1-Б"},
      {"M-36-ІV", SheetScale::k200000, dms(51, 20), 52, 33, 34, "M-36-IV"},                             // Cyrillic І
      {" P-35, 36 ", SheetScale::k1000000, 60, 64, 24, 36, "P-35,36"},
      {"M–36–1", SheetScale::k100000, dms(51, 40), 52, 30, dms(30, 30), "M-36-1"},                      // en dashes
      // Space around dashes and commas and before the southern mark is no part of a part.
      {"M - 36 - 1", SheetScale::k100000, dms(51, 40), 52, 30, dms(30, 30), "M-36-1"},
      {"P-35 , 36", SheetScale::k1000000, 60, 64, 24, 36, "P-35,36"},
      {"L-36  (Ю.П.)", SheetScale::k1000000, -48, -44, 30, 36, "L-36 (Ю.П.)"},
  };
  for (const CornerCase& c : cases) expect_corners(c);
}

TEST(MapSheetsTest, NamesThatAreNoSheetsAreRefusedWithTheReason) {
  const struct {
    const char* name;
    const char* reason;
  } cases[] = {
      {"", "the name is empty"},
      {"W-36", "row letter 'W' is not one of A–V"},
      {"36-M", "must begin with a row letter A–V, not '3'"},
      {"M", "the column number 1–60 is missing"},
      {"M-61", "column number 61 is out of range 1–60"},
      {"M-0", "column number 0 is out of range 1–60"},
      {"M-3x", "'3x' is not a column number 1–60"},
      {"M-36-145", "1:100,000 number 145 is out of range 1–144"},
      {"M-36-XL", "1:200,000 number 'XL' is not one of I–XXXVI"},
      {"M-36-XXXVII", "1:200,000 number 'XXXVII' is not one of I–XXXVI"},
      {"M-36-Q", "'Q' is neither a 1:500,000 letter А–Г, a 1:200,000 number I–XXXVI nor a 1:100,000 number 1–144"},
      {"M-36-Б-А", "a 1:50,000 letter follows a 1:100,000 number, not the 1:500,000 letter 'Б'"},
      {"M-36-IV-А", "a 1:50,000 letter follows a 1:100,000 number, not the 1:200,000 number 'IV'"},
      {"M-36-1-Д", "'Д' is not a 1:50,000 letter А–Г"},
      {"M-36-1-Б-д", "'д' is not a 1:25,000 letter а–г"},
      {"M-36-1-Б-а-5", "1:10,000 number 5 is out of range 1–4"},
      {"M-36-1-Б-а-1-2", "nothing may follow the 1:10,000 number"},
      {"M-36-1-(257)", "1:5,000 number 257 is out of range 1–256"},
      {"M-36-1-(0)", "1:5,000 number 0 is out of range 1–256"},
      {"M-36-1-(1-к)", "'к' is not a 1:2,000 letter а–и"},
      {"M-36-1-(1-а-б)", "'а-б' is not a 1:2,000 letter а–и"},
      {"M-36-1-(1-)", "the 1:2,000 letter а–и is missing after the dash in '(1-)'"},
      {"M-36-1-()", "the 1:5,000 number 1–256 is missing in '()'"},
      {"M-36-1-(x)", "'x' is not a 1:5,000 number 1–256"},
      {"M-36-1-(12", "the parenthesis of '(12' is not closed"},
      {"M-36-(1)", "a 1:5,000 number in parentheses follows a 1:100,000 number"},
      {"M-36-1-Б-(1)", "follows a 1:100,000 number, not the 1:50,000 letter 'Б'"},
      {"M-36-IV-(1)", "follows a 1:100,000 number, not the 1:200,000 number 'IV'"},
      {"M-36-1-(1)-2", "nothing may follow the parentheses of the 1:5,000 sheet, but '2' does"},
      {"M-36-1-(1-а)-б", "nothing may follow the parentheses of the 1:2,000 sheet"},
      {"M-36-1-(1 2)", "a space inside the part '(1 2)'"},
      {"M-36-1-(1),(2)", "sheets are joined only beyond 60° of latitude"},
      {"M-36--1", "an empty part between dashes"},
      {"M-35,36", "sheets are joined only beyond 60° of latitude"},
      {"M-36-1,3", "must follow each other from west to east"},
      {"M-36-1,2-А", "different scales"},
      {"M-36,", "an empty part between commas"},
      {"M-36,M-37", "as long as a whole sheet name"},
      {"P-35", "between 60° and 76° of latitude 1:1,000,000 sheets are issued in pairs: P-35 is part of P-35,36"},
      {"P-36,37", "P-36 is part of P-35,36"},
      {"P-47-9", "1:100,000 sheets are issued in pairs: P-47-9 is part of P-47-9,10"},
      {"T-47-I,II", "between 76° and 88° of latitude 1:200,000 sheets are issued in threes: T-47-I is part of T-47-I,II,III"},
      {"T-45,46", "1:1,000,000 sheets are issued in fours: T-45 is part of T-45,46,47,48"},
      {"T-47-133-А,Б", "1:50,000 sheets are issued in fours: T-47-133-А is part of T-47-133-А,Б,134-А,Б"},
      {"NM-36 (Ю.П.)", "marked both northern (N) and southern (Ю.П.)"},
      {"(Ю.П.)", "a hemisphere mark but no sheet"},
      // A space inside a part would make another sheet of it (M-36-12, M-36).
      {"M-36-1 2", "a space inside the part '1 2'"},
      {"M 3 6", "a space inside the part 'M 3 6'"},
      {"M-3\u00A06", "a space inside the part"},
      {"P-35,3 6", "a space inside the part '3 6'"},
      {"M-36-1-Б 1", "a space inside the part 'Б 1'"},
      {" ", "the name is empty"},
  };
  for (const auto& c : cases) {
    MapSheet sheet;
    std::string reason;
    EXPECT_FALSE(gis::ParseSheetName(c.name, &sheet, &reason)) << "'" << c.name << "' was read as " << sheet.name;
    EXPECT_NE(reason.find(c.reason), std::string::npos) << "'" << c.name << "': " << reason;
  }
}

// Any text, however broken (stray bytes, bits of names in any order), is either refused
// with a reason or read as a sheet whose name as the series writes it reads back the same.
TEST(MapSheetsTest, AnyTextIsRefusedWithAReasonOrReadsBackTheSame) {
  const std::vector<std::string> tokens = {
      "M", "P", "T", "V", "W", "N", "S", "m", "-", "-", "-", ",", " ", "36", "1", "2", "9", "60", "61", "144",
      "145", "0", "А", "Б", "В", "Г", "Д", "а", "б", "в", "г", "A", "B", "a", "I", "IV", "XXXVI", "X", "(Ю.П.)",
      "(ЮП)", "Ю.П.", "(", ")", "\xD0", "\xFF\xFE", "(064)", "–", "\xE2\x80", "99999999999999999999", "(256-и)",
      "(1-a)", "256", "и", "-(", "(1"};
  std::mt19937 random(11);
  int read = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string name;
    const int parts = static_cast<int>(random() % 9);
    for (int k = 0; k < parts; ++k) name += tokens[random() % tokens.size()];
    MapSheet sheet, back;
    std::string reason;
    if (!gis::ParseSheetName(name, &sheet, &reason)) {
      EXPECT_FALSE(reason.empty()) << "'" << name << "' was refused without a reason";
      continue;
    }
    ++read;
    ASSERT_TRUE(gis::ParseSheetName(sheet.name, &back, &reason)) << "'" << name << "' -> " << sheet.name << ": " << reason;
    EXPECT_EQ(back.name, sheet.name) << name;
    EXPECT_EQ(back.scale, sheet.scale) << name;
    EXPECT_DOUBLE_EQ(back.corners.south, sheet.corners.south) << name;
    EXPECT_DOUBLE_EQ(back.corners.west, sheet.corners.west) << name;
    EXPECT_LT(sheet.corners.west, sheet.corners.east) << name;
    EXPECT_LT(sheet.corners.south, sheet.corners.north) << name;
  }
  EXPECT_GT(read, 0);
}

TEST(MapSheetsTest, ScalesAreReadInTheUsualSpellings) {
  SheetScale s = SheetScale::k1000000;
  EXPECT_TRUE(gis::ParseSheetScale("1:50000", &s));
  EXPECT_EQ(s, SheetScale::k50000);
  EXPECT_TRUE(gis::ParseSheetScale("1:1 000 000", &s));
  EXPECT_EQ(s, SheetScale::k1000000);
  EXPECT_TRUE(gis::ParseSheetScale("1:25,000", &s));
  EXPECT_EQ(s, SheetScale::k25000);
  EXPECT_TRUE(gis::ParseSheetScale("10000", &s));
  EXPECT_EQ(s, SheetScale::k10000);
  EXPECT_FALSE(gis::ParseSheetScale("1:300000", &s));
  EXPECT_TRUE(gis::ParseSheetScale("1:5000", &s));
  EXPECT_EQ(s, SheetScale::k5000);
  EXPECT_TRUE(gis::ParseSheetScale("1:2 000", &s));
  EXPECT_EQ(s, SheetScale::k2000);
  EXPECT_FALSE(gis::ParseSheetScale("1:1000", &s));
  EXPECT_FALSE(gis::ParseSheetScale("fifty", &s));
  EXPECT_EQ(gis::ScaleText(SheetScale::k200000), "1:200,000");
}

// Every sheet SheetAt gives holds its point, and its name reads back to the same sheet.
TEST(MapSheetsTest, TheSheetOfAPointHoldsItAndItsNameReadsBack) {
  std::mt19937 random(17);
  std::uniform_real_distribution<double> lon(-180.0, 180.0), lat(-87.99, 87.99);
  const SheetScale scales[] = {SheetScale::k1000000, SheetScale::k500000, SheetScale::k200000,
                               SheetScale::k100000,  SheetScale::k50000,  SheetScale::k25000,
                               SheetScale::k10000,   SheetScale::k5000,   SheetScale::k2000};
  for (int i = 0; i < 3000; ++i) {
    const double x = lon(random), y = lat(random);
    for (SheetScale scale : scales) {
      MapSheet at, back;
      ASSERT_TRUE(gis::SheetAt(scale, x, y, &at)) << x << " " << y;
      ASSERT_TRUE(at.corners.west <= x && x <= at.corners.east && at.corners.south <= y && y <= at.corners.north)
          << at.name << " does not hold " << x << " " << y;
      std::string reason;
      ASSERT_TRUE(gis::ParseSheetName(at.name, &back, &reason)) << at.name << ": " << reason;
      EXPECT_EQ(back.name, at.name);
      EXPECT_EQ(back.scale, scale) << at.name;
      EXPECT_DOUBLE_EQ(back.corners.west, at.corners.west) << at.name;
      EXPECT_DOUBLE_EQ(back.corners.north, at.corners.north) << at.name;
    }
  }
}

TEST(MapSheetsTest, PointsOnEdgesBeyond88AndOn180) {
  MapSheet sheet;
  ASSERT_TRUE(gis::SheetAt(SheetScale::k1000000, 30.0, 52.0, &sheet));
  EXPECT_EQ(sheet.name, "N-36");  // an edge belongs to the sheet north-east of it
  ASSERT_TRUE(gis::SheetAt(SheetScale::k1000000, 30.0, -48.0, &sheet));
  EXPECT_EQ(sheet.name, "L-36 (Ю.П.)");
  ASSERT_TRUE(gis::SheetAt(SheetScale::k1000000, 30.0, 0.0, &sheet));
  EXPECT_EQ(sheet.name, "A-36");
  ASSERT_TRUE(gis::SheetAt(SheetScale::k1000000, 180.0, 10.0, &sheet));
  EXPECT_EQ(sheet.name, "C-1");
  ASSERT_TRUE(gis::SheetAt(SheetScale::k100000, dms(30, 30), dms(51, 40), &sheet));
  EXPECT_EQ(sheet.name, "M-36-2");
  EXPECT_FALSE(gis::SheetAt(SheetScale::k1000000, 30.0, 88.0001, &sheet));
  EXPECT_FALSE(gis::SheetAt(SheetScale::k1000000, 30.0, -89.0, &sheet));
}

// The edges of the series: 180° is the edge columns 60 and 1 share and belongs, as every
// meridian, to the sheet east of it; 88° N and S, the far edge of row V, to row V; longitudes
// beyond ±180° are the meridians taken round the earth.
TEST(MapSheetsTest, TheEdgesOfTheSeriesBelongToItsSheets) {
  const struct {
    SheetScale scale;
    double lon, lat;
    const char* sheet;
  } cases[] = {
      {SheetScale::k1000000, 180.0, 10.0, "C-1"},
      {SheetScale::k1000000, -180.0, 10.0, "C-1"},
      {SheetScale::k1000000, 180.0 - 1e-11, 10.0, "C-1"},
      {SheetScale::k1000000, 181.0, 10.0, "C-1"},
      {SheetScale::k1000000, 540.0, 10.0, "C-1"},
      {SheetScale::k1000000, -181.0, 10.0, "C-60"},
      {SheetScale::k1000000, 30.0, 88.0, "V-33,34,35,36"},
      {SheetScale::k1000000, 30.0, -88.0, "V-33,34,35,36 (Ю.П.)"},
      {SheetScale::k10000, 180.0, 88.0, "V-1-1-А-а-1,2,б-1,2"},
      {SheetScale::k200000, 180.0, -88.0, "V-1-XXXI,XXXII,XXXIII (Ю.П.)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.lon) + " " + std::to_string(c.lat) + " " + gis::ScaleText(c.scale));
    MapSheet at;
    ASSERT_TRUE(gis::SheetAt(c.scale, c.lon, c.lat, &at));
    EXPECT_EQ(at.name, c.sheet);
    // The sheets covering the point alone are the same one sheet.
    EXPECT_EQ(names(gis::SheetsCovering(c.scale, {c.lon, c.lat, c.lon, c.lat})), std::vector<std::string>{c.sheet});
  }
}

TEST(MapSheetsTest, SheetsCoveringAnExtent) {
  using V = std::vector<std::string>;
  // Within one sheet, and an extent whose edges lie on sheet edges.
  EXPECT_EQ(names(gis::SheetsCovering(SheetScale::k1000000, {31, 49, 32, 50})), V{"M-36"});
  EXPECT_EQ(names(gis::SheetsCovering(SheetScale::k1000000, {30, 48, 36, 52})), V{"M-36"});
  // Across the corners of four sheets: north to south, west to east.
  EXPECT_EQ(names(gis::SheetsCovering(SheetScale::k50000, {dms(30, 10), dms(51, 45), dms(30, 20), dms(51, 55)})),
            (V{"M-36-1-А", "M-36-1-Б", "M-36-1-В", "M-36-1-Г"}));
  // Across 180°.
  EXPECT_EQ(names(gis::SheetsCovering(SheetScale::k1000000, {179, 10, -179, 11})), (V{"C-60", "C-1"}));
  // Across the equator.
  EXPECT_EQ(names(gis::SheetsCovering(SheetScale::k1000000, {31, -1, 32, 1})), (V{"A-36", "A-36 (Ю.П.)"}));
  // Joined sheets are listed once.
  EXPECT_EQ(names(gis::SheetsCovering(SheetScale::k1000000, {25, 61, 35, 62})), V{"P-35,36"});
  EXPECT_EQ(names(gis::SheetsCovering(SheetScale::k200000, {96.5, 79.5, 97.5, 79.6})), V{"T-47-I,II,III"});
  // Nothing beyond 88°.
  EXPECT_EQ(names(gis::SheetsCovering(SheetScale::k1000000, {0, 88.5, 1, 89})), V{});
  // Longitudes beyond ±180°, around the earth and more.
  EXPECT_EQ(names(gis::SheetsCovering(SheetScale::k1000000, {170, 10, 190, 11})), (V{"C-59", "C-60", "C-1", "C-2"}));
  EXPECT_EQ(names(gis::SheetsCovering(SheetScale::k1000000, {-190, 10, -170, 11})), (V{"C-59", "C-60", "C-1", "C-2"}));
  EXPECT_EQ(gis::SheetsCovering(SheetScale::k1000000, {-200, 10, 300, 11}).size(), 60u);
  // An extent up to 180° from the west ends in column 60; up to 88° in row V.
  EXPECT_EQ(names(gis::SheetsCovering(SheetScale::k1000000, {175, 10, 180, 11})), V{"C-60"});
  EXPECT_EQ(names(gis::SheetsCovering(SheetScale::k1000000, {-179, 86, -178, 88})), V{"V-1,2,3,4"});
}

// A 1:1,000,000 sheet framed in a Gauss-Kruger zone keeps exactly the points of a lon/lat
// grid inside its graticule: the frame's parallels are curves there, and the grid comes
// within 0.02° of every edge.
class SheetFrameTest : public CoreTest {};

TEST_F(SheetFrameTest, AFrameInGaussKrugerHoldsExactlyTheGridPointsInsideTheSheet) {
  std::string error;
  win32::ComPtr<ISpatialReference> pulkovo = gis::SpatialReferenceFromText("EPSG:4284", &error);
  win32::ComPtr<ISpatialReference> zone6 = gis::SpatialReferenceFromText("EPSG:28406", &error);
  ASSERT_TRUE(pulkovo && zone6) << error;
  win32::ComPtr<ISpatialReference> geographic = gis::GeographicSystemOf(zone6.get(), &error);
  ASSERT_TRUE(geographic) << error;

  MapSheet sheet;
  ASSERT_TRUE(gis::ParseSheetName("M-36", &sheet, &error)) << error;
  win32::ComPtr<IGeometry> frame = gis::SheetPolygon(sheet, geographic.get(), zone6.get(), &error);
  ASSERT_TRUE(frame) << error;

  std::string points = "MULTIPOINT (";
  std::set<std::pair<long, long>> inside;  // hundredths of a degree
  int count = 0;
  for (int i = 0; i <= 101; ++i) {
    for (int j = 0; j <= 151; ++j) {
      const long lat100 = 4798 + 4 * i, lon100 = 2998 + 4 * j;
      points += (count++ ? ", " : "") + std::to_string(lon100 / 100.0) + " " + std::to_string(lat100 / 100.0);
      if (lat100 > 4800 && lat100 < 5200 && lon100 > 3000 && lon100 < 3600) inside.insert({lon100, lat100});
    }
  }
  points += ")";
  win32::ComPtr<IGeometry> grid = core_test::wkt(points, pulkovo.get());
  ASSERT_TRUE(grid);
  ASSERT_EQ(grid->Project(zone6.get()), S_OK);

  win32::ComPtr<IGeometry> kept;
  ASSERT_EQ(frame.as<ITopologicalOperator>()->Intersect(grid.get(), esriGeometry0Dimension, kept.put()), S_OK);
  ASSERT_TRUE(kept);
  ASSERT_EQ(kept->Project(pulkovo.get()), S_OK);
  // "MULTIPOINT ((x y), (x y), …)" or "MULTIPOINT (x y, x y, …)": every pair of numbers.
  std::set<std::pair<long, long>> got;
  std::string text = gis::GeometryToWkt(kept.get());
  for (char& c : text)
    if (c == '(' || c == ')' || c == ',') c = ' ';
  std::istringstream numbers(text.substr(text.find(' ')));
  double x = 0, y = 0;
  while (numbers >> x >> y) got.insert({std::lround(x * 100), std::lround(y * 100)});
  EXPECT_EQ(got.size(), inside.size());
  std::vector<std::pair<long, long>> lost, extra;
  for (const auto& p : inside)
    if (!got.count(p)) lost.push_back(p);
  for (const auto& p : got)
    if (!inside.count(p)) extra.push_back(p);
  EXPECT_TRUE(lost.empty()) << lost.size() << " grid points inside the sheet fall outside its frame, first "
                            << (lost.empty() ? 0 : lost[0].first) << " " << (lost.empty() ? 0 : lost[0].second);
  EXPECT_TRUE(extra.empty()) << extra.size() << " grid points outside the sheet fall inside its frame";
}

// Frames written into a folder in memory: nothing reaches the disk, the layer opens like a
// file's with its system, the same name is never written over, and removing the files (or
// the folder) leaves nothing to open.
TEST_F(SheetFrameTest, FramesWrittenInMemoryOpenAsFilesAndAreRemovedWhole) {
  std::string error;
  win32::ComPtr<ISpatialReference> utm = gis::SpatialReferenceFromText("EPSG:32636", &error);
  win32::ComPtr<ISpatialReference> geographic = gis::GeographicSystemOf(utm.get(), &error);
  ASSERT_TRUE(utm && geographic) << error;
  MapSheet n36, m36;
  ASSERT_TRUE(gis::ParseSheetName("N-36", &n36, &error) && gis::ParseSheetName("M-36", &m36, &error)) << error;
  const std::string folder = gis::MakeMemoryFolder();
  EXPECT_NE(folder, gis::MakeMemoryFolder());
  EXPECT_FALSE(std::filesystem::exists(folder));
  for (const std::string& name : {"N-36", "M-36"})
    ASSERT_TRUE(gis::WriteSheetLayer(folder + "/" + name + ".shp", {name == "N-36" ? n36 : m36}, geographic.get(),
                                     utm.get(), &error))
        << error;
  EXPECT_FALSE(gis::WriteSheetLayer(folder + "/N-36.shp", {m36}, geographic.get(), utm.get(), &error));
  EXPECT_NE(error.find("exists already"), std::string::npos) << error;
  {
    win32::ComPtr<IFeatureClass> frame = gis::OpenFeatureClass(folder + "/N-36.shp", "", &error);
    ASSERT_TRUE(frame) << error;
    LONG count = 0;
    ASSERT_EQ(frame->FeatureCount(nullptr, &count), S_OK);
    EXPECT_EQ(count, 1);
    win32::ComPtr<IFeature> feature;
    ASSERT_EQ(frame->GetFeature(0, feature.put()), S_OK);
    LONG name_field = -1;
    win32::ComPtr<IFields> fields;
    frame->get_Fields(fields.put());
    fields->FindField(win32::Bstr::from_utf8("NAME").get(), &name_field);
    VARIANT name;
    VariantInit(&name);
    ASSERT_EQ(feature->get_Value(name_field, &name), S_OK);
    EXPECT_EQ(gis::ValueText(name), "N-36");
    VariantClear(&name);
    win32::ComPtr<IGeometry> shape;
    win32::ComPtr<ISpatialReference> sr;
    ASSERT_EQ(feature->get_Shape(shape.put()), S_OK);
    ASSERT_TRUE(shape && SUCCEEDED(shape->get_SpatialReference(sr.put())) && sr);
    VARIANT_BOOL same = VARIANT_FALSE;
    ASSERT_EQ(sr->IsSame(utm.get(), &same), S_OK);
    EXPECT_EQ(same, VARIANT_TRUE) << gis::SpatialReferenceToText(sr.get());
  }
  gis::RemoveShapefile(folder + "/N-36.shp");
  EXPECT_FALSE(gis::OpenFeatureClass(folder + "/N-36.shp", "", &error));
  EXPECT_TRUE(gis::OpenFeatureClass(folder + "/M-36.shp", "", &error)) << error;
  gis::RemoveMemoryFolder(folder);
  EXPECT_FALSE(gis::OpenFeatureClass(folder + "/M-36.shp", "", &error));
}

TEST_F(SheetFrameTest, TheGeographicSystemOfAProjectedMapIsItsDatums) {
  std::string error;
  win32::ComPtr<ISpatialReference> utm = gis::SpatialReferenceFromText("EPSG:32636", &error);
  win32::ComPtr<ISpatialReference> geographic = gis::GeographicSystemOf(utm.get(), &error);
  ASSERT_TRUE(geographic) << error;
  win32::ComPtr<ISpatialReference> wgs84 = gis::SpatialReferenceFromText("EPSG:4326", &error);
  VARIANT_BOOL same = VARIANT_FALSE;
  ASSERT_EQ(geographic->IsSame(wgs84.get(), &same), S_OK);
  EXPECT_EQ(same, VARIANT_TRUE) << gis::SpatialReferenceToText(geographic.get());
  EXPECT_FALSE(gis::GeographicSystemOf(nullptr, &error));
  EXPECT_NE(error.find("no coordinate system"), std::string::npos) << error;
}

}  // namespace

namespace {

// A feature whose extent covers many sheets lies on those it touches only (it is then
// tested prepared, against their frames), both in finding the sheets and in routing.
TEST_F(SheetFrameTest, AFeatureOverManySheetsLiesOnThoseItTouchesOnly) {
  testing_support::TempDir dir;
  const std::filesystem::path file = dir.path() / "angle.geojson";
  // Along the row K (40°–44°) from column 36 to 38, then up column 38 to the row M: its
  // extent covers nine sheets, it touches five.
  std::ofstream(file) << R"({"type": "FeatureCollection", "features": [{"type": "Feature", "properties": {},
      "geometry": {"type": "LineString", "coordinates": [[30.5, 40.5], [47.5, 40.5], [47.5, 51.5]]}}]})";
  std::string error;
  win32::ComPtr<IFeatureClass> lines = gis::OpenFeatureClass(file.string(), "", &error);
  ASSERT_TRUE(lines) << error;
  win32::ComPtr<ISpatialReference> wgs84 = gis::SpatialReferenceFromText("EPSG:4326", &error);
  ASSERT_TRUE(wgs84) << error;
  const std::vector<std::string> touched{"M-38", "L-38", "K-36", "K-37", "K-38"};
  std::vector<MapSheet> sheets;
  ASSERT_TRUE(gis::SheetsWithFeatures({lines.get()}, SheetScale::k1000000, wgs84.get(), wgs84.get(), &sheets, &error))
      << error;
  EXPECT_EQ(names(sheets), touched);
  std::vector<gis::SheetFeatures> routed;
  ASSERT_TRUE(gis::FeaturesBySheet({lines.get()}, SheetScale::k1000000, wgs84.get(), wgs84.get(), &routed, &error))
      << error;
  std::vector<std::string> routed_names;
  for (const gis::SheetFeatures& s : routed) {
    routed_names.push_back(s.sheet.name);
    ASSERT_EQ(s.ids.size(), 1u);
    ASSERT_TRUE(s.ids[0]);
    EXPECT_EQ(*s.ids[0], std::vector<LONG>{0}) << s.sheet.name;
  }
  EXPECT_EQ(routed_names, touched);
}

// Features in degrees on the edges of the series and beyond it: the sheets they lie on,
// and how many lie on none.
TEST_F(SheetFrameTest, FeaturesOnTheEdgesOfTheSeriesFindTheirSheetsAndThoseBeyondAreCounted) {
  testing_support::TempDir dir;
  const std::filesystem::path file = dir.path() / "edges.geojson";
  const char* const shapes[] = {
      R"({"type": "Point", "coordinates": [180, 10]})",                // column 1's west edge
      R"({"type": "Point", "coordinates": [-180, 14]})",               // the same edge, written west
      R"({"type": "Point", "coordinates": [30, 88]})",                 // row V's north edge
      R"({"type": "Point", "coordinates": [30, -88]})",                // row V's south edge
      R"({"type": "LineString", "coordinates": [[179, 20], [181, 20]]})",  // across 180° unwrapped
      R"({"type": "Point", "coordinates": [30, 88.5]})",               // beyond 88°: no sheet
      R"({"type": "LineString", "coordinates": [[0, 89], [90, 89.5]]})",  // beyond 88°: no sheet
      R"({"type": "Point", "coordinates": [190, 30]})",                // no frame is drawn there
  };
  std::string json = R"({"type": "FeatureCollection", "features": [)";
  for (size_t i = 0; i < std::size(shapes); ++i)
    json += std::string(i ? "," : "") + R"({"type": "Feature", "properties": {}, "geometry": )" + shapes[i] + "}";
  json += "]}";
  std::ofstream(file) << json;

  std::string error;
  win32::ComPtr<IFeatureClass> points = gis::OpenFeatureClass(file.string(), "", &error);
  ASSERT_TRUE(points) << error;
  win32::ComPtr<ISpatialReference> wgs84 = gis::SpatialReferenceFromText("EPSG:4326", &error);
  ASSERT_TRUE(wgs84) << error;
  std::vector<MapSheet> sheets;
  long off_series = -1;
  ASSERT_TRUE(gis::SheetsWithFeatures({points.get()}, SheetScale::k1000000, wgs84.get(), wgs84.get(), &sheets, &error,
                                      &off_series))
      << error;
  EXPECT_EQ(names(sheets), (std::vector<std::string>{"V-33,34,35,36", "F-1", "F-60", "D-1", "C-1",
                                                     "V-33,34,35,36 (Ю.П.)"}));
  EXPECT_EQ(off_series, 3);
  // The same sheets with the features on each, by class (the class given twice); a line
  // across 180° is on the sheets either side of it.
  std::vector<gis::SheetFeatures> routed;
  long routed_off = -1;
  ASSERT_TRUE(gis::FeaturesBySheet({points.get(), points.get()}, SheetScale::k1000000, wgs84.get(), wgs84.get(),
                                   &routed, &error, &routed_off))
      << error;
  EXPECT_EQ(routed_off, 6);  // three features of each class
  std::vector<std::string> routed_names;
  std::vector<std::vector<LONG>> ids;
  for (const gis::SheetFeatures& s : routed) {
    routed_names.push_back(s.sheet.name);
    ASSERT_EQ(s.ids.size(), 2u);
    ASSERT_TRUE(s.ids[0] && s.ids[1]);
    EXPECT_EQ(*s.ids[0], *s.ids[1]);
    ids.push_back(*s.ids[0]);
  }
  EXPECT_EQ(routed_names, names(sheets));
  EXPECT_EQ(ids, (std::vector<std::vector<LONG>>{{2}, {4}, {4}, {1}, {0}, {3}}));
  // The frames on 180° hold the meridian written either way; others only their own degrees.
  const struct {
    const char* sheet;
    const char* shape;
    bool holds;
  } frames[] = {
      {"C-1", "POINT (180 10)", true},   {"C-1", "POINT (-180 10)", true}, {"C-60", "POINT (-180 10)", true},
      {"C-60", "POINT (180 10)", true},  {"C-1", "POINT (183 10)", true},  {"C-2", "POINT (190 10)", false},
      {"C-30", "POINT (-180 10)", false}, {"C-1", "POINT (170 10)", false},
  };
  for (const auto& f : frames) {
    SCOPED_TRACE(std::string(f.sheet) + " " + f.shape);
    MapSheet sheet;
    ASSERT_TRUE(gis::ParseSheetName(f.sheet, &sheet, &error)) << error;
    win32::ComPtr<IGeometry> frame = gis::SheetPolygon(sheet, wgs84.get(), wgs84.get(), &error);
    ASSERT_TRUE(frame) << error;
    win32::ComPtr<IGeometry> shape = core_test::wkt(f.shape, wgs84.get());
    win32::ComPtr<IGeometry> kept;
    ASSERT_EQ(frame.as<ITopologicalOperator>()->Intersect(shape.get(), esriGeometry0Dimension, kept.put()), S_OK);
    VARIANT_BOOL empty = VARIANT_TRUE;
    ASSERT_TRUE(kept);
    kept->get_IsEmpty(&empty);
    EXPECT_EQ(empty == VARIANT_FALSE, f.holds);
  }
}

}  // namespace
