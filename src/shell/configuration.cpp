#include "shell/configuration.h"

#include <algorithm>

#include "common/bytes.h"
#include "resource/error_reporter.h"
#include "resource/loader.h"
#include "shell/engine.h"

namespace vv::shell {

namespace {
constexpr resource::ErrorCode kTitleTooLong = 901000;
constexpr resource::ErrorCode kValueOutOfRange = 901020;
constexpr char kConfigurationFile[] = "nvbin\\nvcfg.nbn";
}  // namespace

std::vector<uint8_t> EncodeConfiguration(const ConfigurationFile& f) {
  common::ByteWriter w;
  w.Text("VAVEVO config");  // the header is ours to fill; the engine skips it
  w.Zeros(20 - w.size());
  w.I32(f.clientWidth);
  w.I32(f.clientHeight);
  w.Bytes(f.imageExtensionOrder);
  w.Bytes(f.soundExtensionOrder);
  w.I32(f.workerThread);
  w.U32(f.debugMode);
  w.U32(f.sound);
  w.U32(f.maximizeBox);
  w.U32(f.framedWindow);
  w.U32(0);
  w.U16(static_cast<uint16_t>(f.title.size()));
  w.Text(f.title);
  return w.Take();
}

int ApplyConfiguration(Engine& engine, std::span<const uint8_t> image) {
  Configuration& cfg = engine.config;
  common::ByteReader r(image, kConfigurationFile);
  r.Skip(20);
  const int32_t width = r.I32();
  const int32_t height = r.I32();
  auto imageOrder = r.Bytes(8);
  auto soundOrder = r.Bytes(4);
  const int32_t worker = r.I32();
  const uint32_t debug = r.U32();
  const uint32_t sound = r.U32();
  const uint32_t maximize = r.U32();
  const uint32_t framed = r.U32();
  r.Skip(4);
  const uint16_t titleLength = r.U16();
  // A file cut short is damaged: nothing of it is applied.
  const std::string_view storedTitle = r.Text(titleLength);
  if (!r.ok()) {
    cfg.clientWidth = kMinClientWidth;
    cfg.clientHeight = kMinClientHeight;
    resource::ReportSystemError(engine, kValueOutOfRange, true);
    return 1;
  }

  std::copy(imageOrder.begin(), imageOrder.end(), cfg.imageExtensionOrder.begin());
  std::copy(soundOrder.begin(), soundOrder.end(), cfg.soundExtensionOrder.begin());

  if (width == 0 && height == 0) {
    cfg.clientWidth = engine.shell.system.desktopWidth;
    cfg.clientHeight = engine.shell.system.desktopHeight;
  } else if (width < kMinClientWidth || width > kMaxClientWidth || height < kMinClientHeight ||
             height > kMaxClientHeight) {
    cfg.clientWidth = kMinClientWidth;
    cfg.clientHeight = kMinClientHeight;
    resource::ReportSystemError(engine, kValueOutOfRange, true);
    return 1;
  } else {
    cfg.clientWidth = width;
    cfg.clientHeight = height;
  }

  // The title ends at its first zero byte; only titles that fit the
  // engine's 128 bytes are ever stored.
  const std::string_view title = storedTitle.substr(0, storedTitle.find('\0'));
  if (title.size() > kMaxTitleBytes) {
    // assign(1, ' ') rather than = " ": g++ 12 warns falsely (-Wrestrict)
    // about the literal assignment once this function is inlined.
    cfg.title.assign(1, ' ');
    resource::ReportSystemError(engine, kTitleTooLong, true);
    return 1;
  }
  cfg.title = title.empty() ? std::string(" ") : std::string(title);

  if (worker != 0 && worker != 1) {
    resource::ReportSystemError(engine, kValueOutOfRange, true);
    return 1;
  }

  cfg.workerThread = static_cast<uint8_t>(worker);
  cfg.debugMode = static_cast<uint8_t>(debug);
  cfg.sound = static_cast<uint8_t>(sound);
  cfg.maximizeBox = static_cast<uint8_t>(maximize);
  cfg.framedWindow = static_cast<uint8_t>(framed);
  engine.shell.flags.scriptOnWorkerThread = cfg.workerThread != 0;
  return 0;
}

int ReadConfiguration(Engine& engine) {
  resource::LoadedFile file;
  if (resource::LoadFile(engine, file, kConfigurationFile, true, true) != 0) return -1;
  return ApplyConfiguration(engine, file.data);
}

}  // namespace vv::shell
