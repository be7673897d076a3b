#include "graphics/pixel_ops.h"

#include <algorithm>
#include <climits>
#include <new>
#include <string>

#include "graphics/pixel_sets.h"

namespace vv::graphics {

CpuFeatures DetectCpuFeatures() {
  CpuFeatures cpu;
#if defined(VV_PIXELS_X86)
  __builtin_cpu_init();
  cpu.sse2 = __builtin_cpu_supports("sse2");
  // The compiler's probe also asks the system whether it saves the wide
  // registers (XGETBV), so a set it approves cannot fault.
  cpu.avx2 = __builtin_cpu_supports("avx2");
#endif
  cpu.best = cpu.avx2 ? PixelSet::kAvx2 : cpu.sse2 ? PixelSet::kSse2 : PixelSet::kPortable;
  return cpu;
}

bool PixelSetSupported(PixelSet set, const CpuFeatures& cpu) {
  switch (set) {
    case PixelSet::kPortable:
      return true;
    case PixelSet::kSse2:
      return cpu.sse2;
    case PixelSet::kAvx2:
      return cpu.avx2;
  }
  return false;
}

const PixelOps& PixelOpsFor(PixelSet set) {
#if defined(VV_PIXELS_X86)
  if (set == PixelSet::kAvx2) return sets::kAvx2;
  if (set == PixelSet::kSse2) return sets::kSse2;
#else
  (void)set;
#endif
  return sets::kPortable;
}

std::optional<PixelSet> PixelSetFromName(std::string_view name) {
  std::string lowered(name);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (lowered == "portable") return PixelSet::kPortable;
  if (lowered == "sse2") return PixelSet::kSse2;
  if (lowered == "avx2") return PixelSet::kAvx2;
  return std::nullopt;
}

const char* PixelSetName(PixelSet set) {
  switch (set) {
    case PixelSet::kPortable:
      return "portable";
    case PixelSet::kSse2:
      return "sse2";
    case PixelSet::kAvx2:
      return "avx2";
  }
  return "portable";
}

ZeroedBytes AllocZeroed(const PixelOps& ops, size_t n) {
  ZeroedBytes block(static_cast<uint8_t*>(std::malloc(n == 0 ? 1 : n)));
  if (!block) return block;
  // ZeroFill takes int lengths; large blocks are cleared in pieces.
  constexpr size_t kPiece = size_t{1} << 30;
  for (size_t done = 0; done < n; done += kPiece) {
    ops.ZeroFill(block.get() + done, static_cast<int>(std::min(kPiece, n - done)));
  }
  return block;
}

}  // namespace vv::graphics
