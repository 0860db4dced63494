// The handheld shell's calls: extra controls, the soft-key menu bar from its raw definition, and
// the activation / setting-change handlers. SHInitDialog lives with the dialogs.
#include <vector>

#include "platform/ui/Shell.h"
#include "platform/ui/shell/MenuBarDefinition.h"
#include "platform/ui/shell/ResourceBytes.h"
#include "platform/ui/shell/SoftKeyBar.h"
#include "platform/ui/shell/WindowTree.h"

using ui::shell::MenuBarDefinition;
using ui::shell::SoftKey;

namespace {

constexpr DWORD kErrorInvalidData = 13;
constexpr int kLabelCapacity = 128;

// The keys of a definition with their labels and popups; false (and `menu` destroyed) when a key
// names a popup that the menu does not have.
bool BuildKeys(const MenuBarDefinition& definition, HINSTANCE resources, HMENU menu, std::vector<SoftKey>* keys) {
  for (const ui::shell::SoftKeyDefinition& source : definition.keys) {
    SoftKey key;
    WCHAR label[kLabelCapacity] = {};
    if (source.stringId != 0) LoadStringW(resources, source.stringId, label, kLabelCapacity);
    key.label = label;
    key.command = source.command;
    key.enabled = source.IsEnabled();
    if (source.HasPopup()) {
      HMENU popup = menu ? GetSubMenu(menu, source.popupIndex) : nullptr;
      if (popup == nullptr) return false;
      if (source.IsDropDown()) key.popup = popup;
    }
    keys->push_back(std::move(key));
  }
  return true;
}

}  // namespace

BOOL SHInitExtraControls() { return TRUE; }

BOOL SHCreateMenuBar(SHMENUBARINFO* info) {
  if (info == nullptr || info->cbSize != sizeof(SHMENUBARINFO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->hwndMB = nullptr;
  if (!IsWindow(info->hwndParent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  std::vector<SoftKey> keys;
  HMENU menu = nullptr;
  if (!(info->dwFlags & SHCMBF_EMPTYBAR)) {
    if (info->nToolBarId == 0 || info->nToolBarId > 0xFFFF) {
      SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
      return FALSE;
    }
    const ui::shell::ResourceBytes bytes =
        ui::shell::FindResourceBytes(info->hInstRes, MAKEINTRESOURCEW(WORD(info->nToolBarId)), RT_RCDATA);
    if (!bytes) return FALSE;
    const auto definition = MenuBarDefinition::Parse(bytes.data, bytes.size);
    if (!definition) {
      SetLastError(kErrorInvalidData);
      return FALSE;
    }
    bool needsMenu = false;
    for (const auto& key : definition->keys) needsMenu = needsMenu || key.HasPopup();
    if (needsMenu) {
      menu = LoadMenuW(info->hInstRes, MAKEINTRESOURCEW(definition->menuId));
      if (menu == nullptr) return FALSE;
    }
    if (!BuildKeys(*definition, info->hInstRes, menu, &keys)) {
      if (menu) DestroyMenu(menu);
      SetLastError(kErrorInvalidData);
      return FALSE;
    }
  }
  info->hwndMB = ui::shell::CreateSoftKeyBar(info->hwndParent, info->hInstRes, std::move(keys), menu);
  return info->hwndMB != nullptr;
}

BOOL SHHandleWMActivate(HWND window, WPARAM first, LPARAM /*second*/, SHACTIVATEINFO* info, DWORD /*flags*/) {
  if (info == nullptr || info->cbSize != sizeof(SHACTIVATEINFO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (LOWORD(first) == WA_INACTIVE) {
    info->fActive = 0;
    HWND focus = GetFocus();
    if (ui::shell::IsSelfOrDescendant(window, focus)) info->hwndLastFocus = focus;
  } else {
    info->fActive = 1;
    if (info->hwndLastFocus != nullptr && IsWindow(info->hwndLastFocus) &&
        ui::shell::IsSelfOrDescendant(window, info->hwndLastFocus)) {
      SetFocus(info->hwndLastFocus);
    }
  }
  return TRUE;
}

BOOL SHHandleWMSettingChange(HWND /*window*/, WPARAM /*first*/, LPARAM /*second*/, SHACTIVATEINFO* info) {
  if (info == nullptr || info->cbSize != sizeof(SHACTIVATEINFO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The emulated device has no input panel to follow; the record stays as it is.
  return TRUE;
}
