#include "rgb_color.h"

namespace gis::carto {

HRESULT RgbColor::get_RGB(LONG* rgb) {
  if (!rgb) return E_POINTER;
  *rgb = rgb_;
  return S_OK;
}

HRESULT RgbColor::put_RGB(LONG rgb) {
  if (rgb < 0 || rgb > 0xFFFFFF) return E_INVALIDARG;
  rgb_ = rgb;
  return S_OK;
}

HRESULT RgbColor::get_channel(int shift, LONG* v) {
  if (!v) return E_POINTER;
  *v = (rgb_ >> shift) & 0xFF;
  return S_OK;
}

HRESULT RgbColor::put_channel(int shift, LONG v) {
  if (v < 0 || v > 255) return E_INVALIDARG;
  rgb_ = (rgb_ & ~(0xFF << shift)) | (v << shift);
  return S_OK;
}

win32::ComPtr<IColor> make_color(LONG rgb) { return RgbColor::make(rgb); }

LONG color_value(IColor* color) {
  LONG rgb = 0;
  if (color && FAILED(color->get_RGB(&rgb))) rgb = 0;
  return rgb;
}

HRESULT out_color(IColor** out, LONG rgb) {
  if (!out) return E_POINTER;
  *out = make_color(rgb).detach();
  return S_OK;
}

}  // namespace gis::carto
