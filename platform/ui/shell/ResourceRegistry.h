// The resource tables registered per module, and lookups in them. The registry is made on first
// use, so tables can be registered from static initialisers in any order. An HRSRC is the address
// of its ResourceEntry; every call checks that it names a registered entry before reading it.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

#include "platform/ui/Resources.h"

namespace ui::shell {

class ResourceRegistry {
 public:
  // The language looked for first when none is asked for.
  static constexpr WORD kDeviceLanguage = 1042;

  static ResourceRegistry& Instance();

  void Add(HMODULE module, const ResourceEntry* entries, size_t count);

  // The entry of `type` and `name` in `language`; LANG_NEUTRAL asks for the device language
  // first, then any. Null with the platform's error code in `error` when nothing matches.
  const ResourceEntry* Find(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, DWORD* error) const;

  // True when `entry` is one of `module`'s registered entries.
  bool Owns(HMODULE module, const ResourceEntry* entry) const;

 private:
  struct Table {
    HMODULE module;
    const ResourceEntry* entries;
    size_t count;
  };

  mutable std::mutex lock_;
  std::vector<Table> tables_;
};

// Null means the program's own module, as in the platform's resource calls.
HMODULE ModuleOrProgram(HMODULE module);

}  // namespace ui::shell
