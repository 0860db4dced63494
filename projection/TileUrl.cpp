// The tile URL rule: which of the two tile servers serves a tile, and under which host number.
#include "platform/kernel/WideText.h"
#include "projection/MercatorProjection.h"
#include "projection/TileServers.h"

namespace {

constexpr const char16_t* kServerPrefix = u"mt";
constexpr const char16_t* kWorldVersion = u"w2.92";
constexpr const char16_t* kRegionalVersion = u"kr1.9";
constexpr const char16_t* kLanguage = u"ko";

constexpr const char16_t* kWorldTemplate = u"http://%s%d." ORVAN_WORLD_TILE_DOMAIN u"/%s?v=%s&hl=%s&x=%d&y=%d&z=%d";
constexpr const char16_t* kRegionalTemplate =
    u"http://%s%d." ORVAN_REGIONAL_TILE_DOMAIN u"/%s?v=%s&hl=%s&x=%d&y=%d&z=%d";

// The regional box at level 7, both ends inclusive; it scales by 2^(level - 7) above.
constexpr int32_t kRegionalLevel = 7;
constexpr int64_t kBoxFirstX = 108, kBoxLastX = 111, kBoxFirstY = 48, kBoxLastY = 51;

bool InRegionalBox(int32_t tileX, int32_t tileY, int32_t level) {
  if (level < kRegionalLevel) return false;
  // Levels above 31 would overflow the box bounds; such tiles are outside any real box.
  if (level - kRegionalLevel > 30) return false;
  const int64_t s = int64_t{1} << (level - kRegionalLevel);
  return kBoxFirstX * s <= tileX && tileX <= kBoxLastX * s && kBoxFirstY * s <= tileY && tileY <= kBoxLastY * s;
}

}  // namespace

char16_t* MercatorProjection::BuildTileUrl(int32_t tileX, int32_t tileY, double zoom, char16_t* buffer,
                                           size_t capacity) {
  // Wrapping arithmetic keeps the server number defined for any tile; the remainder has the sign
  // of the dividend.
  const auto sum = static_cast<int32_t>(static_cast<uint32_t>(tileX) + 2u * static_cast<uint32_t>(tileY));
  const int32_t server = sum % 4;
  const int32_t level = ZoomLevelOf(zoom);
  const bool regional = InRegionalBox(tileX, tileY, level);
  WideFormatV(buffer, capacity, regional ? kRegionalTemplate : kWorldTemplate, kServerPrefix, server, kServerPrefix,
              regional ? kRegionalVersion : kWorldVersion, kLanguage, tileX, tileY, level);
  return buffer;
}
