// Speed of the pixel rows: every blend row function of every pixel set,
// AlphaOver on random and sprite-like rows beside pixman's OVER, and glibc
// memcpy of the same bytes as the yardstick. Each figure is taken hot (the
// buffers fit the cache) and cold (cycling over 256 MiB of rows).
//
// bench/pixel_bench_report.py runs this and prints the table with every
// time relative to memcpy's.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#if defined(VV_BENCH_PIXMAN)
#include <pixman.h>
#endif

#include "graphics/blend.h"
#include "graphics/mask_weight.h"
#include "graphics/pixel_ops.h"

namespace vv::graphics {
namespace {

constexpr int kRowPixels = 1920;
constexpr size_t kRowBytes = kRowPixels * 4;
// Cold runs cycle their source and destination rows over this much memory.
constexpr size_t kColdBytes = size_t{256} << 20;

enum class RowKind { kRandom, kSprite };

// Random colours and alpha, or sprite-like: long runs of transparent black
// and opaque colour with a few edge pixels of partial alpha between them.
void FillRow(std::mt19937& rng, uint8_t* row, RowKind kind) {
  if (kind == RowKind::kRandom) {
    for (size_t i = 0; i < kRowBytes; ++i) row[i] = static_cast<uint8_t>(rng());
    return;
  }
  size_t px = 0;
  bool opaque = rng() % 2 != 0;
  while (px < kRowPixels) {
    const size_t run = std::min<size_t>(kRowPixels - px, 64 + rng() % 448);
    for (size_t k = 0; k < run; ++k, ++px) {
      uint8_t* p = row + 4 * px;
      const bool edge = k < 3;
      const uint8_t a = edge ? static_cast<uint8_t>(rng()) : (opaque ? 255 : 0);
      for (int c = 0; c < 3; ++c) p[c] = a == 0 ? 0 : static_cast<uint8_t>(rng() % (a + 1));
      p[3] = a;
    }
    opaque = !opaque;
  }
}

// The rows benchmarks work on: hot uses one row of each buffer, cold walks
// pools of rows, source and destination 128 MiB each (256 MiB together;
// masked rows add a mask pool of the same size). The pools are built once
// per kind and shared by every benchmark of the run.
struct Rows {
  Rows(bool cold, RowKind kind) {
    count = cold ? (kColdBytes / 2) / kRowBytes : 1;
    // 64 distinct rows, repeated over the pool: the cache sees every byte
    // once per cycle all the same.
    constexpr size_t kDistinct = 64;
    std::mt19937 rng(12345);
    std::vector<uint8_t> seed(3 * kDistinct * kRowBytes);
    for (size_t r = 0; r < kDistinct; ++r) {
      FillRow(rng, seed.data() + (3 * r) * kRowBytes, kind);
      FillRow(rng, seed.data() + (3 * r + 1) * kRowBytes, RowKind::kRandom);
      FillRow(rng, seed.data() + (3 * r + 2) * kRowBytes, RowKind::kRandom);
    }
    for (auto* pool : {&src, &dst, &mask}) pool->resize(count * kRowBytes);
    for (size_t r = 0; r < count; ++r) {
      const uint8_t* from = seed.data() + 3 * (r % kDistinct) * kRowBytes;
      std::memcpy(src.data() + r * kRowBytes, from, kRowBytes);
      std::memcpy(dst.data() + r * kRowBytes, from + kRowBytes, kRowBytes);
      std::memcpy(mask.data() + r * kRowBytes, from + 2 * kRowBytes, kRowBytes);
    }
  }
  size_t count = 1;
  std::vector<uint8_t> dst, src, mask;
};

Rows& Shared(bool cold, RowKind kind) {
  static Rows hotRandom(false, RowKind::kRandom), hotSprite(false, RowKind::kSprite);
  if (!cold) return kind == RowKind::kRandom ? hotRandom : hotSprite;
  if (kind == RowKind::kRandom) {
    static Rows coldRandom(true, RowKind::kRandom);
    return coldRandom;
  }
  static Rows coldSprite(true, RowKind::kSprite);
  return coldSprite;
}

template <typename Body>
void RunRows(benchmark::State& state, Rows& rows, Body body) {
  size_t r = 0;
  for (auto _ : state) {
    const size_t at = r * kRowBytes;
    body(rows.dst.data() + at, rows.src.data() + at, rows.mask.data() + at);
    benchmark::ClobberMemory();
    if (++r == rows.count) r = 0;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kRowPixels);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kRowBytes));
}

const char* Temperature(bool cold) { return cold ? "cold" : "hot"; }

void RegisterMemcpy() {
  for (bool cold : {false, true}) {
    benchmark::RegisterBenchmark((std::string("memcpy/") + Temperature(cold)).c_str(), [cold](benchmark::State& s) {
      Rows& rows = Shared(cold, RowKind::kRandom);
      RunRows(s, rows, [](uint8_t* d, const uint8_t* src, const uint8_t*) { std::memcpy(d, src, kRowBytes); });
    });
  }
}

void RegisterAlphaOver(PixelSet set) {
  const PixelOps& ops = PixelOpsFor(set);
  for (RowKind kind : {RowKind::kRandom, RowKind::kSprite}) {
    for (bool cold : {false, true}) {
      const std::string name = std::string("AlphaOver/") + ops.name + (kind == RowKind::kRandom ? "/random/" : "/sprite/") +
                               Temperature(cold);
      benchmark::RegisterBenchmark(name.c_str(), [&ops, kind, cold](benchmark::State& s) {
        Rows& rows = Shared(cold, kind);
        RunRows(s, rows, [&ops](uint8_t* d, const uint8_t* src, const uint8_t*) {
          ops.AlphaOver(d, src, static_cast<int>(kRowBytes));
        });
      });
    }
  }
}

#if defined(VV_BENCH_PIXMAN)
void RegisterPixman() {
  for (RowKind kind : {RowKind::kRandom, RowKind::kSprite}) {
    for (bool cold : {false, true}) {
      const std::string name =
          std::string("PixmanOver/") + (kind == RowKind::kRandom ? "random/" : "sprite/") + Temperature(cold);
      benchmark::RegisterBenchmark(name.c_str(), [kind, cold](benchmark::State& s) {
        Rows& rows = Shared(cold, kind);
        // One image per pool, a row of it per call.
        const int height = static_cast<int>(rows.count);
        pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kRowPixels, height,
                                                       reinterpret_cast<uint32_t*>(rows.src.data()), kRowBytes);
        pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kRowPixels, height,
                                                       reinterpret_cast<uint32_t*>(rows.dst.data()), kRowBytes);
        int y = 0;
        for (auto _ : s) {
          pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, y, 0, 0, 0, y, kRowPixels, 1);
          benchmark::ClobberMemory();
          if (++y == height) y = 0;
        }
        s.SetItemsProcessed(static_cast<int64_t>(s.iterations()) * kRowPixels);
        s.SetBytesProcessed(static_cast<int64_t>(s.iterations()) * static_cast<int64_t>(kRowBytes));
        pixman_image_unref(src);
        pixman_image_unref(dst);
      });
    }
  }
}
#endif

const char* kKindNames[] = {"plain", "alpha", "masked", "maskedAlpha"};

void RegisterBlendRows(PixelSet set) {
  const BlendRowTables& tables = BlendRowsFor(set);
  for (int kind = 0; kind < 4; ++kind) {
    for (int op = 0; op < kBlendOpCount; ++op) {
      for (int full = 0; full < 2; ++full) {
        for (bool cold : {false, true}) {
          const int entry = 2 * op + full;
          const std::string name = std::string("BlendRow/") + PixelSetName(set) + "/" + kKindNames[kind] + "/op" +
                                   std::to_string(op) + (full ? "/full/" : "/partial/") + Temperature(cold);
          benchmark::RegisterBenchmark(name.c_str(), [&tables, kind, entry, full, cold](benchmark::State& s) {
            Rows& rows = Shared(cold, RowKind::kRandom);
            const int opacity = full ? 256 : 200;
            // A soft-edged mask half way through its transition.
            MaskWeightTable weight;
            BuildMaskWeight(weight, 128, 64, opacity);
            const int n = static_cast<int>(kRowBytes);
            switch (kind) {
              case 0:
                RunRows(s, rows, [&](uint8_t* d, const uint8_t* src, const uint8_t*) { tables.plain[entry](d, src, opacity, n); });
                break;
              case 1:
                RunRows(s, rows, [&](uint8_t* d, const uint8_t* src, const uint8_t*) { tables.alpha[entry](d, src, opacity, n); });
                break;
              case 2:
                RunRows(s, rows, [&](uint8_t* d, const uint8_t* src, const uint8_t* m) {
                  tables.masked[entry](d, src, m, weight, opacity, 128, 64, n);
                });
                break;
              default:
                RunRows(s, rows, [&](uint8_t* d, const uint8_t* src, const uint8_t* m) {
                  tables.maskedAlpha[entry](d, src, m, weight, opacity, 128, 64, n);
                });
                break;
            }
          });
        }
      }
    }
  }
}

const bool kRegistered = [] {
  const CpuFeatures cpu = DetectCpuFeatures();
  RegisterMemcpy();
#if defined(VV_BENCH_PIXMAN)
  RegisterPixman();
#endif
  for (PixelSet set : {PixelSet::kPortable, PixelSet::kSse2, PixelSet::kAvx2}) {
    if (!PixelSetSupported(set, cpu)) continue;
    RegisterAlphaOver(set);
    RegisterBlendRows(set);
  }
  return true;
}();

}  // namespace
}  // namespace vv::graphics
