// The smaller headless services: programs are recorded instead of run, and
// the clipboard, menus, registry and libraries live in memory where tests
// can fill and inspect them. Single-threaded like the rest of the backend.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/clipboard.h"
#include "platform/geometry.h"
#include "platform/libraries.h"
#include "platform/menus.h"
#include "platform/processes.h"
#include "platform/registry.h"

namespace vv::platform {

struct ProcessRecord {
  std::string program;  // Start: the program; OpenDocument: the document
  std::vector<std::string> args;
  bool document = false;  // an OpenDocument call
};

class RecordedProcesses final : public Processes {
 public:
  // Always true: a headless run never starts anything.
  bool Start(std::string_view program, const std::vector<std::string>& args) override;
  bool OpenDocument(std::string_view hostPath) override;
  std::string AssociatedProgram(std::string_view) override { return associated_; }

  void SetAssociatedProgram(std::string program) { associated_ = std::move(program); }
  const std::vector<ProcessRecord>& Records() const { return records_; }

 private:
  std::vector<ProcessRecord> records_;
  std::string associated_;
};

class MemoryClipboard final : public Clipboard {
 public:
  std::optional<std::string> GetText() override { return text_; }
  bool SetText(std::string_view sjis) override {
    text_ = std::string(sjis);
    return true;
  }

 private:
  std::optional<std::string> text_;
};

struct PopupRecord {
  int slot = 0;
  std::vector<MenuItemDesc> items;
  Point screen;
};

class MemoryMenus final : public Menus {
 public:
  void SetMenuBar(int slot, const std::vector<MenuItemDesc>& bar) override;
  // Records the popup and returns the next queued choice (0 when none is
  // queued, as when the player clicks beside the menu).
  int Popup(int slot, const std::vector<MenuItemDesc>& items, Point screen) override;

  void QueuePopupChoice(int id) { choices_.push_back(id); }
  // The bar of `slot` as last set (empty when none).
  const std::vector<MenuItemDesc>& MenuBar(int slot) const;
  const std::vector<PopupRecord>& Popups() const { return popups_; }

 private:
  std::map<int, std::vector<MenuItemDesc>> bars_;
  std::deque<int> choices_;
  std::vector<PopupRecord> popups_;
};

// Roots, key paths and value names compare ignoring ASCII letter case.
class MemoryRegistry final : public Registry {
 public:
  std::optional<RegistryValue> Read(std::string_view root, std::string_view key,
                                    std::string_view name) override;
  void Set(std::string_view root, std::string_view key, std::string_view name, RegistryValue value);

 private:
  using Key = std::tuple<std::string, std::string, std::string>;
  static Key MakeKey(std::string_view root, std::string_view key, std::string_view name);
  std::map<Key, RegistryValue> values_;
};

// Libraries made of functions that a test registers; a name that has no
// registered function fails to load. Library names compare ignoring ASCII
// case (scripts name them as on a case-insensitive system).
class TableLibraries final : public Libraries {
 public:
  std::unique_ptr<Library> Load(std::string_view name) override;
  void Register(std::string_view library, std::string_view symbol, void* function);

 private:
  std::map<std::string, std::map<std::string, void*>> table_;
};

}  // namespace vv::platform
