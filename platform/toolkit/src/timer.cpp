#include "toolkit/timer.h"

#include "toolkit/application.h"

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
  if (Application) Application->AddTimer(this);
  restart();
}

TTimer::~TTimer() {
  if (Application) Application->RemoveTimer(this);
}

void TTimer::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  restart();
}

void TTimer::SetInterval(int v) {
  interval_ = v < 0 ? 0 : v;
  restart();
}

void TTimer::restart() {
  next_due_ = (Application ? Application->Now() : 0) + interval_;
  if (Application) Application->Changed();
}

bool TTimer::Due(int64_t now) const { return enabled_ && interval_ > 0 && OnTimer && now >= next_due_; }

void TTimer::Tick(int64_t now) {
  next_due_ = now + interval_;
  if (OnTimer) OnTimer(this);
}
