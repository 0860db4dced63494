// LoadMenuW, GetSubMenu and DestroyMenu over the menu handles.
#include <cstring>

#include "platform/ui/shell/MenuHandles.h"
#include "platform/ui/shell/ResourceBytes.h"

using ui::shell::MenuHandles;

HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name) {
  const ui::shell::ResourceBytes bytes = ui::shell::FindResourceBytes(instance, name, RT_MENU);
  if (!bytes) return nullptr;
  if (bytes.size != sizeof(MenuTemplate)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  MenuTemplate source{};
  std::memcpy(&source, bytes.data, sizeof source);
  HMENU menu = MenuHandles::Build(source);
  if (menu == nullptr) SetLastError(ERROR_INVALID_PARAMETER);
  return menu;
}

HMENU GetSubMenu(HMENU menu, int position) {
  const auto found = MenuHandles::Find(menu);
  if (!found) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return nullptr;
  }
  if (position < 0 || size_t(position) >= found->items.size()) return nullptr;
  return found->items[size_t(position)].popup;
}

BOOL DestroyMenu(HMENU menu) {
  if (!MenuHandles::Destroy(menu)) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  return TRUE;
}
