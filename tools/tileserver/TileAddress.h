// What a tile request names: the server (world or regional, and its number 0-3 from the host
// name "mtN.<domain>") and the tile's column, row and level from the path "/mt?...&x=&y=&z=" or
// "/Z/X/Y.png".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tileserver {

enum class HostKind { World, Regional, Other };

const char* HostKindName(HostKind kind);  // "world", "regional", "other"

struct TileHost {
  HostKind kind = HostKind::Other;
  int server = -1;  // the N of "mtN."; -1 when the host has no such label
};

struct TileKey {
  HostKind kind = HostKind::World;
  int server = -1;
  int32_t x = 0;
  int32_t y = 0;
  int32_t z = 0;
  bool operator==(const TileKey&) const = default;
};

enum class TilePathStatus { Ok, NotATile, OutOfRange };

struct TilePath {
  TilePathStatus status = TilePathStatus::NotATile;
  int32_t x = 0, y = 0, z = 0;
  bool redirected = false;  // carries the marker the server adds to its own redirect targets
};

inline constexpr int32_t kMaxZoom = 30;
inline constexpr const char* kTilePath = "/mt";
inline constexpr const char* kRedirectMarker = "redirected=1";

// The world and regional domains as UTF-8.
const std::string& WorldDomain();
const std::string& RegionalDomain();

// Classifies a host name ("mt2.<domain>", optionally with ":port"); case-insensitive.
TileHost ClassifyHost(std::string_view host);

// Parses "/mt?v=..&hl=..&x=..&y=..&z=..", in any parameter order, or a plain XYZ path
// "/Z/X/Y", "/Z/X/Y.png" (or .jpg, .jpeg, .webp) with an optional query. x, y and z are required
// decimal integers. OutOfRange when z is outside 0..kMaxZoom or x, y outside 0..2^z - 1.
TilePath ParseTilePath(std::string_view path);

}  // namespace tileserver
