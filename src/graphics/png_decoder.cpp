// PNG pictures through libpng, read from memory.
//
// libpng reports a damaged file by jumping back to the setjmp in ReadPng;
// no object with a destructor lives in the frames such a jump leaves.
#include <png.h>

#include <csetjmp>

#include "common/bytes.h"
#include "graphics/image.h"

namespace vv::graphics {

namespace {

// Deflate cannot expand data by more than this factor (runs of one byte);
// a picture that its file cannot hold is refused before it is allocated.
constexpr uint64_t kMaxInflateRatio = 1032;

struct PngJob {
  common::ByteReader reader;
  const PixelOps* ops = nullptr;
  LayerImage* image = nullptr;
  resource::ErrorCode failure = kPngFailed;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
  auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
  const std::span<const uint8_t> bytes = job->reader.Bytes(count);
  if (!job->reader.ok()) png_error(png, "the file ends early");
  std::memcpy(out, bytes.data(), count);
}

// libpng would print its messages; the load reports the failure itself.
void SilentError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void SilentWarning(png_structp, png_const_charp) {}

// Everything that may jump back runs here, between setjmp and the end.
resource::ErrorCode ReadPng(png_structp png, png_infop info, png_infop end, PngJob& job) {
  if (setjmp(png_jmpbuf(png))) return job.failure;

  png_set_read_fn(png, &job, ReadFromMemory);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  const int depth = png_get_bit_depth(png, info);
  const int colour = png_get_color_type(png, info);
  if (width > kMaxImageSide || height > kMaxImageSide) return kImageTooLarge;
  const uint64_t rawBytes = static_cast<uint64_t>(height) * (png_get_rowbytes(png, info) + 1);
  if (rawBytes > static_cast<uint64_t>(job.reader.size()) * kMaxInflateRatio + 4096) return kPngFailed;

  if (colour == PNG_COLOR_TYPE_PALETTE || (colour == PNG_COLOR_TYPE_GRAY && depth < 8) ||
      png_get_valid(png, info, PNG_INFO_tRNS)) {
    png_set_expand(png);
  }
  if (depth == 16) png_set_strip_16(png);
  if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  if (colour != PNG_COLOR_TYPE_GRAY_ALPHA && colour != PNG_COLOR_TYPE_RGB_ALPHA) {
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  }
  double fileGamma = 0;
  if (png_get_gAMA(png, info, &fileGamma)) png_set_gamma(png, 2.2, fileGamma);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  // Every row must come out as 4 bytes a pixel, or it would not fit.
  if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 4) return kPngFailed;

  LayerImage& image = *job.image;
  job.failure = kImageOutOfMemory;
  if (!AllocatePixels(*job.ops, image, static_cast<int>(width), static_cast<int>(height))) return kImageOutOfMemory;
  job.failure = kPngFailed;
  // The alpha bytes a tRNS chunk gives are kept, but such a picture is
  // drawn as opaque.
  image.hasAlpha = colour == PNG_COLOR_TYPE_GRAY_ALPHA || colour == PNG_COLOR_TYPE_RGB_ALPHA ? 1 : 0;
  const size_t stride = static_cast<size_t>(width) * 4;
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) {
      png_read_row(png, image.pixels.get() + static_cast<size_t>(height - 1 - y) * stride, nullptr);
    }
  }
  png_read_end(png, end);
  return 0;
}

}  // namespace

resource::ErrorCode DecodePng(std::span<const uint8_t> file, const PixelOps& ops, LayerImage& image) {
  PngJob job{common::ByteReader(file), &ops, &image};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, SilentError, SilentWarning);
  if (!png) return kPngFailed;
  png_infop info = png_create_info_struct(png);
  png_infop end = png_create_info_struct(png);
  resource::ErrorCode rc = kPngFailed;
  if (info && end) rc = ReadPng(png, info, end, job);
  png_destroy_read_struct(&png, info ? &info : nullptr, end ? &end : nullptr);
  return rc;
}

}  // namespace vv::graphics
