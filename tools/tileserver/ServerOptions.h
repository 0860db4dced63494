// The server's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/tileserver/FaultRule.h"

namespace tileserver {

struct ServerOptions {
  uint16_t port = 0;
  int latencyMs = 0;
  int parentPid = 0;  // 0: not watched
  size_t cacheBytes = 0;
  bool verbose = false;
  bool help = false;
  std::vector<FaultRule> rules;
};

struct ServerOptionsParse {
  bool ok = false;
  ServerOptions options;
  std::string error;
};

inline constexpr size_t kMaxCacheMegabytes = 4096;

ServerOptionsParse ParseServerOptions(int argc, const char* const* argv);

// The whole --help text: options, fault rules, control endpoints.
std::string ServerHelp();

}  // namespace tileserver
