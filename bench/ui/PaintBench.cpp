// One paint cycle on the headless screen (invalidate a window covering the work area, get the
// paint message, fill the client area, end painting, which composes the screen), beside a memcpy
// of the screen's bytes. Built once per screen size (ORVAN_BENCH_WIDTH x ORVAN_BENCH_HEIGHT): the
// screen is fixed for a process.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchRatio.h"
#include "platform/ui/DeviceScreen.h"

namespace {
constexpr int32_t kWidth = ORVAN_BENCH_WIDTH;
constexpr int32_t kHeight = ORVAN_BENCH_HEIGHT;
HBRUSH fill = nullptr;

LRESULT PaintingProc(HWND window, UINT message, WPARAM first, LPARAM second) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    FillRect(dc, &paint.rcPaint, fill);
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcW(window, message, first, second);
}

void BM_PaintCycle(benchmark::State& state) {
  DeviceScreenConfig config{"headless", kWidth, kHeight, 1};
  StartDeviceScreenWith(config);
  fill = CreateSolidBrush(RGB(10, 200, 30));
  WNDCLASSW registration{};
  registration.lpfnWndProc = PaintingProc;
  registration.lpszClassName = u"BenchPainting";
  RegisterClassW(&registration);
  HWND window = CreateWindowExW(0, u"BenchPainting", u"Bench", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  for (auto _ : state) {
    InvalidateRect(window, nullptr, FALSE);
    GetMessageW(&message, nullptr, 0, 0);
    DispatchMessageW(&message);
  }
  if (ScreenPixel(kWidth / 2, kHeight / 2) != 0x0AC81Eu) state.SkipWithError("the paint did not reach the screen");
  DestroyWindow(window);
}
BENCHMARK(BM_PaintCycle)->Unit(benchmark::kMicrosecond);

void BM_ScreenMemcpy(benchmark::State& state) {
  std::vector<uint32_t> from(size_t(kWidth) * kHeight, 0x123456);
  std::vector<uint32_t> to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size() * sizeof(uint32_t));
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(to.data());
}
BENCHMARK(BM_ScreenMemcpy)->Unit(benchmark::kMicrosecond);
}  // namespace

int main(int argc, char** argv) {
  const std::string size = std::to_string(kWidth) + "x" + std::to_string(kHeight);
  return bench::RunAndCompare(
      argc, argv,
      {{"BM_PaintCycle", "BM_ScreenMemcpy",
        "invalidate + paint + compose one " + size + " headless screen vs memcpy of its bytes", 3.0}});
}
