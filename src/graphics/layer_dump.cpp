#include "graphics/layer_dump.h"

#include "graphics/layer.h"
#include "script/state_dump.h"
#include "shell/engine.h"

namespace vv::graphics {

namespace {

void AppendLayers(const script::NameNode& folder, const std::string& prefix, std::string& out, bool& first) {
  for (const script::NameNode* node = folder.firstChild; node != nullptr; node = node->next) {
    const std::string path = prefix.empty() ? node->name : prefix + "/" + node->name;
    const Layer* l = LayerOf(node);
    if (l != nullptr) {
      out += first ? "\n  " : ",\n  ";
      first = false;
      out += "{\"path\": ";
      script::AppendJsonString(out, path);
      out += std::string(", \"kind\": \"") + (node->kind == script::kFolderNode ? "group" : "image") + "\"";
      out += ", \"priority\": " + std::to_string(node->key) + ", \"x\": " + std::to_string(l->x) +
             ", \"y\": " + std::to_string(l->y) + ", \"width\": " + std::to_string(l->Width()) +
             ", \"height\": " + std::to_string(l->Height()) + ", \"opacity\": " + std::to_string(l->opacity) +
             ", \"blend\": " + std::to_string(l->blendOp) + ", \"visible\": " + std::to_string(l->visible) +
             ", \"hasAlpha\": " + std::to_string(l->image.hasAlpha) + ", \"mask\": ";
      script::AppendJsonString(out, l->maskPath);
      out += ", \"maskLevel\": " + std::to_string(l->maskLevel) + ", \"file\": ";
      script::AppendJsonString(out, l->image.fileName);
      out += ", \"frame\": " + std::to_string(l->image.frame) +
             ", \"frameCount\": " + std::to_string(l->image.frameCount) + "}";
    }
    if (node->kind == script::kFolderNode) AppendLayers(*node, path, out, first);
  }
}

}  // namespace

std::string LayerTreeJsonMember(const Engine& engine) {
  std::string out = ",\n\"layers\": [";
  bool first = true;
  AppendLayers(*engine.script.trees[script::TreeId::kLayers].root, "", out, first);
  out += first ? "]" : "\n]";
  return out;
}

}  // namespace vv::graphics
