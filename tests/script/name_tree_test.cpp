#include <gtest/gtest.h>

#include "script/name_tree.h"
#include "script_test_support.h"

namespace vv::script {
namespace {

using testing::ScriptTest;

NameNode* AddNode(NameNode& parent, std::string_view name, int64_t key, uint8_t kind = kLeafNode) {
  auto node = std::make_unique<NameNode>();
  SetNodeName(*node, name);
  node->kind = kind;
  NameNode* raw = node.release();
  InsertChild(parent, raw, key);
  return raw;
}

std::vector<std::string> Order(const NameNode& folder) {
  std::vector<std::string> out;
  for (const NameNode* n = folder.firstChild; n != nullptr; n = n->next) out.push_back(n->name);
  return out;
}

// Walking backwards must see the same list: a broken previous link would
// corrupt every later unlink.
std::vector<std::string> ReverseOrder(const NameNode& folder) {
  std::vector<std::string> out;
  for (const NameNode* n = folder.lastChild; n != nullptr; n = n->previous) out.insert(out.begin(), n->name);
  return out;
}

TEST(NameTree, InsertKeepsKeyOrderNewestFirstAmongEqualKeys) {
  NameNode root;
  AddNode(root, "5a", 5);
  AddNode(root, "3", 3);
  AddNode(root, "5b", 5);
  AddNode(root, "1", 1);
  EXPECT_EQ(Order(root), (std::vector<std::string>{"1", "3", "5b", "5a"}));
  EXPECT_EQ(ReverseOrder(root), Order(root));
  EXPECT_EQ(root.childCount, 4);
  EXPECT_EQ(NthChild(root, 0)->name, "1");
  EXPECT_EQ(NthChild(root, 3)->name, "5b");
  EXPECT_EQ(NthChild(root, 5), nullptr);
}

TEST(NameTree, UnlinkReKeyAndDetach) {
  NameNode root;
  NameNode* only = AddNode(root, "only", 1);
  UnlinkNode(*only);
  EXPECT_EQ(root.childCount, 0);
  EXPECT_EQ(root.firstChild, nullptr);
  EXPECT_EQ(root.lastChild, nullptr);
  delete only;

  NameNode* a = AddNode(root, "a", 1);
  AddNode(root, "b", 2);
  NameNode* c = AddNode(root, "c", 3);
  EXPECT_EQ(ReKey(*a, 1), 0);
  EXPECT_EQ(ReKey(*a, 10), 1);
  EXPECT_EQ(Order(root), (std::vector<std::string>{"b", "c", "a"}));
  std::unique_ptr<NameNode> owned = DetachNode(*c);
  ASSERT_TRUE(owned);
  EXPECT_EQ(Order(root), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(ReverseOrder(root), Order(root));
  EXPECT_EQ(root.childCount, 2);
  EXPECT_EQ(DetachNode(*owned), nullptr);  // already detached: nobody else owns it
}

class NameTreeEngine : public ScriptTest {};

TEST_F(NameTreeEngine, ComposePathCases) {
  struct Case {
    const char* name;
    const char* folder;
    const char* out;
    int result;
  } cases[] = {
      {"b", "a", "a/b", 0},
      {"b/", "a", "a/b", 1},
      {":x/y", "a", "x/y", 0},
      {":/x", "a", "x", 0},
      {"../c", "a", "c", 0},
      {"../../c", "a/b", "c", 0},
      {"./c", "a", "a/c", 0},
      {"/c", "a", "a/c", 0},
      {"c/..", "a", "a/c/..", 0},
      {".hidden", "", ".hidden", 0},
      {"x//y", "", "x//y", 0},
      {"b", "", "b", 0},
      {"../", "", "", 0},
  };
  for (const Case& c : cases) {
    std::string out = "junk";
    EXPECT_EQ(ComposePath(engine(), out, c.name, c.folder, false), c.result) << c.name;
    EXPECT_EQ(out, c.out) << c.name << " in " << c.folder;
  }
  EXPECT_TRUE(engine().errors.reports.empty());
}

TEST_F(NameTreeEngine, ComposePathRejectsSpacesAndLongPaths) {
  std::string out;
  EXPECT_EQ(ComposePath(engine(), out, "a b/c", "", false), -1);
  EXPECT_EQ(ComposePath(engine(), out, "a b", "", false), -1);
  EXPECT_EQ(ComposePath(engine(), out, "a b/c", "", true), 0);
  EXPECT_EQ(out, "a b/c");
  // A space inside a two-byte character is no space.
  EXPECT_EQ(ComposePath(engine(), out, "\x81\x20x", "", false), 0);
  EXPECT_EQ(ComposePath(engine(), out, std::string(250, 'n'), "folder", false), -1);
  EXPECT_EQ(ComposePath(engine(), out, std::string(256, 'n'), "", false), -1);
  EXPECT_EQ(ComposePath(engine(), out, std::string(255, 'n'), "", false), 0);
  EXPECT_EQ(Codes(), (std::vector<int32_t>{kPathSpace, kPathSpace, kPathTooLong, kPathTooLong}));
}

TEST_F(NameTreeEngine, FindNodeByKindAndShiftJisNames) {
  NameNode& root = *engine().script.trees[TreeId::kLayers].root;
  NameNode* folder = AddNode(root, "f", 1, kFolderNode);
  AddNode(root, "f", 2, kLeafNode);
  // 0x95 0x2F: a two-byte character whose second byte is "/".
  const std::string sjisName = "\x95/x";
  AddNode(*folder, sjisName, 1);
  AddNode(*folder, "ba", 2);  // same byte sum as "ab"

  EXPECT_EQ(FindNode(engine(), root, "f", kFindLeaf)->kind, kLeafNode);
  EXPECT_EQ(FindNode(engine(), root, "f", kFindFolder), folder);
  EXPECT_NE(FindNode(engine(), root, "f/" + sjisName, kFindLeaf), nullptr);
  EXPECT_EQ(FindNode(engine(), root, "f/ab", kFindAny), nullptr);
  std::string out;
  EXPECT_EQ(ComposePath(engine(), out, sjisName, "f", false), 0);
  EXPECT_EQ(out, "f/" + sjisName);
  EXPECT_TRUE(engine().errors.reports.empty());

  EXPECT_EQ(FindNode(engine(), root, "missing/x", kFindAny), nullptr);
  EXPECT_EQ(Codes(), std::vector<int32_t>{kPathMissingFolder});
}

TEST_F(NameTreeEngine, NewNodeFromPath) {
  NameNode& root = *engine().script.trees[TreeId::kSounds].root;
  NameNode* folder = NewNodeFromPath(engine(), "bgm", kFolderNode, 5, root, nullptr);
  ASSERT_NE(folder, nullptr);
  NameNode* leaf = NewNodeFromPath(engine(), "bgm/theme.1", kLeafNode, -3, root, std::make_unique<NodePayload>());
  ASSERT_NE(leaf, nullptr);
  EXPECT_EQ(leaf->parent, folder);
  EXPECT_EQ(leaf->name, "theme.1");
  EXPECT_EQ(leaf->key, -3);
  EXPECT_EQ(leaf->nameSum, NameSum("theme.1"));
  EXPECT_EQ(FindNode(engine(), root, "bgm/theme.1", kFindLeaf), leaf);
  EXPECT_EQ(NewNodeFromPath(engine(), "se/x", kLeafNode, 0, root, nullptr), nullptr);
  EXPECT_EQ(Codes(), std::vector<int32_t>{kPathMissingFolder});
}

}  // namespace
}  // namespace vv::script
