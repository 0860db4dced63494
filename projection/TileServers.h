// The two tile servers' domains. They are reserved test names that can never reach a real server;
// on this machine tiles come from the local tile server through the proxy setting.
#pragma once

#define ORVAN_WORLD_TILE_DOMAIN u"world-tiles.orvanmap.test"
#define ORVAN_REGIONAL_TILE_DOMAIN u"regional-tiles.orvanmap.test"

inline constexpr const char16_t* kWorldTileDomain = ORVAN_WORLD_TILE_DOMAIN;
inline constexpr const char16_t* kRegionalTileDomain = ORVAN_REGIONAL_TILE_DOMAIN;
