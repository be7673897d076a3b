// GIF pictures and animations, decoded by our own code.
#include <cstring>

#include "common/bytes.h"
#include "graphics/image.h"

namespace vv::graphics {

namespace {

constexpr int kMaxCodes = 4096;
// All frames of one file together hold at most this many colour indices.
constexpr uint64_t kMaxIndexBytes = uint64_t{512} << 20;
// One byte of image data yields at most this many pixels: a code takes at
// least two bits and stands for at most 4096 pixels. A frame larger than
// its remaining data could describe is refused before it is allocated.
constexpr uint64_t kMaxPixelsPerByte = 4 * kMaxCodes;

// The graphic control and application extension values in force.
struct FrameControl {
  int32_t disposal = 0, transparent = 0, delay = 0, transparentIndex = 0, loopCount = 1;
};

// The LZW code stream of one frame: bits taken least significant first
// from the data sub-blocks.
class CodeReader {
 public:
  explicit CodeReader(common::ByteReader& r) : r_(r) {}

  // The next code of `size` bits; false when the sub-blocks end first (or
  // the file does).
  bool Next(int size, int& code) {
    while (bits_ < size) {
      if (left_ == 0) {
        if (ended_) return false;
        left_ = r_.U8();
        if (!r_.ok()) return false;
        if (left_ == 0) {
          ended_ = true;
          return false;
        }
      }
      buffer_ |= static_cast<uint32_t>(r_.U8()) << bits_;
      if (!r_.ok()) return false;
      bits_ += 8;
      --left_;
    }
    code = static_cast<int>(buffer_ & ((1u << size) - 1));
    buffer_ >>= size;
    bits_ -= size;
    return true;
  }

  // Skips the rest of the sub-blocks up to the zero-length terminator.
  bool SkipRest() {
    if (!ended_) {
      r_.Skip(left_);
      left_ = 0;
      for (;;) {
        const uint8_t n = r_.U8();
        if (!r_.ok()) return false;
        if (n == 0) break;
        if (!r_.Skip(n)) return false;
      }
      ended_ = true;
    }
    return r_.ok();
  }

 private:
  common::ByteReader& r_;
  uint32_t buffer_ = 0;
  int bits_ = 0;
  int left_ = 0;  // bytes left in the current sub-block
  bool ended_ = false;
};

// Decodes `out.size()` indices in file order. False on a code the table
// does not hold or data that ends before the last pixel.
bool DecodeLzw(common::ByteReader& r, std::vector<uint8_t>& out) {
  const int minSize = r.U8();
  if (!r.ok() || minSize < 1 || minSize > 11) return false;
  const int clear = 1 << minSize, end = clear + 1;
  uint16_t prefix[kMaxCodes];
  uint8_t suffix[kMaxCodes], first[kMaxCodes];
  uint16_t length[kMaxCodes];
  for (int c = 0; c < clear; ++c) {
    prefix[c] = 0;
    suffix[c] = first[c] = static_cast<uint8_t>(c);
    length[c] = 1;
  }
  int next = clear + 2, size = minSize + 1, prev = -1;
  size_t pos = 0;
  const size_t total = out.size();
  CodeReader codes(r);
  while (pos < total) {
    int code = 0;
    if (!codes.Next(size, code)) return false;
    if (code == clear) {
      next = clear + 2;
      size = minSize + 1;
      prev = -1;
      continue;
    }
    if (code == end) return false;
    int emit;  // the code whose string is written
    uint8_t head;
    if (prev < 0) {
      if (code >= clear) return false;
      emit = code;
      head = static_cast<uint8_t>(code);
    } else if (code < next) {
      emit = code;
      head = first[code];
    } else if (code == next && next < kMaxCodes) {
      // The string of the previous code followed by its own first byte.
      emit = -1;
      head = first[prev];
    } else {
      return false;
    }
    if (prev >= 0 && next < kMaxCodes) {
      prefix[next] = static_cast<uint16_t>(prev);
      suffix[next] = head;
      first[next] = first[prev];
      length[next] = static_cast<uint16_t>(length[prev] + 1);
      if (emit < 0) emit = next;
      ++next;
      if (next == (1 << size) && size < 12) ++size;
    }
    // Write the string backwards from its end; only what fits is kept.
    const size_t len = length[emit];
    size_t at = pos + len;
    int c = emit;
    for (size_t k = len; k-- > 0;) {
      if (pos + k < total) out[pos + k] = suffix[c];
      c = prefix[c];
    }
    pos = at < total ? at : total;
    prev = code;
  }
  return codes.SkipRest();
}

// Sub-blocks of an extension we only step over.
bool SkipSubBlocks(common::ByteReader& r) {
  for (;;) {
    const uint8_t n = r.U8();
    if (!r.ok()) return false;
    if (n == 0) return true;
    if (!r.Skip(n)) return false;
  }
}

bool ReadExtension(common::ByteReader& r, FrameControl& control) {
  const uint8_t label = r.U8();
  if (!r.ok()) return false;
  if (label == 0xF9) {
    // Graphic control: block size, packed byte, delay, transparent index.
    const uint8_t size = r.U8();
    const auto block = r.Bytes(size);
    if (!r.ok()) return false;
    if (size >= 4) {
      control.disposal = (block[0] >> 2) & 7;
      control.transparent = block[0] & 1;
      control.delay = common::LoadU16(&block[1]);
      control.transparentIndex = block[3];
    }
    return SkipSubBlocks(r);
  }
  if (label == 0xFF) {
    // Application: an identifier block, then data sub-blocks; the looping
    // extension's first sub-block is 1 and a 16-bit loop count.
    const uint8_t size = r.U8();
    const auto id = r.Bytes(size);
    if (!r.ok()) return false;
    const bool looping = size == 11 && (std::memcmp(id.data(), "NETSCAPE2.0", 11) == 0 ||
                                        std::memcmp(id.data(), "ANIMEXTS1.0", 11) == 0);
    const uint8_t n = r.U8();
    const auto data = r.Bytes(n);
    if (!r.ok()) return false;
    if (n == 0) return true;
    if (looping && n >= 3 && data[0] == 1) control.loopCount = common::LoadU16(&data[1]);
    return SkipSubBlocks(r);
  }
  // Comments, plain text and extensions we do not know carry nothing we
  // use.
  return SkipSubBlocks(r);
}

void ReadColourTable(common::ByteReader& r, int packed, std::array<uint8_t, 768>& table) {
  const size_t entries = size_t{2} << (packed & 7);
  const auto bytes = r.Bytes(entries * 3);
  if (r.ok()) std::memcpy(table.data(), bytes.data(), bytes.size());
}

// Rows of an interlaced frame in the order the file stores them.
std::vector<int> InterlacedRows(int h) {
  std::vector<int> rows;
  rows.reserve(static_cast<size_t>(h));
  static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (int y = kStart[pass]; y < h; y += kStep[pass]) rows.push_back(y);
  }
  return rows;
}

resource::ErrorCode ReadFrame(common::ByteReader& r, const FrameControl& control,
                              const std::array<uint8_t, 768>& global, uint64_t& indexBytes,
                              std::unique_ptr<GifFrame>& out) {
  auto frame = std::make_unique<GifFrame>();
  frame->left = r.U16();
  frame->top = r.U16();
  frame->width = r.U16();
  frame->height = r.U16();
  const uint8_t packed = r.U8();
  if (!r.ok()) return kDecodeFailed;
  if (frame->width > kMaxImageSide || frame->height > kMaxImageSide) return kImageTooLarge;
  frame->disposal = control.disposal;
  frame->transparent = control.transparent;
  frame->delay = control.delay;
  frame->transparentIndex = control.transparentIndex;
  frame->loopCount = control.loopCount;
  if (packed & 0x80) {
    ReadColourTable(r, packed, frame->palette);
    if (!r.ok()) return kDecodeFailed;
  } else {
    frame->palette = global;
  }

  const uint64_t pixels = static_cast<uint64_t>(frame->width) * static_cast<uint64_t>(frame->height);
  if (pixels > static_cast<uint64_t>(r.remaining()) * kMaxPixelsPerByte) return kDecodeFailed;
  indexBytes += pixels;
  if (indexBytes > kMaxIndexBytes) return kImageOutOfMemory;
  std::vector<uint8_t> linear(static_cast<size_t>(pixels));
  if (!DecodeLzw(r, linear)) return kDecodeFailed;
  if ((packed & 0x40) && !linear.empty()) {
    frame->indices.resize(linear.size());
    const size_t w = static_cast<size_t>(frame->width);
    const std::vector<int> rows = InterlacedRows(frame->height);
    for (size_t k = 0; k < rows.size(); ++k) {
      std::memcpy(frame->indices.data() + static_cast<size_t>(rows[k]) * w, linear.data() + k * w, w);
    }
  } else {
    frame->indices = std::move(linear);
  }
  out = std::move(frame);
  return 0;
}

}  // namespace

resource::ErrorCode DecodeGif(std::span<const uint8_t> file, const PixelOps& ops, LayerImage& image) {
  common::ByteReader r(file);
  r.Skip(6);  // the signature is not checked: the type code chose this decoder
  const int width = r.U16(), height = r.U16();
  const uint8_t packed = r.U8();
  r.Skip(2);  // background index, aspect
  if (!r.ok()) return kDecodeFailed;
  if (width > kMaxImageSide || height > kMaxImageSide) return kImageTooLarge;
  if (width == 0 || height == 0) return kDecodeFailed;
  std::array<uint8_t, 768> global{};
  if (packed & 0x80) {
    ReadColourTable(r, packed, global);
    if (!r.ok()) return kDecodeFailed;
  }

  FrameControl control;
  std::vector<std::unique_ptr<GifFrame>> frames;
  uint64_t indexBytes = 0;
  for (;;) {
    const uint8_t block = r.U8();
    if (!r.ok()) return kDecodeFailed;
    if (block == 0x3B) break;
    if (block == 0x21) {
      if (!ReadExtension(r, control)) return kDecodeFailed;
    } else if (block == 0x2C) {
      if (frames.size() == kGifFrameSlots) return kDecodeFailed;
      std::unique_ptr<GifFrame> frame;
      if (const resource::ErrorCode rc = ReadFrame(r, control, global, indexBytes, frame)) return rc;
      frames.push_back(std::move(frame));
    } else {
      return kDecodeFailed;
    }
  }
  if (frames.empty()) return kDecodeFailed;

  if (!AllocatePixels(ops, image, width, height)) return kImageOutOfMemory;
  if (image.frames.empty()) image.frames.resize(kGifFrameSlots);
  for (size_t i = 0; i < frames.size(); ++i) image.frames[i] = std::move(frames[i]);
  image.frame = 0;
  image.frameCount = static_cast<uint32_t>(frames.size());
  image.hasAlpha = static_cast<int8_t>(control.transparent);
  ShowGifFrame(image, 0);
  return 0;
}

void ShowGifFrame(LayerImage& image, int n) {
  if (n < 0 || static_cast<uint32_t>(n) >= image.frameCount || static_cast<size_t>(n) >= image.frames.size() ||
      !image.frames[static_cast<size_t>(n)] || !image.pixels) {
    return;
  }
  const GifFrame& f = *image.frames[static_cast<size_t>(n)];
  for (int i = 0; i < f.height; ++i) {
    const int y = f.top + i;
    if (y >= image.height) break;
    uint8_t* row = image.pixels.get() + static_cast<size_t>(image.height - 1 - y) * static_cast<size_t>(image.width) * 4;
    const uint8_t* src = f.indices.data() + static_cast<size_t>(i) * static_cast<size_t>(f.width);
    for (int j = 0; j < f.width; ++j) {
      const int x = f.left + j;
      if (x >= image.width) break;
      const int c = src[j];
      uint8_t* p = row + static_cast<size_t>(x) * 4;
      p[0] = f.palette[3 * c + 2];
      p[1] = f.palette[3 * c + 1];
      p[2] = f.palette[3 * c];
      p[3] = f.transparent && c == f.transparentIndex ? 0 : 255;
    }
  }
}

}  // namespace vv::graphics
