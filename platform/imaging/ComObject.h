// The shared part of every object the service hands out: a thread-safe reference count that
// deletes the object when it falls to zero, and QueryInterface for IUnknown and one interface.
#pragma once

#include <atomic>

#include "platform/imaging/ComTypes.h"

namespace imaging {

template <typename Interface>
class ComObject : public Interface {
 public:
  explicit ComObject(const IID& iid) : iid_(iid) {}
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == iid_ || iid == IID_IUnknown) {
      AddRef();
      *object = static_cast<Interface*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }

  ULONG AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

  ULONG Release() override {
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~ComObject() = default;

 private:
  const IID& iid_;
  std::atomic<ULONG> refs_{1};
};

}  // namespace imaging
