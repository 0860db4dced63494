#include <gtest/gtest.h>

#include <string>

#include "platform/kernel/WideText.h"

namespace {

TEST(WideFormat, PrintsStringsAndSigned32BitNumbers) {
  char16_t buf[64];
  EXPECT_EQ(WideFormatV(buf, 64, u"%s%d.x/%s?z=%d&n=%d%%", u"mt", 3, u"mt", 17, -2147483647 - 1), 28);
  EXPECT_EQ(std::u16string(buf), u"mt3.x/mt?z=17&n=-2147483648%");
  EXPECT_EQ(WideFormatV(buf, 64, u"[%s]", static_cast<const char16_t*>(nullptr)), 8);
  EXPECT_EQ(std::u16string(buf), u"[(null)]");
}

TEST(WideFormat, NeverWritesPastItsCapacityAndAlwaysTerminates) {
  char16_t buf[16];
  for (char16_t& c : buf) c = u'#';
  EXPECT_EQ(WideFormatV(buf, 8, u"abc%dxyz", 12345), -1);
  EXPECT_EQ(std::u16string(buf), u"abc1234");  // 7 characters and the terminator
  for (int i = 8; i < 16; ++i) EXPECT_EQ(buf[i], u'#') << i;

  EXPECT_EQ(WideFormatV(buf, 8, u"abc%d", 1234), 7);  // fits exactly
  EXPECT_EQ(WideFormatV(buf, 1, u"abc"), -1);
  EXPECT_EQ(buf[0], 0);
  buf[0] = u'#';
  EXPECT_EQ(WideFormatV(buf, 0, u"abc"), -1);
  EXPECT_EQ(buf[0], u'#');  // capacity 0 writes nothing at all
}

TEST(WideFormat, AMismatchedOrMissingArgumentPrintsNothing) {
  char16_t buf[32];
  EXPECT_EQ(WideFormatV(buf, 32, u"<%d|%s|%d>", u"text", 5), 4);
  EXPECT_EQ(std::u16string(buf), u"<||>");
}

TEST(WideCopyToField, ZeroFillsAndKeepsAtMostCapacityMinusOne) {
  char16_t field[6];
  for (char16_t& c : field) c = u'#';
  EXPECT_EQ(WideCopyToField(field, 6, u"abcdefgh"), 5u);
  EXPECT_EQ(std::u16string(field), u"abcde");
  EXPECT_EQ(WideCopyToField(field, 6, u"ab"), 2u);
  for (int i = 2; i < 6; ++i) EXPECT_EQ(field[i], 0) << i;
  EXPECT_EQ(WideCopyToField(field, 6, u"abcdef", 3), 3u);
  EXPECT_EQ(std::u16string(field), u"abc");
  EXPECT_EQ(WideCopyToField(field, 6, nullptr), 0u);
  EXPECT_EQ(field[0], 0);
}

TEST(WideToInt64, ReadsLikeTheWideToIntegerConversion) {
  EXPECT_EQ(WideToInt64(u"200"), 200);
  EXPECT_EQ(WideToInt64(u"  -17abc"), -17);
  EXPECT_EQ(WideToInt64(u"+8"), 8);
  EXPECT_EQ(WideToInt64(u"x1"), 0);
  EXPECT_EQ(WideToInt64(u""), 0);
  EXPECT_EQ(WideToInt64(nullptr), 0);
  EXPECT_EQ(WideToInt64(u"4294967296"), 4294967296LL);
  EXPECT_EQ(WideToInt64(u"99999999999999999999999"), INT64_MAX);
  EXPECT_EQ(WideToInt64(u"-99999999999999999999999"), INT64_MIN);
}

TEST(Utf, ConvertsBothWaysAndReplacesBrokenSequences) {
  const std::u16string hangul = u"Ambrel \uC815\uBCF4 \U0001F5FA";
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(hangul)), hangul);
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");  // unpaired high surrogate
  EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\uFFFD");          // cut-off sequence
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");        // overlong form
  EXPECT_EQ(Utf8ToUtf16("\xFF"
                        "b"),
            u"\uFFFDb");
  EXPECT_EQ(WideLength(u"abc"), 3u);
  EXPECT_TRUE(WideStartsWith(u"http://x", u"http://"));
  EXPECT_FALSE(WideStartsWith(u"HTTP://x", u"http://"));
  const char16_t* path = u"host/a/b";
  EXPECT_EQ(WideFind(path, u'/'), path + 4);
  EXPECT_EQ(WideFind(u"host", u'/'), nullptr);
}

}  // namespace
