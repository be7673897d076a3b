#include "platform/headless/recorded_services.h"

#include "common/sjis.h"

namespace vv::platform {

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  common::SjisLowerAscii(out);
  return out;
}

class TableLibrary final : public Library {
 public:
  explicit TableLibrary(std::map<std::string, void*> symbols) : symbols_(std::move(symbols)) {}
  void* Symbol(std::string_view name) override {
    const auto it = symbols_.find(std::string(name));
    return it == symbols_.end() ? nullptr : it->second;
  }

 private:
  std::map<std::string, void*> symbols_;
};

}  // namespace

bool RecordedProcesses::Start(std::string_view program, const std::vector<std::string>& args) {
  records_.push_back({std::string(program), args, false});
  return true;
}

bool RecordedProcesses::OpenDocument(std::string_view hostPath) {
  records_.push_back({std::string(hostPath), {}, true});
  return true;
}

void MemoryMenus::SetMenuBar(int slot, const std::vector<MenuItemDesc>& bar) {
  if (bar.empty()) bars_.erase(slot);
  else bars_[slot] = bar;
}

int MemoryMenus::Popup(int slot, const std::vector<MenuItemDesc>& items, Point screen) {
  popups_.push_back({slot, items, screen});
  if (choices_.empty()) return 0;
  const int id = choices_.front();
  choices_.pop_front();
  return id;
}

const std::vector<MenuItemDesc>& MemoryMenus::MenuBar(int slot) const {
  static const std::vector<MenuItemDesc> kNone;
  const auto it = bars_.find(slot);
  return it == bars_.end() ? kNone : it->second;
}

MemoryRegistry::Key MemoryRegistry::MakeKey(std::string_view root, std::string_view key,
                                            std::string_view name) {
  return {Lower(root), Lower(key), Lower(name)};
}

std::optional<RegistryValue> MemoryRegistry::Read(std::string_view root, std::string_view key,
                                                  std::string_view name) {
  const auto it = values_.find(MakeKey(root, key, name));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void MemoryRegistry::Set(std::string_view root, std::string_view key, std::string_view name,
                         RegistryValue value) {
  values_[MakeKey(root, key, name)] = std::move(value);
}

std::unique_ptr<Library> TableLibraries::Load(std::string_view name) {
  const auto it = table_.find(Lower(name));
  if (it == table_.end()) return nullptr;
  return std::make_unique<TableLibrary>(it->second);
}

void TableLibraries::Register(std::string_view library, std::string_view symbol, void* function) {
  table_[Lower(library)][std::string(symbol)] = function;
}

}  // namespace vv::platform
