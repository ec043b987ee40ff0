#include "gdal_support.h"

#include "buffered_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <mutex>

#include <win32/com_error.h>

namespace gis::core {

void gdal_init() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
}

std::string file_start(const std::string& path, size_t bytes, long long* size) {
  std::string start;
  if (size) *size = -1;
  if (path.rfind("/vsi", 0) == 0) {
    VSILFILE* f = VSIFOpenL(path.c_str(), "rb");
    if (!f) return "";
    start.resize(bytes);
    start.resize(VSIFReadL(start.data(), 1, bytes, f));
    if (size && VSIFSeekL(f, 0, SEEK_END) == 0) *size = static_cast<long long>(VSIFTellL(f));
    VSIFCloseL(f);
    return start;
  }
  // A file on disk read directly: this is looked at for every shapefile opened or written.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return "";
  // Room for the file as it is now and one byte more, not for `bytes` (a .prj is a few
  // hundred bytes where up to 64 KiB are asked for); the reading goes on past a file grown
  // since.
  struct stat st;
  const bool known = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (size && known) *size = static_cast<long long>(st.st_size);
  start.resize(known ? std::min(bytes, static_cast<size_t>(st.st_size) + 1) : bytes);
  size_t got = 0;
  while (got < bytes) {
    if (got == start.size()) start.resize(std::min(bytes, 2 * start.size() + 4096));
    const ssize_t n = ::pread(fd, start.data() + got, start.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  start.resize(got);
  return start;
}

bool in_memory(const std::string& path) { return path.rfind("/vsimem/", 0) == 0; }

std::string shapefile_part(const std::string& path, const char* ext) {
  namespace fs = std::filesystem;
  std::string upper = ext;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::error_code ec;
  for (const std::string& e : {std::string(ext), upper}) {
    std::string part = fs::path(path).replace_extension(e).string();
    VSIStatBufL st;
    if (in_memory(part) ? VSIStatL(part.c_str(), &st) == 0 : fs::exists(part, ec)) return part;
  }
  return "";
}

namespace {

// GDAL's message with the files it names as the user knows them.
std::string readable(const char* msg) {
  const std::string text = msg ? msg : "";
  const std::string buffered = buffered_path("/");
  std::string out;
  size_t from = 0;
  for (size_t at = text.find(buffered); at != std::string::npos; at = text.find(buffered, from)) {
    out.append(text, from, at - from).push_back('/');
    from = at + buffered.size();
  }
  return out.append(text, from, std::string::npos);
}

}  // namespace

GdalErrorScope::GdalErrorScope() {
  CPLErrorReset();
  CPLPushErrorHandlerEx(handler, this);
}

GdalErrorScope::~GdalErrorScope() { CPLPopErrorHandler(); }

void CPL_STDCALL GdalErrorScope::handler(CPLErr level, CPLErrorNum, const char* msg) {
  auto* self = static_cast<GdalErrorScope*>(CPLGetErrorHandlerUserData());
  if (!self) return;
  if (level >= CE_Failure) {
    if (self->failure_.empty()) self->failure_ = readable(msg);
  } else if (level == CE_Warning) {
    if (self->warning_.empty()) self->warning_ = readable(msg);
  }
}

void GdalErrorScope::fail(long hr, const std::string& what) const {
  std::string msg = failure_;
  if (msg.empty()) msg = readable(CPLGetLastErrorMsg());
  win32::throw_hr(static_cast<HRESULT>(hr), msg.empty() ? what : what + ": " + msg);
}

namespace {

// True for a shapefile whose text encoding nothing declares: no .cpg beside it (or a blank
// one) and no language driver id in its .dbf header (byte 29). GDAL would pass such text on
// undecoded.
bool undeclared_shapefile_encoding(const std::string& path) {
  const std::string ext = std::filesystem::path(path).extension().string();
  if (!EQUAL(ext.c_str(), ".shp") && !EQUAL(ext.c_str(), ".dbf")) return false;
  const std::string cpg = shapefile_part(path, ".cpg");
  if (!cpg.empty() && file_start(cpg, 64).find_first_not_of(" \t\r\n") != std::string::npos) return false;
  const std::string dbf = shapefile_part(path, ".dbf");
  const std::string header = dbf.empty() ? std::string() : file_start(dbf, 32);
  return header.size() == 32 && header[29] == 0;
}

}  // namespace

DatasetPtr open_vector(const std::string& path, bool update) {
  gdal_init();
  GdalErrorScope errors;
  unsigned flags = GDAL_OF_VECTOR | (update ? GDAL_OF_UPDATE : GDAL_OF_READONLY);
  // The system's shapefiles without a declared encoding are written in Windows-1251.
  const char* const cp1251[] = {"ENCODING=CP1251", nullptr};
  const char* const* options = !update && undeclared_shapefile_encoding(path) ? cp1251 : nullptr;
  // A .shp is the shapefile driver's alone: the other drivers need not be asked first.
  const char* const shapefile_driver[] = {"ESRI Shapefile", nullptr};
  const std::string ext = std::filesystem::path(path).extension().string();
  const char* const* drivers = EQUAL(ext.c_str(), ".shp") ? shapefile_driver : nullptr;
  GDALDataset* d = GDALDataset::Open(buffered_path(path).c_str(), flags, drivers, options, nullptr);
  if (!d) {
    // GDAL is silent when no driver takes the file; say which of the usual reasons it is.
    std::error_code ec;
    if (!errors.failure().empty()) errors.fail(E_FAIL, "cannot open " + path);
    win32::throw_hr(E_FAIL, "cannot open " + path +
                                (std::filesystem::exists(path, ec) ? ": not a vector data source that GDAL reads"
                                                                   : ": the file does not exist"));
  }
  return DatasetPtr(d);
}

}  // namespace gis::core
