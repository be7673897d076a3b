#include "graphics/image_loader.h"

#include "common/sjis.h"
#include "resource/error_reporter.h"
#include "resource/file_types.h"
#include "script/name_tree.h"
#include "shell/engine.h"

namespace vv::graphics {

namespace {

using resource::ErrorCode;

constexpr ErrorCode kNotFound = 100100;
constexpr ErrorCode kNotAnImage = 100030;
constexpr ErrorCode kJpegFailed = 100210;
constexpr ErrorCode kGifFailed = 100215;
constexpr ErrorCode kMovieFailed = 100216;
constexpr ErrorCode kPhotoshop = 100220;
constexpr ErrorCode kArchiveNotOpened = 901040;

constexpr const char* kExtensions[] = {".bmp", ".png", ".jpg", ".jpeg", ".jpe", ".gif", ".avi"};
// The image extension order's codes 1..5.
constexpr const char* kOrderExtensions[] = {".bmp", ".png", ".jpg", ".gif", ".avi"};
constexpr size_t kOrderEntries = 5;

// A decoder's own report: script reports name the file; the memory,
// compression and PNG library failures are system reports.
void ReportDecodeError(Engine& engine, ErrorCode code, std::string_view name) {
  switch (code) {
    case kImageOutOfMemory:
    case kPngFailed:
      resource::ReportSystemError(engine, code, true);
      break;
    case kBmpCompressed:
      resource::ReportSystemError(engine, code, true, {name});
      break;
    default:
      resource::ReportError(engine, code, true, {name});
      break;
  }
}

void ResetPacingClock(Engine& engine) {
  if (!engine.platform.clock) return;
  const uint32_t now = engine.platform.clock->NowMs();
  engine.shell.clock.lastFrameTime = now;
  engine.shell.clock.frameClock = now;
}

}  // namespace

std::string CanonicalImageName(std::string_view name) {
  std::string out(name);
  for (size_t i = 0; i < out.size(); ++i) {
    const auto c = static_cast<uint8_t>(out[i]);
    if (common::IsSjisLead(c)) {
      ++i;  // the trail byte may look like "/" or a capital; it stays
      continue;
    }
    if (c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c - 'A' + 'a');
    if (c == '/') out[i] = '\\';
  }
  return out;
}

bool HasImageExtension(std::string_view name) {
  for (const char* ext : kExtensions) {
    if (resource::HasExtension(name, ext)) return true;
  }
  return false;
}

int FindImageFile(Engine& engine, std::string_view name, resource::LoadedFile& file, std::string& found) {
  auto lookup = [&](const std::string& candidate) {
    file = resource::LoadedFile{};
    const int rc = resource::LookupFile(engine, file, candidate);
    if (rc > 0) found = candidate;
    return rc;
  };
  if (HasImageExtension(name)) return lookup(std::string(name));
  for (size_t i = 0; i < kOrderEntries; ++i) {
    const uint8_t code = engine.config.imageExtensionOrder[i];
    if (code < 1 || code > kOrderEntries) continue;
    const int rc = lookup(std::string(name) + kOrderExtensions[code - 1]);
    if (rc != 0) return rc;
  }
  return 0;
}

int LoadImageIntoLayer(Engine& engine, LayerImage& image, std::string_view name, std::string_view commandName) {
  const PixelOps& ops = *engine.graphics.pixels;
  if (name.empty()) {
    if (!AllocatePixels(ops, image, 1, 1)) {
      return resource::ReportSystemError(engine, kImageOutOfMemory, true);
    }
    image.pixels[3] = 255;
    image.hasAlpha = 0;
    image.fileName.clear();
    image.imageKind = 0;
    ResetPacingClock(engine);
    return 0;
  }

  // "." and ".." components are applied; a picture name may hold spaces.
  std::string composed;
  if (script::ComposePath(engine, composed, name, "", true) < 0) return -1;
  const std::string canonical = CanonicalImageName(composed);
  resource::LoadedFile file;
  std::string found;
  const int where = FindImageFile(engine, canonical, file, found);
  if (where == 0) return resource::ReportError(engine, kNotFound, true, {canonical});
  if (where < 0) return resource::ReportSystemError(engine, kArchiveNotOpened, true, {canonical});

  if (found == image.fileName && image.effectTouched == 0) return 0;
  if (resource::LoadFile(engine, file, found, true, false) != 0) return -1;

  image.hasAlpha = 0;
  image.fileName = found;
  // Files the compiler hands over carry no type; their names do.
  const uint8_t type = file.fileType != resource::kTypeUnknown || file.source != resource::kSourceCompiler
                           ? file.fileType
                           : resource::FileTypeFromName(found);
  ErrorCode rc = 0;
  ErrorCode followUp = 0;  // reported after a failure of the decoder
  switch (type) {
    case resource::kTypeBmp:
      rc = DecodeBmp(file.data, ops, image);
      break;
    case resource::kTypePng:
      rc = DecodePng(file.data, ops, image);
      break;
    case resource::kTypeJpeg:
      rc = DecodeJpeg(file.data, ops, image);
      followUp = kJpegFailed;
      break;
    case resource::kTypeGif:
      rc = DecodeGif(file.data, ops, image);
      followUp = kGifFailed;
      break;
    case resource::kTypeAvi:
      // Movie layers come with the movie player; until then a movie is a
      // failed load, reported as such.
      return resource::ReportSystemError(engine, kMovieFailed, true);
    case resource::kTypePsd:
      return resource::ReportError(engine, kPhotoshop, true, {found});
    default:
      return resource::ReportSystemError(engine, kNotAnImage, true, {commandName, found});
  }
  if (rc != 0) {
    if (rc != kDecodeFailed) ReportDecodeError(engine, rc, found);
    if (followUp != 0) resource::ReportSystemError(engine, followUp, true);
    return -1;
  }
  image.imageKind = static_cast<int8_t>(type);
  image.effectTouched = 0;
  ResetPacingClock(engine);
  return 0;
}

}  // namespace vv::graphics
