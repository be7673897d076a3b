#include "script/values.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace vv::script {

int64_t TruncateToInteger(double value) {
  // 2^63 exactly; every double below it (and at or above -2^63) fits.
  constexpr double kLimit = 9223372036854775808.0;
  if (!(value >= -kLimit && value < kLimit)) return std::numeric_limits<int64_t>::min();  // NaN too
  return static_cast<int64_t>(value);
}

size_t FormatInteger(int64_t value, char* out) {
  char digits[20];
  size_t n = 0;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  size_t length = 0;
  if (value < 0) out[length++] = '-';
  while (n > 0) out[length++] = digits[--n];
  return length;
}

std::string IntegerToText(int64_t value) {
  char buffer[24];
  return std::string(buffer, FormatInteger(value, buffer));
}

std::string FloatToText(double value) {
  // The longest "%f" form (-DBL_MAX) has 316 characters.
  char buffer[400];
  const int n = std::snprintf(buffer, sizeof buffer, "%f", value);
  return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

int64_t TextToInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint64_t v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) v = v * 10 + static_cast<uint64_t>(text[i] - '0');
  return static_cast<int64_t>(negative ? 0 - v : v);
}

double TextToFloat(std::string_view text) {
  // strtod wants a terminated text; the texts scripts convert are short.
  char local[128];
  std::string heap;
  const char* terminated;
  if (text.size() < sizeof local) {
    text.copy(local, text.size());
    local[text.size()] = '\0';
    terminated = local;
  } else {
    heap.assign(text);
    terminated = heap.c_str();
  }
  return std::strtod(terminated, nullptr);
}

}  // namespace vv::script
