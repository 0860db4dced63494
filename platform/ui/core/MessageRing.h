// A queue of posted messages in one growing ring of slots: appending and taking the first cost
// no allocation once the ring has grown to the queue's usual depth.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/ui/Windows.h"

class MessageRing {
 public:
  bool empty() const { return count_ == 0; }
  size_t size() const { return count_; }
  MSG& operator[](size_t i) { return slots_[(head_ + i) & mask_]; }
  MSG& back() { return (*this)[count_ - 1]; }
  void push_back(const MSG& message) {
    if (count_ == capacity_) Grow();
    slots_[(head_ + count_) & mask_] = message;
    ++count_;
  }
  // Removes message `i`, keeping the order of the rest.
  void erase(size_t i) {
    if (i == 0) {
      head_ = (head_ + 1) & mask_;
    } else {
      for (size_t j = i; j + 1 < count_; ++j) (*this)[j] = (*this)[j + 1];
    }
    --count_;
  }
  void clear() { head_ = count_ = 0; }

 private:
  void Grow() {
    const size_t larger = capacity_ == 0 ? 64 : capacity_ * 2;
    std::unique_ptr<MSG[]> slots(new MSG[larger]);
    for (size_t i = 0; i < count_; ++i) slots[i] = (*this)[i];
    slots_ = std::move(slots);
    capacity_ = larger;
    mask_ = larger - 1;
    head_ = 0;
  }
  std::unique_ptr<MSG[]> slots_;
  size_t capacity_ = 0;
  size_t mask_ = 0;
  size_t head_ = 0;
  size_t count_ = 0;
};
