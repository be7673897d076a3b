// Blend operations: the curves' known values, the row functions of every
// set against the portable rows, and the portable rows against a plain
// pixel-by-pixel reading of each row template.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "graphics/blend.h"
#include "graphics/mask_weight.h"
#include "graphics/test_pixel_sets.h"

namespace vv::graphics {
namespace {

constexpr uint32_t kSeed = 7741;

using testing::AcceleratedSets;

TEST(Blend, CurvesHaveTheirKnownValues) {
  struct Case {
    int op, d, s, want;
  };
  const Case cases[] = {
      {kBlendSubtract, 200, 50, 0},    {kBlendSubtract, 50, 200, 150},
      {kBlendDivide, 0, 1, 255},       {kBlendDivide, 0, 0, 0},         {kBlendDivide, 77, 77, 255},
      {kBlendColorDodge, 1, 255, 255}, {kBlendColorDodge, 0, 255, 0},
      {kBlendColorBurn, 254, 0, 0},    {kBlendColorBurn, 255, 0, 255},
      {kBlendVividLight, 200, 0, 0},   {kBlendVividLight, 3, 255, 255},
      {kBlendOverlay, 128, 77, 77},    {kBlendOverlay, 129, 0, 1},      {kBlendOverlay, 255, 0, 253},
      {kBlendHardLight, 91, 128, 91},  {kBlendSoftLight, 255, 0, 191},  {kBlendSoftLight, 0, 255, 15},
      {kBlendSoftLight, 99, 128, 99},  {kBlendDifference, 10, 250, 240}, {kBlendPinLight, 200, 50, 100},
      {kBlendPinLight, 10, 200, 145},  {kBlendExclusion, 255, 255, 0},   {kBlendLinearLight, 100, 200, 244},
  };
  for (const Case& c : cases) EXPECT_EQ(BlendFunction(c.op, c.d, c.s), c.want) << "op " << c.op << " d " << c.d << " s " << c.s;
  // Every curve stays a byte and the tables hold the formulas.
  const BlendCurves& curves = Curves();
  for (int op = 0; op < kBlendOpCount; ++op) {
    for (int s = 0; s < 256; ++s) {
      for (int d = 0; d < 256; ++d) {
        const int f = BlendFunction(op, d, s);
        ASSERT_TRUE(f >= 0 && f <= 255) << "op " << op << " d " << d << " s " << s << " gives " << f;
        ASSERT_EQ(curves.f[op][s][d], f);
      }
    }
  }
}

TEST(Blend, IndexRuleAndEmptyEntries) {
  EXPECT_EQ(BlendRowIndex(kBlendScreen, 256), 11);
  EXPECT_EQ(BlendRowIndex(kBlendScreen, 255), 10);
  EXPECT_EQ(BlendRowIndex(kBlendPinLight, 0), 36);
  EXPECT_EQ(BlendRowIndex(kBlendNormal, 1000), 1);
  EXPECT_EQ(BlendRowIndex(19, 256), -1);
  EXPECT_EQ(BlendRowIndex(-1, 256), -1);
  const BlendRowTables& rows = BlendRowsFor(PixelSet::kPortable);
  for (int i = 0; i < 38; ++i) {
    EXPECT_TRUE(rows.plain[i] && rows.alpha[i] && rows.masked[i] && rows.maskedAlpha[i]) << i;
  }
  for (int i : {38, 39}) EXPECT_FALSE(rows.plain[i] || rows.alpha[i] || rows.masked[i] || rows.maskedAlpha[i]);

  // Normal at opacity 255 stops one short of the source; at 256 it copies
  // every byte, alpha included.
  std::vector<uint8_t> d(32, 0), s(32, 255);
  rows.plain[BlendRowIndex(kBlendNormal, 255)](d.data(), s.data(), 255, 32);
  EXPECT_EQ(d, std::vector<uint8_t>(32, 254));
  rows.plain[BlendRowIndex(kBlendNormal, 256)](d.data(), s.data(), 256, 32);
  EXPECT_EQ(d, s);
}

// ---- a plain reading of the row templates, pixel by pixel ----------------

int Tdiv(int a, int b) { return a / b; }  // C++ truncates toward zero
int F(int op, int d, int s) { return BlendFunction(op, d, s); }

enum class Kind { kPlain, kAlpha, kMasked, kMaskedAlpha };

// The expected bytes of one pixel (all four bytes where the row writes
// them). `w` is the pixel's mask weight, capped at 256.
void OraclePixel(Kind kind, int op, bool full, uint8_t* d, const uint8_t* s, int o, int w, int level, int vague) {
  const int sa = s[3];
  if (kind == Kind::kPlain) {
    for (int c = 0; c < 4; ++c) {
      const int dv = d[c], sv = s[c], f = F(op, dv, sv);
      int r;
      if (full) {
        r = f;
      } else if (op == kBlendNormal) {
        r = o == 128 ? (dv + sv + 1) / 2 : dv + (((sv - dv) * o) >> 8);
      } else if (op == kBlendAdd) {
        r = std::min(255, dv + ((sv * o) >> 8));
      } else if (op == kBlendMultiply) {
        const int m = Tdiv(sv * dv, 255);
        r = m + Tdiv((256 - o) * (dv - m), 256);
      } else if (op == kBlendScreen) {
        r = dv + Tdiv(o * (sv - Tdiv(dv * sv, 255)), 256);
      } else if (op == kBlendDifference) {
        r = dv + Tdiv(o * (f - dv), 256);
      } else {
        r = dv + (((f - dv) * o) >> 8);
      }
      d[c] = static_cast<uint8_t>(r);
    }
    return;
  }
  if (kind == Kind::kAlpha && op == kBlendNormal) {
    const int a = full ? sa : (sa * o) >> 8;
    for (int c = 0; c < 4; ++c) d[c] = static_cast<uint8_t>(((s[c] * (a + 1)) >> 8) + ((d[c] * (256 - a)) >> 8));
    return;
  }
  if (kind == Kind::kMasked && op == kBlendNormal && vague != 256) {
    return;  // the soft mask is checked against the primitives' own test
  }
  if ((kind == Kind::kMasked || kind == Kind::kMaskedAlpha) && w <= 1) return;
  for (int c = 0; c < 3; ++c) {
    const int dv = d[c], sv = s[c], f = F(op, dv, sv);
    int r = dv;
    switch (kind) {
      case Kind::kAlpha:
        if (op == kBlendMultiply || op == kBlendScreen) {
          const int a = full ? sa : (o * sa) >> 8;
          const int product = op == kBlendMultiply ? (sv * dv) >> 8 : 255 - (((255 - sv) * (255 - dv)) >> 8);
          r = Tdiv((a + 1) * product, 256) + Tdiv((256 - a) * dv, 256);
        } else if (op == kBlendDifference) {
          r = full ? dv + Tdiv(sa * (f - dv), 256) : dv + Tdiv(o * (((f - dv) * (sa + 1)) >> 8), 256);
        } else {
          r = full ? dv + (((f - dv) * (sa + 1)) >> 8) : dv + ((o * (((f - dv) * (sa + 1)) >> 8)) >> 8);
        }
        break;
      case Kind::kMasked:
      case Kind::kMaskedAlpha: {
        int ww = w;
        if (kind == Kind::kMaskedAlpha && (op == kBlendMultiply || op == kBlendScreen)) ww = (w * (sa + 1)) >> 8;
        if (kind == Kind::kMasked || op == kBlendMultiply || op == kBlendScreen) {
          if (op == kBlendNormal) {
            r = dv - (((dv - sv) * ww) >> 8);
          } else if (op == kBlendMultiply) {
            r = dv - Tdiv(ww * (dv - Tdiv(sv * dv, 255)), 256);
          } else if (op == kBlendScreen) {
            r = dv + ((ww * (sv - Tdiv(sv * dv, 255))) >> 8);
          } else if (op == kBlendDifference && full) {
            r = dv + Tdiv(ww * (f - dv), 256);
          } else {
            r = dv + (((f - dv) * ww) >> 8);
          }
        } else if (op == kBlendNormal) {
          const int k = full ? ((w - 1) * (sa + 1)) >> 8 : (w * sa) >> 8;
          r = dv - (((dv - sv) * k) >> 8);
        } else if (op == kBlendDifference && full) {
          r = dv + Tdiv(w * (((f - dv) * (sa + 1)) >> 8), 256);
        } else if (full) {
          r = dv + ((w * (((f - dv) * (sa + 1)) >> 8)) >> 8);
        } else {
          r = dv + (((f - dv) * ((w * (sa + 1)) >> 8)) >> 8);
        }
        break;
      }
      case Kind::kPlain:
        break;
    }
    d[c] = static_cast<uint8_t>(r);
  }
  (void)level;
}

struct RowCase {
  std::vector<uint8_t> d, s, mask;
  std::vector<int32_t> weight = std::vector<int32_t>(256);
  int opacity = 0, level = 0, vague = 256;
};

RowCase DrawRow(std::mt19937& rng, int pixels) {
  RowCase c;
  auto byte = [&] { return static_cast<uint8_t>(rng() % 5 == 0 ? (rng() % 2) * 255 : rng()); };
  for (int i = 0; i < 4 * pixels; ++i) {
    c.d.push_back(byte());
    c.s.push_back(byte());
    c.mask.push_back(byte());
  }
  c.level = static_cast<int>(rng() % 256);
  c.vague = rng() % 2 ? 256 : static_cast<int>(rng() % 300);
  c.opacity = static_cast<int>(rng() % 257);
  BuildMaskWeight(*reinterpret_cast<MaskWeightTable*>(c.weight.data()), c.level, c.vague, c.opacity);
  if (rng() % 4 == 0) {
    for (int32_t& w : c.weight) w = static_cast<int32_t>(rng() % 400) - 100;  // a stray table
  }
  return c;
}

void RunRow(const BlendRowTables& rows, Kind kind, int entry, RowCase& c, std::vector<uint8_t>& d) {
  const int n = static_cast<int>(d.size());
  switch (kind) {
    case Kind::kPlain: rows.plain[entry](d.data(), c.s.data(), c.opacity, n); break;
    case Kind::kAlpha: rows.alpha[entry](d.data(), c.s.data(), c.opacity, n); break;
    case Kind::kMasked: rows.masked[entry](d.data(), c.s.data(), c.mask.data(), c.weight.data(), c.opacity, c.level, c.vague, n); break;
    case Kind::kMaskedAlpha: rows.maskedAlpha[entry](d.data(), c.s.data(), c.mask.data(), c.weight.data(), c.opacity, c.level, c.vague, n); break;
  }
}

constexpr Kind kKinds[] = {Kind::kPlain, Kind::kAlpha, Kind::kMasked, Kind::kMaskedAlpha};
const char* KindName(Kind k) {
  switch (k) {
    case Kind::kPlain: return "plain";
    case Kind::kAlpha: return "alpha";
    case Kind::kMasked: return "masked";
    case Kind::kMaskedAlpha: return "maskedAlpha";
  }
  return "";
}

TEST(Blend, PortableRowsFollowTheTemplates) {
  const BlendRowTables& rows = BlendRowsFor(PixelSet::kPortable);
  std::mt19937 rng(kSeed);
  for (Kind kind : kKinds) {
    for (int op = 0; op < kBlendOpCount; ++op) {
      for (bool full : {false, true}) {
        for (int round = 0; round < 40; ++round) {
          RowCase c = DrawRow(rng, 1 + static_cast<int>(rng() % 40));
          if (full) c.opacity = 256;
          std::vector<uint8_t> want = c.d, got = c.d;
          for (size_t px = 0; px < want.size(); px += 4) {
            const int w = std::min<int>(256, c.weight[c.mask[px]]);
            OraclePixel(kind, op, full, want.data() + px, c.s.data() + px, c.opacity, w, c.level, c.vague);
          }
          RunRow(rows, kind, 2 * op + (full ? 1 : 0), c, got);
          if (kind == Kind::kMasked && op == kBlendNormal && c.vague != 256) continue;
          ASSERT_EQ(got, want) << KindName(kind) << " op " << op << (full ? " full" : " partial") << " seed " << kSeed
                               << " round " << round << " opacity " << c.opacity;
        }
      }
    }
  }
}

TEST(Blend, EverySetsRowsEqualPortableRows) {
  const auto sets = AcceleratedSets();
  if (sets.empty()) GTEST_SKIP() << "no accelerated set on this processor";
  const BlendRowTables& portable = BlendRowsFor(PixelSet::kPortable);
  std::mt19937 rng(kSeed + 1);
  std::vector<int> lengths;
  for (int px = 0; px <= 67; ++px) lengths.push_back(px);
  lengths.push_back(1920);
  for (Kind kind : kKinds) {
    for (int entry = 0; entry < 38; ++entry) {
      for (int px : lengths) {
        RowCase c = DrawRow(rng, px);
        if (entry % 2) c.opacity = 256;
        std::vector<uint8_t> want = c.d;
        RunRow(portable, kind, entry, c, want);
        for (PixelSet set : sets) {
          std::vector<uint8_t> got = c.d;
          RunRow(BlendRowsFor(set), kind, entry, c, got);
          ASSERT_EQ(got, want) << KindName(kind) << " entry " << entry << " set " << PixelSetName(set) << " pixels "
                               << px << " seed " << kSeed + 1 << " opacity " << c.opacity << " level " << c.level
                               << " vague " << c.vague;
        }
      }
    }
  }
}

// Rows that write colour only never touch alpha; masked pixels of weight
// 0 and 1 are left whole; an alpha row at source alpha 0 moves a channel
// by rounding only (Difference not at all).
TEST(Blend, AlphaBytesAndSkippedPixels) {
  const BlendRowTables& rows = BlendRowsFor(PixelSet::kPortable);
  std::mt19937 rng(kSeed + 2);
  for (int op = 0; op < kBlendOpCount; ++op) {
    for (int entry : {2 * op, 2 * op + 1}) {
      RowCase c = DrawRow(rng, 64);
      c.vague = 256;  // a soft-edged Normal mask reads no weights
      for (int32_t& w : c.weight) w = static_cast<int32_t>(rng() % 2);  // 0 or 1 only
      std::vector<uint8_t> d = c.d;
      RunRow(rows, Kind::kMasked, entry, c, d);
      EXPECT_EQ(d, c.d) << "masked op " << op;
      RunRow(rows, Kind::kMaskedAlpha, entry, c, d);
      EXPECT_EQ(d, c.d) << "masked alpha op " << op;

      if (op != kBlendNormal) {
        BuildMaskWeight(*reinterpret_cast<MaskWeightTable*>(c.weight.data()), 200, 100, 256);
        for (Kind kind : {Kind::kAlpha, Kind::kMasked, Kind::kMaskedAlpha}) {
          d = c.d;
          RunRow(rows, kind, entry, c, d);
          for (size_t px = 3; px < d.size(); px += 4) ASSERT_EQ(d[px], c.d[px]) << KindName(kind) << " op " << op;
        }
      }

      for (size_t px = 3; px < c.s.size(); px += 4) c.s[px] = 0;
      d = c.d;
      c.opacity = 256;
      RunRow(rows, Kind::kAlpha, 2 * op + 1, c, d);
      const bool weighted = op == kBlendNormal || op == kBlendMultiply || op == kBlendScreen || op == kBlendDifference;
      for (size_t i = 0; i < d.size(); ++i) {
        if (i % 4 == 3) continue;
        const int before = c.d[i];
        const int want = !weighted && BlendFunction(op, before, c.s[i]) < before ? before - 1 : before;
        ASSERT_EQ(d[i], want) << "op " << op << " byte " << i;
      }
    }
  }
}

TEST(Blend, MaskWeightTable) {
  MaskWeightTable t;
  // Level 128 with a hard edge: values 128..255 show the layer fully.
  BuildMaskWeight(t, 128, 256, 256);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(t[i], i >= 128 ? 256 : 0) << i;
  // A vague width of 0 is a uniform fade: every entry p + 1, then the
  // opacity.
  BuildMaskWeight(t, 99, 0, 128);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(t[i], 50) << i;
  // Soft edges rise with the mask value and may go below zero.
  BuildMaskWeight(t, 0, 64, 256);
  EXPECT_EQ(t[0], 0 - 128 * 64 + 1);
  EXPECT_EQ(t[255], std::min(255, 32 * 255 - 128 * 64) + 1);

  // Through the masked Normal row: exactly the mask values 128..255 show.
  BuildMaskWeight(t, 128, 256, 256);
  std::vector<uint8_t> mask, d(4 * 256, 10), s(4 * 256, 200);
  for (int i = 0; i < 256; ++i) mask.insert(mask.end(), {static_cast<uint8_t>(i), 0, 0, 0});
  BlendRowsFor(PixelSet::kPortable).masked[1](d.data(), s.data(), mask.data(), t, 256, 128, 256, 4 * 256);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(d[4 * static_cast<size_t>(i)], i >= 128 ? 200 : 10) << i;
    EXPECT_EQ(d[4 * static_cast<size_t>(i) + 3], 10) << i;
  }
}

}  // namespace
}  // namespace vv::graphics
