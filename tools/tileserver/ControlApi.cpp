#include "tools/tileserver/ControlApi.h"

#include <vector>

namespace tileserver {

const char* ControlApi::Help() {
  return R"(Control endpoints (plain text; not logged, not counted):
  GET  /_control/health    "ok": the server is up
  GET  /_control/log       one line per finished tile request, tab-separated:
                           milliseconds since start, form (absolute|origin), host, path,
                           user agent, outcome ("200 tile", "404 rule", "302 redirect",
                           "200 garbage", "reset after N bytes", "stall after N bytes",
                           "... client-closed" when the client went away first,
                           "pending" until just before the answer's last bytes go out)
  GET  /_control/counters  "requests N", "inFlight N", "maxInFlight N", "connections N" (those
                           that carried a tile request), "cacheEntries N", "cacheHits N",
                           "cacheMisses N", one per line
  GET  /_control/rules     the rules in force, one per line, oldest first
  POST /_control/rules     add rules: the body holds one rule per line (all or none are added)
  POST /_control/reset     drop run-time rules (command-line rules stay, re-armed), clear the
                           log and the counters
)";
}

ControlAnswer ControlApi::Handle(const ClientRequest& request, std::string_view path) {
  const std::string_view name = path.substr(kControlPrefix.size(), path.find('?') - kControlPrefix.size());
  const bool get = request.method == "GET";
  const bool post = request.method == "POST";
  if (name == "health" && get) return {200, "ok\n"};
  if (name == "log" && get) return {200, log_.Text()};
  if (name == "counters" && get) {
    return {200, log_.CountersText() + "cacheEntries " + std::to_string(cache_.Entries()) + "\ncacheHits " +
                     std::to_string(cache_.Hits()) + "\ncacheMisses " + std::to_string(cache_.Misses()) + "\n"};
  }
  if (name == "rules" && get) return {200, rules_.Describe()};
  if (name == "rules" && post) return AddRules(request.body);
  if (name == "reset" && post) {
    rules_.Reset();
    log_.Reset();
    return {200, "reset\n"};
  }
  if (name == "health" || name == "log" || name == "counters" || name == "rules" || name == "reset")
    return {405, "wrong method\n"};
  return {404, "no such control endpoint\n"};
}

ControlAnswer ControlApi::AddRules(const std::string& body) {
  std::vector<FaultRule> parsed;
  size_t start = 0;
  int lineNumber = 0;
  while (start <= body.size()) {
    size_t end = body.find('\n', start);
    if (end == std::string::npos) end = body.size();
    const std::string line = body.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    FaultRuleParse result = ParseFaultRule(line);
    if (!result.ok) return {400, "line " + std::to_string(lineNumber) + ": " + result.error + "\n"};
    parsed.push_back(std::move(result.rule));
  }
  if (parsed.empty()) return {400, "no rule given\n"};
  if (!rules_.AddAll(parsed)) return {503, "too many rules\n"};
  return {200, "added " + std::to_string(parsed.size()) + "\n"};
}

}  // namespace tileserver
