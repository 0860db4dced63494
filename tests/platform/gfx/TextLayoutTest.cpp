// Line layout on its own: decoding, prefixes and breaking, with made-up advances.
#include <gtest/gtest.h>

#include "platform/gfx/TextLayout.h"

namespace {

using gfx::BreakLines;
using gfx::DecodeText;

std::vector<std::u32string> Lines(const std::u32string& text, bool singleLine, bool wordBreak, int64_t width) {
  const std::vector<int32_t> advances(text.size(), 10);
  std::vector<std::u32string> out;
  for (const auto& line : BreakLines(text, advances, singleLine, wordBreak, width)) {
    EXPECT_EQ(line.width, int64_t(line.end - line.begin) * 10);
    out.push_back(text.substr(line.begin, line.end - line.begin));
  }
  return out;
}

TEST(TextLayout, DecodesSurrogatesAndPrefixes) {
  EXPECT_EQ(DecodeText(u"a\U0001F600b", 4, false), U"a\U0001F600b");
  EXPECT_EQ(DecodeText(u"\xD800x\xDC00", 3, false), U"\uFFFDx\uFFFD");
  EXPECT_EQ(DecodeText(u"\xD83D", 1, false), U"\uFFFD");  // pair cut by the count
  EXPECT_EQ(DecodeText(u"&File &&Co&", 11, true), U"File &Co");
  EXPECT_EQ(DecodeText(u"&File", 5, false), U"&File");
}

TEST(TextLayout, BreaksAtLineFeedsAndAtSpacesWhenTooWide) {
  using V = std::vector<std::u32string>;
  EXPECT_EQ(Lines(U"ab\ncd\r\nef\rg", false, false, 0), (V{U"ab", U"cd", U"ef", U"g"}));
  EXPECT_EQ(Lines(U"ab\n\ncd", false, false, 0), (V{U"ab", U"", U"cd"}));
  EXPECT_EQ(Lines(U"", false, false, 0), (V{U""}));
  EXPECT_EQ(Lines(U"ab\ncd", true, false, 0), (V{U"ab\ncd"}));
  // 70 pixels hold seven characters.
  EXPECT_EQ(Lines(U"Zoom In Zoom Out", false, true, 70), (V{U"Zoom In", U"Zoom", U"Out"}));
  EXPECT_EQ(Lines(U"Zoom In Zoom Out", false, true, 80), (V{U"Zoom In", U"Zoom Out"}));
  EXPECT_EQ(Lines(U"a  b", false, true, 10), (V{U"a", U"b"}));
  EXPECT_EQ(Lines(U"Extraordinary word", false, true, 50), (V{U"Extraordinary", U"word"}));
  EXPECT_EQ(Lines(U"fits exactly", false, true, 120), (V{U"fits exactly"}));
  EXPECT_EQ(Lines(U"trailing   ", false, true, 80), (V{U"trailing   "}));  // spaces never force a break
}

}  // namespace
