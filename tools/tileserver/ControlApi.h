// The control endpoints under /_control/, a path no tile URL can take: the request log, the
// counters, the rules in force, adding rules and resetting the server's state.
#pragma once

#include <string>
#include <string_view>

#include "tools/tileserver/ClientRequest.h"
#include "tools/tileserver/EncodedTileCache.h"
#include "tools/tileserver/RequestLog.h"
#include "tools/tileserver/RuleSet.h"

namespace tileserver {

inline constexpr std::string_view kControlPrefix = "/_control/";

struct ControlAnswer {
  int status = 200;
  std::string body;
};

class ControlApi {
 public:
  ControlApi(RuleSet& rules, RequestLog& log, EncodedTileCache& cache) : rules_(rules), log_(log), cache_(cache) {}

  static bool IsControlPath(std::string_view path) { return path.substr(0, kControlPrefix.size()) == kControlPrefix; }

  ControlAnswer Handle(const ClientRequest& request, std::string_view path);

  // The endpoints, for --help.
  static const char* Help();

 private:
  ControlAnswer AddRules(const std::string& body);

  RuleSet& rules_;
  RequestLog& log_;
  EncodedTileCache& cache_;
};

}  // namespace tileserver
