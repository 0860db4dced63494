// How fast a view's worth of tiles arrives, and what re-requesting loaded tiles costs.
//
// BM_RequestRange12: the 12 tiles of a 4 x 3 range at a new zoom from the local tile server with
// 50 ms latency, timed until the last report. BM_RequestOneTileFloor: one tile the same way, the
// floor (one request's latency plus one tile's transfer) measured in the same run.
// BM_ReRequestLoaded54: a fully loaded 9 x 6 range (a 1920 x 1080 view), reported from memory.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "bench/BenchRatio.h"
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
  TileServer server{{"--latency", "50"}};
  ProxyEnvironment proxy{server};
  MercatorProjection projection;
};

Setup& Shared() {
  static Setup* setup = new Setup();
  return *setup;
}

// Requests a columns x rows range at alternating zooms (so every tile is new) and waits for all.
void RequestRange(benchmark::State& state, int columns, int rows) {
  Setup& s = Shared();
  TileLayer layer;
  layer.projection = &s.projection;
  ReportCounter counter;
  int round = 0;
  for (auto _ : state) {
    const double zoom = 10.0 + (round % 2);
    const int32_t x0 = 256 * (8 * (round / 2 % 50));  // fresh columns every other round
    ++round;
    counter.Reset();
    layer.RequestTiles(x0, 0, x0 + 256 * columns - 1, 256 * rows - 1, zoom, ReportCounter::Callback, &counter);
    counter.WaitFor(columns * rows);
  }
  state.SetItemsProcessed(state.iterations() * columns * rows);
}

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
  state.counters["time_per_tile"] =
      benchmark::Counter(54, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert,
                         benchmark::Counter::kIs1000);
}
BENCHMARK(BM_ReRequestLoaded54)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return bench::RunAndCompare(
      argc, argv,
      {{"BM_RequestRange12/iterations:20/real_time", "BM_RequestOneTileFloor/iterations:20/real_time",
        "time until the last of 12 tiles reported vs one tile's latency + transfer (50 ms latency)", 1.5}});
}
