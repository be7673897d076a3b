// The decoders on files built here (BMP, GIF by our writers; PNG, JPEG by
// the libraries), on PngSuite, and on damaged copies of good files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "common/bytes.h"
#include "graphics/image.h"
#include "graphics/image_fixtures.h"

namespace vv::graphics {
namespace {

using testing::BmpOptions;
using testing::GifFrameSpec;
using testing::GifSpec;
using testing::Picture;
using testing::Rgba;

const PixelOps& Ops() { return PixelOpsFor(PixelSet::kPortable); }

BmpOptions Bmp(int bits, int headerBytes = 40, uint32_t compression = 0, std::array<uint32_t, 4> masks = {},
               bool topDown = false, uint32_t colorsUsed = 0) {
  BmpOptions o;
  o.bits = bits;
  o.headerBytes = headerBytes;
  o.compression = compression;
  o.masks = masks;
  o.topDown = topDown;
  o.colorsUsed = colorsUsed;
  return o;
}

BmpOptions WithPalette(BmpOptions o, std::vector<Rgba> palette) {
  o.palette = std::move(palette);
  return o;
}

GifSpec Gif(int w, int h, std::vector<std::array<uint8_t, 3>> table, int loopCount = -1, bool comment = false) {
  GifSpec g;
  g.width = w;
  g.height = h;
  g.globalTable = std::move(table);
  g.loopCount = loopCount;
  g.comment = comment;
  return g;
}

// The layer pixel at (x, y), top-down coordinates.
Rgba At(const LayerImage& image, int x, int y) {
  const uint8_t* p = image.pixels.get() + (static_cast<size_t>(image.height - 1 - y) * image.width + x) * 4;
  return Rgba{p[2], p[1], p[0], p[3]};
}

void ExpectPicture(const LayerImage& image, const Picture& want) {
  ASSERT_EQ(image.width, want.width);
  ASSERT_EQ(image.height, want.height);
  for (int y = 0; y < want.height; ++y) {
    for (int x = 0; x < want.width; ++x) {
      const Rgba got = At(image, x, y), w = want.at(x, y);
      ASSERT_EQ(got, w) << "pixel " << x << "," << y << " got " << int(got.r) << "," << int(got.g) << ","
                        << int(got.b) << "," << int(got.a);
    }
  }
}

// Every prefix of a good file and a few thousand damaged copies: each
// decoder must fail cleanly or succeed, never crash or read outside (the
// sanitizer builds check the latter).
template <typename Decode>
void SurvivesDamage(const std::vector<uint8_t>& good, Decode decode, bool prefixesFail = true) {
  for (size_t n = 0; n < good.size(); ++n) {
    LayerImage image;
    const std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<ptrdiff_t>(n));
    const resource::ErrorCode rc = decode(cut, image);
    if (prefixesFail) {
      ASSERT_NE(rc, 0) << "a file cut to " << n << " bytes decoded";
    }
  }
  std::mt19937 rng(99);
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> bad = good;
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < flips; ++k) bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
    LayerImage image;
    const resource::ErrorCode rc = decode(bad, image);
    if (rc == 0) {
      ASSERT_TRUE(image.pixels);
    }
  }
}

// ---- BMP ---------------------------------------------------------------

Picture PalettePicture(int w, int h, int colours, std::vector<Rgba>& palette) {
  Picture p = testing::Pattern(w, h, 5);
  palette.clear();
  for (int i = 0; i < colours; ++i) palette.push_back(Rgba{uint8_t(i * 37), uint8_t(255 - i), uint8_t(i * 11), 255});
  for (Rgba& px : p.pixels) px.r = static_cast<uint8_t>(px.g % colours);
  return p;
}

Picture Expand(const Picture& indexed, const std::vector<Rgba>& palette) {
  Picture p = indexed;
  for (Rgba& px : p.pixels) px = palette[px.r];
  return p;
}

// The 8-bit value a bit-field channel decodes to.
uint8_t ThroughMask(uint8_t c, uint32_t mask) {
  if (!mask) return 0;
  const uint32_t max = mask >> std::countr_zero(mask);
  const uint32_t v = c * max / 255;
  return static_cast<uint8_t>((v * 255 + max / 2) / max);
}

TEST(BmpDecoder, ReadsEveryDepthAndHeader) {
  struct Case {
    const char* name;
    int w, h;
    BmpOptions o;
  };
  const Case cases[] = {
      {"24-bit width 33 (100-byte rows)", 33, 5, Bmp(24)},
      {"24-bit top-down", 7, 4, Bmp(24, 40, 0, {}, true)},
      {"24-bit V5 header", 6, 3, Bmp(24, 124)},
      {"24-bit OS/2 header", 9, 2, Bmp(24, 12)},
      {"1-bit width 33 (8-byte rows)", 33, 3, Bmp(1)},
      {"4-bit", 13, 4, Bmp(4)},
      {"8-bit", 10, 6, Bmp(8)},
      {"8-bit OS/2 header", 10, 6, Bmp(8, 12)},
      {"8-bit short palette", 10, 2, Bmp(8, 40, 0, {}, false, 20)},
      {"16-bit 555", 11, 3, Bmp(16)},
      {"16-bit 565", 11, 3, Bmp(16, 40, 3, {0xF800, 0x07E0, 0x001F, 0})},
      {"16-bit 4444 V4 header", 5, 5,
       Bmp(16, 108, 3, {0x0F00, 0x00F0, 0x000F, 0xF000})},
      {"32-bit plain", 9, 4, Bmp(32)},
      {"32-bit bit fields", 9, 4, Bmp(32, 40, 3, {0xFF0000, 0xFF00, 0xFF, 0})},
      {"32-bit bit fields with alpha", 9, 4,
       Bmp(32, 56, 3, {0xFF00, 0xFF0000, 0xFF000000, 0xFF})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BmpOptions o = c.o;
    Picture want;
    Picture source = testing::Pattern(c.w, c.h, 3, true);
    if (o.bits <= 8) {
      const int colours = o.colorsUsed ? static_cast<int>(o.colorsUsed) : 1 << o.bits;
      source = PalettePicture(c.w, c.h, colours, o.palette);
      want = Expand(source, o.palette);
      for (Rgba& px : want.pixels) px.a = 255;
    } else if (o.bits == 24) {
      want = source;
      for (Rgba& px : want.pixels) px.a = 255;
    } else if (o.bits == 32 && o.compression == 0) {
      want = source;
    } else {
      const std::array<uint32_t, 4> masks = o.compression == 3 ? o.masks : std::array<uint32_t, 4>{0x7C00, 0x3E0, 0x1F, 0};
      want = source;
      for (Rgba& px : want.pixels) {
        px = Rgba{ThroughMask(px.r, masks[0]), ThroughMask(px.g, masks[1]), ThroughMask(px.b, masks[2]),
                  masks[3] ? ThroughMask(px.a, masks[3]) : uint8_t{255}};
      }
    }
    const std::vector<uint8_t> file = testing::MakeBmp(source, o);
    LayerImage image;
    ASSERT_EQ(DecodeBmp(file, Ops(), image), 0);
    ExpectPicture(image, want);
    const bool alpha = (o.bits == 32 && o.compression == 0) || (o.bits >= 16 && o.masks[3] != 0 && o.compression == 3);
    EXPECT_EQ(image.hasAlpha, alpha ? 1 : 0);
    if (std::string(c.name).find("width 33") != std::string::npos) {
      // The file's rows are 100 (24-bit) and 8 (1-bit) bytes long, and the
      // file ends with the last one.
      const size_t offset = common::LoadU32(file.data() + 10);
      EXPECT_EQ(file.size() - offset, static_cast<size_t>(c.h) * (o.bits == 24 ? 100 : 8));
    }
  }
}

TEST(BmpDecoder, RefusesWhatItCannotRead) {
  Picture p = testing::Pattern(8, 8, 1);
  std::vector<Rgba> palette;
  const Picture indexed = PalettePicture(8, 8, 16, palette);
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    resource::ErrorCode want;
  };
  std::vector<Case> cases;
  auto file = testing::MakeBmp(p, Bmp(24));
  auto damaged = [&](auto change) {
    auto f = file;
    change(f);
    return f;
  };
  cases.push_back({"no signature", damaged([](auto& f) { f[0] = 'P'; }), kBmpNoSignature});
  cases.push_back({"offset below 11", damaged([](auto& f) { common::StoreU32(f.data() + 10, 10); }), kBmpBadPixelData});
  cases.push_back({"pixel data beyond the file", damaged([](auto& f) { f.resize(f.size() - 30); }), kBmpBadPixelData});
  cases.push_back({"width above 8192", damaged([](auto& f) { common::StoreU32(f.data() + 18, 8193); }), kImageTooLarge});
  cases.push_back({"height above 8192", damaged([](auto& f) { common::StoreU32(f.data() + 22, 0xFFFFDFFFu); }), kImageTooLarge});
  cases.push_back({"zero width", damaged([](auto& f) { common::StoreU32(f.data() + 18, 0); }), kBmpNoSignature});
  cases.push_back({"unknown header", damaged([](auto& f) { common::StoreU32(f.data() + 14, 13); }), kBmpNoSignature});
  cases.push_back({"2 bits a pixel", damaged([](auto& f) { common::StoreU16(f.data() + 28, 2); }), kBmpNoSignature});
  cases.push_back({"compressed 24-bit", damaged([](auto& f) { common::StoreU32(f.data() + 30, 1); }), kBmpCompressed});
  cases.push_back({"4-bit RLE", testing::MakeBmp(indexed, WithPalette(Bmp(4, 40, 2), palette)), kBmpCompressed});
  cases.push_back({"8-bit RLE", testing::MakeBmp(indexed, WithPalette(Bmp(8, 40, 1), palette)), kBmpCompressed});
  cases.push_back({"cut inside the header", std::vector<uint8_t>(file.begin(), file.begin() + 30), kBmpNoSignature});
  for (const Case& c : cases) {
    LayerImage image;
    EXPECT_EQ(DecodeBmp(c.file, Ops(), image), c.want) << c.name;
  }
  SurvivesDamage(testing::MakeBmp(indexed, WithPalette(Bmp(4), palette)),
                 [](const std::vector<uint8_t>& f, LayerImage& image) { return DecodeBmp(f, Ops(), image); });
  SurvivesDamage(testing::MakeBmp(p, Bmp(16, 108, 3, {0xF800, 0x7E0, 0x1F, 0})),
                 [](const std::vector<uint8_t>& f, LayerImage& image) { return DecodeBmp(f, Ops(), image); });
}

// ---- GIF ---------------------------------------------------------------

std::vector<std::array<uint8_t, 3>> Table(int entries, int salt) {
  std::vector<std::array<uint8_t, 3>> t;
  for (int i = 0; i < entries; ++i) {
    t.push_back({static_cast<uint8_t>(i * 3 + salt), static_cast<uint8_t>(i ^ salt), static_cast<uint8_t>(255 - i)});
  }
  return t;
}

GifFrameSpec Frame(int left, int top, int w, int h, uint32_t seed, int colours) {
  GifFrameSpec f;
  f.left = left;
  f.top = top;
  f.width = w;
  f.height = h;
  std::mt19937 rng(seed);
  // Runs of repeated indices exercise the dictionary codes too.
  while (f.indices.size() < static_cast<size_t>(w * h)) {
    const auto index = static_cast<uint8_t>(rng() % colours);
    for (int k = 1 + static_cast<int>(rng() % 6); k > 0 && f.indices.size() < static_cast<size_t>(w * h); --k) {
      f.indices.push_back(index);
    }
  }
  return f;
}

Rgba FromTable(const std::vector<std::array<uint8_t, 3>>& t, int i, uint8_t a = 255) {
  return Rgba{t[static_cast<size_t>(i)][0], t[static_cast<size_t>(i)][1], t[static_cast<size_t>(i)][2], a};
}

TEST(GifDecoder, TablesInterlacingTransparencyAndFrames) {
  GifSpec spec = Gif(20, 17, Table(256, 1), 3, true);
  GifFrameSpec first = Frame(0, 0, 20, 17, 1, 200);
  first.localTable = Table(256, 9);
  first.interlaced = true;
  first.control = true;
  first.delay = 7;
  GifFrameSpec second = Frame(5, 3, 9, 11, 2, 256);  // smaller, global table
  second.control = true;
  second.transparentIndex = 4;
  second.delay = 12;
  spec.frames = {first, second};
  const std::vector<uint8_t> file = testing::MakeGif(spec);

  LayerImage image;
  ASSERT_EQ(DecodeGif(file, Ops(), image), 0);
  EXPECT_EQ(image.width, 20);
  EXPECT_EQ(image.height, 17);
  EXPECT_EQ(image.frameCount, 2u);
  EXPECT_EQ(image.frame, 0);
  EXPECT_EQ(image.hasAlpha, 1);  // the transparency in force at the end
  ASSERT_EQ(image.frames.size(), kGifFrameSlots);
  EXPECT_EQ(image.frames[0]->delay, 7);
  EXPECT_EQ(image.frames[1]->delay, 12);
  EXPECT_EQ(image.frames[1]->loopCount, 3);
  // Frame 0: interlaced, local table, every pixel.
  for (int y = 0; y < 17; ++y) {
    for (int x = 0; x < 20; ++x) {
      ASSERT_EQ(At(image, x, y), FromTable(first.localTable, first.indices[static_cast<size_t>(y * 20 + x)])) << x << "," << y;
    }
  }
  // Frame 1 over it: only its rectangle changes, its transparent index
  // gives alpha 0, and it takes the global table.
  ShowGifFrame(image, 1);
  for (int y = 0; y < 17; ++y) {
    for (int x = 0; x < 20; ++x) {
      const bool inside = x >= 5 && x < 14 && y >= 3 && y < 14;
      Rgba want = FromTable(first.localTable, first.indices[static_cast<size_t>(y * 20 + x)]);
      if (inside) {
        const int c = second.indices[static_cast<size_t>((y - 3) * 9 + (x - 5))];
        want = FromTable(spec.globalTable, c, c == 4 ? 0 : 255);
      }
      ASSERT_EQ(At(image, x, y), want) << x << "," << y;
    }
  }
  SurvivesDamage(file, [](const std::vector<uint8_t>& f, LayerImage& img) { return DecodeGif(f, Ops(), img); });
}

TEST(GifDecoder, LimitsAndDamage) {
  GifSpec spec = Gif(4, 4, Table(2, 0));
  spec.frames.push_back(Frame(0, 0, 4, 4, 3, 2));
  std::vector<uint8_t> file = testing::MakeGif(spec);
  LayerImage image;
  ASSERT_EQ(DecodeGif(file, Ops(), image), 0);

  auto withFrames = [&](size_t count) {
    GifSpec many = Gif(2, 2, Table(2, 0));
    many.frames.assign(count, Frame(0, 0, 1, 1, 4, 2));
    return testing::MakeGif(many);
  };
  LayerImage big;
  EXPECT_EQ(DecodeGif(withFrames(8192), Ops(), big), 0);
  EXPECT_EQ(big.frameCount, 8192u);
  EXPECT_EQ(DecodeGif(withFrames(8193), Ops(), big), kDecodeFailed);

  std::vector<uint8_t> wide = file;
  common::StoreU16(wide.data() + 6, 8193);
  EXPECT_EQ(DecodeGif(wide, Ops(), image), kImageTooLarge);
  // An LZW stream that ends before the frame's last pixel.
  GifSpec shortSpec = spec;
  shortSpec.frames[0].indices.resize(10);
  const std::vector<uint8_t> shortFile = testing::MakeGif(shortSpec);
  EXPECT_EQ(DecodeGif(shortFile, Ops(), image), kDecodeFailed);
  // A later GIF with fewer frames reuses the slots and keeps the rest.
  EXPECT_EQ(DecodeGif(file, Ops(), big), 0);
  EXPECT_EQ(big.frameCount, 1u);
  EXPECT_TRUE(big.frames[5]);
}

// ---- PNG ---------------------------------------------------------------

std::string SuiteDir() { return VV_PNGSUITE_DIR; }

// The reference pixels: a JSON array of R, G, B, A values.
std::vector<int> ReadReference(const std::string& path) {
  std::vector<int> values;
  const std::vector<uint8_t> text = testing::ReadWholeFile(path);
  int v = -1;
  for (uint8_t c : text) {
    if (c >= '0' && c <= '9') {
      v = (v < 0 ? 0 : v * 10) + (c - '0');
    } else if (v >= 0) {
      values.push_back(v);
      v = -1;
    }
  }
  return values;
}

TEST(PngDecoder, PngSuite) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(SuiteDir()) / "png";
  if (!fs::exists(dir)) GTEST_SKIP() << "PngSuite not found at " << dir;
  int decoded = 0, refused = 0, compared = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".png") continue;
    SCOPED_TRACE(name);
    const std::vector<uint8_t> file = testing::ReadWholeFile(entry.path().string());
    LayerImage image;
    const resource::ErrorCode rc = DecodePng(file, Ops(), image);
    if (name[0] == 'x') {
      EXPECT_NE(rc, 0);
      ++refused;
      continue;
    }
    ASSERT_EQ(rc, 0);
    ++decoded;
    const int colourType = file[25];
    EXPECT_EQ(image.hasAlpha, colourType == 4 || colourType == 6 ? 1 : 0);
    // Pictures without a gamma chunk and with 8 bits or less come out as
    // the reference decoding has them.
    const bool gamma = std::search(file.begin(), file.end(), "gAMA", "gAMA" + 4) != file.end();
    const fs::path ref = fs::path(SuiteDir()) / "reference" / "lunapaint-rgba-json" / (entry.path().stem().string() + ".json");
    if (gamma || file[24] == 16 || !fs::exists(ref)) continue;
    const std::vector<int> want = ReadReference(ref.string());
    ASSERT_EQ(want.size(), static_cast<size_t>(image.width) * image.height * 4);
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        const size_t k = (static_cast<size_t>(y) * image.width + x) * 4;
        const Rgba got = At(image, x, y);
        ASSERT_EQ(got, (Rgba{uint8_t(want[k]), uint8_t(want[k + 1]), uint8_t(want[k + 2]), uint8_t(want[k + 3])}))
            << x << "," << y;
      }
    }
    ++compared;
  }
  EXPECT_GE(decoded, 150);
  EXPECT_GE(refused, 10);
  EXPECT_GE(compared, 15);
  // The regression set: every file decodes or fails cleanly.
  for (const char* sub : {"image-png-bugfixes", "image-png-extra"}) {
    for (const auto& entry : fs::directory_iterator(fs::path(SuiteDir()) / sub)) {
      if (entry.path().extension() != ".png") continue;
      LayerImage image;
      const resource::ErrorCode rc = DecodePng(testing::ReadWholeFile(entry.path().string()), Ops(), image);
      if (entry.path().filename().string().rfind("x_", 0) == 0) {
        EXPECT_NE(rc, 0) << entry.path();
      }
    }
  }
}

TEST(PngDecoder, AlphaSizesAndDamage) {
  namespace fs = std::filesystem;
  const Picture p = testing::Pattern(13, 9, 8, true);
  LayerImage image;
  ASSERT_EQ(DecodePng(testing::MakePng(p, true), Ops(), image), 0);
  ExpectPicture(image, p);
  EXPECT_EQ(image.hasAlpha, 1);
  Picture opaque = p;
  for (Rgba& px : opaque.pixels) px.a = 255;
  ASSERT_EQ(DecodePng(testing::MakePng(opaque, false), Ops(), image), 0);
  ExpectPicture(image, opaque);
  EXPECT_EQ(image.hasAlpha, 0);

  // A palette picture with tRNS gets alpha bytes but is drawn opaque.
  const fs::path trns = fs::path(SuiteDir()) / "png" / "tbbn3p08.png";
  if (fs::exists(trns)) {
    ASSERT_EQ(DecodePng(testing::ReadWholeFile(trns.string()), Ops(), image), 0);
    EXPECT_EQ(image.hasAlpha, 0);
  }

  EXPECT_EQ(DecodePng(testing::MakePng(testing::Pattern(4097, 10, 1), false), Ops(), image), 0);
  EXPECT_EQ(image.width, 4097);
  EXPECT_EQ(DecodePng(testing::MakePng(testing::Pattern(8193, 1, 1), false), Ops(), image), kImageTooLarge);

  SurvivesDamage(testing::MakePng(testing::Pattern(6, 5, 2, true), true),
                 [](const std::vector<uint8_t>& f, LayerImage& img) { return DecodePng(f, Ops(), img); });
}

// ---- JPEG --------------------------------------------------------------

TEST(JpegDecoder, ColourGreyProgressiveAndDamage) {
  // Flat areas survive quality 100 nearly unchanged; the channel order
  // shows in a red picture.
  Picture red{16, 16, std::vector<Rgba>(256, Rgba{250, 10, 20, 255})};
  LayerImage image;
  ASSERT_EQ(DecodeJpeg(testing::MakeJpeg(red, false), Ops(), image), 0);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const Rgba px = At(image, x, y);
      ASSERT_TRUE(std::abs(px.r - 250) <= 3 && std::abs(px.g - 10) <= 3 && std::abs(px.b - 20) <= 3 && px.a == 255);
    }
  }
  EXPECT_EQ(image.hasAlpha, 0);

  // Greyscale: every pixel's grey level in all three bytes.
  Picture grey{64, 8, {}};
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 64; ++x) grey.pixels.push_back(Rgba{uint8_t(x * 4), 0, 0, 255});
  }
  for (bool progressive : {false, true}) {
    ASSERT_EQ(DecodeJpeg(testing::MakeJpeg(grey, true, progressive), Ops(), image), 0);
    for (int x = 0; x < 64; ++x) {
      const Rgba px = At(image, x, 4);
      ASSERT_TRUE(px.r == px.g && px.g == px.b && px.a == 255) << x;
      ASSERT_LE(std::abs(px.r - x * 4), 3) << x;
    }
  }

  const std::vector<uint8_t> wide = testing::MakeJpeg(Picture{8193, 1, std::vector<Rgba>(8193)}, true);
  EXPECT_EQ(DecodeJpeg(wide, Ops(), image), kImageTooLarge);
  // Cut inside the scan data: refused, not filled in.
  const std::vector<uint8_t> good = testing::MakeJpeg(testing::Pattern(32, 32, 5), false);
  const std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<ptrdiff_t>(good.size() / 2));
  EXPECT_EQ(DecodeJpeg(cut, Ops(), image), kDecodeFailed);
  // Without its end marker a complete file still reads.
  const std::vector<uint8_t> noEnd(good.begin(), good.end() - 2);
  EXPECT_EQ(DecodeJpeg(noEnd, Ops(), image), 0);
  SurvivesDamage(testing::MakeJpeg(testing::Pattern(8, 8, 5), false, true),
                 [](const std::vector<uint8_t>& f, LayerImage& img) { return DecodeJpeg(f, Ops(), img); },
                 /*prefixesFail=*/false);
}

}  // namespace
}  // namespace vv::graphics
