// A bounded first-in first-out store of body bytes that arrived while no read was waiting for them.
// Its capacity is fixed when it is made; the storage is allocated on first use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class OverflowBuffer {
 public:
  explicit OverflowBuffer(size_t capacity) : capacity_(capacity) {}

  size_t Size() const { return size_; }
  size_t Free() const { return capacity_ - size_; }
  size_t Capacity() const { return capacity_; }

  // Appends all `count` bytes, or nothing and false when they do not fit.
  bool Push(const uint8_t* data, size_t count);

  // Moves up to `count` of the oldest bytes to `out`; returns how many were moved.
  size_t Pop(uint8_t* out, size_t count);

 private:
  size_t capacity_;
  std::unique_ptr<uint8_t[]> storage_;
  size_t head_ = 0;  // index of the oldest byte
  size_t size_ = 0;
};
