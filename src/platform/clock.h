// Time: the engine's millisecond timer, sleeping and the local date.
#pragma once

#include <cstdint>
#include <functional>

namespace vv::platform {

struct LocalTime {
  int year = 0, month = 0, day = 0;  // month 1..12, day 1..31
  int weekday = 0;                   // 0 Sunday .. 6 Saturday
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start; wraps around at 2^32 like the
  // timer the pacing arithmetic was written for.
  virtual uint32_t NowMs() = 0;
  // Sleeps for `ms` milliseconds. The headless clock advances at once.
  virtual void SleepMs(uint32_t ms) = 0;
  virtual LocalTime Now() = 0;
  // Registers work due every `periodMs` of clock time (the sound tick). The
  // real clock ignores it (a thread does that work); the virtual clock runs
  // `work` each time its time passes a multiple of the period. Call from the
  // thread that owns the clock; `work` runs on the sleeping thread.
  virtual void SetPeriodicWork(uint32_t periodMs, std::function<void()> work) = 0;
  // True when time is virtual (no sound thread; sleeping costs nothing).
  virtual bool IsVirtual() const = 0;
};

}  // namespace vv::platform
