// Accelerator tables by checked handle: loading, creating, destroying and translating keys.
#include <cstring>
#include <memory>

#include "platform/kernel/HandleTable.h"
#include "platform/ui/shell/AcceleratorTable.h"
#include "platform/ui/shell/ResourceBytes.h"

using ui::shell::AcceleratorTable;

namespace {

HandleTable<AcceleratorTable>& Tables() {
  static HandleTable<AcceleratorTable> tables(kAcceleratorHandleTag, kMaxLiveUserObjects);
  return tables;
}

HACCEL Store(std::vector<ACCEL> entries) {
  const uintptr_t handle = Tables().Insert(std::make_shared<AcceleratorTable>(std::move(entries)));
  if (handle == 0) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return reinterpret_cast<HACCEL>(handle);
}

bool KeyDown(int key) { return GetKeyState(key) < 0; }

}  // namespace

HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count) {
  if (entries == nullptr || count <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return Store(std::vector<ACCEL>(entries, entries + count));
}

HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name) {
  const ui::shell::ResourceBytes bytes = ui::shell::FindResourceBytes(instance, name, RT_ACCELERATOR);
  if (!bytes) return nullptr;
  std::vector<ACCEL> entries;
  for (size_t offset = 0; offset + sizeof(ACCEL) <= bytes.size; offset += sizeof(ACCEL)) {
    ACCEL entry{};
    std::memcpy(&entry, bytes.data + offset, sizeof entry);
    entries.push_back(entry);
    if (entry.fVirt & FLASTENTRY) break;
  }
  if (entries.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return Store(std::move(entries));
}

BOOL DestroyAcceleratorTable(HACCEL table) {
  if (!Tables().Remove(reinterpret_cast<uintptr_t>(table))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

int TranslateAcceleratorW(HWND window, HACCEL table, MSG* message) {
  const std::shared_ptr<AcceleratorTable> accelerators = Tables().Find(reinterpret_cast<uintptr_t>(table));
  if (accelerators == nullptr || message == nullptr) {
    SetLastError(accelerators == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (message->message != WM_KEYDOWN && message->message != WM_CHAR) return 0;
  if (!IsWindow(window)) return 0;
  // GetKeyState answers for the moment the message being handled was retrieved.
  const ui::shell::KeyModifiers modifiers{KeyDown(VK_CONTROL), KeyDown(VK_SHIFT), KeyDown(VK_MENU)};
  const std::optional<WORD> command = accelerators->Match(message->message, message->wParam, modifiers);
  if (!command) return 0;
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(*command, 1), 0);
  return 1;
}
