#include "tests/support/RawHttpConnection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

std::optional<std::string> RawHttpReply::Header(const std::string& name) const {
  for (const auto& [key, value] : headers)
    if (SameText(key, name)) return value;
  return std::nullopt;
}

RawHttpReply ParseRawReply(const std::string& bytes) {
  RawHttpReply reply;
  const size_t end = bytes.find("\r\n\r\n");
  if (end == std::string::npos) return reply;
  reply.headComplete = true;
  reply.body = bytes.substr(end + 4);
  size_t start = 0;
  bool first = true;
  while (start < end) {
    size_t lineEnd = bytes.find("\r\n", start);
    if (lineEnd == std::string::npos || lineEnd > end) lineEnd = end;
    const std::string line = bytes.substr(start, lineEnd - start);
    start = lineEnd + 2;
    if (first) {
      reply.statusLine = line;
      const size_t space = line.find(' ');
      if (space != std::string::npos) reply.status = std::atoi(line.c_str() + space + 1);
      first = false;
      continue;
    }
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    size_t valueStart = colon + 1;
    while (valueStart < line.size() && line[valueStart] == ' ') ++valueStart;
    reply.headers.emplace_back(line.substr(0, colon), line.substr(valueStart));
  }
  return reply;
}

std::optional<std::string> DecodeChunked(const std::string& body) {
  std::string out;
  size_t pos = 0;
  for (;;) {
    const size_t lineEnd = body.find("\r\n", pos);
    if (lineEnd == std::string::npos) return std::nullopt;
    char* parsedEnd = nullptr;
    const std::string sizeText = body.substr(pos, lineEnd - pos);
    const unsigned long size = std::strtoul(sizeText.c_str(), &parsedEnd, 16);
    if (sizeText.empty() || parsedEnd != sizeText.c_str() + sizeText.size()) return std::nullopt;
    pos = lineEnd + 2;
    if (size == 0) return body.compare(pos, 2, "\r\n") == 0 ? std::optional<std::string>(out) : std::nullopt;
    if (body.size() < pos + size + 2 || body.compare(pos + size, 2, "\r\n") != 0) return std::nullopt;
    out.append(body, pos, size);
    pos += size + 2;
  }
}

std::string TileRequestText(const std::string& host, int x, int y, int z, bool proxyForm,
                            const std::string& extraHeaders) {
  const std::string path = std::string("/mt?v=") + (host.find("regional") != std::string::npos ? "kr1.9" : "w2.92") +
                           "&hl=ko&x=" + std::to_string(x) + "&y=" + std::to_string(y) + "&z=" + std::to_string(z);
  const std::string target = proxyForm ? "http://" + host + path : path;
  return "GET " + target + " HTTP/1.1\r\nHost: " + host + "\r\nUser-Agent: raw-test\r\n" + extraHeaders + "\r\n";
}

RawHttpConnection::RawHttpConnection(uint16_t port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    const std::string error = std::strerror(errno);
    Close();
    throw std::runtime_error("connect 127.0.0.1:" + std::to_string(port) + ": " + error);
  }
}

RawHttpConnection::~RawHttpConnection() { Close(); }

void RawHttpConnection::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void RawHttpConnection::Send(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw std::runtime_error(std::string("send: ") + std::strerror(errno));
    sent += static_cast<size_t>(n);
  }
}

RawReadEnd RawHttpConnection::ReadMore(int timeoutMs) {
  pollfd pfd{fd_, POLLIN, 0};
  const int ready = ::poll(&pfd, 1, timeoutMs);
  if (ready == 0) return RawReadEnd::TimedOut;
  char buffer[65536];
  const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
  if (got == 0) return RawReadEnd::Closed;
  if (got < 0) return errno == ECONNRESET ? RawReadEnd::Reset : RawReadEnd::Closed;
  received_.append(buffer, static_cast<size_t>(got));
  return RawReadEnd::Complete;
}

RawReadEnd RawHttpConnection::ReadUntilEnd(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const int left = MsLeft(deadline);
    if (left == 0) return RawReadEnd::TimedOut;
    const RawReadEnd end = ReadMore(left);
    if (end != RawReadEnd::Complete) return end;
  }
}

RawReadEnd RawHttpConnection::ReadAtLeast(size_t count, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (received_.size() < count) {
    const int left = MsLeft(deadline);
    if (left == 0) return RawReadEnd::TimedOut;
    const RawReadEnd end = ReadMore(left);
    if (end != RawReadEnd::Complete) return end;
  }
  return RawReadEnd::Complete;
}

RawReadEnd RawHttpConnection::ReadOneResponse(int timeoutMs, RawHttpReply& reply) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  size_t headSize = std::string::npos;
  size_t total = std::string::npos;  // head and body, once known
  size_t searched = 0;               // chunked: how far the terminator has been looked for
  bool chunked = false;
  for (;;) {
    if (headSize == std::string::npos) {
      const size_t end = received_.find("\r\n\r\n");
      if (end != std::string::npos) {
        headSize = end + 4;
        reply = ParseRawReply(received_.substr(0, headSize));
        const std::optional<std::string> length = reply.Header("Content-Length");
        const std::optional<std::string> coding = reply.Header("Transfer-Encoding");
        const bool bodiless = reply.status < 200 || reply.status == 204 || reply.status == 304;
        if (bodiless) total = headSize;
        else if (length) total = headSize + std::strtoull(length->c_str(), nullptr, 10);
        else chunked = coding && SameText(*coding, "chunked");
        searched = headSize;
      }
    }
    if (chunked && total == std::string::npos) {
      // The last chunk is "0\r\n\r\n", either first or after another chunk's "\r\n".
      if (received_.compare(headSize, 5, "0\r\n\r\n") == 0) {
        total = headSize + 5;
      } else {
        const size_t from = searched > headSize + 7 ? searched - 7 : headSize;
        const size_t last = received_.find("\r\n0\r\n\r\n", from);
        if (last != std::string::npos) total = last + 7;
        searched = received_.size();
      }
    }
    if (total != std::string::npos && received_.size() >= total) {
      reply.body = received_.substr(headSize, total - headSize);
      received_.erase(0, total);
      return RawReadEnd::Complete;
    }
    const int left = MsLeft(deadline);
    if (left == 0) return RawReadEnd::TimedOut;
    const RawReadEnd end = ReadMore(left);
    if (end != RawReadEnd::Complete) return end;
  }
}
