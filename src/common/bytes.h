// Little-endian readers and writers.
//
// Bytes from a file are read only through ByteReader: every read is checked
// against the end of the data. The first failed read makes the reader fail
// for good (later reads return zero), and its error names the data and the
// offset, so a parser can read a whole record and check once at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vv::common {

inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t LoadU64(const uint8_t* p) {
  return static_cast<uint64_t>(LoadU32(p)) | (static_cast<uint64_t>(LoadU32(p + 4)) << 32);
}
inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void StoreU64(uint8_t* p, uint64_t v) {
  StoreU32(p, static_cast<uint32_t>(v));
  StoreU32(p + 4, static_cast<uint32_t>(v >> 32));
}

class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const uint8_t> data, std::string_view name = {})
      : data_(data), name_(name) {}
  ByteReader(const void* data, size_t size, std::string_view name = {})
      : data_(static_cast<const uint8_t*>(data), size), name_(name) {}

  bool ok() const { return !failed_; }
  size_t pos() const { return pos_; }
  size_t size() const { return data_.size(); }
  size_t remaining() const { return data_.size() - pos_; }
  std::span<const uint8_t> data() const { return data_; }

  // Moves to an absolute offset; offsets beyond the end fail.
  bool Seek(size_t offset);
  bool Skip(size_t count);

  uint8_t U8();
  int8_t I8() { return static_cast<int8_t>(U8()); }
  uint16_t U16();
  int16_t I16() { return static_cast<int16_t>(U16()); }
  uint32_t U32();
  int32_t I32() { return static_cast<int32_t>(U32()); }
  uint64_t U64();
  int64_t I64() { return static_cast<int64_t>(U64()); }
  double F64();

  // A view of the next `count` bytes (empty after a failure).
  std::span<const uint8_t> Bytes(size_t count);
  std::string_view Text(size_t count);
  // A text up to its zero byte; the zero byte is consumed, not returned.
  // Fails when the data ends before a zero byte.
  std::string_view CString();

  // Marks the reader failed with a reason of the caller's (a bad count, a
  // value out of range), keeping the first failure.
  void Fail(std::string_view reason);

  // "<name>: offset <n>: <what went wrong>", empty while ok().
  const std::string& error() const { return error_; }
  size_t errorOffset() const { return errorOffset_; }

 private:
  bool Need(size_t count);

  std::span<const uint8_t> data_;
  std::string name_;
  size_t pos_ = 0;
  bool failed_ = false;
  size_t errorOffset_ = 0;
  std::string error_;
};

class ByteWriter {
 public:
  ByteWriter() = default;
  explicit ByteWriter(std::vector<uint8_t> initial) : out_(std::move(initial)) {}

  void U8(uint8_t v) { out_.push_back(v); }
  void I8(int8_t v) { U8(static_cast<uint8_t>(v)); }
  void U16(uint16_t v);
  void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
  void U32(uint32_t v);
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void U64(uint64_t v);
  void I64(int64_t v) { U64(static_cast<uint64_t>(v)); }
  void F64(double v);
  void Bytes(std::span<const uint8_t> bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
  void Text(std::string_view text) { out_.insert(out_.end(), text.begin(), text.end()); }
  // The text followed by one zero byte.
  void CString(std::string_view text) {
    Text(text);
    U8(0);
  }
  void Zeros(size_t count) { out_.insert(out_.end(), count, 0); }

  // Overwrites a value written earlier (a count or an offset known later).
  void PatchU32(size_t offset, uint32_t v) { StoreU32(out_.data() + offset, v); }

  size_t size() const { return out_.size(); }
  const std::vector<uint8_t>& bytes() const { return out_; }
  std::vector<uint8_t> Take() { return std::move(out_); }

 private:
  std::vector<uint8_t> out_;
};

}  // namespace vv::common
