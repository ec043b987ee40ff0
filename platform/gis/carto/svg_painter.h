// SvgPainter: a map painter writing what it is given as SVG elements, in the looks SvgStyles
// writes.
#pragma once

#include <string>
#include <vector>

#include "gis/render.h"
#include "svg_style.h"

namespace gis::carto {

// The font attribute of every text of the pictures.
extern const char kSvgFont[];

class SvgPainter final : public MapPainter {
 public:
  explicit SvgPainter(SvgStyles& styles) : styles_(styles) {}

  void Shape(const Look& look, int dimension, const std::vector<double>& xy, const std::vector<int>& part_ends) override;
  void Marker(const Look& look, double x, double y) override;
  void Text(const Look& look, double x, double y, const std::string& text) override;
  // An <image> of the picture as PNG, embedded.
  void Image(int x, int y, int width, int height, const std::vector<std::uint32_t>& argb) override;

  std::string body;

 private:
  SvgStyles& styles_;
};

}  // namespace gis::carto
