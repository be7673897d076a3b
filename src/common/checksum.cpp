#include "common/checksum.h"

#include <zlib.h>

#include <limits>

namespace vv::common {

namespace {
// zlib takes uInt lengths; feed larger buffers in pieces.
template <typename Fn>
uint32_t Chunked(const uint8_t* p, size_t n, uint32_t value, Fn fn) {
  constexpr size_t kMax = std::numeric_limits<uInt>::max();
  while (n > 0) {
    const size_t part = n < kMax ? n : kMax;
    value = static_cast<uint32_t>(fn(value, p, static_cast<uInt>(part)));
    p += part;
    n -= part;
  }
  return value;
}
}  // namespace

uint32_t Crc32(std::span<const uint8_t> data, uint32_t crc) {
  return Chunked(data.data(), data.size(), crc, ::crc32);
}

uint32_t Crc32(std::string_view text, uint32_t crc) {
  return Crc32(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), crc);
}

uint32_t Adler32(std::span<const uint8_t> data, uint32_t adler) {
  return Chunked(data.data(), data.size(), adler, ::adler32);
}

}  // namespace vv::common
