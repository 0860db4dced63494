#include "net/ReceiveBuffer.h"

#include "platform/kernel/VirtualMemory.h"

ReceiveBuffer::~ReceiveBuffer() { Release(); }

int32_t ReceiveBuffer::Reserve(uint32_t size) {
  if (base != nullptr) return 0;
  usedSize = 0;
  reservedSize = size;
  base = static_cast<uint8_t*>(VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_READWRITE));
  if (base == nullptr) reservedSize = 0;  // nothing is held, so nothing is reserved
  return base != nullptr ? 1 : 0;
}

uint8_t* ReceiveBuffer::Append(uint32_t count) {
  if (base == nullptr) return nullptr;
  if (uint64_t{usedSize} + count > reservedSize) return nullptr;
  uint8_t* end = base + usedSize;
  // A failed commit must not be written to: report it as no room.
  if (count > 0 && VirtualAlloc(end, count, MEM_COMMIT, PAGE_READWRITE) == nullptr) return nullptr;
  usedSize += count;
  return end;
}

int32_t ReceiveBuffer::Release() {
  if (base == nullptr) return 0;
  // Decommitting with size 0 covers the whole reservation, which is right for an empty region too.
  if (!VirtualFree(base, usedSize, MEM_DECOMMIT)) return 0;
  if (!VirtualFree(base, 0, MEM_RELEASE)) return 0;
  base = nullptr;
  reservedSize = 0;
  usedSize = 0;
  return 1;
}
