#include "save/save_commands.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "common/bytes.h"
#include "graphics/layer.h"
#include "resource/error_reporter.h"
#include "save/save_file.h"
#include "save/save_payloads.h"
#include "script/command_results.h"
#include "script/interpreter.h"
#include "script/name_tree.h"
#include "script/script_files.h"
#include "shell/engine.h"

namespace vv::save {

namespace {

enum SaveArg : int { kArgFile = 0, kArgBlock = 1, kArgVariable = 2, kArgLayer = 3, kArgLayerNumber = 4 };

constexpr char kCompressError[] = "Compress Error.";
constexpr char kLoadError[] = "Load Error.";
// "[Load]メモリ不足エラーです。" (out of memory while loading), Shift-JIS.
constexpr char kLoadOutOfMemory[] =
    "[Load]\x83\x81\x83\x82\x83\x8A\x95\x73\x91\xAB\x83\x47\x83\x89\x81\x5B\x82\xC5\x82\xB7\x81\x42";

// zlib's deflate never shrinks data by more than about 1032 to 1: a block
// that claims more is damaged, and is refused before its buffer is made.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t kInflateSlack = 1024;

void ShowBox(Engine& engine, const char* textSjis) {
  if (!engine.platform.dialogs) return;
  platform::MessageBoxDesc box;
  box.textSjis = textSjis;
  box.icon = platform::DialogIcon::Error;
  engine.platform.dialogs->ShowMessage(box);
}

void ResetFrameTime(Engine& engine) {
  // The time spent loading must not count as a late frame.
  if (engine.platform.clock) engine.shell.clock.lastFrameTime = engine.platform.clock->NowMs();
}

int ReportWriteError(Engine& engine, const SaveFileName& name, int error) {
  return resource::ReportError(engine, kErrCannotWrite, true,
                               {script::CommandName(engine, kCmdSave), name.file, error, FileErrorTextOf(engine, error)});
}

int CheckBlockNumber(Engine& engine, uint8_t command, int64_t block) {
  if (block >= 1 && block <= kBlockSlots) return 0;
  return resource::ReportError(engine, script::kErrOutOfRange, true,
                               {script::CommandName(engine, command), script::ArgumentName(engine, command, kArgBlock),
                                static_cast<long long>(block), 1, kBlockSlots});
}

int CheckFileName(Engine& engine, uint8_t command, std::string_view text, SaveFileName& out) {
  const int32_t code = MakeSaveFileName(text, out);
  if (code == 0) return 0;
  return resource::ReportError(engine, code, true, {script::CommandName(engine, command), out.converted});
}

// The layer arguments 3 and 4: the composed path and its layer (101250
// when there is none).
int ResolveLayerTarget(Engine& engine, uint8_t command, BlockTarget& out) {
  script::NameTree& tree = engine.script.trees[script::TreeId::kLayers];
  std::string path;
  const int kind = script::ComposeArgumentPath(engine, path, kArgLayer, kArgLayerNumber, script::TreeId::kLayers);
  if (kind < 0) return -1;
  const size_t reports = engine.errors.reports.size();
  script::NameNode* node =
      script::FindNode(engine, *tree.root, path, kind == 1 ? script::kFindFolder : script::kFindLeaf);
  if (node == nullptr && engine.errors.reports.size() != reports) return -1;  // a missing folder, reported
  if (node == nullptr || graphics::LayerOf(node) == nullptr) {
    return resource::ReportError(engine, kErrLayerMissing, true, {script::CommandName(engine, command), path});
  }
  out.layer = node;
  out.layerPath = std::move(path);
  return 0;
}

// The prepared arguments 2 to 4 of either command.
int TargetOf(Engine& engine, uint8_t command, BlockTarget& out) {
  const script::CommandArgs& a = engine.script.interp.args;
  if ((a.Has(kArgLayer) || a.Has(kArgLayerNumber)) && ResolveLayerTarget(engine, command, out) != 0) return -1;
  const script::ArgSlot& v = a.Get(kArgVariable);
  out.variable = v.variable;
  out.element = v.element;
  out.whole = v.referenceFlag != 0;
  return 0;
}

// Reads up to `bytes` at `offset`; the result is shorter when the file
// ends (or fails) first.
std::vector<uint8_t> ReadAt(platform::File& file, uint64_t offset, size_t bytes) {
  std::vector<uint8_t> out;
  if (!file.Seek(offset)) return out;
  out.resize(bytes);
  out.resize(file.Read(out.data(), bytes));
  return out;
}

// Replaces the target layer by a new image layer with the stored size and
// pixels.
int LoadLayer(Engine& engine, const SaveFileName& name, std::span<const uint8_t> payload, const BlockTarget& target) {
  graphics::StoredLayerHeader stored;
  if (!CheckLayerPayload(payload, stored)) return resource::ReportError(engine, kErrBadLayerBlock, true);
  // Only the old layer's area counts as changed; the new layer shows once
  // a later change marks its own.
  graphics::MarkAreaDirty(*target.layer);
  graphics::DeleteLayerTree(engine, *target.layer);
  script::NameNode* node = script::NewNodeFromPath(engine, target.layerPath, script::kLeafNode, 1,
                                                   graphics::LayerRoot(engine), nullptr);
  if (node == nullptr) return -1;
  graphics::Layer& layer = graphics::AttachNewLayer(*node);
  layer.bitsPerPixel = stored.bitsPerPixel;
  if (!graphics::ResizeCleared(engine, layer, stored.width, stored.height)) {
    return resource::ReportError(engine, graphics::kErrPixelsOutOfMemory, true, {name.file});
  }
  const size_t pixelBytes = static_cast<size_t>(stored.width) * 4 * static_cast<size_t>(stored.height);
  std::memcpy(layer.image.pixels.get(), payload.data() + kLayerPayloadHead, pixelBytes);
  ResetFrameTime(engine);
  return 0;
}

}  // namespace

int PutPendingBlock(Engine& engine, int64_t block, const BlockTarget& target) {
  if (CheckBlockNumber(engine, kCmdSave, block) != 0) return -1;
  std::vector<uint8_t>& slot = engine.save.pending[static_cast<size_t>(block - 1)];
  if (!slot.empty()) {
    return resource::ReportError(engine, kErrBlockPending, true,
                                 {script::CommandName(engine, kCmdSave),
                                  script::ArgumentName(engine, kCmdSave, kArgBlock), static_cast<long long>(block)});
  }
  const graphics::Layer* layer = graphics::LayerOf(target.layer);
  std::vector<uint8_t> payload;
  try {
    payload = layer != nullptr ? LayerPayload(*layer)
                               : VariablePayload(engine, target.variable, target.element, target.whole);
  } catch (const std::bad_alloc&) {
    ShowBox(engine, kCompressError);
    return 0;
  }
  if (!BuildStoredBlock(static_cast<int>(block), layer != nullptr ? kKindLayer : kKindVariable, payload, slot)) {
    ShowBox(engine, kCompressError);
  }
  return 0;
}

int WritePendingBlocks(Engine& engine, const SaveFileName& name) {
  platform::FileSystem& fs = *engine.platform.files;
  const std::string folder = SaveFolder(engine);
  const std::string path = folder + name.file;

  // The old file, whole: its blocks go into the new one.
  std::vector<uint8_t> old;
  if (auto file = fs.Open(path, platform::OpenMode::Read)) {
    const int64_t size = file->Size();
    if (size < 0) return ReportWriteError(engine, name, file->LastError());
    if (static_cast<uint64_t>(size) > INT32_MAX) return ReportWriteError(engine, name, EFBIG);
    try {
      old.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
      return resource::ReportError(engine, resource::kOutOfMemory, true);
    }
    if (file->Read(old.data(), old.size()) != old.size()) {
      return ReportWriteError(engine, name, file->LastError() != 0 ? file->LastError() : EIO);
    }
    // An empty file is no save file; it must not be taken for a new one.
    if (old.empty()) return resource::ReportError(engine, kErrNotSaveFile, true);
  } else if (const int error = fs.LastError(); error != ENOENT && error != ENOTDIR) {
    // A file that is there but cannot be read must not be replaced.
    return ReportWriteError(engine, name, error);
  }

  ComposedFile composed;
  const int32_t code = ComposeSaveFile(old, engine.save.pending, composed);
  if (code == kFileTooLarge) return ReportWriteError(engine, name, EFBIG);
  if (code != 0) return resource::ReportError(engine, code, true);
  if (!EnsureFolder(engine, folder)) return ReportWriteError(engine, name, fs.LastError());
  if (!fs.ReplaceFile(path, composed.pieces)) return ReportWriteError(engine, name, fs.LastError());
  ClearPendingBlocks(engine);
  return 0;
}

int LoadBlock(Engine& engine, const SaveFileName& name, int64_t block, const BlockTarget& target) {
  const std::string path = SaveFolder(engine) + name.file;
  auto file = engine.platform.files->Open(path, platform::OpenMode::Read);
  if (!file) {
    return resource::ReportError(engine, kErrCannotOpen, true,
                                 {script::CommandName(engine, kCmdLoad),
                                  script::ArgumentName(engine, kCmdLoad, kArgFile), name.file});
  }
  const int64_t fileSize = file->Size();
  if (fileSize < 0) return resource::ReportError(engine, kErrBadSaveData, true);
  const auto head = ReadAt(*file, 0, kFirstBlockOffset);
  SaveHeader header;
  if (const int32_t code = ReadSaveHeader(head, header); code != 0) return resource::ReportError(engine, code, true);
  if (CheckBlockNumber(engine, kCmdLoad, block) != 0) return -1;
  const int32_t offset = header.directory[static_cast<size_t>(block - 1)];
  if (offset == 0) {
    resource::ReportError(engine, kErrBlockAbsent, true,
                          {script::CommandName(engine, kCmdLoad), script::ArgumentName(engine, kCmdLoad, kArgBlock)});
    return 0;
  }

  // The block: number, kind, 1, two bytes, C, U, then C bytes.
  const uint64_t size = static_cast<uint64_t>(fileSize);
  if (offset < 0 || static_cast<uint64_t>(offset) + kBlockHeadBytes > size) {
    return resource::ReportError(engine, kErrBadSaveData, true);
  }
  const auto blockHead = ReadAt(*file, static_cast<uint64_t>(offset), kBlockHeadBytes);
  common::ByteReader r(blockHead);
  r.Skip(4);
  const uint8_t kind = r.U8();
  r.Skip(3);
  const int32_t compressed = r.I32();
  const int32_t plain = r.I32();
  if (!r.ok() || compressed < 0 || plain < 0 ||
      static_cast<uint64_t>(offset) + kBlockHeadBytes + static_cast<uint64_t>(compressed) > size) {
    return resource::ReportError(engine, kErrBadSaveData, true);
  }
  const auto data = ReadAt(*file, static_cast<uint64_t>(offset) + kBlockHeadBytes, static_cast<size_t>(compressed));
  file.reset();
  if (data.size() != static_cast<size_t>(compressed)) return resource::ReportError(engine, kErrBadSaveData, true);

  // A plain size that no zlib stream of this length can give (or that no
  // payload has) is damage, found before its buffer is made.
  const uint64_t plainBytes = static_cast<uint64_t>(plain);
  if (plainBytes > kMaxPayloadBytes || plainBytes > data.size() * kMaxInflateRatio + kInflateSlack) {
    ShowBox(engine, kLoadError);
    return -1;
  }
  std::unique_ptr<uint8_t[]> payload(new (std::nothrow) uint8_t[std::max<uint64_t>(plainBytes, 1)]);
  if (!payload) {
    ShowBox(engine, kLoadOutOfMemory);
    return -1;
  }
  uLongf inflated = static_cast<uLongf>(plainBytes);
  if (uncompress(payload.get(), &inflated, data.data(), static_cast<uLong>(data.size())) != Z_OK ||
      inflated != plainBytes) {
    ShowBox(engine, kLoadError);
    return -1;
  }
  const std::span<const uint8_t> bytes(payload.get(), static_cast<size_t>(plainBytes));

  if (target.layer != nullptr) {
    if (kind != kKindLayer) return resource::ReportError(engine, kErrVariableIntoLayer, true);
    return LoadLayer(engine, name, bytes, target);
  }
  if (kind != kKindVariable) return resource::ReportError(engine, kErrLayerIntoVariable, true);
  if (LoadVariablePayload(engine, kCmdLoad, bytes, target.variable, target.element, target.whole) != 0) return -1;
  ResetFrameTime(engine);
  return 0;
}

void ClearPendingBlocks(Engine& engine) {
  for (std::vector<uint8_t>& slot : engine.save.pending) std::vector<uint8_t>().swap(slot);
}

int8_t SaveCommand(Engine& engine) {
  if (script::PrepareArgs(engine) != 0) return -1;
  const script::CommandArgs& a = engine.script.interp.args;
  const bool withFile = a.Has(kArgFile);
  const bool withBlock = a.Has(kArgBlock);
  const int64_t block = a.Number(kArgBlock);
  SaveFileName name;
  if (withFile && CheckFileName(engine, kCmdSave, a.Get(kArgFile).Text(), name) != 0) return -1;
  BlockTarget target;
  if (TargetOf(engine, kCmdSave, target) != 0) return -1;
  if (withBlock && PutPendingBlock(engine, block, target) != 0) return -1;
  if (!withFile) return 0;
  return static_cast<int8_t>(WritePendingBlocks(engine, name));
}

int8_t LoadCommand(Engine& engine) {
  if (script::PrepareArgs(engine) != 0) return -1;
  const script::CommandArgs& a = engine.script.interp.args;
  const int64_t block = a.Number(kArgBlock);
  SaveFileName name;
  if (CheckFileName(engine, kCmdLoad, a.Get(kArgFile).Text(), name) != 0) return -1;
  BlockTarget target;
  if (TargetOf(engine, kCmdLoad, target) != 0) return -1;
  return static_cast<int8_t>(LoadBlock(engine, name, block, target));
}

int8_t SaveCacheClearCommand(Engine& engine) {
  if (script::PrepareArgs(engine) != 0) return -1;
  ClearPendingBlocks(engine);
  return 0;
}

void BindSaveCommands(script::HandlerTable& table) {
  script::BindCommand(table, kCmdLoad, &LoadCommand);
  script::BindCommand(table, kCmdSave, &SaveCommand);
  script::BindCommand(table, kCmdSaveCacheClear, &SaveCacheClearCommand);
}

}  // namespace vv::save
