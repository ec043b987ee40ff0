// Sheet names and corners of the 1:1,000,000 series and its divisions. Everything is
// counted in whole half seconds of arc on a grid of cells (one per ordinary sheet), so that a
// name, its cell and its corners convert both ways without rounding. A name is read into
// the cells of its parts (one for an ordinary sheet, two to four for a joined one), and
// the parts are then checked against the joining rule of their latitude.
#include "map_sheets.h"

#include <cmath>
#include <cstdlib>

namespace gis {

namespace {

using core::SheetCell;

constexpr int kScales = 9;
// Cells in units of half a second of arc: a 1:5,000 sheet is 1'15" by 1'52.5".
constexpr double kUnitsPerDegree = 7200.0;
constexpr long kHeight[kScales] = {28800, 14400, 4800, 2400, 1200, 600, 300, 150, 50};
constexpr long kWidth[kScales] = {43200, 21600, 7200, 3600, 1800, 900, 450, 225, 75};
// The sheet a scale's sheets are numbered within (-1: none).
constexpr int kParent[kScales] = {-1, 0, 0, 0, 3, 4, 5, 3, 7};
// Sheets issued as one, by latitude band (below 60°, 60°–76°, 76°–88°) and scale; the
// plans of 1:5,000 and 1:2,000 are issued one by one everywhere.
constexpr int kJoined[3][kScales] = {
    {1, 1, 1, 1, 1, 1, 1, 1, 1}, {2, 2, 2, 2, 2, 2, 2, 1, 1}, {4, 4, 3, 4, 4, 4, 4, 1, 1}};
constexpr long kRows = 22;              // A–V
constexpr long kColumns = 60;
constexpr long kRound = 360L * 7200L;   // units of longitude around the earth
constexpr const char* kSouthMark = " (Ю.П.)";
const char* const kScaleWords[kScales] = {"1:1,000,000", "1:500,000", "1:200,000", "1:100,000", "1:50,000",
                                          "1:25,000",    "1:10,000",  "1:5,000",   "1:2,000"};
// The 1:2,000 letters within a 1:5,000 sheet.
const char* const kPlanLetters[9] = {"а", "б", "в", "г", "д", "е", "ж", "з", "и"};

int level(SheetScale s) { return static_cast<int>(s); }
SheetScale scale_at(int level) { return static_cast<SheetScale>(level); }

// --- text ---

std::u32string decode(std::string_view text) {
  std::u32string out;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + static_cast<size_t>(extra) >= text.size()) {
      out.push_back(U'\uFFFD');
      ++i;
      continue;
    }
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    bool bad = false;
    for (int k = 1; k <= extra; ++k) {
      unsigned char d = static_cast<unsigned char>(text[i + k]);
      if ((d & 0xC0) != 0x80) bad = true;
      cp = (cp << 6) | (d & 0x3F);
    }
    out.push_back(bad ? U'\uFFFD' : cp);
    i += bad ? 1 : extra + 1;
  }
  return out;
}

std::string encode(std::u32string_view text) {
  std::string out;
  for (char32_t cp : text) {
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string quoted(std::u32string_view part) { return "'" + encode(part) + "'"; }

// The row (0 for A … 21 for V) a letter names, Cyrillic look-alikes included; -1 otherwise.
int row_letter(char32_t c) {
  if (c >= U'a' && c <= U'z') c -= U'a' - U'A';
  switch (c) {
    case U'А': case U'а': c = U'A'; break;
    case U'В': case U'в': c = U'B'; break;
    case U'С': case U'с': c = U'C'; break;
    case U'Е': case U'е': c = U'E'; break;
    case U'Н': case U'н': c = U'H'; break;
    case U'І': case U'і': c = U'I'; break;
    case U'К': case U'к': c = U'K'; break;
    case U'М': case U'м': c = U'M'; break;
    case U'О': case U'о': c = U'O'; break;
    case U'Р': case U'р': c = U'P'; break;
    case U'Т': case U'т': c = U'T'; break;
    default: break;
  }
  return c >= U'A' && c <= U'V' ? static_cast<int>(c - U'A') : (c >= U'W' && c <= U'Z' ? -2 : -1);
}

// 0–3 for the letters А, Б, В, Г in either case (Latin A, B and a read as А, В, а); -1 otherwise.
int quarter_letter(char32_t c) {
  switch (c) {
    case U'А': case U'а': case U'A': case U'a': return 0;
    case U'Б': case U'б': return 1;
    case U'В': case U'в': case U'B': return 2;
    case U'Г': case U'г': return 3;
    default: return -1;
  }
}

// 0–8 for the 1:2,000 letters а–и in either case (Latin a, e and B read as а, е, в); -1
// otherwise.
int plan_letter(char32_t c) {
  switch (c) {
    case U'а': case U'А': case U'a': case U'A': return 0;
    case U'б': case U'Б': return 1;
    case U'в': case U'В': case U'B': return 2;
    case U'г': case U'Г': return 3;
    case U'д': case U'Д': return 4;
    case U'е': case U'Е': case U'e': case U'E': return 5;
    case U'ж': case U'Ж': return 6;
    case U'з': case U'З': return 7;
    case U'и': case U'И': return 8;
    default: return -1;
  }
}

std::string roman(int n) {
  static const char* const kTens[] = {"", "X", "XX", "XXX"};
  static const char* const kUnits[] = {"", "I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX"};
  return std::string(kTens[n / 10]) + kUnits[n % 10];
}

// I–XXXVI (Cyrillic І and Х and lower case read as I and X): 1–36; 0 for a text of Roman
// digits that is not one of them; -1 for other text.
int roman_number(std::u32string_view part) {
  std::string latin;
  for (char32_t c : part) {
    switch (c) {
      case U'I': case U'i': case U'І': case U'і': latin += 'I'; break;
      case U'V': case U'v': latin += 'V'; break;
      case U'X': case U'x': case U'Х': case U'х': latin += 'X'; break;
      case U'L': case U'l': case U'C': case U'c': case U'M': latin += '?'; break;
      default: return -1;
    }
  }
  if (latin.empty()) return -1;
  for (int n = 1; n <= 36; ++n)
    if (roman(n) == latin) return n;
  return 0;
}

// The number a part of decimal digits gives; -1 for other text.
long number(std::u32string_view part) {
  if (part.empty() || part.size() > 6) return -1;
  long n = 0;
  for (char32_t c : part) {
    if (c < U'0' || c > U'9') return -1;
    n = n * 10 + static_cast<long>(c - U'0');
  }
  return n;
}

bool is_dash(char32_t c) {
  return c == U'-' || c == U'\u2010' || c == U'\u2011' || c == U'\u2012' || c == U'\u2013' || c == U'\u2014' ||
         c == U'\u2212';
}

bool is_space(char32_t c) { return c == U' ' || c == U'\t' || c == U'\u00A0'; }

std::u32string_view trim(std::u32string_view s) {
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

// Removes a southern-hemisphere mark ("(Ю.П.)", "(ЮП)", "Ю.П." at the end); true when one
// was there.
bool take_south_mark(std::u32string* s) {
  std::u32string_view v = trim(*s);
  size_t end = v.size();
  bool bracketed = end > 0 && v[end - 1] == U')';
  size_t begin = bracketed ? v.rfind(U'(') : std::u32string_view::npos;
  std::u32string mark;
  size_t cut = 0;
  if (bracketed && begin != std::u32string_view::npos) {
    for (char32_t c : v.substr(begin + 1, end - begin - 2))
      if (c != U'.' && c != U' ') mark.push_back(c);
    cut = begin;
  } else {
    // Unbracketed: the letters Ю and П with optional dots, at the end.
    size_t i = end;
    while (i > 0 && (v[i - 1] == U'.' || v[i - 1] == U'П' || v[i - 1] == U'п' || v[i - 1] == U'Ю' || v[i - 1] == U'ю'))
      --i;
    for (char32_t c : v.substr(i))
      if (c != U'.') mark.push_back(c);
    cut = i;
  }
  if (mark != U"ЮП" && mark != U"юп" && mark != U"Юп") return false;
  *s = std::u32string(trim(v.substr(0, cut)));
  return true;
}

// --- cells and names ---

long at_level(long index, const long* size, int from, int to) { return index * size[from] / size[to]; }

int band_of_row(long row_1m) { return row_1m < 15 ? 0 : row_1m < 19 ? 1 : 2; }

// The parts of the name of one ordinary sheet: row letter, column, then one per division.
std::vector<std::string> parts_of(const SheetCell& cell) {
  const int s = level(cell.scale);
  std::vector<int> chain;
  for (int l = s; l >= 0; l = kParent[l]) chain.insert(chain.begin(), l);
  std::vector<std::string> parts;
  parts.push_back(std::string(1, static_cast<char>('A' + at_level(cell.row, kHeight, s, 0))));
  parts.push_back(std::to_string(at_level(cell.column, kWidth, s, 0) + 1));
  static const char* const kUpper[] = {"А", "Б", "В", "Г"};
  static const char* const kLower[] = {"а", "б", "в", "г"};
  for (size_t k = 1; k < chain.size(); ++k) {
    const int l = chain[k], parent = chain[k - 1];
    const long rows = kHeight[parent] / kHeight[l], columns = kWidth[parent] / kWidth[l];
    const long from_equator = at_level(cell.row, kHeight, s, l) % rows;
    const long from_north = cell.south ? from_equator : rows - 1 - from_equator;
    const long index = from_north * columns + at_level(cell.column, kWidth, s, l) % columns;
    switch (l) {
      case 1: case 4: parts.push_back(kUpper[index]); break;
      case 5: parts.push_back(kLower[index]); break;
      case 2: parts.push_back(roman(static_cast<int>(index) + 1)); break;
      case 7: parts.push_back("(" + std::to_string(index + 1) + ")"); break;
      // Inside the 1:5,000 sheet's parentheses: "(256-и)".
      case 8: parts.back().insert(parts.back().size() - 1, std::string("-") + kPlanLetters[index]); break;
      default: parts.push_back(std::to_string(index + 1)); break;
    }
  }
  return parts;
}

std::string join(const std::vector<std::string>& parts, size_t from) {
  std::string out;
  for (size_t i = from; i < parts.size(); ++i) out += (i > from ? "-" : "") + parts[i];
  return out;
}

std::string scale_word(int l) { return kScaleWords[l]; }

const char* count_word(int n) { return n == 2 ? "pairs" : n == 3 ? "threes" : "fours"; }

const char* band_words(int band) { return band == 1 ? "between 60° and 76°" : "between 76° and 88°"; }

// One ordinary sheet read from its parts.
struct Member {
  SheetCell cell;
  int levels = 0;  // the scale as a level
};

bool read_member(const std::vector<std::u32string>& parts, bool south, Member* m, std::string* reason) {
  if (parts.empty() || parts[0].empty()) {
    *reason = "the row letter A–V is missing";
    return false;
  }
  std::u32string first = parts[0];
  std::vector<std::u32string> p(parts.begin() + 1, parts.end());
  // "M36": the column written without the dash.
  if (first.size() > 1) {
    p.insert(p.begin(), first.substr(1));
    first = first.substr(0, 1);
  }
  const int row = row_letter(first[0]);
  if (row < 0) {
    *reason = row == -2 ? "row letter " + quoted(first) + " is not one of A–V"
                        : "the name must begin with a row letter A–V, not " + quoted(first);
    return false;
  }
  if (p.empty() || p[0].empty()) {
    *reason = "the column number 1–60 is missing after the row letter";
    return false;
  }
  const long column = number(p[0]);
  if (column < 0) {
    *reason = quoted(p[0]) + " is not a column number 1–60";
    return false;
  }
  if (column < 1 || column > kColumns) {
    *reason = "column number " + encode(p[0]) + " is out of range 1–60";
    return false;
  }
  SheetCell cell;
  cell.south = south;
  cell.row = row;
  cell.column = column - 1;
  int l = 0;
  // Descends one division: `index` counts the sheets of level `to` from the north-west.
  auto descend = [&](int to, long index) {
    const long rows = kHeight[l] / kHeight[to], columns = kWidth[l] / kWidth[to];
    const long from_north = index / columns;
    const long from_equator = south ? from_north : rows - 1 - from_north;
    cell.row = cell.row * rows + from_equator;
    cell.column = cell.column * columns + index % columns;
    l = to;
  };
  for (size_t k = 1; k < p.size(); ++k) {
    const std::u32string& part = p[k];
    if (part.empty()) {
      *reason = "an empty part between dashes";
      return false;
    }
    if (k == 1) {
      const int letter = part.size() == 1 ? quarter_letter(part[0]) : -1;
      const int r = roman_number(part);
      const long n = number(part);
      if (letter >= 0) {
        descend(1, letter);
      } else if (r > 0) {
        descend(2, r - 1);
      } else if (r == 0) {
        *reason = "1:200,000 number " + quoted(part) + " is not one of I–XXXVI";
        return false;
      } else if (n >= 0) {
        if (n < 1 || n > 144) {
          *reason = "1:100,000 number " + encode(part) + " is out of range 1–144";
          return false;
        }
        descend(3, n - 1);
      } else if (part.front() == U'(') {
        *reason = "a 1:5,000 number in parentheses follows a 1:100,000 number, not the column number";
        return false;
      } else {
        *reason = quoted(part) + " is neither a 1:500,000 letter А–Г, a 1:200,000 number I–XXXVI nor a 1:100,000 number 1–144";
        return false;
      }
    } else if (l >= 7) {
      *reason = "nothing may follow the parentheses of the " + scale_word(l) + " sheet, but " + quoted(part) + " does";
      return false;
    } else if (part.front() == U'(') {
      if (l != 3) {
        *reason = "a 1:5,000 number in parentheses follows a 1:100,000 number, not the " + scale_word(l) + " " +
                  (l == 1 || l == 4 || l == 5 ? "letter " : "number ") + quoted(p[k - 1]);
        return false;
      }
      if (part.size() < 2 || part.back() != U')') {
        *reason = "the parenthesis of " + quoted(part) + " is not closed";
        return false;
      }
      const std::u32string inner = part.substr(1, part.size() - 2);
      size_t dash = 0;
      while (dash < inner.size() && !is_dash(inner[dash])) ++dash;
      const std::u32string digits = inner.substr(0, dash);
      const long n = number(digits);
      if (n < 0) {
        *reason = digits.empty() ? "the 1:5,000 number 1–256 is missing in " + quoted(part)
                                 : quoted(digits) + " is not a 1:5,000 number 1–256";
        return false;
      }
      if (n < 1 || n > 256) {
        *reason = "1:5,000 number " + encode(digits) + " is out of range 1–256";
        return false;
      }
      descend(7, n - 1);
      if (dash < inner.size()) {
        const std::u32string letter = inner.substr(dash + 1);
        const int index = letter.size() == 1 ? plan_letter(letter[0]) : -1;
        if (index < 0) {
          *reason = letter.empty() ? "the 1:2,000 letter а–и is missing after the dash in " + quoted(part)
                                   : quoted(letter) + " is not a 1:2,000 letter а–и";
          return false;
        }
        descend(8, index);
      }
    } else if (k == 2) {
      if (l != 3) {
        *reason = "a 1:50,000 letter follows a 1:100,000 number, not the " + scale_word(l) + " " +
                  (l == 1 ? "letter " : "number ") + quoted(p[1]);
        return false;
      }
      const int letter = part.size() == 1 ? quarter_letter(part[0]) : -1;
      if (letter < 0) {
        *reason = quoted(part) + " is not a 1:50,000 letter А–Г";
        return false;
      }
      descend(4, letter);
    } else if (k == 3) {
      const int letter = part.size() == 1 ? quarter_letter(part[0]) : -1;
      if (letter < 0) {
        *reason = quoted(part) + " is not a 1:25,000 letter а–г";
        return false;
      }
      descend(5, letter);
    } else if (k == 4) {
      const long n = number(part);
      if (n < 1 || n > 4) {
        *reason = n < 0 ? quoted(part) + " is not a 1:10,000 number 1–4"
                        : "1:10,000 number " + encode(part) + " is out of range 1–4";
        return false;
      }
      descend(6, n - 1);
    } else {
      *reason = "nothing may follow the 1:10,000 number, but " + quoted(part) + " does";
      return false;
    }
  }
  cell.scale = scale_at(l);
  m->cell = cell;
  m->levels = l;
  return true;
}

// Splits at dashes (any dash-like character) outside parentheses: "(256-и)" stays one
// part. Space around a dash is dropped. A space inside a part ("1 2", "M 36") would join
// two parts into another sheet's number: false with *reason quoting the part as written.
bool split_dashes(std::u32string_view piece, std::vector<std::u32string>* out, std::string* reason) {
  std::vector<std::u32string> parts(1);
  int depth = 0;
  for (char32_t c : piece) {
    depth += c == U'(' ? 1 : c == U')' && depth > 0 ? -1 : 0;
    if (depth == 0 && is_dash(c))
      parts.emplace_back();
    else
      parts.back().push_back(c);
  }
  for (std::u32string& part : parts) {
    const std::u32string_view inner = trim(part);
    for (char32_t c : inner) {
      if (is_space(c)) {
        *reason = "a space inside the part " + quoted(inner) + ": write the parts of a name joined by dashes";
        return false;
      }
    }
    part = std::u32string(inner);
  }
  *out = std::move(parts);
  return true;
}

double units_snapped(double degrees) {
  const double v = degrees * kUnitsPerDegree;
  const double r = std::round(v);
  return std::fabs(v - r) < 1e-6 ? r : v;
}

// Rows of cells of a level from the equator to 88°.
long rows_of(int l) { return kRows * kHeight[0] / kHeight[l]; }

// Units east of 180° W in [0, 360°): longitudes beyond ±180° are taken round the earth,
// and 180° itself is the western edge of column 1.
double longitude_from_180w(double longitude) {
  double lon = std::fmod(longitude + 180.0, 360.0);
  if (lon < 0) lon += 360.0;
  const double seconds = units_snapped(lon);
  return seconds >= static_cast<double>(kRound) ? 0.0 : seconds;
}

}  // namespace

namespace core {

long cell_height(SheetScale scale) { return kHeight[level(scale)]; }
long cell_width(SheetScale scale) { return kWidth[level(scale)]; }

int joined_cells(const SheetCell& cell) {
  const int l = level(cell.scale);
  return kJoined[band_of_row(at_level(cell.row, kHeight, l, 0))][l];
}

MapSheet sheet_of_cell(const SheetCell& cell) {
  const int l = level(cell.scale);
  const int n = joined_cells(cell);
  SheetCell first = cell;
  first.column -= cell.column % n;
  std::vector<std::string> previous = parts_of(first);
  std::string name = join(previous, 0);
  for (int k = 1; k < n; ++k) {
    SheetCell next = first;
    next.column += k;
    std::vector<std::string> parts = parts_of(next);
    size_t differ = 0;
    while (differ < parts.size() && parts[differ] == previous[differ]) ++differ;
    name += "," + join(parts, differ);
    previous = std::move(parts);
  }
  MapSheet sheet;
  sheet.scale = cell.scale;
  sheet.name = cell.south ? name + kSouthMark : name;
  const double near = static_cast<double>(cell.row * kHeight[l]) / kUnitsPerDegree;
  const double far = static_cast<double>((cell.row + 1) * kHeight[l]) / kUnitsPerDegree;
  sheet.corners.south = cell.south ? -far : near;
  sheet.corners.north = cell.south ? -near : far;
  sheet.corners.west = -180.0 + static_cast<double>(first.column * kWidth[l]) / kUnitsPerDegree;
  sheet.corners.east = -180.0 + static_cast<double>((first.column + n) * kWidth[l]) / kUnitsPerDegree;
  return sheet;
}

}  // namespace core

long ScaleDenominator(SheetScale scale) {
  static const long kDenominators[kScales] = {1000000, 500000, 200000, 100000, 50000, 25000, 10000, 5000, 2000};
  return kDenominators[level(scale)];
}

std::string ScaleText(SheetScale scale) { return kScaleWords[level(scale)]; }

bool ParseSheetScale(std::string_view text, SheetScale* scale) {
  std::string digits;
  std::string_view t = text;
  if (t.size() > 2 && t.substr(0, 2) == "1:") t.remove_prefix(2);
  for (char c : t) {
    if (c >= '0' && c <= '9')
      digits.push_back(c);
    else if (c != ' ' && c != ',' && c != '\'' && c != '_')
      return false;
  }
  if (digits.empty() || digits.size() > 9) return false;
  const long denominator = std::atol(digits.c_str());
  for (int l = 0; l < kScales; ++l) {
    if (ScaleDenominator(scale_at(l)) == denominator) {
      *scale = scale_at(l);
      return true;
    }
  }
  return false;
}

bool ParseSheetName(std::string_view name, MapSheet* sheet, std::string* reason) {
  std::string ignored;
  if (!reason) reason = &ignored;
  std::u32string text(trim(decode(name)));
  if (text.empty()) {
    *reason = "the name is empty";
    return false;
  }
  bool south = take_south_mark(&text);
  // The international map's hemisphere letter before the row letter ("NM-36", "SM-36").
  if (text.size() > 1 && (text[0] == U'N' || text[0] == U'S') && row_letter(text[1]) >= 0) {
    if (south && text[0] == U'N') {
      *reason = "the name is marked both northern (N) and southern (Ю.П.)";
      return false;
    }
    south = south || text[0] == U'S';
    text.erase(0, 1);
  }
  if (text.empty()) {
    *reason = "the name has a hemisphere mark but no sheet";
    return false;
  }
  // Pieces between commas: the first is a whole sheet, each next one replaces as many
  // trailing parts of the sheet before it as it has.
  std::vector<std::vector<std::u32string>> members;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != U',') continue;
    std::vector<std::u32string> parts;
    if (!split_dashes(std::u32string_view(text).substr(start, i - start), &parts, reason)) return false;
    start = i + 1;
    if (parts.size() == 1 && parts[0].empty()) {
      *reason = members.empty() ? "the name begins with a comma" : "an empty part between commas";
      return false;
    }
    if (members.empty()) {
      members.push_back(std::move(parts));
      continue;
    }
    std::vector<std::u32string> whole = members.back();
    // "M36" counts as two parts of the sheet before.
    if (!whole.empty() && whole[0].size() > 1) {
      whole.insert(whole.begin() + 1, whole[0].substr(1));
      whole[0].resize(1);
    }
    if (parts.size() >= whole.size()) {
      std::u32string piece;
      for (size_t k = 0; k < parts.size(); ++k) piece += (k ? U"-" : U"") + parts[k];
      *reason = quoted(piece) + " after a comma is as long as a whole sheet name: write the next sheets by their differing tail";
      return false;
    }
    std::copy(parts.begin(), parts.end(), whole.end() - static_cast<long>(parts.size()));
    members.push_back(std::move(whole));
  }
  std::vector<Member> read;
  for (const auto& parts : members) {
    Member m;
    if (!read_member(parts, south, &m, reason)) return false;
    if (!read.empty() && m.levels != read.front().levels) {
      *reason = "the sheets joined by commas are of different scales";
      return false;
    }
    read.push_back(m);
  }
  const SheetCell& first = read.front().cell;
  const int l = level(first.scale);
  for (size_t k = 1; k < read.size(); ++k) {
    const SheetCell& c = read[k].cell;
    if (c.row != first.row || c.column != first.column + static_cast<long>(k)) {
      *reason = "the sheets joined by commas must follow each other from west to east in one row";
      return false;
    }
  }
  const int n = core::joined_cells(first);
  const int band = band_of_row(at_level(first.row, kHeight, l, 0));
  const MapSheet issued = core::sheet_of_cell(first);
  if (n == 1 && read.size() > 1) {
    *reason = "sheets are joined only beyond 60° of latitude; " + ScaleText(first.scale) + " sheets " +
              (first.south ? "south of 60° S" : "below 60° N") + " are issued one by one";
    return false;
  }
  const bool aligned = first.column % n == 0;
  if (n > 1 && (read.size() != static_cast<size_t>(n) || !aligned)) {
    std::string member = join(parts_of(first), 0);
    if (first.south) member += kSouthMark;
    *reason = std::string(band_words(band)) + " of latitude " + ScaleText(first.scale) + " sheets are issued in " +
              count_word(n) + ": " + member + " is part of " + issued.name;
    return false;
  }
  *sheet = issued;
  return true;
}

bool SheetAt(SheetScale scale, double longitude, double latitude, MapSheet* sheet) {
  if (!std::isfinite(longitude) || !std::isfinite(latitude)) return false;
  const int l = level(scale);
  const bool south = latitude < 0;
  const double v = units_snapped(std::fabs(latitude));
  double q = v / static_cast<double>(kHeight[l]);
  long row = static_cast<long>(std::floor(q));
  // On a parallel of the southern hemisphere the sheet to the north is nearer the equator;
  // 88° N, the northern edge of row V, has no sheet north of it and belongs to row V.
  if (q == std::floor(q) && row > 0 && (south || row == rows_of(l))) --row;
  if (row >= rows_of(l)) return false;
  long column = static_cast<long>(std::floor(longitude_from_180w(longitude) / static_cast<double>(kWidth[l])));
  column = std::min(column, kRound / kWidth[l] - 1);
  *sheet = core::sheet_of_cell(SheetCell{scale, south, row, column});
  return true;
}

std::vector<MapSheet> SheetsCovering(SheetScale scale, const SheetCorners& extent) {
  const int l = level(scale);
  const long h = kHeight[l], w = kWidth[l];
  const long max_row = rows_of(l) - 1;
  std::vector<MapSheet> out;
  // Cells whose span [i*size, (i+1)*size] (units) meets [lo, hi] (degrees); at least one. An edge
  // belongs to the cell after it, the far edge of the last cell (88°) to the last cell.
  auto span = [](double lo, double hi, long size, long last, long* first_cell, long* last_cell) {
    if (!std::isfinite(lo) || !std::isfinite(hi)) return false;
    long a = static_cast<long>(std::floor(units_snapped(lo) / static_cast<double>(size)));
    long b = static_cast<long>(std::ceil(units_snapped(hi) / static_cast<double>(size))) - 1;
    if (a == last + 1 && units_snapped(lo) == static_cast<double>(a * size)) a = last;
    if (b < a) b = a;
    *first_cell = std::max(0L, a);
    *last_cell = std::min(last, b);
    return *first_cell <= *last_cell;
  };
  // Longitudes from 180° W: one span, or two when the extent crosses 180°; an extent wider
  // than the earth is every column.
  std::vector<std::pair<double, double>> longitudes;
  const double width = extent.west <= extent.east ? extent.east - extent.west : extent.east - extent.west + 360.0;
  const double west = longitude_from_180w(extent.west) / kUnitsPerDegree, east = west + width;
  if (width >= 360.0) {
    longitudes.push_back({0.0, 360.0});
  } else if (east <= 360.0) {
    longitudes.push_back({west, east});
  } else {
    longitudes.push_back({west, 360.0});
    longitudes.push_back({0.0, east - 360.0});
  }
  auto add_row = [&](bool south, long row) {
    for (auto [lo, hi] : longitudes) {
      long a = 0, b = 0;
      if (!span(lo, hi, w, kRound / w - 1, &a, &b)) continue;
      SheetCell cell{scale, south, row, a};
      const int n = core::joined_cells(cell);
      for (long c = a - a % n; c <= b; c += n) {
        cell.column = c;
        out.push_back(core::sheet_of_cell(cell));
      }
    }
  };
  if (extent.north > 0 || extent.south >= 0) {
    long a = 0, b = 0;
    if (span(std::max(extent.south, 0.0), std::max(extent.north, 0.0), h, max_row, &a, &b))
      for (long row = b; row >= a; --row) add_row(false, row);
  }
  if (extent.south < 0) {
    long a = 0, b = 0;
    if (span(std::max(-extent.north, 0.0), -extent.south, h, max_row, &a, &b))
      for (long row = a; row <= b; ++row) add_row(true, row);
  }
  return out;
}

}  // namespace gis
