#include "platform/imaging/IconTable.h"

#include <utility>

namespace imaging {

IconTable& IconTable::Instance() {
  static IconTable table;
  return table;
}

uintptr_t IconTable::Add(std::shared_ptr<const DecodedImage> pixels) {
  std::lock_guard<std::mutex> hold(lock_);
  const uintptr_t handle = next_++;
  icons_.emplace(handle, std::move(pixels));
  return handle;
}

std::shared_ptr<const DecodedImage> IconTable::Find(uintptr_t handle) const {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = icons_.find(handle);
  return it == icons_.end() ? nullptr : it->second;
}

bool IconTable::Remove(uintptr_t handle) {
  std::lock_guard<std::mutex> hold(lock_);
  return icons_.erase(handle) == 1;
}

}  // namespace imaging
