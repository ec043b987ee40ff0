// The command line as scripts use it: --json documents that validate against the schemas in
// docs/json/ with standard output holding nothing else, --quiet, usage errors, the manual
// page made from the command table and the bash completion of values.
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bad_input_sandbox.h"
#include "fixture.h"
#include "cli_json.h"

namespace {

namespace fs = std::filesystem;
using bad_input::CutResult;

using bad_input::Sandbox;

// Output of a shell command (standard error too) and its exit code.
std::pair<int, std::string> shell(const std::string& command) {
  std::string out;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return {-1, ""};
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// "" when text is one JSON document that python3 -m json.tool reads and that validates
// against docs/json/<schema>; else what the checkers said.
std::string json_problems(const Sandbox& s, const std::string& text, const std::string& schema) {
  const fs::path file = s.root() / "output.json";
  std::ofstream(file, std::ios::binary) << text;
  auto [tool_code, tool_out] = shell("python3 -m json.tool " + bad_input::quoted(file.string()) + " >/dev/null");
  if (tool_code != 0) return "json.tool: " + tool_out + "\n" + text;
  const fs::path schema_path = fs::path(AREACLIP_SOURCE_DIR) / "docs/json" / schema;
  auto [code, out] = shell("python3 -c 'import json,sys,jsonschema; jsonschema.validate(json.load(open(sys.argv[1])), "
                           "json.load(open(sys.argv[2])))' " + bad_input::quoted(file.string()) + " " + bad_input::quoted(schema_path.string()));
  return code == 0 ? "" : out + "\n" + text;
}

// A map of the sandbox's cutting layer "Листы" and a layer whose source is gone.
void write_map_with_a_missing_source(Sandbox& s) {
  s.write_sheets();
  s.write_document({bad_input::feature_layer("Реки", "data/rivers.shp", "NAME")});
}

TEST(JsonOutput, EveryFormValidatesAndStandardOutputHoldsOnlyIt) {
  Sandbox s;
  s.write_sheets();
  s.write_document({});
  write_map_with_a_missing_source(s);  // overwrites map.mxd with the missing layer
  struct Case {
    std::string arguments, schema;
    int code;
    std::vector<std::string> in_json;
  };
  const Case cases[] = {
      {"cut map.mxd --layer Листы --feature A --folder out --json", "areaclip-cut.schema.json", 3,
       {"\"kind\":\"cut\"", "\"features_read\":2,\"features_written\":1", "\"not_cut\":[{\"name\":\"Реки\"",
        "\"documents\":[\"" + (s.root() / "out/cross.mxd").string() + "\"]", "\"status\":3}"}},
      {"cut map.mxd --layer Листы --feature A --folder out --json", "areaclip-cut.schema.json", 1,
       {"\"failure\":[\"", "\"status\":1}"}},  // refused: out holds a result already
      {"cut missing.mxd --layer Листы --feature-id 0 --folder out2 --json", "areaclip-cut.schema.json", 2,
       {"\"feature_id\":0", "\"status\":2"}},
      {"cut map.mxd --sheet M-36-1 --folder by_sheet --json", "areaclip-cut.schema.json", 3,
       {"\"by\":{\"sheet\":\"M-36-1\"}"}},
      {"cut map.mxd --sheet Q-99 --folder bad_sheet --json", "areaclip-cut.schema.json", 2,
       {"is no map sheet", "\"status\":2"}},
      {"cut map.mxd --all-sheets 1:1000000 --folder all --json", "areaclip-cut.schema.json", 3,
       {"\"kind\":\"sheets\"", "\"scale\":\"1:1000000\"", "\"sheet\":\"N-36\"", "\"status\":3}"}},
      {"cut map.mxd --all-sheets 1:3 --folder all2 --json", "areaclip-cut.schema.json", 2,
       {"\"sheets\":[]", "takes a scale of the series"}},
      {"sheets map.mxd --scale 1:1000000 --json", "areaclip-sheets.schema.json", 0, {"{\"name\":\"N-36\",\"south\":52,\"north\":56"}},
      {"features map.mxd --layer Листы --json", "areaclip-features.schema.json", 0, {"\"label\":\"A\""}},
      {"info map.mxd --json", "areaclip-info.schema.json", 0,
       {"\"name\":\"Реки\"", "\"source_error\":\"cannot open"}},
      {"info " + (fs::path(AREACLIP_SOURCE_DIR) / "examples/map.mxd").string() + " --json", "areaclip-info.schema.json", 0,
       {"\"renderer\":{\"kind\":\"unique values by KIND, 5 values\",\"classes\":[\"", "\"graphics\":[{\"layer\":null",
        "{\"name\":\"NAME\",\"type\":\"text\",\"width\":80}"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const CutResult r = s.run(c.arguments);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_EQ(json_problems(s, r.out, c.schema), "");
    for (const std::string& part : c.in_json) EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
  }
}

TEST(QuietOption, OnlyErrorsArePrinted) {
  Sandbox s;
  write_map_with_a_missing_source(s);
  CutResult r = s.run("cut map.mxd --layer Листы --feature A --folder out --quiet");
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.find("Обрабатывается"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("layer \"Реки\" is not cut"), std::string::npos) << r.err;
  r = s.run("sheets map.mxd --scale 1:1000000 -q");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out + r.err, "");
  r = s.run("info nothing.mxd --quiet");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("nothing.mxd"), std::string::npos);
  // The JSON asked for is still written, the progress is not.
  r = s.run("cut map.mxd --layer Листы --feature A --folder out2 --json -q");
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(json_problems(s, r.out, "areaclip-cut.schema.json"), "");
  EXPECT_EQ(r.err.find("Обрабатывается"), std::string::npos) << r.err;
}

TEST(UsageErrors, NameWhatIsWrongAndExit2) {
  Sandbox s;
  s.write_sheets();
  s.write_document({});
  const struct {
    const char* arguments;
    const char* message;
  } cases[] = {
      {"cut map.mxd --layer Листы --feature A --folder out --bogus", "areaclip cut: unknown option '--bogus'"},
      {"cut map.mxd --layer=Листы --feature=A --folder=out --frob=1", "unknown option '--frob'"},
      {"cut map.mxd --layer Листы --feature A --folder", "areaclip cut: --folder needs a value"},
      {"cut map.mxd other.mxd --layer Листы --feature A --folder out", "unexpected argument 'other.mxd'"},
      {"cut --layer Листы --feature A --folder out", "the map document is missing"},
      {"cut map.mxd --json=yes --layer Листы --feature A --folder out", "--json takes no value"},
      {"sheets map.mxd", "areaclip sheets: --scale is missing"},
      {"features map.mxd", "--layer is missing"},
      {"info map.mxd --layer x", "areaclip info: unknown option '--layer'"},
      {"new doc.mxd", "name at least one data file"},
      {"convert map.mxd", "the document to write (OUT) is missing"},
      {"render map.mxd -o x.svg --width 5", "--width takes 100 to 20000 pixels"},
      {"register --bogus", "areaclip register: unknown option '--bogus'"},
  };
  for (const auto& c : cases) {
    const CutResult r = s.run(c.arguments);
    EXPECT_EQ(r.code, 2) << c.arguments;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.arguments << "\n" << r.err;
    EXPECT_NE(r.err.find("usage: areaclip"), std::string::npos) << c.arguments << "\n" << r.err;
    EXPECT_EQ(r.out, "") << c.arguments;
  }
  EXPECT_FALSE(fs::exists(s.out()));
}

// --layer-crs gives its system to the data sets after it only, in either option form, and
// "--" lets a data file's name begin with "-".
TEST(UsageForms, LayerCrsReachesTheDataAfterItOnly) {
  Sandbox s;
  bad_input::LayerSchema schema;
  schema.type = wkbPoint;
  schema.epsg = 0;
  schema.fields = {{"N", OFTInteger}};
  for (const fs::path& file : {s.data() / "a.shp", s.data() / "b.shp", s.root() / "-c.shp"})
    bad_input::write_wkt(file, schema, {{"POINT (500000 6000000)", {"1"}}});
  const CutResult r = s.run("new order.mxd data/a.shp --layer-crs=EPSG:4326 data/b.shp -- -c.shp");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("a.shp"), std::string::npos) << r.err;  // warned: no system
  EXPECT_EQ(r.err.find("b.shp"), std::string::npos) << r.err;
  const nlohmann::json doc = nlohmann::json::parse(fixture::read_file(s.root() / "order.mxd"));
  const nlohmann::json& layers = doc["maps"][0]["layers"];
  ASSERT_EQ(layers.size(), 3u) << doc.dump();
  EXPECT_FALSE(layers[0]["source"].contains("crs")) << layers[0].dump();
  EXPECT_EQ(layers[1]["source"]["crs"], "EPSG:4326");
  EXPECT_EQ(layers[2]["source"]["crs"], "EPSG:4326");
}

TEST(ManualPages, EachCommandsPageListsEveryOptionItsHelpLists) {
  Sandbox s;
  const fs::path pages = fs::path(AREACLIP_BIN_DIR).parent_path() / "share/man/man1";
  for (const char* command : {"cut", "sheets", "info", "features", "new", "add", "convert", "render", "open"}) {
    SCOPED_TRACE(command);
    const std::string page = fixture::read_file(pages / (std::string("areaclip-") + command + ".1"));
    ASSERT_FALSE(page.empty());
    const CutResult help = s.run(std::string(command) + " --help");
    ASSERT_EQ(help.code, 0);
    // Every "--name" at the start of an options line of the help is on the page (as \-\-name).
    size_t options = 0;
    for (size_t at = help.out.find("\n  -"); at != std::string::npos; at = help.out.find("\n  -", at + 1)) {
      size_t start = help.out.find("--", at), end = help.out.find_first_of(" \n", start);
      std::string name;  // as the page writes it: every "-" as "\-"
      for (char c : help.out.substr(start, end - start)) name += c == '-' ? std::string("\\-") : std::string(1, c);
      EXPECT_TRUE(page.find(name + "\n") != std::string::npos || page.find(name + " \\fI") != std::string::npos) << name;
      ++options;
    }
    EXPECT_GE(options, 3u);
  }
  const std::string cut = fixture::read_file(pages / "areaclip-cut.1");
  for (const char* option : {"layer", "feature", "feature\\-id", "sheet", "all\\-sheets", "sheet\\-crs", "folder",
                             "json", "quiet", "help"})
    EXPECT_TRUE(cut.find(std::string("\\-\\-") + option + "\n") != std::string::npos ||
                cut.find(std::string("\\-\\-") + option + " \\fI") != std::string::npos)
        << option;
  EXPECT_NE(fixture::read_file(pages / "areaclip.1").find(".BR areaclip\\-cut (1)"), std::string::npos);
}

// COMPREPLY of the completion function for the words (the last one being completed), run
// in bash in the folder with the built script sourced.
std::vector<std::string> completions(const fs::path& folder, const std::vector<std::string>& words) {
  const fs::path script = fs::path(AREACLIP_BIN_DIR).parent_path() / "share/bash-completion/completions/areaclip";
  std::string line = "source " + bad_input::quoted(script.string()) + "; COMP_WORDS=(" + bad_input::quoted(std::string(AREACLIP_BIN_DIR) + "/areaclip");
  for (const std::string& w : words) line += " " + bad_input::quoted(w);
  line += "); COMP_CWORD=" + std::to_string(words.size()) + "; _areaclip; printf '%s\\n' \"${COMPREPLY[@]}\"";
  auto [code, out] = shell("cd " + bad_input::quoted(folder.string()) + " && bash -c " + bad_input::quoted(line));
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
    if (end > start) lines.push_back(out.substr(start, end - start));
  return lines;
}

TEST(BashCompletion, OffersCommandsOptionsLayersSheetsAndScales) {
  const fs::path examples = fs::path(AREACLIP_SOURCE_DIR) / "examples";
  using Words = std::vector<std::string>;
  EXPECT_EQ(completions(examples, {"fe"}), Words{"features"});
  EXPECT_EQ(completions(examples, {"cut", "map.mxd", "--all"}), Words{"--all-sheets"});
  // The polygon layers of the sample map, quoted for the shell where they hold spaces.
  const Words layers = completions(examples, {"cut", "map.mxd", "--layer", ""});
  EXPECT_EQ(layers, (Words{"Листы\\ карты", "Геология\\ \\(BASE\\)"}));
  EXPECT_EQ(completions(examples, {"features", "map.mxd", "--layer", "=", "Ли"}), Words{"Листы\\ карты"});
  EXPECT_EQ(completions(examples, {"features", "map.mxd", "--layer", "="}), layers);  // "--layer=" so far
  EXPECT_EQ(completions(examples, {"cut", "map.mxd", "--sheet", ""}), (Words{"N-35", "N-36", "M-35", "M-36"}));
  const Words finer = completions(examples, {"cut", "map.mxd", "--sheet", "M-36-1"});
  ASSERT_FALSE(finer.empty());
  for (const std::string& sheet : finer) EXPECT_EQ(sheet.rfind("M-36-1", 0), 0u) << sheet;
  const Words scales = completions(examples, {"sheets", "map.mxd", "--scale", "1:5"});
  EXPECT_EQ(scales, (Words{"1:500000", "1:50000", "1:5000"}));
  EXPECT_EQ(completions(examples, {"cut", "map.mxd", "--all-sheets", "1:20"}), (Words{"1:200000", "1:2000"}));
}

TEST(JsonWriter, StringsAlwaysMakeValidJson) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"plain", "\"plain\""},
      {"quote \" and \\", "\"quote \\\" and \\\\\""},
      {"line\nbreak\ttab\x01", "\"line\\nbreak\\ttab\\u0001\""},
      {"Листы", "\"Листы\""},
      {"bad \xFF byte", "\"bad \xEF\xBF\xBD byte\""},
      {"cut \xD0", "\"cut \xEF\xBF\xBD\""},                  // a sequence cut short at the end
      {"over\xC0\xAF", "\"over\xEF\xBF\xBD\xEF\xBF\xBD\""},  // an overlong "/"
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // a surrogate
  };
  for (const auto& c : cases) EXPECT_EQ(host::json_quoted(c.in), c.out) << c.in;
  host::JsonWriter json;
  json.begin_object().key("a").begin_array().number(1).real(0.5).null().end_array().key("b").boolean(true);
  json.key("c").begin_object().end_object().key("d").strings({"x", "y"}).end_object();
  EXPECT_EQ(json.text(), "{\"a\":[1,0.5,null],\"b\":true,\"c\":{},\"d\":[\"x\",\"y\"]}\n");
}

}  // namespace
