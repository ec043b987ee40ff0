#include "bad_input_sandbox.h"

#include <ogr_srs_api.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace bad_input {

namespace {

const std::string kProgram = std::string(AREACLIP_BIN_DIR) + "/areaclip";

// One registry for every run of the test program: the module is registered once.
const fs::path& registry() {
  static testing_support::TempDir dir;
  static const fs::path path = dir.path() / "registry.txt";
  return path;
}

std::string read_all(FILE* pipe) {
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  return text;
}

void write_bytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace

std::string at(double x, double y) { return std::to_string(500000 + x) + " " + std::to_string(6000000 + y); }

std::string square(double x0, double y0, double x1, double y1) {
  return "POLYGON ((" + at(x0, y0) + "," + at(x0, y1) + "," + at(x1, y1) + "," + at(x1, y0) + "," + at(x0, y0) +
         "))";
}

std::string line(const std::vector<std::pair<double, double>>& points) {
  std::string s = "LINESTRING (";
  for (size_t i = 0; i < points.size(); ++i) s += (i ? "," : "") + at(points[i].first, points[i].second);
  return s + ")";
}

std::string quoted(const std::string& text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

void write_features(const fs::path& path, const LayerSchema& schema, int count,
                    const std::function<void(int, OGRFeatureH)>& fill) {
  GDALAllRegister();
  const std::string ext = path.extension().string();
  const char* driver_name = ext == ".geojson" ? "GeoJSON" : ext == ".gpkg" ? "GPKG" : "ESRI Shapefile";
  fs::create_directories(path.parent_path());
  GDALDatasetH ds = GDALCreate(GDALGetDriverByName(driver_name), path.string().c_str(), 0, 0, 0, GDT_Unknown, nullptr);
  if (!ds) throw std::runtime_error("cannot create " + path.string());
  OGRSpatialReferenceH srs = nullptr;
  if (schema.epsg) {
    srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, schema.epsg);
    OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
  }
  const std::string encoding = "ENCODING=" + schema.encoding;
  const char* options[] = {encoding.c_str(), nullptr};
  OGRLayerH layer = GDALDatasetCreateLayer(ds, path.stem().string().c_str(), srs, schema.type,
                                           ext == ".shp" ? const_cast<char**>(options) : nullptr);
  if (!layer) throw std::runtime_error("cannot create a layer in " + path.string());
  for (const fixture::Field& f : schema.fields) {
    OGRFieldDefnH d = OGR_Fld_Create(f.name.c_str(), f.type);
    if (f.width) OGR_Fld_SetWidth(d, f.width);
    if (f.precision) OGR_Fld_SetPrecision(d, f.precision);
    OGR_L_CreateField(layer, d, TRUE);
    OGR_Fld_Destroy(d);
  }
  for (int i = 0; i < count; ++i) {
    OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    fill(i, f);
    if (OGRGeometryH g = OGR_F_GetGeometryRef(f)) OGR_G_AssignSpatialReference(g, srs);
    if (OGR_L_CreateFeature(layer, f) != OGRERR_NONE) throw std::runtime_error("cannot write to " + path.string());
    OGR_F_Destroy(f);
  }
  if (srs) OSRDestroySpatialReference(srs);
  GDALClose(ds);
  // GDAL leaves an empty .cpg when told of no encoding.
  if (ext == ".shp" && schema.encoding.empty()) fs::remove(fs::path(path).replace_extension(".cpg"));
}

void write_wkt(const fs::path& path, const LayerSchema& schema, const std::vector<fixture::Feature>& features) {
  write_features(path, schema, static_cast<int>(features.size()), [&](int i, OGRFeatureH f) {
    const fixture::Feature& feature = features[static_cast<size_t>(i)];
    for (size_t k = 0; k < feature.values.size(); ++k)
      if (!feature.values[k].empty()) OGR_F_SetFieldString(f, static_cast<int>(k), feature.values[k].c_str());
    if (feature.wkt.empty()) return;
    OGRGeometryH g = nullptr;
    char* text = const_cast<char*>(feature.wkt.c_str());
    if (OGR_G_CreateFromWkt(&text, nullptr, &g) != OGRERR_NONE) throw std::runtime_error("bad WKT " + feature.wkt);
    OGR_F_SetGeometryDirectly(f, g);
  });
}

std::string feature_layer(const std::string& name, const std::string& source, const std::string& display_field) {
  std::string j = "{\"type\": \"feature\", \"name\": \"" + name + "\", \"visible\": true, \"source\": {\"path\": \"" +
                  source + "\", \"layer\": null}";
  if (!display_field.empty()) j += ", \"display_field\": \"" + display_field + "\"";
  return j + ", \"renderer\": {\"type\": \"simple\", \"symbol\": {\"type\": \"line\", \"color\": \"#202020\"}}}";
}

void truncate_file(const fs::path& path, uintmax_t size) { fs::resize_file(path, size); }

void set_byte(const fs::path& path, size_t offset, unsigned char value) {
  std::string bytes = fixture::read_file(path);
  bytes.at(offset) = static_cast<char>(value);
  write_bytes(path, bytes);
}

int replace_double(const fs::path& path, double from, double to) {
  std::string bytes = fixture::read_file(path);
  char a[8], b[8];
  std::memcpy(a, &from, 8);
  std::memcpy(b, &to, 8);
  int n = 0;
  for (size_t at = bytes.find(std::string(a, 8)); at != std::string::npos; at = bytes.find(std::string(a, 8), at + 8)) {
    bytes.replace(at, 8, b, 8);
    ++n;
  }
  write_bytes(path, bytes);
  return n;
}

void set_dbf_record_count(const fs::path& dbf, int records) {
  std::string bytes = fixture::read_file(dbf);
  const uint32_t old_count = static_cast<unsigned char>(bytes[4]) | static_cast<unsigned char>(bytes[5]) << 8 |
                             static_cast<unsigned char>(bytes[6]) << 16 |
                             static_cast<uint32_t>(static_cast<unsigned char>(bytes[7])) << 24;
  const size_t header = static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8;
  const size_t record = static_cast<unsigned char>(bytes[10]) | static_cast<unsigned char>(bytes[11]) << 8;
  std::string body = bytes.substr(header, old_count * record);
  body.resize(static_cast<size_t>(records) * record, ' ');
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>((static_cast<uint32_t>(records) >> (8 * i)) & 0xFF);
  write_bytes(dbf, bytes.substr(0, header) + body + "\x1A");
}

std::map<std::string, std::string> files_under(const fs::path& folder) {
  std::map<std::string, std::string> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file()) files[fs::relative(it->path(), folder).string()] = fixture::read_file(it->path());
  }
  return files;
}

Sandbox::Sandbox() = default;

void Sandbox::write_sheets(int epsg) {
  LayerSchema schema;
  schema.epsg = epsg;
  schema.fields = {{"NAME", OFTString, 10}};
  write_wkt(data() / "sheets.shp", schema,
            {{square(0, 0, 1000, 1000), {"A"}}, {square(5000, 5000, 6000, 6000), {"B"}}});
}

void Sandbox::write_document(const std::vector<std::string>& layers, const fs::path& path,
                             const std::string& spatial_reference, const std::string& extra_keys) {
  std::string text = "{\"format\": \"areaclip-map\", \"version\": 1, \"focus_map\": 0," + extra_keys +
                     " \"maps\": [{\"name\": \"Карта\", \"spatial_reference\": " + spatial_reference +
                     ", \"layers\": [" + feature_layer("Листы", "data/sheets.shp", "NAME");
  for (const std::string& layer : layers) text += ", " + layer;
  text += "], \"graphics\": {\"elements\": []}}]}\n";
  const fs::path target = path.empty() ? document() : path;
  fs::create_directories(target.parent_path());
  write_bytes(target, text);
}

CutResult Sandbox::cut(const std::string& options, const fs::path& folder, const fs::path& document,
                 const std::string& shell_prefix) const {
  testing_support::TempDir logs;
  const fs::path err = logs.path() / "stderr.txt";
  const std::string command =
      "cd " + quoted(root().string()) + " && " + shell_prefix + " AREACLIP_REGISTRY=" + quoted(registry().string()) +
      " timeout -s KILL 60 " + kProgram + " cut " + quoted((document.empty() ? this->document() : document).string()) +
      " " + options + " --folder " + quoted((folder.empty() ? out() : folder).string()) + " 2>" +
      quoted(err.string());
  CutResult run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + command);
  run.out = read_all(pipe);
  const int status = pclose(pipe);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.err = fixture::read_file(err);
  return run;
}

CutResult Sandbox::run(const std::string& arguments) const {
  testing_support::TempDir logs;
  const fs::path err = logs.path() / "stderr.txt";
  const std::string command = "cd " + quoted(root().string()) + " && AREACLIP_REGISTRY=" + quoted(registry().string()) +
                              " timeout -s KILL 60 " + kProgram + " " + arguments + " 2>" + quoted(err.string());
  CutResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + command);
  result.out = read_all(pipe);
  const int status = pclose(pipe);
  result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.err = fixture::read_file(err);
  return result;
}

CutResult Sandbox::cut_interrupted(const std::vector<std::string>& args, const fs::path& folder, int signal_number,
                                   const std::string& after_output) const {
  bool sent = false;
  CutResult run = cut_watched(args, folder, [&](pid_t pid, const std::string& out) {
    if (!sent && out.find(after_output) != std::string::npos) {
      kill(pid, signal_number);
      sent = true;
    }
  });
  if (!sent) run.err += "\n(test: the signal was never sent)";
  return run;
}

CutResult Sandbox::cut_watched(const std::vector<std::string>& args, const fs::path& folder,
                               const std::function<void(pid_t pid, const std::string& out)>& watch,
                               int minutes) const {
  testing_support::TempDir logs;
  const fs::path err = logs.path() / "stderr.txt";
  std::vector<std::string> argv_text = {kProgram, "cut", document().string()};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  argv_text.push_back("--folder");
  argv_text.push_back(folder.string());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string registry_setting = "AREACLIP_REGISTRY=" + registry().string();

  int out_pipe[2];
  if (pipe(out_pipe) != 0) throw std::runtime_error("pipe");
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    dup2(out_pipe[1], STDOUT_FILENO);
    close(out_pipe[0]);
    close(out_pipe[1]);
    const int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err_fd >= 0) dup2(err_fd, STDERR_FILENO);
    if (chdir(root().c_str()) != 0) _exit(127);
    putenv(const_cast<char*>(registry_setting.c_str()));
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  CutResult run;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(minutes);
  for (;;) {
    struct pollfd p = {out_pipe[0], POLLIN, 0};
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      break;
    }
    if (poll(&p, 1, 200) <= 0) {
      watch(pid, run.out);
      continue;
    }
    char buffer[4096];
    const ssize_t n = read(out_pipe[0], buffer, sizeof buffer);
    if (n <= 0) break;
    run.out.append(buffer, static_cast<size_t>(n));
    watch(pid, run.out);
  }
  close(out_pipe[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? -WTERMSIG(status) : -1000;
  run.err = fixture::read_file(err);
  return run;
}

void copy_sample(const Sandbox& box) {
  const fs::path kSample = fs::path(AREACLIP_SOURCE_DIR) / "examples";
  fs::copy_file(kSample / "map.mxd", box.document(), fs::copy_options::overwrite_existing);
  fs::create_directories(box.data());
  fs::copy(kSample / "data", box.data(), fs::copy_options::overwrite_existing | fs::copy_options::recursive);
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

}  // namespace bad_input
