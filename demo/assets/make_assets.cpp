// Draws the sample game's pictures into BMP files, so the repository holds
// their recipe instead of binaries:
//   make_assets OUTPUT_DIR
// bg.bmp (24-bit) a daytime sky over a meadow, dusk.bmp (24-bit) the same
// scene at dusk, wipe.bmp (24-bit) the grey ramp of the day-to-dusk
// transition, sun.bmp (32-bit with alpha) a soft-edged sun, strip.bmp
// (32-bit with alpha) the translucent band under the dialogue.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;

struct Rgba {
  int r, g, b, a;
};

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

uint8_t Clamp(double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Writes a bottom-up BMP of w x h; `pixel(x, y)` is asked top-down.
bool WriteBmp(const std::string& path, int w, int h, int bits, const std::function<Rgba(int, int)>& pixel) {
  const uint32_t stride = static_cast<uint32_t>((w * bits / 8 + 3) & ~3);
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, 54 + stride * static_cast<uint32_t>(h));
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(w));
  Put32(out, static_cast<uint32_t>(h));
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(bits));
  for (int i = 0; i < 6; ++i) Put32(out, 0);
  for (int row = h - 1; row >= 0; --row) {
    const size_t start = out.size();
    for (int x = 0; x < w; ++x) {
      const Rgba p = pixel(x, row);
      out.push_back(Clamp(p.b));
      out.push_back(Clamp(p.g));
      out.push_back(Clamp(p.r));
      if (bits == 32) out.push_back(Clamp(p.a));
    }
    while (out.size() - start < stride) out.push_back(0);
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && ok;
}

double Mix(double a, double b, double t) { return a + (b - a) * t; }

// The scene; `dusk` 0 for day, 1 for dusk.
Rgba Scene(int x, int y, double dusk) {
  const double horizon = 330 + 12 * std::sin(x / 90.0);
  if (y < horizon) {
    const double t = y / horizon;
    return {static_cast<int>(Mix(Mix(90, 40, dusk), Mix(190, 250, dusk), t)),
            static_cast<int>(Mix(Mix(150, 30, dusk), Mix(220, 140, dusk), t)),
            static_cast<int>(Mix(Mix(235, 90, dusk), Mix(250, 90, dusk), t)), 255};
  }
  const double t = (y - horizon) / (kHeight - horizon);
  const double stripes = 8 * std::sin(x / 7.0 + y / 3.0);
  return {static_cast<int>(Mix(Mix(70, 40, dusk), Mix(40, 20, dusk), t) + stripes),
          static_cast<int>(Mix(Mix(160, 70, dusk), Mix(110, 40, dusk), t) + stripes),
          static_cast<int>(Mix(Mix(60, 60, dusk), Mix(30, 40, dusk), t)), 255};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_assets OUTPUT_DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = true;
  ok &= WriteBmp(dir + "/bg.bmp", kWidth, kHeight, 24, [](int x, int y) { return Scene(x, y, 0); });
  ok &= WriteBmp(dir + "/dusk.bmp", kWidth, kHeight, 24, [](int x, int y) { return Scene(x, y, 1); });
  // Brighter on the left: the dusk reveals itself from left to right as
  // the mask level rises.
  ok &= WriteBmp(dir + "/wipe.bmp", kWidth, kHeight, 24, [](int x, int y) {
    const int v = 255 - (x * 255 / (kWidth - 1) + (y % 8)) * 240 / 262;
    return Rgba{v, v, v, 255};
  });
  ok &= WriteBmp(dir + "/sun.bmp", 128, 128, 32, [](int x, int y) {
    const double d = std::hypot(x - 63.5, y - 63.5);
    const double a = d < 40 ? 255 : d < 64 ? 255 * (64 - d) / 24 : 0;
    return Rgba{255, static_cast<int>(230 - d), static_cast<int>(120 - d), static_cast<int>(a)};
  });
  ok &= WriteBmp(dir + "/strip.bmp", kWidth, 120, 32, [](int x, int y) {
    const bool edge = y < 3 || y > 116 || x < 3 || x > kWidth - 4;
    return edge ? Rgba{230, 230, 240, 255} : Rgba{10, 20, 60, 170};
  });
  if (!ok) {
    std::fprintf(stderr, "make_assets: cannot write the pictures into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
