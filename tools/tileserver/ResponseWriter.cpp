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
    case LengthMode::Actual:
      if (plan.status >= 200 && plan.status != 204) head += "Content-Length: " + std::to_string(size) + "\r\n";
      break;
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

SendOutcome ResponseWriter::Send(SocketStream& socket, const ResponsePlan& plan, const OutcomeReport& report) {
  const FaultRule& f = plan.fault;
  const std::string status = std::to_string(plan.status) + " " + plan.what;
  auto tell = [&report](const std::string& outcome) {
    if (report) report(outcome);
  };
  auto abandon = [&](const std::string& outcome) -> SendOutcome {
    tell(outcome);
    socket.Reset();
    return {outcome, false};
  };

  SleepMs(plan.delayMs);
  if (f.reset == ResetPoint::BeforeHead) return abandon("reset after 0 bytes");

  const std::string_view body = plan.body ? std::string_view(*plan.body) : std::string_view();
  size_t limit = body.size();
  if (f.stallAfter) limit = std::min(limit, *f.stallAfter);
  if (f.reset == ResetPoint::AfterBytes)
    limit = std::min(limit, f.resetAfter == SIZE_MAX ? body.size() / 2 : f.resetAfter);
  const bool chunked = f.length == LengthMode::Chunked;
  const bool paced = f.chunkDelayMs > 0 || f.chunkSize > 0 || chunked;
  const size_t piece = f.chunkSize > 0 ? f.chunkSize : paced ? kDefaultChunkSize : std::max<size_t>(limit, 1);
  // The answer ends normally, rather than in a reset or a stall.
  const bool normalEnd = f.reset == ResetPoint::None && !f.stallAfter;
  const bool closeAfter = ClosesAfter(plan);
  const std::string clientClosed = status + " client-closed";

  if (normalEnd && limit == 0 && !chunked) tell(status);
  if (!socket.SendAll(Head(plan, closeAfter))) return abandon(clientClosed);
  if (f.reset == ResetPoint::BeforeBody) return abandon("reset after 0 bytes");

  size_t sent = 0;
  while (sent < limit) {
    if (sent > 0) SleepMs(f.chunkDelayMs);
    const size_t n = std::min(piece, limit - sent);
    const std::string_view part = body.substr(sent, n);
    if (normalEnd && !chunked && sent + n == limit) tell(status);
    const bool ok = chunked ? socket.SendAll(ChunkHead(n) + std::string(part) + "\r\n") : socket.SendAll(part);
    if (!ok) return abandon(clientClosed);
    sent += n;
  }

  const std::string after = " after " + std::to_string(sent) + " bytes";
  if (f.reset == ResetPoint::AfterBytes) return abandon("reset" + after);
  if (f.stallAfter) {
    tell("stall" + after);
    const bool peerClosed = socket.WaitForPeerClose(f.stallMs);
    const std::string outcome = "stall" + after + (peerClosed ? " client-closed" : "");
    if (peerClosed) tell(outcome);
    socket.CloseGracefully();
    return {outcome, false};
  }
  if (chunked) {
    tell(status);
    if (!socket.SendAll("0\r\n\r\n")) return abandon(clientClosed);
  }
  if (closeAfter) {
    socket.CloseGracefully();
    return {status, false};
  }
  return {status, true};
}

}  // namespace tileserver
