#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/kernel/VirtualMemory.h"

namespace {

constexpr size_t kMiB = 1024 * 1024;

size_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t total = 0, resident = 0;
  statm >> total >> resident;
  return resident * VirtualPageSize();
}

// The access rights of the mapping that holds `address` ("rw-p", "---p"), or "" when unmapped.
std::string MappingRights(const void* address) {
  std::ifstream maps("/proc/self/maps");
  const auto a = reinterpret_cast<uintptr_t>(address);
  std::string line;
  while (std::getline(maps, line)) {
    unsigned long start = 0, end = 0;
    char rights[5] = {};
    if (std::sscanf(line.c_str(), "%lx-%lx %4s", &start, &end, rights) == 3 && a >= start && a < end) {
      return rights;
    }
  }
  return "";
}

TEST(VirtualMemory, ReservingTenMebibytesCommitsNothing) {
  ResidentBytes();  // the first read allocates; measure only after it
  const size_t committedBefore = VirtualCommittedBytes();
  const size_t before = ResidentBytes();
  void* base = VirtualAlloc(nullptr, 10 * kMiB, MEM_RESERVE, PAGE_NOACCESS);
  const size_t after = ResidentBytes();
  ASSERT_NE(base, nullptr);
  EXPECT_LT(after, before + kMiB);  // far below the 10 MiB reserved
  EXPECT_EQ(MappingRights(base), "---p");
  EXPECT_EQ(VirtualCommittedBytes(), committedBefore);
  EXPECT_TRUE(VirtualFree(base, 0, MEM_RELEASE));
}

TEST(VirtualMemory, CommitDecommitAndReleaseChangeWhatIsBackedAndReadable) {
  const size_t page = VirtualPageSize();
  auto* base = static_cast<unsigned char*>(VirtualAlloc(nullptr, 4 * kMiB, MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(base, nullptr);
  const size_t committedBefore = VirtualCommittedBytes();

  // Committing 10 bytes that straddle a page boundary commits exactly the two pages they touch.
  unsigned char* at = base + page - 5;
  ASSERT_EQ(VirtualAlloc(at, 10, MEM_COMMIT, PAGE_READWRITE), base);
  EXPECT_EQ(VirtualCommittedBytes(), committedBefore + 2 * page);
  EXPECT_EQ(MappingRights(base), "rw-p");
  EXPECT_EQ(MappingRights(base + 2 * page), "---p");
  std::memset(at, 0xAB, 10);

  // Committing again adds nothing; the bytes stay.
  ASSERT_NE(VirtualAlloc(base, 2 * page, MEM_COMMIT, PAGE_READWRITE), nullptr);
  EXPECT_EQ(VirtualCommittedBytes(), committedBefore + 2 * page);
  EXPECT_EQ(at[9], 0xAB);

  // Filling 2 MiB raises the resident size by about that much; decommitting gives it back.
  ASSERT_NE(VirtualAlloc(base, 2 * kMiB, MEM_COMMIT, PAGE_READWRITE), nullptr);
  const size_t beforeFill = ResidentBytes();
  std::memset(base, 1, 2 * kMiB);
  EXPECT_GE(ResidentBytes(), beforeFill + kMiB);
  const size_t filled = ResidentBytes();
  EXPECT_TRUE(VirtualFree(base, 2 * kMiB, MEM_DECOMMIT));
  EXPECT_LE(ResidentBytes() + kMiB, filled);
  EXPECT_EQ(VirtualCommittedBytes(), committedBefore);
  EXPECT_EQ(MappingRights(base), "---p");

  // A page committed again after a decommit reads as zeros.
  ASSERT_NE(VirtualAlloc(base, 1, MEM_COMMIT, PAGE_READWRITE), nullptr);
  EXPECT_EQ(base[0], 0);

  EXPECT_TRUE(VirtualFree(base, 0, MEM_RELEASE));
  EXPECT_EQ(MappingRights(base), "");
  EXPECT_EQ(VirtualCommittedBytes(), committedBefore);
  EXPECT_FALSE(VirtualFree(base, 0, MEM_RELEASE));  // already given back
}

TEST(VirtualMemory, RefusesCommitsOutsideAReservationAndMisusedFrees) {
  void* base = VirtualAlloc(nullptr, 64 * 1024, MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_NE(base, nullptr);
  auto* bytes = static_cast<unsigned char*>(base);
  EXPECT_EQ(VirtualAlloc(bytes + 60 * 1024, 8 * 1024, MEM_COMMIT, PAGE_READWRITE), nullptr);  // runs past the end
  EXPECT_EQ(VirtualAlloc(bytes, 16, MEM_COMMIT, PAGE_NOACCESS), nullptr);
  EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_RESERVE, PAGE_NOACCESS), nullptr);
  EXPECT_FALSE(VirtualFree(bytes, 4096, MEM_RELEASE));      // release takes size 0
  EXPECT_FALSE(VirtualFree(bytes + 4096, 0, MEM_RELEASE));  // and the reservation's start
  EXPECT_TRUE(VirtualFree(base, 0, MEM_RELEASE));
}

TEST(VirtualMemory, ACommitBeyondTheDeviceLimitFailsAndCommitsNothing) {
  const size_t page = VirtualPageSize();
  void* base = VirtualAlloc(nullptr, 1 * kMiB, MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_NE(base, nullptr);
  const size_t before = VirtualCommittedBytes();
  SetVirtualCommitLimit(before + 2 * page);
  EXPECT_NE(VirtualAlloc(base, 2 * page, MEM_COMMIT, PAGE_READWRITE), nullptr);
  EXPECT_EQ(VirtualAlloc(base, 3 * page, MEM_COMMIT, PAGE_READWRITE), nullptr);
  EXPECT_EQ(VirtualCommittedBytes(), before + 2 * page);
  EXPECT_EQ(MappingRights(static_cast<char*>(base) + 2 * page), "---p");
  SetVirtualCommitLimit(SIZE_MAX);
  EXPECT_TRUE(VirtualFree(base, 0, MEM_RELEASE));
  EXPECT_EQ(VirtualCommittedBytes(), before);
}

}  // namespace
