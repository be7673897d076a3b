#include "script/context_state.h"

#include <array>

#include "common/sjis.h"
#include "resource/error_reporter.h"
#include "script/context.h"
#include "script/script_files.h"
#include "shell/engine.h"

namespace vv::script {

namespace {

constexpr std::array<char, 8> kHeader = {1, 2, 3, 4, 5, 6, 7, 8};
constexpr uint8_t kCmdContext = 70;

void PutByte(std::string& out, uint8_t v) {
  out += static_cast<char>('a' + (v >> 4));
  out += static_cast<char>('a' + (v & 0x0F));
}

void PutWord(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) PutByte(out, static_cast<uint8_t>(v >> shift));
}

// Reads the letter code from a text; every read checks what is left, and
// the first problem sticks (later reads give 0).
class LetterReader {
 public:
  explicit LetterReader(std::string_view text) : text_(text) {}

  bool ok() const { return ok_; }
  size_t remaining() const { return text_.size() - at_; }

  uint8_t Byte() {
    if (!ok_ || remaining() < 2) return Fail();
    const int high = Nibble(text_[at_]), low = Nibble(text_[at_ + 1]);
    if (high < 0 || low < 0) return Fail();
    at_ += 2;
    return static_cast<uint8_t>(high << 4 | low);
  }
  uint32_t Word() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
    return ok_ ? v : 0;
  }
  // A depth or saved depth: a byte below the stack size.
  uint8_t Depth() {
    const uint8_t v = Byte();
    if (v >= kStackLevels) Fail();
    return ok_ ? v : 0;
  }
  std::string_view Rest(size_t n) {
    if (!ok_ || remaining() < n) return Fail(), std::string_view();
    const std::string_view part = text_.substr(at_, n);
    at_ += n;
    return part;
  }
  bool Skip(std::string_view expected) {
    if (Rest(expected.size()) != expected) Fail();
    return ok_;
  }
  uint8_t Fail() {
    ok_ = false;
    return 0;
  }

 private:
  static int Nibble(char c) { return c >= 'a' && c <= 'p' ? c - 'a' : -1; }
  std::string_view text_;
  size_t at_ = 0;
  bool ok_ = true;
};

// ASCII letters compared without case; the bytes of two-byte characters
// (whose trail bytes may look like letters) compared exactly.
bool SameFileName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const uint8_t x = static_cast<uint8_t>(a[i]), y = static_cast<uint8_t>(b[i]);
    if (common::IsSjisLead(x) && i + 1 < a.size()) {
      if (x != y || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    const auto lower = [](uint8_t c) { return c >= 'A' && c <= 'Z' ? static_cast<uint8_t>(c + 0x20) : c; };
    if (lower(x) != lower(y)) return false;
  }
  return true;
}

// Everything a state text holds, decoded before any of it is applied.
struct DecodedState {
  uint8_t blockDepth = 0, callDepth = 0, loopDepth = 0;
  std::array<uint8_t, kStackLevels> blockSavedLoopDepth{};
  std::array<int32_t, kStackLevels> blockStart{}, blockExit{};
  std::array<uint8_t, kStackLevels> callSavedBlockDepth{}, callSavedLoopDepth{};
  std::array<int32_t, kStackLevels> returnPosition{};
  std::array<uint16_t, kStackLevels> returnFile{};
  std::array<uint8_t, kStackLevels> loopSavedBlockDepth{};
  std::array<int32_t, kStackLevels> loopBodyStart{}, loopEnd{};
  std::array<int64_t, kStackLevels> loopCounter{}, loopLimit{};
  uint8_t reservedA = 0, reservedB = 0;
  int32_t line = 0, position = 0;
  std::string_view fileName;
};

bool Parse(std::string_view text, size_t fileCount, DecodedState& s) {
  LetterReader r(text);
  if (!r.Skip(std::string_view(kHeader.data(), kHeader.size()))) return false;
  s.blockDepth = r.Depth();
  for (size_t i = 0; i < s.blockDepth; ++i) {
    s.blockSavedLoopDepth[i] = r.Depth();
    s.blockStart[i] = static_cast<int32_t>(r.Word());
    s.blockExit[i] = static_cast<int32_t>(r.Word());
  }
  s.reservedA = r.Byte();
  s.callDepth = r.Depth();
  for (size_t i = 0; i < s.callDepth; ++i) {
    s.callSavedBlockDepth[i] = r.Depth();
    s.callSavedLoopDepth[i] = r.Depth();
    s.returnPosition[i] = static_cast<int32_t>(r.Word());
    s.returnFile[i] = static_cast<uint16_t>(r.Word());
    if (s.returnFile[i] >= fileCount) r.Fail();
  }
  s.loopDepth = r.Depth();
  for (size_t i = 0; i < s.loopDepth; ++i) {
    s.loopSavedBlockDepth[i] = r.Depth();
    s.loopBodyStart[i] = static_cast<int32_t>(r.Word());
    s.loopEnd[i] = static_cast<int32_t>(r.Word());
    s.loopCounter[i] = static_cast<int32_t>(r.Word());
    s.loopLimit[i] = static_cast<int32_t>(r.Word());
  }
  s.reservedB = r.Byte();
  s.line = static_cast<int32_t>(r.Word());
  s.position = static_cast<int32_t>(r.Word());
  const uint32_t nameLength = r.Word();
  if (!r.ok() || nameLength > kMaxStateFileName || r.remaining() != nameLength) return false;
  s.fileName = r.Rest(nameLength);
  return r.ok();
}

}  // namespace

size_t EncodeContextState(const Engine& engine, const ScriptContext& c, std::string& out) {
  const std::string_view name = ScriptFileName(engine, c.file);
  // Depths are kept below 16 by every command that changes them; the clamp
  // only keeps a damaged context from reading past its arrays.
  const auto depth = [](int8_t d) { return static_cast<size_t>(d < 0 ? 0 : d >= kStackLevels ? kStackLevels - 1 : d); };
  const size_t a = depth(c.blockDepth), k = depth(c.callDepth), b = depth(c.loopDepth);
  out.clear();
  out.reserve(ContextStateLength(static_cast<int>(a), static_cast<int>(k), static_cast<int>(b), name.size()));
  out.append(kHeader.data(), kHeader.size());
  PutByte(out, static_cast<uint8_t>(a));
  for (size_t i = 0; i < a; ++i) {
    PutByte(out, c.blockSavedLoopDepth[i]);
    PutWord(out, static_cast<uint32_t>(c.blockStart[i]));
    PutWord(out, static_cast<uint32_t>(c.blockExit[i]));
  }
  PutByte(out, c.reservedA);
  PutByte(out, static_cast<uint8_t>(k));
  for (size_t i = 0; i < k; ++i) {
    PutByte(out, c.callSavedBlockDepth[i]);
    PutByte(out, c.callSavedLoopDepth[i]);
    PutWord(out, static_cast<uint32_t>(c.returnPosition[i]));
    PutWord(out, c.returnFile[i]);
  }
  PutByte(out, static_cast<uint8_t>(b));
  for (size_t i = 0; i < b; ++i) {
    // Counters and limits of level i + 1 belong to the loop opened at i.
    PutByte(out, c.loopSavedBlockDepth[i]);
    PutWord(out, static_cast<uint32_t>(c.loopBodyStart[i]));
    PutWord(out, static_cast<uint32_t>(c.loopEnd[i]));
    PutWord(out, static_cast<uint32_t>(c.loopCounter[i + 1]));
    PutWord(out, static_cast<uint32_t>(c.loopLimit[i + 1]));
  }
  PutByte(out, c.reservedB);
  PutWord(out, static_cast<uint32_t>(c.line));
  PutWord(out, static_cast<uint32_t>(c.position));
  PutWord(out, static_cast<uint32_t>(name.size()));
  out += name;
  return out.size();
}

int DecodeContextState(Engine& engine, std::string_view text, ScriptContext& c) {
  const std::vector<std::string>& names = engine.script.compiled.fileNames;
  DecodedState s;
  if (!Parse(text, names.size(), s)) return resource::ReportError(engine, kErrBadContextState, true);
  size_t file = 0;
  while (file < names.size() && !SameFileName(names[file], s.fileName)) ++file;
  if (file == names.size()) {
    return resource::ReportError(engine, kErrUnknownStateFile, true, {CommandName(engine, kCmdContext), s.fileName});
  }

  c.blockDepth = static_cast<int8_t>(s.blockDepth);
  for (size_t i = 0; i < s.blockDepth; ++i) {
    c.blockSavedLoopDepth[i] = s.blockSavedLoopDepth[i];
    c.blockStart[i] = s.blockStart[i];
    c.blockExit[i] = s.blockExit[i];
  }
  c.reservedA = s.reservedA;
  c.callDepth = static_cast<int8_t>(s.callDepth);
  for (size_t i = 0; i < s.callDepth; ++i) {
    c.callSavedBlockDepth[i] = s.callSavedBlockDepth[i];
    c.callSavedLoopDepth[i] = s.callSavedLoopDepth[i];
    c.returnPosition[i] = s.returnPosition[i];
    c.returnFile[i] = s.returnFile[i];
  }
  c.loopDepth = static_cast<int8_t>(s.loopDepth);
  for (size_t i = 0; i < s.loopDepth; ++i) {
    c.loopSavedBlockDepth[i] = s.loopSavedBlockDepth[i];
    c.loopBodyStart[i] = s.loopBodyStart[i];
    c.loopEnd[i] = s.loopEnd[i];
    c.loopCounter[i + 1] = s.loopCounter[i];
    c.loopLimit[i + 1] = s.loopLimit[i];
  }
  c.reservedB = s.reservedB;
  c.line = s.line;
  c.position = s.position;
  if (c.file != file) {
    // The regions still belong to the old file until the caller enters the
    // new one.
    c.file = static_cast<uint16_t>(file);
    c.hasCode = false;
  }
  return 0;
}

}  // namespace vv::script
