#include "tools/tileserver/ServerOptions.h"

#include <charconv>
#include <string_view>

#include "tools/tileserver/ControlApi.h"
#include "tools/tileserver/TileCache.h"

namespace tileserver {
namespace {

bool ParseUnsigned(std::string_view text, uint64_t max, uint64_t& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && value <= max;
}

}  // namespace

ServerOptionsParse ParseServerOptions(int argc, const char* const* argv) {
  ServerOptionsParse result;
  ServerOptions& o = result.options;
  o.cacheBytes = TileCache::kDefaultMaxBytes;
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
    } else {
      result.error = std::string(arg) + ": unknown option (see --help)";
      return result;
    }
  }
  result.ok = true;
  return result;
}

std::string ServerHelp() {
  std::string help = R"(tileserver: a local HTTP server of synthetic map tiles, for the viewer's demo, tests and
benchmarks. It listens on 127.0.0.1 only and prints "listening on 127.0.0.1:PORT" once ready.

Tile requests: GET /mt?v=..&hl=..&x=X&y=Y&z=Z, in origin form (host from the Host header) or
proxy form (GET http://mtN.<domain>/mt?..., as a client configured with this server as its
HTTP proxy sends). The world domain is )" + WorldDomain() + R"(, the regional one
)" + RegionalDomain() + R"(; regional tiles are tinted blue. Each tile is a 256x256 RGB PNG
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

)";
  help += FaultRuleHelp();
  help += "\n";
  help += ControlApi::Help();
  return help;
}

}  // namespace tileserver
