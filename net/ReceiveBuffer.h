// A region of reserved address space whose pages are committed as bytes arrive, so that received
// data grows in place and never moves. A buffer holds at most one region at a time.
#pragma once

#include <cstdint>

class ReceiveBuffer {
 public:
  ReceiveBuffer() = default;
  ReceiveBuffer(const ReceiveBuffer&) = delete;
  ReceiveBuffer& operator=(const ReceiveBuffer&) = delete;
  // Gives back a region that is still held.
  virtual ~ReceiveBuffer();

  // Reserves `size` bytes of address space, committing none. 0 when a region is already held or
  // the reservation fails.
  int32_t Reserve(uint32_t size);
  // Commits room for `count` more bytes and returns where they go, or null when no region is held,
  // the bytes would pass the reserved size, or the pages cannot be committed (then nothing changes).
  uint8_t* Append(uint32_t count);
  // Decommits and gives back the region. 0 when none is held or the system refuses (nothing changes).
  int32_t Release();

  uint32_t reservedSize = 0;  // bytes reserved, exactly as requested
  uint32_t usedSize = 0;      // bytes committed and filled, from `base`
  uint8_t* base = nullptr;    // start of the region; null when none is held
};
