// Decides the answer to a tile request: the tile itself (from the cache), an error for paths
// and positions that name no tile, or what a matching fault rule asks for.
#pragma once

#include "tools/tileserver/HttpRequest.h"
#include "tools/tileserver/ResponsePlan.h"
#include "tools/tileserver/RuleSet.h"
#include "tools/tileserver/TileCache.h"

namespace tileserver {

class TileResponder {
 public:
  TileResponder(RuleSet& rules, TileCache& cache, int latencyMs) : rules_(rules), cache_(cache), latencyMs_(latencyMs) {}

  ResponsePlan Plan(const HttpRequest& request, const RequestTarget& target);

  // The bytes of a "garbage" body: readable text that is no image format.
  static std::string GarbageBytes(size_t size);

 private:
  RuleSet& rules_;
  TileCache& cache_;
  const int latencyMs_;
};

}  // namespace tileserver
