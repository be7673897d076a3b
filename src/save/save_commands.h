// The save commands: SaveCommand (61) collects blocks and writes them into
// a save file, LoadCommand (36) reads one block back into a variable or a
// layer, SaveCacheClearCommand (62) drops the blocks not yet written.
//
// Arguments of 61 and 36 by id: 0 file name, 1 block number (1..1024),
// 2 variable (a reference: "&name" saves or loads the whole variable, an
// element reference one element), 3 layer path, 4 layer number (appended
// to the path as "." and its decimal value).
//
// Saving never loses the old file: the new file is written beside it,
// flushed to the device and renamed over it (FileSystem::ReplaceFile), so
// a crash or a full disk leaves the complete old or the complete new file.
//
// Every failure is reported through the error reporter with halt, except
// three message boxes ("Compress Error.", "Load Error." and the loader's
// out-of-memory box). Threading: the thread that runs the frames.
#pragma once

#include <cstdint>
#include <string>

#include "save/save_folder.h"

namespace vv {
struct Engine;
}

namespace vv::script {
struct HandlerTable;
struct NameNode;
}

namespace vv::save {

constexpr uint8_t kCmdLoad = 36;
constexpr uint8_t kCmdSave = 61;
constexpr uint8_t kCmdSaveCacheClear = 62;

constexpr int32_t kErrLayerMissing = 101250;
constexpr int32_t kErrCannotOpen = 102100;
constexpr int32_t kErrBlockAbsent = 102110;
constexpr int32_t kErrCannotWrite = 102140;
constexpr int32_t kErrBlockPending = 102170;

// What a block is saved from or loaded into: a layer when `layer` is set,
// else element `element` of `variable` (the whole variable when `whole`).
struct BlockTarget {
  script::NameNode* layer = nullptr;
  std::string layerPath;  // the layer's composed path (loading recreates it)
  int32_t variable = 0;
  int64_t element = 0;
  bool whole = false;
};

// Builds block `block` from `target` into its pending slot. 0, or -1
// after reporting 101000 (a number outside 1..1024) or 102170 (the slot is
// taken). A compression failure shows "Compress Error." and leaves the
// slot empty (0).
int PutPendingBlock(Engine& engine, int64_t block, const BlockTarget& target);

// Writes every pending block into save file `name` (created, appended to
// or rewritten) and empties the slots. 0, or -1 after reporting 108030 or
// 108040 (the existing file is no save file), 900000 (it is damaged), or
// 102140 (with the errno and its text) when the file cannot be read or
// written; the old file is unchanged and the blocks stay pending then.
int WritePendingBlocks(Engine& engine, const SaveFileName& name);

// Loads block `block` of save file `name` into `target`. 0 on success and
// after reporting 102110 (the block is not in the file); -1 after any
// other report or message box.
int LoadBlock(Engine& engine, const SaveFileName& name, int64_t block, const BlockTarget& target);

// Empties every pending slot (command 62, and the engine at shutdown).
void ClearPendingBlocks(Engine& engine);

int8_t SaveCommand(Engine& engine);
int8_t LoadCommand(Engine& engine);
int8_t SaveCacheClearCommand(Engine& engine);

// Binds the three handlers into the real half of the table.
void BindSaveCommands(script::HandlerTable& table);

}  // namespace vv::save
