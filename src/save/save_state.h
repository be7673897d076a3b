// The save subsystem's engine-wide state: the blocks collected by the save
// command and not yet written into a file.
//
// Owned by the Engine; used on the thread that runs the frames.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vv::save {

// Block numbers run from 1 to this.
constexpr int kBlockSlots = 1024;

// Slot i holds block number i + 1 exactly as a save file stores it (number,
// kind, the bytes 1, 0, 0, compressed and plain sizes, the compressed
// payload); empty while nothing is pending under that number.
using PendingBlocks = std::array<std::vector<uint8_t>, kBlockSlots>;

struct SaveState {
  PendingBlocks pending;
};

}  // namespace vv::save
