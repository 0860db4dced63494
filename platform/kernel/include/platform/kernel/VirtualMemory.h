// Virtual memory of the platform kernel: reserve address space, commit and decommit pages of it,
// give the reservation back.
#pragma once

#include "platform/kernel/PlatformTypes.h"

constexpr DWORD MEM_COMMIT = 0x1000;
constexpr DWORD MEM_RESERVE = 0x2000;
constexpr DWORD MEM_DECOMMIT = 0x4000;
constexpr DWORD MEM_RELEASE = 0x8000;

constexpr DWORD PAGE_NOACCESS = 0x01;
constexpr DWORD PAGE_READWRITE = 0x04;

// MEM_RESERVE (with PAGE_NOACCESS or PAGE_READWRITE): reserves `size` bytes at an address of the
// system's choosing (`address` must be null); nothing is committed. MEM_COMMIT with
// PAGE_READWRITE: commits the pages covering [address, address + size) inside one reservation.
// MEM_RESERVE | MEM_COMMIT does both. Returns the region's start (for a commit, the start of the
// first page committed), or null on failure.
LPVOID VirtualAlloc(LPVOID address, size_t size, DWORD allocationType, DWORD protect);

// MEM_DECOMMIT: gives back the pages covering [address, address + size) of one reservation, which
// stays reserved (size 0 decommits the whole reservation that starts at `address`).
// MEM_RELEASE: gives back the whole reservation starting at `address`; `size` must be 0.
BOOL VirtualFree(LPVOID address, size_t size, DWORD freeType);

// Size of one page in bytes.
size_t VirtualPageSize();

// The emulated device's memory: at most this many bytes may be committed at once in the process
// (all reservations together). A commit beyond it fails as the device's would when memory runs
// out. The default is no limit; tests lower it to exercise out-of-memory paths.
void SetVirtualCommitLimit(size_t bytes);
size_t VirtualCommittedBytes();
