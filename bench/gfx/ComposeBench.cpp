// Cost of composing one map frame the way the map view paints: a compose surface of the layers'
// size is created, filled white (brush, null pen, rectangle), the placeholder layer is copied in,
// the map layer is copied over it at the drag offset leaving out its white pixels, and the
// window's part is copied to the window's surface. The baseline moves the same bytes with
// memset and memcpy: one pass for the fill, one per layer copy, one for the window copy.
//
// Sizes: window 240 x 268 with 512 x 512 layers (the 2 x 2 tiles around it), 480 x 536 with
// 768 x 768, and 1920 x 1080 with 2304 x 1536.
#include <cstring>
#include <vector>

#include "bench/BenchRatio.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/SurfaceDC.h"

namespace {

struct FrameSize {
  int cw, ch;  // window
  int bw, bh;  // layers
  int sx, sy;  // window's left-top inside the layers
};

constexpr FrameSize kSizes[] = {
    {240, 268, 512, 512, 224, 210}, {480, 536, 768, 768, 144, 116}, {1920, 1080, 2304, 1536, 192, 228}};
constexpr int kDragX = 17, kDragY = 9;  // the map layer is drawn at (-17, -9)
constexpr COLORREF kWhite = RGB(255, 255, 255);

class Layer {
 public:
  Layer(int w, int h) {
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(dc_, w, h);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~Layer() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};

// A map layer: tiles with a drawn pattern, every third tile still white (not yet loaded).
void PaintMapLayer(HDC dc, int w, int h) {
  DrawTarget t{};
  GetDrawTarget(dc, &t);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool loaded = ((x / 256) + (y / 256)) % 3 != 0;
      const bool road = (x % 37) < 3 || (y % 41) < 3;
      t.surface.pixels[y * t.surface.stride + x] = !loaded || road ? 0x00FFFFFF : 0x00E8E4D8 + (x & 7);
    }
}

void FillRectColor(HDC dc, int l, int t, int r, int b, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  Rectangle(dc, l, t, r, b);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(brush);
}

void BM_ComposeFrame(benchmark::State& state) {
  const FrameSize f = kSizes[state.range(0)];
  Layer placeholder(f.bw, f.bh), map(f.bw, f.bh);
  RECT all{0, 0, f.bw, f.bh};
  HBRUSH grey = CreateSolidBrush(RGB(0xDD, 0xDD, 0xDD));
  FillRect(placeholder.dc(), &all, grey);
  DeleteObject(grey);
  PaintMapLayer(map.dc(), f.bw, f.bh);
  std::vector<uint32_t> screen(size_t(f.cw) * f.ch);
  HDC window = CreateSurfaceDC(PixelSurface{screen.data(), f.cw, f.ch, f.cw}, 0, 0, RECT{0, 0, f.cw, f.ch});

  for (auto _ : state) {
    HDC compose = CreateCompatibleDC(window);
    HBITMAP bitmap = CreateCompatibleBitmap(window, f.bw, f.bh);
    HGDIOBJ old = SelectObject(compose, bitmap);
    FillRectColor(compose, 0, 0, f.bw, f.bh, kWhite);
    BitBlt(compose, 0, 0, f.bw, f.bh, placeholder.dc(), 0, 0, SRCCOPY);
    TransparentImage(compose, -kDragX, -kDragY, f.bw, f.bh, map.dc(), 0, 0, f.bw, f.bh, kWhite);
    BitBlt(window, 0, 0, f.cw, f.ch, compose, f.sx, f.sy, SRCCOPY);
    SelectObject(compose, old);
    DeleteObject(bitmap);
    DeleteDC(compose);
    benchmark::DoNotOptimize(screen.data());
    benchmark::ClobberMemory();
  }
  DeleteDC(window);
}
BENCHMARK(BM_ComposeFrame)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void BM_BaselineMemcpy(benchmark::State& state) {
  const FrameSize f = kSizes[state.range(0)];
  const size_t layerBytes = size_t(f.bw) * f.bh * 4, windowBytes = size_t(f.cw) * f.ch * 4;
  std::vector<uint32_t> placeholder(size_t(f.bw) * f.bh, 0x00DDDDDD), map(size_t(f.bw) * f.bh, 0x00E8E4D8),
      compose(size_t(f.bw) * f.bh), screen(size_t(f.cw) * f.ch);
  for (auto _ : state) {
    std::memset(compose.data(), 0xFF, layerBytes);
    std::memcpy(compose.data(), placeholder.data(), layerBytes);
    std::memcpy(compose.data(), map.data(), layerBytes);
    std::memcpy(screen.data(), compose.data(), windowBytes);
    benchmark::DoNotOptimize(screen.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BaselineMemcpy)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  const char* what = "microseconds per composed frame vs memset+memcpy of the same bytes";
  return bench::RunAndCompare(argc, argv,
                              {{"BM_ComposeFrame/0", "BM_BaselineMemcpy/0", std::string("240x268: ") + what, 2.0},
                               {"BM_ComposeFrame/1", "BM_BaselineMemcpy/1", std::string("480x536: ") + what, 2.0},
                               {"BM_ComposeFrame/2", "BM_BaselineMemcpy/2", std::string("1920x1080: ") + what, 2.0}});
}
