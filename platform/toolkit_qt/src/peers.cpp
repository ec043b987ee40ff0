#include "peers.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QInputDialog>
#include <QMessageBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSignalBlocker>

#include <win32/paths.h>
#include <win32/text.h>

#include "toolkit_qt/fonts.h"

#include "toolkit/application.h"
#include "toolkit/button.h"
#include "toolkit/combo_box.h"
#include "toolkit/edit.h"
#include "toolkit/file_controls.h"
#include "toolkit/form.h"
#include "toolkit/label.h"
#include "toolkit/panel.h"
#include "toolkit/progress_bar.h"

namespace toolkit_qt {

QString from_ansi(const std::string& text) { return QString::fromStdString(win32::ansi_to_utf8(text)); }
std::string to_ansi(const QString& text) { return win32::utf8_to_ansi(text.toStdString()); }

namespace {

Qt::Alignment alignment_of(TAlignment a) {
  switch (a) {
    case taRightJustify: return Qt::AlignRight | Qt::AlignVCenter;
    case taCenter: return Qt::AlignCenter;
    default: return Qt::AlignLeft | Qt::AlignVCenter;
  }
}

// A form's window: its client area is the widget; the close box is a close request, which
// the toolkit decides on (OnClose, a running handler, a modal result).
class FormWindow : public QWidget {
 public:
  explicit FormWindow(TForm* form) : form_(form), alive_(form->Liveness()) {}

 protected:
  // Enter and Escape that no control took press the form's Default and Cancel buttons, as
  // a click would.
  void keyPressEvent(QKeyEvent* event) override {
    const int key = event->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if ((enter || key == Qt::Key_Escape) && event->modifiers() == Qt::NoModifier && !alive_.expired() && Application)
      if (TButton* button = toolkit::KeyButton(form_, enter)) {
        Application->PostClick(button);
        return;
      }
    QWidget::keyPressEvent(event);
  }
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    if (!alive_.expired() && Application) Application->PostCloseRequest(form_);
  }
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    if (alive_.expired() || !Application || updating) return;
    const QSize size = event->size();
    TForm* form = form_;
    if (size.width() == form->ClientWidth && size.height() == form->ClientHeight) return;
    Application->Post(form, [form, size] {
      form->ClientWidth = size.width();
      form->ClientHeight = size.height();
    });
  }

 public:
  bool updating = false;

 private:
  TForm* form_;
  std::weak_ptr<void> alive_;
};

class FormPeer : public Peer {
 public:
  explicit FormPeer(TForm& form) : Peer(new FormWindow(&form)) {}
  ~FormPeer() override { delete widget_.data(); }

  void update(TControl& control) override {
    auto& form = static_cast<TForm&>(control);
    auto* window = static_cast<FormWindow*>(widget_.data());
    window->updating = true;
    window->setWindowTitle(from_ansi(form.Caption));
    if (const QFont font = ScreenFont(form.EffectiveFont()); window->font() != font) window->setFont(font);
    const QSize client(form.ClientWidth, form.ClientHeight);
    if (window->size() != client) window->resize(client);
    if (form.BorderStyle != bsSizeable && form.BorderStyle != bsSizeToolWin) window->setFixedSize(client);
    window->setEnabled(form.Enabled);
    const bool shown = form.Visible;
    if (shown && !window->isVisible()) {
      window->setWindowModality(form.Modal() ? Qt::ApplicationModal : Qt::NonModal);
      if (!placed_) {
        placed_ = true;
        if (QScreen* screen = window->screen()) {
          const QRect area = screen->availableGeometry();
          window->move(area.center() - QPoint(client.width() / 2, client.height() / 2));
        }
      }
      window->show();
      window->raise();
      window->activateWindow();
    } else if (!shown && window->isVisible()) {
      window->hide();
      tabs_ordered = false;  // shown again, it starts at its first control again
    }
    window->updating = false;
  }

  bool tabs_ordered = false;  // the tab order and the first focus were set since it showed

 private:
  bool placed_ = false;
};

// A panel: a bevelled frame with its caption drawn at its alignment.
class PanelFrame : public QFrame {
 public:
  using QFrame::QFrame;
  QString caption;
  Qt::Alignment alignment = Qt::AlignCenter;

 protected:
  void paintEvent(QPaintEvent* event) override {
    QFrame::paintEvent(event);
    if (caption.isEmpty()) return;
    QPainter painter(this);
    painter.drawText(contentsRect().adjusted(4, 0, -4, 0), static_cast<int>(alignment), caption);
  }
};

class PanelPeer : public Peer {
 public:
  explicit PanelPeer(QWidget* parent) : Peer(new PanelFrame(parent)) {}
  void update(TControl& control) override {
    Peer::update(control);
    auto& panel = static_cast<TPanel&>(control);
    auto* frame = static_cast<PanelFrame*>(widget_.data());
    int shape = QFrame::NoFrame;
    if (panel.BevelOuter == bvRaised) shape = QFrame::Panel | QFrame::Raised;
    else if (panel.BevelOuter == bvLowered) shape = QFrame::Panel | QFrame::Sunken;
    frame->setFrameStyle(shape);
    frame->setLineWidth(panel.BevelWidth);
    const QString caption = from_ansi(panel.Caption);
    if (caption != frame->caption || frame->alignment != alignment_of(panel.Alignment)) {
      frame->caption = caption;
      frame->alignment = alignment_of(panel.Alignment);
      frame->update();
    }
  }

 protected:
  int caption_room(TControl& control, QString* caption) const override {
    *caption = from_ansi(control.Caption);
    return static_cast<QFrame*>(widget_.data())->contentsRect().width() - 8;
  }
};

class GroupBoxPeer : public Peer {
 public:
  explicit GroupBoxPeer(QWidget* parent) : Peer(new QGroupBox(parent)) {}
  void update(TControl& control) override {
    Peer::update(control);
    auto* box = static_cast<QGroupBox*>(widget_.data());
    const QString title = from_ansi(control.Caption);
    if (box->title() != title) box->setTitle(title);
  }

 protected:
  int caption_room(TControl& control, QString* caption) const override {
    *caption = from_ansi(control.Caption);
    return widget_->width() - 16;  // the frame's corner before the title and after it
  }
};

// A slot handing what the person did with a control's widget to the toolkit's queue
// (post(control, the signal's arguments)) while the control lives and the toolkit runs.
template <class Post>
auto posting(TControl& control, Post post) {
  return [target = &control, alive = control.Liveness(), post](auto... args) {
    if (!alive.expired() && Application) post(target, args...);
  };
}

class LabelPeer : public Peer {
 public:
  explicit LabelPeer(QWidget* parent) : Peer(new QLabel(parent)) {}
  void update(TControl& control) override {
    Peer::update(control);
    auto* label = static_cast<QLabel*>(widget_.data());
    const QString text = from_ansi(control.Caption);
    if (label->text() != text) label->setText(text);
    label->setAlignment(alignment_of(control.Alignment));
    label->setWordWrap(static_cast<TLabel&>(control).WordWrap);
  }

 protected:
  int caption_room(TControl& control, QString* caption) const override {
    if (static_cast<TLabel&>(control).WordWrap) return 0;
    *caption = from_ansi(control.Caption);
    return widget_->width();
  }
};

class ButtonPeer : public Peer {
 public:
  ButtonPeer(TButton& button, QWidget* parent) : Peer(new QPushButton(parent)) {
    auto* push = static_cast<QPushButton*>(widget_.data());
    QObject::connect(push, &QPushButton::clicked,
                     posting(button, [](TControl* target, bool) { Application->PostClick(target); }));
  }
  void update(TControl& control) override {
    Peer::update(control);
    auto* push = static_cast<QPushButton*>(widget_.data());
    const QString text = from_ansi(control.Caption);
    if (push->text() != text) push->setText(text);
    push->setDefault(static_cast<TButton&>(control).Default);
  }

 protected:
  int caption_room(TControl& control, QString* caption) const override {
    *caption = from_ansi(control.Caption);
    return widget_->width() - 6;  // the button's bevel on either side
  }
};

class EditPeer : public Peer {
 public:
  EditPeer(TEdit& edit, QWidget* parent) : Peer(new QLineEdit(parent)) {
    auto* line = static_cast<QLineEdit*>(widget_.data());
    QObject::connect(line, &QLineEdit::textEdited, posting(edit, [](TControl* target, const QString& text) {
                       Application->PostType(target, to_ansi(text));
                     }));
  }
  void update(TControl& control) override {
    Peer::update(control);
    auto& edit = static_cast<TEdit&>(control);
    auto* line = static_cast<QLineEdit*>(widget_.data());
    line->setReadOnly(edit.ReadOnly);
    line->setMaxLength(edit.MaxLength > 0 ? edit.MaxLength : 32767);
    // What the person is typing stays until the toolkit has taken it.
    const QString text = from_ansi(edit.Text);
    if (line->text() != text && !(line->hasFocus() && Application && Application->PendingMessages() > 0)) {
      const QSignalBlocker block(line);
      line->setText(text);
    }
  }
};

class ComboBoxPeer : public Peer {
 public:
  ComboBoxPeer(TComboBox& combo, QWidget* parent) : Peer(new QComboBox(parent)) {
    auto* box = static_cast<QComboBox*>(widget_.data());
    QObject::connect(box, &QComboBox::activated, posting(combo, [](TControl* target, int index) {
                       if (index >= 0) Application->PostChoose(target, index);
                     }));
  }
  void update(TControl& control) override {
    Peer::update(control);
    auto& combo = static_cast<TComboBox&>(control);
    auto* box = static_cast<QComboBox*>(widget_.data());
    const QSignalBlocker block(box);
    if (combo.Items->List() != items_) {
      items_ = combo.Items->List();
      box->clear();
      for (const std::string& item : items_) box->addItem(from_ansi(item));
    }
    box->setMaxVisibleItems(std::max(1, combo.DropDownCount));
    if (box->currentIndex() != combo.ItemIndex) box->setCurrentIndex(combo.ItemIndex);
  }

 private:
  std::vector<std::string> items_;
};

class ProgressBarPeer : public Peer {
 public:
  explicit ProgressBarPeer(QWidget* parent) : Peer(new QProgressBar(parent)) {}
  void update(TControl& control) override {
    Peer::update(control);
    auto& bar = static_cast<TProgressBar&>(control);
    auto* progress = static_cast<QProgressBar*>(widget_.data());
    progress->setRange(bar.Min, bar.Max);
    progress->setValue(bar.Position);
  }
};

// The directory list: ".." (unless at the root) and the subfolders; a double click or Enter
// opens the entry. Each entry keeps the folder's ANSI name for the toolkit. "New folder…"
// (its context menu, Ctrl+Shift+N) makes a subfolder of the folder shown and opens it.
class FolderList : public QListWidget {
 public:
  FolderList(TDirectoryListBox& list, QWidget* parent) : QListWidget(parent), list_(&list), alive_(list.Liveness()) {
    auto* make = new QAction("New folder…", this);
    make->setObjectName("new_folder");
    make->setShortcut(QKeySequence("Ctrl+Shift+N"));
    make->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(make, &QAction::triggered, this, [this] { make_folder(); });
    addAction(make);
    setContextMenuPolicy(Qt::ActionsContextMenu);
  }

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    if (QListWidgetItem* item = itemAt(event->position().toPoint())) open(item);
  }
  void keyPressEvent(QKeyEvent* event) override {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
      open(currentItem());
      return;
    }
    QListWidget::keyPressEvent(event);
  }

 private:
  void open(QListWidgetItem* item) {
    if (!alive_.expired() && Application)
      Application->PostOpenFolder(list_, item->data(Qt::UserRole).toByteArray().toStdString());
  }
  void make_folder() {
    if (alive_.expired() || !Application) return;
    const QString name = QInputDialog::getText(this, "New folder", "The new folder's name:").trimmed();
    if (name.isEmpty() || alive_.expired() || !Application) return;
    const std::string directory = list_->Directory;
    const QString where = QString::fromStdString(win32::ansi_path_to_posix(directory));
    QString why;
    if (name == "." || name == ".." || name.contains('/') || name.contains('\\'))
      why = "a folder's name holds no / or \\ and is not . or ..";
    else if (from_ansi(to_ansi(name)) != name)
      why = "the system's code page cannot hold the name";
    else if (QDir(where).exists(name))
      why = "there is one of that name already";
    else if (!QDir(where).mkdir(name))
      why = "the folder cannot be made there";
    if (!why.isEmpty()) {
      QMessageBox::warning(this, "New folder", QString("No folder %1 in %2: %3.").arg(name, where, why));
      return;
    }
    Application->PostOpenFolder(list_, (directory == "/" ? directory : directory + "/") + to_ansi(name));
  }
  TDirectoryListBox* list_;
  std::weak_ptr<void> alive_;
};

class DirectoryListPeer : public Peer {
 public:
  DirectoryListPeer(TDirectoryListBox& list, QWidget* parent) : Peer(new FolderList(list, parent)) {}
  void update(TControl& control) override {
    Peer::update(control);
    auto& list = static_cast<TDirectoryListBox&>(control);
    auto* view = static_cast<QListWidget*>(widget_.data());
    const std::string directory = list.Directory;
    if (directory == directory_ && list.Items()->List() == items_) return;
    directory_ = directory;
    items_ = list.Items()->List();
    const QSignalBlocker block(view);
    view->clear();
    auto add = [view](const QString& shown, const std::string& ansi) {
      auto* item = new QListWidgetItem(shown, view);
      item->setData(Qt::UserRole, QByteArray::fromStdString(ansi));
    };
    if (directory != "/") add("..", "..");
    for (const std::string& name : items_) add(from_ansi(name), name);
  }

 private:
  std::string directory_;
  std::vector<std::string> items_;
};

// Any other control: a plain area holding its children.
class ContainerPeer : public Peer {
 public:
  explicit ContainerPeer(QWidget* parent) : Peer(new QWidget(parent)) {}
};

std::unique_ptr<Peer> make_peer(TControl& control, QWidget* parent) {
  if (auto* form = dynamic_cast<TForm*>(&control)) return std::make_unique<FormPeer>(*form);
  if (auto* button = dynamic_cast<TButton*>(&control)) return std::make_unique<ButtonPeer>(*button, parent);
  if (auto* edit = dynamic_cast<TEdit*>(&control)) return std::make_unique<EditPeer>(*edit, parent);
  if (auto* combo = dynamic_cast<TComboBox*>(&control)) return std::make_unique<ComboBoxPeer>(*combo, parent);
  if (auto* list = dynamic_cast<TDirectoryListBox*>(&control)) return std::make_unique<DirectoryListPeer>(*list, parent);
  if (dynamic_cast<TProgressBar*>(&control)) return std::make_unique<ProgressBarPeer>(parent);
  if (dynamic_cast<TLabel*>(&control)) return std::make_unique<LabelPeer>(parent);
  if (dynamic_cast<TGroupBox*>(&control)) return std::make_unique<GroupBoxPeer>(parent);
  if (dynamic_cast<TPanel*>(&control)) return std::make_unique<PanelPeer>(parent);
  return std::make_unique<ContainerPeer>(parent);
}

}  // namespace

Peer::~Peer() = default;

int Peer::caption_room(TControl&, QString*) const { return 0; }

void Peer::update(TControl& control) {
  QWidget* w = widget_.data();
  if (!w) return;
  const TRect r = control.BoundsRect();
  const QRect geometry(r.Left, r.Top, r.Width(), r.Height());
  if (w->geometry() != geometry) w->setGeometry(geometry);
  w->setEnabled(control.Enabled);
  w->setToolTip(from_ansi(control.Hint));
  w->setVisible(control.Visible);
  QFont font = ScreenFont(control.EffectiveFont());
  QString caption;
  if (const int room = caption_room(control, &caption); room > 0 && !caption.isEmpty())
    font = FittingFont(font, caption, room);
  if (w->font() != font) w->setFont(font);
}

Peers::~Peers() {
  // Forms' windows first (they take their children along), then whatever is left.
  for (auto& [control, entry] : entries_)
    if (dynamic_cast<FormPeer*>(entry.peer.get())) entry.peer.reset();
  entries_.clear();
}

QWidget* Peers::find(const TControl* control) const {
  auto it = entries_.find(control);
  return it == entries_.end() || it->second.alive.expired() || !it->second.peer ? nullptr : it->second.peer->widget();
}

Peer* Peers::peer_for(TControl& control, QWidget* parent) {
  auto it = entries_.find(&control);
  if (it != entries_.end() && it->second.alive.expired()) {
    entries_.erase(it);
    it = entries_.end();
  }
  if (it == entries_.end())
    it = entries_.emplace(&control, Entry{control.Liveness(), make_peer(control, parent)}).first;
  Peer* peer = it->second.peer.get();
  if (QWidget* w = peer->widget(); w && !dynamic_cast<TForm*>(&control) && w->parentWidget() != parent) {
    w->setParent(parent);
    w->show();
  }
  return peer;
}

void Peers::update_tree(TControl& control, QWidget* parent) {
  Peer* peer = peer_for(control, parent);
  // Children first: a form shown modally appears with its controls in place.
  if (auto* container = dynamic_cast<TWinControl*>(&control))
    for (int i = 0; i < container->ControlCount(); ++i) update_tree(*container->Controls(i), peer->widget());
  peer->update(control);
  if (auto* form = dynamic_cast<TForm*>(&control); form && form->Visible) {
    auto* form_peer = static_cast<FormPeer*>(peer);
    if (!form_peer->tabs_ordered) {
      form_peer->tabs_ordered = true;
      order_tabs(*form);
    }
  }
}

void Peers::order_tabs(TForm& form) {
  // The widgets that take the focus by Tab, in the controls' TabOrder.
  std::vector<std::pair<TWinControl*, QWidget*>> stops;
  for (TWinControl* control : toolkit::TabOrdered(&form))
    if (QWidget* w = find(control); w && control->TabStop && (w->focusPolicy() & Qt::TabFocus))
      stops.emplace_back(control, w);
  for (size_t i = 0; i + 1 < stops.size(); ++i) QWidget::setTabOrder(stops[i].second, stops[i + 1].second);
  // The first that shows and is enabled has the focus.
  for (const auto& [control, w] : stops)
    if (control->Showing() && control->Enabled) {
      w->setFocus(Qt::TabFocusReason);
      break;
    }
}

void Peers::update() {
  // Destroyed controls: their widgets go (a form's window takes its children along).
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->second.alive.expired()) {
      if (dynamic_cast<FormPeer*>(it->second.peer.get()) == nullptr && it->second.peer->widget())
        it->second.peer->widget()->deleteLater();
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
  if (!Application) return;
  std::vector<TForm*> shown;
  for (int i = 0; i < Application->FormCount(); ++i) shown.push_back(Application->Forms(i));
  // Forms no longer shown hide their windows.
  for (auto& [control, entry] : entries_)
    if (auto* form_peer = dynamic_cast<FormPeer*>(entry.peer.get())) {
      auto* form = const_cast<TForm*>(static_cast<const TForm*>(control));
      if (std::find(shown.begin(), shown.end(), form) == shown.end()) form_peer->update(*form);
    }
  for (TForm* form : shown) update_tree(*form, nullptr);
}

}  // namespace toolkit_qt
