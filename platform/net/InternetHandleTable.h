// The open client handles: sessions, connections and requests in one kernel handle table, so a
// closed or made-up handle can only fail to be found; it can never reach a different object.
#pragma once

#include <memory>

#include "platform/kernel/HandleTable.h"
#include "platform/kernel/PlatformTypes.h"
#include "platform/net/InternetObject.h"
#include "platform/net/WinInet.h"

class InternetHandleTable {
 public:
  static HandleTable<InternetObject>& Get() {
    // Never destroyed: threads may outlive main.
    static auto* table = new HandleTable<InternetObject>(kInternetHandleTag);
    return *table;
  }

  // The object, or null with `error` set: ERROR_INVALID_HANDLE for a handle that is not open,
  // ERROR_INTERNET_INCORRECT_HANDLE_TYPE for one of another kind.
  template <typename T>
  static std::shared_ptr<T> FindAs(HINTERNET handle, DWORD* error) {
    std::shared_ptr<InternetObject> object = Get().Find(reinterpret_cast<uintptr_t>(handle));
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
};
