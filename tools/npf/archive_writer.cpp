#include "npf/archive_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

#include "common/bytes.h"
#include "common/checksum.h"
#include "common/encoding.h"
#include "common/sjis.h"
#include "resource/file_types.h"

namespace vv::npf {

namespace pack = resource::pack;

namespace {

// One fixed level keeps the output the same from run to run.
constexpr int kDeflateLevel = 9;

std::optional<std::vector<uint8_t>> Deflate(const std::vector<uint8_t>& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::vector<uint8_t> out(size);
  if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), kDeflateLevel) != Z_OK) {
    return std::nullopt;
  }
  out.resize(size);
  return out;
}

struct Prepared {
  std::string name;
  uint8_t fileType = 0;
  uint8_t compression = pack::kStored;
  uint32_t unpackedSize = 0;
  size_t area = 0;  // index into the data areas
};

struct DataArea {
  std::vector<uint8_t> stored;
  uint32_t checksum = 0;
  uint32_t offset = 0;
};

}  // namespace

std::optional<std::vector<uint8_t>> BuildArchive(std::vector<WriterEntry> entries,
                                                 const WriterOptions& options, std::string& error) {
  for (WriterEntry& e : entries) e.name = common::CanonicalPath(e.name);
  if (!options.keepOrder) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const WriterEntry& a, const WriterEntry& b) { return a.name < b.name; });
  }
  {
    std::map<std::string, size_t> seen;
    for (size_t i = 0; i < entries.size(); ++i) {
      const std::string& name = entries[i].name;
      if (name.empty() || name.size() > pack::kMaxNameBytes) {
        error = "entry name '" + common::SjisToUtf8(name) + "' must be 1 to 255 bytes long";
        return std::nullopt;
      }
      if (!seen.emplace(name, i).second) {
        error = "two entries are named '" + common::SjisToUtf8(name) + "'";
        return std::nullopt;
      }
    }
  }
  if (entries.size() > UINT32_MAX) {
    error = "too many entries";
    return std::nullopt;
  }

  // Stored bytes per entry; identical stored bytes share one area.
  std::vector<Prepared> prepared;
  std::vector<DataArea> areas;
  std::map<std::tuple<size_t, uint32_t, uint32_t>, std::vector<size_t>> byContent;
  for (WriterEntry& e : entries) {
    if (e.data.size() > UINT32_MAX) {
      error = "'" + common::SjisToUtf8(e.name) + "' is larger than 4 GiB";
      return std::nullopt;
    }
    Prepared p;
    p.name = e.name;
    p.fileType = e.fileType ? *e.fileType : resource::FileTypeFromName(e.name);
    p.unpackedSize = static_cast<uint32_t>(e.data.size());
    std::vector<uint8_t> stored;
    // A zlib stream takes at least 8 bytes: data that short never shrinks.
    const bool worthTrying = options.compression == Compression::Deflate || e.data.size() > 8;
    if (options.compression != Compression::Store && worthTrying) {
      auto packed = Deflate(e.data);
      if (!packed) {
        error = "cannot deflate '" + common::SjisToUtf8(e.name) + "'";
        return std::nullopt;
      }
      if (options.compression == Compression::Deflate || packed->size() < e.data.size()) {
        stored = std::move(*packed);
        p.compression = pack::kDeflated;
      }
    }
    if (p.compression == pack::kStored) stored = std::move(e.data);
    const uint32_t checksum = common::Adler32(stored);
    const auto key = std::make_tuple(stored.size(), checksum, common::Crc32(stored));
    std::vector<size_t>& candidates = byContent[key];
    p.area = areas.size();
    for (size_t a : candidates) {
      if (areas[a].stored == stored) {
        p.area = a;
        break;
      }
    }
    if (p.area == areas.size()) {
      candidates.push_back(areas.size());
      areas.push_back({std::move(stored), checksum, 0});
    }
    prepared.push_back(std::move(p));
  }

  uint64_t tableBytes = 0;
  for (const Prepared& p : prepared) tableBytes += pack::kEntryFixedBytes + p.name.size();
  uint64_t offset = pack::kHeaderBytes + tableBytes;
  for (DataArea& a : areas) {
    a.offset = static_cast<uint32_t>(offset);
    offset += a.stored.size() + pack::RecoveryRecordBytes(a.stored.size());
    if (offset > UINT32_MAX) {
      error = "the archive would be larger than 4 GiB";
      return std::nullopt;
    }
  }

  common::ByteWriter w;
  w.Bytes(pack::kMagic);
  w.U32(options.version);
  w.U32(static_cast<uint32_t>(prepared.size()));
  w.U32(static_cast<uint32_t>(tableBytes));
  w.Zeros(16);
  for (const Prepared& p : prepared) {
    const DataArea& a = areas[p.area];
    w.U32(common::Crc32(p.name));
    w.U8(pack::EncodeNameLength(options.lengthTable, static_cast<uint8_t>(p.name.size())));
    for (char c : p.name) w.U8(static_cast<uint8_t>(~static_cast<uint8_t>(c)));
    w.U8(p.fileType);
    w.U8(p.compression);
    w.U32(p.unpackedSize);
    w.U32(static_cast<uint32_t>(a.stored.size()));
    w.U32(a.offset);
    w.U32(a.checksum);
  }
  for (const DataArea& a : areas) {
    w.Bytes(a.stored);
    w.Bytes(pack::BuildRecoveryRecord(a.stored));
  }
  return w.Take();
}

namespace {

// A host name component in Shift-JIS: UTF-8 names are converted, names
// that are not UTF-8 are taken to be Shift-JIS already.
std::optional<std::string> ComponentToSjis(const std::string& host) {
  if (!common::IsValidUtf8(host)) return host;
  return common::Utf8ToSjis(host);
}

}  // namespace

std::optional<std::vector<WriterEntry>> CollectFolder(const std::string& dir, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    error = "'" + dir + "' is not a folder";
    return std::nullopt;
  }
  std::vector<WriterEntry> entries;
  fs::recursive_directory_iterator it(dir, fs::directory_options::none, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const fs::path relative = it->path().lexically_relative(dir);
    std::string name;
    for (const fs::path& part : relative) {
      auto sjis = ComponentToSjis(part.string());
      if (!sjis) {
        error = "'" + relative.string() + "': the name has no Shift-JIS form";
        return std::nullopt;
      }
      if (!name.empty()) name += '\\';
      name += *sjis;
    }
    auto data = ReadHostFile(it->path().string(), error);
    if (!data) return std::nullopt;
    entries.push_back({std::move(name), std::move(*data), std::nullopt});
  }
  if (ec) {
    error = "cannot read '" + dir + "': " + ec.message();
    return std::nullopt;
  }
  return entries;
}

bool WriteHostFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (out) out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      error = "cannot write '" + temporary + "'";
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot write '" + path + "'";
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

std::optional<std::vector<uint8_t>> ReadHostFile(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open '" + path + "'";
    return std::nullopt;
  }
  std::vector<uint8_t> data;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    data.insert(data.end(), buffer, buffer + in.gcount());
  }
  if (in.bad()) {
    error = "cannot read '" + path + "'";
    return std::nullopt;
  }
  return data;
}

}  // namespace vv::npf
