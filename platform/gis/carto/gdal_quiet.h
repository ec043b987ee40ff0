// GDAL data sets the map opens itself (a layer's source looked at, a raster drawn), and
// GDAL's errors kept quiet while it does.
#pragma once

#include <cpl_error.h>
#include <gdal_priv.h>

#include <memory>

namespace gis::carto {

struct GdalDatasetCloser {
  void operator()(GDALDataset* d) const { GDALClose(GDALDataset::ToHandle(d)); }
};
using GdalDatasetPtr = std::unique_ptr<GDALDataset, GdalDatasetCloser>;

// GDAL's errors on this thread are kept for the caller to read (CPLGetLastErrorMsg), not
// printed, while this lives.
class QuietGdalErrors {
 public:
  QuietGdalErrors() {
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
  }
  ~QuietGdalErrors() { CPLPopErrorHandler(); }
  QuietGdalErrors(const QuietGdalErrors&) = delete;
  QuietGdalErrors& operator=(const QuietGdalErrors&) = delete;
};

}  // namespace gis::carto
