#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

#include <windows.h>

#include "toolkit_qt/screen_agent.h"

namespace toolkit_qt {

namespace {

QMessageBox::StandardButton standard_button(int id) {
  switch (id) {
    case IDOK: return QMessageBox::Ok;
    case IDCANCEL: return QMessageBox::Cancel;
    case IDABORT: return QMessageBox::Abort;
    case IDRETRY: return QMessageBox::Retry;
    case IDIGNORE: return QMessageBox::Ignore;
    case IDYES: return QMessageBox::Yes;
    case IDNO: return QMessageBox::No;
    default: return QMessageBox::NoButton;
  }
}

QMessageBox::Icon icon_of(UINT icon) {
  switch (icon) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONASTERISK: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

}  // namespace

int ShowMessageBox(const TMessageBoxInfo& box, QWidget* parent) {
  QMessageBox dialog(icon_of(box.icon), QString::fromStdString(box.CaptionUtf8()),
                     QString::fromStdString(box.TextUtf8()), QMessageBox::NoButton, parent);
  dialog.setWindowModality(Qt::ApplicationModal);
  bool has_cancel = false;
  for (int id : box.buttons) {
    QPushButton* button = dialog.addButton(standard_button(id));
    if (!button) continue;
    button->setProperty("areaclip_id", id);
    if (id == box.default_button) dialog.setDefaultButton(button);
    if (id == IDCANCEL) has_cancel = true;
  }
  dialog.exec();
  QAbstractButton* clicked = dialog.clickedButton();
  if (clicked && clicked->property("areaclip_id").isValid()) return clicked->property("areaclip_id").toInt();
  return has_cancel ? IDCANCEL : box.default_button;
}

}  // namespace toolkit_qt
