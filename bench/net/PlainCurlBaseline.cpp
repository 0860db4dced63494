#include "bench/net/PlainCurlBaseline.h"

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace bench {
namespace {

size_t CountBytes(char* /*data*/, size_t size, size_t count, void* total) {
  *static_cast<size_t*>(total) += size * count;
  return size * count;
}

// Fetches urls[i] for every i taken from `next`, with one easy handle (a new one per URL when
// `fresh`); adds to `run`.
void FetchWithOneHandle(const std::vector<std::string>& urls, std::atomic<size_t>& next, DownloadRun& run,
                        bool fresh = false) {
  CURL* easy = curl_easy_init();
  if (easy == nullptr) return;
  size_t bytes = 0;
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CountBytes);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &bytes);
  for (size_t i = next++; i < urls.size(); i = next++) {
    if (fresh && i != 0) {
      curl_easy_cleanup(easy);
      easy = curl_easy_init();
      if (easy == nullptr) break;
      curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
      curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CountBytes);
      curl_easy_setopt(easy, CURLOPT_WRITEDATA, &bytes);
    }
    curl_easy_setopt(easy, CURLOPT_URL, urls[i].c_str());
    const size_t before = bytes;
    long status = 0;
    const bool ok = curl_easy_perform(easy) == CURLE_OK &&
                    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status == 200 &&
                    bytes > before;
    ++(ok ? run.downloads : run.failures);
  }
  run.bytes += bytes;
  if (easy != nullptr) curl_easy_cleanup(easy);
}

// The sum of several threads' runs, timed from `start` until now.
DownloadRun Combined(const std::vector<DownloadRun>& runs, std::chrono::steady_clock::time_point start) {
  DownloadRun total;
  total.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  for (const DownloadRun& run : runs) {
    total.downloads += run.downloads;
    total.failures += run.failures;
    total.bytes += run.bytes;
  }
  return total;
}

}  // namespace

void PlainCurlInit() {
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  (void)ready;
}

DownloadRun PlainCurlSequential(const std::vector<std::string>& urls) {
  PlainCurlInit();
  DownloadRun run;
  std::atomic<size_t> next{0};
  const auto start = std::chrono::steady_clock::now();
  FetchWithOneHandle(urls, next, run);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

DownloadRun PlainCurlFreshHandles(const std::vector<std::string>& urls) {
  PlainCurlInit();
  DownloadRun run;
  std::atomic<size_t> next{0};
  const auto start = std::chrono::steady_clock::now();
  FetchWithOneHandle(urls, next, run, /*fresh=*/true);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

DownloadRun PlainCurlThreads(const std::vector<std::string>& urls, int threads, bool freshHandles) {
  PlainCurlInit();
  std::vector<DownloadRun> runs(static_cast<size_t>(threads > 0 ? threads : 1));
  std::atomic<size_t> next{0};
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> workers;
  for (DownloadRun& run : runs)
    workers.emplace_back([&urls, &next, &run, freshHandles] { FetchWithOneHandle(urls, next, run, freshHandles); });
  for (std::thread& worker : workers) worker.join();
  return Combined(runs, start);
}

DownloadRun PlainCurlThreadPerUrl(const std::vector<std::string>& urls, int parallel) {
  PlainCurlInit();
  const size_t slots = static_cast<size_t>(parallel > 0 ? parallel : 1);
  std::vector<DownloadRun> runs(urls.size());
  std::vector<std::thread> running;
  const auto start = std::chrono::steady_clock::now();
  for (size_t i = 0; i < urls.size(); ++i) {
    if (running.size() == slots) {
      running.front().join();
      running.erase(running.begin());
    }
    running.emplace_back([&urls, &runs, i] {
      const std::vector<std::string> one{urls[i]};
      std::atomic<size_t> next{0};
      FetchWithOneHandle(one, next, runs[i]);
    });
  }
  for (std::thread& t : running) t.join();
  return Combined(runs, start);
}

}  // namespace bench
