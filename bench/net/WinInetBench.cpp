// Downloads of 2,000 synthetic tiles from the local tile server through the platform client, one at
// a time and on 16 threads at once, beside plain libcurl over the same URLs in the same run.
//
// The client is used as the tile fetcher uses it: a root handle, a connection and a request per tile,
// the body read in 1024-byte pieces, every handle closed afterwards. The sequential baseline reuses
// one easy handle (and its connection); "fresh handles" opens a new one per tile, as the client does,
// so that the cost of the connection and of the client layer can be told apart. Run it with
// build/bench/net/bench_wininet; the ratios are printed at the end.
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchRatio.h"
#include "bench/net/PlainCurlBaseline.h"
#include "platform/net/WinInet.h"
#include "tests/support/TileServerFixture.h"

namespace {

constexpr int kTiles = 2000;
constexpr int kThreads = 16;
constexpr int kTileLevel = 12;
constexpr int kTilesPerRow = 50;
constexpr DWORD kReadSize = 1024;
constexpr DWORD kFetchFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;

std::unique_ptr<TileServer> server;
std::unique_ptr<ProxyEnvironment> proxy;
std::vector<std::string> urls;      // for the baseline
std::vector<std::u16string> paths;  // for the client

std::string TilePathText(int index) {
  const int x = 1000 + index % kTilesPerRow;
  const int y = 1000 + index / kTilesPerRow;
  return "/mt?v=w2.92&hl=ko&x=" + std::to_string(x) + "&y=" + std::to_string(y) + "&z=" + std::to_string(kTileLevel);
}

// One tile the way the fetcher gets it; true when it came with status 200 and a whole body.
bool FetchWithClient(const std::u16string& path) {
  HINTERNET root = InternetOpenW(u"unknown", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  HINTERNET connection =
      root ? InternetConnectW(root, u"127.0.0.1", server->Port(), nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0)
           : nullptr;
  HINTERNET request =
      connection ? HttpOpenRequestW(connection, nullptr, path.c_str(), nullptr, nullptr, nullptr, kFetchFlags, 0)
                 : nullptr;
  bool ok = request != nullptr && HttpSendRequestW(request, nullptr, 0, nullptr, 0);
  if (ok) {
    DWORD status = 0;
    DWORD size = sizeof status;
    ok = HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) &&
         status == 200;
  }
  size_t total = 0;
  while (ok) {
    unsigned char chunk[kReadSize];
    DWORD got = 0;
    DWORD available = 0;
    InternetQueryDataAvailable(request, &available, 0, 0);
    ok = InternetReadFile(request, chunk, kReadSize, &got);
    if (got == 0) break;
    total += got;
  }
  for (HINTERNET handle : {request, connection, root}) {
    if (handle != nullptr) InternetCloseHandle(handle);
  }
  return ok && total > 0;
}

void Report(benchmark::State& state, const bench::DownloadRun& run) {
  if (run.failures != 0) state.SkipWithError("a download failed");
  state.SetIterationTime(run.seconds);
  state.SetItemsProcessed(static_cast<int64_t>(run.downloads));
}

bench::DownloadRun ClientRun(int threads) {
  bench::DownloadRun run;
  std::atomic<size_t> next{0};
  std::atomic<size_t> good{0};
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      for (size_t i = next++; i < paths.size(); i = next++) {
        if (FetchWithClient(paths[i])) ++good;
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.downloads = good.load();
  run.failures = paths.size() - run.downloads;
  return run;
}

void BM_ClientOneAtATime(benchmark::State& state) {
  for (auto _ : state) Report(state, ClientRun(1));
}
void BM_PlainCurlReusedHandle(benchmark::State& state) {
  for (auto _ : state) Report(state, bench::PlainCurlSequential(urls));
}
void BM_PlainCurlFreshHandles(benchmark::State& state) {
  for (auto _ : state) Report(state, bench::PlainCurlFreshHandles(urls));
}
void BM_Client16Threads(benchmark::State& state) {
  for (auto _ : state) Report(state, ClientRun(kThreads));
}
void BM_PlainCurl16Threads(benchmark::State& state) {
  for (auto _ : state) Report(state, bench::PlainCurlThreads(urls, kThreads));
}

#define DOWNLOAD_BENCHMARK(name)                                                                     \
  BENCHMARK(name)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)->UseManualTime()->Unit( \
      benchmark::kMillisecond)
DOWNLOAD_BENCHMARK(BM_ClientOneAtATime);
DOWNLOAD_BENCHMARK(BM_PlainCurlReusedHandle);
DOWNLOAD_BENCHMARK(BM_PlainCurlFreshHandles);
DOWNLOAD_BENCHMARK(BM_Client16Threads);
DOWNLOAD_BENCHMARK(BM_PlainCurl16Threads);

}  // namespace

int main(int argc, char** argv) {
  bench::PlainCurlInit();
  server = std::make_unique<TileServer>();
  // Both the client (device proxy settings) and plain libcurl use the server as their proxy, so that
  // every request of the run goes to it, whatever proxy the shell had set.
  proxy = std::make_unique<ProxyEnvironment>(*server);
  for (int i = 0; i < kTiles; ++i) {
    const std::string path = TilePathText(i);
    urls.push_back("http://" + server->HostPort() + path);
    paths.emplace_back(path.begin(), path.end());
  }
  // Every tile is made once before measuring, so that all runs are served from the server's cache.
  const bench::DownloadRun warm = bench::PlainCurlThreads(urls, kThreads);
  std::printf("warm-up: %zu tiles, %zu failed, %zu bytes\n", warm.downloads, warm.failures, warm.bytes);

  const int result =
      bench::RunAndCompare(argc, argv,
                           {{"BM_ClientOneAtATime/iterations:1/repeats:3/manual_time_mean",
                             "BM_PlainCurlReusedHandle/iterations:1/repeats:3/manual_time_mean",
                             "tiles/s, client one at a time vs one reused curl handle", 0, true},
                            {"BM_ClientOneAtATime/iterations:1/repeats:3/manual_time_mean",
                             "BM_PlainCurlFreshHandles/iterations:1/repeats:3/manual_time_mean",
                             "tiles/s, client one at a time vs a fresh curl handle per tile", 0, true},
                            {"BM_Client16Threads/iterations:1/repeats:3/manual_time_mean",
                             "BM_PlainCurl16Threads/iterations:1/repeats:3/manual_time_mean",
                             "tiles/s, client on 16 threads vs 16 curl handles on 16 threads", 0, true}});
  proxy.reset();
  server.reset();
  return result;
}
