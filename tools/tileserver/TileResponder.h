// Decides the answer to a tile request: the tile from the source of its domain (or 304 when the
// client's copy is still the same), an error for paths and positions that name no tile, or what a
// matching fault rule asks for.
#pragma once

#include "tools/tileserver/ClientRequest.h"
#include "tools/tileserver/ResponsePlan.h"
#include "tools/tileserver/RuleSet.h"
#include "tools/tileserver/TileSource.h"

namespace tileserver {

class TileResponder {
 public:
  TileResponder(RuleSet& rules, const TileSources& sources, int latencyMs)
      : rules_(rules), sources_(sources), latencyMs_(latencyMs) {}

  ResponsePlan Plan(const ClientRequest& request, const RequestTarget& target);

  // The bytes of a "garbage" body: readable text that is no image format.
  static std::string GarbageBytes(size_t size);

  // Whether the request's If-None-Match (or, without one, If-Modified-Since) still holds for the
  // tile, so that 304 can stand for it.
  static bool ClientHasIt(const ClientRequest& request, const SourcedTile& tile);

 private:
  RuleSet& rules_;
  const TileSources& sources_;
  const int latencyMs_;
};

}  // namespace tileserver
