#include "toolkit_qt/fonts.h"

#include <map>
#include <tuple>

#include <QFontInfo>
#include <QFontMetricsF>
#include <QStringList>

#include "toolkit/graphics.h"

namespace toolkit_qt {

namespace {

// Texts of the kind the forms show (Cyrillic and Latin words), for a font's mean width.
const QString& sample() {
  static const QString text = QString::fromUtf8(
      "Слой полигона Объект полигона Папка результата Обрабатывается Применить Закрыть Выбор папки "
      "layers features roads wells");
  return text;
}

double mean_width(const QFont& font) {
  return QFontMetricsF(font).horizontalAdvance(sample()) / static_cast<double>(sample().size());
}

QFont with_style(QFont font, const TFont& from, int pixels) {
  font.setPixelSize(pixels);
  font.setBold(from.Style().Contains(fsBold));
  font.setItalic(from.Style().Contains(fsItalic));
  font.setUnderline(from.Style().Contains(fsUnderline));
  font.setStrikeOut(from.Style().Contains(fsStrikeOut));
  return font;
}

QFont choose(const TFont& from) {
  const int pixels = from.Height < 0 ? -from.Height : std::max(1, from.Height * 4 / 5);
  // The layout's width of a character, as TFont::TextWidth counts it.
  const double room = from.TextWidth("0000000000") / 10.0;
  QStringList families{QString::fromStdString(from.Name())};
  families << "DejaVu Sans Condensed" << "Liberation Sans Narrow" << "Arial Narrow" << "Nimbus Sans Narrow"
           << "Sans Serif";
  QFont first;
  bool have_first = false;
  for (const QString& family : families) {
    QFont font = with_style(QFont(family), from, pixels);
    // A family the system lacks comes back as its substitute: that is the one measured.
    if (QFontInfo(font).family().compare(family, Qt::CaseInsensitive) != 0 && family != families.front() &&
        family != "Sans Serif")
      continue;
    if (!have_first) first = font, have_first = true;
    if (mean_width(font) <= room) return font;
  }
  // None narrow enough: the first, smaller.
  for (int p = pixels - 1; p >= kSmallestPixels; --p) {
    first.setPixelSize(p);
    if (mean_width(first) <= room) break;
  }
  return first;
}

}  // namespace

QFont ScreenFont(const TFont& font) {
  using Key = std::tuple<std::string, int, int>;
  static std::map<Key, QFont> chosen;
  int style = 0;
  for (TFontStyle s : {fsBold, fsItalic, fsUnderline, fsStrikeOut}) style = style * 2 + font.Style().Contains(s);
  const Key key{font.Name(), font.Height, style};
  auto it = chosen.find(key);
  if (it == chosen.end()) it = chosen.emplace(key, choose(font)).first;
  return it->second;
}

QFont FittingFont(const QFont& font, const QString& text, int room) {
  QFont fitting = font;
  int pixels = fitting.pixelSize();
  if (pixels <= 0) return fitting;
  while (pixels > kSmallestPixels && QFontMetricsF(fitting).horizontalAdvance(text) > room)
    fitting.setPixelSize(--pixels);
  return fitting;
}

}  // namespace toolkit_qt
