// The script's random generator: the 32-bit Mersenne Twister MT19937, one
// per engine. Only the math command's random integers draw from it, so a
// run with the same seed and the same input draws the same numbers.
//
// The seed is chosen at start-up (engine.shell.scriptSeed: the timer, a
// fixed seed in headless runs, or the command line's) and applied before
// the first draw unless SeedRandom was called earlier. For a given seed the
// sequence equals the reference generator's (std::mt19937).
//
// Threading: the frame thread only.
#pragma once

#include <array>
#include <cstdint>

namespace vv {
struct Engine;
}

namespace vv::script {

constexpr int kRandomWords = 624;

struct ScriptRandom {
  std::array<uint32_t, kRandomWords> words{};
  uint32_t index = kRandomWords;
  bool seeded = false;
};

// Word 0 = seed, word i = 1812433253 * (w[i-1] ^ (w[i-1] >> 30)) + i; the
// next draw regenerates the whole state.
void SeedRandom(ScriptRandom& random, uint32_t seed);

// One draw: the next word, tempered. An unseeded generator takes the
// reference default seed 5489 first.
uint32_t NextRandom(ScriptRandom& random);

// One draw of the engine's generator, seeded from engine.shell.scriptSeed
// on first use.
uint32_t NextRandom(Engine& engine);

// A random integer from min(x, y) to max(x, y) from one draw r:
// lo + r mod (hi - lo + 1). A span beyond 2^32 yields only the first 2^32
// values; the full int64 span (which overflows) counts as 2^64, so any
// value of the draw plus lo is possible.
int64_t RandomBetween(int64_t x, int64_t y, uint32_t draw);

}  // namespace vv::script
