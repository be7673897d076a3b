#pragma once

#include <cstdint>

#include "shell/shell_state.h"

namespace vv::platform {
class Clock;
}

namespace vv::shell {

// A frame this late or later restarts the schedule instead of counting.
constexpr uint32_t kRestartLatenessMs = 250;

// Waits out the rest of the frame period and moves the schedule on.
// Returns true when this frame should skip presentation: it started three
// periods late or more (but less than 250 ms) while frame skip is on.
bool PaceFrame(FrameClockState& clock, platform::Clock& timer);

}  // namespace vv::shell
