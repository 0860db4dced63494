#include "platform/ui/shell/MenuHandles.h"

#include "platform/kernel/HandleTable.h"

namespace ui::shell {

namespace {

HandleTable<Menu>& Table() {
  static HandleTable<Menu> table(kMenuHandleTag, kMaxLiveUserObjects);
  return table;
}

}  // namespace

HMENU MenuHandles::Build(const MenuTemplate& source) { return BuildLevel(source.items, source.itemCount, 0); }

HMENU MenuHandles::BuildLevel(const MenuItemTemplate* items, UINT count, int depth) {
  if (depth > kMaxDepth || (items == nullptr && count != 0)) return nullptr;
  auto menu = std::make_shared<Menu>();
  bool failed = false;
  for (UINT i = 0; i < count && !failed; ++i) {
    const MenuItemTemplate& source = items[i];
    MenuItem item;
    item.flags = source.flags;
    item.id = source.id;
    if (source.text) item.text = source.text;
    if (item.IsPopup()) {
      item.popup = BuildLevel(source.items, source.itemCount, depth + 1);
      failed = item.popup == nullptr;
    }
    if (!failed) menu->items.push_back(std::move(item));
  }
  if (!failed) {
    if (const uintptr_t handle = Table().Insert(menu)) return reinterpret_cast<HMENU>(handle);
  }
  for (const MenuItem& item : menu->items) {
    if (item.popup) Destroy(item.popup);
  }
  return nullptr;
}

std::shared_ptr<const Menu> MenuHandles::Find(HMENU menu) { return Table().Find(reinterpret_cast<uintptr_t>(menu)); }

bool MenuHandles::Destroy(HMENU menu) {
  const std::shared_ptr<Menu> removed = Table().Remove(reinterpret_cast<uintptr_t>(menu));
  if (!removed) return false;
  for (const MenuItem& item : removed->items) {
    if (item.popup) Destroy(item.popup);
  }
  return true;
}

}  // namespace ui::shell
