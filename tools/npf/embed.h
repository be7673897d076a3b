// Appending an archive to a game's program.
//
// Our Linux program: the program's bytes, the 16-byte block ("VODU",
// archive offset 16, preview size 0, reserved 0), the archive, then the
// 12-byte trailer (the block's offset D and "NV_RES01") that the engine
// reads from the end of the file. A program that already carries a block
// (its trailer points at "VODU") has that appended part replaced, so
// embedding twice never stacks archives; a trailer without a block is
// dropped.
//
// A Windows program (starting with "MZ") keeps D in the first four bytes of
// its resource "NV_RES" 201: those bytes are patched in place and the block
// and archive appended (replacing a block D already points at). A Windows
// program without that resource is refused.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vv::npf {

struct EmbedResult {
  std::vector<uint8_t> bytes;
  uint32_t locator = 0;       // D, the block's file offset
  bool windows = false;       // patched a Windows program's resource
  bool replacedBlock = false; // an earlier appended block was replaced
};

std::optional<EmbedResult> EmbedArchive(std::span<const uint8_t> program, std::span<const uint8_t> archive,
                                        std::string& error);

// File offset of the first byte of a Windows program's resource
// "NV_RES" 201 (its first language), when it has one holding at least 4
// bytes. Every offset of the PE headers and resource tree is checked
// against the file before it is followed.
std::optional<uint64_t> FindPeLocatorOffset(std::span<const uint8_t> program);

}  // namespace vv::npf
