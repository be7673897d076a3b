// The real clock: a steady millisecond counter and sleeping threads.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/sdl/sdl_services.h"

namespace vv::platform::sdl {
namespace {

class SdlClock final : public Clock {
 public:
  uint32_t NowMs() override {
    using namespace std::chrono;
    // Truncated on purpose: the pacing arithmetic expects a 32-bit timer.
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }

  void SleepMs(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

  LocalTime Now() override {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    LocalTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.weekday = local.tm_wday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = std::min(local.tm_sec, 59);  // a leap second reads as :59
    t.millisecond = static_cast<int>(now.tv_nsec / 1000000);
    return t;
  }

  // The sound thread does the periodic work on this clock; it is only kept.
  void SetPeriodicWork(uint32_t periodMs, std::function<void()> work) override {
    periodMs_ = periodMs;
    work_ = std::move(work);
  }

  bool IsVirtual() const override { return false; }

 private:
  uint32_t periodMs_ = 0;
  std::function<void()> work_;
};

}  // namespace

std::unique_ptr<Clock> CreateSdlClock() { return std::make_unique<SdlClock>(); }

}  // namespace vv::platform::sdl
