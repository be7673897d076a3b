// The game's fixed settings: the compiled configuration file
// `nvbin\nvcfg.nbn`.
//
//   offset size  field
//        0   20  header (the compiler's; never read)
//       20    4  client width   (int32; 0 with height 0 = desktop size)
//       24    4  client height  (int32)
//       28    8  image extension order (1 .bmp 2 .png 3 .jpg 4 .gif 5 .avi)
//       36    4  sound extension order (1 .wav 2 .ogg)
//       40    4  worker thread  (int32, 0 or 1)
//       44    4  debug mode     (low byte)
//       48    4  sound          (low byte, non-zero = on)
//       52    4  maximise box   (low byte)
//       56    4  framed window  (low byte, 1 = title bar and frame)
//       60    4  reserved
//       64    2  title length   (uint16)
//       66    n  title, Shift-JIS, no terminator
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vv {
struct Engine;
}

namespace vv::shell {

constexpr int kMinClientWidth = 128, kMaxClientWidth = 8192;
constexpr int kMinClientHeight = 16, kMaxClientHeight = 8192;
constexpr size_t kMaxTitleBytes = 128;
constexpr size_t kConfigurationHeaderBytes = 66;

struct Configuration {
  int clientWidth = 0, clientHeight = 0;
  std::array<uint8_t, 8> imageExtensionOrder{};
  std::array<uint8_t, 4> soundExtensionOrder{};
  uint8_t workerThread = 0;
  uint8_t debugMode = 0;
  uint8_t sound = 0;
  uint8_t maximizeBox = 0;
  uint8_t framedWindow = 0;
  std::string title = " ";
};

// The file's fields as the compiler writes them (raw, before the checks).
struct ConfigurationFile {
  int32_t clientWidth = 640, clientHeight = 480;
  std::array<uint8_t, 8> imageExtensionOrder{2, 1, 3, 4, 5, 0, 0, 0};
  std::array<uint8_t, 4> soundExtensionOrder{2, 1, 0, 0};
  int32_t workerThread = 0;
  uint32_t debugMode = 0;
  uint32_t sound = 1;
  uint32_t maximizeBox = 0;
  uint32_t framedWindow = 1;
  std::string title;  // Shift-JIS
};

std::vector<uint8_t> EncodeConfiguration(const ConfigurationFile& file);

// Checks the file image and stores its settings in engine.config.
// 0 success; 1 a value was rejected (reported); the image is too short
// reports 901020 as well.
int ApplyConfiguration(Engine& engine, std::span<const uint8_t> image);

// Loads `nvbin\nvcfg.nbn` and applies it. 0 success, 1 a rejected value
// (reported), -1 the file could not be loaded (reported by the loader).
int ReadConfiguration(Engine& engine);

}  // namespace vv::shell
