// Posting and dispatching messages through the window system's queue, beside a plain mutex and
// condition-variable queue doing the same work in the same run.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <deque>
#include <mutex>

#include "bench/BenchRatio.h"
#include "platform/ui/DeviceScreen.h"

namespace {
// 100,000 messages a run, posted and handled in batches of 100, as a busy message loop sees them
// (a queue thousands deep would measure the memory system rather than the queue).
constexpr int kMessages = 100000;
constexpr int kBatch = 100;
int64_t handled = 0;

LRESULT CountingProc(HWND window, UINT message, WPARAM first, LPARAM second) {
  if (message == WM_APP) {
    handled += int64_t(first);
    return 0;
  }
  return DefWindowProcW(window, message, first, second);
}

HWND BenchWindow() {
  static HWND window = [] {
    DeviceScreenConfig config{"headless", 240, 320, 1};
    StartDeviceScreenWith(config);
    WNDCLASSW registration{};
    registration.lpfnWndProc = CountingProc;
    registration.lpszClassName = u"BenchCounting";
    RegisterClassW(&registration);
    return CreateWindowExW(0, u"BenchCounting", u"", 0, 0, 26, 10, 10, nullptr, nullptr, nullptr, nullptr);
  }();
  return window;
}

void BM_WindowQueuePostAndDispatch(benchmark::State& state) {
  HWND window = BenchWindow();
  for (auto _ : state) {
    for (int batch = 0; batch < kMessages / kBatch; ++batch) {
      for (int i = 0; i < kBatch; ++i) PostMessageW(window, WM_APP, 1, 0);
      MSG message;
      for (int i = 0; i < kBatch; ++i) {
        GetMessageW(&message, nullptr, 0, 0);
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
  benchmark::DoNotOptimize(handled);
}
BENCHMARK(BM_WindowQueuePostAndDispatch)->Unit(benchmark::kMillisecond);

// The plain queue: a mutex, a condition variable, a deque of the same MSG records, a procedure
// called per record.
using PlainMessage = MSG;
struct PlainQueue {
  std::mutex lock;
  std::condition_variable ready;
  std::deque<PlainMessage> items;
  bool waiting = false;
  void Post(const PlainMessage& m) {
    std::lock_guard<std::mutex> held(lock);
    items.push_back(m);
    if (waiting) ready.notify_one();
  }
  PlainMessage Get() {
    std::unique_lock<std::mutex> held(lock);
    waiting = true;
    ready.wait(held, [this] { return !items.empty(); });
    waiting = false;
    PlainMessage m = items.front();
    items.pop_front();
    return m;
  }
};
LRESULT PlainProc(HWND, UINT message, WPARAM first, LPARAM) {
  if (message == WM_APP) handled += int64_t(first);
  return 0;
}
WNDPROC volatile plainProc = PlainProc;

void BM_PlainMutexQueue(benchmark::State& state) {
  PlainQueue queue;
  HWND window = reinterpret_cast<HWND>(uintptr_t(0x10000));
  for (auto _ : state) {
    for (int batch = 0; batch < kMessages / kBatch; ++batch) {
      for (int i = 0; i < kBatch; ++i) queue.Post(PlainMessage{window, WM_APP, 1, 0, 0, POINT{0, 0}});
      for (int i = 0; i < kBatch; ++i) {
        PlainMessage m = queue.Get();
        plainProc(m.hwnd, m.message, m.wParam, m.lParam);
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
  benchmark::DoNotOptimize(handled);
}
BENCHMARK(BM_PlainMutexQueue)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv) {
  return bench::RunAndCompare(
      argc, argv,
      {{"BM_WindowQueuePostAndDispatch", "BM_PlainMutexQueue",
        "post + get + dispatch 100,000 messages: window queue vs plain mutex/condvar queue", 2.0}});
}
