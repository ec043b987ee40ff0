// The Qt widgets that show a form's controls: one small peer class per kind of control
// (peers.cpp), found by the control's class, kept in one table by control. A peer copies the
// control's state to its widget (Update) and posts what the person does with the widget to
// the toolkit's message queue; it never calls the control's handlers itself.
#pragma once

#include <map>
#include <memory>

#include <QPointer>
#include <QWidget>

class TControl;
class TForm;

namespace toolkit_qt {

class Peer {
 public:
  virtual ~Peer();
  QWidget* widget() const { return widget_; }
  // Copies caption, bounds, visibility, enabled state, hint, font and the kind's own state.
  virtual void update(TControl& control);

 protected:
  // The caption the widget shows in one line and the pixels it has for it (0: the kind
  // shows none): the font is made smaller where the caption would not fit (fonts.h).
  virtual int caption_room(TControl& control, QString* caption) const;
  explicit Peer(QWidget* widget) : widget_(widget) {}
  QPointer<QWidget> widget_;
};

class Peers {
 public:
  ~Peers();
  // Makes and updates the widgets of every shown form; hides those of forms not shown and
  // drops those of destroyed controls.
  void update();
  QWidget* find(const TControl* control) const;

 private:
  struct Entry {
    std::weak_ptr<void> alive;
    std::unique_ptr<Peer> peer;
  };
  void update_tree(TControl& control, QWidget* parent);
  // Tab follows the controls' TabOrder on the form's window; its first control has the focus.
  void order_tabs(TForm& form);
  Peer* peer_for(TControl& control, QWidget* parent);

  std::map<const TControl*, Entry> entries_;
};

// Text conversions between the toolkit's ANSI texts and Qt.
QString from_ansi(const std::string& text);
std::string to_ansi(const QString& text);

}  // namespace toolkit_qt
