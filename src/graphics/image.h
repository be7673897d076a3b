// The picture a layer shows and the decoders that fill it.
//
// Pixels are 32-bit B, G, R, A, rows bottom-up (the first row in memory is
// the bottom row of the picture), width * 4 bytes a row, no padding. A
// buffer for W x H holds W*H*4 + W*4 + 4 bytes: one spare row and four
// spare bytes that row loops may touch.
//
// The decoders work on a file already in memory. They read the file only
// through bounds-checked readers, check every size against the file's
// length and the format's limits before allocating, and never crash,
// hang or read outside the file on damaged input. A decoder replaces the
// picture only together with its size (width, height and pixels always
// match); after a failure the layer keeps whatever the decoder had written
// into the new buffer, or the old picture when it failed before that.
//
// Threading: everything here runs on the thread that runs the frames.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "graphics/pixel_ops.h"
#include "resource/error_reporter.h"

namespace vv::graphics {

constexpr int kMaxImageSide = 8192;
constexpr size_t kGifFrameSlots = 8192;

// One frame of an animated GIF.
struct GifFrame {
  int32_t left = 0, top = 0;  // position in the picture, top-down
  int32_t width = 0, height = 0;
  int32_t disposal = 0;      // from the graphic control extension; kept, not used
  int32_t transparent = 0;   // 1: transparentIndex is see-through
  int32_t delay = 0;         // hundredths of a second, as in the file
  int32_t transparentIndex = 0;
  int32_t loopCount = 1;     // from the application extension; 1 when absent
  std::array<uint8_t, 256 * 3> palette{};  // R, G, B per entry, in effect for the frame
  std::vector<uint8_t> indices;            // width * height, top row first
};

// The picture part of a layer: what image loading fills.
struct LayerImage {
  int32_t width = 1, height = 1;
  ZeroedBytes pixels;  // null before the first image
  int8_t hasAlpha = 0;
  int8_t imageKind = 0;      // file type code of the loaded file, 0 none
  int8_t effectTouched = 0;  // the drawing command rewrote the pixels
  int32_t frame = 0;
  uint32_t frameCount = 1;
  std::string fileName;  // resolved name of the loaded file, "" for none
  // 8192 slots, made on the first GIF load and kept for the layer's life;
  // frame i of a later GIF reuses slot i.
  std::vector<std::unique_ptr<GifFrame>> frames;
};

// Bytes of a pixel buffer for w x h (both 1..8192).
inline size_t PixelBufferBytes(int w, int h) {
  return static_cast<size_t>(w) * static_cast<size_t>(h) * 4 + static_cast<size_t>(w) * 4 + 4;
}

// Gives `image` a new cleared buffer of w x h; false (the image unchanged)
// when the memory is not there.
bool AllocatePixels(const PixelOps& ops, LayerImage& image, int w, int h);

// What a decoder reports: 0 success, else the error code to report with
// the file's name (codes with their own meaning below), or kDecodeFailed
// when the data is damaged and the format has no code of its own (the
// loader then reports only its follow-up code).
constexpr resource::ErrorCode kDecodeFailed = -1;
constexpr resource::ErrorCode kImageOutOfMemory = 100010;  // the pixel buffer
constexpr resource::ErrorCode kBmpNoSignature = 100070;    // not a bitmap: signature or header
constexpr resource::ErrorCode kBmpBadPixelData = 100080;   // pixel data offset or extent
constexpr resource::ErrorCode kBmpCompressed = 100090;     // a compression it does not read
constexpr resource::ErrorCode kImageTooLarge = 100091;     // a side above 8192
constexpr resource::ErrorCode kPngFailed = 100200;         // libpng refused the file

// Windows and OS/2 bitmaps: 1, 4, 8, 16, 24 and 32 bits, bottom-up or
// top-down rows, bit fields, every header version. Compressed (RLE) files
// are refused.
resource::ErrorCode DecodeBmp(std::span<const uint8_t> file, const PixelOps& ops, LayerImage& image);
// PNG through libpng, gamma corrected when the file says so.
resource::ErrorCode DecodePng(std::span<const uint8_t> file, const PixelOps& ops, LayerImage& image);
// Baseline and progressive JPEG through libjpeg, colour or greyscale.
resource::ErrorCode DecodeJpeg(std::span<const uint8_t> file, const PixelOps& ops, LayerImage& image);
// GIF with every frame kept (`frames`), frame 0 shown. Sets frame 0 and
// frameCount. At most 8192 frames.
resource::ErrorCode DecodeGif(std::span<const uint8_t> file, const PixelOps& ops, LayerImage& image);

// Draws frame n of a GIF layer into its pixels: only the frame's
// rectangle, clipped to the picture. Does nothing for a frame it does not
// hold.
void ShowGifFrame(LayerImage& image, int n);

}  // namespace vv::graphics
