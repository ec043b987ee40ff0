#include "toolkit/graphics.h"

#include <cmath>

uint32_t ColorToRGB(TColor color) {
  if ((static_cast<uint32_t>(color) & 0xFF000000u) == 0xFF000000u) {
    switch (color & 0xFF) {
      case 0x05: return 0xFFFFFF;  // window
      case 0x08: return 0x000000;  // window text
      case 0x0D: return 0x0078D7;  // highlight
      case 0x0E: return 0xFFFFFF;  // highlight text
      case 0x0F: return 0xF0F0F0;  // button face
      case 0x10: return 0xA0A0A0;  // button shadow
      case 0x11: return 0x6D6D6D;  // gray text
      case 0x12: return 0x000000;  // button text
      case 0x14: return 0xFFFFFF;  // button highlight
      case 0x02: return 0x99B4D1;  // active caption
      default: return 0xF0F0F0;
    }
  }
  if (color == clNone || color == clDefault) return 0xF0F0F0;
  uint32_t bgr = static_cast<uint32_t>(color) & 0xFFFFFF;
  return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

void TFont::Assign(const TFont& source) {
  name_ = source.name_;
  height_ = source.height_;
  charset_ = source.charset_;
  color_ = source.color_;
  style_ = source.style_;
  changed();
}

void TFont::SetName(std::string v) {
  name_ = std::move(v);
  changed();
}
void TFont::SetHeight(int v) {
  height_ = v;
  changed();
}
int TFont::GetSize() const { return static_cast<int>(std::lround(-height_ * 72.0 / 96.0)); }
void TFont::SetSize(int v) {
  height_ = -static_cast<int>(std::lround(v * 96.0 / 72.0));
  changed();
}
void TFont::SetCharset(TFontCharset v) {
  charset_ = v;
  changed();
}
void TFont::SetColor(TColor v) {
  color_ = v;
  changed();
}
void TFont::SetStyle(TFontStyles v) {
  style_ = v;
  changed();
}
void TFont::changed() {
  if (OnChange) OnChange();
}

int TFont::TextHeight() const {
  // A negative height is the character height; the line adds the internal leading.
  return height_ < 0 ? toolkit::Saturate(2 - static_cast<long long>(height_)) : height_;
}

int TFont::TextWidth(const std::string& text) const {
  const long long em = height_ < 0 ? -static_cast<long long>(height_) : height_ * 4LL / 5;
  const double per_char = static_cast<double>(em) * (style_.Contains(fsBold) ? 0.62 : 0.55);
  const double width = per_char * static_cast<double>(text.size());
  return width >= INT_MAX ? INT_MAX : static_cast<int>(std::lround(width));
}
