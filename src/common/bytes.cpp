#include "common/bytes.h"

namespace vv::common {

void ByteReader::Fail(std::string_view reason) {
  if (failed_) return;
  failed_ = true;
  errorOffset_ = pos_;
  error_ = (name_.empty() ? std::string("data") : name_) + ": offset " + std::to_string(pos_) +
           ": " + std::string(reason);
}

bool ByteReader::Need(size_t count) {
  if (failed_) return false;
  if (count > remaining()) {
    Fail("needs " + std::to_string(count) + " bytes, " + std::to_string(remaining()) +
         " left of " + std::to_string(size()));
    return false;
  }
  return true;
}

bool ByteReader::Seek(size_t offset) {
  if (failed_) return false;
  if (offset > data_.size()) {
    Fail("seek to " + std::to_string(offset) + " beyond the end (" + std::to_string(size()) + ")");
    return false;
  }
  pos_ = offset;
  return true;
}

bool ByteReader::Skip(size_t count) {
  if (!Need(count)) return false;
  pos_ += count;
  return true;
}

uint8_t ByteReader::U8() {
  if (!Need(1)) return 0;
  return data_[pos_++];
}

uint16_t ByteReader::U16() {
  if (!Need(2)) return 0;
  const uint16_t v = LoadU16(data_.data() + pos_);
  pos_ += 2;
  return v;
}

uint32_t ByteReader::U32() {
  if (!Need(4)) return 0;
  const uint32_t v = LoadU32(data_.data() + pos_);
  pos_ += 4;
  return v;
}

uint64_t ByteReader::U64() {
  if (!Need(8)) return 0;
  const uint64_t v = LoadU64(data_.data() + pos_);
  pos_ += 8;
  return v;
}

double ByteReader::F64() {
  const uint64_t bits = U64();
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

std::span<const uint8_t> ByteReader::Bytes(size_t count) {
  if (!Need(count)) return {};
  auto view = data_.subspan(pos_, count);
  pos_ += count;
  return view;
}

std::string_view ByteReader::Text(size_t count) {
  auto b = Bytes(count);
  return {reinterpret_cast<const char*>(b.data()), b.size()};
}

std::string_view ByteReader::CString() {
  if (failed_) return {};
  const uint8_t* start = data_.data() + pos_;
  const void* zero = std::memchr(start, 0, remaining());
  if (!zero) {
    Fail("text without its zero byte");
    return {};
  }
  const size_t len = static_cast<size_t>(static_cast<const uint8_t*>(zero) - start);
  pos_ += len + 1;
  return {reinterpret_cast<const char*>(start), len};
}

void ByteWriter::U16(uint16_t v) {
  uint8_t b[2];
  StoreU16(b, v);
  out_.insert(out_.end(), b, b + 2);
}

void ByteWriter::U32(uint32_t v) {
  uint8_t b[4];
  StoreU32(b, v);
  out_.insert(out_.end(), b, b + 4);
}

void ByteWriter::U64(uint64_t v) {
  uint8_t b[8];
  StoreU64(b, v);
  out_.insert(out_.end(), b, b + 8);
}

void ByteWriter::F64(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof v);
  U64(bits);
}

}  // namespace vv::common
