// Text: Hangul coverage, alignment in a rectangle, measuring, prefixes, backgrounds, clipping,
// fonts and drawing from several threads.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "GfxTestSupport.h"

namespace {

using gfxtest::Canvas;
using gfxtest::InkBox;

constexpr uint32_t kWhite = 0x00FFFFFF;

void Whiten(Canvas& c) {
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) c.Set(x, y, kWhite);
}

SIZE Extent(HDC dc, const std::u16string& text) {
  SIZE size{-1, -1};
  EXPECT_TRUE(GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size));
  return size;
}

// The ink of `text` drawn alone at (4, 4): the coverage mask, as a string of rows.
std::string InkOf(const std::u16string& text, UINT format = DT_SINGLELINE | DT_NOPREFIX) {
  Canvas c(64, 40);
  Whiten(c);
  SetBkMode(c.dc(), TRANSPARENT);
  RECT r{4, 4, 64, 40};
  DrawTextW(c.dc(), text.c_str(), -1, &r, format);
  std::string mask;
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) mask += c.At(x, y) == kWhite ? '.' : '#';
  return mask;
}

TEST(Text, HangulSyllablesDrawAsTheirOwnGlyphsNotMissingBoxes) {
  Canvas c(160, 30);
  Whiten(c);
  RECT r{0, 0, 160, 30};
  ASSERT_GT(DrawTextW(c.dc(), u"Ambrel 정보", -1, &r, DT_SINGLELINE), 0);
  EXPECT_GT(gfxtest::CountInk(c, kWhite), 40);

  const std::string jeong = InkOf(u"정"), bo = InkOf(u"보");
  const std::string missing = InkOf(u"\U0010FFFD");  // a private-use character no font draws
  const std::string blank(jeong.size(), '.');
  EXPECT_NE(jeong, blank);
  EXPECT_NE(bo, blank);
  EXPECT_NE(jeong, bo);
  EXPECT_NE(jeong, missing);
  EXPECT_NE(bo, missing);
}

TEST(Text, ASurrogatePairIsOneCharacterAndALoneSurrogateIsTheReplacementCharacter) {
  EXPECT_EQ(InkOf(std::u16string(1, char16_t(0xD800))), InkOf(u"\uFFFD"));
  EXPECT_EQ(InkOf(std::u16string(1, char16_t(0xDC00))), InkOf(u"\uFFFD"));
  Canvas c(4, 4);
  // Two different characters past the basic plane, both missing: one box each, not two.
  EXPECT_EQ(Extent(c.dc(), u"\U0010FFFD").cx, Extent(c.dc(), u"\U0010FFFC").cx);
  EXPECT_EQ(Extent(c.dc(), u"\U0010FFFD\U0010FFFC").cx, 2 * Extent(c.dc(), u"\U0010FFFD").cx);
}

// Drawn in a 180 x 40 rectangle at (10, 5) with one alignment; returns the ink's box.
InkBox Aligned(UINT format) {
  Canvas c(200, 50);
  Whiten(c);
  SetBkMode(c.dc(), TRANSPARENT);
  RECT r{10, 5, 190, 45};
  EXPECT_GT(DrawTextW(c.dc(), u"Ambrel 정보", -1, &r, DT_SINGLELINE | format), 0);
  return gfxtest::InkBounds(c, kWhite);
}

TEST(Text, AlignmentMovesTheSameInkByTheRemainingSpace) {
  Canvas probe(4, 4);
  const SIZE size = Extent(probe.dc(), u"Ambrel 정보");
  ASSERT_GT(size.cx, 40);
  ASSERT_GT(size.cy, 10);
  const InkBox left = Aligned(DT_LEFT | DT_TOP);
  const InkBox centre = Aligned(DT_CENTER | DT_VCENTER);
  const InkBox right = Aligned(DT_RIGHT | DT_BOTTOM);
  ASSERT_FALSE(left.Empty());
  EXPECT_GE(left.left, 10);
  EXPECT_LE(left.left, 13);  // only the first glyph's side bearing before the ink
  EXPECT_GE(left.top, 5);
  const int dx = (180 - size.cx) / 2, dy = (40 - size.cy) / 2;
  EXPECT_EQ(centre.left, left.left + dx);
  EXPECT_EQ(centre.right, left.right + dx);
  EXPECT_EQ(centre.top, left.top + dy);
  EXPECT_EQ(centre.bottom, left.bottom + dy);
  EXPECT_EQ(right.left, left.left + 180 - size.cx);
  EXPECT_EQ(right.right, left.right + 180 - size.cx);
  EXPECT_EQ(right.bottom, left.bottom + 40 - size.cy);
  EXPECT_LE(right.right, 190);
  EXPECT_LE(right.bottom, 45);
}

TEST(Text, CalcRectMeasuresLikeTheExtentAndDrawsNothing) {
  Canvas c(100, 100);
  Whiten(c);
  const SIZE size = Extent(c.dc(), u"Ambrel 정보");
  RECT r{7, 9, 7, 9};
  EXPECT_EQ(DrawTextW(c.dc(), u"Ambrel 정보", -1, &r, DT_CALCRECT | DT_SINGLELINE), size.cy);
  EXPECT_EQ(r.left, 7);
  EXPECT_EQ(r.top, 9);
  EXPECT_EQ(r.right, 7 + size.cx);
  EXPECT_EQ(r.bottom, 9 + size.cy);
  EXPECT_EQ(gfxtest::CountInk(c, kWhite), 0);

  // Word wrapping: two lines, as wide as the wider one.
  const SIZE zoomIn = Extent(c.dc(), u"Zoom In"), zoomOut = Extent(c.dc(), u"Zoom Out");
  RECT narrow{0, 0, zoomOut.cx + 1, 0};
  EXPECT_EQ(DrawTextW(c.dc(), u"Zoom In Zoom Out", -1, &narrow, DT_CALCRECT | DT_WORDBREAK), 2 * size.cy);
  EXPECT_EQ(narrow.right, std::max(zoomIn.cx, zoomOut.cx));
  EXPECT_EQ(narrow.bottom, 2 * size.cy);
  // Line feeds break lines unless the text is a single line.
  RECT lines{0, 0, 0, 0};
  EXPECT_EQ(DrawTextW(c.dc(), u"Zoom\r\nIn\nOut", -1, &lines, DT_CALCRECT), 3 * size.cy);
  RECT single{0, 0, 0, 0};
  EXPECT_EQ(DrawTextW(c.dc(), u"Zoom\r\nIn", -1, &single, DT_CALCRECT | DT_SINGLELINE), size.cy);
  EXPECT_EQ(single.right, Extent(c.dc(), u"ZoomIn").cx);
  RECT empty{0, 0, 0, 0};  // empty text measures as one empty line
  EXPECT_EQ(DrawTextW(c.dc(), u"", -1, &empty, DT_CALCRECT), size.cy);
  EXPECT_EQ(empty.right, 0);
  EXPECT_EQ(DrawTextW(c.dc(), nullptr, 3, &empty, 0), 0);
}

TEST(Text, AnAmpersandMarksAMnemonicUnlessPrefixesAreOff) {
  Canvas c(4, 4);
  auto calcWidth = [&](const char16_t* text, UINT format) {
    RECT r{0, 0, 0, 0};
    DrawTextW(c.dc(), text, -1, &r, DT_CALCRECT | DT_SINGLELINE | format);
    return r.right;
  };
  EXPECT_EQ(calcWidth(u"&OK", 0), Extent(c.dc(), u"OK").cx);
  EXPECT_EQ(calcWidth(u"A&&B", 0), Extent(c.dc(), u"A&B").cx);
  EXPECT_EQ(calcWidth(u"&OK", DT_NOPREFIX), Extent(c.dc(), u"&OK").cx);
  EXPECT_GT(Extent(c.dc(), u"&OK").cx, Extent(c.dc(), u"OK").cx);
  EXPECT_EQ(InkOf(u"&OK", DT_SINGLELINE), InkOf(u"OK"));
  EXPECT_NE(InkOf(u"&OK"), InkOf(u"OK"));
}

TEST(Text, OpaqueFillsTheTextBoxWithTheBackgroundAndTransparentDoesNot) {
  Canvas c(120, 40);
  const SIZE size = Extent(c.dc(), u"OK 정보");
  SetTextColor(c.dc(), RGB(255, 255, 255));
  EXPECT_EQ(SetBkColor(c.dc(), RGB(255, 0, 0)), RGB(255, 255, 255));  // white by default
  EXPECT_EQ(SetBkMode(c.dc(), OPAQUE), OPAQUE);                       // opaque by default
  RECT r{0, 0, 120, 40};
  ASSERT_GT(DrawTextW(c.dc(), u"OK 정보", -1, &r, DT_SINGLELINE), 0);
  EXPECT_EQ(gfxtest::CountInk(c, 0, 0, 0, size.cx, size.cy), size.cx * size.cy);  // every box pixel painted
  EXPECT_EQ(gfxtest::CountInk(c, 0, size.cx, 0, 120, 40), 0);
  EXPECT_EQ(gfxtest::CountInk(c, 0, 0, size.cy, 120, 40), 0);
  EXPECT_EQ(c.At(0, 0), 0x00FF0000u);

  Canvas t(120, 40);
  SetTextColor(t.dc(), RGB(255, 255, 255));
  SetBkColor(t.dc(), RGB(255, 0, 0));
  SetBkMode(t.dc(), TRANSPARENT);
  ASSERT_GT(DrawTextW(t.dc(), u"OK 정보", -1, &r, DT_SINGLELINE), 0);
  int red = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) red += t.At(x, y) == 0x00FF0000u;
  EXPECT_EQ(red, 0);
  EXPECT_GT(gfxtest::CountInk(t, 0), 20);
}

TEST(Text, DrawingIsClippedToTheRectangleUnlessNoClip) {
  Canvas c(200, 40);
  Whiten(c);
  SetBkMode(c.dc(), TRANSPARENT);
  RECT r{10, 0, 30, 40};
  DrawTextW(c.dc(), u"Ambrel Ambrel", -1, &r, DT_SINGLELINE);
  const InkBox clipped = gfxtest::InkBounds(c, kWhite);
  ASSERT_FALSE(clipped.Empty());
  EXPECT_GE(clipped.left, 10);
  EXPECT_LE(clipped.right, 30);
  Whiten(c);
  DrawTextW(c.dc(), u"Ambrel Ambrel", -1, &r, DT_SINGLELINE | DT_NOCLIP);
  EXPECT_GT(gfxtest::InkBounds(c, kWhite).right, 60);
}

TEST(Text, FontsFollowTheirHeightAndWeight) {
  Canvas c(300, 80);
  LOGFONTW lf{};
  lf.lfHeight = -26;
  HFONT big = CreateFontIndirectW(&lf);
  lf.lfHeight = -13;
  lf.lfWeight = FW_BOLD;
  HFONT bold = CreateFontIndirectW(&lf);
  lf.lfHeight = 30;  // a line height
  lf.lfWeight = FW_NORMAL;
  HFONT byLine = CreateFontIndirectW(&lf);
  ASSERT_TRUE(big && bold && byLine);

  const SIZE normal = Extent(c.dc(), u"Ambrel 정보");
  HGDIOBJ old = SelectObject(c.dc(), big);
  const SIZE large = Extent(c.dc(), u"Ambrel 정보");
  EXPECT_GT(large.cx, normal.cx * 3 / 2);
  EXPECT_GT(large.cy, normal.cy * 3 / 2);
  SelectObject(c.dc(), byLine);
  EXPECT_NEAR(Extent(c.dc(), u"A").cy, 30, 1);

  auto inkWith = [&](HGDIOBJ font) {
    SelectObject(c.dc(), font);
    Whiten(c);
    RECT r{0, 0, 300, 80};
    DrawTextW(c.dc(), u"Ambrel 정보", -1, &r, DT_SINGLELINE);
    return gfxtest::CountInk(c, kWhite);
  };
  EXPECT_GT(inkWith(bold), inkWith(GetStockObject(SYSTEM_FONT)));
  SelectObject(c.dc(), old);
  EXPECT_TRUE(DeleteObject(big));
  EXPECT_TRUE(DeleteObject(bold));
  EXPECT_TRUE(DeleteObject(byLine));

  lf.lfHeight = 100000;
  EXPECT_EQ(CreateFontIndirectW(&lf), nullptr);
}

// Text drawn at once from several threads, each into its own canvas with its own font, gives
// exactly what one thread alone draws.
TEST(TextThreads, ConcurrentDrawingMatchesDrawingAlone) {
  constexpr int kThreads = 4;
  auto draw = [](int t) {
    LOGFONTW lf{};
    lf.lfHeight = -(11 + 3 * t);
    lf.lfWeight = t % 2 ? FW_BOLD : FW_NORMAL;
    HFONT font = CreateFontIndirectW(&lf);
    Canvas c(160, 40);
    Whiten(c);
    HGDIOBJ old = SelectObject(c.dc(), font);
    RECT r{0, 0, 160, 40};
    std::vector<uint32_t> last;
    for (int round = 0; round < 20; ++round) {
      DrawTextW(c.dc(), u"지도 Map 정보 OK", -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
      last = c.Snapshot();
    }
    SelectObject(c.dc(), old);
    DeleteObject(font);
    return last;
  };
  std::vector<std::vector<uint32_t>> results(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back([&, t] { results[t] = draw(t); });
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(results[t], draw(t)) << "thread " << t;
}

}  // namespace
