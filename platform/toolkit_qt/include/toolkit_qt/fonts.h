// The fonts the toolkit's controls are shown in on screen. The forms are laid out for the
// Windows dialog font (MS Sans Serif or Tahoma 8 pt at 96 pixels an inch, a character about
// 0.55 of its height wide: TFont::TextWidth), and labels size themselves by that; a screen
// here rarely has those fonts, and its sans serif is wider. So a control's font is shown as
// the first of its own family and the narrow sans serifs the system has whose characters are
// on average no wider than the layout's, at the font's pixel height (smaller when none is
// narrow enough), and a caption that still does not fit its control is shown smaller still
// (down to kSmallestPixels), never cut off while it can be read.
#pragma once

#include <QFont>
#include <QString>

class TFont;

namespace toolkit_qt {

// The smallest pixel size a caption is made to fit at.
inline constexpr int kSmallestPixels = 8;

// The screen font for a control's font (the same one for the same font: kept once found).
QFont ScreenFont(const TFont& font);
// font, at a smaller pixel size when needed (down to kSmallestPixels) so that `text` is at
// most `room` pixels wide.
QFont FittingFont(const QFont& font, const QString& text, int room);

}  // namespace toolkit_qt
