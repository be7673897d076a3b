// Shared pieces of the SDL backend tests: options and frames in the
// engine's layout.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/display.h"
#include "platform/platform.h"

namespace vv::platform::sdl::test {

// Options that force `path` ("" runs the speed trial).
inline SdlOptions PathOptions(std::string path) {
  SdlOptions options;
  options.presentPath = std::move(path);
  return options;
}

// A BGRA frame with bottom-up rows and a padded stride; the alpha bytes are
// left at 0, which presenting must ignore.
class TestFrame {
 public:
  TestFrame(int width, int height)
      : width_(width), height_(height), stride_(width * 4 + 12),
        bytes_(static_cast<size_t>(stride_) * height, 0) {}

  // `rgb` is 0xRRGGBB; (x, y) are client pixels, top-left origin.
  void Set(int x, int y, uint32_t rgb) {
    uint8_t* p = bytes_.data() + static_cast<size_t>(height_ - 1 - y) * stride_ + x * 4;
    p[0] = rgb & 0xFF;
    p[1] = (rgb >> 8) & 0xFF;
    p[2] = (rgb >> 16) & 0xFF;
    p[3] = 0;
  }
  void Fill(const Rect& r, uint32_t rgb) {
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) Set(x, y, rgb);
    }
  }
  void Fill(uint32_t rgb) { Fill(All(), rgb); }
  Rect All() const { return {0, 0, width_, height_}; }
  FrameView View() const { return {bytes_.data(), width_, height_, stride_}; }

 private:
  int width_, height_, stride_;
  std::vector<uint8_t> bytes_;
};

// 0xRRGGBB of pixel (x, y) of a top-down BGRA read-back; 0xFF000000 is
// added when the alpha byte is not 255.
inline uint32_t PixelOf(const std::vector<uint8_t>& topDown, Size size, int x, int y) {
  const uint8_t* p = topDown.data() + (static_cast<size_t>(y) * size.width + x) * 4;
  return (p[3] == 255 ? 0u : 0xFF000000u) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

}  // namespace vv::platform::sdl::test
