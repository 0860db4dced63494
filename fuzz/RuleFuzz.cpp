// Text the tile server is configured with. The first byte chooses what the rest is:
//   0: the body of POST /_control/rules (fault rules, one per line), then rules matched and listed
//   1: a --source value (synthetic, mbtiles:FILE, upstream:TEMPLATE)
//   2: an upstream URL template, expanded for a few tiles
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/tileserver/ControlApi.h"
#include "tools/tileserver/TileSourceChoice.h"
#include "tilesources/UpstreamTemplate.h"

using namespace tileserver;
using namespace tilesources;

namespace {

void Rules(std::string body) {
  static RuleSet rules;
  static RequestLog log;
  static EncodedTileCache cache;
  static ControlApi control(rules, log, cache);
  ClientRequest post;
  post.method = "POST";
  post.body = std::move(body);
  control.Handle(post, "/_control/rules");
  for (int32_t z : {0, 7, 30}) {
    rules.Match(TileKey{HostKind::World, 0, 0, 0, z});
    rules.Match(TileKey{HostKind::Regional, 1, 108, 49, z});
  }
  rules.Describe();
  ClientRequest reset;
  reset.method = "POST";
  control.Handle(reset, "/_control/reset");
}

void Template(std::string_view text) {
  const UpstreamTemplate::Parse parsed = UpstreamTemplate::FromText(text);
  if (!parsed.value) return;
  parsed.value->Origin();
  parsed.value->Expand(0, 0, 0);
  parsed.value->Expand(30, (int32_t{1} << 30) - 1, (int32_t{1} << 30) - 1);
  parsed.value->Expand(7, 108, 49);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0: Rules(std::string(text)); break;
    case 1: ParseTileSourceChoice(text); break;
    case 2: Template(text); break;
  }
  return 0;
}
