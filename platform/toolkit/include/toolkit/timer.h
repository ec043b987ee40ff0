// TTimer: calls OnTimer every Interval milliseconds while Enabled. Ticks are delivered only
// while the application processes messages (ProcessMessages, a modal loop), never from
// another thread; ticks missed while the thread was busy are not caught up.
#pragma once

#include <cstdint>

#include "toolkit/component.h"
#include "toolkit/property.h"

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;

  toolkit::Property<TTimer, bool> Enabled{this, &TTimer::GetEnabled, &TTimer::SetEnabled};
  // Milliseconds between ticks; 0 stops the timer.
  toolkit::Property<TTimer, int> Interval{this, &TTimer::GetInterval, &TTimer::SetInterval};
  TNotifyEvent OnTimer;

  // When the next tick is due, on the application's clock.
  int64_t NextDue() const { return next_due_; }
  // A tick is due at `now` (enabled, a non-zero interval, its time has come).
  bool Due(int64_t now) const;
  // Delivers a tick (called by the application's message processing): schedules the next
  // one, then calls OnTimer.
  void Tick(int64_t now);

 private:
  bool GetEnabled() const { return enabled_; }
  void SetEnabled(bool v);
  int GetInterval() const { return interval_; }
  void SetInterval(int v);
  void restart();

  bool enabled_ = true;
  int interval_ = 1000;
  int64_t next_due_ = 0;
};
