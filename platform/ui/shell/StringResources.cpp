// LoadStringW: a string resource is UTF-16 text; its terminator is optional in the data, and
// nothing past the resource's size is ever read.
#include <algorithm>
#include <cstring>

#include "platform/ui/shell/ResourceBytes.h"

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  buffer[0] = 0;
  if (id > 0xFFFF) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  const ui::shell::ResourceBytes bytes = ui::shell::FindResourceBytes(instance, MAKEINTRESOURCEW(WORD(id)), RT_STRING);
  if (!bytes) return 0;
  size_t length = 0;
  const size_t units = bytes.size / sizeof(WCHAR);
  WCHAR unit = 0;
  // Read unit by unit: the data need not be aligned for WCHAR.
  while (length < units && (std::memcpy(&unit, bytes.data + length * sizeof(WCHAR), sizeof unit), unit != 0)) {
    ++length;
  }
  const size_t copied = std::min(length, size_t(capacity - 1));
  std::memcpy(buffer, bytes.data, copied * sizeof(WCHAR));
  buffer[copied] = 0;
  return int(copied);
}
