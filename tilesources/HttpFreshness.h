// How long a fetched answer may be served from a cache, and how long to wait when a service asks
// for it, read from the answer's head the way a shared cache does: s-maxage, then max-age, then
// Expires less Date, less the Age the answer already had; no-store and private keep it out of the
// cache, no-cache makes it stale at once. Also the HTTP date format both ways.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tilesources {

// Head fields of an answer, names in lower case.
using HeaderList = std::vector<std::pair<std::string, std::string>>;

const std::string* FindHeader(const HeaderList& headers, std::string_view lowerName);

struct CachePolicy {
  bool store = true;    // may be kept at all
  int64_t freshMs = 0;  // how long from now it is fresh (0: revalidate before the next use)
};

// Answers without any freshness information get a tenth of the time since they were last
// modified, at most this long, as HTTP caches do; with no Last-Modified either, none.
inline constexpr int64_t kMaxHeuristicFreshMs = int64_t{24} * 3600 * 1000;

CachePolicy CachePolicyOf(const HeaderList& headers, int64_t nowMs);

// A Retry-After value (seconds, or an HTTP date) as milliseconds from now, at most maxMs;
// nullopt when it is neither.
std::optional<int64_t> RetryAfterMs(std::string_view value, int64_t nowMs, int64_t maxMs);

// Milliseconds since the epoch of an HTTP date (any of the three forms HTTP allows).
std::optional<int64_t> ParseHttpDate(std::string_view text);
// "Sun, 06 Nov 1994 08:49:37 GMT".
std::string FormatHttpDate(int64_t msSinceEpoch);

int64_t WallClockMs();

}  // namespace tilesources
