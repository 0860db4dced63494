// What the tests know about Ambrel's screen and its tiles on the default device (240 x 320): where
// the windows are, which tiles cover the map view at a position, and the tile server's log read as
// tiles.
#pragma once

#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/TileServerFixture.h"

namespace scene {

constexpr int kScreenWidth = 240;
constexpr int kScreenHeight = 320;
constexpr int kTaskBar = 26;  // the device's task bar along the top
constexpr int kMenuBar = 26;  // the soft-key menu bar along the bottom
// The main window fills the work area; its client height H is 294, the map view gets H - 70.
constexpr int kMapTop = kTaskBar;
constexpr int kMapBottom = kTaskBar + 294 - 70;        // 250 on the screen
constexpr int kButtonBottom = kMapBottom + 30;         // 280
constexpr int kMenuBarTop = kScreenHeight - kMenuBar;  // 294
// The map view has a one-pixel border: its client area is 238 x 222.
constexpr int kMapClientWidth = kScreenWidth - 2;
constexpr int kMapClientHeight = kMapBottom - kMapTop - 2;

constexpr double kHomeLatitude = 37.433446;
constexpr double kHomeLongitude = 127.173493;

// Screen points a user taps.
struct Point {
  int x, y;
};
constexpr Point kZoomIn{40, (kMapBottom + kButtonBottom) / 2};
constexpr Point kZoomOut{120, (kMapBottom + kButtonBottom) / 2};
constexpr Point kHome{200, (kMapBottom + kButtonBottom) / 2};
constexpr Point kMapCentre{kScreenWidth / 2, (kMapTop + kMapBottom) / 2};

constexpr const char* kRegionalDomain = ".regional-tiles.orvanmap.test";
constexpr const char* kWorldDomain = ".world-tiles.orvanmap.test";

struct Tile {
  int64_t x, y, z;
  auto operator<=>(const Tile&) const = default;
};

// The world pixel of a position (spherical Mercator, 256-pixel tiles, rounded half up).
inline std::pair<int64_t, int64_t> WorldPixel(double latitude, double longitude, int z) {
  const double size = 256.0 * std::pow(2.0, z);
  const double s = std::sin(latitude * M_PI / 180.0);
  const double x = std::floor(longitude * (size / 360.0) + size / 2 + 0.5);
  const double y = std::floor(-size / (2 * M_PI) * std::log((1 + s) / (1 - s)) * 0.5 + size / 2 + 0.5);
  return {static_cast<int64_t>(x), static_cast<int64_t>(y)};
}

// The tiles that cover the map view's client area centred on a position.
inline std::set<Tile> TilesCovering(double latitude, double longitude, int z) {
  const auto [cx, cy] = WorldPixel(latitude, longitude, z);
  const int64_t hw = kMapClientWidth / 2;
  const int64_t hh = kMapClientHeight / 2;
  std::set<Tile> tiles;
  for (int64_t x = (cx - hw) / 256; x <= (cx + hw) / 256; ++x)
    for (int64_t y = (cy - hh) / 256; y <= (cy + hh) / 256; ++y) tiles.insert({x, y, z});
  return tiles;
}

// Where a tile shows on the screen when the map is centred on a position: the part of its square
// inside the map view's client area, as left, top, right, bottom (right and bottom excluded).
struct ScreenRect {
  int left, top, right, bottom;
};
inline ScreenRect VisibleRect(const Tile& tile, double latitude, double longitude) {
  const auto [cx, cy] = WorldPixel(latitude, longitude, static_cast<int>(tile.z));
  const int64_t viewLeft = cx - kMapClientWidth / 2;
  const int64_t viewTop = cy - kMapClientHeight / 2;
  auto clamp = [](int64_t v, int64_t lo, int64_t hi) { return static_cast<int>(v < lo ? lo : v > hi ? hi : v); };
  const int64_t left = 1 + tile.x * 256 - viewLeft;
  const int64_t top = kMapTop + 1 + tile.y * 256 - viewTop;
  return {clamp(left, 1, kScreenWidth - 1), clamp(top, kMapTop + 1, kMapBottom - 1),
          clamp(left + 256, 1, kScreenWidth - 1), clamp(top + 256, kMapTop + 1, kMapBottom - 1)};
}

inline bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The tile a log entry asked for ({-1, -1, -1} for a path that names none).
inline Tile TileOf(const TileServerLogEntry& entry) {
  auto number = [&](const std::string& key) -> int64_t {
    const size_t at = entry.path.find("&" + key + "=");
    return at == std::string::npos ? -1 : std::stoll(entry.path.substr(at + key.size() + 2));
  };
  return {number("x"), number("y"), number("z")};
}

inline std::vector<Tile> TilesAskedFor(const std::vector<TileServerLogEntry>& log) {
  std::vector<Tile> tiles;
  for (const TileServerLogEntry& entry : log) tiles.push_back(TileOf(entry));
  return tiles;
}

inline std::set<Tile> AtZoom(const std::vector<Tile>& tiles, int z) {
  std::set<Tile> found;
  for (const Tile& t : tiles)
    if (t.z == z) found.insert(t);
  return found;
}

}  // namespace scene
