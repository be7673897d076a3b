#include "script/name_tree.h"

#include "common/sjis.h"
#include "resource/error_reporter.h"

namespace vv::script {

namespace {

bool IsSpecialPathChar(char c) { return c == '.' || c == '/' || c == ':'; }

// Position just after the last "/" outside two-byte characters (0 when
// there is none), and the number of such "/".
struct SlashScan {
  size_t afterLast = 0;
  size_t count = 0;
};

SlashScan ScanSlashes(std::string_view path) {
  SlashScan s;
  for (size_t i = 0; i < path.size();) {
    const size_t n = common::SjisCharLength(path, i);
    if (n == 1 && path[i] == '/') {
      ++s.count;
      s.afterLast = i + 1;
    }
    i += n;
  }
  return s;
}

bool HasSpace(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const size_t n = common::SjisCharLength(text, i);
    if (n == 1 && text[i] == ' ') return true;
    i += n;
  }
  return false;
}

}  // namespace

NameNode::~NameNode() {
  for (NameNode* child = firstChild; child != nullptr;) {
    NameNode* following = child->next;
    delete child;
    child = following;
  }
}

int32_t NameSum(std::string_view name) {
  int32_t sum = 0;
  for (char c : name) sum += static_cast<int8_t>(c);
  return sum;
}

void SetNodeName(NameNode& node, std::string_view name) {
  node.name.assign(name.substr(0, common::SjisPrefixLength(name, kMaxNodeName)));
  node.nameLength = static_cast<int32_t>(node.name.size());
  node.nameSum = NameSum(node.name);
}

void InsertChild(NameNode& parent, NameNode* node, int64_t key) {
  node->key = key;
  node->parent = &parent;
  node->previous = nullptr;
  node->next = nullptr;
  if (parent.firstChild == nullptr) {
    parent.firstChild = parent.lastChild = node;
  } else {
    NameNode* at = parent.firstChild;
    while (at != nullptr && at->key < key) at = at->next;
    if (at == nullptr) {
      node->previous = parent.lastChild;
      parent.lastChild->next = node;
      parent.lastChild = node;
    } else {
      node->next = at;
      node->previous = at->previous;
      if (at->previous != nullptr) at->previous->next = node;
      else parent.firstChild = node;
      at->previous = node;
    }
  }
  ++parent.childCount;
}

void UnlinkNode(NameNode& node) {
  NameNode* parent = node.parent;
  if (parent == nullptr) return;
  if (parent->childCount == 1) {
    parent->firstChild = parent->lastChild = nullptr;
  } else {
    if (parent->firstChild == &node) parent->firstChild = node.next;
    if (parent->lastChild == &node) parent->lastChild = node.previous;
    if (node.previous != nullptr) node.previous->next = node.next;
    if (node.next != nullptr) node.next->previous = node.previous;
  }
  --parent->childCount;
  node.previous = node.next = nullptr;
  node.parent = nullptr;
}

std::unique_ptr<NameNode> DetachNode(NameNode& node) {
  if (node.parent == nullptr) return nullptr;  // a root or an already detached node
  UnlinkNode(node);
  return std::unique_ptr<NameNode>(&node);
}

int ReKey(NameNode& node, int64_t key) {
  if (node.key == key) return 0;
  NameNode* parent = node.parent;
  if (parent == nullptr) {
    node.key = key;
    return 1;
  }
  UnlinkNode(node);
  InsertChild(*parent, &node, key);
  return 1;
}

NameNode* NthChild(const NameNode& folder, int32_t n) {
  NameNode* at = folder.firstChild;
  for (int32_t i = 1; i < n && at != nullptr; ++i) at = at->next;
  return at;
}

NameNode* FindFolderChild(const NameNode& folder, std::string_view name) {
  const int32_t sum = NameSum(name);
  for (NameNode* at = folder.firstChild; at != nullptr; at = at->next) {
    if (at->kind != kLeafNode && at->nameSum == sum && at->name == name) return at;
  }
  return nullptr;
}

NameNode* ResolveFolder(Engine& engine, std::string_view path, NameNode& root) {
  NameNode* at = &root;
  size_t start = 0;
  for (size_t i = 0; i < path.size();) {
    const size_t n = common::SjisCharLength(path, i);
    if (n == 1 && path[i] == '/') {
      const std::string_view component = path.substr(start, i - start);
      at = FindFolderChild(*at, component);
      if (at == nullptr) {
        resource::ReportError(engine, kPathMissingFolder, true, {component});
        return nullptr;
      }
      start = i + 1;
    }
    i += n;
  }
  return at;
}

NameNode* FindNode(Engine& engine, NameNode& root, std::string_view path, int mode) {
  NameNode* folder = ResolveFolder(engine, path, root);
  if (folder == nullptr) return nullptr;
  const std::string_view last = path.substr(ScanSlashes(path).afterLast);
  const int32_t sum = NameSum(last);
  for (NameNode* at = folder->firstChild; at != nullptr; at = at->next) {
    if (at->nameSum != sum) continue;
    if (mode == kFindLeaf && at->kind != kLeafNode) continue;
    if (mode == kFindFolder && at->kind != kFolderNode) continue;
    if (at->name == last) return at;
  }
  return nullptr;
}

int ComposePath(Engine& engine, std::string& out, std::string_view name, std::string_view folder,
                bool allowSpaces) {
  bool special = false;
  for (size_t i = 0; i < name.size() && !special;) {
    const size_t n = common::SjisCharLength(name, i);
    if (n == 1 && IsSpecialPathChar(name[i])) special = true;
    i += n;
  }

  std::string work;
  if (!special) {
    work.reserve(folder.size() + 1 + name.size());
    if (!folder.empty()) {
      work.assign(folder);
      work += '/';
    }
    work += name;
    if (work.size() > kMaxPathBytes) return resource::ReportError(engine, kPathTooLong, true, {work});
    // A plain name still obeys the space rule: no separator can hide it.
    if (!allowSpaces && HasSpace(name)) return resource::ReportError(engine, kPathSpace, true, {work});
    out = std::move(work);
    return 0;
  }

  if (!name.empty() && name[0] == ':') {
    name.remove_prefix(1);
    if (!name.empty() && name[0] == '/') name.remove_prefix(1);
    work.assign(name);
  } else {
    if (!name.empty() && name[0] == '/') name.remove_prefix(1);
    work.assign(folder);
    if (!folder.empty()) work += '/';
    work += name;
  }
  if (work.size() > kMaxPathBytes) return resource::ReportError(engine, kPathTooLong, true, {work});
  out.clear();
  if (work.empty()) return 0;

  const std::string_view w = work;
  for (size_t i = 0; i < w.size();) {
    if (w[i] == '/') {
      out += '/';
      ++i;
      continue;
    }
    // One component: up to and including the next "/", or to the end.
    size_t end = i;
    bool slash = false;
    while (end < w.size()) {
      const size_t n = common::SjisCharLength(w, end);
      if (n == 1 && w[end] == '/') {
        ++end;
        slash = true;
        break;
      }
      end += n;
    }
    const std::string_view component = w.substr(i, end - i);
    if (!allowSpaces && HasSpace(component)) {
      out.clear();
      return resource::ReportError(engine, kPathSpace, true, {work});
    }
    if (slash && component == "./") {
      // dropped
    } else if (slash && component == "../") {
      // Remove the last component (with its "/") already written.
      if (!out.empty()) {
        std::string_view written = out;
        if (written.back() == '/') written.remove_suffix(1);
        out.resize(ScanSlashes(written).afterLast);
      }
    } else {
      out += component;
    }
    i = end;
  }
  if (out.empty()) return 0;
  if (out.back() == '/') {
    out.pop_back();
    return 1;
  }
  return 0;
}

NameNode* NewNodeFromPath(Engine& engine, std::string_view path, uint8_t kind, int64_t key, NameNode& root,
                          std::unique_ptr<NodePayload> payload) {
  NameNode* parent = ResolveFolder(engine, path, root);
  if (parent == nullptr) return nullptr;
  auto node = std::make_unique<NameNode>();
  SetNodeName(*node, path.substr(ScanSlashes(path).afterLast));
  node->kind = kind;
  node->payload = std::move(payload);
  NameNode* raw = node.release();
  InsertChild(*parent, raw, key);
  return raw;
}

NameTree::NameTree() : root(std::make_unique<NameNode>()) { root->kind = kFolderNode; }

NameTrees::NameTrees() {
  (*this)[TreeId::kLayers].currentFolder = "W0";
  (*this)[TreeId::kMenus].currentFolder = "M0";
}

}  // namespace vv::script
