// The toolkit's value types: alignment, anchors, bevels, border styles, positions, close
// actions, modal results, colours, rectangles and event signatures.
#pragma once

#include <climits>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <ostream>

#include "toolkit/tobject.h"

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TPosition {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
  poMainFormCenter, poOwnerFormCenter
};
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
enum TOperation { opInsert, opRemove };

// A small set of enumeration values (Delphi's `set of`), e.g. TAnchors{akLeft, akTop}.
template <class E>
class TSet {
 public:
  TSet() = default;
  TSet(std::initializer_list<E> values) {
    for (E v : values) bits_ |= bit(v);
  }
  bool Contains(E v) const { return (bits_ & bit(v)) != 0; }
  TSet& operator<<(E v) {
    bits_ |= bit(v);
    return *this;
  }
  TSet& operator>>(E v) {
    bits_ &= ~bit(v);
    return *this;
  }
  bool Empty() const { return bits_ == 0; }
  uint32_t Bits() const { return bits_; }
  friend bool operator==(TSet a, TSet b) { return a.bits_ == b.bits_; }
  friend std::ostream& operator<<(std::ostream& os, TSet s) {
    os << "[";
    bool first = true;
    for (int i = 0; i < 32; ++i) {
      if (!(s.bits_ & (1u << i))) continue;
      os << (first ? "" : ", ") << i;
      first = false;
    }
    return os << "]";
  }

 private:
  static uint32_t bit(E v) { return 1u << static_cast<int>(v); }
  uint32_t bits_ = 0;
};

using TAnchors = TSet<TAnchorKind>;
using TFontStyles = TSet<TFontStyle>;

namespace toolkit {
// Layout arithmetic saturates at the limits of int instead of overflowing: a form text may
// hold any number of controls, and their extents and margins, each in range, can add up past
// them. Sums are taken in long long and brought back with Saturate.
constexpr int Saturate(long long value) {
  return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}
}  // namespace toolkit

struct TPoint {
  int X = 0;
  int Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

// A rectangle in pixels; Right and Bottom lie just outside it. Width and height saturate.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return toolkit::Saturate(static_cast<long long>(Right) - Left); }
  int Height() const { return toolkit::Saturate(static_cast<long long>(Bottom) - Top); }
  friend bool operator==(const TRect&, const TRect&) = default;
  friend std::ostream& operator<<(std::ostream& os, const TRect& r) {
    return os << "(" << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << ")";
  }
};

inline TRect Rect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }
// The far edges saturate: a rectangle reaching past the limits of int ends at them.
inline TRect Bounds(long long left, long long top, long long width, long long height) {
  using toolkit::Saturate;
  return TRect{Saturate(left), Saturate(top), Saturate(left + width), Saturate(top + height)};
}

// Modal results: what ShowModal returns, and what a button with a ModalResult sets.
using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;
constexpr TModalResult mrAll = 8;
constexpr TModalResult mrNoToAll = 9;
constexpr TModalResult mrYesToAll = 10;

// Colours: 0x00BBGGRR, or a system colour (high byte 0xFF, low byte the system colour index).
using TColor = int32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clNavy = 0x800000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clScrollBar = static_cast<TColor>(0xFF000000);
constexpr TColor clBackground = static_cast<TColor>(0xFF000001);
constexpr TColor clActiveCaption = static_cast<TColor>(0xFF000002);
constexpr TColor clWindow = static_cast<TColor>(0xFF000005);
constexpr TColor clWindowText = static_cast<TColor>(0xFF000008);
constexpr TColor clCaptionText = static_cast<TColor>(0xFF000009);
constexpr TColor clHighlight = static_cast<TColor>(0xFF00000D);
constexpr TColor clHighlightText = static_cast<TColor>(0xFF00000E);
constexpr TColor clBtnFace = static_cast<TColor>(0xFF00000F);
constexpr TColor clBtnShadow = static_cast<TColor>(0xFF000010);
constexpr TColor clGrayText = static_cast<TColor>(0xFF000011);
constexpr TColor clBtnText = static_cast<TColor>(0xFF000012);
constexpr TColor clBtnHighlight = static_cast<TColor>(0xFF000014);

// The 0xRRGGBB value a colour is drawn with (system colours as on a classic desktop).
uint32_t ColorToRGB(TColor color);

using TFontCharset = uint8_t;
#ifndef ANSI_CHARSET
constexpr TFontCharset ANSI_CHARSET = 0;
#endif
#ifndef DEFAULT_CHARSET
constexpr TFontCharset DEFAULT_CHARSET = 1;
#endif
#ifndef RUSSIAN_CHARSET
constexpr TFontCharset RUSSIAN_CHARSET = 204;
#endif

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
