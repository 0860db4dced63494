// A raw TCP connection to 127.0.0.1 for wire-level checks: send exact request bytes, read
// exactly what comes back, and tell a clean close (FIN) from a reset (RST) and from silence.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// An HTTP response head and whatever followed it.
struct RawHttpReply {
  bool headComplete = false;
  std::string statusLine;
  int status = 0;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;  // the bytes after the head, as received (chunked framing not removed)

  std::optional<std::string> Header(const std::string& name) const;  // case-insensitive
};

// Splits received bytes into head and body.
RawHttpReply ParseRawReply(const std::string& bytes);

// Removes chunked framing; nullopt when the framing is malformed or incomplete.
std::optional<std::string> DecodeChunked(const std::string& body);

// "GET /mt?v=..&hl=ko&x=X&y=Y&z=Z HTTP/1.1" for host `host`, in proxy form ("GET http://host/mt?...")
// or in origin form with a Host header, followed by `extraHeaders` (each ending in "\r\n").
std::string TileRequestText(const std::string& host, int x, int y, int z, bool proxyForm,
                            const std::string& extraHeaders = "");

enum class RawReadEnd { Closed, Reset, TimedOut, Complete };

class RawHttpConnection {
 public:
  explicit RawHttpConnection(uint16_t port);  // throws std::runtime_error when it cannot connect
  ~RawHttpConnection();
  RawHttpConnection(const RawHttpConnection&) = delete;
  RawHttpConnection& operator=(const RawHttpConnection&) = delete;

  void Send(const std::string& bytes);  // throws when the send fails

  // Reads until the peer closes or resets, or timeoutMs pass.
  RawReadEnd ReadUntilEnd(int timeoutMs);
  // Reads until at least `count` bytes have been received in all, or the end, or the time limit.
  RawReadEnd ReadAtLeast(size_t count, int timeoutMs);
  // Reads exactly one response framed by Content-Length or chunked coding, or of a status that
  // has no body (1xx, 204, 304) (Complete), leaving
  // any later bytes for the next call.
  RawReadEnd ReadOneResponse(int timeoutMs, RawHttpReply& reply);

  const std::string& Received() const { return received_; }
  void Close();

 private:
  RawReadEnd ReadMore(int timeoutMs);

  int fd_ = -1;
  std::string received_;
};
