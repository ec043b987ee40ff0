#include "toolkit/snapshot.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include <win32/text_conversions.h>

#include "toolkit/button.h"
#include "toolkit/combo_box.h"
#include "toolkit/edit.h"
#include "toolkit/exception.h"
#include "toolkit/file_controls.h"
#include "toolkit/form.h"
#include "toolkit/label.h"
#include "toolkit/panel.h"
#include "toolkit/progress_bar.h"

namespace toolkit {

namespace {

std::string escape(const std::string& utf8) {
  std::string r;
  for (char c : utf8) {
    switch (c) {
      case '&': r += "&amp;"; break;
      case '<': r += "&lt;"; break;
      case '>': r += "&gt;"; break;
      case '"': r += "&quot;"; break;
      default: r += c;
    }
  }
  return r;
}

std::string rgb(uint32_t c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%06X", c & 0xFFFFFF);
  return buf;
}

class Painter {
 public:
  std::ostringstream out;

  void rect(int x, int y, int w, int h, const std::string& fill, const std::string& stroke = "none") {
    out << "<rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << (w > 0 ? w : 0) << "\" height=\""
        << (h > 0 ? h : 0) << "\" fill=\"" << fill << "\"";
    if (stroke != "none") out << " stroke=\"" << stroke << "\" stroke-width=\"1\"";
    out << "/>\n";
  }
  void line(double x1, double y1, double x2, double y2, const std::string& stroke) {
    out << "<line x1=\"" << x1 << "\" y1=\"" << y1 << "\" x2=\"" << x2 << "\" y2=\"" << y2 << "\" stroke=\""
        << stroke << "\" stroke-width=\"1\"/>\n";
  }
  // `text` is ANSI; x is the anchor point for `anchor` (start, middle, end); y the box's middle.
  void text(double x, double middle, const std::string& text, const TFont& font, const std::string& colour,
            const char* anchor = "start") {
    if (text.empty()) return;
    const int size = font.Height < 0 ? -font.Height : font.Height * 4 / 5;
    out << "<text x=\"" << x << "\" y=\"" << middle + size * 0.36 << "\" font-family=\"" << escape(font.Name())
        << ", sans-serif\" font-size=\"" << size << "\" fill=\"" << colour << "\" text-anchor=\"" << anchor << "\"";
    if (font.Style().Contains(fsBold)) out << " font-weight=\"bold\"";
    out << " xml:space=\"preserve\">" << escape(win32::ansi_to_utf8(text)) << "</text>\n";
  }
  void bevel(int x, int y, int w, int h, TBevelCut cut) {
    if (cut == bvNone || cut == bvSpace) return;
    const std::string light = "#FFFFFF", dark = "#A0A0A0";
    const std::string& tl = cut == bvRaised ? light : dark;
    const std::string& br = cut == bvRaised ? dark : light;
    line(x + 0.5, y + 0.5, x + w - 0.5, y + 0.5, tl);
    line(x + 0.5, y + 0.5, x + 0.5, y + h - 0.5, tl);
    line(x + 0.5, y + h - 0.5, x + w - 0.5, y + h - 0.5, br);
    line(x + w - 0.5, y + 0.5, x + w - 0.5, y + h - 0.5, br);
  }
  int clip(int x, int y, int w, int h) {
    int id = ++clips_;
    out << "<clipPath id=\"c" << id << "\"><rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << (w > 0 ? w : 0)
        << "\" height=\"" << (h > 0 ? h : 0) << "\"/></clipPath>\n";
    return id;
  }

 private:
  int clips_ = 0;
};

double text_x(TAlignment a, int x, int w, int pad) {
  return a == taCenter ? x + w / 2.0 : a == taRightJustify ? x + w - pad : x + pad;
}
const char* anchor_of(TAlignment a) { return a == taCenter ? "middle" : a == taRightJustify ? "end" : "start"; }

void paint(Painter& p, const TControl& c, int ox, int oy, bool root = false);

void paint_children(Painter& p, const TWinControl& w, int x, int y) {
  int id = p.clip(x, y, w.Width, w.Height);
  p.out << "<g clip-path=\"url(#c" << id << ")\">\n";
  for (int i = 0; i < w.ControlCount(); ++i) paint(p, *w.Controls(i), x, y);
  p.out << "</g>\n";
}

// Draws `c` whose parent's client origin is (ox, oy).
void paint(Painter& p, const TControl& c, int ox, int oy, bool root) {
  if (!c.Visible && !root) return;
  const int x = ox + c.Left, y = oy + c.Top, w = c.Width, h = c.Height;
  const TFont& font = c.EffectiveFont();
  const bool enabled = c.IsEnabledForInput();
  const std::string ink = enabled ? rgb(ColorToRGB(font.Color)) : "#A0A0A0";
  const double mid = y + h / 2.0;
  if (auto* panel = dynamic_cast<const TPanel*>(&c)) {
    p.rect(x, y, w, h, rgb(ColorToRGB(c.Color)));
    p.bevel(x, y, w, h, panel->BevelOuter);
    if (panel->BevelInner != bvNone) p.bevel(x + 1, y + 1, w - 2, h - 2, panel->BevelInner);
    p.text(text_x(c.Alignment, x, w, 4), mid, c.Caption, font, ink, anchor_of(c.Alignment));
  } else if (dynamic_cast<const TGroupBox*>(&c)) {
    const int th = font.TextHeight();
    p.out << "<rect x=\"" << x + 0.5 << "\" y=\"" << y + th / 2 + 0.5 << "\" width=\"" << w - 1 << "\" height=\""
          << h - th / 2 - 1 << "\" fill=\"none\" stroke=\"#DCDCDC\" rx=\"2\"/>\n";
    const std::string caption = c.Caption;
    if (!caption.empty()) {
      p.rect(x + 6, y, font.TextWidth(caption) + 4, th, rgb(ColorToRGB(c.Color)));
      p.text(x + 8, y + th / 2.0, caption, font, ink);
    }
  } else if (auto* button = dynamic_cast<const TButton*>(&c)) {
    p.out << "<rect x=\"" << x + 0.5 << "\" y=\"" << y + 0.5 << "\" width=\"" << w - 1 << "\" height=\"" << h - 1
          << "\" fill=\"" << (enabled ? "#E1E1E1" : "#F4F4F4") << "\" stroke=\""
          << (button->Default ? "#0078D7" : enabled ? "#ADADAD" : "#BFBFBF") << "\"/>\n";
    p.text(x + w / 2.0, mid, c.Caption, font, ink, "middle");
  } else if (auto* combo = dynamic_cast<const TComboBox*>(&c)) {
    p.out << "<rect x=\"" << x + 0.5 << "\" y=\"" << y + 0.5 << "\" width=\"" << w - 1 << "\" height=\"" << h - 1
          << "\" fill=\"" << (enabled ? "#FFFFFF" : "#F0F0F0") << "\" stroke=\"#7A7A7A\"/>\n";
    const int a = x + w - 17;
    p.out << "<path d=\"M" << a + 4 << " " << mid - 2 << " L" << a + 12 << " " << mid - 2 << " L" << a + 8 << " "
          << mid + 2 << " Z\" fill=\"" << (enabled ? "#404040" : "#A0A0A0") << "\"/>\n";
    int id = p.clip(x + 1, y + 1, w - 19, h - 2);
    p.out << "<g clip-path=\"url(#c" << id << ")\">\n";
    p.text(x + 4, mid, combo->Text, font, ink);
    p.out << "</g>\n";
    return;
  } else if (auto* edit = dynamic_cast<const TEdit*>(&c)) {
    p.out << "<rect x=\"" << x + 0.5 << "\" y=\"" << y + 0.5 << "\" width=\"" << w - 1 << "\" height=\"" << h - 1
          << "\" fill=\"" << (enabled ? rgb(ColorToRGB(c.Color)) : "#F0F0F0") << "\" stroke=\"#7A7A7A\"/>\n";
    int id = p.clip(x + 1, y + 1, w - 2, h - 2);
    p.out << "<g clip-path=\"url(#c" << id << ")\">\n";
    p.text(x + 4, mid, edit->Text, font, ink);
    p.out << "</g>\n";
    return;
  } else if (auto* bar = dynamic_cast<const TProgressBar*>(&c)) {
    p.out << "<rect x=\"" << x + 0.5 << "\" y=\"" << y + 0.5 << "\" width=\"" << w - 1 << "\" height=\"" << h - 1
          << "\" fill=\"#E6E6E6\" stroke=\"#BCBCBC\"/>\n";
    const int range = bar->Max - bar->Min;
    const int filled = range > 0 ? static_cast<int>(static_cast<long long>(w - 2) * (bar->Position - bar->Min) / range) : 0;
    p.rect(x + 1, y + 1, filled, h - 2, enabled ? "#06B025" : "#A0A0A0");
    return;
  } else if (auto* list = dynamic_cast<const TDirectoryListBox*>(&c)) {
    p.out << "<rect x=\"" << x + 0.5 << "\" y=\"" << y + 0.5 << "\" width=\"" << w - 1 << "\" height=\"" << h - 1
          << "\" fill=\"" << (enabled ? "#FFFFFF" : "#F0F0F0") << "\" stroke=\"#7A7A7A\"/>\n";
    int id = p.clip(x + 1, y + 1, w - 2, h - 2);
    p.out << "<g clip-path=\"url(#c" << id << ")\">\n";
    const int row = font.TextHeight() + 3;
    std::vector<std::pair<int, std::string>> lines;  // indent, text
    std::string dir = list->Directory;
    std::vector<std::string> parts;
    size_t start = 1;
    while (start < dir.size()) {
      size_t slash = dir.find('/', start);
      if (slash == std::string::npos) slash = dir.size();
      parts.push_back(dir.substr(start, slash - start));
      start = slash + 1;
    }
    lines.emplace_back(0, "/");
    for (size_t i = 0; i < parts.size(); ++i) lines.emplace_back(static_cast<int>(i + 1), parts[i]);
    const int sub = static_cast<int>(parts.size()) + 1;
    for (const std::string& item : list->Items()->List()) lines.emplace_back(sub, item);
    int ly = y + 2;
    for (size_t i = 0; i < lines.size(); ++i) {
      const int lx = x + 4 + lines[i].first * 8;
      const bool current = static_cast<int>(i) == sub - 1;
      p.out << "<path d=\"M" << lx << " " << ly + 3 << " h5 l2 2 h7 v8 h-14 Z\" fill=\""
            << (current ? "#F8D775" : "#E8C15A") << "\" stroke=\"#B08A2E\" stroke-width=\"0.6\"/>\n";
      if (current) p.rect(lx + 17, ly, font.TextWidth(lines[i].second) + 4, row - 1, enabled ? "#CCE8FF" : "#E0E0E0");
      p.text(lx + 19, ly + row / 2.0, lines[i].second, font, ink);
      ly += row;
    }
    p.out << "</g>\n";
    return;
  } else if (dynamic_cast<const TLabel*>(&c)) {
    p.text(text_x(c.Alignment, x, w, 0), mid, c.Caption, font, ink, anchor_of(c.Alignment));
  }
  if (auto* win = dynamic_cast<const TWinControl*>(&c)) paint_children(p, *win, x, y);
}

std::string quoted(const std::string& ansi) { return "\"" + win32::ansi_to_utf8(ansi) + "\""; }

void describe(std::ostringstream& out, const TControl& c, int depth) {
  out << std::string(static_cast<size_t>(depth) * 2, ' ') << c.ClassName();
  if (!c.Name.empty()) out << " " << c.Name;
  const TRect r = c.BoundsRect();
  out << " (" << r.Left << ", " << r.Top << ", " << r.Width() << "x" << r.Height() << ")";
  if (auto* combo = dynamic_cast<const TComboBox*>(&c)) {
    out << " = " << quoted(combo->Text) << " of [";
    for (int i = 0; i < combo->Items->Count(); ++i) out << (i ? ", " : "") << quoted(combo->Items->Strings(i));
    out << "]";
  } else if (auto* list = dynamic_cast<const TDirectoryListBox*>(&c)) {
    out << " = " << quoted(list->Directory) << " with [";
    for (int i = 0; i < list->Items()->Count(); ++i) out << (i ? ", " : "") << quoted(list->Items()->Strings(i));
    out << "]";
  } else if (auto* bar = dynamic_cast<const TProgressBar*>(&c)) {
    out << " = " << bar->Position << " of " << bar->Min << ".." << bar->Max;
  } else if (!c.Caption().empty() || dynamic_cast<const TEdit*>(&c)) {
    out << " " << quoted(c.Caption);
  }
  if (auto* edit = dynamic_cast<const TEdit*>(&c); edit && edit->ReadOnly) out << " [read-only]";
  if (!c.Visible) out << " [hidden]";
  else if (!c.Enabled) out << " [disabled]";
  out << "\n";
  if (!c.Visible && depth > 0) return;
  if (auto* w = dynamic_cast<const TWinControl*>(&c))
    for (int i = 0; i < w->ControlCount(); ++i) describe(out, *w->Controls(i), depth + 1);
}

}  // namespace

std::string RenderSvg(const TControl& root) {
  Painter p;
  int width = root.Width, height = root.Height;
  const auto* form = dynamic_cast<const TForm*>(&root);
  p.out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
        << "\" viewBox=\"0 0 " << width << " " << height << "\">\n";
  if (form) {
    const int fw = form->FrameWidth(), ch = form->CaptionHeight();
    p.rect(0, 0, width, height, "#FFFFFF", "#888888");
    if (ch > 0) {
      p.rect(1, 1, width - 2, ch + fw - 1, form->IsEnabledForInput() ? "#DDE8F5" : "#F0F0F0");
      TFont title;
      title.Height = ch >= 20 ? -12 : -11;
      p.text(fw + 4, (ch + fw) / 2.0, form->Caption, title, "#000000");
      p.text(width - fw - 10, (ch + fw) / 2.0, "x", title, "#404040", "middle");
    }
    const int cx = fw, cy = fw + ch;
    p.rect(cx, cy, form->ClientWidth, form->ClientHeight, rgb(ColorToRGB(form->Color)));
    int id = p.clip(cx, cy, form->ClientWidth, form->ClientHeight);
    p.out << "<g clip-path=\"url(#c" << id << ")\">\n";
    for (int i = 0; i < form->ControlCount(); ++i) paint(p, *form->Controls(i), cx, cy);
    p.out << "</g>\n";
  } else {
    paint(p, root, -root.Left, -root.Top, true);
  }
  p.out << "</svg>\n";
  return p.out.str();
}

void SaveSvg(const TControl& root, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << RenderSvg(root);
  out.close();
  if (!out) throw Exception("Cannot write the picture " + path);
}

std::string DescribeControls(const TControl& root) {
  std::ostringstream out;
  describe(out, root, 0);
  return out.str();
}

}  // namespace toolkit
