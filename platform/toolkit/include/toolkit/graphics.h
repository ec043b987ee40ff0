// TFont: name, height (negative: character height in pixels, as Windows stores it),
// character set, colour and style. A change calls OnChange (a control uses it to stop
// inheriting its parent's font).
#pragma once

#include <functional>
#include <string>

#include "toolkit/property.h"
#include "toolkit/types.h"

class TFont {
 public:
  TFont() = default;
  TFont(const TFont&) = delete;
  TFont& operator=(const TFont&) = delete;
  // Copies every attribute of `source` (VCL's Assign), then calls OnChange.
  void Assign(const TFont& source);

  toolkit::Property<TFont, std::string> Name{this, &TFont::GetName, &TFont::SetName};
  toolkit::Property<TFont, int> Height{this, &TFont::GetHeight, &TFont::SetHeight};
  // Size in points at 96 pixels per inch; setting it sets Height.
  toolkit::Property<TFont, int> Size{this, &TFont::GetSize, &TFont::SetSize};
  toolkit::Property<TFont, TFontCharset> Charset{this, &TFont::GetCharset, &TFont::SetCharset};
  toolkit::Property<TFont, TColor> Color{this, &TFont::GetColor, &TFont::SetColor};
  toolkit::Property<TFont, TFontStyles> Style{this, &TFont::GetStyle, &TFont::SetStyle};

  // Height in pixels of a line of text in this font.
  int TextHeight() const;
  // Estimated width in pixels of `text` (ANSI, one byte a character).
  int TextWidth(const std::string& text) const;

  std::function<void()> OnChange;

 private:
  std::string GetName() const { return name_; }
  void SetName(std::string v);
  int GetHeight() const { return height_; }
  void SetHeight(int v);
  int GetSize() const;
  void SetSize(int v);
  TFontCharset GetCharset() const { return charset_; }
  void SetCharset(TFontCharset v);
  TColor GetColor() const { return color_; }
  void SetColor(TColor v);
  TFontStyles GetStyle() const { return style_; }
  void SetStyle(TFontStyles v);
  void changed();

  std::string name_ = "Tahoma";
  int height_ = -11;
  TFontCharset charset_ = DEFAULT_CHARSET;
  TColor color_ = clWindowText;
  TFontStyles style_;
};
