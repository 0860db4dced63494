// Copies, colour-keyed copies and fills, checked pixel by pixel against references computed here
// from the original pattern.
#include <gtest/gtest.h>

#include <vector>

#include "GfxTestSupport.h"

namespace {

using gfxtest::Canvas;

// What a plain copy must leave in a destination of dw x dh that held `dst`: every pixel of the
// requested rectangle whose source lies inside the source takes the source pixel; the rest keep
// theirs. The source is read as it was before the copy.
std::vector<uint32_t> ReferenceCopy(std::vector<uint32_t> dst, int dw, int dh, const std::vector<uint32_t>& src, int sw,
                                    int sh, int x, int y, int w, int h, int sx, int sy) {
  for (int64_t ty = 0; ty < dh; ++ty)
    for (int64_t tx = 0; tx < dw; ++tx) {
      const int64_t i = tx - x, j = ty - y;  // offset inside the requested rectangle
      if (i < 0 || j < 0 || i >= w || j >= h) continue;
      const int64_t fx = sx + i, fy = sy + j;
      if (fx < 0 || fy < 0 || fx >= sw || fy >= sh) continue;
      dst[ty * dw + tx] = src[fy * sw + fx];
    }
  return dst;
}

void ExpectSame(const std::vector<uint32_t>& actual, const std::vector<uint32_t>& expected, int width) {
  ASSERT_EQ(actual.size(), expected.size());
  int mismatches = 0;
  for (size_t k = 0; k < actual.size(); ++k)
    if (actual[k] != expected[k] && ++mismatches <= 5)
      ADD_FAILURE() << "pixel (" << k % width << ", " << k / width << "): " << std::hex << actual[k]
                    << " != " << expected[k];
  EXPECT_EQ(mismatches, 0);
}

// The map layer scrolled in place: the bw x bh rectangle whose left-top is (dx, dy) goes to (0, 0).
class LayerScroll : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(LayerScroll, MatchesTheReferencePixelByPixel) {
  const auto [dx, dy] = GetParam();
  Canvas layer(512, 512);
  layer.FillUniquePattern();
  const std::vector<uint32_t> before = layer.Snapshot();
  ASSERT_TRUE(BitBlt(layer.dc(), 0, 0, 512, 512, layer.dc(), dx, dy, SRCCOPY));
  ExpectSame(layer.Snapshot(), ReferenceCopy(before, 512, 512, before, 512, 512, 0, 0, 512, 512, dx, dy), 512);
}

INSTANTIATE_TEST_SUITE_P(InPlace, LayerScroll,
                         ::testing::Values(std::pair{-250, 0}, std::pair{0, 150}, std::pair{0, -240},
                                           std::pair{-250, -240}, std::pair{250, 240}, std::pair{3, -1}));

struct CopyCase {
  int x, y, w, h, sx, sy;
};

// Copies between two surfaces that leave the source or the destination at each edge, including
// the layer drawn at a negative offset.
class ClippedCopy : public ::testing::TestWithParam<CopyCase> {};

TEST_P(ClippedCopy, CopiesOnlyPixelsWithBothEndsInside) {
  const CopyCase c = GetParam();
  Canvas src(40, 30), dst(50, 20);
  src.FillUniquePattern();
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 50; ++x) dst.Set(x, y, 0x00ABCDEF);
  const std::vector<uint32_t> before = dst.Snapshot();
  ASSERT_TRUE(BitBlt(dst.dc(), c.x, c.y, c.w, c.h, src.dc(), c.sx, c.sy, SRCCOPY));
  ExpectSame(dst.Snapshot(), ReferenceCopy(before, 50, 20, src.Snapshot(), 40, 30, c.x, c.y, c.w, c.h, c.sx, c.sy), 50);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, ClippedCopy,
    ::testing::Values(CopyCase{-7, -5, 40, 30, 0, 0},  // layer copied to (-ox, -oy)
                      CopyCase{13, 9, 40, 30, 0, 0},   // layer shifted right and down past both edges
                      CopyCase{0, 0, 50, 20, -6, -4},  // source starts before its left and top edges
                      CopyCase{0, 0, 50, 20, 20, 15},  // source runs past its right and bottom edges
                      CopyCase{45, 15, 10, 10, 0, 0},  // destination's right and bottom edges
                      CopyCase{-3, 2, 8, 8, 35, -2},   // mixed
                      CopyCase{60, 0, 5, 5, 0, 0},     // wholly outside the destination
                      CopyCase{0, 0, 5, 5, 40, 0},     // wholly outside the source
                      CopyCase{0, 0, -5, 5, 0, 0},     // empty request
                      CopyCase{-2147483647, -2147483647, 2147483647, 2147483647, 0, 0}));  // no overflow

TEST(KeyedCopy, TheKeyLetsTheLowerLayerThroughAndEveryOtherColourIsCopied) {
  Canvas lower(6, 1), upper(6, 1);
  for (int x = 0; x < 6; ++x) lower.Set(x, 0, 0x00112233);
  const uint32_t colours[6] = {0x00FFFFFF, 0x00FEFFFF, 0x00FFFFFE, 0x00FFFEFF, 0x00000000, 0x00FFFFFF};
  for (int x = 0; x < 6; ++x) upper.Set(x, 0, colours[x]);
  ASSERT_TRUE(TransparentImage(lower.dc(), 0, 0, 6, 1, upper.dc(), 0, 0, 6, 1, RGB(255, 255, 255)));
  const uint32_t expected[6] = {0x00112233, 0x00FEFFFF, 0x00FFFFFE, 0x00FFFEFF, 0x00000000, 0x00112233};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(lower.At(x, 0), expected[x]) << x;
}

TEST(KeyedCopy, ClipsLikeThePlainCopyAndTakesAnyKey) {
  Canvas lower(64, 48), upper(64, 48);
  upper.FillUniquePattern();
  const uint32_t keyPixel = upper.At(10, 10);  // one pattern pixel becomes the key
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) lower.Set(x, y, 0x00FF00FF);
  const std::vector<uint32_t> before = lower.Snapshot();
  ASSERT_TRUE(TransparentImage(lower.dc(), -5, 7, 64, 48, upper.dc(), 0, 0, 64, 48, ColorFromPixel(keyPixel)));
  std::vector<uint32_t> expected = ReferenceCopy(before, 64, 48, upper.Snapshot(), 64, 48, -5, 7, 64, 48, 0, 0);
  expected[(10 + 7) * 64 + (10 - 5)] = 0x00FF00FF;  // where the key pixel landed, the lower layer stays
  ExpectSame(lower.Snapshot(), expected, 64);
}

TEST(KeyedCopy, OverlappingWithinOneSurfaceReadsTheSourceFirst) {
  Canvas layer(32, 32);
  layer.FillUniquePattern();
  const std::vector<uint32_t> before = layer.Snapshot();
  ASSERT_TRUE(TransparentImage(layer.dc(), 3, 2, 32, 32, layer.dc(), 0, 0, 32, 32, RGB(255, 255, 255)));
  ExpectSame(layer.Snapshot(), ReferenceCopy(before, 32, 32, before, 32, 32, 3, 2, 32, 32, 0, 0), 32);
}

TEST(KeyedCopy, ScalingIsRefused) {
  Canvas a(8, 8), b(8, 8);
  b.FillUniquePattern();
  EXPECT_FALSE(TransparentImage(a.dc(), 0, 0, 8, 8, b.dc(), 0, 0, 4, 4, 0));
  EXPECT_EQ(gfxtest::CountInk(a, 0), 0);
}

// Which pixels of a 6 x 6 white canvas a call painted, as rows of '#' and '.'.
std::string Painted(const Canvas& c) {
  std::string out;
  for (int y = 0; y < c.height(); ++y) {
    for (int x = 0; x < c.width(); ++x) out += c.At(x, y) == 0x00FFFFFF ? '.' : (c.At(x, y) == 0 ? '#' : 'o');
    out += '\n';
  }
  return out;
}

void Whiten(Canvas& c) {
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) c.Set(x, y, 0x00FFFFFF);
}

TEST(Fills, TheNullPenRectangleLeavesTheLastColumnAndRow) {
  Canvas c(6, 6);
  Whiten(c);
  HGDIOBJ oldPen = SelectObject(c.dc(), GetStockObject(NULL_PEN));
  HGDIOBJ oldBrush = SelectObject(c.dc(), GetStockObject(BLACK_BRUSH));
  ASSERT_TRUE(Rectangle(c.dc(), 0, 0, 4, 4));
  EXPECT_EQ(Painted(c),
            "###...\n"
            "###...\n"
            "###...\n"
            "......\n"
            "......\n"
            "......\n");
  // Strip fills pass an edge one larger to cover exactly the columns up to it.
  Whiten(c);
  ASSERT_TRUE(Rectangle(c.dc(), 4, 1, 7, 3));
  EXPECT_EQ(Painted(c),
            "......\n"
            "....##\n"
            "......\n"
            "......\n"
            "......\n"
            "......\n");
  SelectObject(c.dc(), oldPen);
  SelectObject(c.dc(), oldBrush);
}

TEST(Fills, AOnePixelPenOutlinesTheWholeRectangleAndTheBrushFillsInside) {
  Canvas c(6, 6);
  Whiten(c);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HGDIOBJ oldPen = SelectObject(c.dc(), pen);
  HGDIOBJ oldBrush = SelectObject(c.dc(), brush);
  ASSERT_TRUE(Rectangle(c.dc(), 5, 5, 1, 0));  // reversed corners are put in order
  EXPECT_EQ(Painted(c),
            ".####.\n"
            ".#oo#.\n"
            ".#oo#.\n"
            ".#oo#.\n"
            ".####.\n"
            "......\n");
  Whiten(c);
  SelectObject(c.dc(), GetStockObject(NULL_BRUSH));
  ASSERT_TRUE(Rectangle(c.dc(), 0, 0, 3, 3));
  EXPECT_EQ(Painted(c),
            "###...\n"
            "#.#...\n"
            "###...\n"
            "......\n"
            "......\n"
            "......\n");
  SelectObject(c.dc(), oldPen);
  SelectObject(c.dc(), oldBrush);
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_TRUE(DeleteObject(brush));
}

TEST(Fills, FillRectExcludesRightAndBottomAndClipsToTheSurface) {
  Canvas c(6, 6);
  Whiten(c);
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  RECT r{-2, 4, 2, 100};
  ASSERT_TRUE(FillRect(c.dc(), &r, black));
  RECT inner{3, 0, 5, 2};
  ASSERT_TRUE(FillRect(c.dc(), &inner, black));
  RECT reversed{5, 5, 1, 1};
  ASSERT_TRUE(FillRect(c.dc(), &reversed, black));  // empty: paints nothing
  ASSERT_TRUE(FillRect(c.dc(), &inner, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))));
  EXPECT_EQ(Painted(c),
            "...##.\n"
            "...##.\n"
            "......\n"
            "......\n"
            "##....\n"
            "##....\n");
  EXPECT_FALSE(FillRect(c.dc(), &r, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_PEN))));  // not a brush
  EXPECT_FALSE(FillRect(c.dc(), nullptr, black));
}

}  // namespace
