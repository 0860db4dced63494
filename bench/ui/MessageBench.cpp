// Posting and dispatching messages through the window system's queue, beside a plain mutex and
// condition-variable queue doing the same work in the same run.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <deque>
#include <mutex>

#include "bench/BenchRatio.h"
#include "platform/ui/DeviceScreen.h"

namespace {
constexpr int kMessages = 100000;
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
    for (int i = 0; i < kMessages; ++i) PostMessageW(window, WM_APP, 1, 0);
    MSG message;
    for (int i = 0; i < kMessages; ++i) {
      GetMessageW(&message, nullptr, 0, 0);
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
  benchmark::DoNotOptimize(handled);
}
BENCHMARK(BM_WindowQueuePostAndDispatch)->Unit(benchmark::kMillisecond);

// The plain queue: a mutex, a condition variable, a deque of records, a procedure called per record.
struct PlainMessage {
  void* window;
  unsigned message;
  uintptr_t first;
  intptr_t second;
};
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
LRESULT PlainProc(void*, unsigned message, uintptr_t first, intptr_t) {
  if (message == WM_APP) handled += int64_t(first);
  return 0;
}
LRESULT (*volatile plainProc)(void*, unsigned, uintptr_t, intptr_t) = PlainProc;

void BM_PlainMutexQueue(benchmark::State& state) {
  PlainQueue queue;
  int token = 0;
  for (auto _ : state) {
    for (int i = 0; i < kMessages; ++i) queue.Post(PlainMessage{&token, WM_APP, 1, 0});
    for (int i = 0; i < kMessages; ++i) {
      PlainMessage m = queue.Get();
      plainProc(m.window, m.message, m.first, m.second);
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
