#include <gtest/gtest.h>

#include <string>

#include "platform/kernel/DebugOutput.h"
#include "platform/kernel/Time.h"

namespace {

TEST(TickCount, AdvancesAcrossASleepByAtLeastItsLength) {
  const DWORD before = GetTickCount();
  Sleep(50);
  const DWORD after = GetTickCount();
  // Unsigned difference: correct across the 32-bit wrap too.
  const DWORD elapsed = after - before;
  EXPECT_GE(elapsed, 50u);
  EXPECT_LT(elapsed, 5000u);
}

TEST(DebugOutput, WritesUtf16AsOneUtf8LinePerCall) {
  testing::internal::CaptureStderr();
  OutputDebugStringW(u"OMEventTypeMapLoaded\n");
  OutputDebugStringW(u"Ambrel \uC815\uBCF4");  // no line feed: one is added
  OutputDebugStringW(u"\U0001F5FA");           // a surrogate pair becomes one 4-byte character
  OutputDebugStringW(nullptr);
  const std::string out = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out, "OMEventTypeMapLoaded\nAmbrel \xEC\xA0\x95\xEB\xB3\xB4\n\xF0\x9F\x97\xBA\n");
}

}  // namespace
