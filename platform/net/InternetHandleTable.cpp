#include "platform/net/InternetHandleTable.h"


InternetHandleTable& InternetHandleTable::Get() {
  static InternetHandleTable* table = new InternetHandleTable();  // never destroyed: threads may outlive main
  return *table;
}

void* InternetHandleTable::Add(std::shared_ptr<InternetObject> object) {
  std::lock_guard<std::mutex> guard(mutex_);
  const uintptr_t key = nextKey_++;
  objects_.emplace(key, std::move(object));
  return reinterpret_cast<void*>(key);
}

std::shared_ptr<InternetObject> InternetHandleTable::Find(void* handle) {
  std::lock_guard<std::mutex> guard(mutex_);
  auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
  return it == objects_.end() ? nullptr : it->second;
}

std::shared_ptr<InternetObject> InternetHandleTable::Remove(void* handle) {
  std::lock_guard<std::mutex> guard(mutex_);
  auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
  if (it == objects_.end()) return nullptr;
  std::shared_ptr<InternetObject> object = std::move(it->second);
  objects_.erase(it);
  return object;
}
