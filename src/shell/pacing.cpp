#include "shell/pacing.h"

#include "platform/clock.h"

namespace vv::shell {

bool PaceFrame(FrameClockState& c, platform::Clock& timer) {
  // One period in 16.16 fixed-point milliseconds. The fraction carries from
  // frame to frame, so at 60 frames per second the periods run 16, 17, 16,
  // 17, 17 ... and 60 frames take 999 ms. A rate below 1 never reaches
  // here: the frame-rate command refuses it.
  const int32_t fps = c.framesPerSecond > 0 ? c.framesPerSecond : 1;
  const uint32_t step = static_cast<uint32_t>(65536000 / fps);

  const uint32_t now = timer.NowMs();
  const uint32_t acc = static_cast<uint32_t>(c.frameFraction) + step;
  c.frameFraction = static_cast<uint16_t>(acc & 0xFFFF);
  const uint32_t period = acc >> 16;
  const uint32_t elapsed = now - c.lastFrameTime;

  if (elapsed < period) {
    c.frameClock = now;
    timer.SleepMs(period - elapsed);
    c.lastFrameTime += period;
    c.frameClock = timer.NowMs();
    return false;
  }

  uint32_t late = elapsed - period;
  if (late >= kRestartLatenessMs) late = 0;
  const bool skip = late >= 3 * period && (c.frameSkipEnabled & 1) != 0;
  c.frameClock = now + late;
  c.lastFrameTime = now + late;
  return skip;
}

}  // namespace vv::shell
