// The scrambling key of compiled code files, shared by the engine and the
// dorov compiler so that both sides always agree on it.
//
// The key is the CRC-32 (zlib's reflected CRC-32) of the 17-byte text
// "VAVEVO script 288", split most significant byte first: CRC 0x975CF6BB
// gives the key bytes 0x97, 0x5C, 0xF6, 0xBB. Byte i of a code or expression
// region, counted from the start of that region, is stored XORed with key
// byte (i mod 4); the same XOR undoes it.
//
// Header-only and constexpr: no state, safe from any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace vv::script {

// The text the key is derived from (no terminator is hashed).
inline constexpr std::string_view kScriptKeyText = "VAVEVO script 288";

// CRC-32 of kScriptKeyText; a unit test recomputes it through zlib.
inline constexpr uint32_t kScriptKeyCrc = 0x975CF6BBu;

// Key byte 0 = bits 31..24 of the CRC, byte 3 = bits 7..0.
inline constexpr std::array<uint8_t, 4> kScriptKey = {
    static_cast<uint8_t>(kScriptKeyCrc >> 24), static_cast<uint8_t>(kScriptKeyCrc >> 16),
    static_cast<uint8_t>(kScriptKeyCrc >> 8), static_cast<uint8_t>(kScriptKeyCrc)};

// Scrambles or descrambles one region in place (the operation is its own
// inverse). The key restarts at byte 0 for every region.
inline void ScrambleRegion(std::span<uint8_t> region) {
  for (size_t i = 0; i < region.size(); ++i) region[i] ^= kScriptKey[i & 3];
}

}  // namespace vv::script
