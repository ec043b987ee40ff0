#include "toolkit/form.h"

#include <algorithm>

#include "toolkit/application.h"
#include "toolkit/form_reader.h"
#include "toolkit/resources.h"

namespace {
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
}  // namespace

EReadError::~EReadError() = default;

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner) {
  TControl::SetVisible(false);
  SetBounds(0, 0, 320, 240);
}

TForm::TForm(TComponent* AOwner, std::string_view form_text, const std::string& source_name) : TForm(AOwner) {
  ReadFormText(form_text, source_name);
}

TForm::~TForm() {
  BeginDestroy();
  if (Application) {
    Application->FormHidden(this);
    Application->PopModal(this);
  }
}

void TForm::BindHandler(const std::string& name, TNotifyEvent handler) {
  bindings_.notify_handlers[name] = std::move(handler);
}

void TForm::BindHandler(const std::string& name, TCloseEvent handler) {
  bindings_.close_handlers[name] = std::move(handler);
}

void TForm::ReadFormText(std::string_view text, const std::string& source_name) {
  toolkit::ReadForm(*this, text, bindings_, source_name);
}

void TForm::ReadFormResource(HINSTANCE module, const std::string& name) {
  ReadFormText(toolkit::LoadResourceData(module, "RCDATA", name), name);
}

int TForm::FrameWidth() const {
  switch (border_style_) {
    case bsNone: return 0;
    case bsSizeable:
    case bsSizeToolWin: return 8;
    default: return 3;
  }
}

int TForm::CaptionHeight() const {
  switch (border_style_) {
    case bsNone: return 0;
    case bsToolWindow:
    case bsSizeToolWin: return 17;
    default: return 23;
  }
}

int TForm::GetClientWidth() const { return std::max(0, Width - 2 * FrameWidth()); }
int TForm::GetClientHeight() const { return std::max(0, Height - CaptionHeight() - 2 * FrameWidth()); }
void TForm::SetClientWidth(int value) { Width = toolkit::Saturate(static_cast<long long>(value) + 2 * FrameWidth()); }
void TForm::SetClientHeight(int value) {
  Height = toolkit::Saturate(static_cast<long long>(value) + CaptionHeight() + 2 * FrameWidth());
}

void TForm::SetBorderStyle(TFormBorderStyle v) {
  // The client area keeps its size; the frame grows or shrinks around it.
  const int cw = GetClientWidth(), ch = GetClientHeight();
  border_style_ = v;
  SetBounds(Left, Top, toolkit::Saturate(static_cast<long long>(cw) + 2 * FrameWidth()),
            toolkit::Saturate(static_cast<long long>(ch) + CaptionHeight() + 2 * FrameWidth()));
}

void TForm::SetVisible(bool value) {
  if (value == static_cast<bool>(Visible)) return;
  TControl::SetVisible(value);
  if (!Application) return;
  if (value) {
    if (!placed_) place_on_screen();
    Application->FormShown(this);
    Realign();
    if (OnShow) OnShow(this);
  } else {
    Application->FormHidden(this);
    if (OnHide) OnHide(this);
  }
}

void TForm::place_on_screen() {
  placed_ = true;
  if (position_ == poScreenCenter || position_ == poDesktopCenter || position_ == poMainFormCenter ||
      position_ == poOwnerFormCenter)
    SetBounds((kScreenWidth - Width) / 2, (kScreenHeight - Height) / 2, Width, Height);
}

void TForm::Show() {
  Application->CancelRelease(this);
  Visible = true;
  BringToFront();
}

void TForm::Hide() { Visible = false; }

void TForm::BringToFront() {
  if (Visible && Application) Application->FormShown(this);
}

void TForm::Release() { Application->PostRelease(this); }

void TForm::Close() {
  if (modal_) {
    ModalResult = mrCancel;
    return;
  }
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  switch (action) {
    case caHide:
    case caMinimize: Hide(); break;
    case caFree: Release(); break;
    case caNone: break;
  }
}

void TForm::close_modal() {
  try {
    TCloseAction action = caHide;
    if (OnClose) OnClose(this, action);
    if (action == caNone) ModalResult = mrNone;
    else if (action == caFree) Release();
  } catch (const std::exception& e) {
    ModalResult = mrNone;
    Application->ShowException(e);
  }
}

void TForm::SetModalResult(TModalResult v) {
  modal_result_ = v;
  if (Application) Application->Changed();  // a modal loop waiting for input ends
}

int TForm::ShowModal() {
  if (Visible || modal_) throw Exception("Cannot make a visible window modal");
  std::vector<std::pair<std::weak_ptr<void>, TForm*>> disabled;
  for (int i = 0; i < Application->FormCount(); ++i) {
    TForm* other = Application->Forms(i);
    if (other != this && other->Enabled) {
      disabled.emplace_back(other->Liveness(), other);
      other->Enabled = false;
    }
  }
  const std::weak_ptr<void> alive = Liveness();
  // Restores the other forms and the modal state however the loop ends.
  struct Restore {
    TForm* self;
    const std::weak_ptr<void>& alive;
    std::vector<std::pair<std::weak_ptr<void>, TForm*>>& disabled;
    ~Restore() {
      if (!alive.expired()) {
        Application->PopModal(self);
        self->modal_ = false;
        self->Hide();
      }
      for (auto& [token, form] : disabled)
        if (!token.expired()) form->Enabled = true;
    }
  } restore{this, alive, disabled};

  Application->CancelRelease(this);
  modal_ = true;
  ModalResult = mrNone;
  Application->PushModal(this);
  Show();
  do {
    Application->HandleMessage(this);
    if (alive.expired()) return mrCancel;
    if (Application->Terminated())
      ModalResult = mrCancel;
    else if (ModalResult != mrNone)
      close_modal();
  } while (ModalResult == mrNone);
  return ModalResult;
}
