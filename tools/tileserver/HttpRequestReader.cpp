#include "tools/tileserver/HttpRequestReader.h"

#include "platform/kernel/DecimalText.h"

namespace tileserver {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool IsToken(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F || c == ':') return false;
  return true;
}

// End of the head: the position after the blank line, and where the head text stops.
bool FindHeadEnd(const std::string& buffer, size_t& headLength, size_t& consumed) {
  const size_t crlf = buffer.find("\r\n\r\n");
  const size_t lf = buffer.find("\n\n");
  if (crlf == std::string::npos && lf == std::string::npos) return false;
  if (lf == std::string::npos || (crlf != std::string::npos && crlf < lf)) {
    headLength = crlf;
    consumed = crlf + 4;
  } else {
    headLength = lf;
    consumed = lf + 2;
  }
  return true;
}

}  // namespace

ReadStatus HttpRequestReader::ParseHead(std::string_view head, ClientRequest& request) {
  request = ClientRequest();
  size_t lineEnd = head.find('\n');
  std::string_view line = Trim(head.substr(0, lineEnd));
  const size_t sp1 = line.find(' ');
  const size_t sp2 = sp1 == std::string_view::npos ? sp1 : line.find(' ', sp1 + 1);
  if (sp2 == std::string_view::npos || line.find(' ', sp2 + 1) != std::string_view::npos) return ReadStatus::BadRequest;
  request.method = std::string(line.substr(0, sp1));
  request.target = std::string(line.substr(sp1 + 1, sp2 - sp1 - 1));
  request.version = std::string(line.substr(sp2 + 1));
  if (!IsToken(request.method) || request.target.empty() ||
      (request.version != "HTTP/1.1" && request.version != "HTTP/1.0"))
    return ReadStatus::BadRequest;

  while (lineEnd != std::string_view::npos) {
    const size_t start = lineEnd + 1;
    lineEnd = head.find('\n', start);
    line = head.substr(start, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) return ReadStatus::BadRequest;
    if (request.headers.size() >= kMaxHeaders) return ReadStatus::HeadTooLarge;
    request.headers.emplace_back(std::string(line.substr(0, colon)), std::string(Trim(line.substr(colon + 1))));
  }
  return ReadStatus::Ok;
}

ReadStatus HttpRequestReader::Next(ClientRequest& request) {
  size_t headLength = 0, consumed = 0;
  for (;;) {
    // Blank lines before a request line are allowed and skipped.
    const size_t begin = buffer_.find_first_not_of("\r\n");
    buffer_.erase(0, begin == std::string::npos ? buffer_.size() : begin);
    if (FindHeadEnd(buffer_, headLength, consumed)) break;
    if (buffer_.size() > kMaxHeadBytes) return ReadStatus::HeadTooLarge;
    const bool idle = buffer_.empty();
    const ReadResult r = socket_.ReadSome(buffer_, idle ? kIdleTimeoutMs : kReadTimeoutMs);
    if (r != ReadResult::Data) return idle ? ReadStatus::Closed : ReadStatus::BadRequest;
  }
  if (headLength > kMaxHeadBytes) return ReadStatus::HeadTooLarge;
  const ReadStatus parsed = ParseHead(std::string_view(buffer_).substr(0, headLength), request);
  buffer_.erase(0, consumed);
  if (parsed != ReadStatus::Ok) return parsed;

  if (request.Header("Transfer-Encoding")) return ReadStatus::Unsupported;
  const std::optional<std::string> lengthText = request.Header("Content-Length");
  if (!lengthText) return ReadStatus::Ok;
  size_t length = 0;
  size_t used = 0;
  const DecimalStatus status = ReadDecimal(std::string_view(*lengthText), {}, &length, &used);
  if (status == DecimalStatus::kOutOfRange) return ReadStatus::BodyTooLarge;
  if (status != DecimalStatus::kOk || used != lengthText->size()) return ReadStatus::BadRequest;
  if (length > kMaxBodyBytes) return ReadStatus::BodyTooLarge;
  while (buffer_.size() < length) {
    if (socket_.ReadSome(buffer_, kReadTimeoutMs) != ReadResult::Data) return ReadStatus::BadRequest;
  }
  request.body = buffer_.substr(0, length);
  buffer_.erase(0, length);
  return ReadStatus::Ok;
}

}  // namespace tileserver
