// A fault rule: which tile requests it matches (column, row, level, server kind; each optional)
// and how the answer to them misbehaves. Rules are written as text, the same on the command
// line and over the control endpoint, e.g. "z=7 x=108 status=404" or "length=-5".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/tileserver/TileAddress.h"

namespace tileserver {

inline constexpr int kMaxDelayMs = 120000;
inline constexpr int kMaxStallMs = 60000;
inline constexpr size_t kMaxBodySize = size_t{64} << 20;
inline constexpr size_t kDefaultChunkSize = 1024;
inline constexpr size_t kDefaultGarbageSize = 2000;
inline constexpr int kDefaultRedirectStatus = 302;
inline constexpr int kMaxRetryAfterSeconds = 86400;

enum class LengthMode {
  Actual,   // Content-Length is the body's size
  Literal,  // Content-Length is the given text, whatever the body
  Delta,    // Content-Length is the body's size plus a signed number
  Absent,   // no Content-Length; the body ends when the connection closes
  Chunked,  // Transfer-Encoding: chunked
};

enum class ResetPoint { None, BeforeHead, BeforeBody, AfterBytes };

struct FaultRule {
  // Matching; an empty field matches anything.
  std::optional<int32_t> x, y, z;
  std::optional<HostKind> server;
  int times = 0;  // applies to this many matching requests, then is spent; 0 = no limit

  // Answer.
  int status = 0;  // 0: the normal status (200 with the tile)
  int delayMs = 0;
  std::optional<int> retryAfter;  // seconds, sent as Retry-After
  int connectDelayMs = 0;         // before the first answer on a new connection (a handshake's round trip)
  int chunkDelayMs = 0;
  size_t chunkSize = 0;  // 0: the whole body at once (or kDefaultChunkSize when pacing is asked)
  LengthMode length = LengthMode::Actual;
  std::string lengthLiteral;
  int64_t lengthDelta = 0;
  std::optional<size_t> bodySize;  // pad with zero bytes or cut the body to this size
  std::optional<size_t> stallAfter;
  int stallMs = kMaxStallMs;
  ResetPoint reset = ResetPoint::None;
  size_t resetAfter = 0;  // body bytes sent before the reset (AfterBytes); SIZE_MAX: half the body
  std::optional<size_t> garbage;
  int redirect = 0;
  std::string location;  // empty: the same URL with the redirect marker added
  bool close = false;

  std::string text;  // the rule as written

  bool Matches(const TileKey& key) const;
};

struct FaultRuleParse {
  bool ok = false;
  FaultRule rule;
  std::string error;  // what is wrong, when !ok
};

// Parses one rule: whitespace-separated "key=value" words and bare flags.
FaultRuleParse ParseFaultRule(std::string_view text);

// The syntax of rules, for --help.
const char* FaultRuleHelp();

}  // namespace tileserver
