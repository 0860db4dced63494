#include "platform/ui/shell/ResourceRegistry.h"

#include <functional>

#include "platform/ui/shell/ResourceName.h"

namespace ui::shell {

ResourceRegistry& ResourceRegistry::Instance() {
  static ResourceRegistry registry;
  return registry;
}

void ResourceRegistry::Add(HMODULE module, const ResourceEntry* entries, size_t count) {
  if (entries == nullptr || count == 0) return;
  std::lock_guard<std::mutex> hold(lock_);
  tables_.push_back(Table{ModuleOrProgram(module), entries, count});
}

const ResourceEntry* ResourceRegistry::Find(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language,
                                            DWORD* error) const {
  module = ModuleOrProgram(module);
  bool typeSeen = false, nameSeen = false;
  const ResourceEntry* inDeviceLanguage = nullptr;
  const ResourceEntry* inAnyLanguage = nullptr;
  std::lock_guard<std::mutex> hold(lock_);
  for (const Table& table : tables_) {
    if (table.module != module) continue;
    for (size_t i = 0; i < table.count; ++i) {
      const ResourceEntry& entry = table.entries[i];
      if (!ResourceNamesMatch(entry.type, type)) continue;
      typeSeen = true;
      if (!ResourceNamesMatch(entry.name, name)) continue;
      nameSeen = true;
      if (language != LANG_NEUTRAL) {
        if (entry.language == language) return &entry;
        continue;
      }
      if (entry.language == kDeviceLanguage && inDeviceLanguage == nullptr) inDeviceLanguage = &entry;
      if (inAnyLanguage == nullptr) inAnyLanguage = &entry;
    }
  }
  if (inDeviceLanguage) return inDeviceLanguage;
  if (inAnyLanguage) return inAnyLanguage;
  *error = !typeSeen   ? ERROR_RESOURCE_TYPE_NOT_FOUND
           : !nameSeen ? ERROR_RESOURCE_NAME_NOT_FOUND
                       : ERROR_RESOURCE_LANG_NOT_FOUND;
  return nullptr;
}

bool ResourceRegistry::Owns(HMODULE module, const ResourceEntry* entry) const {
  module = ModuleOrProgram(module);
  std::lock_guard<std::mutex> hold(lock_);
  for (const Table& table : tables_) {
    if (table.module != module) continue;
    // Compared as addresses without forming pointers outside the table.
    if (std::less_equal<const ResourceEntry*>()(table.entries, entry) &&
        std::less<const ResourceEntry*>()(entry, table.entries + table.count)) {
      const auto offset = reinterpret_cast<uintptr_t>(entry) - reinterpret_cast<uintptr_t>(table.entries);
      return offset % sizeof(ResourceEntry) == 0;
    }
  }
  return false;
}

HMODULE ModuleOrProgram(HMODULE module) { return module ? module : GetModuleHandleW(nullptr); }

}  // namespace ui::shell
