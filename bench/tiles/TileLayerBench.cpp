// How fast a view's worth of tiles arrives, and what re-requesting loaded tiles costs.
//
// BM_RequestRange12: the 12 tiles of a 4 x 3 range at a new zoom from the local tile server with
// 50 ms latency, timed until the last report. BM_RequestOneTileFloor: one tile the same way, the
// floor (one request's latency plus one tile's transfer) measured in the same run.
// BM_ReRequestLoaded54: a fully loaded 9 x 6 range (a 1920 x 1080 view), reported from memory.
//
// The server charges every new connection 50 ms before its first answer (a connection's set-up on a
// real network). BM_FirstScreenNewConnections: a 4 x 3 range at a new zoom with no kept connection.
// BM_SecondScreenKeptConnections: the next 4 x 3 range right after a first one, on the connections
// the first one left behind. Both are compared with the one-tile floor on a kept connection.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "bench/BenchRatio.h"
#include "platform/net/WinInet.h"
#include "projection/MercatorProjection.h"
#include "tests/support/TileServerFixture.h"
#include "tiles/TileLayer.h"

namespace {

class ReportCounter {
 public:
  static void Callback(const TileDrawInfo*, void* context) {
    auto* self = static_cast<ReportCounter*>(context);
    std::lock_guard<std::mutex> guard(self->mutex_);
    ++self->count_;
    self->changed_.notify_all();
  }
  void Reset() {
    std::lock_guard<std::mutex> guard(mutex_);
    count_ = 0;
  }
  void WaitFor(int n) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return count_ >= n; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
};

struct Setup {
  TileServer server{{"--latency", "50", "--rule", "connect-delay=50"}};
  ProxyEnvironment proxy{server};
  MercatorProjection projection;
};

Setup& Shared() {
  static Setup* setup = new Setup();
  return *setup;
}

// Requests the next columns x rows range at alternating zooms (so every tile is new) and waits for all.
class RangeRequester {
 public:
  RangeRequester() { layer_.projection = &Shared().projection; }
  void Next(int columns, int rows) {
    const double zoom = 10.0 + (round_ % 2);
    const int32_t x0 = 256 * (8 * (round_ / 2 % 50));  // fresh columns every other round
    ++round_;
    counter_.Reset();
    layer_.RequestTiles(x0, 0, x0 + 256 * columns - 1, 256 * rows - 1, zoom, ReportCounter::Callback, &counter_);
    counter_.WaitFor(columns * rows);
    // Reported tiles hand their connections back as their workers end.
    for (Tile* t : layer_.cache.order) {
      while (t->fetcher.HasWorker()) std::this_thread::yield();
    }
  }

 private:
  TileLayer layer_;
  ReportCounter counter_;
  int round_ = 0;
};

void RequestRange(benchmark::State& state, int columns, int rows) {
  RangeRequester requester;
  requester.Next(columns, rows);  // not timed: the connections the runs below keep
  for (auto _ : state) requester.Next(columns, rows);
  state.SetItemsProcessed(state.iterations() * columns * rows);
}

void BM_FirstScreenNewConnections(benchmark::State& state) {
  RangeRequester requester;
  for (auto _ : state) {
    state.PauseTiming();
    InternetCloseIdleConnections();
    state.ResumeTiming();
    requester.Next(4, 3);
  }
}
BENCHMARK(BM_FirstScreenNewConnections)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_SecondScreenKeptConnections(benchmark::State& state) {
  RangeRequester requester;
  for (auto _ : state) {
    state.PauseTiming();
    InternetCloseIdleConnections();
    requester.Next(4, 3);
    state.ResumeTiming();
    requester.Next(4, 3);
  }
}
BENCHMARK(BM_SecondScreenKeptConnections)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_RequestRange12(benchmark::State& state) { RequestRange(state, 4, 3); }
BENCHMARK(BM_RequestRange12)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_RequestOneTileFloor(benchmark::State& state) { RequestRange(state, 1, 1); }
BENCHMARK(BM_RequestOneTileFloor)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_ReRequestLoaded54(benchmark::State& state) {
  Setup& s = Shared();
  TileLayer layer;
  layer.projection = &s.projection;
  ReportCounter counter;
  layer.RequestTiles(0, 0, 9 * 256 - 1, 6 * 256 - 1, 12.0, ReportCounter::Callback, &counter);
  counter.WaitFor(54);
  for (Tile* t : layer.cache.order) {
    while (t->fetcher.HasWorker()) std::this_thread::yield();
  }
  for (auto _ : state) {
    layer.RequestTiles(0, 0, 9 * 256 - 1, 6 * 256 - 1, 12.0, ReportCounter::Callback, &counter);
  }
  state.SetItemsProcessed(state.iterations() * 54);
  state.counters["time_per_tile"] = benchmark::Counter(
      54, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}
BENCHMARK(BM_ReRequestLoaded54)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return bench::RunAndCompare(
      argc, argv,
      {{"BM_RequestRange12/iterations:20/real_time", "BM_RequestOneTileFloor/iterations:20/real_time",
        "time until the last of 12 tiles reported vs one tile's latency + transfer (50 ms latency)", 1.5},
       {"BM_FirstScreenNewConnections/iterations:20/real_time", "BM_RequestOneTileFloor/iterations:20/real_time",
        "first 4 x 3 screen, new connections (50 ms each) vs one request on a kept connection", 0},
       {"BM_SecondScreenKeptConnections/iterations:20/real_time", "BM_RequestOneTileFloor/iterations:20/real_time",
        "second 4 x 3 screen, kept connections vs one request on a kept connection (50 ms latency)", 1.2}});
}
