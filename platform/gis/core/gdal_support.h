// GDAL/OGR use inside the core: one-time driver registration, a quiet per-thread error
// scope that turns GDAL's error state into ComError, and owning pointers.
#pragma once

#include <cpl_conv.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <memory>
#include <string>

namespace gis::core {

// Registers GDAL's drivers once per process.
void gdal_init();

// While alive, GDAL takes the creation options handed to it on this thread as they are,
// for options written in the code: checking them against a driver's list parses that
// list's XML for every dataset and layer made.
class FixedCreationOptions {
 public:
  FixedCreationOptions() : unchecked_("GDAL_VALIDATE_CREATION_OPTIONS", "NO", false) {}

 private:
  CPLConfigOptionSetter unchecked_;
};

// While alive, GDAL errors and warnings on this thread are recorded instead of printed.
class GdalErrorScope {
 public:
  GdalErrorScope();
  ~GdalErrorScope();
  GdalErrorScope(const GdalErrorScope&) = delete;
  GdalErrorScope& operator=(const GdalErrorScope&) = delete;

  // First failure (CE_Failure or worse) recorded, "" when none.
  const std::string& failure() const { return failure_; }
  // First warning recorded, "" when none.
  const std::string& warning() const { return warning_; }
  // Throws ComError(hr) naming what with the recorded failure (or the last error message).
  [[noreturn]] void fail(long hr, const std::string& what) const;

 private:
  static void CPL_STDCALL handler(CPLErr level, CPLErrorNum, const char* msg);
  std::string failure_;
  std::string warning_;
};

// Closes quietly: a close has no one to report to (a write that failed then is remembered
// by the file; see buffered_files.h).
struct DatasetCloser {
  void operator()(GDALDataset* d) const {
    CPLPushErrorHandler(CPLQuietErrorHandler);
    GDALClose(GDALDataset::ToHandle(d));
    CPLPopErrorHandler();
  }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

// Options of GDALDriver::Create for a file known not to be there: GDAL then skips opening
// and deleting whatever is at that name first.
inline const char* const kCreateAnew[] = {"APPEND_SUBDATASET=YES", nullptr};

// The first `bytes` bytes of the file at `path`, "" when it cannot be read; with `size`, also
// the file's length (-1 when it cannot be read).
std::string file_start(const std::string& path, size_t bytes, long long* size = nullptr);

// The file beside the shapefile `path` with extension `ext` (".dbf"), in lower or else
// upper case; "" when there is none.
std::string shapefile_part(const std::string& path, const char* ext);
// True for a path of GDAL's files in memory (/vsimem/).
bool in_memory(const std::string& path);

// Opens a vector source read-only (or for update); throws ComError with GDAL's message.
// A shapefile opened read-only with neither a .cpg nor a language driver id in its .dbf has
// its text read as Windows-1251.
DatasetPtr open_vector(const std::string& path, bool update);

}  // namespace gis::core
