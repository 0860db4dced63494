// The upstream requests of a process on one libcurl multi handle, driven by one network thread:
// HTTP/2 (offered by ALPN over TLS, never assumed) carries every request to a host as a stream on
// one connection; HTTP/1.1 keeps at most `maxHostConnections` connections alive per host. New
// requests wait for a connection being set up to the host rather than opening another, TLS
// sessions are reused across connections, and certificates are verified against the system's CA
// store (or a CA file the caller names).
//
// Requests are started and cancelled from any thread without waiting on the network: the network
// thread takes them up at once (it is woken), and a cancelled request's transfer (an HTTP/2 stream)
// is reset. A finished request's answer goes to its callback on the network thread, which must
// only hand it on (to a worker) and never block.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tilesources/HttpFreshness.h"

namespace tilesources {

struct UpstreamReply {
  bool reached = false;  // a whole answer came back (false: no connection, a reset, a time-out, a cut body)
  bool timedOut = false;
  bool certificateRefused = false;  // the host's TLS certificate did not verify
  std::string error;                // why not, when !reached: one line naming the host
  int status = 0;
  HeaderList headers;  // of the final answer, names in lower case
  std::string body;
};

// How requests of one caller go out.
struct UpstreamRequestOptions {
  std::string userAgent;
  // true: http_proxy, https_proxy and no_proxy of the environment are honoured (https through
  // CONNECT); false: every request goes straight to the host.
  bool useProxyEnvironment = false;
  std::string caFile;  // PEM file of the certificates to trust; empty: the system's CA store
  // true: a request that finds the host down (refused, unreachable, cut off before an answer)
  // is sent again later by itself (after 1 s, doubling up to kMaxRetryDelayMs) until it is
  // answered or cancelled; false: it is answered with the failure.
  bool retryWhileDown = false;
};

class UpstreamNetwork : public std::enable_shared_from_this<UpstreamNetwork> {
 public:
  static constexpr size_t kMaxBodyBytes = size_t{16} << 20;  // far above any tile
  static constexpr long kConnectTimeoutMs = 10000;
  static constexpr long kTransferTimeoutMs = 60000;
  static constexpr long kMaxRedirects = 3;
  static constexpr int64_t kFirstRetryDelayMs = 1000;
  static constexpr int64_t kMaxRetryDelayMs = 16000;

  using Done = std::function<void(UpstreamReply)>;

  // The network of this process for the given bound of connections per host: made when first
  // asked for, it lives (with its thread) while any caller holds it.
  static std::shared_ptr<UpstreamNetwork> Shared(int maxHostConnections);

  explicit UpstreamNetwork(int maxHostConnections);
  ~UpstreamNetwork();  // requests not yet answered end unanswered (their callbacks are dropped)
  UpstreamNetwork(const UpstreamNetwork&) = delete;
  UpstreamNetwork& operator=(const UpstreamNetwork&) = delete;

  // Starts a GET of `url` with extra head lines ("If-None-Match: ..."); returns its number for
  // Cancel. `done` runs once on the network thread, unless the request is cancelled first.
  uint64_t Start(const std::string& url, const std::vector<std::string>& headerLines,
                 const UpstreamRequestOptions& options, Done done);
  // The request's callback will not be called after the network thread takes this up; a callback
  // already running is not waited for. Never blocks.
  void Cancel(uint64_t id);

  // Connections opened so far (TCP connections, each with its own TLS handshake on https).
  int64_t ConnectionsOpened() const;
  int MaxHostConnections() const { return maxHostConnections_; }

 private:
  struct Request;
  void Run();
  void TakeUpNew();
  void Finish(void* easy, int code);

  const int maxHostConnections_;
  void* multi_ = nullptr;  // CURLM*
  void* share_ = nullptr;  // CURLSH*: DNS and TLS sessions, used on the network thread only

  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<Request>> starting_;  // guarded
  std::vector<uint64_t> cancelling_;                // guarded
  bool stopping_ = false;                           // guarded
  uint64_t nextId_ = 1;                             // guarded
  int64_t connectionsOpened_ = 0;                   // guarded

  // Returns the request to `starting_` after its retry delay; the time of the next one due.
  int64_t RetryDue(int64_t nowMs);

  std::vector<std::unique_ptr<Request>> running_;  // network thread only
  std::vector<std::unique_ptr<Request>> waiting_;  // to be sent again, guarded
  std::thread thread_;
};

}  // namespace tilesources
