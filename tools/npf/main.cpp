// npf: the pack archive tool.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/encoding.h"
#include "common/sjis.h"
#include "npf/archive_reader.h"
#include "npf/archive_writer.h"
#include "npf/embed.h"

namespace {

using namespace vv;

// Exit codes.
constexpr int kOk = 0;
constexpr int kFailed = 1;       // input unreadable, output unwritable, data lost
constexpr int kUsage = 2;        // wrong command line
constexpr int kRepairable = 3;   // verify: damage found, every entry still readable

constexpr char kHelp[] =
    "usage: npf <command> [arguments]\n"
    "\n"
    "  create [--store] OUT.npf DIR   pack every file below DIR into OUT.npf\n"
    "                                 (names lower-cased, '\\' separators;\n"
    "                                 deflated where that makes them smaller;\n"
    "                                 --store never deflates)\n"
    "  list ARCHIVE                   print each entry: type, compression,\n"
    "                                 unpacked and stored size, offset, name\n"
    "  extract ARCHIVE DIR [NAME...]  write the entries (or the named ones)\n"
    "                                 below DIR, repairing damaged blocks\n"
    "  verify ARCHIVE                 check every entry and its recovery record\n"
    "  embed EXE ARCHIVE -o OUT       write EXE with ARCHIVE appended to OUT\n"
    "                                 (an archive EXE already carries is replaced)\n"
    "\n"
    "Exit status: 0 success; 1 failure; 2 usage error;\n"
    "3 (verify) damage found, but every entry can still be read.\n";

int Usage(const char* message) {
  std::fprintf(stderr, "npf: %s\n\n%s", message, kHelp);
  return kUsage;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "npf: %s\n", message.c_str());
  return kFailed;
}

std::string Printable(const std::string& sjis) { return common::SjisToUtf8(sjis); }

int Create(const std::vector<std::string>& args) {
  npf::WriterOptions options;
  std::vector<std::string> rest;
  for (const std::string& a : args) {
    if (a == "--store") options.compression = npf::Compression::Store;
    else rest.push_back(a);
  }
  if (rest.size() != 2) return Usage("create takes OUT.npf and DIR");
  std::string error;
  auto entries = npf::CollectFolder(rest[1], error);
  if (!entries) return Fail(error);
  const size_t count = entries->size();
  auto bytes = npf::BuildArchive(std::move(*entries), options, error);
  if (!bytes) return Fail(error);
  if (!npf::WriteHostFile(rest[0], *bytes, error)) return Fail(error);
  std::printf("%s: %zu entries, %zu bytes\n", rest[0].c_str(), count, bytes->size());
  return kOk;
}

struct Loaded {
  std::vector<uint8_t> bytes;
  npf::ArchiveView view;
};

std::optional<Loaded> Load(const std::string& path, std::string& error) {
  Loaded l;
  auto bytes = npf::ReadHostFile(path, error);
  if (!bytes) return std::nullopt;
  l.bytes = std::move(*bytes);
  auto view = npf::OpenArchive(l.bytes, error);
  if (!view) {
    error = path + ": " + error;
    return std::nullopt;
  }
  l.view = std::move(*view);
  return l;
}

int List(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage("list takes ARCHIVE");
  std::string error;
  auto a = Load(args[0], error);
  if (!a) return Fail(error);
  std::printf("version %u, %zu entries%s\n", a->view.version, a->view.entries.size(),
              a->view.derivedTable ? " (name lengths from another packer)" : "");
  for (const auto& e : a->view.entries) {
    std::printf("%u %-7s %10u %10u %10u  %s\n", e.fileType,
                e.descriptor.compression == vv::resource::pack::kDeflated ? "deflate" : "stored",
                e.descriptor.unpackedSize, e.descriptor.storedSize, e.descriptor.dataOffset,
                Printable(e.Name()).c_str());
  }
  return kOk;
}

// The host path of an entry below `dir`, or nullopt when its name would
// leave the folder (an absolute path or a ".." component).
std::optional<std::filesystem::path> OutputPath(const std::filesystem::path& dir, const std::string& name) {
  std::filesystem::path out = dir;
  // Split on '\' outside two-byte characters (a trail byte may be 0x5C).
  std::vector<std::string> parts;
  std::string part;
  for (size_t i = 0; i < name.size();) {
    const size_t n = common::SjisCharLength(name, i);
    if (n == 1 && (name[i] == '\\' || name[i] == '/')) {
      parts.push_back(part);
      part.clear();
    } else {
      part.append(name, i, n);
    }
    i += n;
  }
  parts.push_back(part);
  for (const std::string& p : parts) {
    if (p.empty() || p == "." || p == "..") return std::nullopt;
    out /= common::SjisToUtf8(p);
  }
  return out;
}

int Extract(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("extract takes ARCHIVE, DIR and optional entry names");
  std::string error;
  auto a = Load(args[0], error);
  if (!a) return Fail(error);
  std::vector<std::string> wanted;
  for (size_t i = 2; i < args.size(); ++i) {
    wanted.push_back(common::CanonicalPath(common::Utf8ToSjisLossy(args[i])));
  }
  int status = kOk;
  size_t written = 0;
  std::vector<bool> found(wanted.size(), false);
  for (const auto& e : a->view.entries) {
    const std::string name = e.Name();
    if (!wanted.empty()) {
      auto it = std::find(wanted.begin(), wanted.end(), common::CanonicalPath(name));
      if (it == wanted.end()) continue;
      found[static_cast<size_t>(it - wanted.begin())] = true;
    }
    auto path = OutputPath(args[1], name);
    if (!path) {
      std::fprintf(stderr, "npf: %s: the name leaves the output folder; skipped\n", Printable(name).c_str());
      status = kFailed;
      continue;
    }
    auto data = npf::ReadEntry(a->view, e, error);
    if (!data) {
      std::fprintf(stderr, "npf: %s: %s\n", Printable(name).c_str(), error.c_str());
      status = kFailed;
      continue;
    }
    std::error_code ec;
    std::filesystem::create_directories(path->parent_path(), ec);
    if (!npf::WriteHostFile(path->string(), *data, error)) {
      std::fprintf(stderr, "npf: %s\n", error.c_str());
      status = kFailed;
      continue;
    }
    ++written;
  }
  for (size_t i = 0; i < wanted.size(); ++i) {
    if (!found[i]) {
      std::fprintf(stderr, "npf: %s: no such entry\n", args[i + 2].c_str());
      status = kFailed;
    }
  }
  std::printf("%zu entries written\n", written);
  return status;
}

int Verify(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage("verify takes ARCHIVE");
  std::string error;
  auto a = Load(args[0], error);
  if (!a) return Fail(error);
  size_t repairable = 0, lost = 0;
  for (const auto& e : a->view.entries) {
    const npf::EntryCheck check = npf::CheckEntry(a->view, e);
    if (check.state == npf::EntryState::Intact) continue;
    const bool readable = check.state != npf::EntryState::Damaged;
    (readable ? repairable : lost) += 1;
    std::printf("%s: %s (%s)\n", Printable(e.Name()).c_str(), readable ? "repairable" : "NOT repairable",
                check.problem.c_str());
  }
  std::printf("%zu entries: %zu intact, %zu repairable, %zu damaged beyond repair\n", a->view.entries.size(),
              a->view.entries.size() - repairable - lost, repairable, lost);
  return lost ? kFailed : repairable ? kRepairable : kOk;
}

int Embed(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  std::string out;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o") {
      if (i + 1 >= args.size()) return Usage("-o needs a file name");
      out = args[++i];
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2 || out.empty()) return Usage("embed takes EXE, ARCHIVE and -o OUT");
  std::string error;
  auto program = npf::ReadHostFile(positional[0], error);
  if (!program) return Fail(error);
  auto archive = Load(positional[1], error);
  if (!archive) return Fail(error);
  auto result = npf::EmbedArchive(*program, archive->bytes, error);
  if (!result) return Fail(positional[0] + ": " + error);
  if (!npf::WriteHostFile(out, result->bytes, error)) return Fail(error);
  // The output is a program like its input.
  std::error_code ec;
  const auto perms = std::filesystem::status(positional[0], ec).permissions();
  if (!ec) std::filesystem::permissions(out, perms, ec);
  std::printf("%s: archive at offset %u%s\n", out.c_str(), result->locator,
              result->replacedBlock ? " (replaced the archive it carried)" : "");
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("no command given");
  const std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kHelp, stdout);
    return kOk;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(kHelp, stdout);
      return kOk;
    }
  }
  if (command == "create") return Create(args);
  if (command == "list") return List(args);
  if (command == "extract") return Extract(args);
  if (command == "verify") return Verify(args);
  if (command == "embed") return Embed(args);
  return Usage(("unknown command '" + command + "'").c_str());
}
