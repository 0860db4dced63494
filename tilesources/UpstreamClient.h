// HTTP(S) requests of one upstream tile source, on the process's upstream network (one multi
// handle, one network thread): HTTP/2 streams on one connection when the service speaks it, at
// most `connections` kept-alive HTTP/1.1 connections otherwise. Every request names the program,
// its version and the operator's contact in its User-Agent. Whether proxy settings of the
// environment apply is the caller's choice: the map control honours them, the tile server (itself
// the viewer's proxy, whose setting pointing back at it would loop) does not.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tilesources/UpstreamNetwork.h"

namespace tilesources {

class UpstreamClient {
 public:
  static constexpr size_t kMaxBodyBytes = UpstreamNetwork::kMaxBodyBytes;
  static constexpr long kConnectTimeoutMs = UpstreamNetwork::kConnectTimeoutMs;
  static constexpr long kTransferTimeoutMs = UpstreamNetwork::kTransferTimeoutMs;
  static constexpr long kMaxRedirects = UpstreamNetwork::kMaxRedirects;

  UpstreamClient(UpstreamRequestOptions options, int connections)
      : options_(std::move(options)), network_(UpstreamNetwork::Shared(connections)) {}

  // GET url with the given extra head lines ("If-None-Match: ..."), waiting for the answer.
  UpstreamReply Get(const std::string& url, const std::vector<std::string>& headerLines);
  // The same without waiting: `done` runs on the network thread (see UpstreamNetwork). With
  // `retryWhileDown` a host that is down is asked again by itself until it answers.
  uint64_t Start(const std::string& url, const std::vector<std::string>& headerLines, UpstreamNetwork::Done done,
                 bool retryWhileDown = false) {
    UpstreamRequestOptions options = options_;
    options.retryWhileDown = retryWhileDown;
    return network_->Start(url, headerLines, options, std::move(done));
  }
  void Cancel(uint64_t id) { network_->Cancel(id); }

  const std::string& UserAgent() const { return options_.userAgent; }
  const UpstreamRequestOptions& Options() const { return options_; }
  UpstreamNetwork& Network() const { return *network_; }

 private:
  const UpstreamRequestOptions options_;
  const std::shared_ptr<UpstreamNetwork> network_;
};

}  // namespace tilesources
