// The trees of named engine objects (layers, script contexts, sounds, menu
// objects) and the "/" path names scripts use to address them.
//
// A NameNode owns its children (destroying a node destroys its subtree) and
// its payload. Unlinking only detaches a node from its parent: whoever
// unlinks takes the node over (DetachNode hands it back as a unique_ptr) and
// decides when it is freed, so a context that is still running can be
// unlinked and freed after its pass.
//
// Every scan of names and paths is Shift-JIS aware: a lead byte takes the
// byte after it along, so a "/" or a space inside a two-byte character never
// separates anything.
//
// Threading: the trees belong to the thread that runs the frames.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vv {
struct Engine;
}

namespace vv::script {

// Base of every object a node carries (layer, script context, sound, menu
// object); the node owns it.
struct NodePayload {
  virtual ~NodePayload() = default;
};

enum NodeKind : uint8_t {
  kLeafNode = 0,
  kFolderNode = 1,  // an object that can have children
};

// Longest name of one node and longest composed path, in bytes.
constexpr size_t kMaxNodeName = 255;
constexpr size_t kMaxPathBytes = 255;

constexpr int32_t kPathMissingFolder = 100230;  // a folder component does not exist
constexpr int32_t kPathSpace = 100242;          // a space where spaces are not allowed
constexpr int32_t kPathTooLong = 100250;        // a composed path beyond kMaxPathBytes

struct NameNode {
  NameNode() = default;
  NameNode(const NameNode&) = delete;
  NameNode& operator=(const NameNode&) = delete;
  ~NameNode();  // destroys the children (still linked) and the payload

  NameNode* firstChild = nullptr;
  NameNode* lastChild = nullptr;
  NameNode* previous = nullptr;
  NameNode* next = nullptr;
  NameNode* parent = nullptr;  // null for a root and for a detached node

  std::string name;        // one path component, no "/"
  int32_t nameLength = 0;  // bytes of name, 0..255
  int32_t nameSum = 0;     // sum of the name's bytes taken as signed 8-bit
  int32_t childCount = 0;
  int64_t key = 0;         // sibling order: ascending
  uint8_t kind = kLeafNode;
  std::unique_ptr<NodePayload> payload;
};

// Sum of the bytes of `name`, each as a signed 8-bit value: the quick filter
// of every lookup.
int32_t NameSum(std::string_view name);

// Sets name, length and sum (the name is cut to kMaxNodeName bytes at a
// character boundary).
void SetNodeName(NameNode& node, std::string_view name);

// Links `node` (detached, name and kind set) under `parent` before the first
// child whose key is greater than or equal to `key`, so among equal keys the
// newest comes first. Ownership passes to the parent.
void InsertChild(NameNode& parent, NameNode* node, int64_t key);

// Detaches `node` from its parent (no-op for a node without one). The node
// keeps its children, payload and name; the caller now owns it.
void UnlinkNode(NameNode& node);

// UnlinkNode and hand the node over as an owner.
std::unique_ptr<NameNode> DetachNode(NameNode& node);

// Moves the node to its place for `key` under the same parent. 1 when the
// key changed, 0 when it was already `key`.
int ReKey(NameNode& node, int64_t key);

// The n-th child counting from the first, 1-based (n <= 1: the first), or
// null.
NameNode* NthChild(const NameNode& folder, int32_t n);

// The first child of nonzero kind named `name`, or null.
NameNode* FindFolderChild(const NameNode& folder, std::string_view name);

// Walks the "/"-terminated components of `path` from `root`. The text after
// the last "/" is not looked at. A missing component reports 100230 (halt)
// with that component and gives null.
NameNode* ResolveFolder(Engine& engine, std::string_view path, NameNode& root);

enum FindMode : int { kFindLeaf = 0, kFindFolder = 1, kFindAny = 2 };

// The node `path` names under `root`: its folder resolved as above, then the
// first child whose sum, kind (by mode) and name match the last component.
// Null when missing (only a missing folder is reported).
NameNode* FindNode(Engine& engine, NameNode& root, std::string_view path, int mode);

// Composes the full path of a script-given `name` relative to `folder` into
// `out`: ":" starts an absolute name, "./" components are dropped, "../"
// removes the previous component, a trailing "/" names a folder.
// Returns 1 when the result names a folder, 0 a leaf, -1 after a reported
// error (100242 a space when !allowSpaces, 100250 longer than 255 bytes).
int ComposePath(Engine& engine, std::string& out, std::string_view name, std::string_view folder,
                bool allowSpaces);

// The creation pattern of the object commands: resolves the folder of
// `path` under `root` (100230 when missing), makes a node named by the last
// component with `kind`, links it with `key` and gives it `payload`.
// Returns the new node (owned by the tree) or null after a report.
NameNode* NewNodeFromPath(Engine& engine, std::string_view path, uint8_t kind, int64_t key, NameNode& root,
                          std::unique_ptr<NodePayload> payload);

// One tree and the current folder scripts compose names against.
struct NameTree {
  NameTree();
  std::unique_ptr<NameNode> root;
  std::string currentFolder;
};

enum class TreeId : int { kLayers = 0, kSounds = 1, kContexts = 2, kMenus = 3 };
constexpr int kTreeCount = 4;

struct NameTrees {
  NameTrees();
  NameTree& operator[](TreeId id) { return trees[static_cast<int>(id)]; }
  const NameTree& operator[](TreeId id) const { return trees[static_cast<int>(id)]; }
  std::array<NameTree, kTreeCount> trees;
};

}  // namespace vv::script
