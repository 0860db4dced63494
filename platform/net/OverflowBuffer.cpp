#include "platform/net/OverflowBuffer.h"

#include <algorithm>
#include <cstring>

bool OverflowBuffer::Push(const uint8_t* data, size_t count) {
  if (count > Free()) return false;
  if (count == 0) return true;
  // Not zeroed: only bytes pushed are ever read, and zeroing the whole capacity for every transfer
  // cost more than the tile it held.
  if (!storage_) storage_.reset(new uint8_t[capacity_]);
  const size_t tail = (head_ + size_) % capacity_;
  const size_t first = std::min(count, capacity_ - tail);
  std::memcpy(storage_.get() + tail, data, first);
  std::memcpy(storage_.get(), data + first, count - first);
  size_ += count;
  return true;
}

size_t OverflowBuffer::Pop(uint8_t* out, size_t count) {
  const size_t taken = std::min(count, size_);
  if (taken == 0) return 0;
  const size_t first = std::min(taken, capacity_ - head_);
  std::memcpy(out, storage_.get() + head_, first);
  std::memcpy(out + first, storage_.get(), taken - first);
  head_ = (head_ + taken) % capacity_;
  size_ -= taken;
  if (size_ == 0) head_ = 0;
  return taken;
}
