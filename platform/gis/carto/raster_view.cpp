#include "raster_view.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <memory>
#include <mutex>

#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include "gdal_quiet.h"
#include "gis/core.h"

namespace gis::carto {

namespace {

std::string last_error() {
  const char* message = CPLGetLastErrorMsg();
  return message && *message ? std::string(": ") + message : std::string();
}

void register_drivers() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
}

GdalDatasetPtr open_raster(const std::string& path, std::string* problem) {
  register_drivers();
  if (path.empty()) {
    *problem = "it names no file";
    return nullptr;
  }
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    *problem = "its file " + path + " is missing";
    return nullptr;
  }
  GdalDatasetPtr d(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
  if (!d) *problem = "GDAL cannot read its file " + path + last_error();
  else if (d->GetRasterCount() == 0) *problem = "its file " + path + " holds no bands";
  if (!problem->empty()) d.reset();
  return d;
}

// Why the raster cannot be drawn in the map's system; "" when it can (the same system, or
// either of them names none).
std::string system_problem(GDALDataset& d, ISpatialReference* map_system) {
  const OGRSpatialReference* own = d.GetSpatialRef();
  const std::string text = SpatialReferenceToText(map_system);
  if (!own || own->IsEmpty() || text.empty()) return "";
  OGRSpatialReference map;
  map.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  if (map.SetFromUserInput(text.c_str()) != OGRERR_NONE) return "";
  const char* options[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES", nullptr};
  if (own->IsSame(&map, options)) return "";
  return "its coordinate system differs from the map's, and rasters are not reprojected";
}

// The raster's geotransform when it is north up and not rotated.
std::string geotransform(GDALDataset& d, double gt[6]) {
  if (d.GetGeoTransform(gt) != CE_None) return "it is not georeferenced";
  if (gt[2] != 0 || gt[4] != 0 || !(gt[1] > 0) || !(gt[5] < 0)) return "it is rotated or not north up";
  return "";
}

std::uint32_t argb(unsigned a, unsigned r, unsigned g, unsigned b) { return a << 24 | r << 16 | g << 8 | b; }

unsigned byte_of(double v) { return static_cast<unsigned>(std::clamp(std::lround(v), 0L, 255L)); }

// A band's values in a window, one a pixel of the buffer.
struct Window {
  int x_off, y_off, x_size, y_size;
  GDALRasterIOExtraArg extra;
  int width, height;
};

bool read_band(GDALRasterBand* band, Window& w, std::vector<double>& values) {
  values.assign(static_cast<size_t>(w.width) * w.height, 0);
  return band->RasterIO(GF_Read, w.x_off, w.y_off, w.x_size, w.y_size, values.data(), w.width, w.height,
                        GDT_Float64, 0, 0, &w.extra) == CE_None;
}

// The values a band's grey or colours are stretched between: what the file records, else
// computed (approximately, from an overview where there is one); false when none.
bool band_range(GDALRasterBand* band, double range[2]) {
  int has_min = 0, has_max = 0;
  range[0] = band->GetMinimum(&has_min);
  range[1] = band->GetMaximum(&has_max);
  if (has_min && has_max && range[0] < range[1]) return true;
  return band->ComputeRasterMinMax(TRUE, range) == CE_None;
}

struct NoData {
  bool has = false;
  double value = 0;
  explicit NoData(GDALRasterBand* band) {
    int ok = 0;
    value = band->GetNoDataValue(&ok);
    has = ok != 0;
  }
  bool is(double v) const { return std::isnan(v) || (has && (v == value || (std::isnan(value) && std::isnan(v)))); }
};

std::string colour_grey(GDALRasterBand* band, Window& w, RasterPicture* out) {
  std::vector<double> v;
  if (!read_band(band, w, v)) return "its values cannot be read" + last_error();
  const NoData nodata(band);
  double range[2] = {0, 255};
  if (!band_range(band, range)) {
    range[0] = HUGE_VAL, range[1] = -HUGE_VAL;
    for (double x : v)
      if (!nodata.is(x)) range[0] = std::min(range[0], x), range[1] = std::max(range[1], x);
  }
  const double span = range[1] > range[0] ? range[1] - range[0] : 1;
  for (size_t i = 0; i < v.size(); ++i) {
    if (nodata.is(v[i])) continue;
    const unsigned g = byte_of((v[i] - range[0]) / span * 255);
    out->argb[i] = argb(255, g, g, g);
  }
  return "";
}

std::string colour_palette(GDALRasterBand* band, const GDALColorTable& table, Window& w, RasterPicture* out) {
  std::vector<double> v;
  if (!read_band(band, w, v)) return "its values cannot be read" + last_error();
  const NoData nodata(band);
  const int entries = table.GetColorEntryCount();
  const bool rgb = table.GetPaletteInterpretation() == GPI_RGB || table.GetPaletteInterpretation() == GPI_Gray;
  for (size_t i = 0; i < v.size(); ++i) {
    if (nodata.is(v[i]) || v[i] < 0 || v[i] >= entries) continue;
    const GDALColorEntry* e = table.GetColorEntry(static_cast<int>(v[i]));
    if (!e) continue;
    if (table.GetPaletteInterpretation() == GPI_Gray)
      out->argb[i] = argb(255, e->c1, e->c1, e->c1);
    else if (rgb)
      out->argb[i] = argb(e->c4, e->c1, e->c2, e->c3);
  }
  return "";
}

std::string colour_rgb(GDALDataset& d, Window& w, RasterPicture* out) {
  std::vector<double> v[3];
  std::vector<bool> blank(out->argb.size(), true);
  unsigned* channel[3] = {};
  std::vector<unsigned> c[3];
  for (int b = 0; b < 3; ++b) {
    GDALRasterBand* band = d.GetRasterBand(b + 1);
    if (!read_band(band, w, v[b])) return "its values cannot be read" + last_error();
    const NoData nodata(band);
    double range[2] = {0, 255};
    const bool stretch = band->GetRasterDataType() != GDT_Byte && band_range(band, range);
    const double span = range[1] > range[0] ? range[1] - range[0] : 1;
    c[b].resize(v[b].size());
    for (size_t i = 0; i < v[b].size(); ++i) {
      if (!nodata.is(v[b][i])) blank[i] = false;
      c[b][i] = byte_of(stretch ? (v[b][i] - range[0]) / span * 255 : v[b][i]);
    }
    channel[b] = c[b].data();
  }
  std::vector<double> alpha;
  GDALRasterBand* alpha_band = d.GetRasterCount() >= 4 ? d.GetRasterBand(4) : nullptr;
  if (alpha_band && alpha_band->GetColorInterpretation() == GCI_AlphaBand) {
    if (!read_band(alpha_band, w, alpha)) return "its values cannot be read" + last_error();
  }
  for (size_t i = 0; i < out->argb.size(); ++i) {
    if (blank[i]) continue;  // nodata in every band
    const unsigned a = alpha.empty() ? 255 : byte_of(alpha[i]);
    out->argb[i] = argb(a, channel[0][i], channel[1][i], channel[2][i]);
  }
  return "";
}

}  // namespace

std::string read_raster_view(const std::string& path, ISpatialReference* map_system, const ViewPixels& view,
                             RasterPicture* out) {
  *out = RasterPicture();
  QuietGdalErrors quiet;
  std::string problem;
  GdalDatasetPtr d = open_raster(path, &problem);
  if (!d) return problem;
  double gt[6];
  if (problem = system_problem(*d, map_system); !problem.empty()) return problem;
  if (problem = geotransform(*d, gt); !problem.empty()) return problem;
  const int columns = d->GetRasterXSize(), rows = d->GetRasterYSize();

  // The raster's rectangle in the view's pixels, and the part of it the view shows.
  auto px = [&](double x) { return view.x0 + (x - view.view.xmin) * view.scale; };
  auto py = [&](double y) { return view.y0 + (view.view.ymax - y) * view.scale; };
  const double left = std::max(px(gt[0]), view.x0), right = std::min(px(gt[0] + gt[1] * columns), view.x0 + view.width);
  const double top = std::max(py(gt[3]), view.y0), bottom = std::min(py(gt[3] + gt[5] * rows), view.y0 + view.height);
  if (!(right > left && bottom > top)) return "";
  // Whole pixels of the view, and the window of the raster under them.
  const int c0 = static_cast<int>(std::lround(left)), r0 = static_cast<int>(std::lround(top));
  const int c1 = std::max(static_cast<int>(std::lround(right)), c0 + 1);
  const int r1 = std::max(static_cast<int>(std::lround(bottom)), r0 + 1);
  auto column = [&](double pixel) {
    const double x = view.view.xmin + (pixel - view.x0) / view.scale;
    return std::clamp((x - gt[0]) / gt[1], 0.0, static_cast<double>(columns));
  };
  auto row = [&](double pixel) {
    const double y = view.view.ymax - (pixel - view.y0) / view.scale;
    return std::clamp((y - gt[3]) / gt[5], 0.0, static_cast<double>(rows));
  };
  const double sx0 = column(c0), sx1 = std::max(column(c1), sx0 + 1e-9);
  const double sy0 = row(r0), sy1 = std::max(row(r1), sy0 + 1e-9);
  Window w;
  INIT_RASTERIO_EXTRA_ARG(w.extra);
  w.extra.bFloatingPointWindowValidity = TRUE;
  w.extra.dfXOff = sx0, w.extra.dfYOff = sy0;
  w.extra.dfXSize = std::min(sx1, static_cast<double>(columns)) - sx0;
  w.extra.dfYSize = std::min(sy1, static_cast<double>(rows)) - sy0;
  w.x_off = std::min(static_cast<int>(std::floor(sx0)), columns - 1);
  w.y_off = std::min(static_cast<int>(std::floor(sy0)), rows - 1);
  w.x_size = std::clamp(static_cast<int>(std::ceil(sx0 + w.extra.dfXSize)) - w.x_off, 1, columns - w.x_off);
  w.y_size = std::clamp(static_cast<int>(std::ceil(sy0 + w.extra.dfYSize)) - w.y_off, 1, rows - w.y_off);
  w.width = c1 - c0, w.height = r1 - r0;

  out->x = c0, out->y = r0, out->width = w.width, out->height = w.height;
  out->argb.assign(static_cast<size_t>(w.width) * w.height, 0);
  GDALRasterBand* first = d->GetRasterBand(1);
  if (d->GetRasterCount() >= 3 && first->GetColorTable() == nullptr)
    problem = colour_rgb(*d, w, out);
  else if (const GDALColorTable* table = first->GetColorTable())
    problem = colour_palette(first, *table, w, out);
  else
    problem = colour_grey(first, w, out);
  if (!problem.empty()) *out = RasterPicture();
  return problem;
}

Bounds raster_bounds(const std::string& path, ISpatialReference* map_system) {
  QuietGdalErrors quiet;
  std::string problem;
  GdalDatasetPtr d = open_raster(path, &problem);
  double gt[6];
  if (!d || !system_problem(*d, map_system).empty() || !geotransform(*d, gt).empty()) return {};
  Bounds b;
  b.add(gt[0], gt[3]);
  b.add(gt[0] + gt[1] * d->GetRasterXSize(), gt[3] + gt[5] * d->GetRasterYSize());
  return b;
}

std::string png_of(const RasterPicture& picture) {
  if (picture.width <= 0 || picture.height <= 0) return "";
  register_drivers();
  QuietGdalErrors quiet;
  GDALDriver* mem_driver = GetGDALDriverManager()->GetDriverByName("MEM");
  GDALDriver* png_driver = GetGDALDriverManager()->GetDriverByName("PNG");
  if (!mem_driver || !png_driver) return "";
  GdalDatasetPtr mem(mem_driver->Create("", picture.width, picture.height, 4, GDT_Byte, nullptr));
  if (!mem) return "";
  std::vector<GByte> channel(picture.argb.size());
  for (int b = 0; b < 4; ++b) {
    const int shift = b == 3 ? 24 : 16 - 8 * b;  // red, green, blue, alpha
    for (size_t i = 0; i < channel.size(); ++i) channel[i] = static_cast<GByte>(picture.argb[i] >> shift);
    if (mem->GetRasterBand(b + 1)->RasterIO(GF_Write, 0, 0, picture.width, picture.height, channel.data(),
                                            picture.width, picture.height, GDT_Byte, 0, 0, nullptr) != CE_None)
      return "";
  }
  static std::atomic<unsigned long> counter{0};
  const std::string name = "/vsimem/areaclip_raster_" + std::to_string(++counter) + ".png";
  GdalDatasetPtr png(png_driver->CreateCopy(name.c_str(), mem.get(), FALSE, nullptr, nullptr, nullptr));
  png.reset();
  std::string bytes;
  vsi_l_offset length = 0;
  if (GByte* data = VSIGetMemFileBuffer(name.c_str(), &length, TRUE)) {
    bytes.assign(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
    VSIFree(data);
  }
  VSIUnlink(name.c_str());
  return bytes;
}

std::string raster_key(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  const auto changed = std::filesystem::last_write_time(path, ec);
  return path + "\n" + std::to_string(ec ? 0 : size) + " " +
         std::to_string(ec ? 0 : changed.time_since_epoch().count()) + "\n";
}

}  // namespace gis::carto
