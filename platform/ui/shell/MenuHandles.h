// Menus by checked handle. A menu's popups have handles of their own and go with it.
#pragma once

#include <memory>

#include "platform/ui/Resources.h"
#include "platform/ui/shell/Menu.h"

namespace ui::shell {

class MenuHandles {
 public:
  // Builds the menu and its popups from a template; null for a template nested deeper than
  // kMaxDepth (a cycle) or when the table is full.
  static HMENU Build(const MenuTemplate& source);
  static std::shared_ptr<const Menu> Find(HMENU menu);
  // Removes the menu and, recursively, its popups. False when the handle is not live.
  static bool Destroy(HMENU menu);

  static constexpr int kMaxDepth = 8;

 private:
  static HMENU BuildLevel(const MenuItemTemplate* items, UINT count, int depth);
};

}  // namespace ui::shell
