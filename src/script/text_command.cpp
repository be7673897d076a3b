// The text command: conversion between numbers and texts, extracting and
// removing characters, full-width and half-width forms, and ASCII letter
// case. Characters are Shift-JIS: a lead byte and the byte after it count
// as one character everywhere.
//
// Without a destination (argument 1) every operation writes back into the
// source element, so convert then finds both sides of one type (108200).
// Results are built without a size limit and stored whole (a text element
// holds at most 65534 bytes; a longer result is cut at a character
// boundary by the store).
#include <string>

#include "common/sjis.h"
#include "resource/error_reporter.h"
#include "script/command_results.h"
#include "script/text_width_tables.h"
#include "script/value_commands.h"
#include "script/values.h"
#include "script/variables.h"
#include "shell/engine.h"

namespace vv::script {

namespace {

constexpr int32_t kErrConvertTypes = 108200;
constexpr int32_t kErrNotANumber = 108210;
constexpr int32_t kErrExtractStart = 120010;
constexpr int32_t kErrExtractCount = 120020;
constexpr int32_t kErrRemoveStart = 120110;
constexpr int32_t kErrRemoveCount = 120120;

enum TextArg : int {
  kSource = 0, kDestination = 1, kRemove = 2, kExtract = 3, kStart = 4, kCount = 5, kConvert = 6,
  kUpper = 7, kLower = 8, kFullWidth = 9, kHalfWidth = 10,
};

int8_t Fail(Engine& engine, int32_t code) { return static_cast<int8_t>(resource::ReportError(engine, code, true)); }

bool IsText(Engine& engine, const ArgSlot& slot) { return VariableTypeOf(engine, slot.variable) == kTypeText; }

std::string SourceText(Engine& engine, const ArgSlot& source) {
  return std::string(ReadText(engine, source.variable, source.element));
}

// Number to text, or text to number. A text converts only when it holds
// nothing below the full stop: no sign, space, control or Shift-JIS byte.
int8_t Convert(Engine& engine, const ArgSlot& source, const ArgSlot& destination) {
  const uint8_t s = VariableTypeOf(engine, source.variable);
  const uint8_t d = VariableTypeOf(engine, destination.variable);
  const bool numberToText = (s == kTypeInteger || s == kTypeFloat) && d == kTypeText;
  const bool textToNumber = s == kTypeText && (d == kTypeInteger || d == kTypeFloat);
  if (!numberToText && !textToNumber) return Fail(engine, kErrConvertTypes);
  if (s == kTypeInteger) {
    return static_cast<int8_t>(StoreTextTo(engine, destination, IntegerToText(ReadInteger(engine, source.variable, source.element))));
  }
  if (s == kTypeFloat) {
    return static_cast<int8_t>(StoreTextTo(engine, destination, FloatToText(ReadFloat(engine, source.variable, source.element))));
  }
  const std::string text = SourceText(engine, source);
  bool fraction = false;
  for (const char c : text) {
    if (static_cast<signed char>(c) < '.') return Fail(engine, kErrNotANumber);  // also every lead byte
    if (c == '.') fraction = true;
  }
  if (fraction) return static_cast<int8_t>(StoreFloatTo(engine, destination, TextToFloat(text)));
  return static_cast<int8_t>(StoreIntegerTo(engine, destination, TextToInteger(text)));
}

// Extract (keep) or remove `count` characters from character `start`
// (counted from 1).
int8_t Cut(Engine& engine, const ArgSlot& source, const ArgSlot& destination, bool extract) {
  const CommandArgs& a = engine.script.interp.args;
  if (!IsText(engine, source) || !IsText(engine, destination)) return Fail(engine, kErrNotTextVariable);
  const std::string text = SourceText(engine, source);
  const size_t length = text.size();
  const int64_t start = a.Number(kStart), count = a.Number(kCount);
  size_t p = 0;
  for (int64_t i = 1; i < start; ++i) {
    // A start beyond the text fails at the first character that is missing.
    p += p < length ? common::SjisCharLength(text, p) : 1;
    if (p >= length) return Fail(engine, extract ? kErrExtractStart : kErrRemoveStart);
  }
  size_t q = p;
  for (int64_t i = 0; i < count; ++i) {
    if (q >= length) return Fail(engine, extract ? kErrExtractCount : kErrRemoveCount);
    q += common::SjisCharLength(text, q);
  }
  const std::string result = extract ? text.substr(p, q - p) : text.substr(0, p) + text.substr(q);
  return static_cast<int8_t>(StoreTextTo(engine, destination, result));
}

std::string ToFullWidth(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (size_t i = 0; i < text.size();) {
    const size_t n = common::SjisCharLength(text, i);
    if (n == 2) {
      out.append(text.substr(i, 2));
    } else {
      const uint8_t b = static_cast<uint8_t>(text[i]);
      const uint16_t w = FullWidthOf(b);
      if (w == b) {
        out += static_cast<char>(b);
      } else {
        out += static_cast<char>(w >> 8);
        out += static_cast<char>(w & 0xFF);
      }
    }
    i += n;
  }
  return out;
}

std::string ToHalfWidth(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t n = common::SjisCharLength(text, i);
    if (n == 1) {
      out += text[i];
    } else {
      const uint16_t c = static_cast<uint16_t>(static_cast<uint8_t>(text[i]) << 8 | static_cast<uint8_t>(text[i + 1]));
      const uint16_t s = HalfWidthOf(c);
      if (s == c) out.append(text.substr(i, 2));
      else out += static_cast<char>(s);
    }
    i += n;
  }
  return out;
}

// ASCII letters change case; two-byte characters are stepped over whole,
// so a trail byte in the letter range (the 0x41 of "ア") never turns the
// character into another one.
std::string ChangeCase(std::string text, char from, char to) {
  for (size_t i = 0; i < text.size();) {
    const size_t n = common::SjisCharLength(text, i);
    if (n == 1 && text[i] >= from && text[i] <= to) text[i] = static_cast<char>(text[i] ^ 0x20);
    i += n;
  }
  return text;
}

}  // namespace

int8_t TextCommand(Engine& engine) {
  if (PrepareArgs(engine) != 0) return -1;
  const CommandArgs& a = engine.script.interp.args;
  const ArgSlot& source = a.Get(kSource);
  const ArgSlot& destination = a.Has(kDestination) ? a.Get(kDestination) : source;

  if (a.Has(kConvert)) return Convert(engine, source, destination);
  if (a.Has(kExtract)) return Cut(engine, source, destination, true);
  if (a.Has(kRemove)) return Cut(engine, source, destination, false);

  static constexpr int kInOrder[] = {kFullWidth, kHalfWidth, kUpper, kLower};
  for (const int op : kInOrder) {
    if (!a.Has(op)) continue;
    if (!IsText(engine, source) || !IsText(engine, destination)) return Fail(engine, kErrNotTextVariable);
    const std::string text = SourceText(engine, source);
    std::string result;
    switch (op) {
      case kFullWidth: result = ToFullWidth(text); break;
      case kHalfWidth: result = ToHalfWidth(text); break;
      case kUpper: result = ChangeCase(text, 'a', 'z'); break;
      default: result = ChangeCase(text, 'A', 'Z'); break;
    }
    if (StoreTextTo(engine, destination, result) != 0) return -1;
  }
  return 0;
}

}  // namespace vv::script
