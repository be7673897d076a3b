// Checksums through zlib: CRC-32 (reflected polynomial 0xEDB88320, initial
// value all ones, final complement) names pack entries and labels; Adler-32
// guards pack entry data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace vv::common {

uint32_t Crc32(std::span<const uint8_t> data, uint32_t crc = 0);
uint32_t Crc32(std::string_view text, uint32_t crc = 0);
uint32_t Adler32(std::span<const uint8_t> data, uint32_t adler = 1);

}  // namespace vv::common
