// The pixel primitives: every set against the portable one over random
// rows, the portable set against the plain formulas, and the edge values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "graphics/arithmetic_tables.h"
#include "graphics/graphics_state.h"
#include "graphics/pixel_ops.h"
#include "graphics/test_pixel_sets.h"

namespace vv::graphics {
namespace {

constexpr uint32_t kSeed = 20240611;
// Row lengths in bytes: every length up to 67 pixels, unaligned lengths,
// and a long row.
std::vector<int> RowLengths() {
  std::vector<int> lengths;
  for (int px = 0; px <= 67; ++px) lengths.push_back(4 * px);
  for (int n : {1, 2, 3, 5, 6, 7, 9, 13, 31, 33, 63, 65, 127, 129}) lengths.push_back(n);
  lengths.push_back(4 * 1921);
  return lengths;
}

using testing::AcceleratedSets;

std::vector<PixelSet> AllSets() {
  std::vector<PixelSet> sets{PixelSet::kPortable};
  for (PixelSet s : AcceleratedSets()) sets.push_back(s);
  return sets;
}

// Weights worth trying: the ends, the lerp's special 128, and strays
// outside 0..256 that every set must take the same way.
int PickWeight(std::mt19937& rng) {
  static constexpr int kEdges[] = {0, 1, 2, 127, 128, 129, 254, 255, 256, -7, 300};
  return rng() % 3 == 0 ? kEdges[rng() % std::size(kEdges)] : static_cast<int>(rng() % 257);
}

// Bytes that favour the edges a saturating or alpha loop cares about.
uint8_t PickByte(std::mt19937& rng) {
  switch (rng() % 6) {
    case 0: return 0;
    case 1: return 255;
    default: return static_cast<uint8_t>(rng());
  }
}

// One call of a slot on a destination row and up to two source rows, with
// the arguments drawn for this case.
struct Args {
  int w = 0, v = 0, level = 0, vague = 256, stride = 0;
  uint32_t pixel = 0;
  std::vector<int32_t> weight = std::vector<int32_t>(256);
};
using Call = std::function<void(const PixelOps&, uint8_t*, const uint8_t*, const uint8_t*, const Args&, int)>;

struct Slot {
  const char* name;
  Call call;
  int sourceRows = 1;  // Downsample reads two rows of twice the width
};

std::vector<Slot> Slots() {
  return {
      {"ZeroFill", [](const PixelOps& o, uint8_t* d, const uint8_t*, const uint8_t*, const Args&, int n) { o.ZeroFill(d, n); }},
      {"FillBytes", [](const PixelOps& o, uint8_t* d, const uint8_t*, const uint8_t*, const Args& a, int n) { o.FillBytes(d, n, a.w * 7919); }},
      {"FillPixels", [](const PixelOps& o, uint8_t* d, const uint8_t*, const uint8_t*, const Args& a, int n) { o.FillPixels(d, n, a.pixel); }},
      {"CopyBytes", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args&, int n) { o.CopyBytes(d, s, n); }},
      {"LerpBytes", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args& a, int n) { o.LerpBytes(d, s, a.w, n); }},
      {"LerpBytes32", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args& a, int n) { o.LerpBytes32(d, s, a.w, n & ~31); }},
      {"AlphaOver", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args&, int n) { o.AlphaOver(d, s, n); }},
      {"AlphaOverOpacity", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args& a, int n) { o.AlphaOverOpacity(d, s, a.w, n); }},
      {"MaskLerp", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t* m, const Args& a, int n) { o.MaskLerp(d, s, m, a.weight.data(), a.level, a.vague, n); }},
      {"LerpInto", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t* m, const Args& a, int n) { o.LerpInto(d, s, m, a.w, n); }},
      {"AddBytes", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args&, int n) { o.AddBytes(d, s, n); }},
      {"AddBytesOpacity", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args& a, int n) { o.AddBytesOpacity(d, s, a.w, n); }},
      {"SubtractBytes", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args&, int n) { o.SubtractBytes(d, s, n); }},
      {"MultiplyBytes", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args&, int n) { o.MultiplyBytes(d, s, n); }},
      {"ScreenBytes", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args&, int n) { o.ScreenBytes(d, s, n); }},
      {"ScreenBytesOpacity", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args& a, int n) { o.ScreenBytesOpacity(d, s, a.w, n); }},
      {"LightenBytes", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args&, int n) { o.LightenBytes(d, s, n); }},
      {"DarkenBytes", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args&, int n) { o.DarkenBytes(d, s, n); }},
      {"LinearBurnBytes", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args&, int n) { o.LinearBurnBytes(d, s, n); }},
      {"LinearLightBytes", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args&, int n) { o.LinearLightBytes(d, s, n); }},
      {"Downsample2x2", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args& a, int n) { o.Downsample2x2(d, s, a.stride, n / 4); }, 4},
      {"AlphaUnion", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args&, int n) { o.AlphaUnion(d, s, n); }},
      {"AlphaUnionOpacity", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args& a, int n) { o.AlphaUnionOpacity(d, s, a.w, n); }},
      {"AlphaUnionScaledDst", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args& a, int n) { o.AlphaUnionScaledDst(d, s, a.w, n); }},
      {"AlphaUnionScaledDstOpacity", [](const PixelOps& o, uint8_t* d, const uint8_t* s, const uint8_t*, const Args& a, int n) { o.AlphaUnionScaledDstOpacity(d, s, a.w, a.v, n); }},
  };
}

Args DrawArgs(std::mt19937& rng, int n) {
  Args a;
  a.w = PickWeight(rng);
  a.v = PickWeight(rng);
  a.pixel = static_cast<uint32_t>(rng());
  a.level = static_cast<int>(rng() % 256);
  static constexpr int kVague[] = {256, 0, 1, 2, 3, 64, 128, 255, 511, -3};
  a.vague = rng() % 4 == 0 ? static_cast<int>(rng() % 600) - 50 : kVague[rng() % std::size(kVague)];
  for (int32_t& w : a.weight) w = static_cast<int32_t>(rng() % 700) - 300;
  a.stride = n / 4 * 2 + static_cast<int>(rng() % 3);
  return a;
}

// Pixman-style: every set against the portable one, the seed and the case
// named on failure so that it can be replayed.
TEST(PixelOps, EverySetEqualsPortableOverRandomRows) {
  const auto sets = AcceleratedSets();
  if (sets.empty()) GTEST_SKIP() << "no accelerated set on this processor";
  const PixelOps& portable = PixelOpsFor(PixelSet::kPortable);
  std::mt19937 rng(kSeed);
  constexpr int kGuard = 64;
  for (const Slot& slot : Slots()) {
    for (int n : RowLengths()) {
      for (int round = 0; round < 3; ++round) {
        const Args args = DrawArgs(rng, n);
        const int offset = static_cast<int>(rng() % 4);  // unaligned rows too
        const size_t srcBytes = static_cast<size_t>(slot.sourceRows) * (static_cast<size_t>(args.stride) * 4 + 8) + n + 8;
        std::vector<uint8_t> dst(static_cast<size_t>(n) + 2 * kGuard + 4), src(srcBytes + 4), extra(n + 8);
        for (auto& b : dst) b = PickByte(rng);
        for (auto& b : src) b = PickByte(rng);
        for (auto& b : extra) b = PickByte(rng);
        std::vector<uint8_t> expected = dst;
        slot.call(portable, expected.data() + kGuard + offset, src.data() + offset, extra.data(), args, n);
        for (PixelSet set : sets) {
          std::vector<uint8_t> got = dst;
          slot.call(PixelOpsFor(set), got.data() + kGuard + offset, src.data() + offset, extra.data(), args, n);
          if (got != expected) {
            const auto at = std::mismatch(got.begin(), got.end(), expected.begin()).first - got.begin();
            FAIL() << slot.name << " set " << PixelSetName(set) << " seed " << kSeed << " n " << n << " round "
                   << round << " w " << args.w << " v " << args.v << " level " << args.level << " vague "
                   << args.vague << ": first difference at byte " << (at - kGuard - offset) << " ("
                   << int(got[static_cast<size_t>(at)]) << " instead of " << int(expected[static_cast<size_t>(at)]) << ")";
          }
        }
        // Nothing outside the row is touched.
        ASSERT_TRUE(std::equal(expected.begin(), expected.begin() + kGuard + offset, dst.begin()))
            << slot.name << " wrote before the row, n " << n;
        const size_t rowEnd = static_cast<size_t>(kGuard + offset + n);
        ASSERT_TRUE(std::equal(expected.begin() + static_cast<ptrdiff_t>(rowEnd), expected.end(),
                               dst.begin() + static_cast<ptrdiff_t>(rowEnd)))
            << slot.name << " wrote past the row, n " << n;
      }
    }
  }
}

// The plain formulas, written the obvious way, against the portable set
// over every pair of bytes.
TEST(PixelOps, PortableSetFollowsThePlainFormulas) {
  const PixelOps& o = PixelOpsFor(PixelSet::kPortable);
  std::vector<uint8_t> d0(65536), s(65536);
  for (int i = 0; i < 65536; ++i) {
    d0[static_cast<size_t>(i)] = static_cast<uint8_t>(i >> 8);
    s[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  }
  auto clamp = [](int v) { return std::clamp(v, 0, 255); };
  struct Case {
    const char* name;
    std::function<void(uint8_t*, int)> run;
    std::function<int(int d, int s, int w)> formula;
  };
  const Case cases[] = {
      {"AddBytes", [&](uint8_t* d, int) { o.AddBytes(d, s.data(), 65536); }, [](int d, int s, int) { return std::min(255, d + s); }},
      {"SubtractBytes", [&](uint8_t* d, int) { o.SubtractBytes(d, s.data(), 65536); }, [](int d, int s, int) { return std::max(0, s - d); }},
      {"MultiplyBytes", [&](uint8_t* d, int) { o.MultiplyBytes(d, s.data(), 65536); }, [](int d, int s, int) { return (d * (s + 1)) >> 8; }},
      {"ScreenBytes", [&](uint8_t* d, int) { o.ScreenBytes(d, s.data(), 65536); }, [](int d, int s, int) { return d + s - ((d * (s + 1)) >> 8); }},
      {"LightenBytes", [&](uint8_t* d, int) { o.LightenBytes(d, s.data(), 65536); }, [](int d, int s, int) { return std::max(d, s); }},
      {"DarkenBytes", [&](uint8_t* d, int) { o.DarkenBytes(d, s.data(), 65536); }, [](int d, int s, int) { return std::min(d, s); }},
      {"LinearBurnBytes", [&](uint8_t* d, int) { o.LinearBurnBytes(d, s.data(), 65536); }, [&](int d, int s, int) { return clamp(d + s - 255); }},
      {"LinearLightBytes", [&](uint8_t* d, int) { o.LinearLightBytes(d, s.data(), 65536); }, [&](int d, int s, int) { return clamp(d + 2 * s - 256); }},
      {"LerpBytes", [&](uint8_t* d, int w) { o.LerpBytes(d, s.data(), w, 65536); },
       [](int d, int s, int w) { return w == 128 ? (d + s + 1) >> 1 : d + (((s - d) * w) >> 8); }},
      {"AddBytesOpacity", [&](uint8_t* d, int w) { o.AddBytesOpacity(d, s.data(), w, 65536); },
       [](int d, int s, int w) { return std::min(255, d + ((s * w) >> 8)); }},
      {"ScreenBytesOpacity", [&](uint8_t* d, int w) { o.ScreenBytesOpacity(d, s.data(), w, 65536); },
       [](int d, int s, int w) { return d + w * (s - d * s / 255) / 256; }},
  };
  for (const Case& c : cases) {
    for (int w : {0, 1, 77, 128, 200, 255, 256}) {
      std::vector<uint8_t> d = d0;
      c.run(d.data(), w);
      for (int i = 0; i < 65536; ++i) {
        const int dv = d0[static_cast<size_t>(i)], sv = s[static_cast<size_t>(i)];
        ASSERT_EQ(d[static_cast<size_t>(i)], c.formula(dv, sv, w)) << c.name << " d " << dv << " s " << sv << " w " << w;
      }
    }
  }
  // LerpInto writes a third row with the lerp's formula.
  std::vector<uint8_t> out(65536);
  o.LerpInto(out.data(), d0.data(), s.data(), 128, 65536);
  for (int i = 0; i < 65536; ++i) ASSERT_EQ(out[static_cast<size_t>(i)], (d0[static_cast<size_t>(i)] + s[static_cast<size_t>(i)] + 1) >> 1);
}

// The alpha compositing slots compute all four bytes with two rounded
// products; the portable set gives exactly that.
TEST(PixelOps, AlphaOverFormulasOnEveryAlpha) {
  for (PixelSet set : AllSets()) {
    const PixelOps& o = PixelOpsFor(set);
    for (int opacity : {-1, 0, 1, 100, 255, 256}) {
      std::vector<uint8_t> d(4 * 256 * 16), s(d.size());
      std::mt19937 rng(kSeed + static_cast<uint32_t>(opacity));
      for (size_t i = 0; i < d.size(); ++i) {
        d[i] = static_cast<uint8_t>(rng());
        s[i] = static_cast<uint8_t>(rng());
      }
      for (size_t px = 0; px < d.size() / 4; ++px) s[4 * px + 3] = static_cast<uint8_t>(px);  // every alpha
      std::vector<uint8_t> got = d;
      if (opacity < 0) {
        o.AlphaOver(got.data(), s.data(), static_cast<int>(got.size()));
      } else {
        o.AlphaOverOpacity(got.data(), s.data(), opacity, static_cast<int>(got.size()));
      }
      for (size_t i = 0; i < d.size(); ++i) {
        const int sa = s[i | 3];
        const int a = opacity < 0 ? sa : (sa * opacity) >> 8;
        const int want = ((s[i] * (a + 1)) >> 8) + ((d[i] * (256 - a)) >> 8);
        ASSERT_EQ(got[i], want) << PixelSetName(set) << " opacity " << opacity << " byte " << i;
      }
    }
  }
}

// The values the behaviour is known by, on every set.
TEST(PixelOps, EdgeValuesOnEverySet) {
  for (PixelSet set : AllSets()) {
    SCOPED_TRACE(PixelSetName(set));
    const PixelOps& o = PixelOpsFor(set);
    // 40 bytes: long enough for one full vector step and a tail.
    auto row = [](std::initializer_list<uint8_t> px) {
      std::vector<uint8_t> r;
      for (int i = 0; i < 10; ++i) r.insert(r.end(), px);
      return r;
    };

    // AlphaOver: alpha 255 copies the source, alpha 0 leaves everything.
    std::vector<uint8_t> d = row({10, 200, 30, 77}), s = row({250, 5, 30, 255});
    o.AlphaOver(d.data(), s.data(), 40);
    EXPECT_EQ(d, s);
    d = row({10, 200, 30, 77});
    s = row({250, 5, 30, 0});
    o.AlphaOver(d.data(), s.data(), 40);
    EXPECT_EQ(d, row({10, 200, 30, 77}));

    // SubtractBytes is source minus destination.
    d = row({10, 30, 0, 255});
    s = row({30, 10, 0, 255});
    o.SubtractBytes(d.data(), s.data(), 40);
    EXPECT_EQ(d, row({20, 0, 0, 0}));

    // MultiplyBytes: a white source keeps d, a black one gives 0.
    d = row({1, 128, 255, 77});
    s = row({255, 255, 0, 0});
    o.MultiplyBytes(d.data(), s.data(), 40);
    EXPECT_EQ(d, row({1, 128, 0, 0}));

    // LerpBytes: weight 0 keeps d, 256 copies s.
    d = row({1, 2, 3, 4});
    s = row({200, 100, 50, 25});
    o.LerpBytes(d.data(), s.data(), 0, 40);
    EXPECT_EQ(d, row({1, 2, 3, 4}));
    o.LerpBytes(d.data(), s.data(), 256, 40);
    EXPECT_EQ(d, s);

    // AlphaUnion onto a transparent destination takes the source whole
    // where it has alpha; with no alpha on either side nothing changes.
    d = row({9, 9, 9, 0});
    s = row({100, 150, 200, 80});
    o.AlphaUnion(d.data(), s.data(), 40);
    EXPECT_EQ(d, s);
    d = row({9, 8, 7, 0});
    s = row({100, 150, 200, 0});
    o.AlphaUnion(d.data(), s.data(), 40);
    EXPECT_EQ(d, row({9, 8, 7, 0}));

    // FillPixels writes whole pixels only: n = 6 is one pixel.
    d = row({1, 1, 1, 1});
    o.FillPixels(d.data(), 6, 0xFF000000u);
    EXPECT_EQ(std::vector<uint8_t>(d.begin(), d.begin() + 8), (std::vector<uint8_t>{0, 0, 0, 255, 1, 1, 1, 1}));

    // MaskLerp skips pixels of weight 0 and 1, takes the source at 256.
    std::vector<int32_t> weight(256, 0);
    weight[1] = 1;
    weight[2] = 256;
    d = row({50, 60, 70, 80});
    s = row({150, 160, 170, 180});
    std::vector<uint8_t> mask = row({0, 9, 9, 9});
    for (size_t px = 0; px < 10; ++px) mask[4 * px] = static_cast<uint8_t>(px % 3);
    o.MaskLerp(d.data(), s.data(), mask.data(), weight.data(), 0, 256, 40);
    for (size_t px = 0; px < 10; ++px) {
      const uint8_t* p = d.data() + 4 * px;
      if (px % 3 == 2) {
        EXPECT_EQ(std::vector<uint8_t>(p, p + 4), (std::vector<uint8_t>{150, 160, 170, 80})) << px;
      } else {
        EXPECT_EQ(std::vector<uint8_t>(p, p + 4), (std::vector<uint8_t>{50, 60, 70, 80})) << px;
      }
    }

    // Lengths of 0 and below write nothing.
    d = row({1, 2, 3, 4});
    const std::vector<uint8_t> before = d;
    for (int n : {0, -4}) {
      o.ZeroFill(d.data(), n);
      o.FillPixels(d.data(), n, 0);
      o.AlphaOver(d.data(), s.data(), n);
      o.LerpBytes(d.data(), s.data(), 100, n);
      o.AddBytes(d.data(), s.data(), n);
      o.Downsample2x2(d.data(), s.data(), 2, n);
      o.MaskLerp(d.data(), s.data(), mask.data(), weight.data(), 10, 100, n);
    }
    EXPECT_EQ(d, before);
  }
}

TEST(PixelOps, DownsampleAveragesFourPixelsAlphaIncluded) {
  const uint8_t top[16] = {0, 4, 8, 255, 4, 8, 12, 255, 1, 1, 1, 1, 3, 3, 3, 3};
  const uint8_t bottom[16] = {8, 12, 16, 0, 12, 16, 21, 0, 1, 1, 1, 1, 1, 1, 1, 2};
  uint8_t src[32];
  std::memcpy(src, top, 16);
  std::memcpy(src + 16, bottom, 16);
  for (PixelSet set : AllSets()) {
    uint8_t out[8] = {};
    PixelOpsFor(set).Downsample2x2(out, src, 4, 2);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 8), (std::vector<uint8_t>{6, 10, 14, 127, 1, 1, 1, 1})) << PixelSetName(set);
  }
}

TEST(PixelOps, ArithmeticTablesTruncateTowardZero) {
  const ArithmeticTables& t = Arithmetic();
  EXPECT_EQ(Mul255(t, 1, -1), 0);          // -1/255 truncates to 0, not -1
  EXPECT_EQ(Mul256(t, 255, -255), -254);   // -65025/256
  EXPECT_EQ(Mul256(t, 256, 256), 256);
  EXPECT_EQ(Mul255(t, 255, 255), 255);
  EXPECT_EQ(Div256(t, 0, 200), 0);
  EXPECT_EQ(Div256(t, 1, 255), 65280);     // stored in full
  EXPECT_EQ(Div256(t, 200, 100), 128);
  EXPECT_EQ(t.sat[510], 255);
  EXPECT_EQ(t.subSat[300], 45);
  EXPECT_EQ(t.alphaScaleSrc[255][200], 200);
  EXPECT_EQ(t.alphaScaleDst[0][200], 200);
}

TEST(PixelOps, AllocZeroedClearsAndSetsAreNamed) {
  for (PixelSet set : AllSets()) {
    const ZeroedBytes block = AllocZeroed(PixelOpsFor(set), 100000);
    ASSERT_TRUE(block);
    EXPECT_TRUE(std::all_of(block.get(), block.get() + 100000, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(PixelSetFromName(PixelOpsFor(set).name), set);
  }
  EXPECT_EQ(PixelSetFromName("AVX2"), PixelSet::kAvx2);
  EXPECT_FALSE(PixelSetFromName("mmx"));
}

// The engine's binding: the best set by default, another by name from the
// environment or the command line, never one the processor cannot run.
TEST(PixelOps, BindingFollowsTheProcessorAndTheForcedName) {
  const CpuFeatures cpu = DetectCpuFeatures();
  ::unsetenv("VAVEVO_PIXELS");
  GraphicsState state;
  EXPECT_EQ(state.pixelSet, cpu.best);
  EXPECT_EQ(state.pixels, &PixelOpsFor(cpu.best));
  EXPECT_EQ(state.blendRows, &BlendRowsFor(cpu.best));
  EXPECT_TRUE(ForcePixelSet(state, "portable"));
  EXPECT_EQ(state.pixels, &PixelOpsFor(PixelSet::kPortable));
  EXPECT_EQ(state.blendRows, &BlendRowsFor(PixelSet::kPortable));
  EXPECT_FALSE(ForcePixelSet(state, "mmx"));
  EXPECT_EQ(state.pixelSet, PixelSet::kPortable);
  CpuFeatures none;
  EXPECT_FALSE(PixelSetSupported(PixelSet::kAvx2, none));

  ::setenv("VAVEVO_PIXELS", "portable", 1);
  const GraphicsState forced;
  ::unsetenv("VAVEVO_PIXELS");
  EXPECT_EQ(forced.pixelSet, PixelSet::kPortable);
}

}  // namespace
}  // namespace vv::graphics
