// A table of live objects named by handle values that can be checked: each value carries the
// slot's index, the slot's generation (bumped when the object is removed) and the table's tag. A
// removed value, or one of another table, is never found, so a stale handle cannot reach freed
// memory or a later object that reuses its slot (a value comes back only after its slot has been
// reused 2^24 times). Lookups hand out shared ownership, so an object removed by one thread stays
// alive while another thread is still inside a call with it.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

// One tag per table, so that a handle passed to a call for another kind is refused.
enum HandleTag : uint8_t {
  kMenuHandleTag = 0x3E,
  kIconHandleTag = 0x49,
  kInternetHandleTag = 0x4E,
  kThreadHandleTag = 0x54,
  kGdiObjectHandleTag = 0x6B,
  kDeviceContextHandleTag = 0x6D,
  kAcceleratorHandleTag = 0xAC,
};

// The bound on live GDI objects, menus and accelerator tables; the platform allows far fewer.
constexpr uint32_t kMaxLiveUserObjects = 1u << 16;

template <typename T>
class HandleTable {
 public:
  static constexpr uint32_t kIndexBits = 20;
  static constexpr uint32_t kGenerationBits = 24;

  explicit HandleTable(HandleTag tag, uint32_t maxLiveObjects = 1u << kIndexBits)
      : tag_(tag), maxLiveObjects_(maxLiveObjects) {}

  // Stores `object`; 0 when the table is full.
  uintptr_t Insert(std::shared_ptr<T> object) {
    std::lock_guard<std::mutex> lock(mutex_);
    uint32_t index;
    if (!free_.empty()) {
      index = free_.front();  // oldest freed slot first: a slot is reused as late as possible
      free_.pop_front();
    } else {
      if (slots_.size() >= maxLiveObjects_) return 0;
      index = static_cast<uint32_t>(slots_.size());
      slots_.push_back(Slot{1, nullptr});
    }
    slots_[index].object = std::move(object);
    return Encode(index, slots_[index].generation);
  }

  std::shared_ptr<T> Find(uintptr_t handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const Slot* slot = SlotOf(handle);
    return slot ? slot->object : nullptr;
  }

  // Removes the object; returns it (null when the handle was not live).
  std::shared_ptr<T> Remove(uintptr_t handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot* slot = const_cast<Slot*>(SlotOf(handle));
    if (!slot) return nullptr;
    std::shared_ptr<T> object = std::move(slot->object);
    slot->object = nullptr;
    slot->generation = NextGeneration(slot->generation);
    free_.push_back(static_cast<uint32_t>(slot - slots_.data()));
    return object;
  }

  size_t LiveCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return slots_.size() - free_.size();
  }

 private:
  struct Slot {
    uint32_t generation;
    std::shared_ptr<T> object;
  };

  static uint32_t NextGeneration(uint32_t g) {
    const uint32_t next = (g + 1) & ((1u << kGenerationBits) - 1);
    return next == 0 ? 1 : next;
  }

  uintptr_t Encode(uint32_t index, uint32_t generation) const {
    return (uintptr_t(tag_) << 56) | (uintptr_t(generation) << kIndexBits) | index;
  }

  const Slot* SlotOf(uintptr_t handle) const {
    if ((handle >> 56) != tag_) return nullptr;
    const uint32_t index = uint32_t(handle & ((uintptr_t(1) << kIndexBits) - 1));
    const uint32_t generation = uint32_t((handle >> kIndexBits) & ((uintptr_t(1) << kGenerationBits) - 1));
    if (index >= slots_.size()) return nullptr;
    const Slot& slot = slots_[index];
    if (slot.generation != generation || !slot.object) return nullptr;
    return &slot;
  }

  const HandleTag tag_;
  const uint32_t maxLiveObjects_;
  mutable std::mutex mutex_;
  std::vector<Slot> slots_;
  std::deque<uint32_t> free_;
};
