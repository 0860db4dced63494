#include "platform/kernel/VirtualMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <limits>
#include <map>
#include <mutex>
#include <vector>

namespace {

struct Reservation {
  size_t size = 0;              // bytes, a whole number of pages
  std::vector<bool> committed;  // one flag per page
};

// Every live reservation by its start address; Linux does not remember the length of a mapping,
// the platform does.
class ReservationTable {
 public:
  static ReservationTable& Get() {
    static ReservationTable* table = new ReservationTable();
    return *table;
  }

  std::mutex mutex;
  std::map<uintptr_t, Reservation> reservations;
  size_t committedBytes = 0;
  size_t commitLimit = std::numeric_limits<size_t>::max();

  // The reservation that holds [start, end), or end().
  std::map<uintptr_t, Reservation>::iterator Holding(uintptr_t start, uintptr_t end) {
    auto it = reservations.upper_bound(start);
    if (it == reservations.begin()) return reservations.end();
    --it;
    if (start < it->first || end > it->first + it->second.size) return reservations.end();
    return it;
  }
};

size_t PageSize() {
  static const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  return page;
}

uintptr_t RoundDown(uintptr_t value) { return value & ~(PageSize() - 1); }

bool RoundUp(uintptr_t value, uintptr_t* out) {
  if (value > std::numeric_limits<uintptr_t>::max() - (PageSize() - 1)) return false;
  *out = (value + PageSize() - 1) & ~(PageSize() - 1);
  return true;
}

// Commits the pages [start, end) of a reservation; the table's mutex is held.
bool CommitPages(ReservationTable& table, uintptr_t base, Reservation& r, uintptr_t start, uintptr_t end) {
  size_t newPages = 0;
  for (uintptr_t page = start; page < end; page += PageSize()) {
    if (!r.committed[(page - base) / PageSize()]) ++newPages;
  }
  // Committing pages that are all committed already changes nothing: no call into the kernel (a
  // receive buffer commits every chunk it appends, mostly inside the page it is filling).
  if (newPages == 0) return true;
  const size_t newBytes = newPages * PageSize();
  if (newBytes > table.commitLimit || table.committedBytes > table.commitLimit - newBytes) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  if (::mprotect(reinterpret_cast<void*>(start), end - start, PROT_READ | PROT_WRITE) != 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  for (uintptr_t page = start; page < end; page += PageSize()) r.committed[(page - base) / PageSize()] = true;
  table.committedBytes += newBytes;
  return true;
}

// Gives the pages [start, end) back to the system; the table's mutex is held. Mapping the range
// again without access drops both the pages and their commit charge (madvise would keep the charge).
bool DecommitPages(ReservationTable& table, uintptr_t base, Reservation& r, uintptr_t start, uintptr_t end) {
  void* again = ::mmap(reinterpret_cast<void*>(start), end - start, PROT_NONE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED | MAP_NORESERVE, -1, 0);
  if (again == MAP_FAILED) return false;
  for (uintptr_t page = start; page < end; page += PageSize()) {
    const size_t i = (page - base) / PageSize();
    if (r.committed[i]) table.committedBytes -= PageSize();
    r.committed[i] = false;
  }
  return true;
}

}  // namespace

size_t VirtualPageSize() { return PageSize(); }

LPVOID VirtualAlloc(LPVOID address, size_t size, DWORD allocationType, DWORD protect) {
  ReservationTable& table = ReservationTable::Get();
  const bool reserve = (allocationType & MEM_RESERVE) != 0;
  const bool commit = (allocationType & MEM_COMMIT) != 0;
  if (size == 0 || (!reserve && !commit) || (allocationType & ~(MEM_RESERVE | MEM_COMMIT)) != 0 ||
      (commit && protect != PAGE_READWRITE) || (protect != PAGE_READWRITE && protect != PAGE_NOACCESS)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (reserve) {
    uintptr_t length = 0;
    if (address != nullptr || !RoundUp(size, &length)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    void* base = ::mmap(nullptr, length, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    std::lock_guard<std::mutex> guard(table.mutex);
    const auto key = reinterpret_cast<uintptr_t>(base);
    Reservation& r = table.reservations[key];
    r.size = length;
    r.committed.assign(length / PageSize(), false);
    if (commit && !CommitPages(table, key, r, key, key + length)) {
      ::munmap(base, length);
      table.reservations.erase(key);
      return nullptr;
    }
    return base;
  }
  // Commit inside an existing reservation.
  const auto first = reinterpret_cast<uintptr_t>(address);
  uintptr_t end = 0;
  if (address == nullptr || first > std::numeric_limits<uintptr_t>::max() - size || !RoundUp(first + size, &end)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const uintptr_t start = RoundDown(first);
  std::lock_guard<std::mutex> guard(table.mutex);
  auto it = table.Holding(start, end);
  if (it == table.reservations.end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!CommitPages(table, it->first, it->second, start, end)) return nullptr;
  return reinterpret_cast<LPVOID>(start);
}

BOOL VirtualFree(LPVOID address, size_t size, DWORD freeType) {
  ReservationTable& table = ReservationTable::Get();
  const auto first = reinterpret_cast<uintptr_t>(address);
  std::lock_guard<std::mutex> guard(table.mutex);
  if (freeType == MEM_RELEASE) {
    auto it = table.reservations.find(first);
    if (size != 0 || it == table.reservations.end()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    if (::munmap(address, it->second.size) != 0) return FALSE;
    for (bool c : it->second.committed) {
      if (c) table.committedBytes -= PageSize();
    }
    table.reservations.erase(it);
    return TRUE;
  }
  if (freeType != MEM_DECOMMIT || address == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  uintptr_t start = RoundDown(first);
  uintptr_t end = 0;
  if (size == 0) {
    auto it = table.reservations.find(first);
    if (it == table.reservations.end()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    end = first + it->second.size;
  } else if (first > std::numeric_limits<uintptr_t>::max() - size || !RoundUp(first + size, &end)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto it = table.Holding(start, end);
  if (it == table.reservations.end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return DecommitPages(table, it->first, it->second, start, end) ? TRUE : FALSE;
}

void SetVirtualCommitLimit(size_t bytes) {
  ReservationTable& table = ReservationTable::Get();
  std::lock_guard<std::mutex> guard(table.mutex);
  table.commitLimit = bytes;
}

size_t VirtualCommittedBytes() {
  ReservationTable& table = ReservationTable::Get();
  std::lock_guard<std::mutex> guard(table.mutex);
  return table.committedBytes;
}
