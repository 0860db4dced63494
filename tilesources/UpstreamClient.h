// HTTP(S) requests to an upstream tile service on libcurl, with a fixed number of connections:
// each of `connections` transfer handles keeps one connection alive, and a request waits for a
// free handle, so no more connections than that are ever open to the service at once. Every
// request names the program, its version and the operator's contact in its User-Agent. Proxy
// settings in the environment are ignored: this server is itself the viewer's proxy, and its
// own setting pointing back at it would loop.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "tilesources/HttpFreshness.h"

namespace tilesources {

struct UpstreamReply {
  bool reached = false;  // a whole answer came back (false: no connection, a reset, a time-out, a cut body)
  bool timedOut = false;
  std::string error;  // why not, when !reached
  int status = 0;
  HeaderList headers;  // of the final answer, names in lower case
  std::string body;
};

class UpstreamClient {
 public:
  static constexpr size_t kMaxBodyBytes = size_t{16} << 20;  // far above any tile
  static constexpr long kConnectTimeoutMs = 10000;
  static constexpr long kTransferTimeoutMs = 60000;
  static constexpr long kMaxRedirects = 3;

  UpstreamClient(std::string userAgent, int connections);
  ~UpstreamClient();
  UpstreamClient(const UpstreamClient&) = delete;
  UpstreamClient& operator=(const UpstreamClient&) = delete;

  // GET url with the given extra head lines ("If-None-Match: ..."); blocks while every
  // connection is busy.
  UpstreamReply Get(const std::string& url, const std::vector<std::string>& headerLines);

  const std::string& UserAgent() const { return userAgent_; }

 private:
  void* TakeHandle();
  void GiveBack(void* handle);

  const std::string userAgent_;
  std::mutex mutex_;
  std::condition_variable freed_;
  std::vector<void*> idle_;  // CURL* handles not in use
  std::vector<void*> all_;
};

}  // namespace tilesources
