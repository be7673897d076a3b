// The block a packer appends to the game's program, and how the program
// says where it starts.
//
// The locator D is the file offset of the block. A Windows program keeps D
// in the first four bytes of its resource of type "NV_RES", id 201. Our own
// Linux program keeps it in a 12-byte trailer at the very end of the file:
//
//   size-12  4  D (uint32, little-endian)
//   size-8   8  magic "NV_RES01"
//
// The block at D:
//
//   D+0   4  magic "VODU"
//   D+4   4  archive offset A: the embedded pack archive starts at D + A
//   D+8   4  preview size P: non-zero marks a screen-saver build
//   D+12  4  reserved
//   D+16  P  preview picture (a whole BMP file)
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/filesystem.h"
#include "shell/shell_state.h"

namespace vv::shell {

constexpr char kLocatorTrailerMagic[8] = {'N', 'V', '_', 'R', 'E', 'S', '0', '1'};
constexpr size_t kLocatorTrailerBytes = 12;
constexpr char kBlockMagic[4] = {'V', 'O', 'D', 'U'};
constexpr size_t kBlockHeaderBytes = 16;
// D = 4 means "no block"; start-up forces it when the block would not fit.
constexpr uint32_t kNoBlock = 4;

// The locator from our trailer, or nullopt when the file has none.
std::optional<uint32_t> LocatorFromTrailer(platform::File& file);

// The locator from a Windows program's resource "NV_RES" 201, or nullopt
// when the file is no PE image or has no such resource. Every offset of
// the resource table is checked against the file before it is followed.
std::optional<uint32_t> LocatorFromPeResource(platform::File& file);

// Reads the locator and the block of the program file, with the rules
// start-up applies: D + 12 beyond the file makes D = 4; the block counts as
// present when D is neither 0 nor 4, D differs from the file size and the
// magic matches.
AppendedBlock ReadAppendedBlock(platform::File& file, bool windowsExecutable);

}  // namespace vv::shell
