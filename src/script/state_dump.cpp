#include "script/state_dump.h"

#include <cmath>
#include <cstdio>
#include <fstream>

#include "common/encoding.h"
#include "script/context.h"
#include "shell/engine.h"

namespace vv::script {

void AppendJsonString(std::string& out, std::string_view sjis) {
  const std::string utf8 = common::SjisToUtf8(sjis);
  out += '"';
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

namespace {

void AppendString(std::string& out, std::string_view sjis) { AppendJsonString(out, sjis); }

void AppendFloat(std::string& out, double v) {
  if (!std::isfinite(v)) {
    out += "null";
    return;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", v);
  out += text;
}

const char* TypeName(uint8_t type) {
  switch (type) {
    case kTypeInteger: return "integer";
    case kTypeFloat: return "float";
    default: return "text";
  }
}

void AppendVariables(const Engine& engine, std::string& out) {
  out += "\"variables\": [";
  bool first = true;
  const auto& slots = engine.script.variables;
  for (size_t n = kFirstScriptVariable; n < slots.size(); ++n) {
    const VariableSlot& s = slots[n];
    if (s.type == kTypeNone) continue;
    out += first ? "\n  " : ",\n  ";
    first = false;
    out += "{\"number\": " + std::to_string(n) + ", \"type\": \"" + TypeName(s.type) + "\", \"dimensions\": [";
    for (int d = 0; d < s.dimensionCount; ++d) out += (d ? ", " : "") + std::to_string(s.sizes[static_cast<size_t>(d)]);
    out += "], \"values\": [";
    for (int64_t i = 0; i < s.elementCount; ++i) {
      if (i) out += ", ";
      const size_t at = static_cast<size_t>(i);
      if (s.type == kTypeInteger) out += std::to_string(s.integers[at]);
      else if (s.type == kTypeFloat) AppendFloat(out, s.floats[at]);
      else AppendString(out, s.texts[at]);
    }
    out += "]}";
  }
  out += first ? "]" : "\n]";
}

void AppendContexts(const Engine& engine, const NameNode& folder, const std::string& prefix, std::string& out,
                    bool& first) {
  for (const NameNode* node = folder.firstChild; node != nullptr; node = node->next) {
    const std::string path = prefix.empty() ? node->name : prefix + "/" + node->name;
    if (node->kind == kFolderNode) {
      AppendContexts(engine, *node, path, out, first);
      continue;
    }
    const ScriptContext* c = ContextOf(node);
    if (c == nullptr) continue;
    out += first ? "\n  " : ",\n  ";
    first = false;
    out += "{\"path\": ";
    AppendString(out, path);
    out += ", \"file\": " + std::to_string(c->file) + ", \"fileName\": ";
    AppendString(out, ScriptFileName(engine, c->file));
    out += ", \"line\": " + std::to_string(c->line) + ", \"position\": " + std::to_string(c->position) +
           ", \"blockDepth\": " + std::to_string(c->blockDepth) + ", \"loopDepth\": " + std::to_string(c->loopDepth) +
           ", \"callDepth\": " + std::to_string(c->callDepth) + ", \"key\": " + std::to_string(node->key) +
           ", \"enableA\": " + std::to_string(c->enableA) + ", \"enableB\": " + std::to_string(c->enableB) +
           ", \"waitFrames\": " + std::to_string(c->waitFrames) + ", \"wakeTime\": " + std::to_string(c->wakeTime) +
           ", \"system\": " + (c->system ? "true" : "false") + "}";
  }
}

}  // namespace

std::string StateDumpJson(const Engine& engine, std::string_view extraMembers) {
  std::string out = "{\n";
  AppendVariables(engine, out);
  out += ",\n\"contexts\": [";
  bool first = true;
  AppendContexts(engine, *engine.script.trees[TreeId::kContexts].root, "", out, first);
  out += first ? "]" : "\n]";
  out += extraMembers;
  out += "\n}\n";
  return out;
}

bool WriteStateDump(const Engine& engine, const std::string& hostPath, std::string& error,
                    std::string_view extraMembers) {
  const std::string json = StateDumpJson(engine, extraMembers);
  std::ofstream file(hostPath, std::ios::binary | std::ios::trunc);
  file.write(json.data(), static_cast<std::streamsize>(json.size()));
  file.close();
  if (!file) {
    error = "cannot write the state dump " + hostPath;
    return false;
  }
  return true;
}

}  // namespace vv::script
