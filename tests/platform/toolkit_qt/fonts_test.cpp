// The screen fonts of the toolkit's controls: a form's font is shown no wider than the
// forms are laid out for, and a caption is fitted to its room down to the smallest size.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetricsF>

#include <toolkit/graphics.h>
#include <toolkit_qt/fonts.h>

#include "support/qt_driver.h"

namespace {

TEST(ScreenFonts, AFormsFontIsNoWiderThanItsLayout) {
  test::qt_application();
  const QString words = QString::fromUtf8("Папка результата Обрабатывается Слой полигона Применить");
  for (const char* name : {"Tahoma", "MS Sans Serif", "No Such Font"})
    for (int height : {-11, -13, 10}) {
      SCOPED_TRACE(std::string(name) + " " + std::to_string(height));
      TFont font;
      font.Name = name;
      font.Height = height;
      const QFont screen = toolkit_qt::ScreenFont(font);
      EXPECT_GE(screen.pixelSize(), toolkit_qt::kSmallestPixels);
      EXPECT_LE(screen.pixelSize(), height < 0 ? -height : height);
      // The laid-out width of the words (TFont::TextWidth) holds them as shown.
      const double laid_out = font.TextWidth(std::string(static_cast<size_t>(words.size()), 'x'));
      EXPECT_LE(QFontMetricsF(screen).horizontalAdvance(words), laid_out);
      TFont bold;
      bold.Name = name;
      bold.Height = height;
      bold.Style = TFontStyles{fsBold};
      EXPECT_TRUE(toolkit_qt::ScreenFont(bold).bold());
    }
}

TEST(ScreenFonts, ACaptionIsFittedToItsRoom) {
  test::qt_application();
  TFont font;
  const QFont screen = toolkit_qt::ScreenFont(font);
  const QString caption = QString::fromUtf8("Папка результатов");
  const double natural = QFontMetricsF(screen).horizontalAdvance(caption);
  // Room enough: unchanged.
  EXPECT_EQ(toolkit_qt::FittingFont(screen, caption, static_cast<int>(natural) + 1), screen);
  // Less room: smaller, and it fits.
  const QFont fitted = toolkit_qt::FittingFont(screen, caption, static_cast<int>(natural * 0.85));
  EXPECT_LT(fitted.pixelSize(), screen.pixelSize());
  EXPECT_LE(QFontMetricsF(fitted).horizontalAdvance(caption), natural * 0.85);
  // No room to speak of: the smallest size, no smaller.
  EXPECT_EQ(toolkit_qt::FittingFont(screen, caption, 3).pixelSize(), toolkit_qt::kSmallestPixels);
}

}  // namespace
