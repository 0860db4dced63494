#include <gtest/gtest.h>

#include <cstring>

#include "net/ReceiveBuffer.h"
#include "platform/kernel/VirtualMemory.h"

namespace {

TEST(ReceiveBuffer, ReserveCommitsNothingAndAppendCommitsWhatArrives) {
  const size_t page = VirtualPageSize();
  const size_t before = VirtualCommittedBytes();
  ReceiveBuffer buffer;
  ASSERT_EQ(buffer.Reserve(10 * 1024 * 1024), 1);
  EXPECT_EQ(buffer.reservedSize, 10u * 1024 * 1024);
  EXPECT_EQ(buffer.usedSize, 0u);
  EXPECT_EQ(VirtualCommittedBytes(), before);

  uint8_t* first = buffer.Append(1000);
  ASSERT_EQ(first, buffer.base);
  std::memset(first, 'a', 1000);
  uint8_t* second = buffer.Append(page);  // straddles into the second page
  ASSERT_EQ(second, buffer.base + 1000);
  std::memset(second, 'b', page);
  EXPECT_EQ(buffer.usedSize, 1000 + page);
  EXPECT_EQ(VirtualCommittedBytes(), before + 2 * page);
  // Earlier bytes never move.
  EXPECT_EQ(buffer.base[999], 'a');
  EXPECT_EQ(buffer.base[1000], 'b');

  EXPECT_EQ(buffer.Release(), 1);
  EXPECT_EQ(buffer.base, nullptr);
  EXPECT_EQ(buffer.reservedSize, 0u);
  EXPECT_EQ(buffer.usedSize, 0u);
  EXPECT_EQ(VirtualCommittedBytes(), before);
}

TEST(ReceiveBuffer, HoldsOneRegionAtATimeAndNeverGrowsPastIt) {
  ReceiveBuffer buffer;
  EXPECT_EQ(buffer.Append(1), nullptr);  // no region
  EXPECT_EQ(buffer.Release(), 0);        // nothing to give back
  ASSERT_EQ(buffer.Reserve(100), 1);
  uint8_t* base = buffer.base;
  EXPECT_EQ(buffer.Reserve(200), 0);  // already holds one
  EXPECT_EQ(buffer.base, base);
  EXPECT_EQ(buffer.reservedSize, 100u);
  ASSERT_NE(buffer.Append(60), nullptr);
  EXPECT_EQ(buffer.Append(41), nullptr);  // 101 > 100
  EXPECT_EQ(buffer.usedSize, 60u);
  EXPECT_EQ(buffer.Append(40), base + 60);         // exactly fills it
  EXPECT_EQ(buffer.Append(0xFFFFFFFFu), nullptr);  // no wrap-around of the sum
  EXPECT_EQ(buffer.usedSize, 100u);
}

TEST(ReceiveBuffer, AFailedCommitWritesNothingAndChangesNothing) {
  const size_t page = VirtualPageSize();
  ReceiveBuffer buffer;
  ASSERT_EQ(buffer.Reserve(64 * page), 1);
  ASSERT_NE(buffer.Append(static_cast<uint32_t>(page)), nullptr);
  SetVirtualCommitLimit(VirtualCommittedBytes());  // the device is out of memory
  EXPECT_EQ(buffer.Append(1), nullptr);
  SetVirtualCommitLimit(SIZE_MAX);
  EXPECT_EQ(buffer.usedSize, page);
  EXPECT_NE(buffer.Append(1), nullptr);
}

TEST(ReceiveBuffer, DestroyingABufferGivesItsRegionBack) {
  const size_t before = VirtualCommittedBytes();
  {
    ReceiveBuffer buffer;
    ASSERT_EQ(buffer.Reserve(1 << 20), 1);
    ASSERT_NE(buffer.Append(50000), nullptr);
    EXPECT_GT(VirtualCommittedBytes(), before);
  }
  EXPECT_EQ(VirtualCommittedBytes(), before);
}

}  // namespace
