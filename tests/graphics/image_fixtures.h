// Small picture files built by the tests: BMP and GIF by our own writers,
// PNG and JPEG through the libraries' encoders.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vv::graphics::testing {

// A picture in plain terms: top row first, R, G, B, A per pixel.
struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Rgba&) const = default;
};
struct Picture {
  int width = 0, height = 0;
  std::vector<Rgba> pixels;  // width * height, top row first
  Rgba& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  const Rgba& at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A picture with a different colour in every pixel (a seeded pattern).
Picture Pattern(int w, int h, uint32_t seed, bool randomAlpha = false);

struct BmpOptions {
  int bits = 24;              // 1, 4, 8, 16, 24, 32
  int headerBytes = 40;       // 12 (OS/2), 40, 52, 56, 108, 124
  uint32_t compression = 0;   // 0 plain, 1/2 RLE, 3 bit fields
  std::array<uint32_t, 4> masks{};  // R, G, B, A (bit fields)
  bool topDown = false;
  uint32_t colorsUsed = 0;
  // For palette pictures: the palette, and index(x, y) = picture pixel's r
  // byte (the test builds pictures whose r byte is the index).
  std::vector<Rgba> palette;
};

// Encodes `p`: palette pictures use p's r byte as the index; 16 bits use
// the masks (555 when none), 32 bits without masks store B, G, R, A.
std::vector<uint8_t> MakeBmp(const Picture& p, const BmpOptions& options);

struct GifFrameSpec {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<uint8_t> indices;  // top row first
  std::vector<std::array<uint8_t, 3>> localTable;  // empty: none
  bool interlaced = false;
  bool control = false;  // write a graphic control extension before it
  int delay = 0, disposal = 0;
  int transparentIndex = -1;  // -1: no transparency
};
struct GifSpec {
  int width = 0, height = 0;
  std::vector<std::array<uint8_t, 3>> globalTable;  // empty: none (sizes 2^k)
  int loopCount = -1;  // -1: no looping extension
  bool comment = false;
  std::vector<GifFrameSpec> frames;
};
std::vector<uint8_t> MakeGif(const GifSpec& spec);
// GIF-flavoured LZW of `indices` with the given minimum code size.
std::vector<uint8_t> LzwEncode(const std::vector<uint8_t>& indices, int minCodeSize);

// PNG through libpng: colour type 6 (RGBA) or 2 (RGB), 8 bits.
std::vector<uint8_t> MakePng(const Picture& p, bool alpha);
// JPEG through libjpeg at quality 100; greyscale takes each pixel's r.
std::vector<uint8_t> MakeJpeg(const Picture& p, bool greyscale, bool progressive = false);

std::vector<uint8_t> ReadWholeFile(const std::string& path);

}  // namespace vv::graphics::testing
