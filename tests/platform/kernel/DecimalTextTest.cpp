#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

#include "platform/kernel/DecimalText.h"

namespace {

TEST(ParseDecimal, TakesOnlyWholeNumbersThatFitTheType) {
  uint32_t u = 7;
  EXPECT_TRUE(ParseDecimal("4294967295", &u));
  EXPECT_EQ(u, 4294967295u);
  EXPECT_FALSE(ParseDecimal("4294967296", &u));
  EXPECT_FALSE(ParseDecimal("", &u));
  EXPECT_FALSE(ParseDecimal("12 ", &u));
  EXPECT_FALSE(ParseDecimal("+1", &u));
  EXPECT_FALSE(ParseDecimal("-1", &u, {.sign = DecimalSign::kMinus}));  // no minus for an unsigned type

  int32_t i = 0;
  EXPECT_TRUE(ParseDecimal("-2147483648", &i, {.sign = DecimalSign::kMinus}));
  EXPECT_EQ(i, INT32_MIN);
  EXPECT_FALSE(ParseDecimal("-2147483649", &i, {.sign = DecimalSign::kMinus}));
  EXPECT_FALSE(ParseDecimal("-5", &i));
  EXPECT_FALSE(ParseDecimal("+5", &i, {.sign = DecimalSign::kMinus}));
  EXPECT_TRUE(ParseDecimal(" \t+5", &i, {.leadingSpace = true, .sign = DecimalSign::kPlusOrMinus}));
  EXPECT_EQ(i, 5);
}

TEST(ReadDecimal, StopsAtTheFirstNonDigitAndSaturatesBeyondTheRange) {
  int64_t value = 0;
  size_t used = 0;
  EXPECT_EQ(ReadDecimal(std::string_view("42abc"), {}, &value, &used), DecimalStatus::kOk);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(used, 2u);
  EXPECT_EQ(ReadDecimal(std::string_view("-"), {.sign = DecimalSign::kMinus}, &value, &used), DecimalStatus::kNoNumber);
  EXPECT_EQ(used, 0u);
  EXPECT_EQ(ReadDecimal(std::u16string_view(u"-99999999999999999999x"), {.sign = DecimalSign::kMinus}, &value, &used),
            DecimalStatus::kOutOfRange);
  EXPECT_EQ(value, INT64_MIN);
  EXPECT_EQ(used, 21u);
}

}  // namespace
