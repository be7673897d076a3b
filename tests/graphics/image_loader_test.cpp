// Image loading through an engine: name resolution, the extension order,
// the loader's lookup, the same-file skip and the reports.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "common/bytes.h"
#include "graphics/image_fixtures.h"
#include "graphics/image_loader.h"
#include "platform/headless/virtual_clock.h"
#include "shell/engine.h"

namespace vv::graphics {
namespace {

using testing::Picture;

class TestPlatform : public platform::Platform {
 public:
  explicit TestPlatform(const std::string& dir) {
    files = platform::CreatePosixFileSystem(dir);
    clock = std::make_unique<platform::VirtualClock>();
  }
  const char* Name() const override { return "test"; }
  bool IsHeadless() const override { return true; }
};

class ImageLoaderTest : public ::testing::Test {
 protected:
  ImageLoaderTest()
      : dir_(std::filesystem::temp_directory_path() /
             ("vv_image_loader_" + std::to_string(::getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name())),
        platform_((std::filesystem::create_directories(dir_), dir_.string())),
        engine_(platform_) {
    engine_.config.imageExtensionOrder = {2, 1, 3, 4, 5, 0, 0, 0};
    // Texts that show the arguments of the reports the tests read.
    common::ByteWriter texts;
    texts.Zeros(8);
    texts.I32(2);
    texts.Zeros(4);
    texts.I32(100100);
    texts.CString("[%s] not found");
    texts.I32(100030);
    texts.CString("%s: [%s] is no picture");
    resource::SetErrorTexts(engine_, texts.Take());
  }
  ~ImageLoaderTest() override { std::filesystem::remove_all(dir_); }

  void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories((dir_ / name).parent_path());
    std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                       static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<resource::ErrorCode> Codes() const {
    std::vector<resource::ErrorCode> codes;
    for (const auto& r : engine_.errors.reports) codes.push_back(r.code);
    return codes;
  }
  int Load(const std::string& name) { return LoadImageIntoLayer(engine_, image_, name, "LayerSet"); }

  std::filesystem::path dir_;
  TestPlatform platform_;
  Engine engine_;
  LayerImage image_;
};

testing::BmpOptions Bits24() {
  testing::BmpOptions o;
  o.bits = 24;
  return o;
}

testing::GifSpec OneColourGif(int w, int h, int frames) {
  testing::GifSpec g;
  g.width = w;
  g.height = h;
  g.globalTable = {{1, 2, 3}, {4, 5, 6}};
  testing::GifFrameSpec f;
  f.width = 1;
  f.height = 1;
  f.indices = {1};
  g.frames.assign(static_cast<size_t>(frames), f);
  return g;
}

TEST(ImageNames, CanonicalFormAndExtensions) {
  EXPECT_EQ(CanonicalImageName("CG/Bg01.PNG"), "cg\\bg01.png");
  // The second byte of a two-byte character stays as it is, even when it
  // looks like a capital or a slash.
  EXPECT_EQ(CanonicalImageName("\x83\x41/\x95\x5C"), "\x83\x41\\\x95\x5C");
  EXPECT_TRUE(HasImageExtension("a\\b.JPEG"));
  EXPECT_TRUE(HasImageExtension("b.jpe"));
  EXPECT_FALSE(HasImageExtension("b.psd"));
  EXPECT_FALSE(HasImageExtension("png"));
}

TEST_F(ImageLoaderTest, ExtensionOrderPicksTheFirstCandidate) {
  const Picture p = testing::Pattern(3, 2, 1);
  Write("cg/face.png", testing::MakePng(p, false));
  Write("cg/face.bmp", testing::MakeBmp(testing::Pattern(5, 5, 2), Bits24()));
  ASSERT_EQ(Load("CG/x/../Face"), 0);
  EXPECT_EQ(image_.imageKind, resource::kTypePng);
  EXPECT_EQ(image_.fileName, "cg\\face.png");
  EXPECT_EQ(image_.width, 3);

  engine_.config.imageExtensionOrder = {9, 1, 2, 0, 0, 0, 0, 0};  // 9 is skipped
  ASSERT_EQ(Load("cg/face"), 0);
  EXPECT_EQ(image_.imageKind, resource::kTypeBmp);
  EXPECT_EQ(image_.width, 5);

  // A name with a picture extension is looked up once, as it stands.
  ASSERT_EQ(Load("cg/face.png"), 0);
  EXPECT_EQ(image_.imageKind, resource::kTypePng);
  EXPECT_TRUE(Codes().empty());
}

TEST_F(ImageLoaderTest, MissingFileNamesTheResolvedName) {
  EXPECT_EQ(Load("CG/None"), -1);
  ASSERT_EQ(Codes(), std::vector<resource::ErrorCode>{100100});
  EXPECT_NE(engine_.errors.reports[0].message.find("cg\\none"), std::string::npos) << engine_.errors.reports[0].message;
  EXPECT_TRUE(engine_.shell.flags.halted);
}

TEST_F(ImageLoaderTest, SameFileTwiceCostsNothingUnlessDrawnOn) {
  Write("a.bmp", testing::MakeBmp(testing::Pattern(4, 4, 3), Bits24()));
  ASSERT_EQ(Load("a"), 0);
  image_.pixels[0] = 123;  // a mark the decoder would overwrite
  engine_.platform.clock->SleepMs(500);
  ASSERT_EQ(Load("a"), 0);
  EXPECT_EQ(image_.pixels[0], 123);
  image_.effectTouched = 1;
  ASSERT_EQ(Load("a"), 0);
  EXPECT_NE(image_.pixels[0], 123);
  EXPECT_EQ(image_.effectTouched, 0);
  // The load reset the pacing clock to the time it finished.
  EXPECT_EQ(engine_.shell.clock.lastFrameTime, 500u);
}

TEST_F(ImageLoaderTest, EmptyNameIsOneOpaqueBlackPixel) {
  Write("a.png", testing::MakePng(testing::Pattern(4, 4, 3, true), true));
  ASSERT_EQ(Load("a"), 0);
  ASSERT_EQ(Load(""), 0);
  EXPECT_EQ(image_.width, 1);
  EXPECT_EQ(image_.height, 1);
  EXPECT_EQ(std::vector<uint8_t>(image_.pixels.get(), image_.pixels.get() + 4), (std::vector<uint8_t>{0, 0, 0, 255}));
  EXPECT_EQ(image_.hasAlpha, 0);
  EXPECT_EQ(image_.imageKind, 0);
  EXPECT_EQ(image_.fileName, "");
}

TEST_F(ImageLoaderTest, PreloadsComeFirstAndTypesDecideTheDecoder) {
  // A preloaded file wins over the folder, and its type code picks the
  // decoder whatever the name says.
  Write("p.gif", testing::MakeBmp(testing::Pattern(2, 2, 1), Bits24()));
  engine_.loader.preloads.push_back({"p.gif", resource::kTypeGif, testing::MakeGif(OneColourGif(6, 5, 3))});
  ASSERT_EQ(Load("p.gif"), 0);
  EXPECT_EQ(image_.imageKind, resource::kTypeGif);
  EXPECT_EQ(image_.width, 6);

  EXPECT_EQ(image_.frameCount, 3u);

  // A still picture leaves an animation's frame counters as they were.
  image_.frame = 2;
  Write("still.bmp", testing::MakeBmp(testing::Pattern(2, 2, 1), Bits24()));
  ASSERT_EQ(Load("still"), 0);
  EXPECT_EQ(image_.imageKind, resource::kTypeBmp);
  EXPECT_EQ(image_.frame, 2);
  EXPECT_EQ(image_.frameCount, 3u);

  engine_.loader.preloads.push_back({"doc.png", resource::kTypePsd, {1, 2, 3}});
  engine_.loader.preloads.push_back({"snd.png", resource::kTypeWav, {1, 2, 3}});
  EXPECT_EQ(Load("doc.png"), -1);
  EXPECT_EQ(Load("snd.png"), -1);
  EXPECT_EQ(Codes(), (std::vector<resource::ErrorCode>{100220, 100030}));
  EXPECT_NE(engine_.errors.reports[1].message.find("LayerSet"), std::string::npos);
}

TEST_F(ImageLoaderTest, DecoderFailuresReportTheirCodes) {
  auto jpeg = testing::MakeJpeg(testing::Pattern(16, 16, 1), false);
  jpeg.resize(jpeg.size() / 2);
  Write("cut.jpg", jpeg);
  Write("wide.gif", testing::MakeGif(OneColourGif(8193, 1, 1)));
  Write("bad.bmp", {'B', 'M', 0, 0});
  Write("bad.png", {0x89, 'P', 'N', 'G'});
  Load("cut.jpg");
  Load("wide.gif");
  Load("bad.bmp");
  Load("bad.png");
  EXPECT_EQ(Codes(), (std::vector<resource::ErrorCode>{100210, 100091, 100215, 100070, 100200}));
  // The layer names the new file even after a failure.
  EXPECT_EQ(image_.fileName, "bad.png");
}

}  // namespace
}  // namespace vv::graphics
