#include "common/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace vv::common {

namespace {

// One conversion with an iconv descriptor opened for it; iconv descriptors
// keep shift state, so sharing one between threads would be unsafe.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts `in`; on an invalid or unconvertible sequence calls
  // `onBad(out)` and skips `badStep` bytes, or fails when onBad is null.
  template <typename OnBad>
  bool Run(std::string_view in, std::string& out, OnBad onBad, size_t badStep) {
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[1024];
    while (srcLeft > 0) {
      char* dst = buf;
      size_t dstLeft = sizeof buf;
      const size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buf, static_cast<size_t>(dst - buf));
      if (r == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        if (!onBad(out)) return false;
        const size_t step = (errno == EINVAL) ? srcLeft : std::min(badStep, srcLeft);
        src += step;
        srcLeft -= step;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    return true;
  }

 private:
  iconv_t cd_;
};

size_t Utf8SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;
}

}  // namespace

std::string SjisToUtf8(std::string_view sjis) {
  std::string out;
  out.reserve(sjis.size() * 3 / 2);
  Converter c("UTF-8", "CP932");
  if (!c.ok()) {
    for (unsigned char ch : sjis) out += ch < 0x80 ? static_cast<char>(ch) : '?';
    return out;
  }
  c.Run(sjis, out, [](std::string& o) { o += "\xEF\xBF\xBD"; return true; }, 1);
  return out;
}

std::optional<std::string> Utf8ToSjis(std::string_view utf8) {
  std::string out;
  Converter c("CP932", "UTF-8");
  if (!c.ok()) return std::nullopt;
  if (!c.Run(utf8, out, [](std::string&) { return false; }, 1)) return std::nullopt;
  return out;
}

std::string Utf8ToSjisLossy(std::string_view utf8) {
  if (auto whole = Utf8ToSjis(utf8)) return *whole;
  // Slow path: one character at a time, '?' for each one without a CP932 form.
  std::string out;
  Converter c("CP932", "UTF-8");
  if (!c.ok()) return std::string(utf8);
  for (size_t i = 0; i < utf8.size();) {
    const size_t n = std::min(Utf8SequenceLength(static_cast<unsigned char>(utf8[i])),
                              utf8.size() - i);
    std::string one;
    if (c.Run(utf8.substr(i, n), one, [](std::string&) { return false; }, 1))
      out += one;
    else
      out += '?';
    i += n;
  }
  return out;
}

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t n = Utf8SequenceLength(lead);
    if (n == 1 && lead >= 0x80) return false;
    if (i + n > text.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    if (n == 2 && lead < 0xC2) return false;
    i += n;
  }
  return true;
}

}  // namespace vv::common
