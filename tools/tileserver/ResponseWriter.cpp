#include "tools/tileserver/ResponseWriter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace tileserver {
namespace {

constexpr const char* kServerName = "orvan-tileserver";

void SleepMs(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool ClosesAfter(const ResponsePlan& plan) {
  const FaultRule& f = plan.fault;
  return !plan.clientKeepsAlive || f.close || f.length == LengthMode::Literal || f.length == LengthMode::Delta ||
         f.length == LengthMode::Absent;
}

std::string ChunkHead(size_t size) {
  char text[32];
  std::snprintf(text, sizeof text, "%zx\r\n", size);
  return text;
}

}  // namespace

std::string ResponseWriter::Head(const ResponsePlan& plan, bool closeAfter) {
  const FaultRule& f = plan.fault;
  const size_t size = plan.body ? plan.body->size() : 0;
  std::string head = "HTTP/1.1 " + std::to_string(plan.status) + " " + ReasonPhrase(plan.status) + "\r\n";
  head += std::string("Server: ") + kServerName + "\r\n";
  head += "Content-Type: " + plan.contentType + "\r\n";
  for (const auto& [name, value] : plan.headers) head += name + ": " + value + "\r\n";
  switch (f.length) {
    case LengthMode::Actual: head += "Content-Length: " + std::to_string(size) + "\r\n"; break;
    case LengthMode::Literal: head += "Content-Length: " + f.lengthLiteral + "\r\n"; break;
    case LengthMode::Delta:
      head += "Content-Length: " + std::to_string(static_cast<int64_t>(size) + f.lengthDelta) + "\r\n";
      break;
    case LengthMode::Absent: break;
    case LengthMode::Chunked: head += "Transfer-Encoding: chunked\r\n"; break;
  }
  head += closeAfter ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
  head += "\r\n";
  return head;
}

SendOutcome ResponseWriter::Send(SocketStream& socket, const ResponsePlan& plan) {
  const FaultRule& f = plan.fault;
  const std::string status = std::to_string(plan.status) + " " + plan.what;
  SleepMs(plan.delayMs);
  if (f.reset == ResetPoint::BeforeHead) {
    socket.Reset();
    return {"reset after 0 bytes", false};
  }
  const bool closeAfter = ClosesAfter(plan);
  if (!socket.SendAll(Head(plan, closeAfter))) {
    socket.Reset();
    return {status + " client-closed", false};
  }
  if (f.reset == ResetPoint::BeforeBody) {
    socket.Reset();
    return {"reset after 0 bytes", false};
  }

  const std::string_view body = plan.body ? std::string_view(*plan.body) : std::string_view();
  size_t limit = body.size();
  if (f.stallAfter) limit = std::min(limit, *f.stallAfter);
  if (f.reset == ResetPoint::AfterBytes) limit = std::min(limit, f.resetAfter == SIZE_MAX ? body.size() / 2 : f.resetAfter);
  const bool chunked = f.length == LengthMode::Chunked;
  const bool paced = f.chunkDelayMs > 0 || f.chunkSize > 0 || chunked;
  const size_t piece = f.chunkSize > 0 ? f.chunkSize : paced ? kDefaultChunkSize : std::max<size_t>(limit, 1);

  size_t sent = 0;
  while (sent < limit) {
    if (sent > 0) SleepMs(f.chunkDelayMs);
    const size_t n = std::min(piece, limit - sent);
    const std::string_view part = body.substr(sent, n);
    const bool ok = chunked ? socket.SendAll(ChunkHead(n) + std::string(part) + "\r\n") : socket.SendAll(part);
    if (!ok) {
      socket.Reset();
      return {status + " client-closed", false};
    }
    sent += n;
  }

  const std::string after = " after " + std::to_string(sent) + " bytes";
  if (f.reset == ResetPoint::AfterBytes) {
    socket.Reset();
    return {"reset" + after, false};
  }
  if (f.stallAfter) {
    const bool peerClosed = socket.WaitForPeerClose(f.stallMs);
    socket.CloseGracefully();
    return {"stall" + after + (peerClosed ? " client-closed" : ""), false};
  }
  if (chunked && !socket.SendAll("0\r\n\r\n")) {
    socket.Reset();
    return {status + " client-closed", false};
  }
  if (closeAfter) {
    socket.CloseGracefully();
    return {status, false};
  }
  return {status, true};
}

}  // namespace tileserver
