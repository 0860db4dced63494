// Reads HTTP/1.x requests one after another from a kept-alive connection, with limits on the
// head, the header count and the body, and time limits for an idle connection and a slow head.
#pragma once

#include <string>

#include "tools/tileserver/ClientRequest.h"
#include "tools/tileserver/SocketStream.h"

namespace tileserver {

enum class ReadStatus {
  Ok,
  Closed,        // the peer closed (or went quiet) between requests
  BadRequest,    // malformed request line, header or length
  HeadTooLarge,  // head over kMaxHeadBytes or kMaxHeaders
  BodyTooLarge,  // declared body over kMaxBodyBytes
  Unsupported,   // a request body in chunked transfer coding
};

class HttpRequestReader {
 public:
  static constexpr size_t kMaxHeadBytes = 16384;
  static constexpr size_t kMaxHeaders = 100;
  static constexpr size_t kMaxBodyBytes = 65536;
  static constexpr int kIdleTimeoutMs = 60000;  // waiting for the next request
  static constexpr int kReadTimeoutMs = 10000;  // once a request has begun

  explicit HttpRequestReader(SocketStream& socket) : socket_(socket) {}

  ReadStatus Next(ClientRequest& request);

  // Parses a complete head (request line and headers, without the blank line). Exposed for tests.
  static ReadStatus ParseHead(std::string_view head, ClientRequest& request);

 private:
  SocketStream& socket_;
  std::string buffer_;  // bytes read past the previous request (pipelining)
};

}  // namespace tileserver
