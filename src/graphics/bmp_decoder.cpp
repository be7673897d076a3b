// Windows and OS/2 bitmaps, decoded by our own code.
#include <bit>

#include "common/bytes.h"
#include "graphics/image.h"

namespace vv::graphics {

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr uint32_t kCoreHeaderBytes = 12;   // OS/2 1.x: 16-bit sizes, 3-byte palette entries
constexpr uint32_t kInfoHeaderBytes = 40;   // the common Windows header
constexpr uint32_t kSmallestInfoHeader = 16;  // OS/2 2.x headers may stop after the bit count

enum Compression : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

// One colour channel of a bit-field pixel, scaled to 0..255.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;

  explicit Channel(uint32_t m) : mask(m) {
    if (m != 0) {
      shift = std::countr_zero(m);
      max = m >> shift;
    }
  }
  bool present() const { return mask != 0; }
  uint8_t Scale(uint32_t pixel) const {
    if (max == 0) return 0;
    const uint64_t v = (pixel & mask) >> shift;
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
  }
};

struct Header {
  int64_t width = 0, height = 0;
  bool topDown = false;
  uint32_t bits = 0;
  uint32_t compression = kRgb;
  uint32_t colorsUsed = 0;
  uint32_t headerBytes = 0;
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  bool hasMasks = false;
};

uint32_t RowStride(uint32_t bits, int64_t w) {
  switch (bits) {
    case 1:
      return static_cast<uint32_t>((w + 31) / 32 * 4);
    case 4:
      return static_cast<uint32_t>((w + 7) / 8 * 4);
    case 8:
      return static_cast<uint32_t>((w + 3) / 4 * 4);
    case 16:
      return static_cast<uint32_t>((2 * w + 3) / 4 * 4);
    case 24:
      return static_cast<uint32_t>((3 * w + 3) / 4 * 4);
    default:
      return static_cast<uint32_t>(4 * w);
  }
}

resource::ErrorCode ReadHeader(common::ByteReader& r, Header& h) {
  r.Seek(kFileHeaderBytes);
  h.headerBytes = r.U32();
  if (!r.ok()) return kBmpNoSignature;
  if (h.headerBytes == kCoreHeaderBytes) {
    h.width = r.U16();
    h.height = r.U16();
    r.U16();  // planes
    h.bits = r.U16();
  } else if (h.headerBytes >= kSmallestInfoHeader) {
    // The header must lie in the file; fields the header does not reach
    // keep their defaults.
    if (kFileHeaderBytes + h.headerBytes > r.size()) return kBmpNoSignature;
    h.width = r.I32();
    const int64_t height = r.I32();
    h.topDown = height < 0;
    h.height = height < 0 ? -height : height;
    r.U16();  // planes: some writers leave it 0
    h.bits = r.U16();
    if (h.headerBytes >= 20) h.compression = r.U32();
    if (h.headerBytes >= 36) {
      r.Seek(kFileHeaderBytes + 32);
      h.colorsUsed = r.U32();
    }
    if (h.compression == kBitFields || h.compression == kAlphaBitFields) {
      // Newer headers carry the masks; after the plain 40-byte header
      // they follow it, three or four words.
      const bool inHeader = h.headerBytes >= 52;
      const int count = inHeader ? (h.headerBytes >= 56 ? 4 : 3) : (h.compression == kAlphaBitFields ? 4 : 3);
      if (!inHeader && h.headerBytes != kInfoHeaderBytes) return kBmpNoSignature;
      r.Seek(kFileHeaderBytes + kInfoHeaderBytes);
      for (int i = 0; i < count; ++i) h.masks[i] = r.U32();
      h.hasMasks = true;
    }
  } else {
    return kBmpNoSignature;
  }
  if (!r.ok()) return kBmpNoSignature;
  if (h.width <= 0 || h.height <= 0) return kBmpNoSignature;
  if (h.width > kMaxImageSide || h.height > kMaxImageSide) return kImageTooLarge;
  switch (h.bits) {
    case 1:
    case 24:
      if (h.compression != kRgb) return kBmpCompressed;
      break;
    case 4:
    case 8:
      // Run-length encoded files are not read.
      if (h.compression != kRgb) return kBmpCompressed;
      break;
    case 16:
    case 32:
      if (h.compression != kRgb && !h.hasMasks) return kBmpCompressed;
      break;
    default:
      return kBmpNoSignature;
  }
  return 0;
}

void StorePixel(uint8_t* p, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  p[0] = b;
  p[1] = g;
  p[2] = r;
  p[3] = a;
}

}  // namespace

resource::ErrorCode DecodeBmp(std::span<const uint8_t> file, const PixelOps& ops, LayerImage& image) {
  if (file.size() < 2 || file[0] != 'B' || file[1] != 'M') return kBmpNoSignature;
  common::ByteReader r(file);
  r.Seek(10);
  const uint32_t offset = r.U32();
  if (!r.ok()) return kBmpNoSignature;
  if (offset < 11) return kBmpBadPixelData;

  Header h;
  if (const resource::ErrorCode rc = ReadHeader(r, h)) return rc;
  const int w = static_cast<int>(h.width), height = static_cast<int>(h.height);

  // The palette: every entry black until read; the palette's fourth byte is
  // never alpha.
  uint8_t palette[256][3] = {};
  if (h.bits <= 8) {
    const uint32_t size = 1u << h.bits;
    const uint32_t count = h.colorsUsed == 0 || h.colorsUsed > size ? size : h.colorsUsed;
    const uint32_t entryBytes = h.headerBytes == kCoreHeaderBytes ? 3 : 4;
    r.Seek(kFileHeaderBytes + h.headerBytes);
    for (uint32_t i = 0; i < count; ++i) {
      const auto e = r.Bytes(entryBytes);
      if (!r.ok()) return kBmpNoSignature;
      palette[i][0] = e[0];
      palette[i][1] = e[1];
      palette[i][2] = e[2];
    }
  }

  // The pixel data must lie in the file before anything is allocated. The
  // last row need not carry its padding.
  const uint64_t stride = RowStride(h.bits, w);
  const uint64_t rowBytes = (static_cast<uint64_t>(w) * h.bits + 7) / 8;
  if (static_cast<uint64_t>(offset) + stride * static_cast<uint64_t>(height - 1) + rowBytes > file.size()) {
    return kBmpBadPixelData;
  }
  if (!AllocatePixels(ops, image, w, height)) return kImageOutOfMemory;

  const Channel red(h.hasMasks ? h.masks[0] : 0x7C00), green(h.hasMasks ? h.masks[1] : 0x03E0),
      blue(h.hasMasks ? h.masks[2] : 0x001F), alpha(h.hasMasks ? h.masks[3] : 0);
  const bool copy32 = h.bits == 32 && !h.hasMasks;
  if (copy32 || (h.bits >= 16 && alpha.present())) image.hasAlpha = 1;

  for (int k = 0; k < height; ++k) {
    r.Seek(offset + stride * static_cast<uint64_t>(k));
    const std::span<const uint8_t> src = r.Bytes(rowBytes);
    if (!r.ok()) return kBmpBadPixelData;
    const int memoryRow = h.topDown ? height - 1 - k : k;
    uint8_t* dst = image.pixels.get() + static_cast<size_t>(memoryRow) * static_cast<size_t>(w) * 4;
    for (int x = 0; x < w; ++x, dst += 4) {
      switch (h.bits) {
        case 1:
        case 4:
        case 8: {
          const int bitPos = x * static_cast<int>(h.bits);
          const int shift = 8 - static_cast<int>(h.bits) - (bitPos & 7);
          const int index = (src[static_cast<size_t>(bitPos >> 3)] >> shift) & ((1 << h.bits) - 1);
          StorePixel(dst, palette[index][0], palette[index][1], palette[index][2], 255);
          break;
        }
        case 24: {
          const size_t i = 3 * static_cast<size_t>(x);
          StorePixel(dst, src[i], src[i + 1], src[i + 2], 255);
          break;
        }
        case 16:
        case 32: {
          if (copy32) {
            const size_t i = 4 * static_cast<size_t>(x);
            StorePixel(dst, src[i], src[i + 1], src[i + 2], src[i + 3]);
            break;
          }
          const uint32_t px = h.bits == 16 ? common::LoadU16(&src[2 * static_cast<size_t>(x)])
                                           : common::LoadU32(&src[4 * static_cast<size_t>(x)]);
          StorePixel(dst, blue.Scale(px), green.Scale(px), red.Scale(px), alpha.present() ? alpha.Scale(px) : 255);
          break;
        }
      }
    }
  }
  return 0;
}

}  // namespace vv::graphics
