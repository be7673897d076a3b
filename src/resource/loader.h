// The resource file loader: every game file the engine reads comes through
// here, whether it is a loose file in the project folder, an entry of a
// mounted pack archive, a file the compiler handed over, or a file a script
// preloaded. The loader never keeps a file open between calls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "resource/file_types.h"

namespace vv {
struct Engine;
}

namespace vv::resource {

// Where a file was found.
enum FileSource : uint8_t {
  kSourceNone = 0,
  kSourceLoose = 1,     // a loose file in the project folder
  kSourcePack = 2,      // an entry of a mounted pack archive
  kSourceCompiler = 3,  // a file the compiler handed over in memory
  kSourcePreload = 4,   // a file a script preloaded
};

struct LoadedFile {
  std::vector<uint8_t> data;  // the content; owned by the caller
  int32_t size() const { return static_cast<int32_t>(data.size()); }
  uint8_t source = kSourceNone;
  uint8_t fileType = kTypeUnknown;
  int32_t entryIndex = -1;       // pack: index in the global entry index
  int32_t archiveIndex = -1;     // pack: index in the mounted archive list
  int32_t descriptorOffset = 0;  // pack: the byte after the entry's type byte
  int32_t memoryFileIndex = -1;  // compiler: index in its file table
  int32_t preloadIndex = -1;     // preload: index in the preload table
};

struct MemoryFile {
  std::string name;  // canonical engine name
  uint8_t fileType = kTypeUnknown;
  std::vector<uint8_t> data;
};

constexpr size_t kMaxPreloads = 96;

// The loader's tables; the pack index lives with the mounted archives.
struct LoaderState {
  std::vector<MemoryFile> preloads;       // filled by the preload command
  std::vector<MemoryFile> compilerFiles;  // filled by the compiler link
};

// Lookup steps, offered one by one for loaders that try several names.
// Each returns the source code when found, 0 otherwise.
int FindInPreloads(Engine& engine, LoadedFile& file, std::string_view name);
int FindInCompilerFiles(Engine& engine, LoadedFile& file, std::string_view name);
// 1 when a loose file of that name can be opened for reading; with
// `wantType` the type code is taken from the name's extension.
int FindInFolder(Engine& engine, LoadedFile& file, std::string_view name, bool wantType);
// 2 when a pack entry matches, 0 when none, -2 when an archive that should
// hold it cannot be opened.
int FindInPacks(Engine& engine, LoadedFile& file, std::string_view name);

// The whole lookup in its order; reads no content.
int LookupFile(Engine& engine, LoadedFile& file, std::string_view name);

// Reads a file whole. 0 success; -1 lookup failed; -2 damaged content that
// could not be repaired or expanded; -3 any other read failure. With
// `report` a failed lookup is reported; later failures always are.
int LoadFile(Engine& engine, LoadedFile& file, std::string_view name, bool report = true,
             bool resolve = true);

}  // namespace vv::resource
