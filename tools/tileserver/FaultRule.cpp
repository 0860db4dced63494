#include "tools/tileserver/FaultRule.h"

#include <cstdint>
#include <vector>

#include "platform/kernel/DecimalText.h"

namespace tileserver {
namespace {

constexpr int kMinStatus = 100;
constexpr int kMaxStatus = 599;
constexpr int64_t kMaxLengthDelta = int64_t{1} << 40;

// A '+' may open any number; a '-' only one of a signed type.
template <typename T>
bool ParseNumber(std::string_view text, T& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  return ParseDecimal(text, &value, {.sign = DecimalSign::kMinus});
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
    size_t start = i;
    while (i < text.size() && !(text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

class RuleBuilder {
 public:
  bool Apply(std::string_view key, std::optional<std::string_view> value) {
    key_ = key;
    if (key == "x" || key == "y" || key == "z") return Coordinate(value);
    if (key == "server") return Server(value);
    if (key == "times") return Int(value, rule.times, 1, INT32_MAX);
    if (key == "status") return Int(value, rule.status, kMinStatus, kMaxStatus);
    if (key == "retry-after") return Int(value, rule.retryAfter.emplace(), 0, kMaxRetryAfterSeconds);
    if (key == "delay") return Int(value, rule.delayMs, 0, kMaxDelayMs);
    if (key == "connect-delay") return Int(value, rule.connectDelayMs, 0, kMaxDelayMs);
    if (key == "chunk-delay") return Int(value, rule.chunkDelayMs, 0, kMaxDelayMs);
    if (key == "chunk-size") return Size(value, rule.chunkSize, 1);
    if (key == "length") return Length(value);
    if (key == "length-delta") return LengthDelta(value);
    if (key == "chunked") return Flag(value) && SetLength(LengthMode::Chunked);
    if (key == "body-size") return OptionalSize(value, rule.bodySize, 0);
    if (key == "stall") return OptionalSize(value, rule.stallAfter, 0);
    if (key == "stall-ms") return Int(value, rule.stallMs, 0, kMaxStallMs);
    if (key == "reset") return Reset(value);
    if (key == "garbage") return Garbage(value);
    if (key == "redirect") return Redirect(value);
    if (key == "location") return Location(value);
    if (key == "close") return Flag(value) && (rule.close = true);
    return Fail("unknown key");
  }

  bool Finish() {
    key_ = "rule";
    if (rule.redirect != 0 && rule.status != 0) return Fail("redirect and status exclude each other");
    if (!rule.location.empty() && rule.redirect == 0) rule.redirect = kDefaultRedirectStatus;
    if (rule.stallAfter && rule.reset != ResetPoint::None) return Fail("stall and reset exclude each other");
    return true;
  }

  FaultRule rule;
  std::string error;

 private:
  bool Fail(const std::string& why) {
    error = std::string(key_) + ": " + why;
    return false;
  }

  bool Flag(std::optional<std::string_view> value) { return value ? Fail("takes no value") : true; }

  bool Int(std::optional<std::string_view> value, int& out, int64_t low, int64_t high) {
    int64_t n = 0;
    if (!value || !ParseNumber(*value, n)) return Fail("needs a whole number");
    if (n < low || n > high) return Fail("out of range " + std::to_string(low) + ".." + std::to_string(high));
    out = static_cast<int>(n);
    return true;
  }

  bool Size(std::optional<std::string_view> value, size_t& out, size_t low) {
    uint64_t n = 0;
    if (!value || !ParseNumber(*value, n)) return Fail("needs a byte count");
    if (n < low || n > kMaxBodySize)
      return Fail("out of range " + std::to_string(low) + ".." + std::to_string(kMaxBodySize));
    out = static_cast<size_t>(n);
    return true;
  }

  bool OptionalSize(std::optional<std::string_view> value, std::optional<size_t>& out, size_t low) {
    size_t n = 0;
    if (!Size(value, n, low)) return false;
    out = n;
    return true;
  }

  bool Coordinate(std::optional<std::string_view> value) {
    int32_t n = 0;
    if (!value || !ParseNumber(*value, n)) return Fail("needs a whole number");
    (key_ == "x" ? rule.x : key_ == "y" ? rule.y : rule.z) = n;
    return true;
  }

  bool Server(std::optional<std::string_view> value) {
    if (value == "world") rule.server = HostKind::World;
    else if (value == "regional") rule.server = HostKind::Regional;
    else return Fail("is world or regional");
    return true;
  }

  bool SetLength(LengthMode mode) {
    if (rule.length != LengthMode::Actual) return Fail("only one of length, length-delta and chunked");
    rule.length = mode;
    return true;
  }

  bool Length(std::optional<std::string_view> value) {
    if (!value || value->empty()) return Fail("needs a value or none");
    if (*value == "none") return SetLength(LengthMode::Absent);
    rule.lengthLiteral = std::string(*value);
    return SetLength(LengthMode::Literal);
  }

  bool LengthDelta(std::optional<std::string_view> value) {
    int64_t n = 0;
    if (!value || !ParseNumber(*value, n) || n < -kMaxLengthDelta || n > kMaxLengthDelta) return Fail("needs +N or -N");
    rule.lengthDelta = n;
    return SetLength(LengthMode::Delta);
  }

  bool Reset(std::optional<std::string_view> value) {
    if (value == "head") {
      rule.reset = ResetPoint::BeforeHead;
    } else if (value == "body") {
      rule.reset = ResetPoint::BeforeBody;
    } else if (value == "mid") {
      rule.reset = ResetPoint::AfterBytes;
      rule.resetAfter = SIZE_MAX;
    } else {
      if (!value) return Fail("is head, body, mid or a byte count");
      if (!Size(value, rule.resetAfter, 0)) return false;
      rule.reset = ResetPoint::AfterBytes;
    }
    return true;
  }

  bool Garbage(std::optional<std::string_view> value) {
    if (!value) {
      rule.garbage = kDefaultGarbageSize;
      return true;
    }
    return OptionalSize(value, rule.garbage, 1);
  }

  bool Redirect(std::optional<std::string_view> value) {
    if (!value) {
      rule.redirect = kDefaultRedirectStatus;
      return true;
    }
    if (!Int(value, rule.redirect, 300, 399)) return false;
    return true;
  }

  bool Location(std::optional<std::string_view> value) {
    if (!value || value->empty()) return Fail("needs a URL");
    for (char c : *value)
      if (static_cast<unsigned char>(c) < 0x21 || c == 0x7F) return Fail("has a control character");
    rule.location = std::string(*value);
    return true;
  }

  std::string_view key_;
};

}  // namespace

bool FaultRule::Matches(const TileKey& key) const {
  return (!x || *x == key.x) && (!y || *y == key.y) && (!z || *z == key.z) && (!server || *server == key.kind);
}

FaultRuleParse ParseFaultRule(std::string_view text) {
  FaultRuleParse result;
  RuleBuilder builder;
  const std::vector<std::string_view> words = Words(text);
  if (words.empty()) {
    result.error = "empty rule";
    return result;
  }
  for (std::string_view word : words) {
    const size_t eq = word.find('=');
    const std::string_view key = word.substr(0, eq);
    std::optional<std::string_view> value;
    if (eq != std::string_view::npos) value = word.substr(eq + 1);
    if (!builder.Apply(key, value)) {
      result.error = builder.error;
      return result;
    }
  }
  if (!builder.Finish()) {
    result.error = builder.error;
    return result;
  }
  result.ok = true;
  result.rule = std::move(builder.rule);
  for (size_t i = 0; i < words.size(); ++i) result.rule.text += (i ? " " : "") + std::string(words[i]);
  return result;
}

const char* FaultRuleHelp() {
  return R"(Fault rules: whitespace-separated words, e.g. "z=7 x=108 status=404" or "length=-5".
  Matching (each optional; absent = any):
    x=N y=N z=N          tile column, row, level
    server=world|regional which tile server the host names
    times=N              apply to the first N matching requests, then the rule is spent
  The newest matching rule wins. A request the server redirected to itself (its query carries
  "redirected=1") is never matched, so redirects do not loop.
  Answer:
    status=CODE          answer CODE (100-599) with a short text body "CODE rule" (no body
                         for 1xx, 204 and 304)
    delay=MS             wait MS before the head (added to --latency)
    retry-after=SECONDS  the answer carries "Retry-After: SECONDS" (with status=429 or 503)
    connect-delay=MS     wait MS more before the first answer on a new connection, as a
                         connection's set-up (a handshake's round trip) costs; answers on a
                         kept-alive connection do not pay it
    chunk-size=BYTES     send the body in pieces of BYTES (default 1024 when pacing)
    chunk-delay=MS       wait MS between body pieces
    length=TEXT          declare "Content-Length: TEXT" whatever the body, e.g. length=-5,
                         length=99999999999, length=10485761; the connection closes after
    length=none          no Content-Length: the body ends when the connection closes
    length-delta=+N|-N   declare the body's size plus N (too long) or minus N (too short);
                         the whole body is sent, then the connection closes
    chunked              Transfer-Encoding: chunked (pieces of chunk-size)
    body-size=BYTES      pad the body with zero bytes, or cut it, to exactly BYTES
                         (e.g. body-size=10485760), declared truthfully unless length says otherwise
    stall=BYTES          send the head and BYTES of the body, then nothing; hold the connection
    stall-ms=MS          how long a stall holds (default and at most 60000), then closes;
                         it ends early when the client closes
    reset=head|body|mid|BYTES  reset the connection (RST) before the head, right after the head,
                         half way through the body, or after BYTES of the body
    garbage[=BYTES]      a body of text that is not an image (default 2000 bytes), status 200,
                         Content-Type image/png
    redirect[=CODE]      answer CODE (default 302) with a Location header
    location=URL         the Location (default: the same URL plus "&redirected=1")
    close                answer "Connection: close" and close after the answer
)";
}

}  // namespace tileserver
