// A game compiled by dorov on the headless backend, with the save
// commands bound, and the helpers the save tests share: layers made
// through the layer API, and the files of the save folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dorov/compiler.h"
#include "graphics/layer.h"
#include "save/save_commands.h"
#include "script/script_test_support.h"
#include "script/variables.h"

namespace vv::save::testing {

class SaveTest : public script::testing::ScriptTest {
 public:
  // Compiles `source` and starts it (declarations applied, no pass run).
  void Prepare(const std::string& source) {
    const dorov::CompileResult r = dorov::CompileSource(source);
    ASSERT_TRUE(r.ok()) << r.ErrorText();
    for (const auto& [name, bytes] : r.files) Write("nvbin/" + name, bytes);
    ASSERT_TRUE(Start());
    BindSaveCommands(engine().script.interp.handlers);
  }
  void Run(const std::string& source, int passes = 10) {
    Prepare(source);
    Passes(passes);
  }

  // The window group "W0" and an image layer `name` below it of w x h,
  // pixel i holding the bytes of i * 2654435761 (every byte differs from
  // its neighbours), at key `key`.
  graphics::Layer& MakeLayer(const std::string& name, int w, int h, int64_t key = 5, bool group = false) {
    script::NameNode& root = graphics::LayerRoot(engine());
    if (script::FindNode(engine(), root, "W0", script::kFindFolder) == nullptr) {
      EXPECT_NE(graphics::CreateGroupLayer(engine(), "W0", 640, 480, 0), nullptr);
    }
    script::NameNode* node = script::NewNodeFromPath(engine(), "W0/" + name,
                                                     group ? script::kFolderNode : script::kLeafNode, key, root, nullptr);
    EXPECT_NE(node, nullptr);
    graphics::Layer& layer = graphics::AttachNewLayer(*node);
    EXPECT_TRUE(graphics::ResizeCleared(engine(), layer, w, h));
    uint8_t* p = layer.image.pixels.get();
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) common::StoreU32(p + 4 * i, static_cast<uint32_t>(i * 2654435761u));
    return layer;
  }
  script::NameNode* FindLayer(const std::string& path, int mode = script::kFindLeaf) {
    return script::FindNode(engine(), graphics::LayerRoot(engine()), path, mode);
  }

  std::string SavePath(const std::string& file) const { return root_ + "/save/" + file; }
  static std::vector<uint8_t> ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<uint8_t> SaveFile(const std::string& file) const { return ReadHostFile(SavePath(file)); }
  void WriteSaveFile(const std::string& file, const std::vector<uint8_t>& bytes) { Write("save/" + file, bytes); }

  int64_t Global(int n) { return Int(script::kFirstScriptVariable + n); }
  script::VariableSlot& Slot(int global) { return *script::FindSlot(engine(), script::kFirstScriptVariable + global); }

  // Clears what the last failure left, so that the engine runs on.
  void ForgetErrors() {
    engine().errors.reports.clear();
    engine().shell.flags.halted = false;
  }
};

inline int32_t I32At(const std::vector<uint8_t>& bytes, size_t at) {
  return at + 4 <= bytes.size() ? static_cast<int32_t>(common::LoadU32(bytes.data() + at)) : -1;
}

}  // namespace vv::save::testing
