// The headless clock: virtual time that moves only when the engine sleeps
// or a test advances it, so every run of a game sees the same times.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/clock.h"

namespace vv::platform {

class VirtualClock final : public Clock {
 public:
  // Virtual time 0 is the start of the run; the local time is this date
  // (a Saturday) plus the virtual time, whatever the host's clock says.
  static constexpr int kStartYear = 2000, kStartMonth = 1, kStartDay = 1;

  uint32_t NowMs() override { return static_cast<uint32_t>(nowMs_); }
  // Advances at once, running the periodic work at every multiple of its
  // period that is passed (see Advance).
  void SleepMs(uint32_t ms) override { Advance(ms); }
  LocalTime Now() override;
  // `periodMs` 0 or an empty `work` turns the periodic work off. The first
  // run is at the next multiple of the period after the current time.
  void SetPeriodicWork(uint32_t periodMs, std::function<void()> work) override;
  bool IsVirtual() const override { return true; }

  // Moves time forward by `ms`. For each multiple m of the period with
  // now < m <= now + ms, in order, time stands at m while the work runs.
  // Work that itself sleeps only moves time (no nested work runs); the
  // remaining boundaries then continue after the time it reached.
  void Advance(uint64_t ms);
  // Virtual milliseconds since the start, without the 32-bit wrap.
  uint64_t ElapsedMs() const { return nowMs_; }

 private:
  uint64_t nowMs_ = 0;
  uint32_t periodMs_ = 0;
  // Shared so that work which replaces itself keeps running to its end.
  std::shared_ptr<const std::function<void()>> work_;
  bool inWork_ = false;
};

}  // namespace vv::platform
