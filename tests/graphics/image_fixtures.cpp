#include "graphics/image_fixtures.h"

#include <png.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <stdexcept>

#include <jpeglib.h>

#include "common/bytes.h"

namespace vv::graphics::testing {

Picture Pattern(int w, int h, uint32_t seed, bool randomAlpha) {
  Picture p{w, h, std::vector<Rgba>(static_cast<size_t>(w) * h)};
  std::mt19937 rng(seed);
  for (Rgba& px : p.pixels) {
    px.r = static_cast<uint8_t>(rng());
    px.g = static_cast<uint8_t>(rng());
    px.b = static_cast<uint8_t>(rng());
    px.a = randomAlpha ? static_cast<uint8_t>(rng()) : 255;
  }
  return p;
}

namespace {

uint32_t Stride(int bits, int w) {
  switch (bits) {
    case 1: return static_cast<uint32_t>((w + 31) / 32 * 4);
    case 4: return static_cast<uint32_t>((w + 7) / 8 * 4);
    case 8: return static_cast<uint32_t>((w + 3) / 4 * 4);
    case 16: return static_cast<uint32_t>((2 * w + 3) / 4 * 4);
    case 24: return static_cast<uint32_t>((3 * w + 3) / 4 * 4);
    default: return static_cast<uint32_t>(4 * w);
  }
}

// An 8-bit channel into the bits of `mask` (truncating).
uint32_t IntoMask(uint8_t c, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const uint32_t max = mask >> shift;
  return (static_cast<uint32_t>(c) * max / 255) << shift;
}

}  // namespace

std::vector<uint8_t> MakeBmp(const Picture& p, const BmpOptions& o) {
  common::ByteWriter w;
  w.Text("BM");
  w.U32(0);  // file size, patched
  w.U32(0);
  w.U32(0);  // pixel data offset, patched
  const bool core = o.headerBytes == 12;
  w.U32(static_cast<uint32_t>(o.headerBytes));
  if (core) {
    w.U16(static_cast<uint16_t>(p.width));
    w.U16(static_cast<uint16_t>(p.height));
    w.U16(1);
    w.U16(static_cast<uint16_t>(o.bits));
  } else {
    w.I32(p.width);
    w.I32(o.topDown ? -p.height : p.height);
    w.U16(1);
    w.U16(static_cast<uint16_t>(o.bits));
    w.U32(o.compression);
    w.U32(0);
    w.I32(2835);
    w.I32(2835);
    w.U32(o.colorsUsed);
    w.U32(0);
    if (o.headerBytes >= 52) {
      for (int i = 0; i < (o.headerBytes >= 56 ? 4 : 3); ++i) w.U32(o.masks[static_cast<size_t>(i)]);
    }
    w.Zeros(static_cast<size_t>(14 + o.headerBytes) - w.size());
    if (o.headerBytes == 40 && o.compression == 3) {
      for (int i = 0; i < 3; ++i) w.U32(o.masks[static_cast<size_t>(i)]);
    }
  }
  for (const Rgba& c : o.palette) {
    w.U8(c.b);
    w.U8(c.g);
    w.U8(c.r);
    if (!core) w.U8(0);
  }
  const size_t offset = w.size();
  const uint32_t stride = Stride(o.bits, p.width);
  const bool masked = o.compression == 3 || (o.bits == 16);
  const std::array<uint32_t, 4> masks =
      o.compression == 3 ? o.masks : std::array<uint32_t, 4>{0x7C00, 0x03E0, 0x001F, 0};
  for (int k = 0; k < p.height; ++k) {
    const int y = o.topDown ? k : p.height - 1 - k;
    std::vector<uint8_t> row(stride, 0);
    for (int x = 0; x < p.width; ++x) {
      const Rgba& c = p.at(x, y);
      switch (o.bits) {
        case 1:
        case 4:
        case 8: {
          const int bit = x * o.bits;
          row[static_cast<size_t>(bit / 8)] |= static_cast<uint8_t>(c.r << (8 - o.bits - bit % 8));
          break;
        }
        case 24:
          row[3 * x] = c.b;
          row[3 * x + 1] = c.g;
          row[3 * x + 2] = c.r;
          break;
        default: {
          if (o.bits == 32 && !masked) {
            row[4 * x] = c.b;
            row[4 * x + 1] = c.g;
            row[4 * x + 2] = c.r;
            row[4 * x + 3] = c.a;
            break;
          }
          const uint32_t v = IntoMask(c.r, masks[0]) | IntoMask(c.g, masks[1]) | IntoMask(c.b, masks[2]) |
                             IntoMask(c.a, masks[3]);
          if (o.bits == 16) {
            common::StoreU16(&row[2 * x], static_cast<uint16_t>(v));
          } else {
            common::StoreU32(&row[4 * x], v);
          }
        }
      }
    }
    w.Bytes(row);
  }
  std::vector<uint8_t> out = w.Take();
  common::StoreU32(out.data() + 2, static_cast<uint32_t>(out.size()));
  common::StoreU32(out.data() + 10, static_cast<uint32_t>(offset));
  return out;
}

std::vector<uint8_t> LzwEncode(const std::vector<uint8_t>& indices, int m) {
  const int clear = 1 << m, end = clear + 1;
  std::vector<uint8_t> out;
  uint32_t buffer = 0;
  int bits = 0;
  // The decoder's code size, followed code by code, decides each width.
  int decNext = clear + 2, decSize = m + 1;
  bool decHasPrev = false;
  auto emit = [&](int code) {
    buffer |= static_cast<uint32_t>(code) << bits;
    bits += decSize;
    while (bits >= 8) {
      out.push_back(static_cast<uint8_t>(buffer));
      buffer >>= 8;
      bits -= 8;
    }
    if (code == clear) {
      decNext = clear + 2;
      decSize = m + 1;
      decHasPrev = false;
      return;
    }
    if (decHasPrev && decNext < 4096) {
      ++decNext;
      if (decNext == (1 << decSize) && decSize < 12) ++decSize;
    }
    decHasPrev = true;
  };
  std::map<uint32_t, int> dict;
  int next = clear + 2;
  emit(clear);
  if (!indices.empty()) {
    int prefix = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
      const uint32_t key = (static_cast<uint32_t>(prefix) << 8) | indices[i];
      if (auto it = dict.find(key); it != dict.end()) {
        prefix = it->second;
        continue;
      }
      emit(prefix);
      if (next < 4096) {
        dict[key] = next++;
      } else {
        emit(clear);
        dict.clear();
        next = clear + 2;
      }
      prefix = indices[i];
    }
    emit(prefix);
  }
  emit(end);
  if (bits > 0) out.push_back(static_cast<uint8_t>(buffer));
  return out;
}

namespace {

void WriteTable(common::ByteWriter& w, const std::vector<std::array<uint8_t, 3>>& table) {
  for (const auto& e : table) w.Bytes(e);
}

// 2^(k+1) entries: the packed-field code k of a table.
int TableCode(size_t entries) {
  int k = 0;
  while ((size_t{2} << k) < entries) ++k;
  return k;
}

}  // namespace

std::vector<uint8_t> MakeGif(const GifSpec& s) {
  common::ByteWriter w;
  w.Text("GIF89a");
  w.U16(static_cast<uint16_t>(s.width));
  w.U16(static_cast<uint16_t>(s.height));
  w.U8(static_cast<uint8_t>(s.globalTable.empty() ? 0 : 0x80 | TableCode(s.globalTable.size())));
  w.U8(0);
  w.U8(0);
  WriteTable(w, s.globalTable);
  if (s.loopCount >= 0) {
    w.U8(0x21);
    w.U8(0xFF);
    w.U8(11);
    w.Text("NETSCAPE2.0");
    w.U8(3);
    w.U8(1);
    w.U16(static_cast<uint16_t>(s.loopCount));
    w.U8(0);
  }
  if (s.comment) {
    w.U8(0x21);
    w.U8(0xFE);
    w.U8(5);
    w.Text("hello");
    w.U8(3);
    w.Text("abc");
    w.U8(0);
  }
  for (const GifFrameSpec& f : s.frames) {
    if (f.control) {
      w.U8(0x21);
      w.U8(0xF9);
      w.U8(4);
      w.U8(static_cast<uint8_t>((f.disposal << 2) | (f.transparentIndex >= 0 ? 1 : 0)));
      w.U16(static_cast<uint16_t>(f.delay));
      w.U8(static_cast<uint8_t>(f.transparentIndex >= 0 ? f.transparentIndex : 0));
      w.U8(0);
    }
    w.U8(0x2C);
    w.U16(static_cast<uint16_t>(f.left));
    w.U16(static_cast<uint16_t>(f.top));
    w.U16(static_cast<uint16_t>(f.width));
    w.U16(static_cast<uint16_t>(f.height));
    uint8_t packed = f.interlaced ? 0x40 : 0;
    if (!f.localTable.empty()) packed |= static_cast<uint8_t>(0x80 | TableCode(f.localTable.size()));
    w.U8(packed);
    WriteTable(w, f.localTable);
    std::vector<uint8_t> order = f.indices;
    if (f.interlaced) {
      order.clear();
      static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass) {
        for (int y = kStart[pass]; y < f.height; y += kStep[pass]) {
          const auto row = f.indices.begin() + static_cast<ptrdiff_t>(y) * f.width;
          order.insert(order.end(), row, row + f.width);
        }
      }
    }
    const int minSize = 8;
    w.U8(minSize);
    const std::vector<uint8_t> data = LzwEncode(order, minSize);
    for (size_t at = 0; at < data.size(); at += 255) {
      const size_t n = std::min<size_t>(255, data.size() - at);
      w.U8(static_cast<uint8_t>(n));
      w.Bytes(std::span(data).subspan(at, n));
    }
    w.U8(0);
  }
  w.U8(0x3B);
  return w.Take();
}

std::vector<uint8_t> MakePng(const Picture& p, bool alpha) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) throw std::runtime_error("png write failed");
  png_set_write_fn(
      png, &out,
      [](png_structp s, png_bytep data, size_t n) {
        auto* o = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(s));
        o->insert(o->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(p.width), static_cast<png_uint_32>(p.height), 8,
               alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<uint8_t> row(static_cast<size_t>(p.width) * 4);
  for (int y = 0; y < p.height; ++y) {
    size_t k = 0;
    for (int x = 0; x < p.width; ++x) {
      const Rgba& c = p.at(x, y);
      row[k++] = c.r;
      row[k++] = c.g;
      row[k++] = c.b;
      if (alpha) row[k++] = c.a;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<uint8_t> MakeJpeg(const Picture& p, bool greyscale, bool progressive) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = static_cast<JDIMENSION>(p.width);
  c.image_height = static_cast<JDIMENSION>(p.height);
  c.input_components = greyscale ? 1 : 3;
  c.in_color_space = greyscale ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 100, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(p.width) * 3);
  while (c.next_scanline < c.image_height) {
    const int y = static_cast<int>(c.next_scanline);
    for (int x = 0; x < p.width; ++x) {
      const Rgba& px = p.at(x, y);
      if (greyscale) {
        row[static_cast<size_t>(x)] = px.r;
      } else {
        row[3 * static_cast<size_t>(x)] = px.r;
        row[3 * static_cast<size_t>(x) + 1] = px.g;
        row[3 * static_cast<size_t>(x) + 2] = px.b;
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> out(buffer, buffer + size);
  jpeg_destroy_compress(&c);
  std::free(buffer);
  return out;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace vv::graphics::testing
