#include "tools/tileserver/ServerOptions.h"

#include <cstdlib>
#include <string_view>

#include "platform/kernel/DecimalText.h"
#include "tools/tileserver/ControlApi.h"
#include "tools/tileserver/EncodedTileCache.h"

namespace tileserver {
namespace {

bool ParseUnsigned(std::string_view text, uint64_t max, uint64_t& value) {
  return ParseDecimal(text, &value) && value <= max;
}

// Printable ASCII only: the contact goes into a request head, where a line break would start a
// head field of its own.
bool ValidContact(std::string_view text) {
  if (text.empty() || text.size() > kMaxContactLength) return false;
  for (char c : text)
    if (c < 0x20 || c > 0x7E) return false;
  return true;
}

}  // namespace

ServerOptionsParse ParseServerOptions(int argc, const char* const* argv) {
  ServerOptionsParse result;
  ServerOptions& o = result.options;
  o.cacheBytes = EncodedTileCache::kDefaultMaxBytes;
  // This server is itself the viewer's proxy: a proxy setting in its environment (pointing back at
  // it) would loop, so upstream requests always go straight to the upstream.
  o.sourceSettings.useProxyEnvironment = false;
  if (const char* contact = std::getenv(kContactVariable); contact != nullptr && *contact != 0) {
    if (!ValidContact(contact)) {
      result.error = std::string(kContactVariable) + ": printable text of at most " +
                     std::to_string(kMaxContactLength) + " characters";
      return result;
    }
    o.sourceSettings.contact = contact;
  }
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      o.help = true;
      continue;
    }
    if (arg == "--verbose") {
      o.verbose = true;
      continue;
    }
    if (i + 1 >= argc) {
      result.error = std::string(arg) + (arg.substr(0, 2) == "--" ? " needs a value" : ": unknown argument");
      return result;
    }
    const std::string_view value = argv[++i];
    uint64_t n = 0;
    if (arg == "--port") {
      if (!ParseUnsigned(value, 65535, n)) {
        result.error = "--port: 0 to 65535";
        return result;
      }
      o.port = static_cast<uint16_t>(n);
    } else if (arg == "--latency") {
      if (!ParseUnsigned(value, kMaxDelayMs, n)) {
        result.error = "--latency: milliseconds, 0 to " + std::to_string(kMaxDelayMs);
        return result;
      }
      o.latencyMs = static_cast<int>(n);
    } else if (arg == "--parent-pid") {
      if (!ParseUnsigned(value, INT32_MAX, n) || n < 1) {
        result.error = "--parent-pid: a process id";
        return result;
      }
      o.parentPid = static_cast<int>(n);
    } else if (arg == "--cache-mb") {
      if (!ParseUnsigned(value, kMaxCacheMegabytes, n)) {
        result.error = "--cache-mb: 0 to " + std::to_string(kMaxCacheMegabytes);
        return result;
      }
      o.cacheBytes = static_cast<size_t>(n) << 20;
    } else if (arg == "--rule") {
      FaultRuleParse rule = ParseFaultRule(value);
      if (!rule.ok) {
        result.error = "--rule \"" + std::string(value) + "\": " + rule.error;
        return result;
      }
      o.rules.push_back(std::move(rule.rule));
    } else if (arg == "--source" || arg == "--regional-source") {
      TileSourceChoiceParse parsed = ParseTileSourceChoice(value);
      if (!parsed.choice) {
        result.error = std::string(arg) + ": " + parsed.error;
        return result;
      }
      (arg == "--source" ? o.source : o.regionalSource.emplace()) = std::move(*parsed.choice);
    } else if (arg == "--contact") {
      if (!ValidContact(value)) {
        result.error = "--contact: printable text of at most " + std::to_string(kMaxContactLength) + " characters";
        return result;
      }
      o.sourceSettings.contact = std::string(value);
    } else if (arg == "--upstream-connections") {
      if (!ParseUnsigned(value, kMaxUpstreamConnections, n) || n < 1) {
        result.error = "--upstream-connections: 1 to " + std::to_string(kMaxUpstreamConnections);
        return result;
      }
      o.sourceSettings.upstreamConnections = static_cast<int>(n);
    } else if (arg == "--ca-file") {
      if (value.empty()) {
        result.error = "--ca-file: a PEM file";
        return result;
      }
      o.sourceSettings.caFile = std::string(value);
    } else if (arg == "--cache-dir") {
      if (value.empty()) {
        result.error = "--cache-dir: a folder";
        return result;
      }
      o.sourceSettings.cacheDir = std::string(value);
    } else if (arg == "--disk-cache-mb") {
      if (!ParseUnsigned(value, kMaxDiskCacheMegabytes, n) || n < 1) {
        result.error = "--disk-cache-mb: 1 to " + std::to_string(kMaxDiskCacheMegabytes);
        return result;
      }
      o.sourceSettings.cacheMaxBytes = static_cast<int64_t>(n) << 20;
    } else if (arg == "--max-age") {
      if (!ParseUnsigned(value, kMaxMaxAgeSeconds, n)) {
        result.error = "--max-age: seconds, 0 to " + std::to_string(kMaxMaxAgeSeconds);
        return result;
      }
      o.sourceSettings.maxAgeSeconds = static_cast<int>(n);
    } else {
      result.error = std::string(arg) + ": unknown option (see --help)";
      return result;
    }
  }
  result.ok = true;
  return result;
}

std::string ServerHelp() {
  std::string help = R"(tileserver: a local HTTP server of map tiles, synthetic or real, for the viewer's demo, tests
and benchmarks. It listens on 127.0.0.1 only and prints "listening on 127.0.0.1:PORT" once ready.

Tile requests: GET /mt?v=..&hl=..&x=X&y=Y&z=Z, in origin form (host from the Host header) or
proxy form (GET http://mtN.<domain>/mt?..., as a client configured with this server as its
HTTP proxy sends). The world domain is )" +
                     WorldDomain() + R"(, the regional one
)" + RegionalDomain() +
                     R"(; regional tiles are tinted blue. Each tile is a 256x256 RGB PNG
showing its column, row, level and server number. A path that is no tile answers 404
("not-a-tile"); a position outside the level answers 404 ("out-of-range").

Options:
  --port N          port to listen on (0, the default: a free port)
  --latency MS      wait MS before every answer's head (the benchmarks use 50)
  --rule "TEXT"     a fault rule for the whole run (repeatable; see below)
  --parent-pid PID  exit when process PID (the parent) ends
  --cache-mb N      size of the encoded-tile cache in MiB (default 64; 0: no cache)
  --verbose         also print every log line to stderr
  --help            this text

Tile sources (one for each domain, chosen at start; what was read of each is printed to stderr):
  --source SOURCE             the world domain's tiles, and the regional domain's unless set below
  --regional-source SOURCE    the regional domain's tiles
      synthetic             tiles drawn here (the default)
      mbtiles:FILE          an MBTiles 1.3 file of png, jpg or webp tiles, read only; a tile not in
                            it answers 404. A file that is no MBTiles file, or damaged, stops the
                            start with one line and exit status 4
      upstream:TEMPLATE     an XYZ tile service through a disk cache (see below), e.g.
                            upstream:https://tiles.example.org/{z}/{x}/{y}.png
                            ({-y} for rows counted from the south)
  --contact TEXT            an e-mail address or web page for the upstream's operators, sent in
                            the User-Agent ")" +
                     UpstreamUserAgent("TEXT") + R"(";
                            needed by upstream sources (default: $ORVAN_TILE_CONTACT)
  --upstream-connections N  connections to an upstream at once, kept alive (default 2, the most
                            public tile services allow; 1 to 8) on HTTP/1.1; an upstream that
                            speaks HTTP/2 gets all its requests on one connection
  --ca-file FILE            PEM certificates an https upstream is verified against (default
                            $ORVAN_TILE_CA_FILE, else the system's CA store)
  --cache-dir DIR           folder of the upstream disk caches (default $XDG_CACHE_HOME or
                            ~/.cache, then orvanmap); one MBTiles file per template. A folder
                            or file that cannot be used leaves the upstream without a disk
                            cache, with a note on stderr at start
  --disk-cache-mb N         bound of each disk cache file in MiB (default 256): past it the least
                            recently used tiles are removed
  --max-age SECONDS         answers of synthetic and mbtiles sources carry Cache-Control: max-age
                            (default: no Cache-Control)
Every tile answer carries an ETag; an If-None-Match (or If-Modified-Since) that still holds is
answered 304. A source that cannot be used stops the start with one line and exit status 4.
An upstream tile is served from the disk cache while fresh by the upstream's
Cache-Control/Expires, then revalidated (If-None-Match/If-Modified-Since); a 429, or a 503 with
Retry-After, holds every upstream request back until the time named (cached tiles are served,
others get the same status); an upstream that cannot be reached gets a cached tile even when
stale, else 502 (504 after a time-out); other upstream statuses are passed on as they are.

)";
  help += FaultRuleHelp();
  help += "\n";
  help += ControlApi::Help();
  return help;
}

}  // namespace tileserver
