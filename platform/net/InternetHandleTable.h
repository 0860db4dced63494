// The open client handles. A handle value names one object and is never given out again, so a
// closed or made-up handle can only fail to be found; it can never reach a different object.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/kernel/PlatformTypes.h"
#include "platform/net/InternetObject.h"
#include "platform/net/WinInet.h"

class InternetHandleTable {
 public:
  static InternetHandleTable& Get();

  void* Add(std::shared_ptr<InternetObject> object);

  // The object, or null with `error` set: ERROR_INVALID_HANDLE for a handle that is not open,
  // ERROR_INTERNET_INCORRECT_HANDLE_TYPE for one of another kind.
  template <typename T>
  std::shared_ptr<T> FindAs(void* handle, DWORD* error) {
    std::shared_ptr<InternetObject> object = Find(handle);
    if (object == nullptr) {
      *error = ERROR_INVALID_HANDLE;
      return nullptr;
    }
    if (object->GetKind() != T::kKind) {
      *error = ERROR_INTERNET_INCORRECT_HANDLE_TYPE;
      return nullptr;
    }
    return std::static_pointer_cast<T>(object);
  }

  std::shared_ptr<InternetObject> Find(void* handle);
  // Takes the handle out of the table; null when it was not open.
  std::shared_ptr<InternetObject> Remove(void* handle);

 private:
  // Handle values start far from the kernel's, so that a thread handle passed here by mistake
  // is refused rather than taken for a client handle.
  static constexpr uintptr_t kFirstKey = uintptr_t{0x4E45} << 32;

  std::mutex mutex_;
  uintptr_t nextKey_ = kFirstKey;
  std::unordered_map<uintptr_t, std::shared_ptr<InternetObject>> objects_;
};
