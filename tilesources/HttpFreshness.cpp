#include "tilesources/HttpFreshness.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>

#include "platform/kernel/DecimalText.h"

namespace tilesources {
namespace {

constexpr int64_t kLastHttpDateSeconds = 253402300799;  // Fri, 31 Dec 9999 23:59:59 GMT

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool SameWord(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::optional<int64_t> Seconds(std::string_view text) {
  text = Trim(text);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  int64_t value = 0;
  size_t used = 0;
  const DecimalStatus status = ReadDecimal(text, {.sign = DecimalSign::kMinus}, &value, &used);
  if (text.empty() || used != text.size()) return std::nullopt;
  if (status == DecimalStatus::kOutOfRange) return INT64_MAX / 2000;  // "a very long time"
  if (status != DecimalStatus::kOk || value < 0) return std::nullopt;
  return std::min<int64_t>(value, INT64_MAX / 2000);
}

struct CacheControl {
  bool noStore = false, isPrivate = false, noCache = false;
  std::optional<int64_t> maxAge, sMaxAge;
};

CacheControl ParseCacheControl(const HeaderList& headers) {
  CacheControl cc;
  for (const auto& [name, value] : headers) {
    if (name != "cache-control") continue;
    std::string_view rest = value;
    while (!rest.empty()) {
      const size_t comma = rest.find(',');
      const std::string_view item = Trim(rest.substr(0, comma));
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
      const size_t eq = item.find('=');
      const std::string_view key = Trim(item.substr(0, eq));
      const std::string_view arg = eq == std::string_view::npos ? std::string_view() : item.substr(eq + 1);
      if (SameWord(key, "no-store")) cc.noStore = true;
      else if (SameWord(key, "private")) cc.isPrivate = true;
      else if (SameWord(key, "no-cache")) cc.noCache = true;
      // A malformed lifetime makes the answer stale rather than fresh for ever.
      else if (SameWord(key, "max-age")) cc.maxAge = Seconds(arg).value_or(0);
      else if (SameWord(key, "s-maxage")) cc.sMaxAge = Seconds(arg).value_or(0);
    }
  }
  return cc;
}

}  // namespace

const std::string* FindHeader(const HeaderList& headers, std::string_view lowerName) {
  for (const auto& [name, value] : headers)
    if (name == lowerName) return &value;
  return nullptr;
}

int64_t WallClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::optional<int64_t> ParseHttpDate(std::string_view text) {
  const std::string copy(Trim(text));
  if (copy.empty()) return std::nullopt;
  const time_t seconds = curl_getdate(copy.c_str(), nullptr);
  // A year of more than four digits ("Nov 666666664") parses to seconds that overflow as
  // milliseconds; HTTP dates end with the year 9999.
  if (seconds == -1 || seconds < -kLastHttpDateSeconds || seconds > kLastHttpDateSeconds) return std::nullopt;
  return static_cast<int64_t>(seconds) * 1000;
}

std::string FormatHttpDate(int64_t msSinceEpoch) {
  const time_t seconds = static_cast<time_t>(msSinceEpoch / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[64];
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
  return text;
}

CachePolicy CachePolicyOf(const HeaderList& headers, int64_t nowMs) {
  const CacheControl cc = ParseCacheControl(headers);
  CachePolicy policy;
  if (cc.noStore || cc.isPrivate) {
    policy.store = false;
    return policy;
  }
  if (cc.noCache) return policy;

  const std::string* dateText = FindHeader(headers, "date");
  const int64_t dateMs = dateText ? ParseHttpDate(*dateText).value_or(nowMs) : nowMs;
  int64_t lifetimeMs = 0;
  if (cc.sMaxAge) {
    lifetimeMs = *cc.sMaxAge * 1000;
  } else if (cc.maxAge) {
    lifetimeMs = *cc.maxAge * 1000;
  } else if (const std::string* expires = FindHeader(headers, "expires")) {
    // An Expires that is no date ("0", "-1") means already expired.
    const std::optional<int64_t> expiresMs = ParseHttpDate(*expires);
    lifetimeMs = expiresMs ? std::max<int64_t>(0, *expiresMs - dateMs) : 0;
  } else if (const std::string* modified = FindHeader(headers, "last-modified")) {
    if (const std::optional<int64_t> modifiedMs = ParseHttpDate(*modified))
      lifetimeMs = std::clamp<int64_t>((dateMs - *modifiedMs) / 10, 0, kMaxHeuristicFreshMs);
  }
  int64_t ageMs = 0;
  if (const std::string* age = FindHeader(headers, "age")) ageMs = Seconds(*age).value_or(0) * 1000;
  policy.freshMs = std::max<int64_t>(0, lifetimeMs - ageMs);
  return policy;
}

std::optional<int64_t> RetryAfterMs(std::string_view value, int64_t nowMs, int64_t maxMs) {
  if (const std::optional<int64_t> seconds = Seconds(value)) return std::min(*seconds * 1000, maxMs);
  if (const std::optional<int64_t> at = ParseHttpDate(value)) return std::clamp<int64_t>(*at - nowMs, 0, maxMs);
  return std::nullopt;
}

}  // namespace tilesources
