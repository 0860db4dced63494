// What the server will answer to one tile request, before any of it is written: status, head
// fields, body bytes, and the fault rule that shapes how it goes on the wire.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tools/tileserver/FaultRule.h"

namespace tileserver {

struct ResponsePlan {
  int status = 200;
  std::string what = "tile";  // the outcome word for the log: tile, rule, garbage, redirect, ...
  std::string contentType = "image/png";
  std::vector<std::pair<std::string, std::string>> headers;  // beyond type, length and connection
  std::shared_ptr<const std::string> body;
  FaultRule fault;  // a default rule when none matched: an honest answer
  int delayMs = 0;  // before the head
  bool clientKeepsAlive = true;
};

const char* ReasonPhrase(int status);

// Statuses whose answers never carry a body (informational, 204, 304).
inline bool StatusForbidsBody(int status) { return status < 200 || status == 204 || status == 304; }

}  // namespace tileserver
