// The server's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/tileserver/FaultRule.h"
#include "tools/tileserver/TileSourceChoice.h"

namespace tileserver {

struct ServerOptions {
  uint16_t port = 0;
  int latencyMs = 0;
  int parentPid = 0;  // 0: not watched
  size_t cacheBytes = 0;
  bool verbose = false;
  bool help = false;
  std::vector<FaultRule> rules;
  TileSourceChoice source;                         // the world domain's (and any other host's) tiles
  std::optional<TileSourceChoice> regionalSource;  // unset: the same as `source`
  SourceSettings sourceSettings;
};

struct ServerOptionsParse {
  bool ok = false;
  ServerOptions options;
  std::string error;
};

inline constexpr size_t kMaxCacheMegabytes = 4096;
inline constexpr int kMaxUpstreamConnections = 8;
inline constexpr size_t kMaxDiskCacheMegabytes = size_t{1} << 20;
inline constexpr int kMaxMaxAgeSeconds = 365 * 24 * 3600;
inline constexpr size_t kMaxContactLength = 200;
// Read when --contact is not given, so that a contact set once reaches every start.
inline constexpr const char* kContactVariable = "ORVAN_TILE_CONTACT";

ServerOptionsParse ParseServerOptions(int argc, const char* const* argv);

// The whole --help text: options, fault rules, control endpoints.
std::string ServerHelp();

}  // namespace tileserver
