#include "platform/headless/virtual_clock.h"

#include <ctime>

namespace vv::platform {

LocalTime VirtualClock::Now() {
  std::tm start{};
  start.tm_year = kStartYear - 1900;
  start.tm_mon = kStartMonth - 1;
  start.tm_mday = kStartDay;
  // timegm/gmtime_r work in UTC, so the host's time zone cannot change the
  // date a run sees.
  const time_t seconds = timegm(&start) + static_cast<time_t>(nowMs_ / 1000);
  std::tm t{};
  gmtime_r(&seconds, &t);
  LocalTime out;
  out.year = t.tm_year + 1900;
  out.month = t.tm_mon + 1;
  out.day = t.tm_mday;
  out.weekday = t.tm_wday;
  out.hour = t.tm_hour;
  out.minute = t.tm_min;
  out.second = t.tm_sec;
  out.millisecond = static_cast<int>(nowMs_ % 1000);
  return out;
}

void VirtualClock::SetPeriodicWork(uint32_t periodMs, std::function<void()> work) {
  periodMs_ = work ? periodMs : 0;
  work_ = periodMs_ != 0 ? std::make_shared<const std::function<void()>>(std::move(work)) : nullptr;
}

void VirtualClock::Advance(uint64_t ms) {
  const uint64_t target = nowMs_ + ms;
  if (inWork_ || periodMs_ == 0) {
    nowMs_ = target;
    return;
  }
  while (periodMs_ != 0) {  // the work may turn itself off
    const uint64_t next = (nowMs_ / periodMs_ + 1) * periodMs_;
    if (next > target) break;
    nowMs_ = next;
    const auto work = work_;  // the work may replace or drop itself
    inWork_ = true;
    (*work)();
    inWork_ = false;
  }
  if (nowMs_ < target) nowMs_ = target;
}

}  // namespace vv::platform
