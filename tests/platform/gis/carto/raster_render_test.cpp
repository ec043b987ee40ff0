// Raster layers drawn: small GeoTIFFs written with GDAL, drawn into a view and through the
// map picture (its embedded PNG read back with GDAL), the pixels checked.
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <cpl_vsi.h>

#include "carto_test.h"
#include "gis/render.h"

namespace carto_test {
namespace {

// The pictures a drawing hands it, laid on a transparent view.
class PixelPainter : public gis::MapPainter {
 public:
  PixelPainter(int width, int height) : width(width), height(height), argb(size_t(width) * height, 0) {}
  void Shape(const gis::Look&, int, const std::vector<double>&, const std::vector<int>&) override { ++shapes; }
  void Marker(const gis::Look&, double, double) override { ++shapes; }
  void Text(const gis::Look&, double, double, const std::string&) override {}
  void Image(int x, int y, int w, int h, const std::vector<std::uint32_t>& pixels) override {
    ++images;
    ASSERT_EQ(pixels.size(), size_t(w) * h);
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < w; ++c)
        if (x + c >= 0 && x + c < width && y + r >= 0 && y + r < height)
          argb[size_t(y + r) * width + x + c] = pixels[size_t(r) * w + c];
  }
  std::uint32_t at(int x, int y) const { return argb[size_t(y) * width + x]; }
  int width, height;
  std::vector<std::uint32_t> argb;
  int images = 0, shapes = 0;
};

struct DatasetCloser {
  void operator()(GDALDataset* d) const { GDALClose(d); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

// A GeoTIFF of 4 × 4 cells of one map unit from (0, 0) to (4, 4), in `system` when given;
// cell (column c, row r from the top) holds values[r * 4 + c] in each band.
void write_tiff(const std::filesystem::path& file, GDALDataType type, int bands, const std::vector<double>& values,
                const char* system = nullptr, const double* nodata = nullptr, const GDALColorTable* table = nullptr) {
  GDALAllRegister();
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
  ASSERT_TRUE(driver);
  DatasetPtr d(driver->Create(file.string().c_str(), 4, 4, bands, type, nullptr));
  ASSERT_TRUE(d);
  double gt[6] = {0, 1, 0, 4, 0, -1};
  d->SetGeoTransform(gt);
  if (system) {
    OGRSpatialReference srs;
    srs.SetFromUserInput(system);
    d->SetSpatialRef(&srs);
  }
  for (int b = 1; b <= bands; ++b) {
    GDALRasterBand* band = d->GetRasterBand(b);
    std::vector<double> v = values;
    ASSERT_EQ(band->RasterIO(GF_Write, 0, 0, 4, 4, v.data(), 4, 4, GDT_Float64, 0, 0, nullptr), CE_None);
    if (nodata) band->SetNoDataValue(*nodata);
    if (table) band->SetColorTable(const_cast<GDALColorTable*>(table));
  }
}

Json raster_layer(const std::string& name, const std::string& file) {
  return {{"type", "raster"}, {"name", name}, {"visible", true}, {"source", {{"path", file}}}};
}

constexpr std::uint32_t argb(unsigned a, unsigned r, unsigned g, unsigned b) { return a << 24 | r << 16 | g << 8 | b; }

class RasterRenderTest : public CartoTest {
 protected:
  // The map's one view: (0, 0) to (4, 4) on 40 × 40 pixels, ten pixels a cell.
  ComPtr<IMxDocument> raster_map(Json layers, const char* system = nullptr) {
    Json map = map_json("Карта", std::move(layers));
    map["extent"] = {0, 0, 4, 4};
    if (system) map["spatial_reference"] = system;
    return load(document_json({map}));
  }
  static PixelPainter draw(IMxDocument* doc, std::vector<std::string>* warnings) {
    PixelPainter painter(40, 40);
    EXPECT_TRUE(gis::DrawFocusMap(doc, {0, 0, 4, 4, 40, 40}, painter, warnings));
    return painter;
  }
  // The middle pixel of a cell of the raster.
  static std::uint32_t cell(const PixelPainter& p, int column, int row) { return p.at(column * 10 + 5, row * 10 + 5); }
};

// One band in grey between its least and greatest value (0 black, 150 white), nodata left
// transparent; the same band through a colour table, its nodata index transparent too.
TEST_F(RasterRenderTest, GreyAndPalettedBandsAreColouredAndNodataIsTransparent) {
  const double nodata = 255;
  write_tiff(path("grey.tif"), GDT_Byte, 1,
             {0, 50, 100, 150, 150, 100, 50, 0, 255, 255, 0, 0, 150, 150, 150, 150}, "EPSG:4326", &nodata);
  GDALColorTable table;
  const GDALColorEntry red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255};
  table.SetColorEntry(0, &red);
  table.SetColorEntry(1, &green);
  table.SetColorEntry(2, &blue);
  const double palette_nodata = 2;
  write_tiff(path("palette.tif"), GDT_Byte, 1, {0, 1, 2, 0, 1, 1, 1, 1, 0, 0, 0, 0, 2, 2, 2, 2}, nullptr,
             &palette_nodata, &table);
  {
    SCOPED_TRACE("grey");
    auto doc = raster_map(json_list({raster_layer("Серый", "grey.tif")}), "EPSG:4326");
    ASSERT_TRUE(doc);
    std::vector<std::string> warnings;
    const PixelPainter p = draw(doc.get(), &warnings);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    EXPECT_EQ(p.images, 1);
    EXPECT_EQ(cell(p, 0, 0), argb(255, 0, 0, 0));
    EXPECT_EQ(cell(p, 1, 0), argb(255, 85, 85, 85));
    EXPECT_EQ(cell(p, 3, 0), argb(255, 255, 255, 255));
    EXPECT_EQ(cell(p, 0, 2), 0u);  // nodata
    EXPECT_EQ(cell(p, 1, 2), 0u);
    EXPECT_EQ(cell(p, 2, 2), argb(255, 0, 0, 0));
    EXPECT_EQ(p.at(0, 0), argb(255, 0, 0, 0));  // the corners fill the view
    EXPECT_EQ(p.at(39, 39), argb(255, 255, 255, 255));
  }
  {
    SCOPED_TRACE("palette");
    auto doc = raster_map(json_list({raster_layer("Палитра", "palette.tif")}));
    ASSERT_TRUE(doc);
    std::vector<std::string> warnings;
    const PixelPainter p = draw(doc.get(), &warnings);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    EXPECT_EQ(cell(p, 0, 0), argb(255, 255, 0, 0));
    EXPECT_EQ(cell(p, 1, 0), argb(255, 0, 255, 0));
    EXPECT_EQ(cell(p, 2, 0), 0u);  // index 2 is nodata
    EXPECT_EQ(cell(p, 3, 3), 0u);
    EXPECT_EQ(cell(p, 3, 1), argb(255, 0, 255, 0));
  }
}

// Three bands as red, green and blue; a view of part of the raster reads only that part, at
// the view's pixels; a view beside it draws nothing.
TEST_F(RasterRenderTest, ThreeBandsAreRgbAndAViewShowsItsPartOnly) {
  write_tiff(path("rgb.tif"), GDT_Byte, 3, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150, 160});
  auto doc = raster_map(json_list({raster_layer("RGB", "rgb.tif")}));
  ASSERT_TRUE(doc);
  EXPECT_EQ(cell(draw(doc.get(), nullptr), 2, 1), argb(255, 70, 70, 70));
  // The lower right cell alone on 20 × 20 pixels.
  PixelPainter part(20, 20);
  ASSERT_TRUE(gis::DrawFocusMap(doc.get(), {3, 0, 4, 1, 20, 20}, part));
  EXPECT_EQ(part.at(0, 0), argb(255, 160, 160, 160));
  EXPECT_EQ(part.at(19, 19), argb(255, 160, 160, 160));
  PixelPainter beside(20, 20);
  ASSERT_TRUE(gis::DrawFocusMap(doc.get(), {10, 10, 11, 11, 20, 20}, beside));
  EXPECT_EQ(beside.images, 0);
}

// A raster whose file is missing, or in another system than the map's, is named in a warning;
// the layers under and over it are drawn.
TEST_F(RasterRenderTest, AMissingOrForeignRasterIsAWarningNotACrash) {
  write_points(path("p.geojson"), {"a", "b"});
  write_tiff(path("mercator.tif"), GDT_Byte, 1, std::vector<double>(16, 7), "EPSG:3857");
  auto doc = raster_map(json_list({feature_layer("Точки", "p.geojson"), raster_layer("Пропал", "gone.tif"),
                                   raster_layer("Меркатор", "mercator.tif")}),
                        "EPSG:4326");
  ASSERT_TRUE(doc);
  std::vector<std::string> warnings;
  const PixelPainter p = draw(doc.get(), &warnings);
  EXPECT_EQ(p.images, 0);
  EXPECT_EQ(p.shapes, 2);
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_NE(warnings[0].find("\"Меркатор\" is not drawn: its coordinate system differs"), std::string::npos)
      << warnings[0];
  EXPECT_NE(warnings[1].find("\"Пропал\" is not drawn: its file"), std::string::npos) << warnings[1];
  EXPECT_NE(warnings[1].find("is missing"), std::string::npos) << warnings[1];
  // The picture of the document says the same and is still whole.
  warnings.clear();
  const std::string svg = gis::RenderDocumentSvg(doc.get(), {}, &warnings);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
  EXPECT_EQ(warnings.size(), 2u);
}

// The document's picture embeds the raster as a PNG: read back with GDAL, it holds the
// view's pixels, nodata transparent.
TEST_F(RasterRenderTest, ThePictureEmbedsTheRasterAsAPng) {
  const double nodata = 0;
  write_tiff(path("grey.tif"), GDT_Float32, 1, {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 1, 1, 2, 2, 2, 2}, nullptr, &nodata);
  auto doc = raster_map(json_list({raster_layer("Серый", "grey.tif")}));
  ASSERT_TRUE(doc);
  const std::string svg = gis::RenderFocusMapSvg(doc.get(), {0, 0, 4, 4, 40, 40});
  const std::string head = "<image x=\"0\" y=\"0\" width=\"40\" height=\"40\" preserveAspectRatio=\"none\" "
                           "href=\"data:image/png;base64,";
  const size_t at = svg.find(head);
  ASSERT_NE(at, std::string::npos) << svg;
  const size_t begin = at + head.size(), end = svg.find('"', begin);
  std::string encoded = svg.substr(begin, end - begin);
  std::vector<GByte> bytes(encoded.begin(), encoded.end());
  bytes.push_back(0);
  const int length = CPLBase64DecodeInPlace(bytes.data());
  const std::string name = "/vsimem/raster_render_test.png";
  VSILFILE* f = VSIFileFromMemBuffer(name.c_str(), bytes.data(), length, FALSE);
  ASSERT_TRUE(f);
  VSIFCloseL(f);
  DatasetPtr png(GDALDataset::Open(name.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
  ASSERT_TRUE(png);
  ASSERT_EQ(png->GetRasterCount(), 4);
  EXPECT_EQ(png->GetRasterXSize(), 40);
  auto pixel = [&](int x, int y) {
    std::uint32_t rgba[4] = {};
    for (int b = 0; b < 4; ++b) {
      GByte v = 0;
      EXPECT_EQ(png->GetRasterBand(b + 1)->RasterIO(GF_Read, x, y, 1, 1, &v, 1, 1, GDT_Byte, 0, 0, nullptr), CE_None);
      rgba[b] = v;
    }
    return argb(rgba[3], rgba[0], rgba[1], rgba[2]);
  };
  EXPECT_EQ(pixel(5, 5), 0u);                              // 0 is nodata
  EXPECT_EQ(pixel(15, 5), argb(255, 0, 0, 0));             // 1, the least value
  EXPECT_EQ(pixel(35, 5), argb(255, 255, 255, 255));       // 3, the greatest
  EXPECT_EQ(pixel(25, 5), argb(255, 128, 128, 128));       // 2, half-way
  png.reset();
  VSIUnlink(name.c_str());
}

}  // namespace
}  // namespace carto_test
