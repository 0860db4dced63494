// HTTP heads the tile server reads: an upstream answer's freshness fields (Cache-Control,
// Expires, Date, Age, Last-Modified, Retry-After) and a client's conditions (If-None-Match
// against an entity tag, If-Modified-Since). The input is header lines, "Name: value".
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "tilesources/ContentTag.h"
#include "tilesources/HttpFreshness.h"
#include "tools/tileserver/TileResponder.h"

using namespace tileserver;
using namespace tilesources;

namespace {

constexpr int64_t kNowMs = 1700000000000;  // a fixed "now" keeps runs reproducible
constexpr int64_t kMaxWaitMs = 3600000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  HeaderList answer;  // names in lower case, as the upstream client keeps them
  ClientRequest request;
  request.method = "GET";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string name(line.substr(0, colon));
    std::string value(line.substr(colon + 1));
    request.headers.emplace_back(name, value);
    for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
    answer.emplace_back(std::move(name), std::move(value));
  }

  const CachePolicy policy = CachePolicyOf(answer, kNowMs);
  if (policy.freshMs < 0) __builtin_trap();
  if (const std::string* retry = FindHeader(answer, "retry-after")) {
    const std::optional<int64_t> waitMs = RetryAfterMs(*retry, kNowMs, kMaxWaitMs);
    if (waitMs && (*waitMs < 0 || *waitMs > kMaxWaitMs)) __builtin_trap();
  }
  for (const char* field : {"date", "expires", "last-modified"}) {
    if (const std::string* value = FindHeader(answer, field)) {
      if (const std::optional<int64_t> ms = ParseHttpDate(*value)) FormatHttpDate(*ms);
    }
  }

  SourcedTile tile;
  tile.etag = ContentTag("tile bytes");
  tile.lastModifiedMs = kNowMs;
  TileResponder::ClientHasIt(request, tile);
  return 0;
}
