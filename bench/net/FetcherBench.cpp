// HttpFetcher downloading 2,000 synthetic tiles from the local tile server, one fetcher at a time and
// 16 at once, beside plain libcurl easy-handle loops over the same URLs in the same run; then the
// resident memory that 1,000 stored tiles cost beside their sizes rounded up to whole pages.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchRatio.h"
#include "bench/net/PlainCurlBaseline.h"
#include "net/HttpFetcher.h"
#include "platform/kernel/VirtualMemory.h"
#include "tests/support/TileServerFixture.h"

namespace {

constexpr int kTiles = 2000;
constexpr int kParallel = 16;
constexpr int kStoredTiles = 1000;
constexpr int kLevel = 12;
constexpr int kTilesPerRow = 50;
// Each figure is the best of this many runs, the fetcher's and the baselines' taking turns, so that
// a burst of load from elsewhere on the machine does not land on one side only.
constexpr int kRounds = 3;
// Kept-alive connections let the fetcher beat libcurl connecting anew for every tile on a thread of
// its own, and keep it within reach of one easy handle reused on one thread (no thread start at all).
constexpr double kNewConnectionTarget = 1.3;
constexpr double kReusedHandleTarget = 0.25;
constexpr double kMemoryTarget = 1.1;

std::string TilePath(int index, int firstRow) {
  return "/mt?v=w2.92&hl=ko&x=" + std::to_string(1000 + index % kTilesPerRow) +
         "&y=" + std::to_string(firstRow + index / kTilesPerRow) + "&z=" + std::to_string(kLevel);
}

// Counts the reports and wakes the driver at each one, so that it starts the next download as soon
// as a fetcher is about to become idle.
struct Outcome {
  std::atomic<int> successes{0};
  std::atomic<int> failures{0};
  std::mutex mutex;
  std::condition_variable reported;

  void Count(std::atomic<int>& which) {
    which++;
    std::lock_guard<std::mutex> guard(mutex);
    reported.notify_one();
  }
};

void Succeeded(const uint8_t*, uint32_t, void* context) {
  auto* o = static_cast<Outcome*>(context);
  o->Count(o->successes);
}
void Failed(const uint8_t*, uint32_t, void* context) {
  auto* o = static_cast<Outcome*>(context);
  o->Count(o->failures);
}

// Downloads every URL with `parallel` fetchers. With as many buffers as URLs each URL keeps its own;
// otherwise each fetcher reuses the buffer of its own index. Returns tiles per second.
double FetchAll(const std::vector<std::u16string>& urls, uint16_t port, int parallel,
                std::vector<ReceiveBuffer>& buffers, Outcome& outcome) {
  std::vector<std::unique_ptr<HttpFetcher>> fetchers;
  for (int i = 0; i < parallel; ++i) fetchers.push_back(std::make_unique<HttpFetcher>());
  const auto start = std::chrono::steady_clock::now();
  size_t next = 0;
  while (next < urls.size()) {
    bool started = false;
    for (size_t i = 0; i < fetchers.size(); ++i) {
      HttpFetcher& f = *fetchers[i];
      if (next < urls.size() && !f.HasWorker()) {
        ReceiveBuffer& buffer = buffers.size() == urls.size() ? buffers[next] : buffers[i];
        f.Fetch(urls[next].c_str(), &buffer, Succeeded, Failed, &outcome, nullptr, nullptr, port);
        ++next;
        started = true;
      }
    }
    if (!started) {
      // A fetcher turns idle just after its report; a download that ends without one (an error
      // status) is caught by the short time-out.
      std::unique_lock<std::mutex> lock(outcome.mutex);
      outcome.reported.wait_for(lock, std::chrono::milliseconds(1));
      lock.unlock();
      std::this_thread::yield();
    }
  }
  for (auto& f : fetchers) {
    while (f->HasWorker()) std::this_thread::yield();
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return static_cast<double>(urls.size()) / seconds;
}

size_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t total = 0, resident = 0;
  statm >> total >> resident;
  return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Prints a measured figure beside its baseline, and adds it to the run's summary table; a target of
// 0 prints the ratio for information.
void Print(const char* what, double measured, double baseline, double target, bool higherIsBetter, const char* unit) {
  const double ratio = measured / baseline;
  std::printf("%-58s %10.1f %10.1f %7.3f", what, measured, baseline, ratio);
  char targetText[32] = "-";
  const bool met = higherIsBetter ? ratio >= target : ratio <= target;
  if (target > 0) {
    std::snprintf(targetText, sizeof targetText, "%s%.2f", higherIsBetter ? ">=" : "<=", target);
    std::printf("  target %s %s", targetText, met ? "met" : "NOT MET");
  }
  std::printf("\n");
  char measuredText[48];
  char baselineText[48];
  std::snprintf(measuredText, sizeof measuredText, "%.1f %s", measured, unit);
  std::snprintf(baselineText, sizeof baselineText, "%.1f %s", baseline, unit);
  bench::AppendSummaryRow(std::string("fetcher: ") + what, measuredText, baselineText, ratio, targetText,
                          target > 0 ? (met ? "met" : "NOT MET") : "-");
}

}  // namespace

int main() {
  bench::PlainCurlInit();
  TileServer server;
  const uint16_t port = server.Port();
  std::vector<std::u16string> fetcherUrls;
  std::vector<std::string> curlUrls;
  for (int i = 0; i < kTiles; ++i) {
    const std::string path = TilePath(i, 1000);
    fetcherUrls.push_back(u"127.0.0.1" + std::u16string(path.begin(), path.end()));
    curlUrls.push_back("http://" + server.HostPort() + path);
  }
  // Warm the server's tile cache so that both sides download the same ready bytes.
  bench::PlainCurlThreads(curlUrls, kParallel);

  std::printf("%-58s %10s %10s %7s\n", "tiles per second", "fetcher", "baseline", "ratio");
  {
    std::vector<ReceiveBuffer> buffers(kParallel);
    Outcome outcome;
    double fetcher = 0, plain = 0, fresh = 0, threads = 0;
    for (int round = 0; round < kRounds; ++round) {
      fetcher = std::max(fetcher, FetchAll(fetcherUrls, port, 1, buffers, outcome));
      plain = std::max(plain, bench::PlainCurlSequential(curlUrls).TilesPerSecond());
      fresh = std::max(fresh, bench::PlainCurlFreshHandles(curlUrls).TilesPerSecond());
      threads = std::max(threads, bench::PlainCurlThreadPerUrl(curlUrls, 1).TilesPerSecond());
    }
    // Every download has its own thread by design; its connection is a kept-alive one. The baselines:
    // libcurl on a new thread with a fresh easy handle (a new connection) per tile, a fresh handle per
    // tile on one thread, and one reused handle (one connection, no thread start).
    Print("one at a time vs libcurl on a new thread per tile", fetcher, threads, kNewConnectionTarget, true, "tiles/s");
    Print("one at a time vs a fresh easy handle per tile", fetcher, fresh, 0, true, "tiles/s");
    Print("one at a time vs one reused easy handle", fetcher, plain, kReusedHandleTarget, true, "tiles/s");
    if (outcome.failures != 0) std::printf("  fetcher failures: %d\n", outcome.failures.load());
  }
  {
    std::vector<ReceiveBuffer> buffers(kParallel);
    Outcome outcome;
    double fetcher = 0, plain = 0, fresh = 0, threads = 0;
    for (int round = 0; round < kRounds; ++round) {
      fetcher = std::max(fetcher, FetchAll(fetcherUrls, port, kParallel, buffers, outcome));
      fresh = std::max(fresh, bench::PlainCurlThreads(curlUrls, kParallel, /*freshHandles=*/true).TilesPerSecond());
      plain = std::max(plain, bench::PlainCurlThreads(curlUrls, kParallel).TilesPerSecond());
      threads = std::max(threads, bench::PlainCurlThreadPerUrl(curlUrls, kParallel).TilesPerSecond());
    }
    Print("16 at once vs libcurl on a new thread per tile, 16 at once", fetcher, threads, kNewConnectionTarget, true,
          "tiles/s");
    Print("16 at once vs 16 threads, a fresh easy handle per tile", fetcher, fresh, 0, true, "tiles/s");
    Print("16 at once vs 16 threads, one reused easy handle each", fetcher, plain, kReusedHandleTarget, true,
          "tiles/s");
    if (outcome.failures != 0) std::printf("  fetcher failures: %d\n", outcome.failures.load());
  }
  {
    // 1,000 tiles kept, each in its own buffer, as the tile cache keeps them.
    std::vector<std::u16string> urls;
    for (int i = 0; i < kStoredTiles; ++i) {
      const std::string path = TilePath(i, 3000);
      urls.push_back(u"127.0.0.1" + std::u16string(path.begin(), path.end()));
    }
    // One at a time, so that the figure is not blurred by allocator arenas of many threads.
    std::vector<ReceiveBuffer> buffers(kStoredTiles);
    Outcome outcome;
    FetchAll(urls, port, 1, buffers, outcome);  // warm-up: server cache, allocator, thread stack
    for (auto& b : buffers) b.Release();
    const size_t before = ResidentBytes();
    FetchAll(urls, port, 1, buffers, outcome);
    const size_t after = ResidentBytes();
    const size_t page = VirtualPageSize();
    double pages = 0;
    for (const auto& b : buffers) pages += static_cast<double>((b.usedSize + page - 1) / page * page);
    std::printf("\n%-58s %10s %10s %7s\n", "bytes per stored tile", "resident", "pages", "ratio");
    Print("resident growth per tile vs its bytes in whole pages", static_cast<double>(after - before) / kStoredTiles,
          pages / kStoredTiles, kMemoryTarget, false, "bytes");
  }
  return 0;
}
