#include "save/save_folder.h"

#include <cstdio>

#include "common/checksum.h"
#include "common/encoding.h"
#include "common/sjis.h"
#include "platform/host_paths.h"
#include "script/script_files.h"
#include "shell/engine.h"

namespace vv::save {

namespace {

constexpr std::string_view kExtension = ".sd";

bool HasBackslash(std::string_view text) {
  for (size_t i = 0; i < text.size(); i += common::SjisCharLength(text, i)) {
    if (text[i] == '\\' && common::SjisCharLength(text, i) == 1) return true;
  }
  return false;
}

// The host name of the game folder: the last component of its path.
std::string GameFolderName(const Engine& engine) {
  std::string dir = engine.shell.paths.gameHostDir;
  if (dir.empty()) dir = engine.platform.files->BaseDir();
  dir = platform::AbsoluteHostPath(dir);
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  const size_t slash = dir.rfind('/');
  return slash == std::string::npos ? dir : dir.substr(slash + 1);
}

}  // namespace

int32_t MakeSaveFileName(std::string_view scriptName, SaveFileName& out) {
  out.converted.assign(scriptName);
  common::SjisLowerAscii(out.converted);
  common::SjisReplaceByte(out.converted, '/', '\\');
  if (out.converted.size() > kMaxFileNameBytes) return kErrNameTooLong;
  if (HasBackslash(out.converted)) return kErrNameHasFolder;
  out.file = out.converted;
  if (!out.file.ends_with(kExtension)) out.file += kExtension;
  return 0;
}

std::string GameId(const Engine& engine) {
  std::string name = GameFolderName(engine);
  for (char& c : name) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || c == '/' || c == '\\') c = '_';
  }
  // A hidden or empty name would hide the folder or name its parent.
  if (name.empty() || name == "/" ) name = "game";
  if (name[0] == '.') name[0] = '_';
  char crc[16];
  std::snprintf(crc, sizeof crc, "-%08x", static_cast<unsigned>(common::Crc32(engine.config.title)));
  return name + crc;
}

std::string SaveFolder(const Engine& engine) {
  if (engine.shell.flags.readOnlyFolder) {
    const std::string data = platform::UserDataHome();
    if (!data.empty()) return platform::HostToEnginePath(data + "/vavevo/" + GameId(engine) + "/save") + "\\";
  }
  const std::string& project = engine.shell.paths.projectDir;
  if (project.empty()) return "save\\";
  return project.back() == '\\' ? project + "save\\" : project + "\\save\\";
}

bool EnsureFolder(Engine& engine, std::string_view folder) {
  platform::FileSystem& fs = *engine.platform.files;
  // Every prefix that ends at a separator, then the whole path.
  for (size_t i = 0; i < folder.size(); i += common::SjisCharLength(folder, i)) {
    if (i == 0 || folder[i] != '\\' || common::SjisCharLength(folder, i) != 1) continue;
    const std::string_view prefix = folder.substr(0, i);
    if (prefix.back() == ':') continue;  // never a folder of its own
    if (!fs.IsDirectory(prefix) && !fs.CreateDirectory(prefix)) return false;
  }
  return fs.IsDirectory(folder) || fs.CreateDirectory(folder);
}

std::string FileErrorTextOf(const Engine& engine, int error) {
  if (error >= 0 && error < script::kFileErrorTexts) {
    const std::string_view text = script::FileErrorText(engine, error);
    if (!text.empty()) return std::string(text);
  }
  return common::Utf8ToSjisLossy(platform::ErrorNumberText(error));
}

}  // namespace vv::save
