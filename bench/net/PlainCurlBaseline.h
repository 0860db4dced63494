// The baseline for download benchmarks: the same URLs fetched with plain libcurl easy handles, no
// client layer around them. Sequential: one easy handle reused for every URL (libcurl keeps the
// connection). Threaded: K threads, each with its own easy handle, taking the URLs in turn. Fresh
// handles: sequential, a new easy handle (and so a new connection) for every URL.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace bench {

struct DownloadRun {
  size_t downloads = 0;  // URLs answered with status 200 and a complete body
  size_t failures = 0;
  size_t bytes = 0;  // body bytes received
  double seconds = 0;
  double TilesPerSecond() const { return seconds > 0 ? static_cast<double>(downloads) / seconds : 0; }
};

// libcurl's process-wide set-up; call once before starting threads (the functions below call it too).
void PlainCurlInit();

DownloadRun PlainCurlSequential(const std::vector<std::string>& urls);
// With `freshHandles`, each thread opens a new easy handle (and connection) for every URL.
DownloadRun PlainCurlThreads(const std::vector<std::string>& urls, int threads, bool freshHandles = false);
DownloadRun PlainCurlFreshHandles(const std::vector<std::string>& urls);

// A new thread and a fresh easy handle for every URL, at most `parallel` at once: the shape of the
// tile fetcher's downloads (one worker thread and one connection each) with nothing else around it.
DownloadRun PlainCurlThreadPerUrl(const std::vector<std::string>& urls, int parallel);

}  // namespace bench
