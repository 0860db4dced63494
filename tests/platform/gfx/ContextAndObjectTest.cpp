// Contexts, bitmaps and the other objects: selection, deletion rules, stock objects and handles
// that are stale or were never valid.
#include <gtest/gtest.h>

#include <thread>
#include <tuple>
#include <vector>

#include "GfxTestSupport.h"
#include "platform/gfx/SurfaceDC.h"

namespace {

using gfxtest::Canvas;

TEST(Contexts, ANewBitmapIsBlackAndItsContextDrawsIntoIt) {
  Canvas canvas(7, 5);
  DrawTarget target{};
  ASSERT_TRUE(GetDrawTarget(canvas.dc(), &target));
  EXPECT_EQ(target.surface.width, 7);
  EXPECT_EQ(target.surface.height, 5);
  EXPECT_GE(target.surface.stride, 7);
  EXPECT_EQ(target.originX, 0);
  EXPECT_EQ(target.originY, 0);
  EXPECT_EQ(target.clip.right, 7);
  EXPECT_EQ(target.clip.bottom, 5);
  EXPECT_EQ(gfxtest::CountInk(canvas, 0), 0);
  EXPECT_EQ(SetPixel(canvas.dc(), 6, 4, RGB(1, 2, 3)), RGB(1, 2, 3));
  EXPECT_EQ(canvas.At(6, 4), 0x00010203u);  // stored as 0x00RRGGBB
  EXPECT_EQ(GetPixel(canvas.dc(), 6, 4), RGB(1, 2, 3));
  EXPECT_EQ(GetPixel(canvas.dc(), 7, 4), CLR_INVALID);
  EXPECT_EQ(SetPixel(canvas.dc(), -1, 0, 0), CLR_INVALID);
}

TEST(Contexts, AMemoryContextWithoutABitmapHasAnEmptySurfaceAndDrawsNothing) {
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  DrawTarget target{};
  ASSERT_TRUE(GetDrawTarget(dc, &target));
  EXPECT_EQ(target.surface.width, 0);
  EXPECT_EQ(target.surface.height, 0);
  RECT r{0, 0, 10, 10};
  EXPECT_TRUE(FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))));
  EXPECT_TRUE(Rectangle(dc, 0, 0, 5, 5));
  EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
  EXPECT_TRUE(DeleteDC(dc));
}

TEST(Contexts, SelectObjectReturnsThePreviousObjectOfEachKind) {
  HDC dc = CreateCompatibleDC(nullptr);
  // A new context holds the stock white brush, black pen and system font.
  HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
  EXPECT_EQ(SelectObject(dc, brush), GetStockObject(WHITE_BRUSH));
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 1, 1));
  EXPECT_EQ(SelectObject(dc, pen), GetStockObject(BLACK_PEN));
  LOGFONTW lf{};
  lf.lfHeight = -20;
  HFONT font = CreateFontIndirectW(&lf);
  EXPECT_EQ(SelectObject(dc, font), GetStockObject(SYSTEM_FONT));
  EXPECT_FALSE(DeleteObject(brush));  // selected: deleting it would leave the context drawing with nothing

  HBITMAP first = CreateCompatibleBitmap(dc, 4, 4);
  HBITMAP second = CreateCompatibleBitmap(dc, 4, 4);
  HGDIOBJ original = SelectObject(dc, first);
  ASSERT_NE(original, nullptr);
  EXPECT_EQ(SelectObject(dc, second), first);
  EXPECT_EQ(SelectObject(dc, original), second);

  // Kinds do not mix: selecting a pen returns the previous pen, not the brush.
  EXPECT_EQ(SelectObject(dc, GetStockObject(NULL_PEN)), pen);
  EXPECT_EQ(SelectObject(dc, GetStockObject(WHITE_BRUSH)), brush);
  EXPECT_EQ(SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT)), font);

  for (HGDIOBJ o : {HGDIOBJ(brush), HGDIOBJ(pen), HGDIOBJ(font), HGDIOBJ(first), HGDIOBJ(second)})
    EXPECT_TRUE(DeleteObject(o));
  EXPECT_TRUE(DeleteDC(dc));
}

TEST(Contexts, ABitmapLivesInOneContextAtATimeAndCannotBeDeletedThere) {
  HDC a = CreateCompatibleDC(nullptr);
  HDC b = CreateCompatibleDC(a);
  HBITMAP bitmap = CreateCompatibleBitmap(a, 8, 8);
  HGDIOBJ oldA = SelectObject(a, bitmap);
  ASSERT_NE(oldA, nullptr);

  EXPECT_EQ(SelectObject(b, bitmap), nullptr);  // already in `a`
  EXPECT_FALSE(DeleteObject(bitmap));           // selected: must survive
  EXPECT_EQ(SetPixel(a, 3, 3, RGB(9, 9, 9)), RGB(9, 9, 9));

  // Selecting the old bitmap back frees it for `b`, and its pixels went with it.
  EXPECT_EQ(SelectObject(a, oldA), bitmap);
  ASSERT_NE(SelectObject(b, bitmap), nullptr);
  EXPECT_EQ(GetPixel(b, 3, 3), RGB(9, 9, 9));

  // Deleting the context releases the bitmap without deleting it.
  EXPECT_TRUE(DeleteDC(b));
  EXPECT_NE(SelectObject(a, bitmap), nullptr);
  EXPECT_EQ(GetPixel(a, 3, 3), RGB(9, 9, 9));
  SelectObject(a, oldA);
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_TRUE(DeleteDC(a));
}

TEST(Contexts, StockObjectsAreNeverFreed) {
  HGDIOBJ white = GetStockObject(WHITE_BRUSH);
  ASSERT_NE(white, nullptr);
  EXPECT_TRUE(DeleteObject(white));
  EXPECT_TRUE(DeleteObject(GetStockObject(NULL_PEN)));
  Canvas canvas(2, 2);
  RECT r{0, 0, 2, 2};
  EXPECT_TRUE(FillRect(canvas.dc(), &r, static_cast<HBRUSH>(white)));  // still usable
  EXPECT_EQ(canvas.At(1, 1), 0x00FFFFFFu);
  for (int index : {WHITE_BRUSH, BLACK_BRUSH, NULL_BRUSH, NULL_PEN, BLACK_PEN, SYSTEM_FONT, DEFAULT_GUI_FONT})
    EXPECT_NE(GetStockObject(index), nullptr) << index;
  EXPECT_EQ(GetStockObject(-1), nullptr);
  EXPECT_EQ(GetStockObject(9999), nullptr);
}

TEST(Contexts, StaleForeignAndNullHandlesFailWithoutHarm) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 4, 4);
  HBRUSH brush = CreateSolidBrush(0);
  ASSERT_TRUE(DeleteObject(bitmap));
  ASSERT_TRUE(DeleteObject(brush));

  // A later object must not answer to the stale handle, even if it takes the freed slot.
  HBITMAP later = CreateCompatibleBitmap(dc, 4, 4);
  EXPECT_NE(later, bitmap);
  EXPECT_EQ(SelectObject(dc, bitmap), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(DeleteObject(bitmap));
  EXPECT_FALSE(DeleteObject(brush));
  RECT r{0, 0, 1, 1};
  EXPECT_FALSE(FillRect(dc, &r, brush));

  ASSERT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_EQ(CreateCompatibleBitmap(dc, 4, 4), nullptr);
  EXPECT_EQ(CreateCompatibleDC(dc), nullptr);
  EXPECT_EQ(SelectObject(dc, later), nullptr);
  EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, dc, 0, 0, SRCCOPY));
  EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
  EXPECT_EQ(SetTextColor(dc, 0), CLR_INVALID);
  DrawTarget target{};
  EXPECT_FALSE(GetDrawTarget(dc, &target));
  EXPECT_FALSE(GetDrawTarget(nullptr, &target));

  // A context handle is not an object handle and made-up values are nobody's.
  HDC live = CreateCompatibleDC(nullptr);
  EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(live)));
  EXPECT_FALSE(DeleteDC(reinterpret_cast<HDC>(later)));
  EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(uintptr_t(0x1234))));
  EXPECT_EQ(SelectObject(live, reinterpret_cast<HGDIOBJ>(&target)), nullptr);
  EXPECT_FALSE(DeleteObject(nullptr));
  EXPECT_EQ(SelectObject(nullptr, later), nullptr);
  EXPECT_TRUE(DeleteObject(later));
  EXPECT_TRUE(DeleteDC(live));
}

TEST(Contexts, BitmapSizesAreChecked) {
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(dc, -1, 4), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CreateCompatibleBitmap(dc, 100000, 100000), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  // An empty bitmap is a real bitmap with nothing to draw on.
  HBITMAP empty = CreateCompatibleBitmap(dc, 0, 0);
  ASSERT_NE(empty, nullptr);
  HGDIOBJ old = SelectObject(dc, empty);
  EXPECT_TRUE(BitBlt(dc, 0, 0, 10, 10, dc, 0, 0, SRCCOPY));
  EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
  SelectObject(dc, old);
  EXPECT_TRUE(DeleteObject(empty));
  EXPECT_EQ(CreatePen(PS_SOLID, kMaxPenWidth + 1, 0), nullptr);
  EXPECT_EQ(CreatePen(PS_SOLID, -1, 0), nullptr);
  EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
  EXPECT_TRUE(DeleteDC(dc));
}

// A DIB section's bits are the bitmap's pixels, both ways: a word written there is what GDI
// reads and copies, and what GDI draws is in the words at once, row after row without gaps.
TEST(Contexts, ADibSectionsBitsAreItsPixelsAndOnlyTopDown32BitDescriptionsAreMade) {
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 5, -3, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(dib, nullptr);
  ASSERT_NE(bits, nullptr);
  auto* words = static_cast<uint32_t*>(bits);
  EXPECT_EQ(words[14], 0u);  // black
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, dib);
  words[2 * 5 + 4] = 0x00123456;  // last row, last column
  EXPECT_EQ(GetPixel(dc, 4, 2), RGB(0x12, 0x34, 0x56));
  Canvas copy(5, 3);
  ASSERT_TRUE(BitBlt(copy.dc(), 0, 0, 5, 3, dc, 0, 0, SRCCOPY));
  EXPECT_EQ(copy.At(4, 2), 0x00123456u);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  const RECT second{0, 1, 5, 2};
  FillRect(dc, &second, brush);
  DeleteObject(brush);
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(words[x], 0u);
    EXPECT_EQ(words[5 + x], 0x00010203u);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  EXPECT_TRUE(DeleteObject(dib));

  // Bottom-up rows, another depth, a section handle: refused, the bits pointer cleared.
  for (const auto& [height, depth, section] :
       {std::tuple{3L, 32, false}, std::tuple{-3L, 24, false}, std::tuple{-3L, 32, true}}) {
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biBitCount = WORD(depth);
    bits = &info;
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, section ? HANDLE(&info) : nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(bits, nullptr);
  }
}

TEST(SurfaceContexts, DrawAtTheirOriginClippedToTheirArea) {
  std::vector<uint32_t> screen(20 * 10, 0x00123456);
  PixelSurface surface{screen.data(), 20, 10, 20};
  HDC dc = CreateSurfaceDC(surface, 5, 2, RECT{5, 2, 15, 8});
  ASSERT_NE(dc, nullptr);
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  RECT everything{-100, -100, 100, 100};
  EXPECT_TRUE(FillRect(dc, &everything, black));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool inside = x >= 5 && x < 15 && y >= 2 && y < 8;
      ASSERT_EQ(screen[y * 20 + x], inside ? 0u : 0x00123456u) << x << "," << y;
    }
  EXPECT_EQ(SetPixel(dc, 0, 0, RGB(255, 0, 0)), RGB(255, 0, 0));
  EXPECT_EQ(screen[2 * 20 + 5], 0x00FF0000u);  // logical (0, 0) is surface (5, 2)

  HBITMAP bitmap = CreateCompatibleBitmap(dc, 2, 2);
  EXPECT_EQ(SelectObject(dc, bitmap), nullptr);  // a surface context draws into its surface only
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_EQ(CreateSurfaceDC(PixelSurface{nullptr, 4, 4, 4}, 0, 0, RECT{0, 0, 4, 4}), nullptr);
  EXPECT_EQ(CreateSurfaceDC(PixelSurface{screen.data(), 20, 10, 10}, 0, 0, RECT{0, 0, 4, 4}), nullptr);
}

// Distinct contexts and bitmaps drawn from several threads while objects come and go.
TEST(ContextThreads, DistinctContextsDrawConcurrentlyAndTheTablesStayConsistent) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 200;
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t, &failures] {
      for (int round = 0; round < kRounds; ++round) {
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, 16, 16);
        HBRUSH brush = CreateSolidBrush(RGB(t, round & 0xFF, 7));
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        RECT r{0, 0, 16, 16};
        FillRect(dc, &r, brush);
        HDC copy = CreateCompatibleDC(dc);
        HBITMAP copyBitmap = CreateCompatibleBitmap(copy, 16, 16);
        HGDIOBJ oldCopy = SelectObject(copy, copyBitmap);
        BitBlt(copy, 0, 0, 16, 16, dc, 0, 0, SRCCOPY);
        if (GetPixel(copy, 15, 15) != RGB(t, round & 0xFF, 7)) ++failures[t];
        SelectObject(copy, oldCopy);
        SelectObject(dc, oldBitmap);
        if (!DeleteObject(copyBitmap) || !DeleteObject(bitmap) || !DeleteObject(brush)) ++failures[t];
        if (!DeleteDC(copy) || !DeleteDC(dc)) ++failures[t];
        if (DeleteObject(bitmap)) ++failures[t];  // stale at once
      }
    });
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}

}  // namespace
