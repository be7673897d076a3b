#include "script/script_random.h"

#include "shell/engine.h"

namespace vv::script {

namespace {

constexpr uint32_t kDefaultSeed = 5489;
constexpr int kShift = 397;
constexpr uint32_t kMatrix = 0x9908B0DFu;
constexpr uint32_t kUpper = 0x80000000u;
constexpr uint32_t kLower = 0x7FFFFFFFu;

void Regenerate(ScriptRandom& r) {
  auto& w = r.words;
  for (int i = 0; i < kRandomWords; ++i) {
    const uint32_t y = (w[i] & kUpper) | (w[(i + 1) % kRandomWords] & kLower);
    w[i] = w[(i + kShift) % kRandomWords] ^ (y >> 1) ^ ((y & 1u) != 0 ? kMatrix : 0u);
  }
  r.index = 0;
}

}  // namespace

void SeedRandom(ScriptRandom& random, uint32_t seed) {
  auto& w = random.words;
  w[0] = seed;
  for (uint32_t i = 1; i < kRandomWords; ++i) w[i] = 1812433253u * (w[i - 1] ^ (w[i - 1] >> 30)) + i;
  random.index = kRandomWords;
  random.seeded = true;
}

uint32_t NextRandom(ScriptRandom& random) {
  if (!random.seeded) SeedRandom(random, kDefaultSeed);
  if (random.index >= kRandomWords) Regenerate(random);
  uint32_t y = random.words[random.index++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

uint32_t NextRandom(Engine& engine) {
  ScriptRandom& random = engine.script.random;
  if (!random.seeded) SeedRandom(random, engine.shell.scriptSeed);
  return NextRandom(random);
}

int64_t RandomBetween(int64_t x, int64_t y, uint32_t draw) {
  const int64_t lo = y < x ? y : x;
  const int64_t hi = y < x ? x : y;
  // The span in unsigned arithmetic: exact for every pair, and 0 (meaning
  // 2^64) for the one pair whose span does not fit.
  const uint64_t span = static_cast<uint64_t>(hi) - static_cast<uint64_t>(lo) + 1u;
  const uint64_t offset = span == 0 ? draw : draw % span;
  return static_cast<int64_t>(static_cast<uint64_t>(lo) + offset);
}

}  // namespace vv::script
