#include "dorov/project.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "dorov/project_settings.h"

namespace vv::dorov {

namespace fs = std::filesystem;

namespace {

bool ReadFile(const fs::path& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return static_cast<bool>(in) || in.eof();
}

}  // namespace

bool LoadProject(const std::string& folder, const std::string& skip, Project& project, std::string& error) {
  const fs::path root(folder);
  const fs::path settingsPath = root / "game.ini";
  std::string text;
  if (!ReadFile(settingsPath, text)) {
    error = "cannot read " + settingsPath.string();
    return false;
  }
  auto parsed = ParseProjectFile(text, settingsPath.string(), error);
  if (!parsed) return false;
  project.settings = parsed->config;
  project.options.build = parsed->build;

  std::error_code ec;
  const fs::path skipPath = skip.empty() ? fs::path() : fs::weakly_canonical(skip, ec);
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
  if (ec) {
    error = "cannot read " + folder + ": " + ec.message();
    return false;
  }
  for (auto end = fs::recursive_directory_iterator(); it != end; it.increment(ec)) {
    if (ec) {
      error = "cannot read " + folder + ": " + ec.message();
      return false;
    }
    if (it->is_directory() && !skipPath.empty() && fs::weakly_canonical(it->path(), ec) == skipPath) {
      it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file() || it->path().extension() != ".vvs") continue;
    SourceFile f;
    f.name = fs::relative(it->path(), root).generic_string();
    if (!ReadFile(it->path(), f.bytes)) {
      error = "cannot read " + it->path().string();
      return false;
    }
    project.sources.push_back(std::move(f));
  }
  std::sort(project.sources.begin(), project.sources.end(),
            [](const SourceFile& a, const SourceFile& b) { return a.name < b.name; });
  return true;
}

bool WriteNvbin(const std::string& folder, const std::map<std::string, std::vector<uint8_t>>& files,
                std::string& error) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    error = "cannot create " + folder + ": " + ec.message();
    return false;
  }
  for (const auto& [name, bytes] : files) {
    const fs::path path = fs::path(folder) / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      error = "cannot write " + path.string();
      return false;
    }
  }
  // Code files of scripts that no longer exist would otherwise linger.
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() == 12 && name.rfind("nvt", 0) == 0 && name.substr(8) == ".nbn" &&
        std::all_of(name.begin() + 3, name.begin() + 8, [](char c) { return c >= '0' && c <= '9'; }) &&
        !files.count(name))
      fs::remove(entry.path(), ec);
  }
  return true;
}

}  // namespace vv::dorov
