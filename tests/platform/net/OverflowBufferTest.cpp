// The bounded store of early body bytes: first in, first out across the wrap of its storage, and
// all or nothing when bytes do not fit.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "platform/net/OverflowBuffer.h"

namespace {

TEST(OverflowBuffer, KeepsOrderAcrossTheWrapAndRefusesWhatDoesNotFit) {
  OverflowBuffer buffer(10);
  std::vector<uint8_t> bytes(30);
  std::iota(bytes.begin(), bytes.end(), uint8_t{1});
  ASSERT_TRUE(buffer.Push(bytes.data(), 7));
  uint8_t out[16] = {};
  ASSERT_EQ(buffer.Pop(out, 5), 5u);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 5), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 5));
  // 2 held; 8 more wrap around the end of the storage.
  ASSERT_TRUE(buffer.Push(bytes.data() + 7, 8));
  EXPECT_EQ(buffer.Free(), 0u);
  EXPECT_FALSE(buffer.Push(bytes.data() + 15, 1));
  EXPECT_EQ(buffer.Size(), 10u) << "a refused push adds nothing";
  ASSERT_EQ(buffer.Pop(out, 16), 10u);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 10), std::vector<uint8_t>(bytes.begin() + 5, bytes.begin() + 15));
  EXPECT_EQ(buffer.Pop(out, 16), 0u);
}

}  // namespace
