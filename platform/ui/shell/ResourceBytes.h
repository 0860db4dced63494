// One resource's bytes found and loaded in a single step, for the loaders of strings, icons,
// menus, accelerators, dialogs and the menu bar.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ui/Windows.h"

namespace ui::shell {

struct ResourceBytes {
  const uint8_t* data = nullptr;
  size_t size = 0;
  explicit operator bool() const { return data != nullptr; }
};

// Empty (last error set by the lookup) when the resource does not exist.
ResourceBytes FindResourceBytes(HMODULE module, LPCWSTR name, LPCWSTR type);

}  // namespace ui::shell
