// RgbColor (CLSID_RgbColor): a colour value. Symbols copy the value they are given, so a
// colour object is never shared between symbols.
#pragma once

#include <win32/com_object.h>

#include "arcobjects/arcobjects.h"

namespace gis::carto {

class RgbColor : public win32::ComObject<RgbColor, IRgbColor> {
 public:
  explicit RgbColor(LONG rgb = 0) : rgb_(rgb & 0xFFFFFF) {}

  HRESULT STDMETHODCALLTYPE get_RGB(LONG* rgb) override;
  HRESULT STDMETHODCALLTYPE put_RGB(LONG rgb) override;
  HRESULT STDMETHODCALLTYPE get_Red(LONG* v) override { return get_channel(0, v); }
  HRESULT STDMETHODCALLTYPE put_Red(LONG v) override { return put_channel(0, v); }
  HRESULT STDMETHODCALLTYPE get_Green(LONG* v) override { return get_channel(8, v); }
  HRESULT STDMETHODCALLTYPE put_Green(LONG v) override { return put_channel(8, v); }
  HRESULT STDMETHODCALLTYPE get_Blue(LONG* v) override { return get_channel(16, v); }
  HRESULT STDMETHODCALLTYPE put_Blue(LONG v) override { return put_channel(16, v); }

 private:
  HRESULT get_channel(int shift, LONG* v);
  HRESULT put_channel(int shift, LONG v);

  LONG rgb_;
};

// A new colour object holding rgb.
win32::ComPtr<IColor> make_color(LONG rgb);
// The value of a colour (black for null).
LONG color_value(IColor* color);
// The colour value of an out-parameter: a new colour object.
HRESULT out_color(IColor** out, LONG rgb);

}  // namespace gis::carto
