// Script values and the conversions between integers, floats and texts.
//
// Every script number is a signed 64-bit integer or a double; every text is
// Shift-JIS bytes. The conversions here are the ones scripts see everywhere
// (expressions, assignments, command results), so they are exact and never
// undefined: a float too large for an integer, or NaN, converts to the
// "integer indefinite" value INT64_MIN.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vv::script {

// Element types of a variable.
inline constexpr uint8_t kTypeNone = 0;  // not yet declared
inline constexpr uint8_t kTypeInteger = 1;
inline constexpr uint8_t kTypeFloat = 2;
inline constexpr uint8_t kTypeText = 3;

// One value cell of the evaluator and of evaluated arguments. A text cell
// has integer and float parts 0 and names one of the evaluator's text
// buffers (1..1023); 0 means "not a text".
struct ScriptValue {
  int64_t integer = 0;
  double real = 0.0;
  uint16_t text = 0;
};

// Float to integer, truncating toward zero; NaN and values outside the
// int64 range give INT64_MIN.
int64_t TruncateToInteger(double value);

// Wrapping 64-bit arithmetic (scripts rely on wrap-around).
inline int64_t WrapAdd(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}
inline int64_t WrapSub(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}
inline int64_t WrapMul(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(b));
}
inline int64_t WrapNeg(int64_t a) { return static_cast<int64_t>(0 - static_cast<uint64_t>(a)); }
// Quotient truncated toward zero; a zero divisor gives 0 and INT64_MIN / -1
// wraps to INT64_MIN.
inline int64_t SafeDiv(int64_t a, int64_t b) {
  if (b == 0) return 0;
  if (b == -1) return WrapNeg(a);
  return a / b;
}
// Remainder with the sign of the dividend; a zero divisor gives 0.
inline int64_t SafeRem(int64_t a, int64_t b) {
  if (b == 0 || b == -1) return 0;
  return a % b;
}

// Integer to text: signed decimal, no leading zeros, no plus sign.
// Writes into `out` (at least 21 bytes) and returns the length.
size_t FormatInteger(int64_t value, char* out);
std::string IntegerToText(int64_t value);

// Float to text: six decimals, no exponent ("%f").
std::string FloatToText(double value);

// Text to integer: optional leading white space, an optional sign, then
// decimal digits up to the first other character (wrapping); 0 without
// digits.
int64_t TextToInteger(std::string_view text);

// Text to float by the strtod rules (0.0 when nothing converts).
double TextToFloat(std::string_view text);

}  // namespace vv::script
