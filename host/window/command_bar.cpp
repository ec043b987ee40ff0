#include "command_bar.h"

#include <QAction>
#include <QMessageBox>

#include <objbase.h>
#include <toolkit/bitmap.h>
#include <win32/text.h>

namespace host {

namespace {

QIcon icon_of(OLE_HANDLE handle) {
  const TBitmap* bitmap = TBitmap::FromHandle(reinterpret_cast<HBITMAP>(handle));
  if (!bitmap || bitmap->Empty()) return {};
  QImage image(bitmap->Width(), bitmap->Height(), QImage::Format_RGB32);
  for (int y = 0; y < bitmap->Height(); ++y)
    for (int x = 0; x < bitmap->Width(); ++x) image.setPixel(x, y, 0xFF000000u | bitmap->Pixel(x, y));
  return QIcon(QPixmap::fromImage(image));
}

std::string tooltip_of(ICommand* command) {
  win32::Bstr text;
  if (FAILED(command->get_Tooltip(text.put()))) return {};
  return text.utf8();
}

}  // namespace

CommandBar::CommandBar(IApplication* application, const std::string& module_path, QWidget* parent)
    : QToolBar(parent) {
  setObjectName("extension_toolbar");
  setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  win32::ComPtr<IDispatch> hook = win32::query<IDispatch>(application);
  for (int item = 0;; ++item) {
    HostedCommand command;
    std::string error;
    if (!load_toolbar_command(kToolbarProgId, item, module_path, &command, &error)) {
      // The items end where the toolbar has no more; anything else is an error to show.
      if (item == 0 || error.find("has no item") == std::string::npos) error_ = error;
      break;
    }
    HRESULT hr = command.command->OnCreate(hook.get());
    if (FAILED(hr)) {
      error_ = "the command " + command.prog_id + " refused the application";
      break;
    }
    auto* action = addAction(icon_of(command.bitmap), QString::fromStdString(command.caption));
    action->setToolTip(QString::fromStdString(tooltip_of(command.command.get())));
    action->setEnabled(command.enabled);
    action->setObjectName(QString::fromStdString(command.prog_id));
    ICommand* raw = command.command.get();
    connect(action, &QAction::triggered, [this, raw] {
      if (before_command && !before_command()) return;
      HRESULT result = raw->OnClick();
      if (FAILED(result)) {
        std::string why = take_error_description();
        QMessageBox::warning(this, windowTitle(),
                             QString::fromStdString("The command failed" + (why.empty() ? "." : ": " + why)));
      }
      if (on_command_done) on_command_done();
    });
    commands_.push_back(std::move(command));
    actions_.push_back(action);
  }
  setWindowTitle(commands_.empty() ? QString("areaclip") : QString::fromStdString(commands_[0].category));
}

CommandBar::~CommandBar() {
  for (HostedCommand& command : commands_) {
    command.command->OnCreate(nullptr);
    command.command.reset();
  }
  commands_.clear();
  CoFreeUnusedLibraries();
}

void CommandBar::update_states() {
  for (size_t i = 0; i < commands_.size(); ++i) {
    VARIANT_BOOL enabled = VARIANT_FALSE;
    actions_[i]->setEnabled(SUCCEEDED(commands_[i].command->get_Enabled(&enabled)) && enabled != VARIANT_FALSE);
  }
}

}  // namespace host
