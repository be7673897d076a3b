// AlphaOver of one pixel set over rows of random or sprite-like pixels, for
// counting instructions under callgrind (repeatable on a shared machine,
// where times are not):
//   valgrind --tool=callgrind --toggle-collect='*Run*Rows*'
//       pixel_bench_instructions SET|pixman random|sprite ROWS
// Instructions per pixel = the collected total / (ROWS * 1920).
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#if defined(VV_BENCH_PIXMAN)
#include <pixman.h>
#endif

#include "graphics/pixel_ops.h"

namespace {

constexpr int kRowPixels = 1920;

// Collected by callgrind: nothing but the rows.
[[gnu::noinline]] void RunAlphaOverRows(const vv::graphics::PixelOps& ops, std::vector<uint8_t>& dst,
                                        const std::vector<uint8_t>& src, int rows) {
  for (int r = 0; r < rows; ++r) ops.AlphaOver(dst.data(), src.data(), kRowPixels * 4);
}

#if defined(VV_BENCH_PIXMAN)
// pixman's OVER of the same rows, for comparison.
[[gnu::noinline]] void RunPixmanOverRows(std::vector<uint8_t>& dst, std::vector<uint8_t>& src, int rows) {
  pixman_image_t* s = pixman_image_create_bits(PIXMAN_a8r8g8b8, kRowPixels, 1,
                                               reinterpret_cast<uint32_t*>(src.data()), kRowPixels * 4);
  pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, kRowPixels, 1,
                                               reinterpret_cast<uint32_t*>(dst.data()), kRowPixels * 4);
  for (int r = 0; r < rows; ++r) pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, kRowPixels, 1);
  pixman_image_unref(s);
  pixman_image_unref(d);
}
#endif

}  // namespace

int main(int argc, char** argv) {
  using namespace vv::graphics;
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s portable|sse2|avx2|pixman random|sprite ROWS\n", argv[0]);
    return 2;
  }
  const bool pixman = std::string(argv[1]) == "pixman";
  const auto set = PixelSetFromName(pixman ? "portable" : argv[1]);
  if (!set || !PixelSetSupported(*set, DetectCpuFeatures())) {
    std::fprintf(stderr, "%s: this processor has no set %s\n", argv[0], argv[1]);
    return 2;
  }
  const bool sprite = std::string(argv[2]) == "sprite";
  std::mt19937 rng(12345);
  std::vector<uint8_t> src(kRowPixels * 4), dst(kRowPixels * 4);
  for (auto& b : dst) b = static_cast<uint8_t>(rng());
  for (int px = 0; px < kRowPixels; ++px) {
    // Sprite rows: runs of 256 transparent then 256 opaque pixels.
    const int a = sprite ? ((px / 256) % 2 ? 255 : 0) : static_cast<int>(rng() % 256);
    for (int c = 0; c < 3; ++c) src[4 * px + c] = static_cast<uint8_t>(a ? rng() % (a + 1) : 0);
    src[4 * px + 3] = static_cast<uint8_t>(a);
  }
  if (pixman) {
#if defined(VV_BENCH_PIXMAN)
    RunPixmanOverRows(dst, src, std::atoi(argv[3]));
#else
    std::fprintf(stderr, "%s: built without pixman\n", argv[0]);
    return 2;
#endif
  } else {
    RunAlphaOverRows(PixelOpsFor(*set), dst, src, std::atoi(argv[3]));
  }
  std::printf("%d\n", dst[17]);  // keeps the work
  return 0;
}
